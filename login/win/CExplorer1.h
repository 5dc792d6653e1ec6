// Wrapper of the web browser control that shows the portal's pages in the login dialog.
#pragma once

#include "framework/ControlWnd.h"

namespace kelvo {

class CExplorer1 : public ControlWnd {
public:
    // Creates the control as a child window with the given style, rectangle, parent and id.
    virtual BOOL Create(LPCWSTR windowName, DWORD style, const RECT& rect, CWnd* pParentWnd, UINT id);
    // Right-button presses and double-clicks never reach the page; everything else is dispatched.
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // Starts loading an address; completion arrives later as the DocumentComplete event.
    void Navigate(LPCWSTR url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData, VARIANT* headers);
    // The current document, or null.
    ComPtr<IDispatch> get_Document();
};

// The web browser control's class and its event interface.
extern const CLSID CLSID_KelvoWebBrowser;
extern const IID DIID_KelvoWebBrowserEvents2;

} // namespace kelvo
