// The game window's side of the movie: its loads and reloads through the Flash host, the control's
// events, and the movie's calls, which the bridge decides and this file carries out on the window,
// writing the trace to the debugger output, one call per piece.
#include "flash/core/FlashBridge.h"
#include "framework/CatchLog.h"
#include "framework/Text.h"
#include "game/win/tarvinGame.h"

namespace kelvo {

namespace {

constexpr UINT kReloadDelayMs = 200;

class GameBridgeHost final : public FlashBridgeHost {
public:
    explicit GameBridgeHost(tarvinGame& game) : m_game(game) {}

    void DebugOutput(std::u16string_view piece) override {
        const std::wstring text = ToWide(piece);
        ::OutputDebugStringW(text.c_str());
    }
    // Setting the timer again while it is pending restarts its period, so calls in quick
    // succession give one reload, 200 ms after the last.
    void StartReloadTimer() override {
        if (WindowLives())
            ::SetTimer(m_game.m_hWnd, kGameReloadTimer, kReloadDelayMs, nullptr);
    }
    void SetLeaveGamePrompt(std::u16string prompt) override { m_game.SetLeaveGamePrompt(ToWide(prompt)); }
    void ToggleMaximized() override {
        if (WindowLives())
            m_game.ToggleMaximized();
    }
    void ConfirmCloseGame() override {
        if (WindowLives())
            m_game.ConfirmCloseGame();
    }

private:
    // A call answered Yes to the leave question destroys the window; later elements of the same
    // request find none and act on nothing.
    bool WindowLives() const { return m_game.m_hWnd && ::IsWindow(m_game.m_hWnd); }

    tarvinGame& m_game;
};

} // namespace

// "Note: do you really want to leave the game?" with ASCII ':' and '?'.
const wchar_t* const tarvinGame::kDefaultLeaveGamePrompt =
    L"\u63D0\u793A:\u60A8\u786E\u5B9A\u8981\u79BB\u5F00\u5F53\u524D\u6E38\u620F\u5417?";

// The control's parent receives its events.
BEGIN_EVENTSINK_MAP(tarvinGame, CDialog)
ON_EVENT_LONG(kGameControlId, kDispidFlashReadyStateChange, OnFlashReadyStateChange)
ON_EVENT_WSTRING(kGameControlId, kDispidFlashCall, HandleFlashCall)
END_EVENTSINK_MAP()

void tarvinGame::LoadGameMovie(const std::wstring& query) {
    // Stopping the old movie may let one of its events load another, which then stands.
    if (!m_flash.RemoveControl(FlashHost::Removal::Stop))
        return;
    // The new movie starts from the default question, whatever the old one set.
    m_strLeaveGamePrompt = kDefaultLeaveGamePrompt;
    // A window too small for the control (minimised) gives it an empty place at the frame's inner
    // corner; the layout fits it once the window has its size again.
    const GameRect place = GameControlPlace().value_or(
        GameRect{kGameBorderWidth, kGameCaptionHeight, kGameBorderWidth, kGameCaptionHeight});
    m_flash.Load(*this, query, RECT{place.left, place.top, place.right, place.bottom}, CanRefresh());
}

void tarvinGame::OnFlashReadyStateChange(long) {
    if (m_flash.ReadyStateChanged())
        LayoutGameControl();
}

LRESULT tarvinGame::OnReloadMovie(WPARAM, LPARAM) {
    // The whole stored query: m_szGameQuery holds its first 1499 units, and nothing of a longer
    // query may be lost from a reload.
    LoadGameMovie(m_flash.GameQuery());
    return 0;
}

void tarvinGame::HandleFlashCall(const std::wstring& request) noexcept {
    try {
        GameBridgeHost host(*this);
        kelvo::HandleFlashCall(ToU16(request), host);
    } catch (...) {
        KELVO_LOG_CAUGHT();
        // A request too large for the memory left is dropped; the game goes on.
    }
}

} // namespace kelvo
