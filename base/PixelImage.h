// A decoded picture in the form the per-pixel-alpha windows take, shared by the portable composition
// code and the resource decoder (no Windows headers).
#pragma once

#include <cstddef>
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

} // namespace kelvo
