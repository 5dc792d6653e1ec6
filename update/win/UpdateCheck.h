// The self-update as the login dialog runs it: once, on its first paint, on the GUI thread.
#pragma once

#include <windows.h>

namespace kelvo {

class UpdateProgressWindow;

// Cleans up after an earlier update, fetches the manifest and installs a newer launcher when one is
// announced; in that case it starts the new launcher, posts WM_CLOSE to hOwner and returns true.
// With a progress window, the new executable downloads on a worker thread while the window shows it
// and this thread handles its messages; without one, the download blocks the thread.
bool CheckForUpdate(HWND hOwner, UpdateProgressWindow* progress = nullptr);

} // namespace kelvo
