// The Windows side of the update's platform work: profile reading as the manifest needs it, the
// renames, and the current directory.
#include "update_support.h"

#include "update/core/UpdateFlow.h"
#include "framework/Text.h"
#include "update/win/CngSignatureChecker.h"
#include "update/win/InstallRecord.h"
#include "update/win/WinUpdateEnvironment.h"

#include <gtest/gtest.h>

#include <cwctype>
#include <memory>

using namespace kelvo;

using kelvo::WinUpdateEnvironment;

namespace {

TEST(UpdateEnvironment, ManifestValues) {
    const std::wstring ini = TempPath(L"kelvo_update_test.ini");
    WinUpdateEnvironment env(nullptr);
    struct Case {
        const char* value;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"1002", 1002}, {" 1002 ", 1002},           {"-5", -5}, {"abc", 0}, {"", 0},
        {"12abc", 12},  {"2147483647", 2147483647},
    };
    for (const Case& c : cases) {
        WriteFileBytes(ini, std::string("[LoginUpdate]\r\nVersionId=") + c.value +
                                "\r\ndownloadUrl=http://h/k.exe\r\n");
        EXPECT_EQ(env.ReadIniInt(ToU16(ini), u"LoginUpdate", u"VersionId", 0), c.expected) << c.value;
    }

    WriteFileBytes(ini, "[Other]\r\nVersionId=2000\r\n");
    EXPECT_EQ(env.ReadIniInt(ToU16(ini), u"LoginUpdate", u"VersionId", 0), 0);
    EXPECT_EQ(env.ReadIniString(ToU16(ini), u"LoginUpdate", u"downloadUrl"), u"");

    const std::string longUrl = "http://h/kelvo.exe?" + std::string(10240, 'q');
    WriteFileBytes(ini, "[LoginUpdate]\r\nVersionId=1002\r\ndownloadUrl=" + longUrl + "\r\n");
    const std::u16string read = env.ReadIniString(ToU16(ini), u"LoginUpdate", u"downloadUrl");
    EXPECT_EQ(read.size(), kelvo::kMaxUrlLength);
    EXPECT_EQ(read, ToU16(std::wstring(longUrl.begin(), longUrl.begin() + 259)));
    ::DeleteFileW(ini.c_str());
}

TEST(UpdateEnvironment, HeadAndFlush) {
    const std::wstring path = TempPath(L"kelvo_update_head.exe");
    WriteFileBytes(path, "MZ" + std::string(5000, 'x'));
    WinUpdateEnvironment env(nullptr);
    const auto head = env.ReadHead(ToU16(path), 100);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->size, 5002u);
    ASSERT_EQ(head->bytes.size(), 100u);
    EXPECT_EQ(static_cast<char>(head->bytes[1]), 'Z');
    const auto whole = env.ReadHead(ToU16(path), 65536);
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->bytes.size(), 5002u);
    EXPECT_TRUE(env.FlushFile(ToU16(path)));
    ::DeleteFileW(path.c_str());
    EXPECT_FALSE(env.ReadHead(ToU16(path), 100));
    EXPECT_FALSE(env.FlushFile(ToU16(path)));
}

