#include "login/CExplorer1.h"

BOOL CExplorer1::PreTranslateMessage(MSG* pMsg) {
    if (pMsg->message == WM_RBUTTONDOWN || pMsg->message == WM_RBUTTONDBLCLK)
        return TRUE;
    return CWnd::PreTranslateMessage(pMsg);
}
