// ActiveX control containment for the thread: OLE, and the system's control host library
// (atl.dll), whose entry points are all reached through here.
#pragma once

#include <windows.h>
#include <unknwn.h>

namespace kelvo {

namespace ControlHost {
// Initialises OLE for the user-interface thread once; later calls do nothing.
void Initialize() noexcept;
// Loads the system's control host library and registers its window class; false when it is
// not available.
bool LoadHostLibrary() noexcept;
// The host window class whose windows create a control from the class id in their window text.
LPCWSTR HostWindowClass() noexcept;
// The control inside a host window (AtlAxGetControl), or null.
HRESULT GetHostedControl(HWND hostWindow, IUnknown** control) noexcept;
// Puts a control object made by the program into an empty host window (AtlAxAttachControl),
// initialised as the host initialises a control it creates itself. Fails for an object that is no
// embeddable control.
HRESULT AttachControl(IUnknown* control, HWND hostWindow) noexcept;
} // namespace ControlHost

} // namespace kelvo
