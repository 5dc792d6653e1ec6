// Catch and log: inside a catch block that absorbs an exception, KELVO_LOG_CAUGHT() writes where it
// was caught and what it said to the debug output, and the block goes on as before. A failed result
// that the caller absorbs (it falls back, or reports a plain failure) leaves its line the same way.
#pragma once

#include "base/CaughtException.h"

#include <windows.h>

#include <cwchar>
#include <iterator>

namespace kelvo {

inline void LogCaught(const char* file, int line) noexcept {
    char text[512];
    const std::size_t n = DescribeCaught(text, sizeof(text), file, line, CaughtWhat());
    wchar_t wide[sizeof(text)];
    if (::MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(n + 1), wide,
                              static_cast<int>(sizeof(text))) > 0)
        ::OutputDebugStringW(wide);
}

// Writes "kelvo: WHAT (0xHHHHHHHH)\n" for a failed result; `what` is cut short past 200 units.
inline void LogFailedResult(const wchar_t* what, HRESULT hr) noexcept {
    wchar_t text[232];
    if (std::swprintf(text, std::size(text), L"kelvo: %.200ls (0x%08lX)\n", what ? what : L"",
                      static_cast<unsigned long>(hr)) > 0)
        ::OutputDebugStringW(text);
}

#define KELVO_LOG_CAUGHT() LogCaught(__FILE__, __LINE__)

} // namespace kelvo
