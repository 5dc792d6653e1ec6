// Test-only: the game window frame's state, read and set by the Windows tests through this friend.
// Nothing in the launcher includes it.
#pragma once

#include "game/win/GameCaption.h"

#include <string>

namespace kelvo {

struct GameCaptionProbe {
    static int BorderWidth(const GameCaption& c) { return c.m_nBorderWidth; }
    static int CaptionHeight(const GameCaption& c) { return c.m_nCaptionHeight; }
    static std::wstring& Title(GameCaption& c) { return c.m_strCaptionTitle; }
    static COLORREF TitleColour(const GameCaption& c) { return c.m_clrTitle; }
    static HFONT TitleFont(const GameCaption& c) { return c.m_fontTitle.get(); }
    static const RECT& ButtonRect(const GameCaption& c, std::size_t i) { return c.m_rcButton[i]; }
    static CaptionButtonStates& ButtonStates(GameCaption& c) { return c.m_nButtonState; }
    static bool& Pressed(GameCaption& c) { return c.m_bPressed; }
    static int& HotCode(GameCaption& c) { return c.m_nHotCode; }
};

} // namespace kelvo
