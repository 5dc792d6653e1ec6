// Where the game window's Flash control comes from. Flash Player is registered on few machines
// today, and players without administrator rights cannot register one, so a publisher may ship the
// control as "flash.ocx" beside the launcher. The launcher makes its control through the file's
// own class factory and registers nothing. The copy comes first, because it is the control the
// publisher tested the game with; then the registered control; then the notice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace kelvo {

// The copy's file name, in the folder of the running program (never the current directory, which
// the update works in and which may be any folder).
inline constexpr std::u16string_view kFlashCopyName = u"flash.ocx";

// Why the copy gave no control. The Windows side finds these in this order: the file, its
// headers, its hash, the loader, the export, the class factory, the site.
enum class FlashCopyFault {
    None,              // the copy gave the control
    Absent,            // no file of that name
    Unreadable,        // the file cannot be opened or read
    NotALibrary,       // not a complete Windows library (a text file, a program, a cut-off file)
    OtherArchitecture, // a library for the other architecture (a 32-bit control for a 64-bit launcher)
    NotPublishers,     // the build pins the publisher's copy by its hash, and this is another file
    NotLoaded,         // the loader refused it (a library it needs is missing, say)
    NoClassFactory,    // no DllGetClassObject export
    ClassRefused,      // its class factory fails, or does not know the Flash class id
    NotPlaced,         // its object cannot be placed in the control's site
};

enum class FlashControlSource { OwnCopy, Registered, Notice };

// The SHA-256 (hex) of the copy the publisher ships with this build (KELVO_FLASH_COPY_SHA256);
// empty: any copy is used.
std::u16string_view BuiltInFlashCopyPin() noexcept;

// Whether a file of this SHA-256 digest is the copy `pin` names: any file when the pin is empty;
// otherwise the pin must be the digest's 64 hex digits, in either case.
bool MatchesFlashCopyPin(std::u16string_view pin, std::span<const std::byte, 32> digest) noexcept;

// The verdict on the copy's first bytes (up to kImageHeadLimit) and its size: None, NotALibrary
// or OtherArchitecture. `machine` is the machine of this build.
FlashCopyFault CheckFlashCopyImage(std::span<const std::byte> head, std::uint64_t fileSize,
                                   std::uint16_t machine) noexcept;

// Which control the game window shows, after the copy gave `copy` and, only when it gave none, the
// registered class was tried with the result `registeredCreated`.
FlashControlSource ChooseFlashControl(FlashCopyFault copy, bool registeredCreated) noexcept;

// The one debug-output line about the copy at `path` (with its line feed): that it was used, or why
// not, with the system's error or result code when there is one (0: none). Empty for an absent
// copy: most players have none, and there is nothing to tell them.
std::u16string FlashCopyNote(FlashCopyFault fault, std::u16string_view path, std::uint32_t code,
                             std::uint16_t machine);

} // namespace kelvo
