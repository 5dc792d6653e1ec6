// The update's downloads over WinINet, with the system's proxy settings.
#pragma once

#include "update/core/DownloadFlow.h"

#include <windows.h>

#include <string>

namespace kelvo {

// Fetches url (http or https) into path. True when the server answered 200 and the whole body was
// written within limits; a status other than 200 is shown to the user, other failures are silent.
// A download stopped at a bound leaves no file.
bool DownloadFile(const std::wstring& url, const std::wstring& path, const DownloadLimits& limits);
// Within the executable's bounds.
bool DownloadFile(const std::wstring& url, const std::wstring& path);
// The same on a worker thread, for a window that shows it: told to observer, which may stop it
// before a read, and ended at once when stop (a manual-reset event) is set, even while the server
// sends nothing. A stopped download leaves no file. No message is shown on this thread: refused
// says that a status other than 200 was answered, for ShowDownloadFailed on the window's thread.
bool DownloadFile(const std::wstring& url, const std::wstring& path, const DownloadLimits& limits,
                  DownloadObserver& observer, HANDLE stop, bool& refused);
// The message for a status other than 200.
void ShowDownloadFailed();

} // namespace kelvo
