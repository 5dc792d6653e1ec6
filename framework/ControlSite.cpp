#include "framework/ControlSite.h"

#include "framework/CatchLog.h"
#include "framework/ControlHost.h"

#include <olectl.h>

#include <vector>

namespace kelvo {

namespace {

// The object that the control's connection point calls: forwards each event to the target for as
// long as the target is connected.
class EventSink final : public IDispatch {
public:
    EventSink(ControlEventTarget* target, ControlSite* site, UINT controlId, REFIID eventsIid) noexcept
        : m_target(target), m_site(site), m_controlId(controlId), m_eventsIid(eventsIid) {}

    // Events reach the target no more; the site still counts them while it lives.
    void Disconnect() noexcept { m_target = nullptr; }
    void Forget() noexcept {
        m_target = nullptr;
        m_site = nullptr;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == m_eventsIid) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++m_refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG refs = --m_refs;
        if (refs == 0)
            delete this;
        return refs;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count)
            *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        if (result)
            ::VariantInit(result);
        if (!m_target || !params)
            return S_OK;
        // Keep this object alive while the handler runs, and the site with the control's
        // references: the handler may delete the wrapper, release the site and destroy the host
        // window, all of which must wait until the control has got its event back.
        AddRef();
        ControlSite* site = m_site;
        if (site)
            site->Enter();
        try {
            m_target->OnControlEvent(m_controlId, dispid, params);
        } catch (...) {
            KELVO_LOG_CAUGHT();
            // Nothing thrown may cross into the control.
        }
        if (site)
            site->Leave();
        Release();
        return S_OK;
    }

private:
    ~EventSink() = default;

    ULONG m_refs = 1;
    ControlEventTarget* m_target;
    ControlSite* m_site;
    UINT m_controlId;
    IID m_eventsIid;
};

// Sites retired while their control was busy, until it is not. Never destroyed: one left at the
// end of the process is not released after OLE has gone.
std::vector<std::unique_ptr<ControlSite>>& RetiredSites() {
    thread_local auto* sites = new std::vector<std::unique_ptr<ControlSite>>();
    return *sites;
}
thread_local UINT_PTR t_retireTimer = 0;

} // namespace

ControlSite::~ControlSite() {
    Release();
}

HRESULT ControlSite::Attach(HWND hostWindow, REFIID eventsIid, ControlEventTarget* eventTarget) {
    HRESULT hr = ControlHost::GetHostedControl(hostWindow, m_control.ReleaseAndGetAddressOf());
    if (FAILED(hr) || !m_control)
        return FAILED(hr) ? hr : E_NOINTERFACE;
    m_dispatch.QueryFrom(m_control.Get(), IID_IDispatch);
    if (eventsIid == IID_NULL)
        return S_OK;
    ComPtr<IConnectionPointContainer> container;
    hr = container.QueryFrom(m_control.Get(), IID_IConnectionPointContainer);
    if (SUCCEEDED(hr) && !container)
        hr = E_NOINTERFACE;
    if (SUCCEEDED(hr))
        hr = container->FindConnectionPoint(eventsIid, m_connection.ReleaseAndGetAddressOf());
    if (SUCCEEDED(hr) && !m_connection)
        hr = CONNECT_E_NOCONNECTION;
    if (FAILED(hr)) {
        Release();
        return hr;
    }
    ComPtr<IDispatch> sink(new EventSink(eventTarget, this, m_controlId, eventsIid), false);
    hr = m_connection->Advise(sink.Get(), &m_cookie);
    if (FAILED(hr)) {
        static_cast<EventSink*>(sink.Get())->Forget();
        m_cookie = 0;
        Release();
        return hr;
    }
    m_sink = std::move(sink);
    return S_OK;
}

void ControlSite::Release() noexcept {
    if (m_connection && m_cookie)
        m_connection->Unadvise(m_cookie);
    m_cookie = 0;
    if (m_sink)
        static_cast<EventSink*>(m_sink.Get())->Forget();
    m_sink.Reset();
    m_connection.Reset();
    m_dispatch.Reset();
    m_control.Reset();
}

void ControlSite::DisconnectEvents() noexcept {
    if (m_sink)
        static_cast<EventSink*>(m_sink.Get())->Disconnect();
}

void ControlSite::Retire(std::unique_ptr<ControlSite> site, HWND hostWindow) noexcept {
    if (!site->m_busy) {
        // The control goes first, while its host window still exists.
        site.reset();
        if (hostWindow)
            ::DestroyWindow(hostWindow);
        return;
    }
    site->DisconnectEvents();
    if (hostWindow) {
        // Out of the way of the player and of its parent's destruction, which would take it along.
        ::ShowWindow(hostWindow, SW_HIDE);
        ::SetParent(hostWindow, HWND_MESSAGE);
    }
    site->m_retired = true;
    site->m_retiredHost = hostWindow;
    try {
        RetiredSites().push_back(std::move(site));
    } catch (...) {
        KELVO_LOG_CAUGHT();
        // Without memory for the list the control is kept for the rest of the process instead.
        (void)site.release();
    }
}

void ControlSite::Leave() noexcept {
    // The teardown runs from the message loop, once the control's own code has returned too.
    if (--m_busy == 0 && m_retired && !t_retireTimer)
        t_retireTimer = ::SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &ControlSite::FinishRetired);
}

void CALLBACK ControlSite::FinishRetired(HWND, UINT, UINT_PTR timer, DWORD) noexcept {
    ::KillTimer(nullptr, timer);
    t_retireTimer = 0;
    ReleaseRetiredSites(false);
}

void ControlSite::ReleaseRetired() noexcept {
    if (t_retireTimer) {
        ::KillTimer(nullptr, t_retireTimer);
        t_retireTimer = 0;
    }
    // A control may retire another as it goes; each round must leave fewer.
    for (std::size_t left = RetiredSites().size(); left != 0;) {
        ReleaseRetiredSites(true);
        const std::size_t now = RetiredSites().size();
        if (now >= left)
            break;
        left = now;
    }
}

void ControlSite::ReleaseRetiredSites(bool busyToo) noexcept {
    auto& sites = RetiredSites();
    // Moved out first: a control may raise events, even start another retirement, as it goes.
    std::vector<std::unique_ptr<ControlSite>> idle;
    try {
        for (auto it = sites.begin(); it != sites.end();) {
            if ((*it)->m_busy && !busyToo) {
                ++it;
                continue;
            }
            idle.push_back(std::move(*it));
            it = sites.erase(it);
        }
    } catch (...) {
        KELVO_LOG_CAUGHT();
        // Without memory for the list, what was moved out goes now and the rest stays retired.
    }
    for (auto& site : idle) {
        const HWND host = site->m_retiredHost;
        site.reset();
        if (host && ::IsWindow(host))
            ::DestroyWindow(host);
    }
}

HRESULT ControlSite::TranslateAccelerator(MSG* pMsg) noexcept {
    if (!m_control)
        return S_FALSE;
    ComPtr<IOleInPlaceActiveObject> active;
    if (FAILED(active.QueryFrom(m_control.Get(), IID_IOleInPlaceActiveObject)) || !active)
        return S_FALSE;
    Enter();
    const HRESULT hr = active->TranslateAccelerator(pMsg);
    Leave();
    return hr;
}

} // namespace kelvo
