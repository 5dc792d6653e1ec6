#include "frame/win/bgDialog.h"

#include "BuildConfig.h"
#include "frame/win/OpenLink.h"
#include "framework/CWinApp.h"
#include "framework/PngResource.h"
#include "framework/ScreenRect.h"
#include "framework/Text.h"
#include "login/win/CtarvinDlg.h"

namespace kelvo {

namespace {

// The frame picture's size, also used when the picture itself is missing so that the frame keeps
// its place and the login dialog its offset.
constexpr int kPictureWidth = 1155;
constexpr int kPictureHeight = 625;

FrameHosts BuiltInHosts() {
    return {KELVO_NEWS_HOST, KELVO_PAY_HOST, KELVO_FORUM_HOST, KELVO_PORTAL_HOST};
}

} // namespace

BEGIN_MESSAGE_MAP(bgDialog, CDialog)
ON_WM_CREATE()
ON_WM_CLOSE()
ON_WM_MOVE()
ON_WM_ERASEBKGND()
ON_WM_MOUSEMOVE()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_SETCURSOR()
END_MESSAGE_MAP()

bgDialog::bgDialog(CWnd* pParent) : CDialog(IDD, pParent) {
    m_hIcon = AfxLoadIcon(IDI_KELVO);
}

bgDialog::~bgDialog() {
    // The login dialog is owned by this window; destroy both while the objects still exist.
    if (m_hWnd)
        DestroyWindow();
}

int bgDialog::OnCreate(LPCREATESTRUCTW) {
    if (Default() == -1)
        return -1;
    SetWindowTextW(L"Kelvo");
    m_pLoginDlg = std::make_unique<CtarvinDlg>(this);

    m_blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};

    if (auto picture = LoadPngResource(IDP_FRAME)) {
        m_imgFrame = std::move(*picture);
        m_nWidth = m_imgFrame.width;
        m_nHeight = m_imgFrame.height;
    } else {
        m_nWidth = kPictureWidth;
        m_nHeight = kPictureHeight;
    }
    LoadButtons();

    const RECT work = WorkArea();
    const FramePoint origin =
        CentreInWorkArea({work.left, work.top, work.right, work.bottom}, m_nWidth, m_nHeight);
    ::SetWindowPos(m_hWnd, nullptr, origin.x, origin.y, m_nWidth, m_nHeight, SWP_NOZORDER | SWP_NOACTIVATE);

    ModifyStyle(WS_CAPTION, WS_POPUP);

    if (m_pLoginDlg->Create(CtarvinDlg::IDD, this)) {
        // The frame has not moved since the dialog was created, so no WM_MOVE would place it.
        PlaceLoginDialog(origin.x, origin.y);
        m_pLoginDlg->ShowWindow(SW_SHOW);
    }
    return 0;
}

void bgDialog::OnClose() {
    // Closing the frame during the update's download is Cancel, then the end of the program.
    if (m_pLoginDlg)
        m_pLoginDlg->AbandonUpdate();
    CDialog::OnCancel();
}

void bgDialog::LoadButtons() {
    std::array<std::pair<int, int>, kFrameButtonCount> sizes{};
    for (std::size_t i = 0; i < kFrameButtonCount; ++i) {
        const FrameButtonLayout& layout = kFrameButtonLayouts[i];
        ButtonImages& images = m_buttonImages[i];
        images.normal = LoadPngResource(static_cast<UINT>(layout.normalId));
        images.hover = LoadPngResource(static_cast<UINT>(layout.hoverId));
        images.pressed = LoadPngResource(static_cast<UINT>(layout.pressedId));
        if (images.normal)
            sizes[i] = {images.normal->width, images.normal->height};
    }
    m_buttons = MakeFrameButtons(sizes);
}

BOOL bgDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    SetIcons(m_hIcon);
    ModifyStyle(0, WS_MINIMIZEBOX | WS_SYSMENU);
    ComposeFrame();
    return TRUE;
}

bool bgDialog::EnsureSurface() {
    if (m_pSurfaceBits)
        return true;
    WindowDc screen(m_hWnd);
    UniqueMemoryDc memory(::CreateCompatibleDC(screen.get()));
    void* bits = nullptr;
    UniqueBitmap surface = CreatePixelSection(screen.get(), m_nWidth, m_nHeight, &bits);
    if (!memory || !surface || !bits)
        return false;
    m_surface = std::move(surface);
    m_surfaceDc = std::move(memory);
    m_surfaceSelection.emplace(m_surfaceDc.get(), m_surface.get());
    m_pSurfaceBits = static_cast<std::uint32_t*>(bits);
    return true;
}

std::array<ButtonPictures, kFrameButtonCount> bgDialog::ButtonPictureSet() const noexcept {
    std::array<ButtonPictures, kFrameButtonCount> pictures{};
    for (std::size_t i = 0; i < kFrameButtonCount; ++i) {
        const ButtonImages& images = m_buttonImages[i];
        pictures[i] = {images.normal ? &*images.normal : nullptr, images.hover ? &*images.hover : nullptr,
                       images.pressed ? &*images.pressed : nullptr};
    }
    return pictures;
}

