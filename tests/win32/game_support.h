// What the game-entry and bridge tests share: the portal's addresses, the leave-game question answered from
// inside the test, the stand-ins' record, and the login side with its web view.
#pragma once

#include "frame/win/bgDialog.h"
#include "game/win/tarvinGame.h"
#include "login/win/CtarvinDlg.h"

#include "probes/FlashHostProbe.h"
#include "probes/GameProbe.h"
#include "probes/LoginDialogProbe.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

using namespace kelvo;

namespace gametest {

inline const std::wstring kPortal = L"http://127.0.0.1:18601";
inline const std::wstring kLoginPage = kPortal + L"/games/kelvo/dlq/";

inline std::wstring EntryAddress(const std::wstring& serverId) {
    return kPortal + L"/games/kelvo/enter/error.php?uid=1&serverid=" + serverId + L"&gameaddress=S" +
           serverId + L"&mainVersion=1001&resourceHost=http://h/&client=2";
}

inline std::wstring ReentryAddress(const std::wstring& serverId) {
    return kPortal + L"/games/dlq/togame.php?target=kelvo_553&server_id=" + serverId +
           L"&client=2&login_game_for_general&refer=";
}

inline std::string Utf8(const std::wstring& text) {
    std::string out(text.size() * 3, '\0');
    out.resize(static_cast<size_t>(::WideCharToMultiByte(CP_UTF8, 0, text.data(),
                                                         static_cast<int>(text.size()), out.data(),
                                                         static_cast<int>(out.size()), nullptr, nullptr)));
    return out;
}

// Where the game window puts its control at the window's current size, by the frame's rule.
inline RECT ControlPlace(HWND game) {
    const RECT window = WindowRect(game);
    const RECT work = WorkArea();
    const auto place = GameControlRect(window.right - window.left, window.bottom - window.top,
                                       work.right - work.left, work.bottom - work.top);
    return place ? RECT{place->left, place->top, place->right, place->bottom} : RECT{};
}

// ---- Answering the leave-game question from outside ----

// What a message box of this thread looked like when it was answered.
struct SeenBox {
    int count = 0;
    std::wstring caption, text;
    HWND owner = nullptr;
    bool yes = false, no = false, ok = false, cancel = false, icon = false;
};

inline SeenBox* g_seen = nullptr;
inline int g_answer = IDNO;
// Runs on each tick while a box is open, before it is answered; the box is answered once it
// returns true.
inline std::function<bool(HWND)> g_whileOpen;
inline HWND g_seenBox = nullptr;
inline bool g_inTick = false;

inline BOOL CALLBACK FindBox(HWND hwnd, LPARAM out) {
    wchar_t cls[16] = {};
    ::GetClassNameW(hwnd, cls, 16);
    // The program's own dialogs share the class; a message box has no window object.
    if (std::wstring(cls) == L"#32770" && ::IsWindowVisible(hwnd) && !CWnd::FromHandlePermanent(hwnd)) {
        *reinterpret_cast<HWND*>(out) = hwnd;
        return FALSE;
    }
    return TRUE;
}

inline BOOL CALLBACK ReadBoxChild(HWND child, LPARAM) {
    wchar_t cls[16] = {};
    ::GetClassNameW(child, cls, 16);
    if (std::wstring(cls) == L"Static" && ::IsWindowVisible(child)) {
        if ((::GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            ::SendMessageW(child, STM_GETICON, 0, 0))
            g_seen->icon = true;
        wchar_t text[256] = {};
        ::GetWindowTextW(child, text, 256);
        if (text[0])
            g_seen->text = text;
    }
    return TRUE;
}

inline void CALLBACK AnswerBox(HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindBox, reinterpret_cast<LPARAM>(&box));
    // The hook may pump messages, and with them this timer.
    if (!box || g_inTick)
        return;
    SeenBox& seen = *g_seen;
    if (box != g_seenBox) {
        g_seenBox = box;
        ++seen.count;
        wchar_t caption[64] = {};
        ::GetWindowTextW(box, caption, 64);
        seen.caption = caption;
        seen.owner = ::GetWindow(box, GW_OWNER);
        const auto shown = [box](int buttonId) {
            HWND button = ::GetDlgItem(box, buttonId);
            return button && ::IsWindowVisible(button);
        };
        seen.yes = shown(IDYES);
        seen.no = shown(IDNO);
        seen.ok = shown(IDOK);
        seen.cancel = shown(IDCANCEL);
        ::EnumChildWindows(box, &ReadBoxChild, 0);
    }
    if (g_whileOpen) {
        g_inTick = true;
        const bool done = g_whileOpen(box);
        g_inTick = false;
        if (!done)
            return;
    }
    ::KillTimer(nullptr, id);
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(g_answer, BN_CLICKED), 0);
}

