// The game window's link to its owner: it re-enters only through an owner that knows an address,
// and tells the owner that the game was left only after Yes, before its window goes.
#include "game/win/tarvinGame.h"

#include "game_support.h"

#include <gtest/gtest.h>

using namespace kelvo;

namespace {

class RecordingOwner final : public GameOwner {
public:
    explicit RecordingOwner(const tarvinGame& game) : m_game(game) {}

    bool CanReenter() const override { return address; }
    void Reenter() override { ++reentries; }
    void GameLeft() override { windowAtLeave.push_back(m_game.m_hWnd); }

    bool address = false;
    int reentries = 0;
    std::vector<HWND> windowAtLeave;

private:
    const tarvinGame& m_game;
};

TEST(GameOwnerLink, ReentersOnlyWithAnAddressAndHearsOfTheLeaveOnlyAfterYes) {
    tarvinGame game;
    RecordingOwner owner(game);
    game.SetGameOwner(&owner);
    ASSERT_TRUE(game.Create(tarvinGame::IDD));
    for (const bool address : {false, true}) {
        owner.address = address;
        owner.reentries = 0;
        EXPECT_EQ(game.CanRefresh(), address);
        // The menu's refresh, F5, and the movie's reload timer.
        game.SendMessageW(WM_COMMAND, ID_GAME_REFRESH);
        MSG f5{game.m_hWnd, WM_KEYDOWN, VK_F5, 1, 0, {}};
        game.PreTranslateMessage(&f5);
        game.SendMessageW(WM_TIMER, kGameReloadTimer);
        EXPECT_EQ(owner.reentries, address ? 3 : 0) << (address ? "with" : "without") << " an address";
    }
    {
        gametest::BoxAnswerer no(IDNO);
        game.ConfirmCloseGame();
    }
    EXPECT_TRUE(game.m_hWnd);
    EXPECT_TRUE(owner.windowAtLeave.empty());
    {
        gametest::BoxAnswerer yes(IDYES);
        game.ConfirmCloseGame();
    }
    EXPECT_EQ(game.m_hWnd, nullptr);
    // Told while the window still stands: the login side shows before the game window goes.
    ASSERT_EQ(owner.windowAtLeave.size(), 1u);
    EXPECT_NE(owner.windowAtLeave[0], nullptr);
}

TEST(GameOwnerLink, AGameWindowWithoutOwnerNeitherReentersNorFails) {
    tarvinGame game;
    ASSERT_TRUE(game.Create(tarvinGame::IDD));
    EXPECT_FALSE(game.CanRefresh());
    game.RefreshGame();
    gametest::BoxAnswerer yes(IDYES);
    game.ConfirmCloseGame();
    EXPECT_EQ(game.m_hWnd, nullptr);
}

} // namespace