TEST(UpdateEnvironment, RenameFailsOnAnExistingName) {
    const std::wstring a = TempPath(L"kelvo_update_a.exe");
    const std::wstring b = TempPath(L"kelvo_update_b.exe");
    WriteFileBytes(a, "a");
    WriteFileBytes(b, "b");
    WinUpdateEnvironment env(nullptr);
    EXPECT_FALSE(env.Rename(ToU16(a), ToU16(b)));
    env.DeleteFile(ToU16(b));
    EXPECT_EQ(::GetFileAttributesW(b.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(env.Rename(ToU16(a), ToU16(b)));
    EXPECT_EQ(::GetFileAttributesW(a.c_str()), INVALID_FILE_ATTRIBUTES);
    env.DeleteFile(ToU16(b));
    env.DeleteFile(ToU16(b)); // missing: ignored
}

TEST(UpdateEnvironment, CurrentDirectory) {
    wchar_t current[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, current);
    WinUpdateEnvironment env(nullptr);
    EXPECT_EQ(env.CurrentDirectory(), ToU16(current));
}

} // namespace

namespace {

TEST(UpdateEnvironment, LongCurrentDirectoryIsReadWhole) {
    wchar_t saved[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, saved);
    wchar_t base[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, base);
    std::wstring dir = base;
    if (!dir.empty() && dir.back() == L'\\')
        dir.pop_back();
    for (int i = 0; dir.size() < 300; ++i) {
        dir += L"\\" + std::wstring(60, static_cast<wchar_t>(L'k' + i));
        ::CreateDirectoryW((L"\\\\?\\" + dir).c_str(), nullptr);
    }
    if (!::SetCurrentDirectoryW(dir.c_str()))
        GTEST_SKIP() << "the system keeps the current directory below MAX_PATH";
    WinUpdateEnvironment env(nullptr);
    const std::u16string current = env.CurrentDirectory();
    ::SetCurrentDirectoryW(saved);
    EXPECT_EQ(current, ToU16(dir));
}

} // namespace

namespace {

// Between the check and the rename another program that may write the folder tries to swap the
// download's bytes: every way in fails, and the launcher's name goes to the bytes that were hashed.
TEST(UpdateEnvironment, HeldDownloadIsInstalledAsVerified) {
    const std::wstring download = TempPath(L"kelvo_held_new.exe");
    const std::wstring launcher = TempPath(L"kelvo_held.exe");
    const std::wstring other = TempPath(L"kelvo_held_other.exe");
    const std::wstring aside = TempPath(L"kelvo_held_aside.exe");
    for (const std::wstring& path : {download, launcher, other, aside})
        ::DeleteFileW(path.c_str());
    const std::string verified = "MZ" + std::string(70000, 'v');
    WriteFileBytes(download, verified);
    WriteFileBytes(other, "MZ" + std::string(70000, 'x'));

    WinUpdateEnvironment env(nullptr);
    std::unique_ptr<HeldFile> held = env.Hold(ToU16(download));
    ASSERT_TRUE(held);
    const auto head = held->ReadHead(100);
    ASSERT_TRUE(head);
    EXPECT_EQ(head->size, verified.size());
    CngSignatureChecker checker;
    const auto digest = held->Hash(checker);
    ASSERT_TRUE(digest);

    const HANDLE writer =
        ::CreateFileW(download.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(writer, INVALID_HANDLE_VALUE) << "a writer opened the held file";
    if (writer != INVALID_HANDLE_VALUE) {
        DWORD wrote = 0;
        ::WriteFile(writer, "MZswapped", 9, &wrote, nullptr);
        ::CloseHandle(writer);
    }
    EXPECT_FALSE(::DeleteFileW(download.c_str())) << "the held file was deleted";
    EXPECT_FALSE(::MoveFileExW(other.c_str(), download.c_str(), MOVEFILE_REPLACE_EXISTING))
        << "the held file was replaced";
    EXPECT_FALSE(::MoveFileW(download.c_str(), aside.c_str())) << "the held file was moved away";
    // Readers that leave the writing to others are welcome (a virus scanner, say).
    const HANDLE reader =
        ::CreateFileW(download.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    if (reader != INVALID_HANDLE_VALUE)
        ::CloseHandle(reader);

    EXPECT_TRUE(held->Flush());
    WriteFileBytes(launcher, "old");
    EXPECT_FALSE(held->RenameTo(ToU16(launcher))) << "renamed over an existing file";
    ::DeleteFileW(launcher.c_str());
    EXPECT_TRUE(held->RenameTo(ToU16(launcher)));
    held.reset();
    EXPECT_EQ(::GetFileAttributesW(download.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadFileBytes(launcher), verified);
    EXPECT_EQ(checker.HashFile(ToU16(launcher)), digest);
    for (const std::wstring& path : {download, launcher, other, aside})
        ::DeleteFileW(path.c_str());

    // A file that someone else is writing is not held at all.
    WriteFileBytes(download, verified);
    const HANDLE busy = ::CreateFileW(download.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(busy, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(env.Hold(ToU16(download)));
    ::CloseHandle(busy);
    ::DeleteFileW(download.c_str());
}

} // namespace

namespace {

// The Uninstall entry follows a self-update only for the install it names.
TEST(UpdateEnvironment, InstalledVersionIsRefreshedForItsOwnFolderOnly) {
    const std::wstring keyPath = L"Software\\KelvoTest\\Uninstall\\Kelvo";
    std::wstring folder = TempPath(L"kelvo_record");
    ::CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring upper = folder;
    for (wchar_t& c : upper)
        c = static_cast<wchar_t>(::towupper(c));
    struct Case {
        const char* name;
        std::wstring location;
        std::wstring shown;
        bool written;
    };
    const Case cases[] = {
        {"its own folder", folder, L"1001", true},
        {"spelt with a trailing backslash", folder + L"\\", L"1001", true},
        {"spelt in capitals", upper, L"1001", true},
        {"already shown", folder, L"1002", false},
        {"another folder", folder + L"\\other", L"1001", false},
        {"no location", L"", L"1001", false},
    };
    for (const Case& c : cases) {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\KelvoTest");
        HKEY key = nullptr;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                    nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        if (!c.location.empty())
            ::RegSetValueExW(key, L"InstallLocation", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(c.location.c_str()),
                             static_cast<DWORD>((c.location.size() + 1) * sizeof(wchar_t)));
        ::RegSetValueExW(key, L"DisplayVersion", 0, REG_SZ, reinterpret_cast<const BYTE*>(c.shown.c_str()),
                         static_cast<DWORD>((c.shown.size() + 1) * sizeof(wchar_t)));
        EXPECT_EQ(RefreshInstalledVersion(keyPath, folder, 1002), c.written) << c.name;
        wchar_t shown[32] = {};
        DWORD bytes = sizeof shown;
        ::RegQueryValueExW(key, L"DisplayVersion", nullptr, nullptr, reinterpret_cast<BYTE*>(shown), &bytes);
        EXPECT_EQ(std::wstring(shown), c.written ? L"1002" : c.shown) << c.name;
        DWORD values = 0;
        ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                           nullptr, nullptr, nullptr);
        EXPECT_EQ(values, c.location.empty() ? 1u : 2u)
            << c.name << ": nothing but DisplayVersion is written";
        ::RegCloseKey(key);
    }
    // No key at all (a portable copy): none is made.
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\KelvoTest");
    EXPECT_FALSE(RefreshInstalledVersion(keyPath, folder, 1002));
    HKEY absent = nullptr;
    EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\KelvoTest", 0, KEY_READ, &absent),
              ERROR_SUCCESS);
    ::RemoveDirectoryW(folder.c_str());
}

} // namespace
