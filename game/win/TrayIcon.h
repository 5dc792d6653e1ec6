// The game window's notification-area icon: the window hides behind it and comes back when the
// icon is clicked. The owner takes the icon away whenever it is no longer needed, so that no icon
// of a window that is shown again, or gone, is left behind in the notification area.
#pragma once

#include "res/resource.h"

#include <windows.h>
#include <shellapi.h>

namespace kelvo {

// The icon's callback message and its id among the window's icons.
constexpr UINT WM_KELVO_NOTIFYICON = 0x060E;
constexpr UINT kGameTrayIconId = IDI_KELVO;

class TrayIcon {
public:
    TrayIcon() noexcept = default;
    ~TrayIcon() { Remove(); }
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Hides the window behind the icon. Without an icon to bring it back (no notification area),
    // a hidden window would be lost to the player: it goes to the taskbar instead.
    void HideWindow(HWND window);
    // The icon's callback to the window: a button release on the icon shows the window again.
    // 1 for another icon.
    LRESULT OnNotify(HWND window, WPARAM id, LPARAM mouse);
    // A new notification area (the shell restarted) has lost the icon of the hidden window: it is
    // added again, or the window comes back to the taskbar.
    void OnTaskbarCreated();
    // Takes the icon away; nothing when none is shown. Called when the window is shown again by
    // any road and when it goes.
    void Remove() noexcept;
    bool Shown() const noexcept { return m_bShown; }

private:
    friend struct TrayIconProbe; // the icon's record, for the tests

    // The record the icon was added with, and is deleted with.
    NOTIFYICONDATAW m_nidTray{};
    bool m_bShown = false;
};

} // namespace kelvo
