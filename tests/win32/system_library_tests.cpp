// System libraries come from the system folder only: a library planted beside the program under a
// system library's name is never loaded. A child run of this program, whose start-up prepares the
// control host as the launcher's does, finds the planted copy beside it.
#include "framework/ControlHost.h"

#include "game_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <string>

using namespace kelvo;

namespace {

constexpr wchar_t kChildMark[] = L"KELVO_PLANTED_CHILD";
// Set by the planted library when it is loaded (tests/win32/planted).
constexpr wchar_t kLoadedMark[] = L"KELVO_PLANTED_LOADED";

bool Marked(const wchar_t* name) {
    return ::GetEnvironmentVariableW(name, nullptr, 0) != 0;
}

std::wstring ModulePath(HMODULE module) {
    wchar_t path[MAX_PATH] = L"";
    ::GetModuleFileNameW(module, path, MAX_PATH);
    return path;
}

std::wstring Lower(std::wstring text) {
    for (auto& c : text)
        c = static_cast<wchar_t>(std::towlower(c));
    return text;
}

TEST(SystemLibraryChild, TheHostLibraryComesFromTheSystemFolder) {
    if (!Marked(kChildMark))
        GTEST_SKIP() << "runs in the child of SystemLibraries.APlantedCopyBesideTheProgramIsNeverLoaded";
    // Where the planted file runs (Windows) it leaves its mark; Wine runs its own code under the
    // name of the file it found, so the module's path shows where the search went.
    EXPECT_FALSE(Marked(kLoadedMark));
    EXPECT_TRUE(ControlHost::LoadHostLibrary());
    wchar_t system[MAX_PATH] = L"";
    ::GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring loaded = Lower(ModulePath(::GetModuleHandleW(L"atl.dll")));
    EXPECT_EQ(loaded.rfind(Lower(system) + L"\\", 0), 0u) << gametest::Utf8(loaded);
}

TEST(SystemLibraries, APlantedCopyBesideTheProgramIsNeverLoaded) {
    const std::wstring folder = ProgramFolder();
    const std::wstring planted = folder + L"atl.dll";
    ASSERT_TRUE(::CopyFileW((folder + L"planted\\kelvo_planted_library.dll").c_str(), planted.c_str(), TRUE))
        << "cannot plant " << gametest::Utf8(planted) << ": " << ::GetLastError();
    // Gone again whatever happens below: every other test loads the host library by its name.
    struct Unplant {
        const std::wstring& path;
        ~Unplant() { ::DeleteFileW(path.c_str()); }
    } unplant{planted};
    EXPECT_EQ(RunChildTests(L"SystemLibraryChild.*", kChildMark), 0)
        << "the child run failed: its output is above";
}

} // namespace
