// System libraries loaded by name come from the system folder only. A plain LoadLibrary searches
// the program's own folder first, so a library of the same name planted beside a downloaded
// program would run inside it.
#pragma once

#include "framework/Handles.h"

// Loads the system library `name` (for example L"atl.dll") from the system folder, or nothing.
UniqueModule LoadSystemLibrary(const wchar_t* name) noexcept;
