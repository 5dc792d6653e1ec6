// The game window: a resizable window with a self-drawn frame that hosts the game.
#pragma once

#include "framework/CDialog.h"

class tarvinGame : public CDialog {
public:
    enum { IDD = 131 };

    explicit tarvinGame(CWnd* pParent = nullptr);
};
