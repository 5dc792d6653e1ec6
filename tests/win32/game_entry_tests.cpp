// The game entry and the game window's commands under Wine: the hand-off from a completed
// game-entry address with the browser stand-in, the settings menu, refresh, F5 and the reload
// timer, the notification icon, the leave-game question answered from outside, and the keyboard
// and mouse filter in front of the game control.
#include "frame/win/bgDialog.h"
#include "framework/CWinApp.h"
#include "game/win/tarvinGame.h"
#include "login/win/CtarvinDlg.h"

#include "probes/FlashHostProbe.h"
#include "probes/GameCaptionProbe.h"
#include "probes/GameProbe.h"
#include "probes/LoginDialogProbe.h"
#include "probes/TrayIconProbe.h"
#include "game_support.h"
#include "loopback_server.h"
#include "test_support.h"

#include <commctrl.h>
#include <mshtml.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace kelvo;

namespace {

using namespace gametest;

// Records, in order, the hand-off's visible effects on the three windows, with the game window's
// caption title and query at each moment.
struct EffectRecorder {
    static EffectRecorder* current;
    std::vector<std::string> lines;
    CtarvinDlg* login = nullptr;
    HWND frame = nullptr;
    UniqueHook hook;

    EffectRecorder(CtarvinDlg* dlg, HWND frameWnd) : login(dlg), frame(frameWnd) {
        current = this;
        hook.reset(::SetWindowsHookExW(WH_CALLWNDPROCRET, &Hook, nullptr, ::GetCurrentThreadId()));
    }
    ~EffectRecorder() {
        hook.reset();
        current = nullptr;
    }
    static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp) {
        if (code == HC_ACTION && current) {
            const CWPRETSTRUCT& m = *reinterpret_cast<CWPRETSTRUCT*>(lp);
            current->Record(m);
        }
        return ::CallNextHookEx(nullptr, code, wp, lp);
    }
    void Record(const CWPRETSTRUCT& m) {
        tarvinGame& game = LoginDialogProbe::Game(*login);
        const std::string state =
            " title=" + Utf8(GameCaptionProbe::Title(GameProbe::Caption(game))) +
            " query=" + (FlashHostProbe::QueryBuffer(GameProbe::Flash(game))[0] ? "set" : "empty");
        if (m.message == WM_SHOWWINDOW && !m.wParam && m.hwnd == login->m_hWnd)
            lines.push_back("hide login");
        else if (m.message == WM_SHOWWINDOW && !m.wParam && m.hwnd == frame)
            lines.push_back("hide frame");
        else if (m.message == WM_INITDIALOG && m.hwnd == game.m_hWnd)
            lines.push_back("create" + state);
        else if (m.message == WM_SHOWWINDOW && m.wParam && m.hwnd == game.m_hWnd)
            lines.push_back("show" + state);
        else if (m.message == WM_WINDOWPOSCHANGED && m.hwnd == game.m_hWnd) {
            const WINDOWPOS& pos = *reinterpret_cast<WINDOWPOS*>(m.lParam);
            if ((pos.flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE))
                lines.push_back("place" + state);
        }
    }
};
EffectRecorder* EffectRecorder::current = nullptr;

