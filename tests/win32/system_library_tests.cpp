// System libraries come from the system folder only: a library planted beside the program under a
// system library's name is never loaded. A child run of this program, whose start-up prepares the
// control host as the launcher's does, finds the planted copy beside it.
#include "framework/ControlHost.h"

#include "game_support.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <cwctype>
#include <optional>
#include <set>
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

// The libraries kelvo.exe imports when it starts: KnownDLLs of Windows 7 and Windows 10, which the
// loader takes from the system folder whatever lies beside the program, and the common controls,
// which the manifest takes from WinSxS. Everything else is delay-loaded from the system folder.
TEST(SystemLibraries, TheLauncherImportsOnlyProtectedLibraries) {
    const std::optional<std::string> file = ReadFileBytes(ProgramFolder() + L"kelvo.exe");
    ASSERT_TRUE(file) << "no kelvo.exe beside the tests";
    const std::string& image = *file;
    const auto at = [&](std::size_t offset, auto value) {
        if (offset + sizeof value <= image.size())
            std::memcpy(&value, image.data() + offset, sizeof value);
        return value;
    };
    const std::size_t nt = at(offsetof(IMAGE_DOS_HEADER, e_lfanew), LONG{});
    const auto headers = at(nt, IMAGE_NT_HEADERS{});
    ASSERT_EQ(headers.Signature, IMAGE_NT_SIGNATURE);
    const std::size_t sections =
        nt + offsetof(IMAGE_NT_HEADERS, OptionalHeader) + headers.FileHeader.SizeOfOptionalHeader;
    const auto fileOffset = [&](DWORD rva) -> std::size_t {
        for (WORD i = 0; i < headers.FileHeader.NumberOfSections; ++i) {
            const auto section = at(sections + i * sizeof(IMAGE_SECTION_HEADER), IMAGE_SECTION_HEADER{});
            if (rva >= section.VirtualAddress && rva < section.VirtualAddress + section.SizeOfRawData)
                return rva - section.VirtualAddress + section.PointerToRawData;
        }
        return image.size();
    };
    const std::set<std::wstring> allowed = {L"kernel32.dll", L"user32.dll", L"gdi32.dll",
                                            L"advapi32.dll", L"ole32.dll",  L"oleaut32.dll",
                                            L"shell32.dll",  L"msvcrt.dll", L"comctl32.dll"};
    std::set<std::wstring> imported;
    const DWORD table = headers.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (std::size_t entry = fileOffset(table);; entry += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto descriptor = at(entry, IMAGE_IMPORT_DESCRIPTOR{});
        if (descriptor.Name == 0)
            break;
        const std::size_t name = fileOffset(descriptor.Name);
        ASSERT_LT(name, image.size());
        imported.insert(Lower(FromUtf8(image.c_str() + name)));
    }
    EXPECT_TRUE(imported.count(L"kernel32.dll")) << "the import table was not read";
    for (const std::wstring& name : imported)
        EXPECT_TRUE(allowed.count(name)) << "kelvo.exe imports " << gametest::Utf8(name)
                                         << " when it starts: a copy beside it would be loaded";
}

} // namespace
