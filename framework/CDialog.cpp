#include "framework/CDialog.h"

#include "framework/CWinApp.h"
#include "framework/ControlWnd.h"

namespace kelvo {

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_MESSAGE(WM_INITDIALOG, HandleInitDialog)
ON_COMMAND(IDOK, OnOK)
ON_COMMAND(IDCANCEL, OnCancel)
ON_WM_CLOSE()
END_MESSAGE_MAP()

const EventSinkMap* CDialog::GetThisEventSinkMap() {
    static const EventSinkEntry entries[] = {{0, 0, nullptr}};
    static const EventSinkMap map{nullptr, entries, 0};
    return &map;
}

const EventSinkMap* CDialog::GetEventSinkMap() const {
    return GetThisEventSinkMap();
}

void CDialog::OnControlEvent(UINT controlId, DISPID dispid, DISPPARAMS* params) {
    DispatchControlEvent(GetEventSinkMap(), *this, controlId, dispid, params);
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) noexcept
    : m_pParentWnd(pParentWnd), m_nIDTemplate(nIDTemplate) {}

INT_PTR CALLBACK CDialog::DialogProc(HWND, UINT, WPARAM, LPARAM) noexcept {
    return FALSE;
}

LRESULT CDialog::HandleInitDialog(WPARAM, LPARAM) {
    return OnInitDialog();
}

BOOL CDialog::OnInitDialog() {
    return TRUE;
}

void CDialog::OnOK() {
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::OnClose() {
    OnCancel();
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    if (m_hWnd)
        return FALSE;
    if (pParentWnd)
        m_pParentWnd = pParentWnd;
    m_nIDTemplate = nIDTemplate;
    HookWindowCreate(this);
    HWND hwnd = ::CreateDialogParamW(AfxGetResourceHandle(), MAKEINTRESOURCEW(nIDTemplate),
                                     m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr, &CDialog::DialogProc, 0);
    UnhookWindowCreate();
    // A creation refused before the first message (a creation hook) leaves the object bound to a
    // handle that was never a window; it must look uncreated, so that a later Create can run.
    if (!hwnd) {
        Unbind();
        return FALSE;
    }
    return m_hWnd == hwnd;
}

INT_PTR CDialog::DoModal() {
    HWND hwndOwner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    const bool disableOwner = hwndOwner && ::IsWindowEnabled(hwndOwner);
    if (disableOwner)
        ::EnableWindow(hwndOwner, FALSE);

    m_bModal = true;
    m_bContinueModal = true;
    m_nModalResult = -1;
    if (Create(m_nIDTemplate, m_pParentWnd)) {
        if (m_bContinueModal)
            ShowWindow(SW_SHOWNORMAL);
        RunModalLoop();
    }
    if (m_hWnd) {
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    }
    if (disableOwner) {
        ::EnableWindow(hwndOwner, TRUE);
        ::SetActiveWindow(hwndOwner);
    }
    DestroyWindow();
    m_bModal = false;
    return m_nModalResult;
}

void CDialog::RunModalLoop() {
    MSG msg;
    while (m_bContinueModal) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1)
            break;
        if (got == 0) {
            // Leave the quit request for the loop that owns the thread.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!WalkPreTranslateTree(m_hWnd, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

void CDialog::EndDialog(int nResult) {
    if (m_bModal) {
        m_nModalResult = nResult;
        m_bContinueModal = false;
        // Wake the modal loop if it is waiting for a message.
        PostMessageW(WM_NULL);
        return;
    }
    if (m_hWnd)
        ::EndDialog(m_hWnd, nResult);
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg) {
    const UINT m = pMsg->message;
    const bool input = (m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST);
    if (!input || !m_hWnd)
        return FALSE;
    if (m >= WM_KEYFIRST && m <= WM_KEYLAST) {
        // Keys for a hosted control go to its in-place active object first, so that the control
        // handles them as it would in its own application (Tab, Enter, arrows, clipboard keys).
        for (HWND hwnd = pMsg->hwnd; hwnd && hwnd != m_hWnd; hwnd = ::GetAncestor(hwnd, GA_PARENT)) {
            if (!(::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD))
                break;
            if (ControlSite* site = ControlWnd::SiteOf(hwnd)) {
                if (site->TranslateAccelerator(pMsg) == S_OK)
                    return TRUE;
                break;
            }
        }
    }
    return ::IsDialogMessageW(m_hWnd, pMsg);
}

} // namespace kelvo
