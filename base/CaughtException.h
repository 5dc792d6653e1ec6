// The debug-output line for an exception that a catch block absorbs, so that a failure kept from a
// window procedure or a COM method still leaves a trace. Portable (no Windows headers), and free of
// allocation: the exception absorbed is often an allocation failure.
#pragma once

#include <cstddef>
#include <exception>

namespace kelvo {

// What the exception being handled says: its what() text for a standard exception, otherwise
// "unknown exception". Meant for a catch block; outside one it gives "no exception".
inline const char* CaughtWhat() noexcept {
    const std::exception_ptr caught = std::current_exception();
    if (!caught)
        return "no exception";
    try {
        std::rethrow_exception(caught);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
    }
    return "unknown exception";
}

// Writes "kelvo: PLACE:LINE: caught WHAT\n" into out, where PLACE is `file` from its last folder on
// (two files of different folders may share a name). A text too long for out is cut short before its line
// end; out is always terminated. Returns the length written.
inline std::size_t DescribeCaught(char* out, std::size_t size, const char* file, int line,
                                  const char* what) noexcept {
    if (size == 0)
        return 0;
    // Room for the text, then the line end and the terminator.
    const std::size_t room = size >= 2 ? size - 2 : 0;
    std::size_t n = 0;
    const auto put = [&](const char* text) {
        for (; text && *text && n < room; ++text)
            out[n++] = *text;
    };
    const char* place = file ? file : "";
    const char* name = place;
    for (const char* p = place; *p; ++p) {
        if (*p == '/' || *p == '\\') {
            place = name;
            name = p + 1;
        }
    }
    // Digits of a line number, which is never negative.
    char digits[12];
    std::size_t d = sizeof(digits);
    digits[--d] = '\0';
    unsigned value = line > 0 ? static_cast<unsigned>(line) : 0u;
    do {
        digits[--d] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);

    put("kelvo: ");
    put(place);
    put(":");
    put(digits + d);
    put(": caught ");
    put(what);
    if (size >= 2)
        out[n++] = '\n';
    out[n] = '\0';
    return n;
}

} // namespace kelvo
