#include "frame/FrameLayout.h"

FramePoint CentreInWorkArea(const WorkArea& work, int width, int height) noexcept {
    // Integer division in C++ truncates toward zero, as the placement requires for negative room.
    const int x = work.left + (work.right - work.left - width) / 2;
    const int y = work.top + (work.bottom - work.top - height) / 2;
    return {x, y};
}
