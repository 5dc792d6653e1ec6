// The two rectangles the windows place themselves by, in screen pixels.
#pragma once

#include <windows.h>

namespace kelvo {

inline RECT WindowRect(HWND hwnd) noexcept {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    return r;
}

// The screen without the taskbar and the other bars docked at its edges.
inline RECT WorkArea() noexcept {
    RECT r{};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

} // namespace kelvo
