#include "frame/core/FrameLayout.h"

namespace kelvo {

FramePoint CentreInWorkArea(const PixelRect& work, int width, int height) noexcept {
    // Integer division in C++ truncates toward zero, as the placement requires for negative room.
    const int x = work.left + (work.Width() - width) / 2;
    const int y = work.top + (work.Height() - height) / 2;
    return {x, y};
}

} // namespace kelvo
