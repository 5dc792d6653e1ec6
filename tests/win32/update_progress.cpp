// The progress window of the new executable's download, in the whole check against a loopback server
// that sends the manifest at once and the executable slowly: the window shows for the executable
// only, owned by the login-side window and centred on the frame, and each way of saying no (the
// "取消" button, Escape, the close button) stops the download within a second, also while the server
// sends nothing, leaving the files as they were and no message. Left alone, the window lets the
// download run to its end.
#include "update_support.h"

#include "framework/Text.h"
#include "res/resource.h"
#include "update/core/UpdateFlow.h"
#include "update/win/UpdateProgressWindow.h"
#include "update/win/WinUpdateEnvironment.h"

#include <gtest/gtest.h>

using namespace kelvo;

using update_test::MessageBoxAnswerer;

namespace {

// "正在更新"
const std::wstring kTitle = L"\u6b63\u5728\u66f4\u65b0";

BOOL CALLBACK VisitWindow(HWND hwnd, LPARAM param) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hwnd, &pid);
    wchar_t title[64] = {};
    // Not GetWindowText: that would wait for the thread of the window.
    ::InternalGetWindowText(hwnd, title, 64);
    if (pid == ::GetCurrentProcessId() && ::IsWindowVisible(hwnd) && kTitle == title) {
        *reinterpret_cast<HWND*>(param) = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindProgressWindow() {
    HWND found = nullptr;
    ::EnumWindows(VisitWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

const wchar_t* OwnerClass() {
    static const ATOM atom = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ::DefWindowProcW;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KelvoProgressTestOwner";
        return ::RegisterClassW(&wc);
    }();
    static_cast<void>(atom);
    return L"KelvoProgressTestOwner";
}

enum class Way { Nothing, Button, Escape, CloseButton };

// What the watcher saw of the window, and when it said no.
struct Seen {
    HWND window = nullptr;
    HWND owner = nullptr;
    RECT rect{};
    std::wstring line;
    bool marquee = false;
    DWORD saidNoAt = 0;
};

void SayNo(HWND window, Way way) {
    switch (way) {
    case Way::Nothing:
        break;
    case Way::Button:
        ::PostMessageW(::GetDlgItem(window, IDCANCEL), BM_CLICK, 0, 0);
        break;
    case Way::Escape: // to the focused control, as the keyboard would
        ::PostMessageW(::GetDlgItem(window, IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 0x00010001);
        break;
    case Way::CloseButton:
        ::PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        break;
    }
}

TEST(UpdateProgressWindow, ShownForTheExecutableOnlyAndEachWayOfSayingNoStopsIt) {
    struct Case {
        const char* name;
        Way way;
        bool stalls; // the server goes quiet after the first block: the read waits for it
    };
    const Case cases[] = {{"取消", Way::Button, false},
                          {"Escape", Way::Escape, false},
                          {"close button", Way::CloseButton, false},
                          {"取消 while the server sends nothing", Way::Button, true},
                          {"nothing pressed", Way::Nothing, false}};
    wchar_t saved[MAX_PATH] = {};
    ::GetCurrentDirectoryW(MAX_PATH, saved);
    const std::wstring dir = TempPath(L"kelvo_progress_test_" + std::to_wstring(::GetCurrentProcessId()));
    ::CreateDirectoryW(dir.c_str(), nullptr);

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteFileBytes(dir + L"\\kelvo.exe", "the running launcher"));
        std::atomic<bool> windowDuringManifest{false};
        std::atomic<bool> stop{false};
        constexpr std::size_t kLength = 3 << 20;
        LoopbackServer server([&](SOCKET s, const std::string& request) {
            if (request.find("kelvoupdate.ini") != std::string::npos) {
                const std::string manifest =
                    "[LoginUpdate]\r\nVersionId=1002\r\ndownloadUrl=http://127.0.0.1:" +
                    std::to_string(server.port()) + "/kelvo.exe\r\n";
                const std::string reply = LoopbackServer::Reply("200 OK", manifest);
                LoopbackServer::Send(s, reply.substr(0, reply.size() - 10));
                ::Sleep(300); // the launcher is in the body now
                windowDuringManifest = FindProgressWindow() != nullptr;
                LoopbackServer::Send(s, reply.substr(reply.size() - 10));
                return;
            }
            LoopbackServer::Send(s, "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(kLength) +
                                        "\r\n\r\n");
            const std::string block(10240, 'x');
            // 10 KB every 20 ms: a download of about six seconds, unless it is stopped.
            for (std::size_t sent = 0; sent < kLength && !stop; sent += block.size()) {
                if (::send(s, block.data(), static_cast<int>(block.size()), 0) <= 0)
                    return;
                while (c.stalls && !stop)
                    ::Sleep(20);
                ::Sleep(20);
            }
        });

        // The frame and the login dialog it owns, as the launcher has them.
        CWnd frame;
        ASSERT_TRUE(frame.CreateEx(0, OwnerClass(), L"frame", WS_POPUP | WS_VISIBLE, RECT{100, 80, 1000, 680},
                                   nullptr, 0));
        CWnd login;
        ASSERT_TRUE(login.CreateEx(0, OwnerClass(), L"login", WS_POPUP | WS_VISIBLE, RECT{150, 100, 500, 300},
                                   frame.m_hWnd, 0));

        Seen seen;
        std::thread watcher([&] {
            const DWORD until = ::GetTickCount() + 10000;
            while (!seen.window && ::GetTickCount() < until) {
                seen.window = FindProgressWindow();
                ::Sleep(20);
            }
            if (!seen.window)
                return;
            ::Sleep(1500); // a rate has been measured
            seen.owner = ::GetWindow(seen.window, GW_OWNER);
            ::GetWindowRect(seen.window, &seen.rect);
            wchar_t line[128] = {};
            ::GetDlgItemTextW(seen.window, IDC_UPDATE_TEXT, line, 128);
            seen.line = line;
            seen.marquee =
                (::GetWindowLongPtrW(::GetDlgItem(seen.window, IDC_UPDATE_BAR), GWL_STYLE) & 0x08) != 0;
            seen.saidNoAt = ::GetTickCount();
            SayNo(seen.window, c.way);
        });

        MessageBoxAnswerer answerer;
        UpdateProgressWindow progress;
        ::SetCurrentDirectoryW(dir.c_str());
        WinUpdateEnvironment env(login.m_hWnd, &progress);
        const UpdateOutcome outcome = kelvo::CheckForUpdate(
            env, ToU16(server.Url(L"/front_resource/kelvo/weiduan/zarn/kelvoupdate.ini")), 1001);
        const DWORD returnedAt = ::GetTickCount();
        ::SetCurrentDirectoryW(saved);
        stop = true;
        watcher.join();

        EXPECT_FALSE(windowDuringManifest) << "no window for the manifest";
        ASSERT_NE(seen.window, nullptr) << "the window shows for the executable";
        EXPECT_EQ(seen.owner, login.m_hWnd);
        RECT outer{};
        ::GetWindowRect(frame.m_hWnd, &outer);
        EXPECT_LE(std::abs((seen.rect.left + seen.rect.right) - (outer.left + outer.right)), 2);
        EXPECT_LE(std::abs((seen.rect.top + seen.rect.bottom) - (outer.top + outer.bottom)), 2);
        // "已下载 ... / 3.0 MB (... KB/s)"
        EXPECT_EQ(seen.line.rfind(L"\u5df2\u4e0b\u8f7d ", 0), 0u);
        EXPECT_NE(seen.line.find(L" / 3.0 MB ("), std::wstring::npos);
        EXPECT_NE(seen.line.find(L"KB/s)"), std::wstring::npos);
        EXPECT_FALSE(seen.marquee);

        // The body is no program, so even a whole one is not installed.
        EXPECT_EQ(outcome, UpdateOutcome::NotInstalled);
        if (c.way == Way::Nothing) {
            EXPECT_EQ(progress.Progress().State(), UpdateProgressState::Done)
                << "the download ran to its end";
        } else {
            EXPECT_LT(returnedAt - seen.saidNoAt, 1000u) << "stopped within a second";
            EXPECT_EQ(progress.Progress().State(), UpdateProgressState::Cancelled);
        }
        EXPECT_EQ(progress.m_hWnd, nullptr) << "the window is gone";
        EXPECT_EQ(ReadFileBytes(dir + L"\\kelvo.exe").value_or("<missing>"), "the running launcher");
        // A whole body that is no program waits for the next start to be deleted.
        const std::optional<std::string> left = ReadFileBytes(dir + L"\\kelvo_new.exe");
        EXPECT_EQ(left ? left->size() : 0, c.way == Way::Nothing ? kLength : 0);
        ::DeleteFileW((dir + L"\\kelvo_new.exe").c_str());
        EXPECT_FALSE(ReadFileBytes(dir + L"\\kelvo_.exe"));
        EXPECT_FALSE(ReadFileBytes(dir + L"\\kelvoupdate.ini"));
        for (const auto& box : answerer.boxes()) // the answerer also sees the progress window, a dialog
            EXPECT_EQ(box.caption, kTitle) << "no message";
        login.DestroyWindow();
        frame.DestroyWindow();
    }
    ::DeleteFileW((dir + L"\\kelvo.exe").c_str());
    ::RemoveDirectoryW(dir.c_str());
}

} // namespace