TEST_F(EntryFixture, AGameEntryHidesTheLoginSideAndOpensTheGameOnTheWorkArea) {
    // The page's before-unload handler, to see it cleared.
    ASSERT_EQ(PutBeforeUnload(LoginDialogProbe::Browser(*login).get_Document().Get(), L"return 'stay?';"),
              S_OK);
    std::vector<std::string> effects;
    {
        EffectRecorder recorder(login, frame.m_hWnd);
        Complete(EntryAddress(L"12"));
        effects = recorder.lines;
    }
    tarvinGame& game = LoginDialogProbe::Game(*login);
    ASSERT_NE(game.m_hWnd, nullptr);
    // Hidden first; created, placed and shown before the title; maximising leaves it where it is.
    const std::vector<std::string> expected = {
        "hide login",
        "hide frame",
        "create title= query=empty",
        "place title= query=empty",
        "show title= query=empty",
    };
    EXPECT_EQ(effects, expected);

    EXPECT_FALSE(login->IsWindowVisible());
    EXPECT_FALSE(frame.IsWindowVisible());
    EXPECT_TRUE(game.IsWindowVisible());
    EXPECT_EQ(game.GetOwner(), login->m_hWnd);
    EXPECT_TRUE(SameRect(WindowRect(game.m_hWnd), WorkArea()));
    EXPECT_TRUE(GameProbe::Maximized(game));
    EXPECT_EQ(GameCaptionProbe::Title(GameProbe::Caption(game)), L"S12");
    EXPECT_EQ(LoginDialogProbe::ReentryUrl(*login), ReentryAddress(L"12"));
    EXPECT_STREQ(FlashHostProbe::QueryBuffer(GameProbe::Flash(game)),
                 L"uid=1&serverid=12&gameaddress=S12&mainVersion=1001&resourceHost=http://h/&client=2");
    // The web view went back to the login page, the page's handler cleared first.
    const std::string text = log->Text();
    const std::size_t cleared = text.find("onbeforeunload \n");
    const std::size_t back = text.find("navigate " + Utf8(kLoginPage) + "\n");
    EXPECT_NE(cleared, std::string::npos) << text;
    EXPECT_NE(back, std::string::npos) << text;
    EXPECT_LT(cleared, back);

    // A second entry reuses the window and does not place it before its new title is set.
    const HWND first = game.m_hWnd;
    ::MoveWindow(game.m_hWnd, 50, 40, 700, 500, TRUE);
    {
        EffectRecorder recorder(login, frame.m_hWnd);
        Complete(EntryAddress(L"13"));
        effects = recorder.lines;
    }
    EXPECT_EQ(game.m_hWnd, first);
    for (const std::string& line : effects) {
        EXPECT_EQ(line.find("create"), std::string::npos) << line;
        EXPECT_EQ(line.find("title=S12"), std::string::npos)
            << line; // nothing moved before the caption title is set
    }
    EXPECT_TRUE(SameRect(WindowRect(game.m_hWnd), WorkArea()));
    EXPECT_TRUE(GameProbe::Maximized(game));
    EXPECT_EQ(GameCaptionProbe::Title(GameProbe::Caption(game)), L"S13");
    EXPECT_EQ(LoginDialogProbe::ReentryUrl(*login), ReentryAddress(L"13"));
    EXPECT_EQ(std::wstring(FlashHostProbe::QueryBuffer(GameProbe::Flash(game))).find(L"serverid=13&"), 6u);

    // An address without the keys keeps the earlier title and re-entry address.
    Complete(kPortal + L"/error?a=1");
    EXPECT_EQ(GameCaptionProbe::Title(GameProbe::Caption(game)), L"S13");
    EXPECT_EQ(LoginDialogProbe::ReentryUrl(*login), ReentryAddress(L"13"));
    EXPECT_STREQ(FlashHostProbe::QueryBuffer(GameProbe::Flash(game)), L"a=1");
}

TEST_F(EntryFixture, OtherPagesChangeNothing) {
    for (const std::wstring& address : {kLoginPage, L"error?serverid=1&x" + std::wstring(),
                                        kPortal + L"/Error?x", std::wstring(L"res://kelvo.exe/208#error")}) {
        Complete(address);
        EXPECT_EQ(LoginDialogProbe::Game(*login).m_hWnd, nullptr) << Utf8(address);
        EXPECT_TRUE(login->IsWindowVisible()) << Utf8(address);
        EXPECT_TRUE(frame.IsWindowVisible()) << Utf8(address);
    }
}

TEST_F(EntryFixture, AGameEntryDuringTheUpdateWaitsForItsDecision) {
    enum class Decision { NotInstalled, Installed, FrameClosed };
    const struct {
        const char* name;
        Decision decision;
        bool opens;
    } cases[] = {{"not installed: the game opens then", Decision::NotInstalled, true},
                 {"installed: the new launcher opens it", Decision::Installed, false},
                 {"the frame closed meanwhile", Decision::FrameClosed, false}};
    for (const auto& c : cases) {
        login->BeginUpdateDecision();
        Complete(EntryAddress(L"12"));
        EXPECT_EQ(LoginDialogProbe::Game(*login).m_hWnd, nullptr) << c.name;
        EXPECT_TRUE(login->IsWindowVisible()) << c.name;
        if (c.decision == Decision::FrameClosed)
            frame.SendMessageW(WM_CLOSE);
        login->EndUpdateDecision(c.decision == Decision::Installed);
        EXPECT_EQ(LoginDialogProbe::Game(*login).m_hWnd != nullptr, c.opens) << c.name;
        if (LoginDialogProbe::Game(*login).m_hWnd)
            LoginDialogProbe::Game(*login).DestroyWindow();
        login->ShowLoginSide();
    }
}

