#include "frame/core/FrameCompositor.h"

#include <algorithm>
#include <cstring>

namespace kelvo {

namespace {

// x * a / 255 rounded, exact for 8-bit operands.
inline std::uint32_t MulDiv255(std::uint32_t x, std::uint32_t a) noexcept {
    const std::uint32_t t = x * a + 128;
    return (t + (t >> 8)) >> 8;
}

// Premultiplied source-over: result = src + dst × (1 − srcAlpha).
inline std::uint32_t Over(std::uint32_t src, std::uint32_t dst) noexcept {
    const std::uint32_t sa = src >> 24;
    if (sa == 255)
        return src;
    if (sa == 0 && (src & 0x00FFFFFFu) == 0)
        return dst;
    const std::uint32_t inv = 255 - sa;
    // Blend two channels at a time: 0x00RR00BB and 0x00AA00GG.
    const std::uint32_t rb = (dst & 0x00FF00FFu) * inv + 0x00800080u;
    const std::uint32_t ag = ((dst >> 8) & 0x00FF00FFu) * inv + 0x00800080u;
    const std::uint32_t rbScaled = ((rb + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    const std::uint32_t agScaled = (ag + ((ag >> 8) & 0x00FF00FFu)) & 0xFF00FF00u;
    return src + (rbScaled | agScaled);
}

} // namespace

std::uint32_t PremultiplyPixel(std::uint32_t argb) noexcept {
    const std::uint32_t a = argb >> 24;
    if (a == 255)
        return argb;
    const std::uint32_t r = MulDiv255((argb >> 16) & 0xFF, a);
    const std::uint32_t g = MulDiv255((argb >> 8) & 0xFF, a);
    const std::uint32_t b = MulDiv255(argb & 0xFF, a);
    return (a << 24) | (r << 16) | (g << 8) | b;
}

namespace {

PixelRect Intersect(const PixelRect& a, const PixelRect& b) noexcept {
    const PixelRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                      std::min(a.bottom, b.bottom)};
    return r.Width() > 0 && r.Height() > 0 ? r : PixelRect{};
}

PixelRect Union(const PixelRect& a, const PixelRect& b) noexcept {
    if (a.Width() <= 0 || a.Height() <= 0)
        return b;
    if (b.Width() <= 0 || b.Height() <= 0)
        return a;
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

const PixelImage* PictureFor(const ButtonPictures& p, FrameButtonState state) noexcept {
    if (state == FrameButtonState::Hover)
        return p.hover;
    if (state == FrameButtonState::Pressed)
        return p.pressed;
    return p.normal;
}

} // namespace

void DrawImageOver(std::uint32_t* target, int width, int height, const PixelImage& src,
                   const PixelRect& rect) noexcept {
    DrawImageOver(target, width, height, src, rect, {0, 0, width, height});
}

void DrawImageOver(std::uint32_t* target, int width, int height, const PixelImage& src, const PixelRect& rect,
                   const PixelRect& clip) noexcept {
    if (src.Empty() || rect.Width() <= 0 || rect.Height() <= 0)
        return;
    const PixelRect area = Intersect(Intersect(rect, clip), {0, 0, width, height});
    const int x0 = area.left;
    const int y0 = area.top;
    const int x1 = area.right;
    const int y1 = area.bottom;
    const bool sameSize = rect.Width() == src.width && rect.Height() == src.height;
    for (int y = y0; y < y1; ++y) {
        const int sy =
            sameSize ? y - rect.top
                     : static_cast<int>(static_cast<long long>(y - rect.top) * src.height / rect.Height());
        std::uint32_t* row = target + static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
        const std::uint32_t* srcRow =
            src.pixels.data() + static_cast<std::size_t>(sy) * static_cast<std::size_t>(src.width);
        for (int x = x0; x < x1; ++x) {
            const int sx =
                sameSize ? x - rect.left
                         : static_cast<int>(static_cast<long long>(x - rect.left) * src.width / rect.Width());
            row[x] = Over(srcRow[sx], row[x]);
        }
    }
}

void ComposeFramePixels(std::uint32_t* target, int width, int height, const PixelImage& frame,
                        const FrameButtons& buttons,
                        const std::array<ButtonPictures, kFrameButtonCount>& pictures) noexcept {
    ComposeFrameRegion(target, width, height, frame, buttons, pictures, {0, 0, width, height});
}

void ComposeFrameRegion(std::uint32_t* target, int width, int height, const PixelImage& frame,
                        const FrameButtons& buttons,
                        const std::array<ButtonPictures, kFrameButtonCount>& pictures,
                        const PixelRect& region) noexcept {
    if (width <= 0 || height <= 0)
        return;
    const PixelRect area = Intersect(region, {0, 0, width, height});
    if (area.Width() <= 0)
        return;
    const auto rowWidth = static_cast<std::size_t>(area.Width());
    if (frame.width == width && frame.height == height) {
        // The common case: the target takes the frame picture's size, so over a cleared target
        // the frame is a plain copy.
        for (int y = area.top; y < area.bottom; ++y) {
            const std::size_t at = static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                   static_cast<std::size_t>(area.left);
            std::memcpy(target + at, frame.pixels.data() + at, rowWidth * sizeof(std::uint32_t));
        }
    } else {
        for (int y = area.top; y < area.bottom; ++y)
            std::memset(target + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                            static_cast<std::size_t>(area.left),
                        0, rowWidth * sizeof(std::uint32_t));
        DrawImageOver(target, width, height, frame, {0, 0, frame.width, frame.height}, area);
    }
    // Every button reaching into the area, in order, so that overlapping tabs stack as before.
    for (std::size_t i = 0; i < kFrameButtonCount; ++i) {
        if (const PixelImage* img = PictureFor(pictures[i], buttons[i].state))
            DrawImageOver(target, width, height, *img, buttons[i].rect, area);
    }
}

PixelRect ChangedButtonsRegion(const FrameButtons& shown, const FrameButtons& now, int width,
                               int height) noexcept {
    PixelRect region{};
    for (std::size_t i = 0; i < kFrameButtonCount; ++i) {
        if (shown[i].state != now[i].state || !(shown[i].rect == now[i].rect))
            region = Union(region, Union(shown[i].rect, now[i].rect));
    }
    return Intersect(region, {0, 0, width, height});
}

} // namespace kelvo
