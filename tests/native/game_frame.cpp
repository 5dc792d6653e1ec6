// The game window's frame rules: the frame pictures' rectangles and their clamping to the work
// area, the caption buttons' places, pictures and state machine, the hit-test table, and the
// maximise, restore and control placement arithmetic.
#include "game/core/GameFrame.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace kelvo;

namespace {

using enum ButtonState;

const GameFramePiece* Find(const std::vector<GameFramePiece>& pieces, int id) {
    auto it =
        std::find_if(pieces.begin(), pieces.end(), [id](const GameFramePiece& p) { return p.imageId == id; });
    return it == pieces.end() ? nullptr : &*it;
}

TEST(GameFrameLayout, PiecesOfAnOrdinaryWindowInDrawingOrder) {
    const std::vector<GameFramePiece> expected = {
        {kImgBorderLeft, {0, 29, 3, 597}},      {kImgCaptionLeft, {0, 0, 130, 29}},
        {kImgCaptionMiddle, {130, 0, 664, 29}}, {kImgCaptionRight, {664, 0, 800, 29}},
        {kImgBorderRight, {797, 29, 800, 597}}, {kImgCornerBottomLeft, {0, 597, 3, 600}},
        {kImgBorderBottom, {3, 596, 797, 600}}, {kImgCornerBottomRight, {797, 597, 800, 600}},
    };
    EXPECT_EQ(LayoutGameFrame(800, 600, 1920, 1040), expected);
}

TEST(GameFrameLayout, AWindowLargerThanTheWorkAreaIsFramedAtTheWorkAreaSize) {
    const auto big = LayoutGameFrame(2500, 1500, 1280, 720);
    EXPECT_EQ(big, LayoutGameFrame(1280, 720, 1280, 720));
    EXPECT_EQ(Find(big, kImgCaptionRight)->dest, (GameRect{1144, 0, 1280, 29}));
    EXPECT_EQ(Find(big, kImgCornerBottomRight)->dest, (GameRect{1277, 717, 1280, 720}));
    // Only the too-large dimension is clamped.
    EXPECT_EQ(Find(LayoutGameFrame(2000, 500, 1280, 720), kImgBorderBottom)->dest,
              (GameRect{3, 496, 1277, 500}));
    // The caption buttons follow the real width all the same.
    EXPECT_EQ(LayoutCaptionButtons(2500)[4], (GameRect{2474, 2, 2498, 26}));
}

TEST(GameFrameLayout, MeasuredPictureSizesDriveTheLayout) {
    GameFrameImageSizes sizes;
    sizes.captionLeft = {100, 29};
    sizes.captionRight = {150, 29};
    sizes.borderLeft = {5, 1};
    sizes.borderBottom = {1, 6};
    const auto pieces = LayoutGameFrame(800, 600, 1920, 1040, sizes);
    EXPECT_EQ(Find(pieces, kImgCaptionMiddle)->dest, (GameRect{100, 0, 650, 29}));
    EXPECT_EQ(Find(pieces, kImgBorderLeft)->dest, (GameRect{0, 29, 5, 597}));
    EXPECT_EQ(Find(pieces, kImgBorderBottom)->dest, (GameRect{5, 594, 795, 600}));
}

TEST(GameFrameLayout, PiecesWithoutAreaAreLeftOut) {
    // Narrower than the caption's two ends: the middle would be drawn mirrored.
    EXPECT_EQ(Find(LayoutGameFrame(266, 300, 1920, 1040), kImgCaptionMiddle), nullptr);
    EXPECT_NE(Find(LayoutGameFrame(267, 300, 1920, 1040), kImgCaptionMiddle), nullptr);
    // Shorter than caption and bottom border: no side borders.
    const auto flat = LayoutGameFrame(800, 32, 1920, 1040);
    EXPECT_EQ(Find(flat, kImgBorderLeft), nullptr);
    EXPECT_EQ(Find(flat, kImgBorderRight), nullptr);
    EXPECT_NE(Find(LayoutGameFrame(800, 33, 1920, 1040), kImgBorderLeft), nullptr);
}

TEST(CaptionButtons, RectanglesFromTheRightEdge) {
    const CaptionButtonRects r = LayoutCaptionButtons(1000);
    EXPECT_EQ(r[0], (GameRect{892, 2, 920, 26})); // menu, 28 wide
    EXPECT_EQ(r[1], (GameRect{865, 2, 889, 26})); // notification area
    EXPECT_EQ(r[2], (GameRect{922, 2, 946, 26})); // minimise
    EXPECT_EQ(r[3], (GameRect{948, 2, 972, 26})); // maximise / restore
    EXPECT_EQ(r[4], (GameRect{974, 2, 998, 26})); // close
}

TEST(CaptionButtons, PictureByStateAndMaximisedFlag) {
    struct Case {
        std::size_t button;
        int state;
        bool maximized;
        int expected;
    };
    const Case cases[] = {
        {0, 0, false, 158}, {0, 1, false, 159}, {0, 2, false, 166}, {0, 7, true, 159},  {1, 0, false, 213},
        {1, 1, false, 214}, {1, 2, false, 215}, {2, 0, false, 160}, {2, 1, false, 161}, {2, 2, true, 167},
        {3, 0, false, 162}, {3, 1, false, 163}, {3, 2, false, 165}, {3, 0, true, 205},  {3, 1, true, 206},
        {3, 2, true, 207},  {3, -1, true, 206}, {4, 0, true, 154},  {4, 1, false, 155}, {4, 2, false, 164},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CaptionButtonImage(c.button, static_cast<ButtonState>(c.state), c.maximized), c.expected)
            << "button " << c.button << " state " << c.state << " maximised " << c.maximized;
}

// A caption-button tracker driven like the window drives it.
struct Tracker {
    CaptionButtonStates states{};
    bool pressed = false;
    int hot = 0;
    CaptionButtonRects rects = LayoutCaptionButtons(1000);

