#include "app/CtarvinApp.h"

#include "frame/win/bgDialog.h"

#include <commctrl.h>

#include <memory>

namespace kelvo {

CtarvinApp::CtarvinApp() noexcept {
    m_dwRestartManagerSupportFlags = AFX_RESTART_MANAGER_SUPPORT_RESTART;
}

BOOL CtarvinApp::InitInstance() {
    INITCOMMONCONTROLSEX icc{};
    icc.dwSize = sizeof(icc);
    icc.dwICC = 0xFF;
    ::InitCommonControlsEx(&icc);

    m_gdiplus.emplace();

    CWinApp::InitInstance();
    AfxEnableControlContainer();

    auto shellManager = std::make_unique<CShellManager>();

    auto frame = std::make_unique<bgDialog>();
    m_pMainWnd = frame.get();
    frame->DoModal();

    shellManager.reset();
    m_pMainWnd = nullptr;
    // Destroying the frame destroys the login dialog and the game window it owns.
    frame.reset();
    return FALSE;
}

int CtarvinApp::ExitInstance() {
    m_gdiplus.reset();
    return CWinApp::ExitInstance();
}

} // namespace kelvo
