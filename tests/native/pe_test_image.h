// Small Windows executable images built byte by byte, for the checks of downloaded launchers.
#pragma once

#include "base/ExecutableImage.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

using namespace kelvo;

namespace pe_test {

// Text as bytes, for files that are no image.
inline std::vector<std::byte> Bytes(std::string_view text) {
    std::vector<std::byte> b;
    for (char c : text)
        b.push_back(static_cast<std::byte>(c));
    return b;
}

struct ImageLayout {
    std::uint16_t machine = kelvo::kBuildMachine;
    std::uint32_t peOffset = 0x80;
    std::uint16_t characteristics = 0x0102; // executable image, 32-bit words
    std::uint16_t magic = 0;                // 0: the one that fits the machine
    std::uint16_t optionalSize = 0;         // 0: the standard size for the magic
    std::uint16_t sections = 2;
    std::uint32_t sectionSize = 0x200; // file data per section, laid out one after the other
};

inline void Put16(std::vector<std::byte>& b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::byte>(v & 0xFF);
    b[at + 1] = static_cast<std::byte>((v >> 8) & 0xFF);
}
inline void Put32(std::vector<std::byte>& b, std::size_t at, std::uint32_t v) {
    Put16(b, at, v & 0xFFFF);
    Put16(b, at + 2, v >> 16);
}

// Headers padded to 0x400, then every section's data.
inline std::vector<std::byte> MakeImage(const ImageLayout& layout = {}) {
    const std::uint16_t magic =
        layout.magic ? layout.magic : (layout.machine == kelvo::kMachineI386 ? 0x10B : 0x20B);
    const std::uint16_t optionalSize =
        layout.optionalSize ? layout.optionalSize : (magic == 0x10B ? 224 : 240);
    const std::size_t headers = 0x400;
    std::vector<std::byte> b(headers + std::size_t{layout.sections} * layout.sectionSize);
    Put16(b, 0, 0x5A4D);
    Put32(b, 0x3C, layout.peOffset);
    const std::size_t pe = layout.peOffset;
    if (pe + 24 + optionalSize + layout.sections * 40u > b.size())
        b.resize(pe + 24 + optionalSize + layout.sections * 40u);
    Put32(b, pe, 0x00004550);
    Put16(b, pe + 4, layout.machine);
    Put16(b, pe + 6, layout.sections);
    Put16(b, pe + 20, optionalSize);
    Put16(b, pe + 22, layout.characteristics);
    Put16(b, pe + 24, magic);
    const std::size_t table = pe + 24 + optionalSize;
    for (std::size_t i = 0; i < layout.sections; ++i) {
        Put32(b, table + i * 40 + 16, layout.sectionSize);
        Put32(b, table + i * 40 + 20, static_cast<std::uint32_t>(headers + i * layout.sectionSize));
    }
    return b;
}

} // namespace pe_test
