// System libraries and programs come from the system folder only. A plain LoadLibrary searches
// the program's own folder first, so a library of the same name planted beside a downloaded
// program would run inside it.
#pragma once

#include "framework/Handles.h"

namespace kelvo {

// The full path of the file `name` in the system folder, in `path`; false when it does not fit.
// System programs are started by this path: a bare name is looked for in the current directory
// and beside the program first.
bool SystemFolderPath(const wchar_t* name, wchar_t (&path)[MAX_PATH]) noexcept;

// Opens the system program `name` (for example L"rundll32.exe") from the system folder with these
// parameters, shown normally, with no owner window; nothing waits for it and its outcome is not
// looked at.
void StartSystemProgram(const wchar_t* name, const wchar_t* parameters) noexcept;

// Loads the system library `name` (for example L"atl.dll") from the system folder, or nothing.
UniqueModule LoadSystemLibrary(const wchar_t* name) noexcept;

// Restricts the process's library search to the system folder, before anything else is loaded:
// the delay-loaded libraries, and those that system code loads by name, are then never taken
// from beside the program or from the current directory. Where Windows lacks the call (Windows 7
// without KB2533623), the current directory at least leaves the search.
void RestrictLibrarySearch() noexcept;

// Loads a delay-loaded library (an ASCII name such as "WININET.dll") as LoadSystemLibrary does;
// the delay-load helper's notification hook calls it before its own load by name.
HMODULE LoadDelayedSystemLibrary(const char* name) noexcept;

// The exported function `name` of a loaded library as a pointer of type Fn; nothing when the
// library or the function is missing.
template <typename Fn>
Fn ProcAddress(HMODULE module, const char* name) noexcept {
    // Through void(*)() so that the conversion between function types is explicit.
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)))
                  : nullptr;
}

} // namespace kelvo
