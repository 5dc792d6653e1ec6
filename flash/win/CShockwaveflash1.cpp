#include "flash/win/CShockwaveflash1.h"

#include "flash/win/FlashCopyLibrary.h"
#include "framework/CatchLog.h"
#include "framework/Text.h"
#include "base/ExecutableImage.h"

namespace kelvo {

// {D27CDB6E-AE6D-11CF-96B8-444553540000}
const CLSID CLSID_KelvoShockwaveFlash = {
    0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
// {D27CDB6D-AE6D-11CF-96B8-444553540000}
const IID DIID_KelvoShockwaveFlashEvents = {
    0xD27CDB6D, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

namespace {
constexpr DISPID kDispidBackgroundColor = 123;
constexpr DISPID kDispidWMode = 133;
constexpr DISPID kDispidMenu = 135;
constexpr DISPID kDispidFlashVars = 170;
constexpr DISPID kDispidAllowScriptAccess = 171;
constexpr DISPID kDispidAllowFullScreen = 202;
constexpr DISPID kDispidPlay = 112;
constexpr DISPID kDispidStop = 113;
constexpr DISPID kDispidLoadMovie = 142;
constexpr DISPID kDispidCallFunction = 198;
} // namespace

BOOL CShockwaveflash1::Create(LPCWSTR, DWORD style, const RECT& rect, CWnd* pParentWnd, UINT id) {
    const FlashCopyLibrary& copy = FlashCopyLibrary::BesideProgram();
    std::uint32_t code = 0;
    const FlashCopyFault fault = CreateFromCopy(copy, style, rect, pParentWnd, id, &code);
    try {
        const std::u16string note = FlashCopyNote(fault, ToU16(copy.Path()), code, kelvo::kBuildMachine);
        if (!note.empty())
            ::OutputDebugStringW(ToWide(note).c_str());
    } catch (...) {
        KELVO_LOG_CAUGHT();
        // Without memory for the line the choice still stands.
    }
    bool registered = false;
    if (fault != FlashCopyFault::None) {
        const HRESULT hr = CreateControl(CLSID_KelvoShockwaveFlash, DIID_KelvoShockwaveFlashEvents, style,
                                         rect, pParentWnd, id);
        registered = SUCCEEDED(hr);
        // Most often no Flash Player is installed; the result tells that apart from a broken one.
        if (!registered)
            LogFailedResult(L"the registered Flash control is not created", hr);
    }
    return ChooseFlashControl(fault, registered) != FlashControlSource::Notice;
}

FlashCopyFault CShockwaveflash1::CreateFromCopy(const FlashCopyLibrary& copy, DWORD style, const RECT& rect,
                                                CWnd* pParentWnd, UINT id, std::uint32_t* code) {
    std::uint32_t ignored = 0;
    std::uint32_t& result = code ? *code : ignored;
    result = copy.LoadCode();
    if (copy.LoadFault() != FlashCopyFault::None)
        return copy.LoadFault();
    ComPtr<IUnknown> control;
    const HRESULT hr = copy.CreateObject(CLSID_KelvoShockwaveFlash, control.ReleaseAndGetAddressOf());
    if (FAILED(hr)) {
        result = static_cast<std::uint32_t>(hr);
        return FlashCopyFault::ClassRefused;
    }
    // The same site and event path as a registered control: the object is only made elsewhere.
    const HRESULT placed =
        CreateControl(control.Get(), DIID_KelvoShockwaveFlashEvents, style, rect, pParentWnd, id);
    if (FAILED(placed)) {
        // Told in the one line about the copy, with this result.
        result = static_cast<std::uint32_t>(placed);
        return FlashCopyFault::NotPlaced;
    }
    return FlashCopyFault::None;
}

BOOL CShockwaveflash1::Create(CWnd* pParentWnd, const RECT& rect, UINT id) {
    return Create(nullptr, WS_CHILD, rect, pParentWnd, id);
}

HRESULT CShockwaveflash1::Menu(bool show) {
    return PutProperty(kDispidMenu, DispatchArg::Bool(show));
}

HRESULT CShockwaveflash1::AllowFullScreen(const std::wstring& value) {
    return PutProperty(kDispidAllowFullScreen, DispatchArg::String(value));
}

HRESULT CShockwaveflash1::AllowScriptAccess(const std::wstring& value) {
    return PutProperty(kDispidAllowScriptAccess, DispatchArg::String(value));
}

HRESULT CShockwaveflash1::WMode(const std::wstring& value) {
    return PutProperty(kDispidWMode, DispatchArg::String(value));
}

HRESULT CShockwaveflash1::BackgroundColor(long colour) {
    return PutProperty(kDispidBackgroundColor, DispatchArg::Long(colour));
}

HRESULT CShockwaveflash1::FlashVars(const std::wstring& value) {
    return PutProperty(kDispidFlashVars, DispatchArg::String(value));
}

HRESULT CShockwaveflash1::LoadMovie(long layer, const std::wstring& url) {
    const DispatchArg args[] = {DispatchArg::Long(layer), DispatchArg::String(url)};
    return CallMethod(kDispidLoadMovie, args);
}

HRESULT CShockwaveflash1::Play() {
    return CallMethod(kDispidPlay, {});
}

HRESULT CShockwaveflash1::Stop() {
    return CallMethod(kDispidStop, {});
}

std::wstring CShockwaveflash1::CallFunction(const std::wstring& request) {
    const DispatchArg args[] = {DispatchArg::String(request)};
    UniqueVariant reply;
    if (FAILED(CallMethod(kDispidCallFunction, args, reply.get())) || reply.get()->vt != VT_BSTR ||
        !reply.get()->bstrVal)
        return {};
    return std::wstring(reply.get()->bstrVal, ::SysStringLen(reply.get()->bstrVal));
}

} // namespace kelvo
