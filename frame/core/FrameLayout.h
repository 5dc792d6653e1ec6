// Placement arithmetic of the frame: centring in the work area and the login dialog's offset.
#pragma once

#include "base/PixelRect.h"

namespace kelvo {

struct FramePoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const FramePoint&, const FramePoint&) = default;
};

// Top-left corner that centres a picture of width × height in the work area. Each half is
// truncated toward zero; a picture larger than the work area overhangs it on both sides, unclamped.
FramePoint CentreInWorkArea(const PixelRect& work, int width, int height) noexcept;

// The login dialog's top-left corner relative to the frame's.
constexpr FramePoint kLoginDialogOffset{362, 154};

constexpr FramePoint LoginDialogOrigin(FramePoint frameOrigin) noexcept {
    return {frameOrigin.x + kLoginDialogOffset.x, frameOrigin.y + kLoginDialogOffset.y};
}

} // namespace kelvo
