// Times ComposeFrame on a real frame window: the whole picture blended and handed to the window
// system, as on every mouse movement over the frame. Prints the fastest and the median of N runs.
#include "frame/bgDialog.h"
#include "framework/CWinApp.h"
#include "framework/GdiplusHeaders.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
class BenchApp : public CWinApp {};
BenchApp g_app;

double Milliseconds(LARGE_INTEGER a, LARGE_INTEGER b, LARGE_INTEGER freq) {
    return static_cast<double>(b.QuadPart - a.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
}

void Report(const char* name, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    std::printf("%-28s fastest %7.3f ms   median %7.3f ms   (%zu runs)\n", name, times.front(),
                times[times.size() / 2], times.size());
}
} // namespace

int main() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), 0xFF};
    ::InitCommonControlsEx(&icc);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    {
        LARGE_INTEGER freq, t0, t1;
        ::QueryPerformanceFrequency(&freq);

        ::QueryPerformanceCounter(&t0);
        auto picture = LoadPngResource(191);
        ::QueryPerformanceCounter(&t1);
        std::printf("%-28s %7.3f ms\n", "decode PNG 191", Milliseconds(t0, t1, freq));

        bgDialog frame;
        ::QueryPerformanceCounter(&t0);
        frame.Create(bgDialog::IDD);
        ::QueryPerformanceCounter(&t1);
        std::printf("%-28s %7.3f ms\n", "create frame (all pictures)", Milliseconds(t0, t1, freq));
        frame.ShowWindow(SW_SHOWNOACTIVATE);

        const int runs = 200;
        std::vector<double> compose;
        for (int i = 0; i < runs; ++i) {
            ::QueryPerformanceCounter(&t0);
            frame.ComposeFrame();
            ::QueryPerformanceCounter(&t1);
            compose.push_back(Milliseconds(t0, t1, freq));
        }
        Report("ComposeFrame", compose);

        // The blending alone, without the window system.
        std::vector<std::uint32_t> target(1155u * 625u);
        std::array<ButtonPictures, kFrameButtonCount> none{};
        std::vector<double> blend;
        for (int i = 0; i < runs; ++i) {
            ::QueryPerformanceCounter(&t0);
            ComposeFramePixels(target.data(), 1155, 625, *picture, frame.GetButtons(), none);
            ::QueryPerformanceCounter(&t1);
            blend.push_back(Milliseconds(t0, t1, freq));
        }
        Report("blend frame picture", blend);
    }
    Gdiplus::GdiplusShutdown(token);
    return 0;
}
