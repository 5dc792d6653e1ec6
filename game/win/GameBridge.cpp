// The game window's side of the movie's calls: the bridge decides, this file carries it out on the
// window and writes the trace to the debugger output, one call per piece.
#include "flash/core/FlashBridge.h"
#include "framework/CatchLog.h"
#include "framework/Text.h"
#include "game/win/tarvinGame.h"

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
    void SetLeaveGamePrompt(std::u16string prompt) override { m_game.m_strLeaveGamePrompt = ToWide(prompt); }
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

void tarvinGame::HandleFlashCall(const std::wstring& request) noexcept {
    try {
        GameBridgeHost host(*this);
        ::HandleFlashCall(ToU16(request), host);
    } catch (...) {
        KELVO_LOG_CAUGHT();
        // A request too large for the memory left is dropped; the game goes on.
    }
}
