// A library planted beside a program under a system library's name. It exports nothing and only
// tells that it was loaded: to the process, and to the end-to-end tests with a file beside itself
// named after it ("wininet.dll.loaded").
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    ::SetEnvironmentVariableW(L"KELVO_PLANTED_LOADED", L"1");
    wchar_t path[MAX_PATH + 8] = L"";
    const DWORD n = ::GetModuleFileNameW(instance, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return TRUE;
    ::lstrcatW(path, L".loaded");
    const HANDLE mark =
        ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mark != INVALID_HANDLE_VALUE)
        ::CloseHandle(mark);
    return TRUE;
}
