#include "update/win/UpdateProgressWindow.h"

#include "framework/Text.h"

#include <commctrl.h>

namespace kelvo {

UpdateProgressWindow::~UpdateProgressWindow() {
    if (m_hWnd)
        DestroyWindow();
}

void UpdateProgressWindow::Begin(HWND owner) {
    End(false);
    m_hOwner = owner;
    m_progress = UpdateProgress();
}

void UpdateProgressWindow::End(bool complete) {
    m_progress.Finish(complete);
    if (m_hWnd)
        DestroyWindow();
}

void UpdateProgressWindow::BodyStarted(std::optional<std::uint64_t> announced) {
    m_progress.Start(announced, SteadyNow());
    Show();
}

bool UpdateProgressWindow::Continue(std::uint64_t received) {
    const std::chrono::milliseconds now = SteadyNow();
    m_progress.Received(received, now);
    if (m_hWnd && m_progress.TakeRedraw(now))
        Redraw();
    if (m_progress.TakePump(now))
        PumpMessages();
    return m_progress.Running();
}

void UpdateProgressWindow::Show() {
    // A window that cannot be made (no template) leaves the download running without one.
    if (!Create(IDD, FromHandlePermanent(m_hOwner)))
        return;
    HWND bar = GetDlgItem(IDC_UPDATE_BAR);
    if (m_progress.Bar()) {
        ::SendMessageW(bar, PBM_SETRANGE32, 0, UpdateProgress::kBarRange);
    } else {
        // No length announced: the bar says that something happens, not how much.
        ::SetWindowLongPtrW(bar, GWL_STYLE, ::GetWindowLongPtrW(bar, GWL_STYLE) | PBS_MARQUEE);
        ::SendMessageW(bar, PBM_SETMARQUEE, TRUE, 30);
    }
    // Centred on the frame; on the owner itself when it has no owner of its own.
    HWND frame = m_hOwner ? ::GetWindow(m_hOwner, GW_OWNER) : nullptr;
    if (!frame)
        frame = m_hOwner;
    RECT outer{};
    RECT own{};
    ::GetWindowRect(m_hWnd, &own);
    if (frame && ::GetWindowRect(frame, &outer)) {
        const int width = own.right - own.left;
        const int height = own.bottom - own.top;
        ::SetWindowPos(m_hWnd, nullptr, outer.left + (outer.right - outer.left - width) / 2,
                       outer.top + (outer.bottom - outer.top - height) / 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    Redraw();
    ShowWindow(SW_SHOW);
}

void UpdateProgressWindow::Redraw() {
    if (const std::optional<int> fill = m_progress.Bar())
        ::SendMessageW(GetDlgItem(IDC_UPDATE_BAR), PBM_SETPOS, static_cast<WPARAM>(*fill), 0);
    ::SetDlgItemTextW(m_hWnd, IDC_UPDATE_TEXT, ToWide(m_progress.Text()).c_str());
}

void UpdateProgressWindow::PumpMessages() {
    // The frame is the root of the windows this loop serves, as it is of its own modal loop.
    HWND root = m_hOwner ? ::GetAncestor(m_hOwner, GA_ROOTOWNER) : m_hWnd;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            m_progress.Cancel();
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (!WalkPreTranslateTree(root, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        // Cancelled meanwhile: the rest waits for the loop the download returns to.
        if (!m_progress.Running())
            return;
    }
}

} // namespace kelvo
