// The Flash host of the game window with the Flash stand-in: the calls of a movie load in their
// order, the control's place and its layout on the first ready-state change, reloads by message
// 1549 and by a second load, a query longer than the fixed copy; and, without the class
// registered, the notice in the control's place. Screenshots go to KELVO_SHOT_DIR when it is set.
#include "game/win/tarvinGame.h"
#include "login/win/CtarvinDlg.h"

#include "probes/FlashHostProbe.h"
#include "probes/GameProbe.h"
#include "probes/LoginDialogProbe.h"
#include "game_support.h"
#include "movie_server.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace kelvo;

namespace {

using namespace movietest;

// The screen under a window as a 24-bit BMP in KELVO_SHOT_DIR, for a person to look at.
void SaveShotIfAsked(HWND hwnd, const char* name) {
    const char* dir = std::getenv("KELVO_SHOT_DIR");
    if (!dir)
        return;
    const RECT r = WindowRect(hwnd);
    const int w = r.right - r.left, h = r.bottom - r.top;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    HDC screen = ::GetDC(nullptr);
    void* bits = nullptr;
    UniqueBitmap bitmap(::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    UniqueMemoryDc memory(::CreateCompatibleDC(screen));
    {
        SelectedObject selected(memory.get(), bitmap.get());
        ::BitBlt(memory.get(), 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
    }
    ::ReleaseDC(nullptr, screen);
    const DWORD stride = static_cast<DWORD>((w * 3 + 3) & ~3);
    BITMAPFILEHEADER file{0x4D42, 0, 0, 0, sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER)};
    file.bfSize = file.bfOffBits + stride * static_cast<DWORD>(h);
    std::FILE* f = std::fopen((std::string(dir) + "\\" + name).c_str(), "wb");
    if (!f)
        return;
    std::fwrite(&file, sizeof(file), 1, f);
    std::fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, f);
    std::fwrite(bits, 1, stride * static_cast<DWORD>(h), f);
    std::fclose(f);
}

// A new control's record: its creation and the five properties every load sets first, then `rest`.
std::vector<std::wstring> CreatedAndSet(std::initializer_list<std::wstring> rest) {
    std::vector<std::wstring> lines = {L"flash created",
                                       L"put Menu false",
                                       L"put AllowFullScreen true",
                                       L"put AllowScriptAccess always",
                                       L"put WMode direct",
                                       L"put BackgroundColor 0"};
    lines.insert(lines.end(), rest);
    return lines;
}

RECT ChildRect(HWND child, HWND parent) {
    RECT r = WindowRect(child);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The game window with the stand-in's record in a scratch file of its own.
class FlashHostBase : public ::testing::Test {
protected:
    void SetUp() override {
        log = std::make_unique<StandinLog>();
        ASSERT_TRUE(game.Create(tarvinGame::IDD));
        ::SetWindowPos(game.m_hWnd, HWND_TOP, 100, 80, 900, 600, SWP_SHOWWINDOW);
    }
    void TearDown() override {
        FlashHostProbe::FlashCtrl(GameProbe::Flash(game)).reset();
        game.DestroyWindow();
        Pump(50);
        log.reset();
    }

    // The record without the once-per-process line of the file the control was loaded from.
    std::vector<std::wstring> Log() const {
        std::vector<std::wstring> lines = log->Lines();
        std::erase_if(lines, [](const std::wstring& line) { return line.rfind(L"flash module ", 0) == 0; });
        return lines;
    }
    std::size_t Count(const std::wstring& line) const { return static_cast<std::size_t>(log->Count(line)); }
    // Pumps until the record holds `line` at least n times.
    bool WaitFor(const std::wstring& line, std::size_t n = 1) {
        return PumpUntil([&] { return Count(line) >= n; });
    }
    std::wstring Query(const std::wstring& extra = L"") const {
        return L"uid=1001&serverid=12&gameaddress=S12&mainVersion=1001&resourceHost=" + server.Root() +
               L"&client=2" + extra;
    }
    std::wstring MovieUrl() const { return server.Root() + L"GameLoader_1001.swf"; }
    RECT ExpectedPlace() const { return gametest::ControlPlace(game.m_hWnd); }

    MovieServer server{
        "show The stand-in movie runs.\nwait 10\n"
        "call <invoke name=\"noSuchFunction\" returntype=\"xml\"><arguments></arguments></invoke>\n"
        "show It called the window.\n"};
    tarvinGame game;
    std::unique_ptr<StandinLog> log;
};

class FlashHost : public FlashHostBase {
protected:
    void SetUp() override {
        if (!StandinRegistered(kFlashClsid))
            GTEST_SKIP() << "the Flash class id is not registered to the stand-in";
        FlashHostBase::SetUp();
    }
};

TEST_F(FlashHost, LoadSetsThePropertiesInOrderThenLoadsAndPlays) {
    const std::wstring query = Query();
    game.LoadGameMovie(query);
    ASSERT_TRUE(WaitFor(L"show It called the window.")) << "the movie did not run";
    const std::vector<std::wstring> expected = CreatedAndSet({
        L"put FlashVars " + query,
        L"LoadMovie 0 " + MovieUrl(),
        L"Play",
    });
    const std::vector<std::wstring> log = Log();
    ASSERT_GE(log.size(), expected.size());
    EXPECT_EQ(std::vector<std::wstring>(log.begin(), log.begin() + static_cast<long>(expected.size())),
              expected);
    EXPECT_EQ(server.Requests(), 1u);
    EXPECT_EQ(
        Count(
            L"FlashCall <invoke name=\"noSuchFunction\" returntype=\"xml\"><arguments></arguments></invoke>"),
        1u);
    EXPECT_STREQ(FlashHostProbe::QueryBuffer(GameProbe::Flash(game)), query.c_str());
    EXPECT_EQ(GameProbe::LeavePrompt(game),
              L"\u63D0\u793A:\u60A8\u786E\u5B9A\u8981\u79BB\u5F00\u5F53\u524D\u6E38\u620F\u5417?");

    // The control: a plain child, id 1001, inside the frame.
    ASSERT_TRUE(FlashHostProbe::FlashCtrl(GameProbe::Flash(game)));
    const HWND control = FlashHostProbe::FlashCtrl(GameProbe::Flash(game))->m_hWnd;
    EXPECT_EQ(game.GetDlgItem(1001), control);
    EXPECT_TRUE(::IsWindowVisible(control));
    EXPECT_EQ(::GetWindowLongPtrW(control, GWL_STYLE) & (WS_BORDER | WS_CAPTION | WS_THICKFRAME), 0);
    EXPECT_TRUE(SameRect(ChildRect(control, game.m_hWnd), ExpectedPlace()));
    ::RedrawWindow(game.m_hWnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_FRAME | RDW_UPDATENOW);
    Pump(300);
    SaveShotIfAsked(game.m_hWnd, "flash_standin.bmp");
}

TEST_F(FlashHost, WithoutMainVersionOnlyThePropertiesAndPlay) {
    game.LoadGameMovie(L"a=1&resourceHost=" + server.Root() + L"&b=2");
    ASSERT_TRUE(WaitFor(L"Play"));
    Pump(200);
    const std::vector<std::wstring> expected = CreatedAndSet({
        L"Play",
        L"ready 4",
    });
    EXPECT_EQ(Log(), expected);
    EXPECT_EQ(server.Requests(), 0u);
}

TEST_F(FlashHost, RelativeMovieAddressFailsLikeAMissingFile) {
    game.LoadGameMovie(L"a=1&mainVersion=7&b");
    ASSERT_TRUE(WaitFor(L"movie failed GameLoader_7.swf"));
    EXPECT_EQ(Count(L"LoadMovie 0 GameLoader_7.swf"), 1u);
}

TEST_F(FlashHost, LayoutOnTheFirstReadyStateChangeOnly) {
    game.LoadGameMovie(Query());
    ASSERT_TRUE(FlashHostProbe::FlashCtrl(GameProbe::Flash(game)));
    const HWND control = FlashHostProbe::FlashCtrl(GameProbe::Flash(game))->m_hWnd;
    EXPECT_FALSE(FlashHostProbe::ReadyLayoutDone(GameProbe::Flash(game)));
    ::MoveWindow(control, 40, 50, 200, 100, FALSE);
    ASSERT_TRUE(WaitFor(L"ready 4"));
    EXPECT_TRUE(FlashHostProbe::ReadyLayoutDone(GameProbe::Flash(game)));
    EXPECT_TRUE(SameRect(ChildRect(control, game.m_hWnd), ExpectedPlace()));
    // Later changes of the same control leave it where it is.
    ::MoveWindow(control, 40, 50, 200, 100, FALSE);
    ASSERT_TRUE(WaitFor(L"ready 4", 2));
    EXPECT_EQ(Count(L"ready 3"), 1u);
    EXPECT_TRUE(SameRect(ChildRect(control, game.m_hWnd), RECT{40, 50, 240, 150}));
}

TEST_F(FlashHost, ReloadMessageLoadsTheStoredQueryInANewControl) {
    const std::wstring query = Query();
    game.LoadGameMovie(query);
    ASSERT_TRUE(WaitFor(L"movie loaded " + MovieUrl()));
    const HWND first = FlashHostProbe::FlashCtrl(GameProbe::Flash(game))->m_hWnd;
    GameProbe::LeavePrompt(game) = L"set by the movie";
    // From another sender, as any process may post it.
    ::PostMessageW(game.m_hWnd, 1549, 7, 9);
    ASSERT_TRUE(WaitFor(L"movie loaded " + MovieUrl(), 2));
    ASSERT_TRUE(FlashHostProbe::FlashCtrl(GameProbe::Flash(game)));
    EXPECT_NE(FlashHostProbe::FlashCtrl(GameProbe::Flash(game))->m_hWnd, first);
    EXPECT_FALSE(::IsWindow(first));
    EXPECT_EQ(Count(L"put FlashVars " + query), 2u);
    EXPECT_EQ(server.Requests(), 2u);
    EXPECT_EQ(GameProbe::LeavePrompt(game), tarvinGame::kDefaultLeaveGamePrompt);
}

TEST_F(FlashHost, SecondLoadStopsAndDestroysTheOldControlBeforeTheNewOne) {
    game.LoadGameMovie(Query());
    ASSERT_TRUE(WaitFor(L"ready 4"));
    const HWND first = FlashHostProbe::FlashCtrl(GameProbe::Flash(game))->m_hWnd;
    game.LoadGameMovie(Query(L"&second=1"));
    EXPECT_FALSE(::IsWindow(first));
    EXPECT_FALSE(FlashHostProbe::ReadyLayoutDone(GameProbe::Flash(game)));
    const std::vector<std::wstring> log = Log();
    std::size_t stop = log.size(), secondCreated = log.size();
    for (std::size_t i = 0, created = 0; i < log.size(); ++i) {
        if (log[i] == L"Stop" && stop == log.size())
            stop = i;
        if (log[i] == L"flash created" && ++created == 2)
            secondCreated = i;
    }
    ASSERT_LT(secondCreated, log.size());
    EXPECT_LT(stop, secondCreated);
    EXPECT_EQ(game.GetDlgItem(1001), FlashHostProbe::FlashCtrl(GameProbe::Flash(game))->m_hWnd);
}

// Counts the first and last messages of the control host windows made while it lives: the host
// class's own procedure (the host library's) is wrapped, as a host window class of the test's own.
class HostWindowCounter {
public:
    HostWindowCounter() { s_original = Swap(reinterpret_cast<LONG_PTR>(&Proc)); }
    ~HostWindowCounter() { Swap(reinterpret_cast<LONG_PTR>(s_original)); }
    HostWindowCounter(const HostWindowCounter&) = delete;
    HostWindowCounter& operator=(const HostWindowCounter&) = delete;
    static inline int created = 0, destroyed = 0;

private:
    static WNDPROC Swap(LONG_PTR proc) {
        const HWND probe = ::CreateWindowExW(0, L"AtlAxWin", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                             ::GetModuleHandleW(nullptr), nullptr);
        const auto old = reinterpret_cast<WNDPROC>(::SetClassLongPtrW(probe, GCLP_WNDPROC, proc));
        ::DestroyWindow(probe);
        return old;
    }
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        created += message == WM_NCCREATE;
        destroyed += message == WM_NCDESTROY;
        return ::CallWindowProcW(s_original, hwnd, message, wParam, lParam);
    }
    static inline WNDPROC s_original = nullptr;
};

TEST_F(FlashHost, EveryHostWindowGetsItsLastMessageAfterAReloadAndALeave) {
    // The host library releases its host object at its window's last message, which must reach it
    // after the wrapper has let go of the window.
    const HostWindowCounter counter;
    game.LoadGameMovie(Query());
    ASSERT_TRUE(WaitFor(L"ready 4"));
    game.LoadGameMovie(Query(L"&second=1"));
    Pump(100);
    EXPECT_EQ(HostWindowCounter::created, 2);
    EXPECT_EQ(HostWindowCounter::destroyed, 1);
    {
        gametest::BoxAnswerer yes(IDYES);
        game.ConfirmCloseGame();
    }
    Pump(100);
    EXPECT_EQ(game.m_hWnd, nullptr);
    EXPECT_EQ(HostWindowCounter::destroyed, 2);
}

TEST_F(FlashHost, LongQueryIsKeptWholeForTheMovieAndForReloads) {
    const std::wstring query = Query(L"&pad=" + std::wstring(2000, L'x'));
    game.LoadGameMovie(query);
    EXPECT_EQ(std::wstring(FlashHostProbe::QueryBuffer(GameProbe::Flash(game))), query.substr(0, 1499));
    EXPECT_EQ(Count(L"put FlashVars " + query), 1u);
    EXPECT_EQ(Count(L"LoadMovie 0 " + MovieUrl()), 1u);
    game.SendMessageW(1549);
    EXPECT_EQ(Count(L"put FlashVars " + query), 2u);
}

// Without the class: the registration of the prefix is taken away for the test and put back.
class FlashMissing : public FlashHostBase {
protected:
    void SetUp() override {
        m_registration = std::make_unique<ClassRegistrationRemoved>(kFlashClsid);
        ASSERT_TRUE(m_registration->Ok());
        FlashHostBase::SetUp();
    }
    void TearDown() override {
        FlashHostBase::TearDown();
        m_registration.reset();
    }
    std::unique_ptr<ClassRegistrationRemoved> m_registration;
};

TEST_F(FlashMissing, NoticeInTheControlsPlaceAndEveryPathKeepsWorking) {
    const std::wstring query = Query();
    game.LoadGameMovie(query);
    EXPECT_FALSE(FlashHostProbe::FlashCtrl(GameProbe::Flash(game)));
    EXPECT_EQ(game.GetDlgItem(1001), nullptr);
    ASSERT_TRUE(FlashHostProbe::Notice(GameProbe::Flash(game)));
    const HWND notice = FlashHostProbe::Notice(GameProbe::Flash(game))->m_hWnd;
    EXPECT_TRUE(::IsWindowVisible(notice));
    EXPECT_TRUE(SameRect(ChildRect(notice, game.m_hWnd), ExpectedPlace()));
    EXPECT_STREQ(FlashHostProbe::QueryBuffer(GameProbe::Flash(game)), query.c_str());
    EXPECT_EQ(GameProbe::LeavePrompt(game), tarvinGame::kDefaultLeaveGamePrompt);
    ::RedrawWindow(game.m_hWnd, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_FRAME | RDW_UPDATENOW);
    Pump(300);
    SaveShotIfAsked(game.m_hWnd, "flash_notice.bmp");

    // The frame goes on: maximise and restore keep the notice fitted.
    game.ToggleMaximized();
    EXPECT_TRUE(SameRect(ChildRect(FlashHostProbe::Notice(GameProbe::Flash(game))->m_hWnd, game.m_hWnd),
                         ExpectedPlace()));
    game.ToggleMaximized();
    EXPECT_TRUE(SameRect(ChildRect(FlashHostProbe::Notice(GameProbe::Flash(game))->m_hWnd, game.m_hWnd),
                         ExpectedPlace()));
    // A reload tries again and shows the notice again.
    game.SendMessageW(1549);
    ASSERT_TRUE(FlashHostProbe::Notice(GameProbe::Flash(game)));
    EXPECT_FALSE(::IsWindow(notice));
    EXPECT_FALSE(FlashHostProbe::FlashCtrl(GameProbe::Flash(game)));
    EXPECT_EQ(server.Requests(), 0u);

    // Once a player is there, the next reload has the control.
    if (m_registration->WasRegistered()) {
        m_registration->Restore();
        game.SendMessageW(1549);
        EXPECT_TRUE(FlashHostProbe::FlashCtrl(GameProbe::Flash(game)));
        EXPECT_FALSE(FlashHostProbe::Notice(GameProbe::Flash(game)));
        EXPECT_EQ(game.GetDlgItem(1001), FlashHostProbe::FlashCtrl(GameProbe::Flash(game))
                                             ? FlashHostProbe::FlashCtrl(GameProbe::Flash(game))->m_hWnd
                                             : nullptr);
    }
}

TEST_F(FlashMissing, TheNoticePromisesF5OnlyWhereF5EntersAgain) {
    struct Case {
        const wchar_t* reentry;
        const wchar_t* advice;
    };
    const Case cases[] = {
        {L"", FlashNotice::kAdviceEnterAgain}, // no entry carried a server id: F5 does nothing
        {L"http://127.0.0.1:18601/games/dlq/togame.php?target=kelvo_553&server_id=12",
         FlashNotice::kAdvicePressF5},
        {L"", FlashNotice::kAdviceEnterAgain},
    };
    CtarvinDlg login;
    ASSERT_TRUE(login.Create(CtarvinDlg::IDD));
    tarvinGame& owned = LoginDialogProbe::Game(login);
    ASSERT_TRUE(owned.Create(tarvinGame::IDD, &login));
    for (const Case& c : cases) {
        LoginDialogProbe::ReentryUrl(login) = c.reentry;
        owned.LoadGameMovie(Query());
        ASSERT_TRUE(FlashHostProbe::Notice(GameProbe::Flash(owned)));
        EXPECT_EQ(FlashHostProbe::Notice(GameProbe::Flash(owned))->GetText(),
                  std::wstring(FlashNotice::kReason) + L"\r\n" + c.advice)
            << (c.reentry[0] ? "with" : "without") << " a re-entry address";
    }
    owned.DestroyWindow();
    login.DestroyWindow();
}

} // namespace
