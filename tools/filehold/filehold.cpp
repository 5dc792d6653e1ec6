// kelvo_filehold PATH MODE SECONDS
//   keep      opened for reading, shared for reading only: others can neither delete, rename nor write
//   norename  opened (created if missing) for writing, shared for reading and writing: others can
//             write it but not delete or rename it
// Prints "held" once the file is open, then holds it for SECONDS.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 4) {
        std::fputs("usage: kelvo_filehold PATH keep|norename SECONDS\n", stderr);
        return 2;
    }
    const bool keep = std::wcscmp(argv[2], L"keep") == 0;
    const HANDLE file =
        keep ? ::CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr)
             : ::CreateFileW(argv[1], GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "cannot open: error %lu\n", ::GetLastError());
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    ::Sleep(static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10)) * 1000);
    ::CloseHandle(file);
    return 0;
}
