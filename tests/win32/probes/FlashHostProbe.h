// Test-only: the Flash host's state, read and set by the Windows tests through this friend.
// Nothing in the launcher includes it.
#pragma once

#include "flash/win/FlashHost.h"

#include <memory>

namespace kelvo {

struct FlashHostProbe {
    static std::unique_ptr<CShockwaveflash1>& FlashCtrl(FlashHost& h) { return h.m_pFlashCtrl; }
    static const std::unique_ptr<CShockwaveflash1>& FlashCtrl(const FlashHost& h) { return h.m_pFlashCtrl; }
    // The query as the control's FlashVars buffer keeps it (at most kGameQueryCapacity - 1 units).
    static const wchar_t* QueryBuffer(const FlashHost& h) { return h.m_szGameQuery; }
    static bool& ReadyLayoutDone(FlashHost& h) { return h.m_bReadyLayoutDone; }
    static std::unique_ptr<FlashNotice>& Notice(FlashHost& h) { return h.m_pFlashNotice; }
};

} // namespace kelvo