// Refuses, while it lives, the creation of every top-level window owned by one window.
class RefuseOwnedWindows {
public:
    explicit RefuseOwnedWindows(HWND owner) {
        s_owner = owner;
        m_hook.reset(::SetWindowsHookExW(WH_CBT, &Hook, nullptr, ::GetCurrentThreadId()));
    }
    ~RefuseOwnedWindows() {
        m_hook.reset();
        s_owner = nullptr;
    }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp) {
        if (code == HCBT_CREATEWND) {
            const CREATESTRUCTW& cs = *reinterpret_cast<CBT_CREATEWNDW*>(lp)->lpcs;
            if (cs.hwndParent == s_owner && !(cs.style & WS_CHILD))
                return 1;
        }
        return ::CallNextHookEx(nullptr, code, wp, lp);
    }
    static inline HWND s_owner = nullptr;
    UniqueHook m_hook;
};

TEST_F(EntryFixture, AGameWindowThatCannotBeMadeGivesTheLoginSideBack) {
    {
        RefuseOwnedWindows refuse(login->m_hWnd);
        Complete(EntryAddress(L"12"));
    }
    tarvinGame& game = LoginDialogProbe::Game(*login);
    EXPECT_EQ(game.m_hWnd, nullptr);
    EXPECT_FALSE(FlashHostProbe::FlashCtrl(GameProbe::Flash(game)));
    EXPECT_TRUE(login->IsWindowVisible());
    EXPECT_TRUE(frame.IsWindowVisible());
    // The next entry opens the game as usual.
    Complete(EntryAddress(L"13"));
    ASSERT_NE(game.m_hWnd, nullptr);
    EXPECT_TRUE(game.IsWindowVisible());
    EXPECT_FALSE(login->IsWindowVisible());
    EXPECT_EQ(GameCaptionProbe::Title(GameProbe::Caption(game)), L"S13");
}

// ---- Menu ----

TEST(GameMenu, ResourceHoldsTheSettingsPopupWithItsTwoItems) {
    UniqueMenu menu(::LoadMenuW(AfxGetResourceHandle(), MAKEINTRESOURCEW(156)));
    ASSERT_TRUE(menu);
    ASSERT_EQ(::GetMenuItemCount(menu.get()), 1);
    wchar_t text[64] = {};
    ::GetMenuStringW(menu.get(), 0, text, 64, MF_BYPOSITION);
    EXPECT_STREQ(text, L"\u8BBE\u7F6E");
    HMENU popup = ::GetSubMenu(menu.get(), 0);
    ASSERT_EQ(::GetMenuItemCount(popup), 2);
    const struct {
        UINT id;
        const wchar_t* text;
    } items[] = {{32772, L"\u5237\u65B0  F5"}, {32773, L"\u6E05\u7A7A\u7F13\u5B58"}};
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(::GetMenuItemID(popup, i), items[i].id);
        ::GetMenuStringW(popup, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
        EXPECT_STREQ(text, items[i].text);
    }
}

RECT g_menuRect{};
HMENU g_menuShown = nullptr;

BOOL CALLBACK FindMenuWindow(HWND hwnd, LPARAM out) {
    wchar_t cls[16] = {};
    ::GetClassNameW(hwnd, cls, 16);
    if (std::wstring(cls) == L"#32768" && ::IsWindowVisible(hwnd)) {
        *reinterpret_cast<HWND*>(out) = hwnd;
        return FALSE;
    }
    return TRUE;
}

int g_menuTicks = 0;

void CALLBACK CloseMenu(HWND, UINT, UINT_PTR id, DWORD) {
    HWND menu = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindMenuWindow, reinterpret_cast<LPARAM>(&menu));
    if (!menu && ++g_menuTicks < 40)
        return;
    ::KillTimer(nullptr, id);
    if (menu) {
        ::GetWindowRect(menu, &g_menuRect);
        g_menuShown = reinterpret_cast<HMENU>(::SendMessageW(menu, MN_GETHMENU, 0, 0));
    }
    ::EndMenu();
}

