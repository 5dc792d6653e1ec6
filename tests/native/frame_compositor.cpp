// Composition of the frame picture: premultiplication, source-over, clipping and stretching, and
// the choice of picture per button state.
#include "frame/core/FrameCompositor.h"

#include <gtest/gtest.h>

using namespace kelvo;

namespace {

PixelImage Solid(int w, int h, std::uint32_t pixel) {
    return {w, h, std::vector<std::uint32_t>(static_cast<std::size_t>(w * h), pixel)};
}

TEST(FrameCompositor, Premultiplies) {
    EXPECT_EQ(PremultiplyPixel(0xFF123456u), 0xFF123456u);
    EXPECT_EQ(PremultiplyPixel(0x00FFFFFFu), 0x00000000u);
    EXPECT_EQ(PremultiplyPixel(0x80FF0000u), 0x80800000u);
}

TEST(FrameCompositor, SourceOverBlendsPremultipliedPixels) {
    std::vector<std::uint32_t> target(4, 0xFF0000FFu); // opaque blue
    const PixelImage halfRed = Solid(1, 1, 0x80800000u);
    DrawImageOver(target.data(), 2, 2, halfRed, {0, 0, 1, 1});
    // red 128 + blue 255 * (127/255) = 127
    EXPECT_EQ(target[0], 0xFF80007Fu);
    EXPECT_EQ(target[1], 0xFF0000FFu);

    const PixelImage clear = Solid(1, 1, 0);
    DrawImageOver(target.data(), 2, 2, clear, {1, 0, 2, 1});
    EXPECT_EQ(target[1], 0xFF0000FFu); // a transparent source leaves the target alone

    std::vector<std::uint32_t> empty(1, 0);
    DrawImageOver(empty.data(), 1, 1, halfRed, {0, 0, 1, 1});
    EXPECT_EQ(empty[0], 0x80800000u); // over nothing the source stays as it is
}

TEST(FrameCompositor, ClipsToTheTargetAndStretchesToTheRectangle) {
    std::vector<std::uint32_t> target(16, 0);
    PixelImage two{2, 1, {0xFF000001u, 0xFF000002u}};
    DrawImageOver(target.data(), 4, 4, two, {-1, -1, 3, 1}); // 4x2 rectangle, partly outside
    // Stretched 2x horizontally and 2x vertically; only row 0, columns 0..2 lie inside.
    EXPECT_EQ(target[0], 0xFF000001u);
    EXPECT_EQ(target[1], 0xFF000002u);
    EXPECT_EQ(target[2], 0xFF000002u);
    EXPECT_EQ(target[3], 0u);
    EXPECT_EQ(target[4], 0u);
    DrawImageOver(target.data(), 4, 4, two, {10, 10, 12, 11}); // entirely outside: nothing
    DrawImageOver(target.data(), 4, 4, two, {0, 0, 0, 0});     // empty rectangle: nothing
}

TEST(FrameCompositor, DrawsTheFrameThenEachButtonsPictureForItsState) {
    const PixelImage frame = Solid(8, 4, 0xFF101010u);
    const PixelImage normal = Solid(2, 2, 0xFF0000AAu);
    const PixelImage hover = Solid(2, 2, 0xFF00BB00u);
    const PixelImage pressed = Solid(2, 2, 0xFFCC0000u);
    FrameButtons buttons{};
    buttons[0].rect = {0, 0, 2, 2};
    buttons[1].rect = {1, 0, 3, 2}; // overlaps the first: drawn over it
    buttons[1].state = FrameButtonState::Hover;
    buttons[2].rect = {4, 0, 6, 2};
    buttons[2].state = FrameButtonState::Pressed;
    buttons[3].rect = {6, 2, 8, 4}; // no pictures at all: the frame shows
    std::array<ButtonPictures, kFrameButtonCount> pictures{};
    for (std::size_t i = 0; i < 3; ++i)
        pictures[i] = {&normal, &hover, &pressed};

    std::vector<std::uint32_t> target(32, 0xDEADBEEFu);
    ComposeFramePixels(target.data(), 8, 4, frame, buttons, pictures);
    EXPECT_EQ(target[0], 0xFF0000AAu);
    EXPECT_EQ(target[1], 0xFF00BB00u);
    EXPECT_EQ(target[4], 0xFFCC0000u);
    EXPECT_EQ(target[3], 0xFF101010u);
    EXPECT_EQ(target[31], 0xFF101010u);

    // A frame picture smaller than the target leaves the rest transparent, not stale.
    const PixelImage small = Solid(2, 2, 0xFF101010u);
    std::vector<std::uint32_t> target2(32, 0xDEADBEEFu);
    ComposeFramePixels(target2.data(), 8, 4, small, FrameButtons{}, {});
    EXPECT_EQ(target2[0], 0xFF101010u);
    EXPECT_EQ(target2[7], 0u);
}

// Semi-transparent, stretched and overlapping pictures on the real button places: after any sequence
// of moves and presses, redrawing only the changed buttons' region over the previous image gives
// the very pixels of a whole composition.
TEST(FrameCompositor, RegionRedrawEqualsWholeComposition) {
    const int w = 1155, h = 625;
    PixelImage frame = Solid(w, h, 0);
    for (std::size_t i = 0; i < frame.pixels.size(); ++i)
        frame.pixels[i] = PremultiplyPixel(static_cast<std::uint32_t>((i * 2654435761u) >> 3) | 0x40000000u);
    std::vector<PixelImage> images;
    images.reserve(3 * kFrameButtonCount);
    std::array<ButtonPictures, kFrameButtonCount> pictures{};
    std::array<std::pair<int, int>, kFrameButtonCount> sizes{};
    for (std::size_t i = 0; i < kFrameButtonCount; ++i) {
        const FrameButtonLayout& l = kFrameButtonLayouts[i];
        sizes[i] = {l.width, l.height};
        for (std::uint32_t k = 0; k < 3; ++k) {
            // Half the size of the rectangle (stretched), alpha 0x80: what lies below shows through.
            images.push_back(Solid(
                l.width / 2 + 1, l.height / 2 + 1,
                PremultiplyPixel(0x80000000u | (static_cast<std::uint32_t>(i) << 16) | (k << 8) | 0x33)));
        }
        pictures[i] = {&images[3 * i], &images[3 * i + 1], &images[3 * i + 2]};
    }
    FrameButtons buttons = MakeFrameButtons(sizes);
    std::vector<std::uint32_t> shown(static_cast<std::size_t>(w * h));
    ComposeFramePixels(shown.data(), w, h, frame, buttons, pictures);
    FrameButtons shownButtons = buttons;

    struct Step {
        char what; // m move, d press, u release
        int x, y;
    };
    const Step steps[] = {
        {'m', 200, 300},  {'m', 520, 150},  {'m', 640, 150},  {'m', 770, 130},
        {'m', 900, 130},  {'d', 900, 130},  {'m', 1025, 130}, {'u', 1025, 130},
        {'m', 1070, 120}, {'d', 1070, 120}, {'m', 1000, 600}, {'m', 10, 10},
    };
    std::vector<std::uint32_t> whole(shown.size());
    int redraws = 0;
    for (const Step& step : steps) {
        if (step.what == 'm')
            FrameButtonsMouseMove(buttons, step.x, step.y);
        else if (step.what == 'd')
            FrameButtonsPress(buttons, step.x, step.y);
        else
            FrameButtonsRelease(buttons, step.x, step.y);
        const PixelRect region = ChangedButtonsRegion(shownButtons, buttons, w, h);
        if (region.Width() > 0) {
            ++redraws;
            EXPECT_LE(region.Width() * region.Height(), 500 * 60) << step.x << "," << step.y;
        }
        ComposeFrameRegion(shown.data(), w, h, frame, buttons, pictures, region);
        shownButtons = buttons;
        ComposeFramePixels(whole.data(), w, h, frame, buttons, pictures);
        ASSERT_TRUE(shown == whole) << "after " << step.what << " at " << step.x << "," << step.y;
    }
    EXPECT_GE(redraws, 8);
}

TEST(FrameCompositor, ChangedButtonsRegion) {
    FrameButtons a{};
    for (std::size_t i = 0; i < kFrameButtonCount; ++i)
        a[i].rect = {static_cast<int>(i) * 10, 0, static_cast<int>(i) * 10 + 5, 5};
    FrameButtons b = a;
    EXPECT_EQ(ChangedButtonsRegion(a, b, 100, 100), (PixelRect{}));
    b[1].state = FrameButtonState::Hover;
    EXPECT_EQ(ChangedButtonsRegion(a, b, 100, 100), (PixelRect{10, 0, 15, 5}));
    b[4].state = FrameButtonState::Pressed;
    EXPECT_EQ(ChangedButtonsRegion(a, b, 100, 100), (PixelRect{10, 0, 45, 5}));
    EXPECT_EQ(ChangedButtonsRegion(a, b, 12, 3), (PixelRect{10, 0, 12, 3})); // clipped to the image
}

} // namespace
