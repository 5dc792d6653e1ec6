// Test-only: the notification-area icon's record, read by the Windows tests through this friend.
// Nothing in the launcher includes it.
#pragma once

#include "game/win/TrayIcon.h"

namespace kelvo {

struct TrayIconProbe {
    static const NOTIFYICONDATAW& Record(const TrayIcon& t) { return t.m_nidTray; }
};

} // namespace kelvo
