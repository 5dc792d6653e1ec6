#include "update/win/UpdateProgressWindow.h"

#include "framework/CatchLog.h"
#include "framework/Text.h"

#include <commctrl.h>

#include <utility>

namespace kelvo {

namespace {

// One job on a thread of its own, joined when this goes; nothing the job throws leaves the thread.
class WorkerThread {
public:
    explicit WorkerThread(std::function<void()> job) : m_job(std::move(job)) {
        m_hThread.reset(::CreateThread(nullptr, 0, &Main, this, 0, nullptr));
    }
    ~WorkerThread() { Join(); }
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;

    // Nothing when no thread could be made; the job has not run then.
    HANDLE Handle() const noexcept { return m_hThread.get(); }
    void Join() noexcept {
        if (m_hThread)
            ::WaitForSingleObject(m_hThread.get(), INFINITE);
        m_hThread.reset();
    }

private:
    static DWORD WINAPI Main(void* param) noexcept {
        try {
            static_cast<WorkerThread*>(param)->m_job();
        } catch (...) {
            KELVO_LOG_CAUGHT();
        }
        return 0;
    }

    std::function<void()> m_job;
    UniqueKernelObject m_hThread;
};

} // namespace

UpdateProgressWindow::~UpdateProgressWindow() {
    if (m_hWnd)
        DestroyWindow();
}

bool UpdateProgressWindow::Run(HWND owner, const Download& download) {
    if (m_hWnd)
        DestroyWindow();
    m_hOwner = owner;
    m_progress = UpdateProgress();
    m_pRelay = std::make_unique<DownloadProgressRelay>();
    m_hStop.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    bool complete = false;
    {
        WorkerThread worker([&] { complete = download(*m_pRelay, m_hStop.get()); });
        HANDLE thread = worker.Handle();
        if (!thread) {
            // No thread to be had: the download holds this one, as it does without the window.
            complete = download(*m_pRelay, m_hStop.get());
        }
        m_bQuitting = false;
        while (thread) {
            const DWORD woke = ::MsgWaitForMultipleObjectsEx(
                1, &thread, static_cast<DWORD>(UpdateProgress::kRedrawInterval.count()),
                m_bQuitting ? 0 : QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            if (woke == WAIT_OBJECT_0 || woke == WAIT_FAILED)
                break;
            if (!m_bQuitting)
                PumpMessages();
            Poll();
        }
    }
    m_progress.Finish(complete);
    if (m_hWnd)
        DestroyWindow();
    m_pRelay.reset();
    m_hStop.reset();
    return complete;
}

void UpdateProgressWindow::Cancel() {
    m_progress.Cancel();
    if (m_progress.State() != UpdateProgressState::Cancelled || !m_pRelay)
        return;
    m_pRelay->Stop();
    if (m_hStop)
        ::SetEvent(m_hStop.get());
}

void UpdateProgressWindow::Poll() {
    const std::chrono::milliseconds now = SteadyNow();
    if (m_progress.State() == UpdateProgressState::Idle) {
        const std::optional<std::optional<std::uint64_t>> started = m_pRelay->Started();
        if (!started)
            return;
        m_progress.Start(*started, now);
        // A quit request that came before the body stops it now.
        if (m_bQuitting)
            Cancel();
        else
            Show();
    }
    m_progress.Received(m_pRelay->Received(), now);
    if (m_hWnd && m_progress.TakeRedraw(now))
        Redraw();
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
            m_bQuitting = true;
            Cancel();
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (!WalkPreTranslateTree(root, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

} // namespace kelvo
