// The progress window of the new executable's download: "正在更新", a bar, the line of bytes and
// rate, and "取消". Owned by the login dialog and centred on the frame (its owner's owner). It is the
// download's observer: between two reads it hands the count to UpdateProgress, and redraws and pumps
// the thread's messages when that says so (the pump at least every 10 ms), so that every window stays
// alive while the body arrives; Cancel, Escape and the close button stop the download at the read
// after the pump that handled them.
#pragma once

#include "framework/CDialog.h"
#include "res/resource.h"
#include "update/core/DownloadFlow.h"
#include "update/core/UpdateProgress.h"

namespace kelvo {

class UpdateProgressWindow final : public CDialog, public DownloadObserver {
public:
    enum { IDD = IDD_UPDATE_PROGRESS };

    UpdateProgressWindow() noexcept : CDialog(IDD) {}
    ~UpdateProgressWindow() override;

    // One download: the window shows, owned by owner, once the server answers with the body.
    void Begin(HWND owner);
    // The download has returned: the window goes.
    void End(bool complete);
    // A running download stops at its next read (the frame's close button); nothing otherwise.
    void Cancel() { m_progress.Cancel(); }
    const UpdateProgress& Progress() const noexcept { return m_progress; }

    void BodyStarted(std::optional<std::uint64_t> announced) override;
    bool Continue(std::uint64_t received) override;

protected:
    // "取消", Escape and the close button; the window stays until the download has returned.
    void OnCancel() override { Cancel(); }
    void OnOK() override {}

private:
    void Show();
    void Redraw();
    // Dispatches what is queued for the thread, through the same pre-translation as the frame's
    // modal loop; a quit request stops the download and is left for that loop.
    void PumpMessages();

    HWND m_hOwner = nullptr;
    UpdateProgress m_progress;
};

} // namespace kelvo
