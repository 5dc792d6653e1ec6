// DownloadFile over WinINet against a loopback server whose answers are written byte for byte.
#include "update_support.h"

#include "update/win/DownloadFile.h"
#include "update/win/UpdateCheck.h"
#include "update/core/UpdateFlow.h"
#include "framework/Text.h"
#include "update/win/WinUpdateEnvironment.h"

#include <gtest/gtest.h>

using namespace kelvo;

using update_test::MessageBoxAnswerer;

namespace {

std::wstring TempDir() {
    std::wstring dir = TempPath(L"kelvo_update_test_" + std::to_wstring(::GetCurrentProcessId()));
    ::CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

std::string ReadAll(const std::wstring& path) {
    return ReadFileBytes(path).value_or("<missing>");
}

std::string Body(std::size_t size) {
    std::string body(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        body[i] = static_cast<char>((i * 131 + i / 977) & 0xFF);
    return body;
}

class UpdateDownload : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = TempDir();
        m_path = m_dir + L"\\kelvo_new.exe";
        ::DeleteFileW(m_path.c_str());
    }
    void TearDown() override { ::DeleteFileW(m_path.c_str()); }
    std::wstring m_dir;
    std::wstring m_path;
};

TEST_F(UpdateDownload, WholeBodyReachesTheFile) {
    const std::string body = Body(1000000); // many blocks
    LoopbackServer server([&](SOCKET s, const std::string&) {
        LoopbackServer::Send(s, LoopbackServer::Reply("200 OK", body));
    });
    EXPECT_TRUE(DownloadFile(server.Url(L"/dir/kelvo.exe?v=2?77"), m_path));
    EXPECT_TRUE(ReadAll(m_path) == body);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")), "GET /dir/kelvo.exe?v=2?77 HTTP/1.0");
    EXPECT_NE(requests[0].find("User-Agent: " + std::string("kelvo_win_tests") + "\r\n"), std::string::npos)
        << requests[0];
}

TEST_F(UpdateDownload, EmptyBodyGivesAnEmptyFile) {
    LoopbackServer server(
        [](SOCKET s, const std::string&) { LoopbackServer::Send(s, LoopbackServer::Reply("200 OK", "")); });
    EXPECT_TRUE(DownloadFile(server.Url(L"/empty.ini"), m_path));
    EXPECT_EQ(ReadAll(m_path), "");
}

TEST_F(UpdateDownload, BodyWithoutLengthIsTakenAsItComes) {
    const std::string body = Body(30000);
    LoopbackServer server(
        [&](SOCKET s, const std::string&) { LoopbackServer::Send(s, "HTTP/1.0 200 OK\r\n\r\n" + body); });
    EXPECT_TRUE(DownloadFile(server.Url(L"/kelvo.exe"), m_path));
    EXPECT_TRUE(ReadAll(m_path) == body);
}

TEST_F(UpdateDownload, RedirectIsFollowed) {
    const std::string body = Body(5000);
    LoopbackServer server([&](SOCKET s, const std::string& request) {
        if (request.rfind("GET /old", 0) == 0)
            LoopbackServer::Send(s, LoopbackServer::Reply("302 Found", "", "Location: /new/kelvo.exe\r\n"));
        else
            LoopbackServer::Send(s, LoopbackServer::Reply("200 OK", body));
    });
    EXPECT_TRUE(DownloadFile(server.Url(L"/old/kelvo.exe"), m_path));
    EXPECT_TRUE(ReadAll(m_path) == body);
}

TEST_F(UpdateDownload, ShortOrDroppedBodyFails) {
    const std::string body = Body(100000);
    // Announces the whole body, sends a third, then ends the connection in order.
    LoopbackServer shortServer([&](SOCKET s, const std::string&) {
        LoopbackServer::Send(s, LoopbackServer::Reply("200 OK", body).substr(0, 33333));
    });
    EXPECT_FALSE(DownloadFile(shortServer.Url(L"/kelvo.exe"), m_path));

    // The same, ended with a reset.
    LoopbackServer resetServer([&](SOCKET s, const std::string&) {
        LoopbackServer::Send(s, LoopbackServer::Reply("200 OK", body).substr(0, 33333));
        LoopbackServer::ResetOnClose(s);
    });
    EXPECT_FALSE(DownloadFile(resetServer.Url(L"/kelvo.exe"), m_path));
}

TEST_F(UpdateDownload, StatusOtherThan200ShowsTheMessageOnceAndLeavesTheFile) {
    WriteFileBytes(m_path, "previous");
    for (const char* status : {"404 Not Found", "500 Internal Server Error"}) {
        LoopbackServer server([&](SOCKET s, const std::string&) {
            LoopbackServer::Send(s, LoopbackServer::Reply(status, "<html>no</html>"));
        });
        MessageBoxAnswerer answerer;
        EXPECT_FALSE(DownloadFile(server.Url(L"/kelvo.exe"), m_path));
        const auto boxes = answerer.boxes();
        ASSERT_EQ(boxes.size(), 1u) << status;
        EXPECT_EQ(boxes[0].caption, L"kelvo_win_tests");
        EXPECT_EQ(boxes[0].text, ToWide(kelvo::kDownloadFailedText));
        EXPECT_EQ(ReadAll(m_path), "previous");
    }
}

TEST_F(UpdateDownload, SilentFailures) {
    MessageBoxAnswerer answerer;
    LoopbackServer server(
        [](SOCKET s, const std::string&) { LoopbackServer::Send(s, LoopbackServer::Reply("200 OK", "x")); });
    EXPECT_FALSE(DownloadFile(server.Url(L"/kelvo.exe"), m_dir + L"\\no\\such\\dir\\kelvo_new.exe"));

    // A closed port: refused at once on loopback, within the connect timeout in any case.
    int closedPort = 0;
    {
        LoopbackServer gone([](SOCKET, const std::string&) {});
        closedPort = gone.port();
    }
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(DownloadFile(L"http://127.0.0.1:" + std::to_wstring(closedPort) + L"/kelvo.exe", m_path));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));

    // A server that closes without answering: a failure of the connection, not a status.
    LoopbackServer mute([](SOCKET, const std::string&) {});
    EXPECT_FALSE(DownloadFile(mute.Url(L"/kelvo.exe"), m_path));

    EXPECT_FALSE(DownloadFile(L"not an address", m_path));
    EXPECT_TRUE(answerer.boxes().empty());
}

