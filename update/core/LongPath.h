// Paths the file API accepts even when they reach MAX_PATH: the current directory may be long
// enough that "dir\kelvo_new.exe" no longer fits the classic limit.
#pragma once

#include <string>

namespace kelvo {

inline constexpr std::size_t kClassicPathLimit = 260; // MAX_PATH, terminator included

// Absolute "X:\..." and "\\server\share\..." paths of kClassicPathLimit units or more get the
// "\\?\" (or "\\?\UNC\") form; anything else is returned as it is.
std::u16string ToFileApiPath(const std::u16string& path);

} // namespace kelvo