// While it lives, every message box the thread opens is answered with the given button.
class BoxAnswerer {
public:
    explicit BoxAnswerer(int answer, std::function<bool(HWND)> whileOpen = {}) {
        g_seen = &seen;
        g_answer = answer;
        g_seenBox = nullptr;
        g_whileOpen = std::move(whileOpen);
        m_timer = ::SetTimer(nullptr, 0, 50, &AnswerBox);
    }
    ~BoxAnswerer() {
        ::KillTimer(nullptr, m_timer);
        g_seen = nullptr;
        g_whileOpen = nullptr;
    }
    // Answer the next box too.
    void Rearm() {
        g_seenBox = nullptr;
        ::KillTimer(nullptr, m_timer);
        m_timer = ::SetTimer(nullptr, 0, 50, &AnswerBox);
    }
    SeenBox seen;

private:
    UINT_PTR m_timer = 0;
};

// ---- The login side, the game window and the stand-in's record ----

// The frame with its login dialog and a web view of the stand-in that shows an empty page; no
// placeholder page, so nothing navigates until a test says so.
class EntryFixture : public ::testing::Test {
protected:
    void SetUp() override {
        if (!StandinRegistered(kBrowserClsid))
            GTEST_SKIP() << "the web browser class id is not registered to the stand-in";
        log = std::make_unique<StandinLog>();
        ASSERT_TRUE(frame.Create(bgDialog::IDD));
        login = frame.GetLoginDialog();
        ASSERT_NE(login, nullptr);
        ASSERT_TRUE(LoginDialogProbe::Browser(*login).Create(nullptr, WS_CHILD | WS_VISIBLE,
                                                             RECT{45, 30, 655, 366}, login, 1000));
        LoginDialogProbe::Browser(*login).Navigate(L"about:blank", nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(
            PumpUntil([&] { return static_cast<bool>(LoginDialogProbe::Browser(*login).get_Document()); }));
        frame.ShowWindow(SW_SHOWNOACTIVATE);
        login->ShowWindow(SW_SHOWNOACTIVATE);
    }
    void TearDown() override {
        if (login && LoginDialogProbe::Game(*login).m_hWnd)
            LoginDialogProbe::Game(*login).DestroyWindow();
        if (frame.m_hWnd)
            frame.DestroyWindow();
    }

    void Complete(const std::wstring& address) {
        VARIANT v;
        ::VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = ::SysAllocString(address.c_str());
        login->OnDocumentComplete(nullptr, &v);
        ::VariantClear(&v);
        Settle();
    }
    // Nothing answers on the portal's address here: the failed load would complete with the
    // control's error page, which asks for the login page again, and so on, starving the timers.
    // An empty page supersedes whatever load is pending.
    void Settle() {
        LoginDialogProbe::Browser(*login).Navigate(L"about:blank", nullptr, nullptr, nullptr, nullptr);
        Pump(50);
    }
    // Enters the game once and gives it a control (the movie's own control is not needed here).
    tarvinGame& EnterGame(const std::wstring& serverId = L"12") {
        Complete(EntryAddress(serverId));
        tarvinGame& game = LoginDialogProbe::Game(*login);
        if (game.m_hWnd && !FlashHostProbe::FlashCtrl(GameProbe::Flash(game))) {
            FlashHostProbe::FlashCtrl(GameProbe::Flash(game)) = std::make_unique<CShockwaveflash1>();
            FlashHostProbe::FlashCtrl(GameProbe::Flash(game))
                ->Create(nullptr, WS_CHILD | WS_VISIBLE, ControlPlace(game.m_hWnd), &game, 1001);
        }
        return game;
    }

    std::unique_ptr<StandinLog> log;
    bgDialog frame;
    CtarvinDlg* login = nullptr;
};

} // namespace gametest
