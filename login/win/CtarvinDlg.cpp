#include "login/win/CtarvinDlg.h"

#include "BuildConfig.h"
#include "framework/CWinApp.h"
#include "framework/ScreenRect.h"
#include "framework/Text.h"
#include "login/core/GameEntry.h"
#include "update/win/UpdateCheck.h"

#include <mshtml.h>

#include <utility>

namespace kelvo {

namespace {

constexpr DISPID kDispidDocumentComplete = 259;

// The web view and the edge lines around it, in client pixels.
constexpr RECT kBrowserRect{45, 30, 655, 366};
struct EdgeLine {
    int id;
    int x, y, width, height;
};
constexpr EdgeLine kEdgeLines[] = {
    {IDC_EDGE_LEFT, 45, 30, 2, 336},
    {IDC_EDGE_TOP, 45, 30, 608, 2},
    {IDC_EDGE_RIGHT, 653, 30, 2, 336},
    {IDC_EDGE_BOTTOM, 45, 364, 608, 2},
};

// The hand-off's steps on the login dialog's windows.
class LoginGameEntry final : public GameEntrySteps {
public:
    explicit LoginGameEntry(CtarvinDlg& dlg) noexcept : m_dlg(dlg) {}

    void Navigate(const std::u16string& address) override { m_dlg.NavigateWebView(ToWide(address)); }

    void ScheduleLoginPageRetry(unsigned delayMs) override {
        ::SetTimer(m_dlg.m_hWnd, kLoginPageRetryTimer, delayMs, nullptr);
    }

    void CancelLoginPageRetry() override { ::KillTimer(m_dlg.m_hWnd, kLoginPageRetryTimer); }

    WebViewReset ClearBeforeUnload() override {
        ComPtr<IDispatch> document = m_dlg.WebViewDocument();
        ComPtr<IHTMLDocument2> html;
        if (!document || FAILED(html.QueryFrom(document.Get(), IID_IHTMLDocument2)) || !html)
            return WebViewReset::NoDocument;
        ComPtr<IHTMLElement> body;
        ComPtr<IHTMLBodyElement> bodyElement;
        if (FAILED(html->get_body(body.ReleaseAndGetAddressOf())) || !body ||
            FAILED(bodyElement.QueryFrom(body.Get(), IID_IHTMLBodyElement)) || !bodyElement)
            return WebViewReset::HandlerKept;
        UniqueVariant empty;
        empty.get()->vt = VT_BSTR;
        empty.get()->bstrVal = ::SysAllocString(L"");
        bodyElement->put_onbeforeunload(*empty.get());
        return WebViewReset::HandlerCleared;
    }

    void HideLoginSide() override {
        m_dlg.ShowWindow(SW_HIDE);
        if (HWND owner = m_dlg.GetOwner())
            ::ShowWindow(owner, SW_HIDE);
    }

    void ShowLoginSide() override { m_dlg.ShowLoginSide(); }

    bool HasGameWindow() override { return m_dlg.HasGameWindow(); }

    bool CreateGameWindow() override { return m_dlg.CreateGameWindow(); }

    void ShowGameWindow() override { m_dlg.ShowGameWindow(); }

    void SetReentryAddress(const std::u16string& address) override { m_dlg.SetReentryUrl(ToWide(address)); }

    void SetCaptionTitle(const std::u16string& title) override { m_dlg.SetGameCaptionTitle(ToWide(title)); }

    void OpenMaximized() override { m_dlg.OpenGameMaximized(); }

    void LoadGameMovie(const std::u16string& query) override { m_dlg.LoadGameMovie(ToWide(query)); }

    void Note(const std::u16string& line) override { ::OutputDebugStringW(ToWide(line).c_str()); }

private:
    CtarvinDlg& m_dlg;
};

} // namespace

BEGIN_MESSAGE_MAP(CtarvinDlg, CDialog)
ON_WM_PAINT()
ON_WM_CTLCOLOR()
ON_WM_LBUTTONDOWN()
ON_WM_CLOSE()
ON_WM_QUERYDRAGICON()
ON_WM_TIMER()
END_MESSAGE_MAP()

BEGIN_EVENTSINK_MAP(CtarvinDlg, CDialog)
ON_EVENT_DISPATCH_PVARIANT(IDC_BROWSER, kDispidDocumentComplete, OnDocumentComplete)
END_EVENTSINK_MAP()

CtarvinDlg::CtarvinDlg(CWnd* pParent) : CDialog(IDD, pParent) {
    m_hIcon = AfxLoadIcon(IDI_KELVO);
    m_game.SetGameOwner(this);
}

BOOL CtarvinDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_clrKey = RGB(255, 255, 254);
    SetIcons(m_hIcon);
    ModifyStyleEx(WS_EX_APPWINDOW, WS_EX_TOOLWINDOW);
    m_brKey.reset(::CreateSolidBrush(m_clrKey));

