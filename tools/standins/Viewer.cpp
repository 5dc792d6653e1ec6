// kelvo_standin_viewer.exe URL: shows one address in whatever control is registered under the web
// browser class id, hosted in atl.dll's AtlAxWin window as the launcher hosts it. For looking at
// the stand-in by hand and in screenshots; the window title is "kelvo_standin_viewer".
#include "framework/SystemLibrary.h"

#include <windows.h>
#include <ole2.h>

#include <string>

using namespace kelvo;

namespace {

using AtlAxWinInitFn = BOOL(WINAPI*)();
using AtlAxGetControlFn = HRESULT(WINAPI*)(HWND, IUnknown**);

HWND g_host = nullptr;

LRESULT CALLBACK FrameProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        if (g_host)
            ::MoveWindow(g_host, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
    ::OleInitialize(nullptr);
    const HMODULE atl = ::LoadLibraryW(L"atl.dll");
    const auto init = ProcAddress<AtlAxWinInitFn>(atl, "AtlAxWinInit");
    const auto getControl = ProcAddress<AtlAxGetControlFn>(atl, "AtlAxGetControl");
    if (!init || !getControl)
        return 2;
    init();

    WNDCLASSW wc{};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = instance;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = L"KelvoStandinViewer";
    ::RegisterClassW(&wc);
    const HWND frame = ::CreateWindowExW(0, wc.lpszClassName, L"kelvo_standin_viewer", WS_OVERLAPPEDWINDOW,
                                         40, 40, 700, 420, nullptr, nullptr, instance, nullptr);
    RECT client{};
    ::GetClientRect(frame, &client);
    g_host =
        ::CreateWindowExW(0, L"AtlAxWin", L"{8856F961-340A-11D0-A96B-00C04FD705A2}", WS_CHILD | WS_VISIBLE, 0,
                          0, client.right, client.bottom, frame, nullptr, instance, nullptr);
    IUnknown* control = nullptr;
    IDispatch* browser = nullptr;
    if (g_host && SUCCEEDED(getControl(g_host, &control)) && control) {
        control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&browser));
        control->Release();
    }
    if (!browser)
        return 3;

    std::wstring url = commandLine ? commandLine : L"";
    if (url.size() >= 2 && url.front() == L'"' && url.back() == L'"')
        url = url.substr(1, url.size() - 2);
    VARIANTARG arg;
    ::VariantInit(&arg);
    V_VT(&arg) = VT_BSTR;
    V_BSTR(&arg) = ::SysAllocString(url.empty() ? L"about:blank" : url.c_str());
    DISPPARAMS params{&arg, nullptr, 1, 0};
    browser->Invoke(104, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    ::VariantClear(&arg);
    ::ShowWindow(frame, SW_SHOW);

    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    browser->Release();
    ::OleUninitialize();
    return 0;
}
