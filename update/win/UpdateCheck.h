// The self-update as the login dialog runs it: once, on its first paint, on the GUI thread.
#pragma once

#include "update/core/DownloadFlow.h"

#include <windows.h>

#include <string>

namespace kelvo {

class UpdateProgressWindow;

// Cleans up after an earlier update, fetches the manifest and installs a newer launcher when one is
// announced; in that case it starts the new launcher, posts WM_CLOSE to hOwner and returns true.
// With a progress window, the new executable's download shows it and pumps the thread's messages
// meanwhile; without one, the download blocks the thread.
bool CheckForUpdate(HWND hOwner, UpdateProgressWindow* progress = nullptr);

// Fetches url (http or https) into path. True when the server answered 200 and the whole body was
// written within limits; a status other than 200 is shown to the user, other failures are silent.
// A download stopped at a bound, or by the observer, leaves no file.
bool DownloadFile(const std::wstring& url, const std::wstring& path, const kelvo::DownloadLimits& limits,
                  DownloadObserver* observer = nullptr);
// Within the executable's bounds.
bool DownloadFile(const std::wstring& url, const std::wstring& path);

} // namespace kelvo
