// Times what the game window does when it is activated and when it is resized, against a bare
// window of the same style and size in the same process. The bare window paints nothing of its
// own: its class brush erases the client area, and its class redraws it wholly on every size
// change (CS_HREDRAW | CS_VREDRAW), which is what any window whose frame runs along its right and
// bottom edges must at least repaint. Goal: the game window at most 1.2 times the bare one.
//
// Only the window's outside is used (creation, placement, messages), so the figures stay
// comparable however the window paints itself inside.
//
// Measured, each operation ending with UpdateWindow and the queue drained:
//   activation, WM_NCACTIVATE  the message sent, TRUE and FALSE in turn;
//   activation, SetActiveWindow  the window activated, then another window;
//   resize step  SetWindowPos by 4 pixels each way, growing and shrinking in turn.
// Per operation: the median over batches of each batch's mean. KELVO_BENCH_STRICT=1 makes a
// missed goal fail the program (exit code 2).
#include "game/win/tarvinGame.h"
#include "framework/CWinApp.h"

#include "frame_timing.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace kelvo;

namespace {
class BenchApp : public CWinApp {};
BenchApp g_app;

constexpr int kWidth = 900;
constexpr int kHeight = 640;
constexpr int kStep = 4;
constexpr int kBatches = 9;
constexpr int kOpsPerBatch = 40;
constexpr double kGoal = 1.2;

using frame_bench::Median;
using frame_bench::Now;

void Drain() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

// The mean time of one operation in one batch.
template <typename F>
double Batch(F&& step) {
    const double t0 = Now();
    for (int i = 0; i < kOpsPerBatch; ++i)
        step(i);
    return (Now() - t0) / kOpsPerBatch;
}

LRESULT CALLBACK BareProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return ::DefWindowProcW(hwnd, msg, wp, lp);
}

HWND MakeBare(const wchar_t* className, UINT classStyle, DWORD style, DWORD exStyle, int x, int y, int w,
              int h) {
    WNDCLASSW wc{};
    wc.style = classStyle;
    wc.lpfnWndProc = BareProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = className;
    ::RegisterClassW(&wc);
    return ::CreateWindowExW(exStyle, className, L"Bare", style, x, y, w, h, nullptr, nullptr, wc.hInstance,
                             nullptr);
}

// One operation on one window, then what it asked to have painted.
struct Operation {
    const char* name;
    void (*step)(HWND window, HWND other, int i);
};

void NcActivate(HWND window, HWND, int i) {
    ::SendMessageW(window, WM_NCACTIVATE, (i & 1) ? FALSE : TRUE, 0);
}

void Activate(HWND window, HWND other, int i) {
    ::SetActiveWindow((i & 1) ? other : window);
}

void ResizeStep(HWND window, HWND, int i) {
    const int d = (i & 1) ? 0 : kStep;
    ::SetWindowPos(window, nullptr, 0, 0, kWidth + d, kHeight + d,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

int main() {
    INITCOMMONCONTROLSEX icc{sizeof(icc), 0xFF};
    ::InitCommonControlsEx(&icc);

    tarvinGame game;
    double t0 = Now();
    if (!game.Create(tarvinGame::IDD)) {
        std::printf("the game window could not be created\n");
        return 1;
    }
    std::printf("%-34s %8.3f ms\n", "create game window", Now() - t0);
    const HWND gameWindow = game.m_hWnd;
    // Side by side on the 1920 x 1080 screen, neither covering the other: a covered part is not
    // painted, which would flatter one side.
    ::SetWindowPos(gameWindow, HWND_TOP, 20, 20, kWidth, kHeight, SWP_NOACTIVATE);
    game.ShowWindow(SW_SHOWNOACTIVATE);

    // The low word holds the dialog class's own styles, which mean nothing to another class.
    const DWORD style =
        static_cast<DWORD>(::GetWindowLongPtrW(gameWindow, GWL_STYLE)) & 0xFFFF0000u & ~WS_VISIBLE;
    const DWORD exStyle = static_cast<DWORD>(::GetWindowLongPtrW(gameWindow, GWL_EXSTYLE));
    const HWND bare =
        MakeBare(L"BareGameBench", CS_HREDRAW | CS_VREDRAW, style, exStyle, 960, 20, kWidth, kHeight);
    // What the activation goes to in turn: a small window below both.
    const HWND other = MakeBare(L"OtherGameBench", 0, WS_POPUP, 0, 20, 760, 200, 100);
    if (!bare || !other) {
        std::printf("the bare windows could not be created\n");
        game.DestroyWindow();
        return 1;
    }
    ::ShowWindow(bare, SW_SHOWNOACTIVATE);
    ::ShowWindow(other, SW_SHOWNOACTIVATE);
    ::UpdateWindow(gameWindow);
    ::UpdateWindow(bare);
    ::UpdateWindow(other);
    Drain();
    RECT gameRect{}, bareRect{};
    ::GetWindowRect(gameWindow, &gameRect);
    ::GetWindowRect(bare, &bareRect);
    std::printf("game window %ld x %ld, style %08lx ex %08lx; bare window %ld x %ld\n",
                gameRect.right - gameRect.left, gameRect.bottom - gameRect.top, style, exStyle,
                bareRect.right - bareRect.left, bareRect.bottom - bareRect.top);

    const Operation operations[] = {
        {"activation, WM_NCACTIVATE", &NcActivate},
        {"activation, SetActiveWindow", &Activate},
        {"resize step (4 px)", &ResizeStep},
    };
    char counted[32];
    std::snprintf(counted, sizeof(counted), "batches of %d", kOpsPerBatch);
    bool met = true;
    for (const Operation& op : operations) {
        const auto run = [&](HWND window) {
            return Batch([&](int i) {
                op.step(window, other, i);
                ::UpdateWindow(window);
                Drain();
            });
        };
        // One unmeasured batch each, then batches in turn, so that a busy moment of the machine
        // weighs on both sides alike.
        run(bare);
        run(gameWindow);
        std::vector<double> bareTimes, gameTimes;
        for (int b = 0; b < kBatches; ++b) {
            bareTimes.push_back(run(bare));
            gameTimes.push_back(run(gameWindow));
        }
        const double yardstick = Median(bareTimes);
        const double ratio = Median(gameTimes) / yardstick;
        char name[64];
        std::snprintf(name, sizeof(name), "%s, bare", op.name);
        frame_bench::Report(name, bareTimes, yardstick, counted);
        std::snprintf(name, sizeof(name), "%s, game", op.name);
        frame_bench::Report(name, gameTimes, yardstick, counted);
        std::printf("%-34s ratio game/bare %.2f   goal <= %.2f: %s\n", op.name, ratio, kGoal,
                    ratio <= kGoal ? "met" : "not met");
        met = met && ratio <= kGoal;
    }

    game.DestroyWindow();
    ::DestroyWindow(bare);
    ::DestroyWindow(other);
    const char* strict = std::getenv("KELVO_BENCH_STRICT");
    if (strict && std::strcmp(strict, "1") == 0 && !met) {
        std::printf("KELVO_BENCH_STRICT=1: a goal is not met\n");
        return 2;
    }
    return 0;
}
