#include "framework/ControlHost.h"

#include "framework/Handles.h"
#include "framework/SystemLibrary.h"

#include <ocidl.h>

namespace kelvo {

namespace {

bool g_initialized = false;

using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxGetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);
using AtlAxAttachControlFn = HRESULT(WINAPI*)(IUnknown*, HWND, IUnknown**);

struct AtlEntryPoints {
    HMODULE module = nullptr;
    AtlAxGetControlFn getControl = nullptr;
    AtlAxAttachControlFn attachControl = nullptr;
    bool initialized = false;
};

AtlEntryPoints& Atl() {
    static AtlEntryPoints atl;
    return atl;
}

} // namespace

namespace ControlHost {

void Initialize() noexcept {
    if (g_initialized)
        return;
    // OLE stays initialised for the life of the thread: controls are created and released on it
    // until the process ends.
    static OleSession session;
    g_initialized = session.Succeeded();
    LoadHostLibrary();
}

bool LoadHostLibrary() noexcept {
    AtlEntryPoints& atl = Atl();
    if (atl.initialized)
        return atl.getControl != nullptr;
    atl.initialized = true;
    // Kept for the life of the process: its window class hosts every control.
    atl.module = LoadSystemLibrary(L"atl.dll").release();
    if (!atl.module)
        return false;
    auto init = ProcAddress<AtlAxWinInitFn>(atl.module, "AtlAxWinInit");
    atl.getControl = ProcAddress<AtlAxGetControlFn>(atl.module, "AtlAxGetControl");
    atl.attachControl = ProcAddress<AtlAxAttachControlFn>(atl.module, "AtlAxAttachControl");
    // The registration answers FALSE when the window class exists already, which is fine.
    WNDCLASSW existing{};
    if (!init || !atl.getControl ||
        (!init() && !::GetClassInfoW(atl.module, HostWindowClass(), &existing) &&
         !::GetClassInfoW(nullptr, HostWindowClass(), &existing))) {
        atl.getControl = nullptr;
        return false;
    }
    return true;
}

LPCWSTR HostWindowClass() noexcept {
    return L"AtlAxWin";
}

HRESULT GetHostedControl(HWND hostWindow, IUnknown** control) noexcept {
    if (!control)
        return E_POINTER;
    *control = nullptr;
    if (!LoadHostLibrary())
        return E_FAIL;
    return Atl().getControl(hostWindow, control);
}

HRESULT AttachControl(IUnknown* control, HWND hostWindow) noexcept {
    if (!control || !hostWindow)
        return E_INVALIDARG;
    if (!LoadHostLibrary() || !Atl().attachControl)
        return E_FAIL;
    // The host takes any object and calls it as an embedded object: one that is none would be
    // called through an interface it does not have.
    ComPtr<IOleObject> embedded;
    if (FAILED(embedded.QueryFrom(control, IID_IOleObject)) || !embedded)
        return E_NOINTERFACE;
    ComPtr<IPersistStreamInit> persist;
    if (SUCCEEDED(persist.QueryFrom(control, IID_IPersistStreamInit)) && persist)
        persist->InitNew();
    // Without a container to hand back, Wine's host attaches nothing; the control's hold on its
    // client site keeps the container alive once this reference goes.
    ComPtr<IUnknown> container;
    const HRESULT hr = Atl().attachControl(control, hostWindow, container.ReleaseAndGetAddressOf());
    if (FAILED(hr))
        return hr;
    ComPtr<IUnknown> attached;
    if (FAILED(GetHostedControl(hostWindow, attached.ReleaseAndGetAddressOf())) || !attached)
        return E_FAIL;
    return S_OK;
}

} // namespace ControlHost

} // namespace kelvo
