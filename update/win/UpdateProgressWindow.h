// The progress window of the new executable's download: "正在更新", a bar, the line of bytes and
// rate, and "取消". Owned by the login dialog and centred on the frame (its owner's owner). The
// download runs on a worker thread while this thread waits for it and handles its messages, so
// every window stays alive; the window reads the download's count on a timer, and Cancel, Escape
// and the close button stop it, even in a read the server never answers.
#pragma once

#include "framework/CDialog.h"
#include "framework/Handles.h"
#include "res/resource.h"
#include "update/core/DownloadProgressRelay.h"
#include "update/core/UpdateProgress.h"

#include <functional>
#include <memory>

namespace kelvo {

class UpdateProgressWindow final : public CDialog {
public:
    enum { IDD = IDD_UPDATE_PROGRESS };
    // One download, run on the worker thread: it tells relay of the body and asks it before each
    // read, and stops waiting for the server once stop (a manual-reset event) is set.
    using Download = std::function<bool(DownloadObserver& relay, HANDLE stop)>;

    UpdateProgressWindow() noexcept : CDialog(IDD) {}
    ~UpdateProgressWindow() override;

    // Runs download to its end while this thread's messages are handled; the window shows, owned
    // by owner, once the body arrives, and goes when the download returns. Its result.
    bool Run(HWND owner, const Download& download);
    // A running download stops (the frame's close button too); nothing otherwise.
    void Cancel();
    const UpdateProgress& Progress() const noexcept { return m_progress; }

protected:
    // "取消", Escape and the close button; the window stays until the download has returned.
    void OnCancel() override { Cancel(); }
    void OnOK() override {}

private:
    // Takes the download's news: shows the window at the body's start, redraws when it is due.
    void Poll();
    void Show();
    void Redraw();
    // Dispatches what is queued for the thread, through the same pre-translation as the frame's
    // modal loop. A quit request stops the download and is left for that loop: nothing more is
    // dispatched until the download has returned.
    void PumpMessages();

    HWND m_hOwner = nullptr;
    UpdateProgress m_progress;
    // Per download; shared with the worker thread, which ends before they go.
    std::unique_ptr<DownloadProgressRelay> m_pRelay;
    UniqueKernelObject m_hStop;
    bool m_bQuitting = false;
};

} // namespace kelvo
