// The application object and the process entry: one global instance per program, whose
// InitInstance runs the program. When InitInstance returns FALSE there is no message loop of the
// application's own and the process ends after ExitInstance.
#pragma once

#include "framework/CWnd.h"

#include <objidl.h>

#include <string>

namespace kelvo {

// Restart support flag word of the application object.
constexpr DWORD AFX_RESTART_MANAGER_SUPPORT_RESTART = 0x01;

class CWinApp {
public:
    CWinApp() noexcept;
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance();
    virtual int ExitInstance();
    // The application's message loop, for programs whose InitInstance returns TRUE.
    virtual int Run();

    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
    DWORD m_dwRestartManagerSupportFlags = 0;

private:
    int m_nExitCode = 0;
};

CWinApp* AfxGetApp() noexcept;
HINSTANCE AfxGetResourceHandle() noexcept;
// A shared icon of the program's resources at the system's default size; never destroyed.
HICON AfxLoadIcon(UINT id) noexcept;
// The program file's name without directory and extension ("kelvo" for kelvo.exe).
std::wstring AfxGetAppName();
// A message box owned by the main window's active popup, captioned with the application's name.
int AfxMessageBox(LPCWSTR text, UINT type = MB_OK);
// Prepares the thread for hosting ActiveX controls (OLE and the control host window class).
void AfxEnableControlContainer();

// Runs the application object: called by the process entry point.
int AfxWinMain(HINSTANCE hInstance);

// The shell manager of the application: holds the shell's task allocator while the program runs.
class CShellManager {
public:
    CShellManager() noexcept;
    ~CShellManager();
    CShellManager(const CShellManager&) = delete;
    CShellManager& operator=(const CShellManager&) = delete;

private:
    struct IMalloc* m_pMalloc = nullptr;
};

} // namespace kelvo
