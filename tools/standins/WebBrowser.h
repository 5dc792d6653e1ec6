// Stand-in for the web browser control under its real class id: in-place activation in an ActiveX
// host, Navigate (DISPID 104) and Document (DISPID 203) through IDispatch, DocumentComplete
// (DISPID 259) to DWebBrowserEvents2 sinks, and a simple clickable view of the page.
#pragma once

#include <windows.h>

namespace standins {

HRESULT CreateWebBrowser(REFIID iid, void** out);

// Window classes of the module; unregistered when the module is unloaded.
void UnregisterWebBrowserClasses();

} // namespace standins
