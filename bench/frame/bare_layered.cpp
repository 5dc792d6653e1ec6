// The reference for start-up time: a bare program that shows one 1155 x 625 per-pixel-alpha
// window titled "Bare" and waits until it is closed.
#include <windows.h>

#include <cstdint>

static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY) {
        ::PostQuitMessage(0);
        return 0;
    }
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.lpszClassName = L"BareLayered";
    ::RegisterClassW(&wc);
    const int w = 1155, h = 625;
    HWND hwnd = ::CreateWindowExW(WS_EX_LAYERED, wc.lpszClassName, L"Bare", WS_POPUP, 382, 227, w, h, nullptr,
                                  nullptr, instance, nullptr);
    HDC screen = ::GetDC(hwnd);
    HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = ::SelectObject(memory, dib);
    auto* pixels = static_cast<std::uint32_t*>(bits);
    for (int i = 0; i < w * h; ++i)
        pixels[i] = 0xFF202020u;
    POINT dst{382, 227}, src{0, 0};
    SIZE size{w, h};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 254, AC_SRC_ALPHA};
    ::UpdateLayeredWindow(hwnd, screen, &dst, &size, memory, &src, 0, &blend, ULW_ALPHA);
    ::SelectObject(memory, old);
    ::DeleteObject(dib);
    ::DeleteDC(memory);
    ::ReleaseDC(hwnd, screen);
    ::ShowWindow(hwnd, SW_SHOWNORMAL);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
    return 0;
}
