#include "framework/CWinApp.h"

#include "framework/ControlHost.h"
#include "framework/ControlSite.h"

#include <objbase.h>
#include <shlobj.h>

namespace kelvo {

namespace {
CWinApp* g_pApp = nullptr;
}

CWinApp::CWinApp() noexcept {
    g_pApp = this;
    m_hInstance = ::GetModuleHandleW(nullptr);
}

CWinApp::~CWinApp() {
    if (g_pApp == this)
        g_pApp = nullptr;
}

BOOL CWinApp::InitInstance() {
    if (m_dwRestartManagerSupportFlags & AFX_RESTART_MANAGER_SUPPORT_RESTART) {
        // Restart only: the same program with the same (empty) command line.
        ::RegisterApplicationRestart(L"", 0);
    }
    return TRUE;
}

int CWinApp::ExitInstance() {
    return m_nExitCode;
}

int CWinApp::Run() {
    MSG msg;
    for (;;) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        HWND hwndStop = m_pMainWnd ? m_pMainWnd->m_hWnd : nullptr;
        if (!CWnd::WalkPreTranslateTree(hwndStop, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    m_nExitCode = static_cast<int>(msg.wParam);
    ControlSite::ReleaseRetired();
    return ExitInstance();
}

CWinApp* AfxGetApp() noexcept {
    return g_pApp;
}

HINSTANCE AfxGetResourceHandle() noexcept {
    return g_pApp && g_pApp->m_hInstance ? g_pApp->m_hInstance : ::GetModuleHandleW(nullptr);
}

HICON AfxLoadIcon(UINT id) noexcept {
    return static_cast<HICON>(::LoadImageW(AfxGetResourceHandle(), MAKEINTRESOURCEW(id), IMAGE_ICON, 0, 0,
                                           LR_DEFAULTSIZE | LR_SHARED));
}

std::wstring AfxGetAppName() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return L"kelvo";
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const auto slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const auto dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos)
        name.resize(dot);
    return name;
}

int AfxMessageBox(LPCWSTR text, UINT type) {
    HWND owner = nullptr;
    if (CWinApp* app = AfxGetApp(); app && app->m_pMainWnd && app->m_pMainWnd->m_hWnd)
        owner = ::GetLastActivePopup(app->m_pMainWnd->m_hWnd);
    if ((type & MB_ICONMASK) == 0)
        type |= MB_ICONEXCLAMATION;
    const std::wstring caption = AfxGetAppName();
    return ::MessageBoxW(owner, text, caption.c_str(), type);
}

void AfxEnableControlContainer() {
    ControlHost::Initialize();
}

int AfxWinMain(HINSTANCE hInstance) {
    CWinApp* app = AfxGetApp();
    if (!app)
        return -1;
    app->m_hInstance = hInstance;
    if (!app->InitInstance()) {
        // The run ended (the main window's modal run, for a program without a loop of its own):
        // controls still waiting for their release go now, while OLE is there.
        ControlSite::ReleaseRetired();
        return app->ExitInstance();
    }
    return app->Run();
}

CShellManager::CShellManager() noexcept {
    IMalloc* pMalloc = nullptr;
    if (SUCCEEDED(::SHGetMalloc(&pMalloc)))
        m_pMalloc = pMalloc;
}

CShellManager::~CShellManager() {
    if (m_pMalloc)
        m_pMalloc->Release();
}

} // namespace kelvo
