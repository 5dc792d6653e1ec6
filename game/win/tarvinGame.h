// The game window: a resizable window with a self-drawn frame (caption, five caption buttons and a
// thin border, all painted from bitmap resources) that hosts the game control inside the frame.
// The window has no system frame; the hit-test answers make the caption a drag area and the left,
// right and bottom edges sizing zones.
#pragma once

#include "res/resource.h"
#include "flash/win/FlashHost.h"
#include "framework/CDialog.h"
#include "framework/Handles.h"
#include "game/core/GameFrame.h"
#include "game/win/GameCaption.h"
#include "game/win/GameOwner.h"
#include "game/win/TrayIcon.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace kelvo {

class tarvinGame : public CDialog {
public:
    enum { IDD = IDD_GAME };

    explicit tarvinGame(CWnd* pParent = nullptr);

    // The window that re-enters the game and takes the player back when it is left; none for a
    // game window on its own.
    void SetGameOwner(GameOwner* owner) noexcept { m_pGameOwner = owner; }
    // The server's name shown in the caption.
    void SetCaptionTitle(std::wstring title);

    // Placement on a game entry: fill the work area, with a centred default as the restore place.
    void OpenMaximized();
    // Maximise to the work area, or restore to m_rcRestore.
    void ToggleMaximized();
    // Fits the game control (child 1001) inside the frame; nothing when there is none.
    void LayoutGameControl();
    // Puts lit caption buttons back to normal, for when the mouse leaves the caption downwards.
    void ResetCaptionButtons();
    void PaintFrame();
    void PaintCaptionButtons();

    // Enter and Escape go to the game control, never to the dialog keyboard handling; F5
    // refreshes; right-button presses on the control are dropped.
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // The commands behind the menu, notification-area and close caption buttons.
    void ShowGameMenu();
    void HideToNotificationArea();
    void ConfirmCloseGame();
    // Has the owner enter the game again; the portal answers with a new game-entry address and the
    // hand-off reloads the movie.
    void RefreshGame();
    // Refresh, F5 and the reload timer can enter the game again: the owner holds a re-entry
    // address (an entry carried a server id).
    bool CanRefresh() const;
    void ClearBrowserCache();
    void ShowFlashDisplaySettings();

    // ---- Flash host (GameBridge.cpp) ----
    // Replaces the Flash control by a new one running the loader movie named by the query.
    void LoadGameMovie(const std::wstring& query);
    // Event handlers of control 1001: OnReadyStateChange (-609) and FlashCall (197).
    void OnFlashReadyStateChange(long state);
    // The movie's calls; nothing thrown leaves it for the control.
    void HandleFlashCall(const std::wstring& request) noexcept;
    // Message 1549, from any sender: the movie again from the stored query.
    LRESULT OnReloadMovie(WPARAM wParam, LPARAM lParam);
    // Where the game control goes inside the frame at the window's current size; nothing while the
    // window is too small for it (minimised, say).
    std::optional<GameRect> GameControlPlace() const noexcept;

    // The movie's leave question (the bridge's "tips"); each new movie starts from the default.
    void SetLeaveGamePrompt(std::wstring prompt) { m_strLeaveGamePrompt = std::move(prompt); }
    static const wchar_t* const kDefaultLeaveGamePrompt;

protected:
    BOOL OnInitDialog() override;
    // Only the leave question ends the game window. OK and Cancel, from the dialog keyboard
    // handling (Execute, Escape) or posted by anything, would hide it with the login side hidden.
    void OnOK() override {}
    void OnCancel() override {}

    int OnCreate(LPCREATESTRUCTW lpCreateStruct);
    LRESULT OnNcHitTest(POINT point);
    void OnNcMouseMove(UINT hitTest, POINT point);
    void OnNcLButtonDown(UINT hitTest, POINT point);
    void OnNcLButtonDblClk(UINT hitTest, POINT point);
    BOOL OnSetCursor(HWND hwnd, UINT hitTest, UINT message);
    void OnGetMinMaxInfo(MINMAXINFO* lpMMI);
    void OnMove(int x, int y);
    void OnSize(UINT type, int cx, int cy);
    BOOL OnEraseBkgnd(HDC hdc);
    void OnPaint();
    LRESULT OnNcActivate(WPARAM wParam, LPARAM lParam);
    void OnClose();
    LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam);
    void OnTimer(UINT_PTR id);
    LRESULT OnNotifyIcon(WPARAM wParam, LPARAM lParam);
    LRESULT OnShowWindow(WPARAM wParam, LPARAM lParam);
    LRESULT OnTaskbarCreated(WPARAM wParam, LPARAM lParam);
    void OnDestroy();

    DECLARE_MESSAGE_MAP()
    DECLARE_EVENTSINK_MAP()

private:
    friend struct GameProbe; // the window's state, for the tests

    void RunCaptionAction(CaptionAction action);
    void ApplyMaximizedRule();

    // Placement.
    bool m_bMaximized = false;
    RECT m_rcRestore{};
    // The self-drawn frame: pictures, title, caption buttons, hit-test.
    GameCaption m_caption;
    // The control, its loads and the query they came from.
    FlashHost m_flash;
    std::wstring m_strLeaveGamePrompt;
    // Notification-area icon.
    TrayIcon m_tray;

    HICON m_hIcon = nullptr;
    GameOwner* m_pGameOwner = nullptr;
};

// Private messages and commands of the game window.
constexpr UINT WM_KELVO_RELOADMOVIE = kMsgReloadMovie;
constexpr UINT_PTR kGameReloadTimer = 1;

} // namespace kelvo
