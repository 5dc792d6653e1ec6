// What the frame benchmarks share: the clock, and one line per measured operation with its fastest
// and median time and, given the bare window's median, the ratio to it.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace frame_bench {

inline double Now() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / ticksPerMs;
}

inline double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// counted: what the samples are ("runs", "batches of 40").
inline void Report(const char* name, std::vector<double> times, double yardstick = 0,
                   const char* counted = "runs") {
    std::sort(times.begin(), times.end());
    std::printf("%-34s fastest %8.4f ms   median %8.4f ms", name, times.front(), times[times.size() / 2]);
    if (yardstick > 0)
        std::printf("   (%.2f x bare)", times[times.size() / 2] / yardstick);
    std::printf("   (%zu %s)\n", times.size(), counted);
}

} // namespace frame_bench
