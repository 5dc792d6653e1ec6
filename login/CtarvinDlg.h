// The login dialog: lies over the frame's content area and hosts the portal's web page.
#pragma once

#include "framework/CDialog.h"
#include "game/tarvinGame.h"
#include "login/CExplorer1.h"

#include <string>

class CtarvinDlg : public CDialogEx {
public:
    enum { IDD = 102 };

    explicit CtarvinDlg(CWnd* pParent = nullptr);

    CExplorer1 m_browser;
    tarvinGame m_game;
    std::wstring m_strReentryUrl;
};
