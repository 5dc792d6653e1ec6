// The frame window under Wine: its size and place, layered composition, the login dialog's
// offset through moves, the keys and commands that must not end its modal run, and the buttons'
// response to real mouse messages.
#include "frame/win/bgDialog.h"
#include "framework/PngResource.h"
#include "game/win/tarvinGame.h"
#include "login/win/CtarvinDlg.h"

#include "probes/LoginDialogProbe.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <vector>

using namespace kelvo;

namespace {

constexpr UINT WM_TEST_STEP = WM_APP + 10;

LPARAM Point(int x, int y) {
    return MAKELPARAM(x, y);
}

class FrameFixture : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(frame.Create(bgDialog::IDD)); }
    bgDialog frame;
};

TEST_F(FrameFixture, TakesThePictureSizeCentredInTheWorkArea) {
    const RECT work = WorkArea();
    const RECT r = WindowRect(frame.m_hWnd);
    EXPECT_EQ(r.right - r.left, 1155);
    EXPECT_EQ(r.bottom - r.top, 625);
    EXPECT_EQ(r.left, work.left + (work.right - work.left - 1155) / 2);
    EXPECT_EQ(r.top, work.top + (work.bottom - work.top - 625) / 2);

    wchar_t title[32] = {};
    ::GetWindowTextW(frame.m_hWnd, title, 32);
    EXPECT_STREQ(title, L"Kelvo");
    EXPECT_FALSE(frame.GetStyle() & WS_CAPTION);
    EXPECT_TRUE(frame.GetStyle() & WS_POPUP);
    EXPECT_TRUE(frame.GetStyle() & WS_MINIMIZEBOX);
    EXPECT_TRUE(frame.GetStyle() & WS_SYSMENU);
}

TEST_F(FrameFixture, ComposesAsALayeredWindowWithConstantAlpha254) {
    EXPECT_TRUE(frame.GetExStyle() & WS_EX_LAYERED);
    EXPECT_EQ(frame.GetConstantAlpha(), 254);
    EXPECT_TRUE(frame.ComposeFrame());
    EXPECT_EQ(frame.GetConstantAlpha(), 254);
    EXPECT_EQ(frame.GetFrameWidth(), 1155);
    EXPECT_EQ(frame.GetFrameHeight(), 625);
}

TEST_F(FrameFixture, LoginDialogFollowsEveryMoveAtItsOffset) {
    CtarvinDlg* login = frame.GetLoginDialog();
    ASSERT_NE(login, nullptr);
    ASSERT_NE(login->m_hWnd, nullptr);
    EXPECT_EQ(login->GetOwner(), frame.m_hWnd);
    EXPECT_TRUE(login->IsWindowVisible());

    auto expectOffset = [&] {
        const RECT f = WindowRect(frame.m_hWnd);
        const RECT l = WindowRect(login->m_hWnd);
        EXPECT_EQ(l.left - f.left, 362);
        EXPECT_EQ(l.top - f.top, 154);
    };
    expectOffset();
    const POINT places[] = {{0, 0}, {100, 37}, {-200, -50}, {1500, 900}, {382, 227}};
    for (const POINT& p : places) {
        ::SetWindowPos(frame.m_hWnd, nullptr, p.x, p.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        expectOffset();
    }
    // A composition puts the picture where the frame is; it must not lose the offset either.
    frame.ComposeFrame();
    expectOffset();
}

// The frame with its move loop replaced by a look at the drag setting the move would run with.
class MoveWatchingFrame : public bgDialog {
public:
    std::vector<BOOL> fullDragDuringMoves;

protected:
    LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam) {
        if ((wParam & 0xFFF0) != SC_MOVE)
            return Default();
        BOOL full = -1;
        ::SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &full, 0);
        fullDragDuringMoves.push_back(full);
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(MoveWatchingFrame, bgDialog)
ON_MESSAGE(WM_SYSCOMMAND, OnSysCommand)
END_MESSAGE_MAP()

// A press outside the buttons moves the whole frame, and leaves the session's drag setting as the
// player had it.
TEST(FrameMove, ShowsTheWholeFrameAndKeepsThePlayersSetting) {
    MoveWatchingFrame frame;
    ASSERT_TRUE(frame.Create(bgDialog::IDD));
    BOOL before = FALSE;
    ASSERT_TRUE(::SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &before, 0));
    for (BOOL setting : {FALSE, TRUE}) {
        ::SystemParametersInfoW(SPI_SETDRAGFULLWINDOWS, setting, nullptr, 0);
        frame.SendMessageW(WM_LBUTTONDOWN, MK_LBUTTON, Point(60, 300));
        BOOL after = -1;
        ::SystemParametersInfoW(SPI_GETDRAGFULLWINDOWS, 0, &after, 0);
        EXPECT_EQ(after, setting);
    }
    ::SystemParametersInfoW(SPI_SETDRAGFULLWINDOWS, before, nullptr, 0);
    EXPECT_EQ(frame.fullDragDuringMoves, (std::vector<BOOL>{TRUE, TRUE}));
}

