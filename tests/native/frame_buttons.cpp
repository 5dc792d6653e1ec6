// The frame's button rules: hit order across the overlapping tabs, state transitions, the cursor,
// link addresses, and the centring arithmetic.
#include "frame/core/FrameButton.h"
#include "frame/core/FrameLayout.h"

#include <gtest/gtest.h>

using namespace kelvo;

namespace {

FrameButtons Buttons() {
    return MakeFrameButtons({});
}

using S = FrameButtonState;

TEST(FrameButtons, RectanglesFollowThePictureSizes) {
    const FrameButtons b = Buttons();
    EXPECT_EQ(b[0].rect, (PixelRect{633, 127, 788, 176}));
    EXPECT_EQ(b[1].rect, (PixelRect{503, 127, 663, 176}));
    EXPECT_EQ(b[2].rect, (PixelRect{758, 127, 918, 176}));
    EXPECT_EQ(b[3].rect, (PixelRect{889, 127, 1027, 176}));
    EXPECT_EQ(b[4].rect, (PixelRect{394, 127, 532, 176}));
    EXPECT_EQ(b[5].rect, (PixelRect{1023, 108, 1050, 135}));
    EXPECT_EQ(b[6].rect, (PixelRect{1058, 108, 1085, 135}));

    std::array<std::pair<int, int>, kFrameButtonCount> sizes{};
    sizes[0] = {100, 20};
    EXPECT_EQ(MakeFrameButtons(sizes)[0].rect, (PixelRect{633, 127, 733, 147}));
}

struct PressCase {
    int x, y;
    int expected; // index of the pressed button, -1 for a drag
};

TEST(FrameButtons, PressGoesToTheFirstButtonInOrder) {
    const PressCase cases[] = {
        {520, 150, 1},  // tabs 5 and 2 overlap: 2 comes first
        {640, 150, 0},  // 2 and 1 overlap: 1 comes first
        {770, 150, 0},  // 1 and 3 overlap
        {900, 150, 2},  // 3 and 4 overlap
        {788, 150, 2},  // right edge of 1 is outside it
        {787, 175, 0},  // last pixel inside 1
        {787, 176, -1}, // bottom edge excluded
        {1024, 130, 3}, // 4 and the minimise button overlap: 4 comes first
        {1024, 135, 3}, {1040, 120, 5}, {1071, 121, 6}, {1085, 121, -1},
        {393, 150, -1}, {394, 127, 4},  {100, 100, -1},
    };
    for (const PressCase& c : cases) {
        FrameButtons b = Buttons();
        EXPECT_EQ(FrameButtonsPress(b, c.x, c.y), c.expected) << c.x << "," << c.y;
        for (int i = 0; i < static_cast<int>(kFrameButtonCount); ++i)
            EXPECT_EQ(b[static_cast<std::size_t>(i)].state, i == c.expected ? S::Pressed : S::Normal);
    }
}

TEST(FrameButtons, MovementHighlightsEveryButtonUnderThePointer) {
    FrameButtons b = Buttons();
    FrameButtonsMouseMove(b, 520, 150);
    EXPECT_EQ(b[4].state, S::Hover);
    EXPECT_EQ(b[1].state, S::Hover);
    EXPECT_TRUE(FrameButtonsWantHand(b));

    // A pressed button stays pressed while the pointer stays on it; others keep hover.
    FrameButtonsPress(b, 520, 150);
    FrameButtonsMouseMove(b, 525, 151);
    EXPECT_EQ(b[1].state, S::Pressed);
    EXPECT_EQ(b[4].state, S::Hover);

    // Leaving resets both; the pressed one too.
    FrameButtonsMouseMove(b, 600, 300);
    for (const FrameButton& button : b)
        EXPECT_EQ(button.state, S::Normal);
    EXPECT_FALSE(FrameButtonsWantHand(b));
}

TEST(FrameButtons, ReleaseActsOnTheButtonUnderThePointerWhateverWasPressed) {
    FrameButtons b = Buttons();
    FrameButtonsPress(b, 520, 150); // top-up tab
    EXPECT_EQ(FrameButtonsRelease(b, 1071, 121), 6);
    EXPECT_EQ(b[6].state, S::Normal); // close changes no state
    EXPECT_EQ(b[1].state, S::Pressed);

    EXPECT_EQ(FrameButtonsRelease(b, 520, 150), 1);
    EXPECT_EQ(b[1].state, S::Hover);
    EXPECT_EQ(FrameButtonsRelease(b, 1040, 120), 5);
    EXPECT_EQ(b[5].state, S::Hover);
    EXPECT_EQ(FrameButtonsRelease(b, 10, 10), -1);
}

TEST(FrameLinks, AddressesAndHandlerParameters) {
    const FrameHosts hosts{u"news.example", u"pay.example", u"bbs.example:81", u"www.example"};
    EXPECT_EQ(FrameLinkAddress(FrameAction::OpenNews, hosts), u"http://news.example/kelvo");
    EXPECT_EQ(FrameLinkAddress(FrameAction::OpenPayment, hosts), u"http://pay.example/kelvo");
    EXPECT_EQ(FrameLinkAddress(FrameAction::OpenForum, hosts), u"http://bbs.example:81/forum-2205-1.html");
    EXPECT_EQ(FrameLinkAddress(FrameAction::OpenService, hosts), u"http://www.example/kf/");
    EXPECT_EQ(FrameLinkAddress(FrameAction::Close, hosts), u"");
    EXPECT_EQ(kFrameButtonLayouts[0].action, kFrameButtonLayouts[4].action); // both open the news page
    EXPECT_EQ(FrameLinkParameters(u"http://a/b?c=1&d=%20"),
              u"url.dll,FileProtocolHandler http://a/b?c=1&d=%20");
}

struct CentreCase {
    PixelRect work;
    int width, height;
    FramePoint expected;
};

TEST(FrameLayout, CentresTruncatingTowardZeroWithoutClamping) {
    const CentreCase cases[] = {
        {{0, 0, 1920, 1080}, 1155, 625, {382, 227}},    {{0, 0, 1920, 1040}, 1155, 625, {382, 207}},
        {{0, 0, 1921, 1081}, 1155, 625, {383, 228}},    {{100, 50, 1380, 770}, 1155, 625, {162, 97}},
        {{0, 0, 1024, 600}, 1155, 625, {-65, -12}},     // (1024-1155)/2 = -65.5 -> -65
        {{0, 0, 1154, 624}, 1155, 625, {0, 0}},         // -0.5 truncates to 0
        {{-1280, 0, 0, 1024}, 1155, 625, {-1218, 199}}, // a monitor left of the primary one
    };
    for (const CentreCase& c : cases) {
        EXPECT_EQ(CentreInWorkArea(c.work, c.width, c.height), c.expected);
    }
    EXPECT_EQ(LoginDialogOrigin({382, 227}), (FramePoint{744, 381}));
}

} // namespace
