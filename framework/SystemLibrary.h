// System libraries loaded by name come from the system folder only. A plain LoadLibrary searches
// the program's own folder first, so a library of the same name planted beside a downloaded
// program would run inside it.
#pragma once

#include "framework/Handles.h"

namespace kelvo {

// Loads the system library `name` (for example L"atl.dll") from the system folder, or nothing.
UniqueModule LoadSystemLibrary(const wchar_t* name) noexcept;

// The exported function `name` of a loaded library as a pointer of type Fn; nothing when the
// library or the function is missing.
template <typename Fn>
Fn ProcAddress(HMODULE module, const char* name) noexcept {
    // Through void(*)() so that the conversion between function types is explicit.
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)))
                  : nullptr;
}

} // namespace kelvo