TEST_F(UpdateDownload, HttpsIsFetchedOverTls) {
    // A plain server sees a TLS handshake (record type 0x16), never a plain GET.
    LoopbackServer server([](SOCKET, const std::string&) {});
    EXPECT_FALSE(
        DownloadFile(L"https://127.0.0.1:" + std::to_wstring(server.port()) + L"/kelvo.exe", m_path));
    const auto requests = server.requests();
    ASSERT_FALSE(requests.empty());
    ASSERT_FALSE(requests[0].empty());
    EXPECT_EQ(static_cast<unsigned char>(requests[0][0]), 0x16);
}

TEST_F(UpdateDownload, LongDestinationPath) {
    std::wstring dir = L"\\\\?\\" + m_dir;
    for (int i = 0; i < 3; ++i) {
        dir += L"\\" + std::wstring(90, static_cast<wchar_t>(L'a' + i));
        ::CreateDirectoryW(dir.c_str(), nullptr);
    }
    const std::wstring path = dir.substr(4) + L"\\kelvo_new.exe";
    ASSERT_GE(path.size(), static_cast<std::size_t>(MAX_PATH));
    const std::string body = Body(20000);
    LoopbackServer server([&](SOCKET s, const std::string&) {
        LoopbackServer::Send(s, LoopbackServer::Reply("200 OK", body));
    });
    EXPECT_TRUE(DownloadFile(server.Url(L"/kelvo.exe"), path));
    EXPECT_TRUE(ReadAll(L"\\\\?\\" + path) == body);
    ::DeleteFileW((L"\\\\?\\" + path).c_str());
}

} // namespace

