// Composition of the frame picture: the decoded frame image with the buttons' current pictures
// drawn over it, source-over, into one premultiplied 32-bit image ready for the window system.
#pragma once

#include "frame/core/FrameButton.h"
#include "base/PixelImage.h"

#include <cstdint>
#include <vector>

namespace kelvo {

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
