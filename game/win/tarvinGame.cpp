#include "game/win/tarvinGame.h"

#include "framework/CWinApp.h"
#include "framework/ScreenRect.h"

namespace kelvo {

namespace {

GameRect ToGameRect(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

} // namespace

BEGIN_MESSAGE_MAP(tarvinGame, CDialog)
ON_WM_CREATE()
ON_WM_NCHITTEST()
ON_WM_NCMOUSEMOVE()
ON_WM_NCLBUTTONDOWN()
ON_WM_NCLBUTTONDBLCLK()
ON_WM_SETCURSOR()
ON_WM_GETMINMAXINFO()
ON_WM_MOVE()
ON_WM_SIZE()
ON_WM_ERASEBKGND()
ON_WM_PAINT()
ON_MESSAGE(WM_NCACTIVATE, OnNcActivate)
// Commands, notification icon and leaving the game (GameCommands.cpp).
ON_COMMAND(ID_GAME_REFRESH, RefreshGame)
ON_COMMAND(ID_GAME_CLEARCACHE, ClearBrowserCache)
ON_COMMAND(ID_GAME_FLASHSETTINGS, ShowFlashDisplaySettings)
ON_WM_CLOSE()
ON_MESSAGE(WM_SYSCOMMAND, OnSysCommand)
ON_WM_TIMER()
ON_MESSAGE(WM_KELVO_NOTIFYICON, OnNotifyIcon)
ON_MESSAGE(WM_SHOWWINDOW, OnShowWindow)
ON_REGISTERED_MESSAGE(L"TaskbarCreated", OnTaskbarCreated)
ON_WM_DESTROY()
// The movie (GameBridge.cpp).
ON_MESSAGE(WM_KELVO_RELOADMOVIE, OnReloadMovie)
END_MESSAGE_MAP()

tarvinGame::tarvinGame(CWnd* pParent) : CDialog(IDD, pParent) {
    m_hIcon = AfxLoadIcon(IDI_KELVO);
}

void tarvinGame::SetCaptionTitle(std::wstring title) {
    m_caption.SetTitle(std::move(title));
}

int tarvinGame::OnCreate(LPCREATESTRUCTW) {
    if (Default() == -1)
        return -1;
    SetWindowTextW(L"Kelvo");
    return 0;
}

BOOL tarvinGame::OnInitDialog() {
    CDialog::OnInitDialog();
    SetIcons(m_hIcon);
    m_caption.Open(m_hWnd);
    PaintFrame();
    return TRUE;
}

void tarvinGame::OnPaint() {
    // The window has no non-client area: its client area is the whole window, and the paint's own
    // device context draws the frame where it is invalid. Nothing else paints here (the background
    // is never erased), so no default processing has to run first.
    PaintDc dc(m_hWnd);
    if (dc.get())
        m_caption.Paint(m_bMaximized, GameCaption::Part::Whole, dc.get());
}

LRESULT tarvinGame::OnNcActivate(WPARAM wParam, LPARAM) {
    // The frame looks the same active and inactive, and the window has no non-client area of its
    // own: an activation change needs no drawing. -1 keeps default processing from repainting the
    // non-client area, so nothing is drawn over the frame that would have to be drawn again. A
    // minimised window gets the default.
    if (IsIconic())
        return Default();
    return DefWindowProc(WM_NCACTIVATE, wParam, static_cast<LPARAM>(-1));
}

void tarvinGame::PaintFrame() {
    if (m_hWnd)
        m_caption.Paint(m_bMaximized);
}

void tarvinGame::PaintCaptionButtons() {
    if (m_hWnd)
        m_caption.Paint(m_bMaximized, GameCaption::Part::Buttons);
}

LRESULT tarvinGame::OnNcHitTest(POINT point) {
    return m_caption.HitTest(point, Default());
}

void tarvinGame::OnNcMouseMove(UINT, POINT point) {
    bool repaint = false;
    if (m_caption.Pressed()) {
        const CaptionAction action = m_caption.Click();
        RunCaptionAction(action);
        // The close confirmation may have ended the window; nothing is hot in a window that is gone.
        if (!m_hWnd) {
            m_caption.ForgetHotButton();
            return;
        }
        repaint = action != CaptionAction::None;
    } else {
        repaint = m_caption.Hover(point);
    }
    m_caption.Settle();
    if (repaint)
        PaintCaptionButtons();
    Default();
}

void tarvinGame::OnNcLButtonDown(UINT, POINT point) {
    if (m_caption.Press(point))
        PaintCaptionButtons();
    // Default processing starts the caption drag or the edge sizing, on a button too.
    Default();
}

void tarvinGame::OnNcLButtonDblClk(UINT, POINT) {
    ToggleMaximized();
}

void tarvinGame::RunCaptionAction(CaptionAction action) {
    switch (action) {
    case CaptionAction::Close:
        ConfirmCloseGame();
        break;
    case CaptionAction::HideToTray:
        HideToNotificationArea();
        break;
    case CaptionAction::Minimise:
        ShowWindow(SW_MINIMIZE);
        break;
    case CaptionAction::ToggleMaximise:
        ToggleMaximized();
        break;
    case CaptionAction::ShowMenu:
        ShowGameMenu();
        break;
    case CaptionAction::None:
        break;
    }
}

void tarvinGame::ResetCaptionButtons() {
    if (m_caption.Reset())
        PaintCaptionButtons();
}

BOOL tarvinGame::OnSetCursor(HWND, UINT, UINT) {
    if (m_caption.WantsHandCursor()) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
    }
    return static_cast<BOOL>(Default());
}

void tarvinGame::OnGetMinMaxInfo(MINMAXINFO* lpMMI) {
    lpMMI->ptMinTrackSize.x = kGameMinTrackWidth;
    lpMMI->ptMinTrackSize.y = kGameMinTrackHeight;
    Default();
}

void tarvinGame::ApplyMaximizedRule() {
    m_bMaximized = GameStaysMaximized(m_bMaximized, ToGameRect(WindowRect(m_hWnd)), m_caption.HotCode(),
                                      IsIconic() != FALSE);
}

void tarvinGame::OnMove(int, int) {
    Default();
    ApplyMaximizedRule();
}

void tarvinGame::OnSize(UINT, int, int) {
    Default();
    ApplyMaximizedRule();
    LayoutGameControl();
    // The dialog class does not redraw on resizing, and a smaller window gets no paint at all, so
    // the right border, the bottom and the caption buttons would stay where the old size had them.
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

BOOL tarvinGame::OnEraseBkgnd(HDC) {
    return FALSE;
}

void tarvinGame::ToggleMaximized() {
    if (!m_hWnd)
        return;
    if (m_bMaximized) {
        ShowWindow(SW_RESTORE);
        ::MoveWindow(m_hWnd, m_rcRestore.left, m_rcRestore.top, m_rcRestore.right - m_rcRestore.left,
                     m_rcRestore.bottom - m_rcRestore.top, TRUE);
        m_bMaximized = false;
    } else {
        ShowWindow(SW_RESTORE);
        m_rcRestore = WindowRect(m_hWnd);
        const RECT work = WorkArea();
        ::MoveWindow(m_hWnd, work.left, work.top, work.right - work.left, work.bottom - work.top, TRUE);
        m_bMaximized = true;
    }
    PaintCaptionButtons();
    // The game control (m_pFlashCtrl's window) has the keys after the change.
    if (HWND control = GetDlgItem(kGameControlId))
        ::SetFocus(control);
}

void tarvinGame::OpenMaximized() {
    m_bMaximized = false;
    ToggleMaximized();
    const RECT work = WorkArea();
    const GameRect restore = GameDefaultRestoreRect(work.right - work.left, work.bottom - work.top);
    m_rcRestore = {restore.left, restore.top, restore.right, restore.bottom};
}

std::optional<GameRect> tarvinGame::GameControlPlace() const noexcept {
    if (!m_hWnd)
        return std::nullopt;
    const RECT window = WindowRect(m_hWnd);
    const RECT work = WorkArea();
    return GameControlRect(window.right - window.left, window.bottom - window.top, work.right - work.left,
                           work.bottom - work.top);
}

void tarvinGame::LayoutGameControl() {
    HWND control = m_hWnd ? GetDlgItem(kGameControlId) : nullptr;
    // The notice that stands in for a control that could not be created fills the same place.
    HWND notice = m_hWnd ? m_flash.NoticeWindow() : nullptr;
    if (!control && !notice)
        return;
    const auto place = GameControlPlace();
    if (!place)
        return;
    for (HWND child : {control, notice}) {
        if (child)
            ::MoveWindow(child, place->left, place->top, place->Width(), place->Height(), TRUE);
    }
}

} // namespace kelvo