    // Pixels of exactly the key colour are invisible and let the mouse through; all others are
    // opaque. The key colour is one step off white so that white pages still show.
    ModifyStyleEx(0, WS_EX_LAYERED);
    ::SetLayeredWindowAttributes(m_hWnd, m_clrKey, 0, LWA_COLORKEY);

    m_bFirstPaint = true;
    m_strReentryUrl.clear();
    m_loginRetry = LoginPageRetry();

    for (const EdgeLine& line : kEdgeLines) {
        if (HWND control = GetDlgItem(line.id))
            ::SetWindowPos(control, nullptr, line.x, line.y, line.width, line.height,
                           SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
    }
    return TRUE;
}

void CtarvinDlg::OnPaint() {
    if (IsIconic()) {
        PaintDc dc(m_hWnd);
        SendMessageW(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.get()), 0);
        RECT client{};
        ::GetClientRect(m_hWnd, &client);
        const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
        const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
        ::DrawIcon(dc.get(), x, y, m_hIcon);
        return;
    }
    if (m_bFirstPaint) {
        // Cleared first: a paint that arrives while the steps below run must not start them again.
        m_bFirstPaint = false;
        CreateBrowserView();
        RunUpdateCheck();
    }
    Default();
}

void CtarvinDlg::RunUpdateCheck() {
    if (!KELVO_UPDATE_PROGRESS) {
        CheckForUpdate(m_hWnd);
        return;
    }
    BeginUpdateDecision();
    EndUpdateDecision(CheckForUpdate(m_hWnd, &m_updateProgress));
}

void CtarvinDlg::BeginUpdateDecision() {
    m_bDecidingUpdate = true;
    m_strHeldEntry.clear();
}

void CtarvinDlg::EndUpdateDecision(bool installed) {
    m_bDecidingUpdate = false;
    const std::u16string held = std::exchange(m_strHeldEntry, std::u16string());
    // An installed update has asked this dialog to close; the game starts in the new launcher.
    if (held.empty() || installed || m_bAbandoned || !m_hWnd)
        return;
    LoginGameEntry steps(*this);
    HandleCompletedAddress(held, KELVO_PORTAL_HOST, BuiltInTrustedHosts(), m_loginRetry, steps);
}

void CtarvinDlg::AbandonUpdate() {
    m_bAbandoned = true;
    m_strHeldEntry.clear();
    m_updateProgress.Cancel();
}

void CtarvinDlg::CreateBrowserView() {
    if (!m_browser.m_hWnd) {
        m_browser.Create(nullptr, WS_CHILD | WS_VISIBLE, kBrowserRect, this, IDC_BROWSER);
        NavigateWebView(ToWide(PlaceholderAddress(ToU16(AfxGetAppName()))));
    }
    if (!IsWindowVisible())
        ShowWindow(SW_SHOW);
    if (HWND owner = GetOwner())
        ::ShowWindow(owner, SW_SHOW);
    if (IsWindowVisible() && !m_bRestacked) {
        m_bRestacked = true;
        StackAboveOwner();
    }
}

void CtarvinDlg::NavigateWebView(const std::wstring& address) {
    m_browser.Navigate(address.c_str(), nullptr, nullptr, nullptr, nullptr);
}

bool CtarvinDlg::CreateGameWindow() {
    if (!m_game.Create(tarvinGame::IDD, this))
        return false;
    const RECT work = WorkArea();
    ::MoveWindow(m_game.m_hWnd, work.left, work.top, work.right - work.left, work.bottom - work.top, TRUE);
    return true;
}

