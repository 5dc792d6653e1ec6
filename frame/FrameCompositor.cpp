#include "frame/FrameCompositor.h"

#include <algorithm>
#include <cstring>

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

void DrawImageOver(std::uint32_t* target, int width, int height, const PixelImage& src,
                   const PixelRect& rect) noexcept {
    if (src.Empty() || rect.Width() <= 0 || rect.Height() <= 0)
        return;
    const int x0 = std::max(rect.left, 0);
    const int y0 = std::max(rect.top, 0);
    const int x1 = std::min(rect.right, width);
    const int y1 = std::min(rect.bottom, height);
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
    if (width <= 0 || height <= 0)
        return;
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (frame.width == width && frame.height == height) {
        // The common case: the target takes the frame picture's size, so over a cleared target
        // the frame is a plain copy.
        std::memcpy(target, frame.pixels.data(), count * sizeof(std::uint32_t));
    } else {
        std::memset(target, 0, count * sizeof(std::uint32_t));
        DrawImageOver(target, width, height, frame, {0, 0, frame.width, frame.height});
    }
    for (std::size_t i = 0; i < kFrameButtonCount; ++i) {
        const ButtonPictures& p = pictures[i];
        const PixelImage* img = p.normal;
        if (buttons[i].state == FrameButtonState::Hover)
            img = p.hover;
        else if (buttons[i].state == FrameButtonState::Pressed)
            img = p.pressed;
        if (img)
            DrawImageOver(target, width, height, *img, buttons[i].rect);
    }
}
