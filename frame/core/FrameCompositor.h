// Composition of the frame picture: the decoded frame image with the buttons' current pictures
// drawn over it, source-over, into one premultiplied 32-bit image ready for the window system.
#pragma once

#include "frame/core/FrameButton.h"

#include <cstdint>
#include <vector>

namespace kelvo {

// A decoded picture: top-down rows of premultiplied B, G, R, A bytes (one uint32_t per pixel, as
// 0xAARRGGBB), the layout that per-pixel-alpha windows take.
struct PixelImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;

    bool Empty() const noexcept { return width <= 0 || height <= 0; }
    std::uint32_t At(int x, int y) const noexcept {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                      static_cast<std::size_t>(x)];
    }
};

// Premultiplies one straight-alpha 0xAARRGGBB pixel.
std::uint32_t PremultiplyPixel(std::uint32_t argb) noexcept;

// Draws src over the target's pixels stretched to rect (nearest neighbour), clipped to the target
// and to clip. target points at width × height premultiplied pixels.
void DrawImageOver(std::uint32_t* target, int width, int height, const PixelImage& src, const PixelRect& rect,
                   const PixelRect& clip) noexcept;
void DrawImageOver(std::uint32_t* target, int width, int height, const PixelImage& src,
                   const PixelRect& rect) noexcept;

struct ButtonPictures {
    const PixelImage* normal = nullptr;
    const PixelImage* hover = nullptr;
    const PixelImage* pressed = nullptr;
};

// Clears the target, then draws the frame image at (0, 0) at its size and each button's picture
// for its state, in button order, stretched to its rectangle. Missing pictures are skipped.
void ComposeFramePixels(std::uint32_t* target, int width, int height, const PixelImage& frame,
                        const FrameButtons& buttons,
                        const std::array<ButtonPictures, kFrameButtonCount>& pictures) noexcept;

// The same composition limited to region: the pixels outside it are left as they are. Over an
// image composed before, with region covering every button whose state changed since, the
// result equals a whole composition.
void ComposeFrameRegion(std::uint32_t* target, int width, int height, const PixelImage& frame,
                        const FrameButtons& buttons,
                        const std::array<ButtonPictures, kFrameButtonCount>& pictures,
                        const PixelRect& region) noexcept;

// The smallest rectangle holding the rectangles of the buttons whose states differ between shown
// and now, clipped to width × height; empty (all zero) when none differs.
PixelRect ChangedButtonsRegion(const FrameButtons& shown, const FrameButtons& now, int width,
                               int height) noexcept;

} // namespace kelvo
