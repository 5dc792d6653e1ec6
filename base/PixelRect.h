// A rectangle in pixels, shared by the portable layout code of the windows (no Windows headers).
#pragma once

namespace kelvo {

struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    // Left and top edges are inside, right and bottom edges are not.
    bool Contains(int x, int y) const noexcept { return left <= x && x < right && top <= y && y < bottom; }
    int Width() const noexcept { return right - left; }
    int Height() const noexcept { return bottom - top; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

} // namespace kelvo
