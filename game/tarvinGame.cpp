#include "game/tarvinGame.h"

tarvinGame::tarvinGame(CWnd* pParent) : CDialog(IDD, pParent) {}
