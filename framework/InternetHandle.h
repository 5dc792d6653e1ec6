// Owner of one WinINet handle (session, connection or request), closed exactly once; members
// declared session, connection, request close in reverse order.
#pragma once

#include "framework/Handles.h"

#include <wininet.h>

struct InternetHandleTraits {
    using Handle = HINTERNET;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { ::InternetCloseHandle(h); }
};

using InternetHandle = UniqueHandle<InternetHandleTraits>;
