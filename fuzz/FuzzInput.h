// What the fuzz targets share: reading a fuzzer input as UTF-16 and stopping on a broken invariant.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

inline void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// When the first byte is 'U' the rest is UTF-16LE; otherwise every byte is one unit, so that a
// dictionary's ASCII tokens arrive as they are.
inline std::u16string Units(const std::uint8_t* data, std::size_t size) {
    std::u16string text;
    if (size > 0 && data[0] == 'U') {
        for (std::size_t i = 1; i + 1 < size; i += 2)
            text += static_cast<char16_t>(data[i] | data[i + 1] << 8);
    } else {
        text.assign(data, data + size);
    }
    return text;
}

} // namespace fuzz
