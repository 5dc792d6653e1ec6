#include "Common.h"

#include "framework/InstalledFace.h"

#include <oleauto.h>

using namespace kelvo;

namespace standins {

// The first installed face that has Chinese glyphs, so that GB2312 pages show their text.
const wchar_t* PageFontFace() {
    static const wchar_t* const face = [] {
        const wchar_t* found = FirstInstalledFace({L"Microsoft YaHei", L"SimSun", L"WenQuanYi Micro Hei",
                                                   L"Noto Sans CJK SC", L"Droid Sans Fallback"});
        return found ? found : L"Tahoma";
    }();
    return face;
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                        nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr,
                          nullptr);
    return out;
}

std::wstring FromCodePage(const std::string& bytes, UINT codePage) {
    if (bytes.empty())
        return {};
    const int n =
        ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    ::MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

std::wstring GuidString(REFGUID guid) {
    wchar_t text[64] = L"";
    ::StringFromGUID2(guid, text, 64);
    return text;
}

BSTR MakeBstr(const std::wstring& text) {
    return ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
}

bool VariantText(const VARIANT* v, std::wstring& text) {
    while (v && V_VT(v) == (VT_VARIANT | VT_BYREF))
        v = V_VARIANTREF(v);
    if (!v)
        return false;
    VARIANT copy;
    ::VariantInit(&copy);
    if (FAILED(::VariantChangeType(&copy, const_cast<VARIANT*>(v), 0, VT_BSTR)))
        return false;
    text.assign(V_BSTR(&copy) ? V_BSTR(&copy) : L"", V_BSTR(&copy) ? ::SysStringLen(V_BSTR(&copy)) : 0);
    ::VariantClear(&copy);
    return true;
}

} // namespace standins
