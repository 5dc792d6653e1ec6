// kelvo_fetch URL PATH [WARMUP_URL]: the launcher's DownloadFile, timed.
// Prints: ok=<0|1> bytes=<file size> seconds=<s> peak_before=<bytes> peak_after=<bytes>
// The warm-up download (if given) runs first, so that "peak_before" already includes everything a
// download needs apart from the body; the growth to "peak_after" is what the body cost.
#include "framework/CWinApp.h"
#include "update/win/UpdateCheck.h"

#include <psapi.h>

#include <cstdio>

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

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fputs("usage: kelvo_fetch URL PATH [WARMUP_URL]\n", stderr);
        return 2;
    }
    if (argc > 3)
        DownloadFile(argv[3], argv[2]);
    const SIZE_T before = PeakWorkingSet();
    LARGE_INTEGER frequency, start, stop;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    const bool ok = DownloadFile(argv[1], argv[2]);
    ::QueryPerformanceCounter(&stop);
    const SIZE_T after = PeakWorkingSet();
    const double seconds =
        static_cast<double>(stop.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
    std::printf("ok=%d bytes=%llu seconds=%.3f peak_before=%lu peak_after=%lu\n", ok ? 1 : 0,
                FileSize(argv[2]), seconds, static_cast<unsigned long>(before),
                static_cast<unsigned long>(after));
    return ok ? 0 : 1;
}
