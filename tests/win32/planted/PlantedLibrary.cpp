// A library planted beside a program under a system library's name. It exports nothing and only
// tells the process that it was loaded.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        ::SetEnvironmentVariableW(L"KELVO_PLANTED_LOADED", L"1");
    return TRUE;
}
