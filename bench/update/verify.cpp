// kelvo_verify FILE KEY.pem SIGNATURE VERSION [RUNS]: the signed update's check of a downloaded
// launcher (SHA-256 of the file through CNG, then ECDSA P-256), timed against a plain read of the
// same file in the same run. Prints one line per measure, the median of RUNS (default 21):
//   read=<ms> hash=<ms> check=<ms> verdict=<0 when valid>
#include "update/win/CngSignatureChecker.h"
#include "update/core/UpdateSignature.h"

#include "framework/Handles.h"
#include "framework/Text.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using namespace kelvo;

namespace {

double Now() {
    LARGE_INTEGER frequency, counter;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

// The reference: every byte of the file read through the same 64 KiB block the hash uses.
unsigned PlainRead(const std::wstring& path) {
    UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    std::vector<unsigned char> block(64 << 10);
    unsigned sum = 0;
    DWORD got = 0;
    while (file && ::ReadFile(file.get(), block.data(), static_cast<DWORD>(block.size()), &got, nullptr) &&
           got)
        sum += block[got - 1];
    return sum;
}

template <typename F>
double Median(int runs, F&& work) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const double start = Now();
        work();
        times.push_back(Now() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 5) {
        std::fputs("usage: kelvo_verify FILE KEY.pem SIGNATURE VERSION [RUNS]\n", stderr);
        return 2;
    }
    using namespace kelvo;
    const std::wstring path = argv[1];
    std::ifstream pemFile(argv[2], std::ios::binary);
    const std::string pem((std::istreambuf_iterator<char>(pemFile)), std::istreambuf_iterator<char>());
    const std::u16string signature = ToU16(argv[3]);
    const auto version = static_cast<std::int32_t>(std::wcstol(argv[4], nullptr, 10));
    const int runs = argc > 5 ? std::max(1, _wtoi(argv[5])) : 21;

    CngSignatureChecker checker;
    volatile unsigned sink = PlainRead(path); // the file in the cache for every measure
    const double read = Median(runs, [&] { sink = sink + PlainRead(path); });
    const double hash = Median(runs, [&] { sink = sink + checker.HashFile(ToU16(path)).has_value(); });
    SignatureVerdict verdict = SignatureVerdict::Mismatch;
    const double check =
        Median(runs, [&] { verdict = CheckUpdateSignature(checker, pem, version, signature, ToU16(path)); });
    std::printf("read=%.3f hash=%.3f check=%.3f verdict=%d\n", read, hash, check, static_cast<int>(verdict));
    return verdict == SignatureVerdict::Valid ? 0 : 1;
}
