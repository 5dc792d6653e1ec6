// The Windows side of the update's platform work: profile reading as the manifest needs it, the
// renames, and the current directory.
#include "update_support.h"

#include "update/core/UpdateFlow.h"
#include "framework/Text.h"
#include "update/win/WinUpdateEnvironment.h"

#include <gtest/gtest.h>

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