TEST_F(EntryFixture, MenuOpensBelowItsButtonAndGivesTheFocusBack) {
    tarvinGame& game = EnterGame();
    game.PaintCaptionButtons();
    const RECT window = WindowRect(game.m_hWnd);
    const int w = window.right - window.left;
    g_menuRect = {};
    g_menuShown = nullptr;
    g_menuTicks = 0;
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 50, &CloseMenu);
    game.ShowGameMenu();
    ::KillTimer(nullptr, timer);
    ASSERT_NE(g_menuShown, nullptr);
    EXPECT_EQ(g_menuRect.left, window.left + w - 108);
    EXPECT_EQ(g_menuRect.top, window.top + 34);
    // Dismissed without a choice: no command, the focus back on the control.
    PumpThroughFilters();
    EXPECT_EQ(::GetFocus(), FlashHostProbe::FlashCtrl(GameProbe::Flash(game))->m_hWnd);
    EXPECT_EQ(log->Count("navigate " + Utf8(ReentryAddress(L"12"))), 0);
}

// ---- Refresh, F5, the reload timer ----

TEST_F(EntryFixture, RefreshFromTheMenuCommandF5AndTheTimerNavigatesToTheReentryAddress) {
    tarvinGame& game = EnterGame();
    const std::string reentry = "navigate " + Utf8(ReentryAddress(L"12"));
    game.SendMessageW(WM_COMMAND, 32772);
    EXPECT_EQ(log->Count(reentry), 1);
    Settle();

    // Three key-downs, two of them auto-repeats: three refreshes; focus on the control.
    HWND control = FlashHostProbe::FlashCtrl(GameProbe::Flash(game))->m_hWnd;
    ::PostMessageW(control, WM_KEYDOWN, VK_F5, 1);
    ::PostMessageW(control, WM_KEYDOWN, VK_F5, 0x40000001);
    ::PostMessageW(game.m_hWnd, WM_KEYDOWN, VK_F5, 0x40000001);
    ::PostMessageW(control, WM_KEYUP, VK_F5, static_cast<LPARAM>(0xC0000001u));
    PumpThroughFilters();
    EXPECT_EQ(log->Count(reentry), 4);
    Settle();

    // Any timer message kills timer 1 and refreshes once.
    ::SetTimer(game.m_hWnd, 1, 60000, nullptr);
    game.SendMessageW(WM_TIMER, 7);
    EXPECT_FALSE(::KillTimer(game.m_hWnd, 1)); // already gone
    EXPECT_EQ(log->Count(reentry), 5);
    Settle();
    // The real timer fires once only.
    ::SetTimer(game.m_hWnd, 1, 200, nullptr);
    PumpThroughFilters(700);
    EXPECT_EQ(log->Count(reentry), 6);

    // The movie's display settings: a request to the control, nothing else.
    game.SendMessageW(WM_COMMAND, 32774);
    EXPECT_TRUE(game.IsWindowVisible());
}

TEST_F(EntryFixture, RefreshDoesNothingWithoutAReentryAddress) {
    tarvinGame& game = LoginDialogProbe::Game(*login);
    Complete(kPortal + L"/error?a=1&gameaddress=S1&x");
    ASSERT_NE(game.m_hWnd, nullptr);
    ASSERT_TRUE(LoginDialogProbe::ReentryUrl(*login).empty());
    const std::string before = log->Text();
    game.SendMessageW(WM_COMMAND, 32772);
    ::PostMessageW(game.m_hWnd, WM_KEYDOWN, VK_F5, 1);
    PumpThroughFilters();
    EXPECT_EQ(log->Text(), before);
}

// ---- Notification icon ----