BOOL bgDialog::ComposeFrame() {
    if (!m_hWnd || m_nWidth <= 0 || m_nHeight <= 0 || !EnsureSurface())
        return FALSE;
    ComposeFramePixels(m_pSurfaceBits, m_nWidth, m_nHeight, m_imgFrame, m_buttons, ButtonPictureSet());
    return ShowSurface();
}

BOOL bgDialog::RefreshFrame() {
    if (!m_bShown)
        return ComposeFrame();
    const PixelRect changed = ChangedButtonsRegion(m_shownButtons, m_buttons, m_nWidth, m_nHeight);
    if (changed.Width() <= 0) {
        // Nothing drawn changed; hand the image over again only if the frame is not where it was.
        RECT window{};
        ::GetWindowRect(m_hWnd, &window);
        if (window.left == m_ptShown.x && window.top == m_ptShown.y)
            return TRUE;
    }
    ComposeFrameRegion(m_pSurfaceBits, m_nWidth, m_nHeight, m_imgFrame, m_buttons, ButtonPictureSet(),
                       changed);
    return ShowSurface();
}

// Hands the surface to the window system at the frame's current place, with constant alpha 254.
BOOL bgDialog::ShowSurface() {
    ::GdiFlush();
    m_blend.SourceConstantAlpha = 254;
    RECT window{};
    ::GetWindowRect(m_hWnd, &window);
    POINT destination{window.left, window.top};

    if (!(GetExStyle() & WS_EX_LAYERED))
        ModifyStyleEx(0, WS_EX_LAYERED);

    // Linked directly: User32 has it on every supported Windows, so there is no library to look
    // for by name, nor a missing one to fail on.
    WindowDc screen(m_hWnd);
    SIZE size{m_nWidth, m_nHeight};
    POINT source{0, 0};
    const BOOL shown = ::UpdateLayeredWindow(m_hWnd, screen.get(), &destination, &size, m_surfaceDc.get(),
                                             &source, 0, &m_blend, ULW_ALPHA);
    // The surface holds the new states either way; only a failed hand-over is tried again whole.
    m_shownButtons = m_buttons;
    m_ptShown = destination;
    m_bShown = shown != FALSE;
    return shown;
}

void bgDialog::PlaceLoginDialog(int x, int y) const noexcept {
    if (!m_pLoginDlg || !m_pLoginDlg->m_hWnd)
        return;
    const FramePoint at = LoginDialogOrigin({x, y});
    ::SetWindowPos(m_pLoginDlg->m_hWnd, nullptr, at.x, at.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void bgDialog::OnMove(int x, int y) {
    Default();
    PlaceLoginDialog(x, y);
}

BOOL bgDialog::OnEraseBkgnd(HDC) {
    return TRUE;
}

void bgDialog::OnMouseMove(UINT, POINT point) {
    FrameButtonsMouseMove(m_buttons, point.x, point.y);
    RefreshFrame();
    Default();
}

void bgDialog::OnLButtonDown(UINT, POINT point) {
    if (FrameButtonsPress(m_buttons, point.x, point.y) >= 0) {
        RefreshFrame();
        Default();
        return;
    }
    // A press on the picture outside the buttons moves the frame as if its caption were grabbed,
    // the whole window following the mouse. The move returns when it ends; the player's own
    // setting is then put back, as it is shared by every window of the session.
    BOOL fullDrag = TRUE;
    ::SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &fullDrag, 0);
    if (!fullDrag)
        ::SystemParametersInfoW(SPI_SETDRAGFULLWINDOWS, TRUE, nullptr, 0);
    SendMessageW(WM_SYSCOMMAND, SC_MOVE | HTCAPTION, 0);
    if (!fullDrag)
        ::SystemParametersInfoW(SPI_SETDRAGFULLWINDOWS, FALSE, nullptr, 0);
    Default();
}

void bgDialog::OnLButtonUp(UINT, POINT point) {
    const int hit = FrameButtonsRelease(m_buttons, point.x, point.y);
    if (hit < 0) {
        Default();
        return;
    }
    const FrameAction action = kFrameButtonLayouts[static_cast<std::size_t>(hit)].action;
    if (action == FrameAction::Close) {
        PostMessageW(WM_CLOSE);
        return;
    }
    RefreshFrame();
    RunButtonAction(action);
    Default();
}

void bgDialog::RunButtonAction(FrameAction action) {
    if (action == FrameAction::Minimise) {
        SendMessageW(WM_SYSCOMMAND, SC_MINIMIZE, 0);
        return;
    }
    const std::u16string address = FrameLinkAddress(action, BuiltInHosts());
    if (!address.empty())
        OpenLink(ToWide(address));
}

BOOL bgDialog::OnSetCursor(HWND, UINT, UINT) {
    if (FrameButtonsWantHand(m_buttons)) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
    }
    return static_cast<BOOL>(Default());
}

BOOL bgDialog::PreTranslateMessage(MSG* pMsg) {
    if (const std::optional<BOOL> key = TranslateEnterEscape(pMsg, m_pLoginDlg.get()))
        return *key;
    return CDialog::PreTranslateMessage(pMsg);
}

} // namespace kelvo
