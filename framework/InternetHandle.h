// Owner of one WinINet handle (session, connection or request), closed exactly once; members
// declared session, connection, request close in reverse order.
#pragma once

#include "framework/Handles.h"

#include <wininet.h>

namespace kelvo {

using InternetHandle = UniqueHandle<HINTERNET, &::InternetCloseHandle>;

} // namespace kelvo
