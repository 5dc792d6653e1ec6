// Wrapper of the web browser control that shows the portal's pages in the login dialog.
#pragma once

#include "framework/CWnd.h"

class CExplorer1 : public CWnd {
public:
    // Right-button presses and double-clicks never reach the page; everything else is dispatched.
    BOOL PreTranslateMessage(MSG* pMsg) override;
};
