// Test-only: the game window's state, read and set by the Windows tests through this friend.
// Nothing in the launcher includes it.
#pragma once

#include "game/win/tarvinGame.h"

#include <string>

namespace kelvo {

struct GameProbe {
    static bool& Maximized(tarvinGame& g) { return g.m_bMaximized; }
    static RECT& RestorePlace(tarvinGame& g) { return g.m_rcRestore; }
    static GameCaption& Caption(tarvinGame& g) { return g.m_caption; }
    static FlashHost& Flash(tarvinGame& g) { return g.m_flash; }
    static const FlashHost& Flash(const tarvinGame& g) { return g.m_flash; }
    static std::wstring& LeavePrompt(tarvinGame& g) { return g.m_strLeaveGamePrompt; }
    static TrayIcon& Tray(tarvinGame& g) { return g.m_tray; }
};

} // namespace kelvo
