// Work off the user-interface thread, as the real controls load: the caller's call returns at once
// and the result comes back as a message to one of the control's windows.
#pragma once

#include <windows.h>

#include <functional>
#include <new>
#include <memory>

namespace standins {

// Runs `work` on a thread of its own; this module stays loaded until the work has returned. False,
// with nothing run, when no thread can be started.
bool RunInBackground(std::function<void()> work);

// Hands `result` to `window` as `message` (wParam `tag`, lParam the object). The window takes it
// over with TakeResult; when the window has gone, the result goes with the sender.
template <class T>
void PostResult(HWND window, UINT message, WPARAM tag, std::unique_ptr<T> result) {
    if (::PostMessageW(window, message, tag, reinterpret_cast<LPARAM>(result.get())))
        (void)result.release();
}

template <class T>
std::unique_ptr<T> TakeResult(LPARAM lParam) {
    return std::unique_ptr<T>(reinterpret_cast<T*>(lParam));
}

} // namespace standins