bool IconShown(HWND hwnd) {
    NOTIFYICONDATAW probe{};
    probe.cbSize = sizeof(probe);
    probe.hWnd = hwnd;
    probe.uID = 128;
    probe.uFlags = NIF_TIP;
    wcscpy(probe.szTip, L"Kelvo");
    return ::Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

TEST_F(EntryFixture, NotificationIconHidesAndBringsBackTheWindow) {
    tarvinGame& game = EnterGame();
    game.HideToNotificationArea();
    EXPECT_FALSE(game.IsWindowVisible());
    const NOTIFYICONDATAW& nid = TrayIconProbe::Record(GameProbe::Tray(game));
    EXPECT_EQ(nid.cbSize, sizeof(NOTIFYICONDATAW));
    EXPECT_EQ(nid.hWnd, game.m_hWnd);
    EXPECT_EQ(nid.uID, 128u);
    EXPECT_EQ(nid.uFlags, 7u);
    EXPECT_EQ(nid.uCallbackMessage, 1550u);
    EXPECT_EQ(nid.hIcon, ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(128)));
    EXPECT_STREQ(nid.szTip, L"Kelvo");
    const bool trayAvailable = IconShown(game.m_hWnd);

    struct Callback {
        WPARAM id;
        LPARAM mouse;
        LRESULT result;
        bool shown;
    };
    const Callback calls[] = {
        {129, WM_LBUTTONUP, 1, false},   {128, WM_MOUSEMOVE, 0, false},     {128, WM_LBUTTONDOWN, 0, false},
        {128, WM_RBUTTONDOWN, 0, false}, {128, WM_LBUTTONDBLCLK, 0, false}, {128, WM_RBUTTONUP, 0, true},
    };
    for (const Callback& c : calls) {
        EXPECT_EQ(game.SendMessageW(1550, c.id, c.mouse), c.result) << c.mouse;
        EXPECT_EQ(game.IsWindowVisible() != FALSE, c.shown) << c.mouse;
    }
    if (trayAvailable) {
        EXPECT_FALSE(IconShown(game.m_hWnd));
    }

    game.HideToNotificationArea();
    EXPECT_EQ(game.SendMessageW(1550, 128, WM_LBUTTONUP), 0);
    EXPECT_TRUE(game.IsWindowVisible());

    // The caption button: hover, press, and the next move hides the window.
    const RECT r = WindowRect(game.m_hWnd);
    const int x = r.left + (r.right - r.left) - 120, y = r.top + 10;
    game.SendMessageW(WM_NCMOUSEMOVE, HTCAPTION, MAKELPARAM(x, y));
    game.SendMessageW(WM_NCLBUTTONDOWN, HTCLIENT, MAKELPARAM(x, y));
    game.SendMessageW(WM_NCMOUSEMOVE, HTCAPTION, MAKELPARAM(x, y));
    EXPECT_FALSE(game.IsWindowVisible());

    // A window destroyed while its icon is shown takes the icon with it.
    const HWND hwnd = game.m_hWnd;
    if (trayAvailable) {
        EXPECT_TRUE(IconShown(hwnd));
    }
    game.DestroyWindow();
    if (trayAvailable) {
        EXPECT_FALSE(IconShown(hwnd));
    } else {
        GTEST_SKIP() << "no notification area in this session: the icon's presence was not checked";
    }
}

// The icon outlives a restart of the shell, goes whenever the window shows again, and a window
// that could not get one is minimised rather than lost.
TEST_F(EntryFixture, NotificationIconFollowsTheShellAndTheWindow) {
    tarvinGame& game = EnterGame();
    NOTIFYICONDATAW raw{};
    raw.cbSize = sizeof(raw);
    raw.hWnd = game.m_hWnd;
    raw.uID = 128;
    game.HideToNotificationArea();
    if (!IconShown(game.m_hWnd))
        GTEST_SKIP() << "no notification area in this session";

    // A new notification area starts empty and announces itself.
    ::Shell_NotifyIconW(NIM_DELETE, &raw);
    ASSERT_FALSE(IconShown(game.m_hWnd));
    game.SendMessageW(::RegisterWindowMessageW(L"TaskbarCreated"));
    EXPECT_TRUE(IconShown(game.m_hWnd));
    EXPECT_FALSE(game.IsWindowVisible());

    // Shown by another road than the icon.
    game.ShowWindow(SW_SHOW);
    EXPECT_FALSE(IconShown(game.m_hWnd));

    // The icon cannot be added (one with its id is there already).
    ASSERT_TRUE(::Shell_NotifyIconW(NIM_ADD, &raw));
    game.HideToNotificationArea();
    EXPECT_TRUE(game.IsWindowVisible());
    EXPECT_TRUE(game.IsIconic());
    ::Shell_NotifyIconW(NIM_DELETE, &raw);
}

// ---- Loading in the background ----

bool g_loginTicked = false;
void CALLBACK LoginTick(HWND, UINT, UINT_PTR id, DWORD) {
    g_loginTicked = true;
}

