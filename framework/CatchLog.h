// Catch and log: inside a catch block that absorbs an exception, KELVO_LOG_CAUGHT() writes where it
// was caught and what it said to the debug output, and the block goes on as before.
#pragma once

#include "framework/CaughtException.h"

#include <windows.h>

inline void LogCaught(const char* file, int line) noexcept {
    char text[512];
    const std::size_t n = DescribeCaught(text, sizeof(text), file, line, CaughtWhat());
    wchar_t wide[sizeof(text)];
    if (::MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(n + 1), wide,
                              static_cast<int>(sizeof(text))) > 0)
        ::OutputDebugStringW(wide);
}

#define KELVO_LOG_CAUGHT() LogCaught(__FILE__, __LINE__)