namespace {

// The real file, profile and download work; the shell's part recorded instead of done.
class ShellRecorder final : public kelvo::UpdateEnvironment {
public:
    std::uint32_t TickCount() override { return m_real.TickCount(); }
    std::u16string CurrentDirectory() override { return m_real.CurrentDirectory(); }
    void DeleteFile(const std::u16string& path) override { m_real.DeleteFile(path); }
    bool Download(const std::u16string& url, const std::u16string& path) override {
        return m_real.Download(url, path);
    }
    std::int32_t ReadIniInt(const std::u16string& path, std::u16string_view section, std::u16string_view key,
                            std::int32_t fallback) override {
        return m_real.ReadIniInt(path, section, key, fallback);
    }
    std::u16string ReadIniString(const std::u16string& path, std::u16string_view section,
                                 std::u16string_view key) override {
        return m_real.ReadIniString(path, section, key);
    }
    std::optional<kelvo::FileHead> ReadHead(const std::u16string& path, std::size_t limit) override {
        return m_real.ReadHead(path, limit);
    }
    bool FlushFile(const std::u16string& path) override { return m_real.FlushFile(path); }
    bool Rename(const std::u16string& from, const std::u16string& to) override {
        return m_real.Rename(from, to);
    }
    void ShowUpdated() override { shell.push_back(u"message"); }
    void Start(const std::u16string& path) override { shell.push_back(u"start " + path); }
    void PostClose() override { shell.push_back(u"close"); }

    std::vector<std::u16string> shell;

private:
    kelvo::WinUpdateEnvironment m_real{nullptr};
};

TEST(UpdateInstall, LongCurrentDirectory) {
    wchar_t saved[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, saved);
    std::wstring dir = TempDir();
    for (int i = 0; dir.size() < 280; ++i) {
        dir += L"\\" + std::wstring(70, static_cast<wchar_t>(L'p' + i));
        ::CreateDirectoryW((L"\\\\?\\" + dir).c_str(), nullptr);
    }
    const std::wstring extended = L"\\\\?\\" + dir;
    WriteFileBytes(extended + L"\\kelvo.exe", "old launcher");
    // A real program of this architecture: this test program itself.
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::string fresh = ReadAll(self);
    LoopbackServer server([&](SOCKET s, const std::string& request) {
        if (request.find("kelvoupdate.ini") != std::string::npos)
            LoopbackServer::Send(
                s, LoopbackServer::Reply("200 OK",
                                         "[LoginUpdate]\r\nVersionId=1002\r\ndownloadUrl=http://127.0.0.1:" +
                                             std::to_string(server.port()) + "/kelvo.exe\r\n"));
        else
            LoopbackServer::Send(s, LoopbackServer::Reply("200 OK", fresh));
    });
    if (!::SetCurrentDirectoryW(dir.c_str()))
        GTEST_SKIP() << "the system keeps the current directory below MAX_PATH";
    ShellRecorder env;
    const auto outcome = kelvo::CheckForUpdate(
        env, ToU16(server.Url(L"/front_resource/kelvo/weiduan/zarn/kelvoupdate.ini")), 1001);
    ::SetCurrentDirectoryW(saved);

    EXPECT_EQ(outcome, kelvo::UpdateOutcome::Installed);
    EXPECT_TRUE(ReadAll(extended + L"\\kelvo.exe") == fresh);
    EXPECT_EQ(ReadAll(extended + L"\\kelvo_.exe"), "old launcher");
    EXPECT_EQ(ReadAll(extended + L"\\kelvo_new.exe"), "<missing>");
    EXPECT_EQ(ReadAll(extended + L"\\kelvoupdate.ini"), "<missing>");
    const std::vector<std::u16string> expected = {u"message", u"start " + ToU16(dir) + u"\\kelvo.exe",
                                                  u"close"};
    EXPECT_EQ(env.shell, expected);
}

} // namespace
