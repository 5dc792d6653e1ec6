// A Flash control shipped beside the program and used without registration: every bad copy gives
// its reason and no control, a good one gives a control on the same site and event path as a
// registered one; the game window takes the copy first, then the registered control, then shows
// the notice. The copy is loaded once per process, so the order is seen in child runs.
#include "flash/win/CShockwaveflash1.h"
#include "flash/win/FlashCopyLibrary.h"
#include "game/win/tarvinGame.h"
#include "tests/native/pe_test_image.h"
#include "update/win/CngSignatureChecker.h"

#include "probes/FlashHostProbe.h"
#include "probes/GameProbe.h"
#include "game_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace kelvo;

namespace {

constexpr wchar_t kExpectMark[] = L"KELVO_FLASH_COPY_EXPECT";
constexpr std::uint16_t kLibrary = 0x2102;

bool WriteText(const std::wstring& path) {
    return WriteFileBytes(path, "Put the Flash control of the game here.\r\n");
}

// A library of the other architecture, as far as its headers go: the machine is checked before the
// loader sees the file.
bool WriteOtherArchitecture(const std::wstring& path) {
    const std::uint16_t other =
        kelvo::kBuildMachine == kelvo::kMachineI386 ? kelvo::kMachineAmd64 : kelvo::kMachineI386;
    const std::vector<std::byte> image = pe_test::MakeImage({.machine = other, .characteristics = kLibrary});
    return WriteFileBytes(path, std::string_view(reinterpret_cast<const char*>(image.data()), image.size()));
}

std::function<bool(const std::wstring&)> CopyOf(std::wstring source) {
    return
        [source](const std::wstring& path) { return ::CopyFileW(source.c_str(), path.c_str(), FALSE) != 0; };
}

// The same library with one byte more at its end: still loadable, but another file.
std::function<bool(const std::wstring&)> LongerCopyOf(std::wstring source) {
    return [source](const std::wstring& path) {
        const std::optional<std::string> bytes = ReadFileBytes(source);
        return bytes && WriteFileBytes(path, *bytes + '\0');
    };
}

// The SHA-256 of a file in hex, as the publisher pins it.
std::u16string PinOf(const std::wstring& path) {
    const auto digest = CngSignatureChecker().HashFile(std::u16string(path.begin(), path.end()));
    const std::string hex = digest ? ToHex(*digest) : std::string();
    return std::u16string(hex.begin(), hex.end());
}

// Files planted beside the program or in a scratch folder, gone again at the end.
struct Planted {
    std::vector<std::wstring> paths;
    ~Planted() {
        for (const auto& path : paths)
            ::DeleteFileW(path.c_str());
    }
};

TEST(FlashCopies, EachCopyGivesTheControlOrItsReason) {
    const std::wstring build = ProgramFolder();
    struct Case {
        const char* name;
        std::function<bool(const std::wstring&)> make; // null: no file
        const wchar_t* factoryMode;
        FlashCopyFault fault;
        std::uint32_t code;
        std::u16string pin = u""; // the build's: none
    };
    const std::wstring standin = build + L"tools\\kelvo_standins.dll";
    const std::u16string standinPin = PinOf(standin);
    ASSERT_EQ(standinPin.size(), 64u);
    std::vector<Case> cases = {
        {"no file", nullptr, L"", FlashCopyFault::Absent, 0},
        {"a text file", &WriteText, L"", FlashCopyFault::NotALibrary, 0},
        {"a library of the other architecture", &WriteOtherArchitecture, L"",
         FlashCopyFault::OtherArchitecture, 0},
        {"a library without the export", CopyOf(build + L"planted\\kelvo_planted_library.dll"), L"",
         FlashCopyFault::NoClassFactory, 0},
        {"a class factory that does not know the class", CopyOf(build + L"planted\\kelvo_test_factory.dll"),
         L"refuse", FlashCopyFault::ClassRefused, static_cast<std::uint32_t>(CLASS_E_CLASSNOTAVAILABLE)},
        {"an object that is no control", CopyOf(build + L"planted\\kelvo_test_factory.dll"), L"bare",
         FlashCopyFault::NotPlaced, static_cast<std::uint32_t>(E_NOINTERFACE)},
        {"the stand-in", CopyOf(standin), L"", FlashCopyFault::None, 0},
        {"the stand-in, pinned by its hash", CopyOf(standin), L"", FlashCopyFault::None, 0, standinPin},
        {"the stand-in with a byte appended", LongerCopyOf(standin), L"", FlashCopyFault::None, 0},
        {"the stand-in with a byte appended, pinned by the stand-in's hash", LongerCopyOf(standin), L"",
         FlashCopyFault::NotPublishers, 0, standinPin},
    };
    // The other build's stand-in (scripts/test builds it); without it the test ends as skipped.
    const std::wstring otherBuild =
        build + (kelvo::kBuildMachine == kelvo::kMachineI386 ? L"..\\win64\\tools\\kelvo_standins.dll"
                                                             : L"..\\win32\\tools\\kelvo_standins.dll");
    const bool otherBuilt = ::GetFileAttributesW(otherBuild.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (otherBuilt)
        cases.push_back(
            {"the other build's stand-in", CopyOf(otherBuild), L"", FlashCopyFault::OtherArchitecture, 0});

    const std::wstring folder = TempPath(L"kelvo_flash_copies_" + std::to_wstring(::GetCurrentProcessId()));
    ::CreateDirectoryW(folder.c_str(), nullptr);
    Planted planted;
    StandinLog log;
    tarvinGame game;
    ASSERT_TRUE(game.Create(tarvinGame::IDD));
    ::SetWindowPos(game.m_hWnd, HWND_TOP, 100, 80, 800, 500, SWP_SHOWWINDOW);
    const RECT place{3, 29, 797, 497};
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        // Each case a file of its own: a loaded copy stays loaded.
        const std::wstring path = folder + L"\\copy" + std::to_wstring(i) + L".ocx";
        if (c.make) {
            ASSERT_TRUE(c.make(path)) << c.name << ": " << ::GetLastError();
            planted.paths.push_back(path);
        }
        ::SetEnvironmentVariableW(L"KELVO_TEST_FACTORY", c.factoryMode);
        const FlashCopyLibrary copy(path, c.pin);
        FlashHostProbe::FlashCtrl(GameProbe::Flash(game)) = std::make_unique<CShockwaveflash1>();
        FlashHostProbe::ReadyLayoutDone(GameProbe::Flash(game)) = false;
        std::uint32_t code = 0;
        EXPECT_EQ(FlashHostProbe::FlashCtrl(GameProbe::Flash(game))
                      ->CreateFromCopy(copy, WS_CHILD, place, &game, 1001, &code),
                  c.fault)
            << c.name;
        EXPECT_EQ(code, c.code) << c.name;
        if (c.fault != FlashCopyFault::None) {
            EXPECT_EQ(FlashHostProbe::FlashCtrl(GameProbe::Flash(game))->m_hWnd, nullptr) << c.name;
            EXPECT_EQ(game.GetDlgItem(1001), nullptr) << c.name << ": a host window is left";
            continue;
        }
        // Calls reach it and its events reach the game window, as for a registered control.
        ASSERT_NE(FlashHostProbe::FlashCtrl(GameProbe::Flash(game))->m_hWnd, nullptr);
        EXPECT_EQ(game.GetDlgItem(1001), FlashHostProbe::FlashCtrl(GameProbe::Flash(game))->m_hWnd);
        const int menus = log.Count(L"put Menu false");
        EXPECT_EQ(FlashHostProbe::FlashCtrl(GameProbe::Flash(game))->Menu(false), S_OK);
        EXPECT_EQ(log.Count(L"put Menu false"), menus + 1);
        EXPECT_TRUE(PumpUntil([&] { return FlashHostProbe::ReadyLayoutDone(GameProbe::Flash(game)); }))
            << "no ready-state change arrived";
        FlashHostProbe::FlashCtrl(GameProbe::Flash(game)).reset();
        Pump(50);
    }
    ::SetEnvironmentVariableW(L"KELVO_TEST_FACTORY", nullptr);
    FlashHostProbe::FlashCtrl(GameProbe::Flash(game)).reset();
    game.DestroyWindow();
    Pump(50);
    if (!otherBuilt)
        GTEST_SKIP() << "the other build's stand-in is not built: " << gametest::Utf8(otherBuild);
}

// Run by FlashCopies.TheCopyBesideTheProgramComesFirst with what the game window must show.
TEST(FlashCopyChild, TheGameWindowShowsTheExpectedControl) {
    wchar_t expect[16] = L"";
    if (!::GetEnvironmentVariableW(kExpectMark, expect, 16))
        GTEST_SKIP() << "runs in the child of FlashCopies.TheCopyBesideTheProgramComesFirst";
    const std::wstring expected = expect;
    StandinLog log;
    tarvinGame game;
    ASSERT_TRUE(game.Create(tarvinGame::IDD));
    game.LoadGameMovie(L"uid=1&serverid=12&client=2");
    const bool fromCopy = ::GetModuleHandleW(L"flash.ocx") != nullptr;
    const bool fromRegistration = ::GetModuleHandleW(L"kelvo_standins.dll") != nullptr;
    if (expected == L"notice") {
        EXPECT_FALSE(FlashHostProbe::FlashCtrl(GameProbe::Flash(game)));
        EXPECT_TRUE(FlashHostProbe::Notice(GameProbe::Flash(game)));
    } else {
        ASSERT_TRUE(FlashHostProbe::FlashCtrl(GameProbe::Flash(game)));
        EXPECT_FALSE(FlashHostProbe::Notice(GameProbe::Flash(game)));
        EXPECT_EQ(fromCopy, expected == L"copy");
        EXPECT_EQ(fromRegistration, expected == L"registered");
        EXPECT_TRUE(PumpUntil([&] { return FlashHostProbe::ReadyLayoutDone(GameProbe::Flash(game)); }));
        EXPECT_EQ(log.Count(L"Play"), 1);
    }
    FlashHostProbe::FlashCtrl(GameProbe::Flash(game)).reset();
    game.DestroyWindow();
    Pump(50);
}

TEST(FlashCopies, TheCopyBesideTheProgramComesFirst) {
    if (!StandinRegistered(kFlashClsid))
        GTEST_SKIP() << "the Flash class id is not registered to the stand-in";
    const std::wstring build = ProgramFolder();
    struct Case {
        const char* name;
        std::function<bool(const std::wstring&)> make;
        bool registered;
        const wchar_t* shown;
    };
    const Case cases[] = {
        {"the stand-in beside, no registration", CopyOf(build + L"tools\\kelvo_standins.dll"), false,
         L"copy"},
        {"the stand-in beside, registered too", CopyOf(build + L"tools\\kelvo_standins.dll"), true, L"copy"},
        {"a text file beside, registered", &WriteText, true, L"registered"},
        {"a text file beside, no registration", &WriteText, false, L"notice"},
    };
    const std::wstring beside = build + L"flash.ocx";
    for (const Case& c : cases) {
        Planted planted{{beside}};
        ASSERT_TRUE(c.make(beside)) << c.name << ": " << ::GetLastError();
        std::unique_ptr<ClassRegistrationRemoved> removed;
        if (!c.registered) {
            removed = std::make_unique<ClassRegistrationRemoved>(kFlashClsid);
            ASSERT_TRUE(removed->Ok());
        }
        EXPECT_EQ(RunChildTests(L"FlashCopyChild.*", kExpectMark, c.shown), 0)
            << c.name << ": the child run failed, its output is above";
    }
}

} // namespace
