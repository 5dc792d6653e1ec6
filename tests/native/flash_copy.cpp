// The Flash control shipped beside the launcher: which files are taken for a library of this
// build, and the one debug-output line about the copy.
#include "flash/core/FlashCopy.h"

#include "pe_test_image.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <string_view>

using namespace kelvo;
using pe_test::Bytes;
using pe_test::MakeImage;

namespace {

constexpr std::uint16_t kLibrary = 0x2102; // executable image, 32-bit words, DLL

FlashCopyFault Check(const std::vector<std::byte>& file, std::uint16_t machine) {
    return CheckFlashCopyImage(
        std::span<const std::byte>(file.data(), std::min(file.size(), kImageHeadLimit)), file.size(),
        machine);
}

TEST(FlashCopy, WhichFilesAreALibraryOfThisBuild) {
    struct Case {
        const char* name;
        std::vector<std::byte> file;
        std::uint16_t machine;
        FlashCopyFault fault;
    };
    std::vector<std::byte> cut = MakeImage({.machine = kMachineI386, .characteristics = kLibrary});
    cut.resize(cut.size() - 1);
    const Case cases[] = {
        {"i386 library, 32-bit launcher", MakeImage({.machine = kMachineI386, .characteristics = kLibrary}),
         kMachineI386, FlashCopyFault::None},
        {"amd64 library, 64-bit launcher", MakeImage({.machine = kMachineAmd64, .characteristics = kLibrary}),
         kMachineAmd64, FlashCopyFault::None},
        {"amd64 library, 32-bit launcher", MakeImage({.machine = kMachineAmd64, .characteristics = kLibrary}),
         kMachineI386, FlashCopyFault::OtherArchitecture},
        {"i386 library, 64-bit launcher", MakeImage({.machine = kMachineI386, .characteristics = kLibrary}),
         kMachineAmd64, FlashCopyFault::OtherArchitecture},
        // The machine is read before anything else of the headers: a header alone names it.
        {"amd64 headers only",
         MakeImage({.machine = kMachineAmd64, .characteristics = kLibrary, .sections = 0}), kMachineI386,
         FlashCopyFault::OtherArchitecture},
        {"a program", MakeImage({.machine = kMachineI386}), kMachineI386, FlashCopyFault::NotALibrary},
        {"text file", Bytes("Flash Player 32\r\nCopy flash.ocx here.\r\n"), kMachineI386,
         FlashCopyFault::NotALibrary},
        {"empty file", {}, kMachineI386, FlashCopyFault::NotALibrary},
        {"library cut one byte short", cut, kMachineI386, FlashCopyFault::NotALibrary},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Check(c.file, c.machine), c.fault) << c.name;
}

TEST(FlashCopy, OneLineSaysWhetherAndWhyNot) {
    struct Case {
        FlashCopyFault fault;
        std::uint32_t code;
        std::uint16_t machine;
        std::u16string_view line;
    };
    const std::u16string_view path = u"C:\\Games\\Kelvo\\flash.ocx";
    const Case cases[] = {
        {FlashCopyFault::Absent, 0, kMachineI386, u""},
        {FlashCopyFault::None, 0, kMachineI386, u"Flash control: using C:\\Games\\Kelvo\\flash.ocx\n"},
        {FlashCopyFault::Unreadable, 5, kMachineI386,
         u"Flash control: not using C:\\Games\\Kelvo\\flash.ocx: it cannot be read (0x00000005)\n"},
        {FlashCopyFault::NotALibrary, 0, kMachineI386,
         u"Flash control: not using C:\\Games\\Kelvo\\flash.ocx: it is not a DLL\n"},
        {FlashCopyFault::OtherArchitecture, 0, kMachineI386,
         u"Flash control: not using C:\\Games\\Kelvo\\flash.ocx: it is not a 32-bit (x86) DLL, as this "
         u"launcher needs\n"},
        {FlashCopyFault::OtherArchitecture, 0, kMachineAmd64,
         u"Flash control: not using C:\\Games\\Kelvo\\flash.ocx: it is not a 64-bit (x64) DLL, as this "
         u"launcher needs\n"},
        {FlashCopyFault::NotPublishers, 0, kMachineI386,
         u"Flash control: not using C:\\Games\\Kelvo\\flash.ocx: not the publisher's copy\n"},
        {FlashCopyFault::NotLoaded, 126, kMachineI386,
         u"Flash control: not using C:\\Games\\Kelvo\\flash.ocx: Windows does not load it (0x0000007E)\n"},
        {FlashCopyFault::NoClassFactory, 0, kMachineI386,
         u"Flash control: not using C:\\Games\\Kelvo\\flash.ocx: it has no DllGetClassObject export\n"},
        {FlashCopyFault::ClassRefused, 0x80040111, kMachineI386,
         u"Flash control: not using C:\\Games\\Kelvo\\flash.ocx: its class factory does not make the Flash "
         u"control (0x80040111)\n"},
        {FlashCopyFault::NotPlaced, 0, kMachineAmd64,
         u"Flash control: not using C:\\Games\\Kelvo\\flash.ocx: its control cannot be placed in the game "
         u"window\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FlashCopyNote(c.fault, path, c.code, c.machine), c.line) << static_cast<int>(c.fault);
}

TEST(FlashCopy, OnlyThePinnedDigestIsThePublishersCopy) {
    std::array<std::byte, 32> digest{};
    for (std::size_t i = 0; i < digest.size(); ++i)
        digest[i] = static_cast<std::byte>((i * 9 + 0xA0) & 0xFF);
    const std::u16string hex = u"a0a9b2bbc4cdd6dfe8f1fa030c151e273039424b545d666f78818a939ca5aeb7";
    const std::u16string upper = u"A0A9B2BBC4CDD6DFE8F1FA030C151E273039424B545D666F78818A939CA5AEB7";
    const struct {
        const char* what;
        std::u16string pin;
        bool matches;
    } cases[] = {
        {"no pin: any copy", u"", true},
        {"the digest", hex, true},
        {"in capitals", upper, true},
        {"in mixed case", u"A0a9" + hex.substr(4), true},
        {"the last digit differs", hex.substr(0, 63) + u"6", false},
        {"the first digit differs", u"b" + hex.substr(1), false},
        {"one digit short", hex.substr(0, 63), false},
        {"one digit long", hex + u"0", false},
        {"half of it", hex.substr(0, 32), false},
        {"not hex", u"g" + hex.substr(1), false},
        {"blanks around it", u" " + hex.substr(1), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MatchesFlashCopyPin(c.pin, digest), c.matches) << c.what;
}

} // namespace