TEST_F(EntryFixture, TimersRunWhileAPageLoadsAndTheReentrySupersedesIt) {
    // A page the server holds for 3 s; the re-entry's page comes at once.
    const auto page = [](const char* title) {
        return LoopbackServer::Reply("200 OK",
                                     std::string("<html><head><title>") + title + "</title></head></html>",
                                     "Content-Type: text/html\r\n");
    };
    LoopbackServer slow([&](SOCKET s, const std::string&) {
        ::Sleep(3000);
        LoopbackServer::Send(s, page("Late"));
    });
    LoopbackServer quick([&](SOCKET s, const std::string&) { LoopbackServer::Send(s, page("Again")); });
    tarvinGame& game = EnterGame();
    LoginDialogProbe::ReentryUrl(*login) = quick.Url(L"/again");
    const std::wstring held = slow.Url(L"/held");
    const std::string reentered = "complete " + Utf8(LoginDialogProbe::ReentryUrl(*login));
    const DWORD start = ::GetTickCount();
    LoginDialogProbe::Browser(*login).Navigate(held.c_str(), nullptr, nullptr, nullptr, nullptr);
    // The game window's reload timer and a timer of the login dialog, while the page is held.
    g_loginTicked = false;
    ::SetTimer(login->m_hWnd, 77, 100, &LoginTick);
    ::SetTimer(game.m_hWnd, kGameReloadTimer, 200, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return log->Count(reentered) == 1; }, 6000)) << log->Text();
    const DWORD elapsed = ::GetTickCount() - start;
    ::KillTimer(login->m_hWnd, 77);
    EXPECT_LT(elapsed, 2500u) << "the timers waited for the held page";
    EXPECT_TRUE(g_loginTicked);
    EXPECT_EQ(log->Count("superseded " + Utf8(held)), 1) << log->Text();
    // The held page, answered at last, completes nothing.
    Pump(3500 - std::min<DWORD>(elapsed, 3000));
    ASSERT_EQ(slow.requests().size(), 1u);
    EXPECT_EQ(log->Count("complete " + Utf8(held)), 0) << log->Text();
}

// ---- Leaving the game ----

TEST_F(EntryFixture, LeavingAsksAndOnlyYesEndsTheGame) {
    tarvinGame& game = EnterGame();
    GameProbe::LeavePrompt(game) = L"leave?";
    {
        BoxAnswerer answer(IDNO);
        game.ConfirmCloseGame();
        EXPECT_EQ(answer.seen.count, 1);
        EXPECT_EQ(answer.seen.caption, L"Kelvo");
        EXPECT_EQ(answer.seen.text, L"leave?");
        EXPECT_EQ(answer.seen.owner, game.m_hWnd);
        EXPECT_TRUE(answer.seen.yes);
        EXPECT_TRUE(answer.seen.no);
        EXPECT_FALSE(answer.seen.ok || answer.seen.cancel);
        EXPECT_FALSE(answer.seen.icon);
    }
    // No: all as it was.
    EXPECT_TRUE(game.IsWindowVisible());
    ASSERT_TRUE(FlashHostProbe::FlashCtrl(GameProbe::Flash(game)));
    EXPECT_NE(FlashHostProbe::FlashCtrl(GameProbe::Flash(game))->m_hWnd, nullptr);
    EXPECT_FALSE(login->IsWindowVisible());

    // The other ways in: WM_CLOSE and SC_CLOSE ask; SC_MINIMIZE does not.
    {
        BoxAnswerer answer(IDNO);
        game.SendMessageW(WM_CLOSE);
        answer.Rearm();
        game.SendMessageW(WM_SYSCOMMAND, SC_CLOSE);
        EXPECT_EQ(answer.seen.count, 2);
        answer.Rearm();
        game.SendMessageW(WM_SYSCOMMAND, SC_MINIMIZE);
        PumpThroughFilters(200);
        EXPECT_EQ(answer.seen.count, 2);
        EXPECT_TRUE(game.IsIconic());
        game.ShowWindow(SW_RESTORE);
    }

    // Yes from the close caption button: the control and the window go, the login side comes back,
    // and the object keeps no caption state for its next window.
    {
        BoxAnswerer answer(IDYES);
        const RECT r = WindowRect(game.m_hWnd);
        const int x = r.right - 14, y = r.top + 14;
        game.SendMessageW(WM_NCMOUSEMOVE, HTCAPTION, MAKELPARAM(x, y));
        EXPECT_EQ(GameCaptionProbe::HotCode(GameProbe::Caption(game)), 100);
        game.SendMessageW(WM_NCLBUTTONDOWN, HTCLIENT, MAKELPARAM(x, y));
        game.SendMessageW(WM_NCMOUSEMOVE, HTCAPTION, MAKELPARAM(x, y));
        EXPECT_EQ(answer.seen.count, 1);
    }
    EXPECT_EQ(game.m_hWnd, nullptr);
    EXPECT_FALSE(FlashHostProbe::FlashCtrl(GameProbe::Flash(game)));
    EXPECT_FALSE(FlashHostProbe::ReadyLayoutDone(GameProbe::Flash(game)));
    EXPECT_TRUE(login->IsWindowVisible());
    EXPECT_TRUE(frame.IsWindowVisible());
    EXPECT_EQ(GameCaptionProbe::HotCode(GameProbe::Caption(game)), 0);
    EXPECT_FALSE(GameCaptionProbe::Pressed(GameProbe::Caption(game)));
    EXPECT_EQ(GameCaptionProbe::ButtonStates(GameProbe::Caption(game)), (CaptionButtonStates{}));

    // The next entry opens a new window for the same object.
    EnterGame(L"13");
    EXPECT_NE(game.m_hWnd, nullptr);
    EXPECT_TRUE(game.IsWindowVisible());
    EXPECT_FALSE(login->IsWindowVisible());
    EXPECT_FALSE(::SendMessageW(game.m_hWnd, WM_SETCURSOR, reinterpret_cast<WPARAM>(game.m_hWnd),
                                MAKELPARAM(HTCAPTION, WM_MOUSEMOVE)));
}

