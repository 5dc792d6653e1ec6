// The process entry: everything happens in the global application object.
#include "framework/CWinApp.h"
#include "framework/SystemLibrary.h"

#include <delayimp.h>

namespace {

// Every delay-loaded library comes from the system folder, by its full path where the search
// cannot be restricted; nothing returned lets the helper load it by name itself.
FARPROC WINAPI DelayLoadNotify(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary || !info || !info->szDll)
        return nullptr;
    return reinterpret_cast<FARPROC>(kelvo::LoadDelayedSystemLibrary(info->szDll));
}

} // namespace

// The delay-load helper's hook: Visual C++'s helper declares it const, mingw-w64's does not.
#ifdef _MSC_VER
extern "C" const PfnDliHook __pfnDliNotifyHook2 = DelayLoadNotify;
#else
extern "C" {
PfnDliHook __pfnDliNotifyHook2 = DelayLoadNotify;
}
#endif

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int) {
    // First of all: no library may come from beside the program or the current directory.
    kelvo::RestrictLibrarySearch();
    return kelvo::AfxWinMain(hInstance);
}
