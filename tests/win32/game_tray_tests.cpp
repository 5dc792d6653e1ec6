// The game window's notification icon as one owner, on a plain window: added when the window
// hides, taken away when it shows again, added anew by a restarted shell, gone with its owner, and
// a window that cannot get an icon minimised instead of lost. Each step is a row of what the
// window and the notification area show afterwards.
#include "game/win/TrayIcon.h"

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
    OwnerGoes,
    IdTakenThenHide,
    ShellRestartsRefusingIcon,
    Restore
};

TEST(GameTray, IconFollowsTheWindowAndTheShell) {
    const HWND hwnd = ::CreateWindowExW(0, L"STATIC", L"tray", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 50, 50, 300,
                                        200, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(hwnd);
    std::optional<TrayIcon> tray(std::in_place);
    NOTIFYICONDATAW raw = Raw(hwnd);
    tray->HideWindow(hwnd);
    if (!IconPresent(hwnd)) {
        ::DestroyWindow(hwnd);
        GTEST_SKIP() << "no notification area in this session";
    }
    tray->OnNotify(hwnd, kGameTrayIconId, WM_LBUTTONUP);

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
        {Step::OwnerGoes, 0, false, false, false, false},
        // The fallbacks: the id is in use, so no icon can be added for the window.
        {Step::IdTakenThenHide, 0, true, true, false, true},
        {Step::Restore, 0, true, false, false, false},
        {Step::Hide, 0, false, false, true, true},
        {Step::ShellRestartsRefusingIcon, 0, true, true, false, true},
    };
    for (const auto& row : rows) {
        const int step = static_cast<int>(row.step);
        LRESULT result = 0;
        switch (row.step) {
        case Step::Hide:
            tray->HideWindow(hwnd);
            break;
        case Step::OtherIconClick:
            result = tray->OnNotify(hwnd, kGameTrayIconId + 1, WM_LBUTTONUP);
            break;
        case Step::MoveOverIcon:
            result = tray->OnNotify(hwnd, kGameTrayIconId, WM_MOUSEMOVE);
            break;
        case Step::ShellRestarts:
            ::Shell_NotifyIconW(NIM_DELETE, &raw);
            tray->OnTaskbarCreated();
            break;
        case Step::ReleaseOnIcon:
            result = tray->OnNotify(hwnd, kGameTrayIconId, WM_RBUTTONUP);
            break;
        case Step::ShownElsewhere:
            ::ShowWindow(hwnd, SW_SHOW);
            tray->Remove();
            break;
        case Step::OwnerGoes:
            tray.reset();
            break;
        case Step::IdTakenThenHide:
            ::Shell_NotifyIconW(NIM_ADD, &raw);
            tray.emplace();
            tray->HideWindow(hwnd);
            break;
        case Step::Restore:
            ::Shell_NotifyIconW(NIM_DELETE, &raw);
            ::ShowWindow(hwnd, SW_RESTORE);
            break;
        case Step::ShellRestartsRefusingIcon:
            tray->OnTaskbarCreated();
            break;
        }
        EXPECT_EQ(result, row.result) << step;
        EXPECT_EQ(::IsWindowVisible(hwnd) != FALSE, row.visible) << step;
        EXPECT_EQ(::IsIconic(hwnd) != FALSE, row.iconic) << step;
        EXPECT_EQ(tray && tray->Shown(), row.shown) << step;
        EXPECT_EQ(IconPresent(hwnd), row.icon) << step;
    }
    ::Shell_NotifyIconW(NIM_DELETE, &raw);
    ::DestroyWindow(hwnd);
}

} // namespace
