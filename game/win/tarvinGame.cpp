#include "game/win/tarvinGame.h"

#include "framework/CWinApp.h"

namespace {

// One frame picture, loaded from the resources for one paint.
struct LoadedBitmap {
    UniqueBitmap bitmap;
    GameImageSize size;
};

LoadedBitmap LoadFrameBitmap(int id) {
    LoadedBitmap loaded;
    loaded.bitmap.reset(::LoadBitmapW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id)));
    BITMAP info{};
    if (loaded.bitmap && ::GetObjectW(loaded.bitmap.get(), sizeof(info), &info))
        loaded.size = {info.bmWidth, info.bmHeight};
    return loaded;
}

// Copies a whole picture, stretched, onto the destination rectangle.
void DrawStretched(HDC target, HDC memory, const LoadedBitmap& image, const GameRect& dest) {
    if (!image.bitmap || image.size.width <= 0 || image.size.height <= 0)
        return;
    SelectedObject selected(memory, image.bitmap.get());
    ::StretchBlt(target, dest.left, dest.top, dest.Width(), dest.Height(), memory, 0, 0, image.size.width,
                 image.size.height, SRCCOPY);
}

RECT WorkArea() {
    RECT work{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

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
// Commands, notification icon and leaving the game (GameCommands.cpp).
ON_COMMAND(ID_GAME_REFRESH, RefreshGame)
ON_COMMAND(ID_GAME_CLEARCACHE, ClearBrowserCache)
ON_COMMAND(ID_GAME_FLASHSETTINGS, ShowFlashDisplaySettings)
ON_WM_CLOSE()
ON_MESSAGE(WM_SYSCOMMAND, OnSysCommand)
ON_WM_TIMER()
ON_MESSAGE(WM_KELVO_NOTIFYICON, OnNotifyIcon)
ON_WM_DESTROY()
// The movie (GameBridge.cpp).
ON_MESSAGE(WM_KELVO_RELOADMOVIE, OnReloadMovie)
END_MESSAGE_MAP()

tarvinGame::tarvinGame(CWnd* pParent) : CDialog(IDD, pParent) {
    m_hIcon = AfxLoadIcon(IDI_KELVO);
}

void tarvinGame::SetCaptionTitle(std::wstring title) {
    m_strCaptionTitle = std::move(title);
}

int tarvinGame::OnCreate(LPCREATESTRUCTW) {
    if (Default() == -1)
        return -1;
    SetWindowTextW(L"Kelvo");
    return 0;
}

BOOL tarvinGame::OnInitDialog() {
    CDialog::OnInitDialog();
    // The object outlives its windows: a window closed from its caption keeps the close button hot
    // and pressed in the object, which must not carry over into the next game window.
    m_nButtonState = {};
    m_bPressed = false;
    m_nHotCode = 0;
    SetIcons(m_hIcon);
    m_nBorderWidth = kGameBorderWidth;
    m_nCaptionHeight = kGameCaptionHeight;
    // "SimSun" by its Chinese name, which is how the face is registered on Chinese systems.
    m_fontTitle.reset(::CreateFontW(12, 7, 0, 0, 600, FALSE, FALSE, FALSE, 0, OUT_DEFAULT_PRECIS,
                                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, 0x10, L"\u5B8B\u4F53"));
    PaintFrame();
    return TRUE;
}

LRESULT tarvinGame::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = CDialog::DefWindowProc(message, wParam, lParam);
    // Default painting of the client area and of the (empty) non-client area may draw over the
    // frame, the activation change in particular, so the frame goes back on top of it.
    if ((message == WM_PAINT || message == WM_NCPAINT || message == WM_NCACTIVATE) && m_hWnd &&
        ::IsWindow(m_hWnd))
        PaintFrame();
    return result;
}

void tarvinGame::PaintFrame() {
    if (!m_hWnd)
        return;
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    const RECT work = WorkArea();

    WindowDc dc(m_hWnd, WindowDc::Area::Whole);
    UniqueMemoryDc memory(dc ? ::CreateCompatibleDC(dc.get()) : nullptr);
    if (!dc || !memory)
        return;

    // Every picture is loaded for this paint only; the measured sizes drive the layout.
    struct Slot {
        int id;
        GameImageSize* size;
    };
    GameFrameImageSizes sizes;
    const Slot slots[] = {
        {kImgCaptionRight, &sizes.captionRight}, {kImgBorderLeft, &sizes.borderLeft},
        {kImgCaptionLeft, &sizes.captionLeft},   {kImgCaptionMiddle, nullptr},
        {kImgBorderRight, &sizes.borderRight},   {kImgCornerBottomLeft, &sizes.cornerBottomLeft},
        {kImgBorderBottom, &sizes.borderBottom}, {kImgCornerBottomRight, &sizes.cornerBottomRight},
    };
    std::array<LoadedBitmap, std::size(slots)> images;
    for (std::size_t i = 0; i < std::size(slots); ++i) {
        images[i] = LoadFrameBitmap(slots[i].id);
        if (slots[i].size && images[i].size.width > 0)
            *slots[i].size = images[i].size;
    }

    const auto pieces = LayoutGameFrame(window.right - window.left, window.bottom - window.top,
                                        work.right - work.left, work.bottom - work.top, sizes);
    for (const GameFramePiece& piece : pieces) {
        for (std::size_t i = 0; i < std::size(slots); ++i) {
            if (slots[i].id == piece.imageId)
                DrawStretched(dc.get(), memory.get(), images[i], piece.dest);
        }
    }

    if (!m_strCaptionTitle.empty()) {
        ::SetBkMode(dc.get(), TRANSPARENT);
        ::SetTextColor(dc.get(), m_clrTitle);
        ::SetTextAlign(dc.get(), TA_CENTER | TA_TOP);
        SelectedObject font(dc.get(), m_fontTitle.get());
        ::TextOutW(dc.get(), kGameTitleCentreX, m_nCaptionHeight / 3, m_strCaptionTitle.c_str(),
                   static_cast<int>(m_strCaptionTitle.size()));
    }

    PaintCaptionButtons();
}

void tarvinGame::PaintCaptionButtons() {
    if (!m_hWnd)
        return;
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    const CaptionButtonRects rects = LayoutCaptionButtons(window.right - window.left);

    WindowDc dc(m_hWnd, WindowDc::Area::Whole);
    UniqueMemoryDc memory(dc ? ::CreateCompatibleDC(dc.get()) : nullptr);
    for (std::size_t i = 0; i < kCaptionButtonCount; ++i) {
        const GameRect& r = rects[i];
        m_rcButton[i] = {r.left, r.top, r.right, r.bottom};
        if (!dc || !memory)
            continue;
        const LoadedBitmap image = LoadFrameBitmap(CaptionButtonImage(i, m_nButtonState[i], m_bMaximized));
        DrawStretched(dc.get(), memory.get(), image, r);
    }
}

CaptionButtonRects tarvinGame::ButtonRects() const noexcept {
    // The places a paint at the current width stores in m_rcButton; taken from the layout so that
    // tracking is right even before the first paint after a resize.
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    return LayoutCaptionButtons(window.right - window.left);
}

POINT tarvinGame::ToWindow(POINT screen) const noexcept {
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    return {screen.x - window.left, screen.y - window.top};
}

LRESULT tarvinGame::OnNcHitTest(POINT point) {
    const LRESULT defaultCode = Default();
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    const GameHitResult hit =
        GameHitTest(point.x, point.y, ToGameRect(window), static_cast<int>(defaultCode));
    if (hit.clearHot)
        m_nHotCode = 0;
    return hit.code;
}

void tarvinGame::OnNcMouseMove(UINT, POINT point) {
    const POINT at = ToWindow(point);
    bool repaint = false;
    if (m_bPressed) {
        const CaptionAction action = CaptionButtonsClick(m_nButtonState, m_bPressed, m_nHotCode);
        RunCaptionAction(action);
        // The close confirmation may have ended the window; nothing is hot in a window that is gone.
        if (!m_hWnd) {
            m_nHotCode = 0;
            return;
        }
        repaint = action != CaptionAction::None;
    } else {
        repaint = CaptionButtonsHover(m_nButtonState, m_nHotCode, ButtonRects(), at.x, at.y);
    }
    CaptionButtonsSettle(m_nButtonState, m_nHotCode);
    if (repaint)
        PaintCaptionButtons();
    Default();
}

void tarvinGame::OnNcLButtonDown(UINT, POINT point) {
    const POINT at = ToWindow(point);
    if (CaptionButtonsPress(m_nButtonState, m_bPressed, ButtonRects(), at.x, at.y))
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
    if (CaptionButtonsReset(m_nButtonState, m_bPressed, m_nHotCode))
        PaintCaptionButtons();
}

BOOL tarvinGame::OnSetCursor(HWND, UINT, UINT) {
    if (m_nHotCode > 0) {
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
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    m_bMaximized = GameStaysMaximized(m_bMaximized, ToGameRect(window), m_nHotCode, IsIconic() != FALSE);
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
        ::GetWindowRect(m_hWnd, &m_rcRestore);
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
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    const RECT work = WorkArea();
    return GameControlRect(window.right - window.left, window.bottom - window.top, work.right - work.left,
                           work.bottom - work.top);
}

void tarvinGame::LayoutGameControl() {
    HWND control = m_hWnd ? GetDlgItem(kGameControlId) : nullptr;
    // The notice that stands in for a control that could not be created fills the same place.
    HWND notice = m_hWnd && m_flash.m_pFlashNotice ? m_flash.m_pFlashNotice->m_hWnd : nullptr;
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
