// Whether a file can be what it claims to be: a complete Windows program, or library, for the
// architecture of this build. A captive portal's page, an error page sent with status 200, a body
// cut short without a length, or a program for the other architecture all arrive as a "successful"
// download; installing one would leave the player with a launcher that does not start. A library
// shipped beside the launcher is checked the same way before it is loaded, so that a wrong file is
// named as such instead of failing somewhere inside the loader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kelvo {

inline constexpr std::uint16_t kMachineI386 = 0x014C;
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;
inline constexpr std::uint16_t kMachineArm64 = 0xAA64;

// The machine field a file must carry to run in place of this build.
#if defined(_M_X64) || defined(__x86_64__)
inline constexpr std::uint16_t kBuildMachine = kMachineAmd64;
#elif defined(_M_IX86) || defined(__i386__)
inline constexpr std::uint16_t kBuildMachine = kMachineI386;
#elif defined(_M_ARM64) || defined(__aarch64__)
inline constexpr std::uint16_t kBuildMachine = kMachineArm64;
#else
#error "unknown build architecture"
#endif

// The headers must lie within this many bytes from the start of the file; real programs keep them
// in the first page or two.
inline constexpr std::size_t kImageHeadLimit = 65536;

// What the file must be: a program (the launcher itself) or a library (a control beside it).
enum class ImageKind { Program, Library };

enum class ImageVerdict {
    Runnable,
    NoDosHeader,   // no "MZ", or too short for the DOS header
    NoPeHeader,    // no "PE\0\0" at the offset the DOS header names, or headers past the limit
    WrongMachine,  // an executable for another architecture
    NotExecutable, // not of the kind asked for (a library for a program, a program for a library), an
                   // object file, or an optional header that does not fit the machine
    Truncated,     // a section's data reaches past the end of the file
};

// head: the first bytes of the file (up to kImageHeadLimit); fileSize: the file's whole size.
ImageVerdict CheckExecutableImage(std::span<const std::byte> head, std::uint64_t fileSize,
                                  std::uint16_t machine, ImageKind kind = ImageKind::Program) noexcept;

} // namespace kelvo
