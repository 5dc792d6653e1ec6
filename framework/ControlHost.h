// ActiveX control containment for the thread: OLE, and the control host window class.
#pragma once

#include <windows.h>

namespace kelvo {

namespace ControlHost {
// Initialises OLE for the user-interface thread once; later calls do nothing.
void Initialize() noexcept;
// Loads the system's control host library and registers its window class; false when it is
// not available.
bool LoadHostLibrary() noexcept;
} // namespace ControlHost

} // namespace kelvo
