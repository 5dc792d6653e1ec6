#include "login/win/CExplorer1.h"

#include "framework/CatchLog.h"

namespace kelvo {

// {8856F961-340A-11D0-A96B-00C04FD705A2}
const CLSID CLSID_KelvoWebBrowser = {
    0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
// {34A715A0-6587-11D0-924A-0020AFC7AC4D}
const IID DIID_KelvoWebBrowserEvents2 = {
    0x34A715A0, 0x6587, 0x11D0, {0x92, 0x4A, 0x00, 0x20, 0xAF, 0xC7, 0xAC, 0x4D}};

namespace {
constexpr DISPID kDispidNavigate = 104;
constexpr DISPID kDispidDocument = 203;
} // namespace

BOOL CExplorer1::Create(LPCWSTR, DWORD style, const RECT& rect, CWnd* pParentWnd, UINT id) {
    const HRESULT hr =
        CreateControl(CLSID_KelvoWebBrowser, DIID_KelvoWebBrowserEvents2, style, rect, pParentWnd, id);
    if (FAILED(hr)) {
        LogFailedResult(L"the web browser control is not created", hr);
        return FALSE;
    }
    return TRUE;
}

BOOL CExplorer1::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message == WM_RBUTTONDOWN || pMsg->message == WM_RBUTTONDBLCLK)
        return TRUE;
    return ControlWnd::PreTranslateMessage(pMsg);
}

void CExplorer1::Navigate(LPCWSTR url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData,
                          VARIANT* headers) {
    const DispatchArg args[] = {DispatchArg::String(url ? url : L""), DispatchArg::VariantRef(flags),
                                DispatchArg::VariantRef(targetFrameName), DispatchArg::VariantRef(postData),
                                DispatchArg::VariantRef(headers)};
    CallMethod(kDispidNavigate, args);
}

ComPtr<IDispatch> CExplorer1::get_Document() {
    UniqueVariant result;
    if (FAILED(InvokeHelper(kDispidDocument, DISPATCH_PROPERTYGET, result.get(), nullptr, 0)))
        return {};
    if (result.get()->vt != VT_DISPATCH || !result.get()->pdispVal)
        return {};
    return ComPtr<IDispatch>(result.get()->pdispVal);
}

} // namespace kelvo
