// The game window's notification icon: added when the window hides, taken away when the window
// shows again by any road, added anew by a restarted shell, gone with the window, and a window that
// cannot get an icon minimised instead of lost. Each step acts on the window as the player, the
// shell or the program would, and is a row of what the window and the notification area show
// afterwards.
#include "game/win/tarvinGame.h"

#include "probes/GameProbe.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <optional>

using namespace kelvo;

namespace {

// The icon of the window with the game's id, touched from outside as the shell would see it.
NOTIFYICONDATAW Raw(HWND hwnd) {
    NOTIFYICONDATAW raw{};
    raw.cbSize = sizeof(raw);
    raw.hWnd = hwnd;
    raw.uID = kGameTrayIconId;
    return raw;
}

bool IconPresent(HWND hwnd) {
    NOTIFYICONDATAW probe = Raw(hwnd);
    probe.uFlags = NIF_TIP;
    return ::Shell_NotifyIconW(NIM_MODIFY, &probe) != FALSE;
}

enum class Step {
    Hide,
    OtherIconClick,
    MoveOverIcon,
    ShellRestarts,
    ReleaseOnIcon,
    ShownElsewhere,
    WindowGoes,
    IdTakenThenHide,
    Restore,
    IdFreedThenHide,
    ShellRestartsRefusingIcon
};

TEST(GameTray, IconFollowsTheWindowAndTheShell) {
    std::optional<tarvinGame> game(std::in_place);
    ASSERT_TRUE(game->Create(tarvinGame::IDD));
    ::SetWindowPos(game->m_hWnd, HWND_TOP, 50, 50, 300, 200, SWP_SHOWWINDOW);
    HWND hwnd = game->m_hWnd;
    const UINT taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    const auto iconMessage = [&](WPARAM id, LPARAM mouse) {
        return ::SendMessageW(hwnd, WM_KELVO_NOTIFYICON, id, mouse);
    };
    game->HideToNotificationArea();
    if (!IconPresent(hwnd)) {
        game->DestroyWindow();
        GTEST_SKIP() << "no notification area in this session";
    }
    iconMessage(kGameTrayIconId, WM_LBUTTONUP);
    NOTIFYICONDATAW raw = Raw(hwnd);

    const struct {
        Step step;
        LRESULT result;
        bool visible, iconic, shown, icon;
    } rows[] = {
        {Step::Hide, 0, false, false, true, true},
        {Step::OtherIconClick, 1, false, false, true, true},
        {Step::MoveOverIcon, 0, false, false, true, true},
        {Step::ShellRestarts, 0, false, false, true, true},
        {Step::ReleaseOnIcon, 0, true, false, false, false},
        {Step::Hide, 0, false, false, true, true},
        {Step::ShownElsewhere, 0, true, false, false, false},
        {Step::Hide, 0, false, false, true, true},
        {Step::WindowGoes, 0, false, false, false, false},
        // The fallbacks: another icon holds the id, so none can be added for the window.
        {Step::IdTakenThenHide, 0, true, true, false, true},
        // The other icon is not the window's to take away.
        {Step::Restore, 0, true, false, false, true},
        {Step::IdFreedThenHide, 0, false, false, true, true},
        {Step::ShellRestartsRefusingIcon, 0, true, true, false, true},
    };
    for (const auto& row : rows) {
        const int step = static_cast<int>(row.step);
        LRESULT result = 0;
        switch (row.step) {
        case Step::Hide:
            game->HideToNotificationArea();
            break;
        case Step::OtherIconClick:
            result = iconMessage(kGameTrayIconId + 1, WM_LBUTTONUP);
            break;
        case Step::MoveOverIcon:
            result = iconMessage(kGameTrayIconId, WM_MOUSEMOVE);
            break;
        case Step::ShellRestarts:
            ::Shell_NotifyIconW(NIM_DELETE, &raw);
            ::SendMessageW(hwnd, taskbarCreated, 0, 0);
            break;
        case Step::ReleaseOnIcon:
            result = iconMessage(kGameTrayIconId, WM_RBUTTONUP);
            break;
        case Step::ShownElsewhere:
            ::ShowWindow(hwnd, SW_SHOW);
            break;
        case Step::WindowGoes:
            game->DestroyWindow();
            break;
        case Step::IdTakenThenHide:
            game.emplace();
            ASSERT_TRUE(game->Create(tarvinGame::IDD));
            ::SetWindowPos(game->m_hWnd, HWND_TOP, 50, 50, 300, 200, SWP_SHOWWINDOW);
            hwnd = game->m_hWnd;
            raw = Raw(hwnd);
            ::Shell_NotifyIconW(NIM_ADD, &raw);
            game->HideToNotificationArea();
            break;
        case Step::Restore:
            ::ShowWindow(hwnd, SW_RESTORE);
            break;
        case Step::IdFreedThenHide:
            ::Shell_NotifyIconW(NIM_DELETE, &raw);
            game->HideToNotificationArea();
            break;
        case Step::ShellRestartsRefusingIcon:
            ::SendMessageW(hwnd, taskbarCreated, 0, 0);
            break;
        }
        EXPECT_EQ(result, row.result) << step;
        EXPECT_EQ(::IsWindowVisible(hwnd) != FALSE, row.visible) << step;
        EXPECT_EQ(::IsIconic(hwnd) != FALSE, row.iconic) << step;
        EXPECT_EQ(GameProbe::Tray(*game).Shown(), row.shown) << step;
        EXPECT_EQ(IconPresent(hwnd), row.icon) << step;
    }
    ::Shell_NotifyIconW(NIM_DELETE, &raw);
    game->DestroyWindow();
}

} // namespace