    // Returns the action and whether a repaint was due.
    std::pair<CaptionAction, bool> Move(int x, int y) {
        CaptionAction action = CaptionAction::None;
        bool repaint;
        if (pressed) {
            action = CaptionButtonsClick(states, pressed, hot);
            repaint = action != CaptionAction::None;
        } else {
            repaint = CaptionButtonsHover(states, hot, rects, x, y);
        }
        CaptionButtonsSettle(states, hot);
        return {action, repaint};
    }
    bool Press(int x, int y) { return CaptionButtonsPress(states, pressed, rects, x, y); }
};

TEST(CaptionButtons, HoverLightsTheButtonUnderTheMouseAndMakesItHot) {
    Tracker t;
    EXPECT_TRUE(t.Move(930, 10).second);
    EXPECT_EQ(t.states, (CaptionButtonStates{Normal, Normal, Hover, Normal, Normal}));
    EXPECT_EQ(t.hot, 1);
    // Staying inside keeps it lit; moving to the neighbour swaps.
    t.Move(945, 25);
    EXPECT_EQ(t.states, (CaptionButtonStates{Normal, Normal, Hover, Normal, Normal}));
    t.Move(948, 2);
    EXPECT_EQ(t.states, (CaptionButtonStates{Normal, Normal, Normal, Hover, Normal}));
    EXPECT_EQ(t.hot, 2);
    // The gap between buttons, and the right and bottom edges, are outside every button.
    for (const auto& p : {std::pair{946, 10}, {972, 10}, {960, 26}, {960, 1}}) {
        t.Move(p.first, p.second);
        EXPECT_EQ(t.states, (CaptionButtonStates{})) << p.first << "," << p.second;
        EXPECT_EQ(t.hot, 0);
    }
}

TEST(CaptionButtons, ClickRunsTheHotButtonsActionOnTheNextMove) {
    const struct {
        int x, y;
        CaptionAction action;
    } cases[] = {
        {900, 10, CaptionAction::ShowMenu}, {870, 10, CaptionAction::HideToTray},
        {930, 10, CaptionAction::Minimise}, {950, 10, CaptionAction::ToggleMaximise},
        {980, 10, CaptionAction::Close},
    };
    for (const auto& c : cases) {
        Tracker t;
        t.Move(c.x, c.y);
        ASSERT_TRUE(t.Press(c.x, c.y));
        EXPECT_TRUE(t.pressed);
        EXPECT_EQ(*std::max_element(t.states.begin(), t.states.end()), Pressed);
        // The move that follows may be anywhere (after a drag, say): the hot button acts.
        const auto [action, repaint] = t.Move(10, 500);
        EXPECT_EQ(action, c.action);
        EXPECT_TRUE(repaint);
        EXPECT_FALSE(t.pressed);
        EXPECT_EQ(t.states, (CaptionButtonStates{}));
        EXPECT_EQ(t.hot, 0);
    }
}

TEST(CaptionButtons, TheActionBelongsToTheButtonLastEnteredNotToThePressPoint) {
    Tracker t;
    t.Move(930, 10); // minimise becomes hot
    // A press straight on close, without a move in between, leaves minimise hot.
    ASSERT_TRUE(t.Press(980, 10));
    EXPECT_EQ(t.states, (CaptionButtonStates{Normal, Normal, Hover, Normal, Pressed}));
    EXPECT_EQ(t.hot, 1);
    const auto [action, repaint] = t.Move(980, 10);
    EXPECT_EQ(action, CaptionAction::Minimise);
    // The pressed close button keeps its picture; something is still lit, so the hot code stays
    // until a hover move settles it.
    EXPECT_EQ(t.states, (CaptionButtonStates{Normal, Normal, Normal, Normal, Pressed}));
    EXPECT_EQ(t.hot, 1);
}

TEST(CaptionButtons, APressWhileNothingIsHotShowsPressedButRunsNothing) {
    Tracker t;
    ASSERT_TRUE(t.Press(950, 10));
    EXPECT_EQ(t.states, (CaptionButtonStates{Normal, Normal, Normal, Pressed, Normal}));
    const auto [action, repaint] = t.Move(950, 10);
    EXPECT_EQ(action, CaptionAction::None);
    EXPECT_FALSE(repaint);
    EXPECT_FALSE(t.pressed);
    // The picture stays pressed while the mouse stays on the button, and it does not become hot.
    t.Move(955, 12);
    EXPECT_EQ(t.states, (CaptionButtonStates{Normal, Normal, Normal, Pressed, Normal}));
    EXPECT_EQ(t.hot, 0);
    t.Move(500, 12);
    EXPECT_EQ(t.states, (CaptionButtonStates{}));
}

TEST(CaptionButtons, APressOutsideTheButtonsChangesNothing) {
    Tracker t;
    t.Move(930, 10);
    EXPECT_FALSE(t.Press(500, 10));
    EXPECT_FALSE(t.pressed);
    EXPECT_EQ(t.states, (CaptionButtonStates{Normal, Normal, Hover, Normal, Normal}));
}

TEST(CaptionButtons, ResetOnlyWhenSomethingIsLit) {
    Tracker t;
    t.hot = 4;
    t.pressed = true;
    EXPECT_FALSE(CaptionButtonsReset(t.states, t.pressed, t.hot));
    EXPECT_EQ(t.hot, 4);
    EXPECT_TRUE(t.pressed);
    t.states[1] = Pressed;
    EXPECT_TRUE(CaptionButtonsReset(t.states, t.pressed, t.hot));
    EXPECT_EQ(t.states, (CaptionButtonStates{}));
    EXPECT_FALSE(t.pressed);
    EXPECT_EQ(t.hot, 0);
}

TEST(GameHitTest, ZonesAtTheirBoundaries) {
    const GameRect w{100, 50, 900, 650};
    struct Case {
        int x, y;
        int expected;
        bool clear;
    };
    const Case cases[] = {
        // Top-left corner square: drags, forgets the hot button.
        {110, 60, kHitCaption, true},
        {111, 60, kHitCaption, false},
        {110, 61, kHitCaption, false},
        {103, 61, kHitLeft, true},
        // Top-right corner square: plain client area.
        {890, 60, kHitClient, false},
        {889, 60, kHitCaption, false},
        {890, 61, kHitCaption, false},
        {897, 61, kHitRight, true},
        // Bottom corner squares size diagonally.
        {110, 640, kHitBottomLeft, true},
        {111, 640, kHitCaption, false},
        {111, 647, kHitBottom, true},
        {110, 639, kHitCaption, false},
        {103, 639, kHitLeft, true},
        {890, 640, kHitBottomRight, true},
        {889, 647, kHitBottom, true},
        {897, 639, kHitRight, true},
        {103, 300, kHitLeft, true},
        {104, 300, kHitCaption, false},
        {897, 300, kHitRight, true},
        {896, 300, kHitCaption, false},
        {500, 53, kHitCaption, true},
        {500, 54, kHitCaption, false}, // top edge drags
        {500, 647, kHitBottom, true},
        {500, 646, kHitCaption, false},
        {899, 649, kHitBottomRight, true},
        {100, 50, kHitCaption, true},
    };
    for (const Case& c : cases) {
        const GameHitResult r = GameHitTest(c.x, c.y, w, kHitClient);
        EXPECT_EQ(r.code, c.expected) << c.x << "," << c.y;
        EXPECT_EQ(r.clearHot, c.clear) << c.x << "," << c.y;
    }
}

TEST(GameHitTest, OnlyAClientAnswerBecomesCaption) {
    const GameRect w{0, 0, 800, 600};
    EXPECT_EQ(GameHitTest(400, 300, w, kHitNowhere).code, kHitNowhere);
    EXPECT_EQ(GameHitTest(5, 5, w, kHitNowhere).code, kHitNowhere);
    EXPECT_EQ(GameHitTest(795, 5, w, kHitNowhere).code, kHitNowhere);
    EXPECT_EQ(GameHitTest(400, 2, w, 20).code, 20);
    // The sizing zones answer whatever the default said.
    EXPECT_EQ(GameHitTest(1, 300, w, kHitNowhere).code, kHitLeft);
}

TEST(GamePlacement, MaximisedFlagAfterAMove) {
    struct Case {
        bool maximized;
        GameRect window;
        int hot;
        bool expected;
        bool minimized = false;
    };
    const Case cases[] = {
        {true, {0, 0, 1920, 1040}, 0, true},
        // Minimised from the task bar or with Win+M: parked off screen, still maximised.
        {true, {-32000, -32000, -31840, -31976}, 0, true, true},
        {true, {-32000, -32000, -31840, -31976}, 0, true},
        {true, {-32000, 0, -31840, 24}, 0, false},
        {true, {0, 1040, 160, 1064}, 0, true, true}, // a system that shows minimised windows elsewhere
        {false, {-32000, -32000, -31840, -31976}, 0, false, true},
        {true, {1, 0, 1921, 1040}, 0, false},
        {true, {0, 1, 1920, 1041}, 0, false},
        {true, {-5, -5, 1915, 1035}, 0, false},
        {true, {40, 0, 1960, 1040}, 2, true},
        {false, {0, 0, 800, 600}, 0, false},
        // A work area below a top task bar: even a window filling it is off the origin.
        {true, {0, 40, 1920, 1080}, 0, false},
        {true, {0, 40, 1920, 1080}, 100, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GameStaysMaximized(c.maximized, c.window, c.hot, c.minimized), c.expected)
            << c.window.left << "," << c.window.top << " hot " << c.hot;
}

TEST(GamePlacement, DefaultRestoreRectangleIsCentredAtTheOrigin) {
    EXPECT_EQ(GameDefaultRestoreRect(1920, 1040), (GameRect{210, 70, 1710, 970}));
    EXPECT_EQ(GameDefaultRestoreRect(1280, 720), (GameRect{0, 0, 1280, 720}));
    EXPECT_EQ(GameDefaultRestoreRect(1500, 900), (GameRect{0, 0, 1500, 900}));
    EXPECT_EQ(GameDefaultRestoreRect(1501, 901), (GameRect{0, 0, 1500, 900}));
    EXPECT_EQ(GameDefaultRestoreRect(1503, 903), (GameRect{1, 1, 1501, 901}));
    EXPECT_EQ(GameDefaultRestoreRect(1600, 860), (GameRect{50, 0, 1550, 860}));
}

TEST(GamePlacement, GameControlFillsTheInsideOfTheFrame) {
    EXPECT_EQ(GameControlRect(800, 600, 1920, 1040), (GameRect{3, 29, 797, 597}));
    EXPECT_EQ(GameControlRect(2500, 1500, 1920, 1040), (GameRect{3, 29, 1917, 1037}));
    EXPECT_EQ(GameControlRect(7, 33, 1920, 1040), (GameRect{3, 29, 4, 30}));
    EXPECT_FALSE(GameControlRect(6, 600, 1920, 1040));
    EXPECT_FALSE(GameControlRect(800, 32, 1920, 1040));
    EXPECT_FALSE(GameControlRect(160, 24, 1920, 1040)); // a minimised window's size
}

} // namespace
