// UTF-16 text between the portable core (char16_t) and the Windows API (wchar_t, 16 bits there).
#pragma once

#include <string>
#include <string_view>

namespace kelvo::update {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

inline std::wstring ToWide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}
inline std::u16string ToU16(std::wstring_view text) {
    return std::u16string(text.begin(), text.end());
}

} // namespace kelvo::update
