#include "framework/ControlWnd.h"

#include "framework/ControlHost.h"

namespace kelvo {

ControlWnd::ControlWnd() noexcept = default;

ControlWnd::~ControlWnd() {
    if (!m_pCtrlSite)
        return;
    // The site decides when the host window goes: not before the control's own code has returned.
    const HWND hwnd = m_hWnd;
    Unbind();
    ControlSite::Retire(std::move(m_pCtrlSite), hwnd);
}

ControlSite* ControlWnd::SiteOf(HWND hwnd) noexcept {
    const auto* control = dynamic_cast<ControlWnd*>(FromHandlePermanent(hwnd));
    return control ? control->GetControlSite() : nullptr;
}

LRESULT ControlWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY && m_pCtrlSite) {
        // Disconnect and release the control before its host window lets go of it (once the
        // control is idle, when the window goes with a parent inside one of its events).
        ControlSite::Retire(std::move(m_pCtrlSite), nullptr);
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

HRESULT ControlWnd::CreateControl(REFCLSID clsid, REFIID eventsIid, DWORD style, const RECT& rect,
                                  CWnd* pParentWnd, UINT id) {
    wchar_t classId[64] = {};
    if (!::StringFromGUID2(clsid, classId, 64))
        return E_INVALIDARG;
    // The host window creates the control named by its window text while it is created.
    HRESULT hr = CreateHostWindow(classId, style, rect, pParentWnd, id);
    if (SUCCEEDED(hr))
        hr = AttachControlSite(eventsIid, pParentWnd, id);
    if (FAILED(hr)) {
        // The host keeps to itself why it made no control; the class's own answer says it (not
        // registered, its file not loadable) where it is the cause.
        ComPtr<IClassFactory> factory;
        const HRESULT classResult =
            ::CoGetClassObject(clsid, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory,
                               reinterpret_cast<void**>(factory.ReleaseAndGetAddressOf()));
        if (FAILED(classResult))
            return classResult;
    }
    return hr;
}

HRESULT ControlWnd::CreateControl(IUnknown* control, REFIID eventsIid, DWORD style, const RECT& rect,
                                  CWnd* pParentWnd, UINT id) {
    if (!control)
        return E_POINTER;
    HRESULT hr = CreateHostWindow(L"", style, rect, pParentWnd, id);
    if (FAILED(hr))
        return hr;
    hr = ControlHost::AttachControl(control, m_hWnd);
    if (FAILED(hr)) {
        DestroyWindow();
        return hr;
    }
    return AttachControlSite(eventsIid, pParentWnd, id);
}

HRESULT ControlWnd::CreateHostWindow(LPCWSTR text, DWORD style, const RECT& rect, CWnd* pParentWnd, UINT id) {
    if (m_hWnd)
        return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
    if (!pParentWnd || !pParentWnd->m_hWnd)
        return E_INVALIDARG;
    // The system's control host (atl.dll) is missing or offers no host window class.
    if (!ControlHost::LoadHostLibrary())
        return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    if (CreateEx(0, ControlHost::HostWindowClass(), text, style | WS_CHILD, rect, pParentWnd->m_hWnd, id))
        return S_OK;
    // The host refuses its window when the control named in the text cannot be made; the system
    // seldom says why.
    const DWORD error = ::GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

HRESULT ControlWnd::AttachControlSite(REFIID eventsIid, CWnd* pParentWnd, UINT id) {
    auto site = std::make_unique<ControlSite>(id);
    // The parent's event-sink map takes the events; a parent with none lets them go.
    const HRESULT hr = site->Attach(m_hWnd, eventsIid, dynamic_cast<ControlEventTarget*>(pParentWnd));
    if (FAILED(hr)) {
        DestroyWindow();
        return hr;
    }
    m_pCtrlSite = std::move(site);
    return S_OK;
}

IDispatch* ControlWnd::GetControlDispatch() const noexcept {
    return m_pCtrlSite ? m_pCtrlSite->Dispatch() : nullptr;
}

HRESULT ControlWnd::InvokeHelper(DISPID dispid, WORD flags, VARIANT* result, VARIANTARG* args,
                                 UINT count) const noexcept {
    // The site and its references stay for the call even when an event raised inside it destroys
    // this wrapper: the site is retired only once the call has returned.
    ControlSite* site = m_pCtrlSite.get();
    IDispatch* dispatch = site ? site->Dispatch() : nullptr;
    if (!dispatch)
        return E_NOINTERFACE;
    DISPPARAMS params{args, nullptr, count, 0};
    DISPID named = DISPID_PROPERTYPUT;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    if (result)
        ::VariantInit(result);
    EXCEPINFO exception{};
    UINT badArg = 0;
    site->Enter();
    const HRESULT hr =
        dispatch->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &exception, &badArg);
    site->Leave();
    ::SysFreeString(exception.bstrSource);
    ::SysFreeString(exception.bstrDescription);
    ::SysFreeString(exception.bstrHelpFile);
    return hr;
}

HRESULT ControlWnd::PutProperty(DISPID dispid, const DispatchArg& value) const noexcept {
    VARIANTARG arg = value.Get();
    return InvokeHelper(dispid, DISPATCH_PROPERTYPUT, nullptr, &arg, 1);
}

HRESULT ControlWnd::CallMethod(DISPID dispid, std::span<const DispatchArg> args,
                               VARIANT* result) const noexcept {
    // Shallow copies: the DispatchArg objects keep owning what the variants point to.
    constexpr std::size_t kMaxArgs = 8;
    if (args.size() > kMaxArgs)
        return E_INVALIDARG;
    VARIANTARG reversed[kMaxArgs];
    for (std::size_t i = 0; i < args.size(); ++i)
        reversed[args.size() - 1 - i] = args[i].Get();
    return InvokeHelper(dispid, DISPATCH_METHOD, result, args.empty() ? nullptr : reversed,
                        static_cast<UINT>(args.size()));
}

} // namespace kelvo
