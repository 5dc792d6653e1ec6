// Test-only: the login dialog's windows and re-entry address, for the Windows tests through this
// friend. Nothing in the launcher includes it.
#pragma once

#include "login/win/CtarvinDlg.h"

#include <string>

namespace kelvo {

struct LoginDialogProbe {
    static CExplorer1& Browser(CtarvinDlg& d) { return d.m_browser; }
    static tarvinGame& Game(CtarvinDlg& d) { return d.m_game; }
    static std::wstring& ReentryUrl(CtarvinDlg& d) { return d.m_strReentryUrl; }
};

} // namespace kelvo
