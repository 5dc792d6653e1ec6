// The debug-output line of an absorbed exception: the place as the last folder and file name with
// the line, what the exception said, and a line end kept when the text is cut to fit.
#include "base/CaughtException.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

using namespace kelvo;

namespace {

std::string Describe(std::size_t size, const char* file, int line, const char* what) {
    std::string out(size, '#');
    const std::size_t n = DescribeCaught(out.data(), size, file, line, what);
    EXPECT_EQ(out.find('\0'), n);
    return out.substr(0, n);
}

TEST(CaughtException, TheLineNamesThePlaceAndWhatWasCaught) {
    struct Case {
        std::size_t size;
        const char* file;
        int line;
        const char* what;
        const char* expected;
    };
    const Case cases[] = {
        {512, "/work/src/game/GameBridge.cpp", 49, "std::bad_alloc",
         "kelvo: game/GameBridge.cpp:49: caught std::bad_alloc\n"},
        {512, "C:\\src\\update\\DownloadFile.cpp", 145, "x",
         "kelvo: update\\DownloadFile.cpp:145: caught x\n"},
        {512, "Alone.cpp", 7, "x", "kelvo: Alone.cpp:7: caught x\n"},
        {512, nullptr, 0, nullptr, "kelvo: :0: caught \n"},
        {512, "a/b.cpp", 2147483647, "", "kelvo: a/b.cpp:2147483647: caught \n"},
        // "kelvo: b.cpp:1: caught xy\n" is 26 characters: it fits in 27 and is cut by one in 26.
        {27, "b.cpp", 1, "xy", "kelvo: b.cpp:1: caught xy\n"},
        {26, "b.cpp", 1, "xy", "kelvo: b.cpp:1: caught x\n"},
        {2, "b.cpp", 1, "xy", "\n"},
        {1, "b.cpp", 1, "xy", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Describe(c.size, c.file, c.line, c.what), c.expected) << c.size << " " << c.expected;
}

TEST(CaughtException, WhatComesFromTheExceptionBeingHandled) {
    EXPECT_STREQ(CaughtWhat(), "no exception");
    try {
        throw std::runtime_error("disk gone");
    } catch (...) {
        EXPECT_STREQ(CaughtWhat(), "disk gone");
    }
    try {
        throw 42;
    } catch (...) {
        EXPECT_STREQ(CaughtWhat(), "unknown exception");
    }
}

} // namespace
