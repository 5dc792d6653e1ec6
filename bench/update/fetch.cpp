// kelvo_fetch [--progress] URL PATH [WARMUP_URL]: the launcher's DownloadFile, timed.
// Prints: ok=<0|1> bytes=<file size> seconds=<s> peak_before=<bytes> peak_after=<bytes>
// The warm-up download (if given) runs first, so that "peak_before" already includes everything a
// download needs apart from the body; the growth to "peak_after" is what the body cost.
// --progress: the download as a build with the progress window makes it, on a worker thread, the
// window shown over a frame and a login window while this thread handles their messages.
#include "framework/CWinApp.h"
#include "update/win/DownloadFile.h"
#include "update/win/UpdateProgressWindow.h"

#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cwchar>

using namespace kelvo;

namespace {

class FetchApp : public CWinApp {};
FetchApp g_app;

SIZE_T PeakWorkingSet() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize;
}

unsigned long long FileSize(const wchar_t* path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(path, GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

const wchar_t* OwnerClass() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KelvoFetchOwner";
    ::RegisterClassW(&wc);
    return wc.lpszClassName;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const bool progress = argc > 1 && std::wcscmp(argv[1], L"--progress") == 0;
    if (progress) {
        --argc;
        ++argv;
    }
    if (argc < 3) {
        std::fputs("usage: kelvo_fetch [--progress] URL PATH [WARMUP_URL]\n", stderr);
        return 2;
    }
    CWnd frame;
    CWnd login;
    UpdateProgressWindow window;
    if (progress) {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
        ::InitCommonControlsEx(&icc);
        frame.CreateEx(0, OwnerClass(), L"frame", WS_POPUP | WS_VISIBLE, RECT{0, 0, 960, 600}, nullptr, 0);
        login.CreateEx(0, OwnerClass(), L"login", WS_POPUP | WS_VISIBLE, RECT{300, 150, 960, 520},
                       frame.m_hWnd, 0);
    }
    const auto fetch = [&](const wchar_t* url) {
        if (!progress)
            return DownloadFile(url, argv[2]);
        return window.Run(login.m_hWnd, [&](DownloadObserver& relay, HANDLE stop) {
            bool refused = false;
            return DownloadFile(url, argv[2], kExecutableLimits, relay, stop, refused);
        });
    };
    if (argc > 3)
        fetch(argv[3]);
    const SIZE_T before = PeakWorkingSet();
    LARGE_INTEGER frequency, start, stop;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    const bool ok = fetch(argv[1]);
    ::QueryPerformanceCounter(&stop);
    const SIZE_T after = PeakWorkingSet();
    const double seconds =
        static_cast<double>(stop.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    std::printf("ok=%d bytes=%llu seconds=%.3f peak_before=%lu peak_after=%lu\n", ok ? 1 : 0,
                FileSize(argv[2]), seconds, static_cast<unsigned long>(before),
                static_cast<unsigned long>(after));
    return ok ? 0 : 1;
}
