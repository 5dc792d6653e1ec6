#include "base/ExecutableImage.h"

namespace kelvo {

namespace {

// Header layout (all fields little-endian):
//   DOS header: "MZ" at 0, e_lfanew (uint32) at 0x3C.
//   At e_lfanew: "PE\0\0", then the file header of 20 bytes: Machine (uint16) at +4,
//   NumberOfSections at +6, SizeOfOptionalHeader at +20, Characteristics at +22; the optional
//   header at +24 starts with its magic; the section table follows the optional header, 40 bytes
//   per section, SizeOfRawData at +16 and PointerToRawData at +20.
constexpr std::size_t kLfanewOffset = 0x3C;
constexpr std::size_t kDosHeaderSize = 0x40;
constexpr std::size_t kFileHeaderSize = 24; // signature and file header
constexpr std::size_t kSectionSize = 40;
constexpr std::uint16_t kExecutableImage = 0x0002;
constexpr std::uint16_t kDll = 0x2000;
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;

std::uint16_t U16(std::span<const std::byte> b, std::size_t at) noexcept {
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(b[at]) | std::to_integer<unsigned>(b[at + 1])
                                                                             << 8);
}

std::uint32_t U32(std::span<const std::byte> b, std::size_t at) noexcept {
    return static_cast<std::uint32_t>(U16(b, at)) | static_cast<std::uint32_t>(U16(b, at + 2)) << 16;
}

} // namespace

ImageVerdict CheckExecutableImage(std::span<const std::byte> head, std::uint64_t fileSize,
                                  std::uint16_t machine, ImageKind kind) noexcept {
    if (head.size() > fileSize)
        head = head.first(static_cast<std::size_t>(fileSize));
    if (head.size() < kDosHeaderSize || U16(head, 0) != 0x5A4D) // "MZ"
        return ImageVerdict::NoDosHeader;

    const std::uint64_t pe = U32(head, kLfanewOffset);
    if (pe + kFileHeaderSize > head.size() ||
        U32(head, static_cast<std::size_t>(pe)) != 0x00004550) // "PE\0\0"
        return ImageVerdict::NoPeHeader;
    const auto at = static_cast<std::size_t>(pe);

    if (U16(head, at + 4) != machine)
        return ImageVerdict::WrongMachine;
    const std::uint16_t characteristics = U16(head, at + 22);
    if (!(characteristics & kExecutableImage) ||
        ((characteristics & kDll) != 0) != (kind == ImageKind::Library))
        return ImageVerdict::NotExecutable;

    const std::size_t optionalSize = U16(head, at + 20);
    const std::size_t sections = U16(head, at + 6);
    const std::uint16_t wantedMagic = machine == kMachineI386 ? kMagicPe32 : kMagicPe32Plus;
    if (optionalSize < 2 || sections == 0)
        return ImageVerdict::NotExecutable;
    const std::uint64_t table = pe + kFileHeaderSize + optionalSize;
    if (table + sections * kSectionSize > head.size())
        return ImageVerdict::NoPeHeader;
    if (U16(head, at + kFileHeaderSize) != wantedMagic)
        return ImageVerdict::NotExecutable;

    for (std::size_t i = 0; i < sections; ++i) {
        const auto section = static_cast<std::size_t>(table) + i * kSectionSize;
        const std::uint64_t rawSize = U32(head, section + 16);
        const std::uint64_t rawOffset = U32(head, section + 20);
        // Sections without file data (uninitialised data) take no room in the file.
        if (rawSize != 0 && rawOffset + rawSize > fileSize)
            return ImageVerdict::Truncated;
    }
    return ImageVerdict::Runnable;
}

} // namespace kelvo
