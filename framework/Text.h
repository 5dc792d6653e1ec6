// Conversions between the portable core's UTF-16 strings and the Windows API's wide strings,
// which are the same UTF-16 code units under another type.
#pragma once

#include <string>
#include <string_view>

namespace kelvo {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 code units");

inline std::wstring ToWide(std::u16string_view text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

inline std::u16string ToU16(std::wstring_view text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

} // namespace kelvo
