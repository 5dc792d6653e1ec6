// The login dialog: a colour-keyed popup over the frame's content area that hosts the portal's
// web page, starts the self-update on its first paint and ends the program when it is closed.
#pragma once

#include "res/resource.h"
#include "framework/CDialog.h"
#include "framework/Handles.h"
#include "game/win/tarvinGame.h"
#include "login/win/CExplorer1.h"
#include "login/core/LoginPageRetry.h"
#include "update/win/UpdateProgressWindow.h"

#include <optional>
#include <string>
#include <utility>

namespace kelvo {

class CtarvinDlg : public CDialog, private GameOwner {
public:
    enum { IDD = IDD_LOGIN };

    explicit CtarvinDlg(CWnd* pParent = nullptr);

    BOOL PreTranslateMessage(MSG* pMsg) override;

    // Creates the web view if it has none, starts the placeholder page and shows this dialog and
    // the frame.
    void CreateBrowserView();
    // Puts this dialog back above the frame after the frame has been shown.
    void StackAboveOwner();
    // This dialog and the frame shown again, this dialog above the frame.
    void ShowLoginSide();
    // Handler of the web view's DocumentComplete event.
    void OnDocumentComplete(IDispatch* document, VARIANT* address);

    // The program is ending (the frame's close button): a running download of the update stops, and
    // a game entry held back for the update's decision is dropped.
    void AbandonUpdate();
    // The update is being decided: a game entry that completes meanwhile waits for the decision
    // (built with the progress window, whose download leaves the page alive).
    void BeginUpdateDecision();
    // The update is decided: a held game entry runs, unless an update was installed or the program
    // is ending.
    void EndUpdateDecision(bool installed);

    bool IsFirstPaintPending() const noexcept { return m_bFirstPaint; }
    COLORREF GetKeyColour() const noexcept { return m_clrKey; }

    // The web view, for the game entry's steps and the keys: a page to open, the document of the
    // page it shows (none before the first), and a key handed on to the page.
    void NavigateWebView(const std::wstring& address);
    ComPtr<IDispatch> WebViewDocument() { return m_browser.get_Document(); }
    BOOL PassKeyToWebView(MSG* pMsg) { return m_browser.PreTranslateMessage(pMsg); }

    // The game window, for the game entry's steps: whether one is open, a new one over the work
    // area (false when it cannot be created), shown, and what it shows.
    bool HasGameWindow() const noexcept { return m_game.m_hWnd != nullptr; }
    bool CreateGameWindow();
    void ShowGameWindow() { m_game.ShowWindow(SW_SHOW); }
    void SetGameCaptionTitle(std::wstring title) { m_game.SetCaptionTitle(std::move(title)); }
    void OpenGameMaximized() { m_game.OpenMaximized(); }
    void LoadGameMovie(const std::wstring& query) { m_game.LoadGameMovie(query); }
    // The address a refresh of the game enters again; empty for none.
    void SetReentryUrl(std::wstring address) { m_strReentryUrl = std::move(address); }

protected:
    BOOL OnInitDialog() override;
    // Only a close request ends this dialog (and the program); OK and Cancel, from the dialog
    // keyboard handling or posted by anything, would hide the login page under a shown frame.
    void OnOK() override {}
    void OnCancel() override {}
    void OnPaint();
    HBRUSH OnCtlColor(HDC hdc, HWND control, UINT ctlType);
    void OnLButtonDown(UINT flags, POINT point);
    void OnClose();
    HCURSOR OnQueryDragIcon();
    void OnTimer(UINT_PTR id);
    // The first paint's self-update check; a seam so that tests can see it run.
    virtual void RunUpdateCheck();

    DECLARE_MESSAGE_MAP()
    DECLARE_EVENTSINK_MAP()

private:
    friend struct LoginDialogProbe; // the dialog's windows and state, for the tests

    // The game window's owner: re-entry through the web view, and the login side shown again.
    bool CanReenter() const override { return !m_strReentryUrl.empty(); }
    void Reenter() override;
    void GameLeft() override;

    CExplorer1 m_browser;
    tarvinGame m_game;
    std::wstring m_strReentryUrl;

    HICON m_hIcon = nullptr;
    COLORREF m_clrKey = RGB(255, 255, 254);
    UniqueBrush m_brKey;
    bool m_bFirstPaint = true;
    bool m_bRestacked = false;
    LoginPageRetry m_loginRetry;
    UpdateProgressWindow m_updateProgress;
    bool m_bDecidingUpdate = false;
    bool m_bAbandoned = false;
    std::u16string m_strHeldEntry;
};

// The login dialog's one timer: the delayed request of the login page after a failed one. A window
// timer, so it ends with the dialog's window; its id differs from the game window's reload timer.
constexpr UINT_PTR kLoginPageRetryTimer = 2;

// Enter and Escape, alike in the login dialog and in the frame: Enter goes to the web page (no
// default button sees it); Escape, and Ctrl+Break that the dialog handling reads as Escape, go on
// to the game window when one is open and are dropped otherwise. So none ever ends a modal run.
// The pre-translation result for those keys, nothing for every other message.
std::optional<BOOL> TranslateEnterEscape(MSG* pMsg, CtarvinDlg* pLogin);

} // namespace kelvo
