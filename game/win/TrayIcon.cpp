#include "game/win/TrayIcon.h"

#include "framework/CWinApp.h"

#include <cwchar>
#include <iterator>

namespace kelvo {

void TrayIcon::HideWindow(HWND window) {
    if (!window)
        return;
    if (!m_bShown) {
        m_nidTray = {};
        m_nidTray.cbSize = sizeof(m_nidTray);
        m_nidTray.hWnd = window;
        m_nidTray.uID = kGameTrayIconId;
        m_nidTray.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        m_nidTray.uCallbackMessage = WM_KELVO_NOTIFYICON;
        m_nidTray.hIcon = ::LoadIconW(AfxGetResourceHandle(), MAKEINTRESOURCEW(kGameTrayIconId));
        std::wcsncpy(m_nidTray.szTip, L"Kelvo", std::size(m_nidTray.szTip) - 1);
        m_bShown = ::Shell_NotifyIconW(NIM_ADD, &m_nidTray) != FALSE;
    }
    ::ShowWindow(window, m_bShown ? SW_HIDE : SW_MINIMIZE);
}

LRESULT TrayIcon::OnNotify(HWND window, WPARAM id, LPARAM mouse) {
    if (id != kGameTrayIconId)
        return 1;
    if (mouse == WM_LBUTTONUP || mouse == WM_RBUTTONUP) {
        ::ShowWindow(window, SW_SHOW);
        Remove();
    }
    return 0;
}

void TrayIcon::OnTaskbarCreated() {
    if (m_bShown && !::Shell_NotifyIconW(NIM_ADD, &m_nidTray)) {
        m_bShown = false;
        ::ShowWindow(m_nidTray.hWnd, SW_SHOWMINNOACTIVE);
    }
}

void TrayIcon::Remove() noexcept {
    if (m_bShown) {
        ::Shell_NotifyIconW(NIM_DELETE, &m_nidTray);
        m_bShown = false;
    }
}

} // namespace kelvo
