// What a control window holds while it hosts a control: the control's interfaces, the connection
// of its events to their target, and the count of its calls and events that are running.
#pragma once

#include "framework/ControlEventTarget.h"
#include "framework/Handles.h"

#include <ocidl.h>

#include <memory>

namespace kelvo {

class ControlSite {
public:
    explicit ControlSite(UINT controlId) noexcept : m_controlId(controlId) {}
    ~ControlSite();
    ControlSite(const ControlSite&) = delete;
    ControlSite& operator=(const ControlSite&) = delete;

    // Ends the hosting of a control whose wrapper or host window goes: at once when none of the
    // control's calls or events is running, otherwise once the last of them has returned. A
    // control released inside its own event would go on running on freed memory, so until then
    // the site keeps its references and the host window (hidden, moved out from under its parent;
    // null when it is being destroyed already), and the control's events reach no one.
    static void Retire(std::unique_ptr<ControlSite> site, HWND hostWindow) noexcept;
    // Ends the hosting of every control still retired: at the end of the program's run, when no
    // control's code can be on the stack any more and no message loop would run the release that
    // waits for one, while OLE is still there.
    static void ReleaseRetired() noexcept;

    // A call into the control or one of its events begins or ends: the control's code is on the
    // stack meanwhile.
    void Enter() noexcept { ++m_busy; }
    void Leave() noexcept;

    // Takes the control out of the host window and connects its events of eventsIid (none for
    // IID_NULL) to the target, which may be null: they are then connected and go to no one. Fails
    // when events are asked for and cannot be connected: a control whose events are lost would
    // otherwise look healthy. The failure is that of the step that failed.
    HRESULT Attach(HWND hostWindow, REFIID eventsIid, ControlEventTarget* eventTarget);
    // Disconnects the events and releases the control's interfaces, in that order.
    void Release() noexcept;

    IUnknown* Control() const noexcept { return m_control.Get(); }
    IDispatch* Dispatch() const noexcept { return m_dispatch.Get(); }
    UINT ControlId() const noexcept { return m_controlId; }
    // Offers a key message to the control's in-place active object; S_OK means it was used.
    HRESULT TranslateAccelerator(MSG* pMsg) noexcept;

private:
    static void CALLBACK FinishRetired(HWND, UINT, UINT_PTR timer, DWORD) noexcept;
    // Releases the retired sites whose control is idle, or all of them.
    static void ReleaseRetiredSites(bool busyToo) noexcept;
    void DisconnectEvents() noexcept;

    UINT m_controlId;
    int m_busy = 0;
    bool m_retired = false;
    HWND m_retiredHost = nullptr;
    ComPtr<IUnknown> m_control;
    ComPtr<IDispatch> m_dispatch;
    ComPtr<IConnectionPoint> m_connection;
    ComPtr<IDispatch> m_sink;
    DWORD m_cookie = 0;
};

} // namespace kelvo