TEST_F(FrameFixture, MouseMessagesDriveButtonStatesAndTheCursor) {
    const auto& buttons = frame.GetButtons();
    // Over the overlap of the official-news tab (5) and the top-up tab (2): both hover.
    frame.SendMessageW(WM_MOUSEMOVE, 0, Point(520, 150));
    EXPECT_EQ(buttons[4].state, FrameButtonState::Hover);
    EXPECT_EQ(buttons[1].state, FrameButtonState::Hover);
    EXPECT_EQ(buttons[0].state, FrameButtonState::Normal);
    EXPECT_TRUE(frame.SendMessageW(WM_SETCURSOR, reinterpret_cast<WPARAM>(frame.m_hWnd),
                                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_HAND));

    // A press there goes to the first in order: the top-up tab.
    frame.SendMessageW(WM_LBUTTONDOWN, MK_LBUTTON, Point(520, 150));
    EXPECT_EQ(buttons[1].state, FrameButtonState::Pressed);
    EXPECT_EQ(buttons[4].state, FrameButtonState::Hover);

    // Moving away clears every state and gives the cursor back to the default processing.
    frame.SendMessageW(WM_MOUSEMOVE, 0, Point(700, 400));
    for (const auto& b : buttons)
        EXPECT_EQ(b.state, FrameButtonState::Normal);
    EXPECT_FALSE(frame.SendMessageW(WM_SETCURSOR, reinterpret_cast<WPARAM>(frame.m_hWnd),
                                    MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)));

    // The right edge of the official-site tab belongs to the forum tab.
    frame.SendMessageW(WM_MOUSEMOVE, 0, Point(788, 150));
    EXPECT_EQ(buttons[0].state, FrameButtonState::Normal);
    EXPECT_EQ(buttons[2].state, FrameButtonState::Hover);

    // A release outside every button changes nothing.
    frame.SendMessageW(WM_LBUTTONUP, 0, Point(700, 400));
    EXPECT_EQ(buttons[2].state, FrameButtonState::Hover);
}

TEST_F(FrameFixture, MinimiseButtonMinimisesOnRelease) {
    frame.ShowWindow(SW_SHOW);
    frame.SendMessageW(WM_LBUTTONDOWN, MK_LBUTTON, Point(1030, 120));
    EXPECT_EQ(frame.GetButtons()[5].state, FrameButtonState::Pressed);
    frame.SendMessageW(WM_LBUTTONUP, 0, Point(1030, 120));
    EXPECT_EQ(frame.GetButtons()[5].state, FrameButtonState::Hover);
    EXPECT_TRUE(frame.IsIconic());
}

TEST(FramePictures, MissingOrUndecodablePicturesGiveNothing) {
    EXPECT_FALSE(LoadPngResource(9999).has_value()); // no such resource
    EXPECT_FALSE(LoadPngResource(9001).has_value()); // a "PNG" resource that is not a picture
    auto picture = LoadPngResource(191);
    ASSERT_TRUE(picture.has_value());
    EXPECT_EQ(picture->width, 1155);
    EXPECT_EQ(picture->height, 625);
    EXPECT_EQ(picture->At(0, 0) >> 24, 0u); // transparent outside the frame
    const std::uint32_t content = picture->At(700, 350);
    EXPECT_EQ(content >> 24, 255u);
    EXPECT_LT((content >> 16) & 0xFF, 64u); // the content area is dark
    auto tab = LoadPngResource(203);
    ASSERT_TRUE(tab.has_value());
    EXPECT_EQ(tab->width, 155);
    EXPECT_EQ(tab->height, 49);
}

// What the dialog keyboard handling reads as OK or Cancel, and the commands themselves posted by
// anything: none may end a window of the program.
struct StrayMessage {
    UINT message;
    WPARAM wParam;
};
constexpr StrayMessage kStrayMessages[] = {
    {WM_KEYDOWN, VK_RETURN},  {WM_KEYDOWN, VK_ESCAPE}, {WM_KEYDOWN, VK_CANCEL}, // Ctrl+Break
    {WM_KEYDOWN, VK_EXECUTE}, {WM_COMMAND, IDOK},      {WM_COMMAND, IDCANCEL},
};

// The frame run modally with a game window open, the stray messages fed to the frame, the login
// dialog and the game window through the frame's own loop.
class ScriptedFrame : public bgDialog {
public:
    int stepsSeen = 0;
    bool loginShown = false, gameShown = false;

protected:
    BOOL OnInitDialog() override {
        bgDialog::OnInitDialog();
        CtarvinDlg& login = *GetLoginDialog();
        LoginDialogProbe::Game(login).Create(tarvinGame::IDD, &login);
        LoginDialogProbe::Game(login).ShowWindow(SW_SHOWNOACTIVATE);
        for (HWND target : {m_hWnd, login.m_hWnd, LoginDialogProbe::Game(login).m_hWnd}) {
            for (const StrayMessage& stray : kStrayMessages)
                ::PostMessageW(target, stray.message, stray.wParam, 0);
        }
        ::PostMessageW(m_hWnd, WM_TEST_STEP, 0, 0);
        return TRUE;
    }
    LRESULT OnStep(WPARAM, LPARAM) {
        ++stepsSeen;
        CtarvinDlg& login = *GetLoginDialog();
        loginShown = login.IsWindowVisible() != FALSE;
        gameShown = LoginDialogProbe::Game(login).m_hWnd && LoginDialogProbe::Game(login).IsWindowVisible();
        LoginDialogProbe::Game(login).DestroyWindow();
        PostMessageW(WM_CLOSE);
        return 0;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ScriptedFrame, bgDialog)
ON_MESSAGE(WM_TEST_STEP, OnStep)
END_MESSAGE_MAP()

TEST(FrameModalRun, NoKeyOrCommandEndsItOrItsWindowsAndCloseDoes) {
    ScriptedFrame frame;
    EXPECT_EQ(frame.DoModal(), IDCANCEL);
    EXPECT_EQ(frame.stepsSeen, 1);
    EXPECT_TRUE(frame.loginShown);
    EXPECT_TRUE(frame.gameShown);
}

} // namespace