void CtarvinDlg::StackAboveOwner() {
    // An owned window lies above its owner. Some window systems (Wine without a window manager)
    // put the owner's surface on top of everything when it is shown after this dialog; showing
    // this dialog again afterwards stacks it back where it belongs, and changes nothing elsewhere.
    if (!IsWindowVisible())
        return;
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                   SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::SetWindowPos(m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_SHOWWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void CtarvinDlg::ShowLoginSide() {
    if (!IsWindowVisible())
        ShowWindow(SW_SHOW);
    if (HWND owner = GetOwner())
        ::ShowWindow(owner, SW_SHOW);
    // The activation that follows a game window's destruction may raise the frame over this dialog
    // on window systems that do not keep owned windows above their owners.
    StackAboveOwner();
}

void CtarvinDlg::GameLeft() {
    ShowLoginSide();
    // The game window is destroyed next. Holding the activation here already, its destruction
    // hands the activation to no other window, which could raise the frame over this dialog or
    // bring another program forward.
    ::SetActiveWindow(m_hWnd);
}

void CtarvinDlg::Reenter() {
    // A copy: the navigation's events may store a new address.
    const std::u16string address = ToU16(m_strReentryUrl);
    LoginGameEntry steps(*this);
    HandleReentry(address, m_loginRetry, steps);
}

void CtarvinDlg::OnDocumentComplete(IDispatch*, VARIANT* address) {
    if (!address || address->vt != VT_BSTR || !address->bstrVal)
        return;
    const std::u16string completed =
        ToU16(std::wstring_view(address->bstrVal, ::SysStringLen(address->bstrVal)));
    // The game must not start in a launcher that may be replaced and restarted in a moment; the
    // last entry waits (the login page, and every other page, goes on as usual).
    if (m_bDecidingUpdate && ClassifyCompletedAddress(completed) == CompletedPage::GameEntry) {
        m_strHeldEntry = completed;
        return;
    }
    LoginGameEntry steps(*this);
    HandleCompletedAddress(completed, KELVO_PORTAL_HOST, BuiltInTrustedHosts(), m_loginRetry, steps);
}

void CtarvinDlg::OnTimer(UINT_PTR id) {
    if (id != kLoginPageRetryTimer) {
        Default();
        return;
    }
    // One-shot: each failure schedules the next request anew.
    ::KillTimer(m_hWnd, kLoginPageRetryTimer);
    LoginGameEntry steps(*this);
    HandleLoginPageRetryDue(KELVO_PORTAL_HOST, m_loginRetry, steps);
}

HBRUSH CtarvinDlg::OnCtlColor(HDC hdc, HWND control, UINT ctlType) {
    if (ctlType == CTLCOLOR_DLG)
        return m_brKey.get();
    return CDialog::OnCtlColor(hdc, control, ctlType);
}

void CtarvinDlg::OnLButtonDown(UINT flags, POINT point) {
    // Forwarded in this dialog's own coordinates: the frame reads them as its own.
    if (HWND owner = GetOwner())
        ::SendMessageW(owner, WM_LBUTTONDOWN, flags, MAKELPARAM(point.x, point.y));
    Default();
}

void CtarvinDlg::OnClose() {
    if (HWND owner = GetOwner())
        ::SendMessageW(owner, WM_CLOSE, 0, 0);
    CDialog::OnCancel();
}

HCURSOR CtarvinDlg::OnQueryDragIcon() {
    return m_hIcon;
}

BOOL CtarvinDlg::PreTranslateMessage(MSG* pMsg) {
    if (const std::optional<BOOL> key = TranslateEnterEscape(pMsg, this))
        return *key;
    return CDialog::PreTranslateMessage(pMsg);
}

std::optional<BOOL> TranslateEnterEscape(MSG* pMsg, CtarvinDlg* pLogin) {
    if (pMsg->message != WM_KEYDOWN)
        return std::nullopt;
    if (pMsg->wParam == VK_RETURN)
        return pLogin ? pLogin->PassKeyToWebView(pMsg) : FALSE;
    // Ctrl+Break is Escape to the dialog keyboard handling: neither may end the frame or the login.
    if (pMsg->wParam == VK_ESCAPE || pMsg->wParam == VK_CANCEL)
        return pLogin && pLogin->HasGameWindow() ? FALSE : TRUE;
    return std::nullopt;
}

} // namespace kelvo