TEST_F(EntryFixture, YesWhileTheLoginDialogShowsStillShowsTheFrame) {
    tarvinGame& game = EnterGame();
    login->ShowWindow(SW_SHOWNOACTIVATE);
    BoxAnswerer answer(IDYES);
    game.ConfirmCloseGame();
    EXPECT_EQ(game.m_hWnd, nullptr);
    EXPECT_TRUE(login->IsWindowVisible());
    EXPECT_TRUE(frame.IsWindowVisible());
}

// Every window this thread activates, while it lives.
struct ActivationRecorder {
    static inline std::vector<HWND>* current = nullptr;
    std::vector<HWND> activated;
    UniqueHook hook;
    ActivationRecorder() {
        current = &activated;
        hook.reset(::SetWindowsHookExW(WH_CBT, &Hook, nullptr, ::GetCurrentThreadId()));
    }
    ~ActivationRecorder() { current = nullptr; }
    static LRESULT CALLBACK Hook(int code, WPARAM wp, LPARAM lp) {
        if (code == HCBT_ACTIVATE && current)
            current->push_back(reinterpret_cast<HWND>(wp));
        return ::CallNextHookEx(nullptr, code, wp, lp);
    }
};

TEST_F(EntryFixture, YesActivatesTheLoginSideAndNoOtherProgramsWindow) {
    // Another program's window, behind the game's.
    const HWND other = ::CreateWindowExW(0, L"STATIC", L"another program", WS_POPUP | WS_VISIBLE, 0, 0, 200,
                                         100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    tarvinGame& game = EnterGame();
    ::SetActiveWindow(game.m_hWnd);
    ASSERT_EQ(::GetActiveWindow(), game.m_hWnd);
    std::vector<HWND> activated;
    {
        ActivationRecorder recorder;
        BoxAnswerer answer(IDYES);
        game.ConfirmCloseGame();
        activated = recorder.activated;
    }
    EXPECT_EQ(game.m_hWnd, nullptr);
    const HWND active = ::GetActiveWindow();
    EXPECT_TRUE(active == login->m_hWnd || active == frame.m_hWnd) << active;
    EXPECT_EQ(std::count(activated.begin(), activated.end(), other), 0);
    ::DestroyWindow(other);
}

TEST(GameCaption, EveryNewWindowStartsWithTheCaptionStatesCleared) {
    tarvinGame game;
    GameCaptionProbe::HotCode(GameProbe::Caption(game)) = 100;
    GameCaptionProbe::Pressed(GameProbe::Caption(game)) = true;
    GameCaptionProbe::ButtonStates(GameProbe::Caption(game)) = {ButtonState::Normal, ButtonState::Normal,
                                                                ButtonState::Normal, ButtonState::Normal,
                                                                ButtonState::Pressed};
    ASSERT_TRUE(game.Create(tarvinGame::IDD));
    EXPECT_EQ(GameCaptionProbe::HotCode(GameProbe::Caption(game)), 0);
    EXPECT_FALSE(GameCaptionProbe::Pressed(GameProbe::Caption(game)));
    EXPECT_EQ(GameCaptionProbe::ButtonStates(GameProbe::Caption(game)), (CaptionButtonStates{}));
    game.DestroyWindow();
}

TEST(GameCaption, AMinimiseByTheSystemKeepsTheMaximisedFlag) {
    tarvinGame game;
    ASSERT_TRUE(game.Create(tarvinGame::IDD));
    game.ShowWindow(SW_SHOWNOACTIVATE);
    game.OpenMaximized();
    ASSERT_TRUE(GameProbe::Maximized(game));
    const RECT restorePlace = GameProbe::RestorePlace(game);
    for (int way = 0; way < 2; ++way) {
        if (way == 0)
            game.ShowWindow(SW_MINIMIZE); // Win+M
        else
            game.SendMessageW(WM_SYSCOMMAND, SC_MINIMIZE); // the task bar
        ASSERT_TRUE(game.IsIconic());
        EXPECT_TRUE(GameProbe::Maximized(game)) << way;
        game.ShowWindow(SW_RESTORE);
        EXPECT_TRUE(GameProbe::Maximized(game)) << way;
        EXPECT_TRUE(SameRect(WindowRect(game.m_hWnd), WorkArea())) << way;
    }
    // The next toggle restores to the remembered place, not to the full screen.
    game.ToggleMaximized();
    EXPECT_TRUE(SameRect(WindowRect(game.m_hWnd), restorePlace));
    game.DestroyWindow();
}

// ---- The keyboard and mouse filter ----

int g_rightDown = 0, g_rightUp = 0;
LRESULT CALLBACK CountRightButton(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    g_rightDown += msg == WM_RBUTTONDOWN;
    g_rightUp += msg == WM_RBUTTONUP;
    return ::DefSubclassProc(hwnd, msg, wp, lp);
}

TEST(GameFilterFault, WithoutTheFilterTheDialogKeysWouldEndTheWindow) {
    // The fault the filter mends, shown on a bare dialog of the same template.
    for (WPARAM key : {VK_ESCAPE, VK_RETURN}) {
        CDialog bare(tarvinGame::IDD);
        ASSERT_TRUE(bare.Create(tarvinGame::IDD));
        bare.ShowWindow(SW_SHOWNOACTIVATE);
        ::PostMessageW(bare.m_hWnd, WM_KEYDOWN, key, 1);
        PumpThroughFilters();
        EXPECT_FALSE(bare.m_hWnd && bare.IsWindowVisible()) << key;
        bare.DestroyWindow();
    }
}

TEST_F(EntryFixture, EnterAndEscapeNeverEndOrHideTheGameWindow) {
    tarvinGame& game = EnterGame();
    HWND control = FlashHostProbe::FlashCtrl(GameProbe::Flash(game))->m_hWnd;
    for (HWND focus : {control, game.m_hWnd}) {
        ::SetFocus(focus);
        for (WPARAM key : {VK_ESCAPE, VK_RETURN, VK_CANCEL, VK_EXECUTE, VK_ESCAPE, VK_RETURN}) {
            ::PostMessageW(focus, WM_KEYDOWN, key, 1);
            ::PostMessageW(focus, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
        }
        PumpThroughFilters();
        ASSERT_NE(game.m_hWnd, nullptr);
        EXPECT_TRUE(game.IsWindowVisible());
        EXPECT_TRUE(frame.m_hWnd && !frame.IsWindowVisible());
    }
    MSG enter{control, WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    MSG escape{game.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0, 0, {}};
    EXPECT_FALSE(game.PreTranslateMessage(&enter));
    EXPECT_FALSE(game.PreTranslateMessage(&escape));
}

TEST_F(EntryFixture, RightPressesOnTheControlAreDroppedAndMovesResetTheCaption) {
    tarvinGame& game = EnterGame();
    HWND control = FlashHostProbe::FlashCtrl(GameProbe::Flash(game))->m_hWnd;
    g_rightDown = g_rightUp = 0;
    ASSERT_TRUE(::SetWindowSubclass(control, &CountRightButton, 1, 0));
    ::PostMessageW(control, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 20));
    ::PostMessageW(control, WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
    PumpThroughFilters();
    EXPECT_EQ(g_rightDown, 0);
    EXPECT_EQ(g_rightUp, 1);
    ::RemoveWindowSubclass(control, &CountRightButton, 1);

    // A lit caption button goes dark when the mouse comes onto the control.
    const RECT r = WindowRect(game.m_hWnd);
    game.SendMessageW(WM_NCMOUSEMOVE, HTCAPTION, MAKELPARAM(r.right - 40, r.top + 10));
    ASSERT_NE(GameCaptionProbe::HotCode(GameProbe::Caption(game)), 0);
    ::PostMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(30, 30));
    PumpThroughFilters();
    EXPECT_EQ(GameCaptionProbe::HotCode(GameProbe::Caption(game)), 0);
    EXPECT_EQ(GameCaptionProbe::ButtonStates(GameProbe::Caption(game)), (CaptionButtonStates{}));
}

} // namespace
