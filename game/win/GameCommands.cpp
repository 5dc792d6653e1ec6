// The game window's commands: the settings menu, refresh (also F5 and the movie's reload timer),
// clearing the browser cache, the movie's display settings, hiding to a notification-area icon,
// the keyboard and mouse filter in front of the game control, and leaving the game.
#include "game/win/tarvinGame.h"

#include "framework/CWinApp.h"
#include "framework/ScreenRect.h"
#include "framework/SystemLibrary.h"

namespace kelvo {

namespace {

// The movie's own display settings dialog, asked for through ExternalInterface.
constexpr wchar_t kFlashSettingsRequest[] =
    L"<invoke name=\"flashSetting\" "
    L"returntype=\"xml\"><arguments><string>display</string></arguments></invoke>";

// The menu opens this far below the menu button.
constexpr int kMenuGap = 8;

} // namespace

void tarvinGame::ShowGameMenu() {
    if (!m_hWnd)
        return;
    UniqueMenu menu(::LoadMenuW(AfxGetResourceHandle(), MAKEINTRESOURCEW(IDR_GAME_MENU)));
    HMENU popup = menu ? ::GetSubMenu(menu.get(), 0) : nullptr;
    if (popup) {
        const RECT window = WindowRect(m_hWnd);
        const RECT& button = m_caption.MenuButtonRect();
        // Returns when the menu closes; a chosen item arrives afterwards as WM_COMMAND.
        ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, window.left + button.left,
                         window.top + button.bottom + kMenuGap, 0, m_hWnd, nullptr);
    }
    if (CShockwaveflash1* control = m_flash.Control(); control && control->m_hWnd)
        ::SetFocus(control->m_hWnd);
}

bool tarvinGame::CanRefresh() const {
    return m_hWnd && m_pGameOwner && m_pGameOwner->CanReenter();
}

void tarvinGame::RefreshGame() {
    if (CanRefresh())
        m_pGameOwner->Reenter();
}

void tarvinGame::OnTimer(UINT_PTR) {
    // One-shot: the movie's reload request starts it, its first tick ends it.
    ::KillTimer(m_hWnd, kGameReloadTimer);
    RefreshGame();
    Default();
}

void tarvinGame::ClearBrowserCache() {
    // Nothing waits for the cleaning and nothing is reloaded.
    StartSystemProgram(L"rundll32.exe", L"InetCpl.cpl,ClearMyTracksByProcess 8");
}

void tarvinGame::ShowFlashDisplaySettings() {
    // A movie without the function answers nothing; there is nothing the player could do about it,
    // so the reply is not looked at.
    if (CShockwaveflash1* control = m_flash.Control())
        control->CallFunction(kFlashSettingsRequest);
}

void tarvinGame::HideToNotificationArea() {
    if (m_hWnd)
        m_tray.HideWindow(m_hWnd);
}

LRESULT tarvinGame::OnNotifyIcon(WPARAM wParam, LPARAM lParam) {
    return m_tray.OnNotify(m_hWnd, wParam, lParam);
}

LRESULT tarvinGame::OnShowWindow(WPARAM wParam, LPARAM) {
    // The window shown again by any road (a re-entry, the movie) no longer needs its icon.
    if (wParam)
        m_tray.Remove();
    return Default();
}

LRESULT tarvinGame::OnTaskbarCreated(WPARAM, LPARAM) {
    m_tray.OnTaskbarCreated();
    return Default();
}

void tarvinGame::OnDestroy() {
    // A window that goes while hidden (the movie's lost connection answered Yes, or the end of the
    // program) would otherwise leave its icon behind until the mouse passes over it.
    m_tray.Remove();
    // The frame's pictures are the window's.
    m_caption.Close();
    // The control goes before the child windows do: inside one of its own events (the program
    // ending during a leave question) its host window must outlive the event.
    m_flash.RemoveControl(FlashHost::Removal::Destroy);
    Default();
}

void tarvinGame::ConfirmCloseGame() {
    if (!m_hWnd)
        return;
    // A copy: the movie may replace the prompt while the question is open.
    const std::wstring prompt = m_strLeaveGamePrompt;
    const int answer = ::MessageBoxW(m_hWnd, prompt.c_str(), L"Kelvo", MB_YESNO);
    // The window may have gone while the question was open.
    if (answer != IDYES || !m_hWnd)
        return;
    m_flash.RemoveControl(FlashHost::Removal::Stop);
    // The login side shows before this window goes: destroying the active window of a process
    // whose other windows are hidden would hand the activation to another program, and the frame
    // would come back behind it.
    if (m_pGameOwner)
        m_pGameOwner->GameLeft();
    if (m_hWnd)
        DestroyWindow();
}

void tarvinGame::OnClose() {
    ConfirmCloseGame();
}

LRESULT tarvinGame::OnSysCommand(WPARAM wParam, LPARAM) {
    // Compared whole: only the plain close request leads to the question.
    if (wParam == SC_CLOSE) {
        ConfirmCloseGame();
        return 0;
    }
    return Default();
}

BOOL tarvinGame::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message == WM_KEYDOWN) {
        // Enter, Escape and Ctrl+Break never reach the dialog keyboard handling, which would end
        // this window as OK or Cancel while the login side is hidden.
        if (pMsg->wParam == VK_RETURN || pMsg->wParam == VK_ESCAPE || pMsg->wParam == VK_CANCEL) {
            CShockwaveflash1* control = m_flash.Control();
            return control ? control->PreTranslateMessage(pMsg) : FALSE;
        }
        // Every key-down refreshes, auto-repeats included.
        if (pMsg->wParam == VK_F5)
            RefreshGame();
        return CDialog::PreTranslateMessage(pMsg);
    }
    // The control's window and the windows the control makes inside it.
    HWND control = m_hWnd ? GetDlgItem(kGameControlId) : nullptr;
    if (control && (pMsg->hwnd == control || ::IsChild(control, pMsg->hwnd))) {
        if (pMsg->message == WM_RBUTTONDOWN)
            return TRUE;
        if (pMsg->message == WM_MOUSEMOVE)
            ResetCaptionButtons();
    }
    return CDialog::PreTranslateMessage(pMsg);
}

} // namespace kelvo
