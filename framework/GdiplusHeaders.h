// GDI+ needs the COM declarations that a lean windows.h leaves out.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

namespace kelvo {} // namespace kelvo
