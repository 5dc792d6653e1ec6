// The update's downloads over WinINet, with the system's proxy settings.
#pragma once

#include "update/core/DownloadFlow.h"

#include <string>

namespace kelvo {

// Fetches url (http or https) into path. True when the server answered 200 and the whole body was
// written within limits; a status other than 200 is shown to the user, other failures are silent.
// A download stopped at a bound, or by the observer, leaves no file.
bool DownloadFile(const std::wstring& url, const std::wstring& path, const DownloadLimits& limits,
                  DownloadObserver* observer = nullptr);
// Within the executable's bounds.
bool DownloadFile(const std::wstring& url, const std::wstring& path);

} // namespace kelvo
