#include "framework/ControlHost.h"

#include "framework/Handles.h"

namespace kelvo {

namespace {
bool g_initialized = false;
}

namespace ControlHost {

void Initialize() noexcept {
    if (g_initialized)
        return;
    // OLE stays initialised for the life of the thread: controls are created and released on it
    // until the process ends.
    static OleSession session;
    g_initialized = session.Succeeded();
    LoadHostLibrary();
}

} // namespace ControlHost

} // namespace kelvo
