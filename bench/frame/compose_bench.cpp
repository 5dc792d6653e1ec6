// Times the frame's picture work on a real frame window, against a bare layered window of the same
// size in the same process: the bare window's UpdateLayeredWindow of the whole picture is what
// any per-pixel-alpha window pays to show a new image, so it is the yardstick.
//
// Measured: ComposeFrame itself; a mouse move that changes no button state; a move that changes
// one (into and out of the close button); a sweep of 200 moves across all seven buttons; the
// blending alone. Prints the fastest and the median of each.
#include "frame/win/bgDialog.h"
#include "framework/CWinApp.h"
#include "framework/PngResource.h"
#include "framework/GdiplusSession.h"

#include "frame_timing.h"

#include <commctrl.h>

#include <cstdio>
#include <vector>

using namespace kelvo;

namespace {
class BenchApp : public CWinApp {};
BenchApp g_app;

using frame_bench::Median;
using frame_bench::Now;
using frame_bench::Report;

template <typename F>
std::vector<double> Time(int runs, F&& step) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double t0 = Now();
        step(i);
        times.push_back(Now() - t0);
    }
    return times;
}

LRESULT CALLBACK BareProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

// A bare per-pixel-alpha window showing the frame picture, with its surface kept.
struct BareWindow {
    HWND hwnd = nullptr;
    HDC screen = nullptr;
    UniqueMemoryDc memory;
    UniqueBitmap surface;
    HGDIOBJ old = nullptr;
    int width = 0;
    int height = 0;

    BareWindow(const PixelImage& picture) : width(picture.width), height(picture.height) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = BareProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"BareLayeredBench";
        ::RegisterClassW(&wc);
        hwnd = ::CreateWindowExW(WS_EX_LAYERED, wc.lpszClassName, L"Bare", WS_POPUP, 10, 10, width, height,
                                 nullptr, nullptr, wc.hInstance, nullptr);
        screen = ::GetDC(hwnd);
        memory.reset(::CreateCompatibleDC(screen));
        void* bits = nullptr;
        surface = CreatePixelSection(screen, width, height, &bits);
        old = ::SelectObject(memory.get(), surface.get());
        std::copy(picture.pixels.begin(), picture.pixels.end(), static_cast<std::uint32_t*>(bits));
        ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    }
    ~BareWindow() {
        ::SelectObject(memory.get(), old);
        ::ReleaseDC(hwnd, screen);
        ::DestroyWindow(hwnd);
    }
    void Update() {
        POINT dst{10, 10}, src{0, 0};
        SIZE size{width, height};
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 254, AC_SRC_ALPHA};
        ::UpdateLayeredWindow(hwnd, screen, &dst, &size, memory.get(), &src, 0, &blend, ULW_ALPHA);
    }
};

void Move(HWND hwnd, int x, int y) {
    ::SendMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
}

} // namespace

int main() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), 0xFF};
    ::InitCommonControlsEx(&icc);
    const GdiplusSession gdiplus;
    {
        double t0 = Now();
        auto picture = LoadPngResource(191);
        std::printf("%-34s %8.3f ms\n", "decode PNG 191", Now() - t0);
        if (!picture)
            return 1;

        bgDialog frame;
        t0 = Now();
        frame.Create(bgDialog::IDD);
        std::printf("%-34s %8.3f ms\n", "create frame (all pictures)", Now() - t0);
        frame.ShowWindow(SW_SHOWNOACTIVATE);
        BareWindow bare(*picture);
        const HWND hwnd = frame.m_hWnd;

        const int runs = 200;
        // Interleaved rounds, so that a busy moment of the machine weighs on both sides alike.
        std::vector<double> bareTimes, composeTimes, still, change, sweep;
        for (int round = 0; round < 4; ++round) {
            auto b = Time(runs / 4, [&](int) { bare.Update(); });
            bareTimes.insert(bareTimes.end(), b.begin(), b.end());
            auto c = Time(runs / 4, [&](int) { frame.ComposeFrame(); });
            composeTimes.insert(composeTimes.end(), c.begin(), c.end());
            Move(hwnd, 200, 300);
            auto s = Time(runs / 4, [&](int i) { Move(hwnd, 200 + (i & 1), 300); });
            still.insert(still.end(), s.begin(), s.end());
            // Into the close button and out again: one state change per move.
            auto h = Time(runs / 4, [&](int i) { Move(hwnd, (i & 1) ? 200 : 1070, (i & 1) ? 300 : 120); });
            change.insert(change.end(), h.begin(), h.end());
            // Along y = 130, which crosses the five tabs and the minimise and close buttons.
            const double w0 = Now();
            for (int i = 0; i < 200; ++i)
                Move(hwnd, 380 + i * 720 / 199, 130);
            sweep.push_back(Now() - w0);
            Move(hwnd, 200, 300);
        }
        const double yardstick = Median(bareTimes);
        Report("bare UpdateLayeredWindow (whole)", bareTimes, yardstick);
        Report("ComposeFrame", composeTimes, yardstick);
        Report("mouse move, no state change", still, yardstick);
        Report("mouse move, one button changes", change, yardstick);
        Report("sweep of 200 moves, 7 buttons", sweep);

        // The blending alone, without the window system.
        std::vector<std::uint32_t> target(static_cast<std::size_t>(picture->width) *
                                          static_cast<std::size_t>(picture->height));
        std::array<ButtonPictures, kFrameButtonCount> none{};
        Report("blend frame picture", Time(runs, [&](int) {
                   ComposeFramePixels(target.data(), picture->width, picture->height, *picture,
                                      frame.GetButtons(), none);
               }));
    }
    return 0;
}
