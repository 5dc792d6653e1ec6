// The embedding every stand-in control shares: the interfaces an ActiveX host asks for, in-place
// activation with a view window of the control's own, one connection point for the control's
// event interface, and a message-only work window that carries posted work, so that loads and
// scripted events never run inside a caller's call. A control adds its IDispatch members and
// what its view does.
#pragma once

#include <new>

#include "Common.h"

#include <ocidl.h>
#include <olectl.h>

#include <vector>

namespace standins {

class EventPoint final : public IConnectionPoint {
public:
    EventPoint(IUnknown* owner, REFIID iid) : m_owner(owner), m_iid(iid) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid != IID_IUnknown && iid != IID_IConnectionPoint)
            return E_NOINTERFACE;
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return m_owner->AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return m_owner->Release(); }

    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* iid) override {
        if (!iid)
            return E_POINTER;
        *iid = m_iid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** out) override {
        return m_owner->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(out));
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* sink, DWORD* cookie) override {
        if (!sink || !cookie)
            return E_POINTER;
        Ref<IDispatch> dispatch;
        if (FAILED(sink->QueryInterface(m_iid, dispatch.putVoid())) &&
            FAILED(sink->QueryInterface(IID_IDispatch, dispatch.putVoid())))
            return CONNECT_E_CANNOTCONNECT;
        *cookie = m_next++;
        m_sinks.emplace_back(*cookie, dispatch);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        for (auto it = m_sinks.begin(); it != m_sinks.end(); ++it) {
            if (it->first == cookie) {
                m_sinks.erase(it);
                return S_OK;
            }
        }
        return CONNECT_E_NOCONNECTION;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    // A copy, so that a sink may unadvise while the event is being delivered.
    std::vector<Ref<IDispatch>> Sinks() const {
        std::vector<Ref<IDispatch>> sinks;
        for (const auto& entry : m_sinks)
            sinks.push_back(entry.second);
        return sinks;
    }
    void Clear() { m_sinks.clear(); }

private:
    IUnknown* m_owner;
    IID m_iid;
    std::vector<std::pair<DWORD, Ref<IDispatch>>> m_sinks;
    DWORD m_next = 1;
};

class ControlBase : public IDispatch,
                    public IOleObject,
                    public IOleInPlaceObject,
                    public IOleInPlaceActiveObject,
                    public IOleControl,
                    public IPersistStreamInit,
                    public IConnectionPointContainer,
                    private ModuleObject {
public:
    // viewClass and workClass are window class names of this module, registered on first use;
    // name goes into debug output.
    ControlBase(REFCLSID clsid, REFIID eventsIid, const wchar_t* viewClass, const wchar_t* workClass,
                const wchar_t* name);
    ControlBase(const ControlBase&) = delete;
    ControlBase& operator=(const ControlBase&) = delete;
    virtual ~ControlBase();

    // IUnknown. In the strict mode the object is not freed at its last release: it stays behind,
    // windows gone, and records every later call as a fault.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // IDispatch: the members come from the control.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count)
            *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }

    // IOleObject
    HRESULT STDMETHODCALLTYPE SetClientSite(IOleClientSite* site) override {
        if (!Live(L"SetClientSite"))
            return E_UNEXPECTED;
        m_site = site;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetClientSite(IOleClientSite** site) override {
        if (!site)
            return E_POINTER;
        *site = m_site.get();
        if (*site)
            (*site)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Close(DWORD) override {
        if (!Live(L"Close"))
            return E_UNEXPECTED;
        InPlaceDeactivate();
        m_site = Ref<IOleClientSite>();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetClipboardData(DWORD, IDataObject**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent,
                                     LPCRECT rect) override {
        if (!Live(L"DoVerb"))
            return E_UNEXPECTED;
        if (site && !m_site)
            m_site = site;
        switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_INPLACEACTIVATE:
        case OLEIVERB_UIACTIVATE: {
            const HRESULT hr = InPlaceActivate(parent, rect);
            if (FAILED(hr))
                return hr;
            if (verb == OLEIVERB_UIACTIVATE || verb == OLEIVERB_PRIMARY)
                UIActivate();
            return S_OK;
        }
        case OLEIVERB_HIDE:
            if (m_hwnd)
                ::ShowWindow(m_hwnd, SW_HIDE);
            return S_OK;
        default:
            return OLEOBJ_S_INVALIDVERB;
        }
    }
    HRESULT STDMETHODCALLTYPE EnumVerbs(IEnumOLEVERB**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Update() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE IsUpToDate() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetUserClassID(CLSID* clsid) override { return GetClassID(clsid); }
    HRESULT STDMETHODCALLTYPE GetUserType(DWORD, LPOLESTR*) override { return OLE_S_USEREG; }
    HRESULT STDMETHODCALLTYPE SetExtent(DWORD aspect, SIZEL* size) override {
        if (aspect != DVASPECT_CONTENT)
            return DV_E_DVASPECT;
        if (!size)
            return E_POINTER;
        m_extent = *size;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetExtent(DWORD aspect, SIZEL* size) override {
        if (aspect != DVASPECT_CONTENT)
            return DV_E_DVASPECT;
        if (!size)
            return E_POINTER;
        *size = m_extent;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Advise(IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD) override { return OLE_E_NOCONNECTION; }
    HRESULT STDMETHODCALLTYPE EnumAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE GetMiscStatus(DWORD, DWORD* status) override {
        if (!status)
            return E_POINTER;
        *status = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
                  OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleWindow
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* hwnd) override {
        if (!hwnd)
            return E_POINTER;
        *hwnd = m_hwnd;
        return m_hwnd ? S_OK : E_FAIL;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    // IOleInPlaceObject
    HRESULT STDMETHODCALLTYPE InPlaceDeactivate() override {
        if (!Live(L"InPlaceDeactivate"))
            return E_UNEXPECTED;
        if (!m_inPlace)
            return S_OK;
        UIDeactivate();
        m_inPlace = false;
        if (m_hwnd)
            ::DestroyWindow(m_hwnd);
        m_hwnd = nullptr;
        OnViewGone();
        if (m_inPlaceSite)
            m_inPlaceSite->OnInPlaceDeactivate();
        m_frame = Ref<IOleInPlaceFrame>();
        m_uiWindow = Ref<IOleInPlaceUIWindow>();
        m_inPlaceSite = Ref<IOleInPlaceSite>();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UIDeactivate() override {
        if (!m_uiActive)
            return S_OK;
        m_uiActive = false;
        if (m_uiWindow)
            m_uiWindow->SetActiveObject(nullptr, nullptr);
        if (m_frame)
            m_frame->SetActiveObject(nullptr, nullptr);
        if (m_inPlaceSite)
            m_inPlaceSite->OnUIDeactivate(FALSE);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetObjectRects(LPCRECT position, LPCRECT) override {
        if (!Live(L"SetObjectRects"))
            return E_UNEXPECTED;
        if (!position)
            return E_POINTER;
        if (m_hwnd)
            ::MoveWindow(m_hwnd, position->left, position->top, position->right - position->left,
                         position->bottom - position->top, TRUE);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReactivateAndUndo() override { return INPLACE_E_NOTUNDOABLE; }

    // IOleInPlaceActiveObject
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg) override {
        // The views use no accelerators: keys are left for normal dispatch to the view window.
        if (!Live(L"TranslateAccelerator"))
            return E_UNEXPECTED;
        if (msg)
            OnAcceleratorOffered(*msg);
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override { return S_OK; }

    // IOleControl
    HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* info) override {
        if (!info)
            return E_POINTER;
        info->hAccel = nullptr;
        info->cAccel = 0;
        info->dwFlags = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnMnemonic(MSG*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL) override { return S_OK; }

    // IPersistStreamInit: nothing is persisted.
    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
        if (!clsid)
            return E_POINTER;
        *clsid = m_clsid;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Load(LPSTREAM) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Save(LPSTREAM, BOOL) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE InitNew() override { return S_OK; }

    // IConnectionPointContainer
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** out) override {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (iid != m_eventsIid)
            return CONNECT_E_NOCONNECTION;
        *out = &m_events;
        m_events.AddRef();
        return S_OK;
    }

    static void UnregisterClasses(const wchar_t* viewClass, const wchar_t* workClass);

protected:
    // The clickable place of the view at a client point, or -1; the view shows the hand over it.
    virtual int HitAt(int, int) const { return -1; }
    // The view's background and its picture, drawn off screen so that a change shows without flicker.
    virtual COLORREF Background() const = 0;
    virtual void Draw(HWND hwnd, HDC dc, const RECT& client) = 0;
    // Messages of the view window after the shared handling (mouse buttons recorded, painting, UI
    // activation on focus); true when handled, with the result in `result`.
    virtual bool OnViewMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    // Messages of the work window (posted with PostWork, and its timers); true when handled.
    virtual bool OnWorkMessage(UINT, WPARAM, LPARAM) { return false; }
    // A key message the host offers to TranslateAccelerator.
    virtual void OnAcceleratorOffered(const MSG&) {}
    // The view window is gone (in-place deactivation).
    virtual void OnViewGone() {}
    // The last reference is gone; the object is freed next, or stays behind in the strict mode.
    virtual void OnFinalRelease() {}

    // False, with a fault recorded, once the last reference is gone: the host called a control it
    // had released.
    bool Live(const wchar_t* call);
    // A reference that keeps this object alive while its own code runs on, in the kind mode only:
    // the strict mode, like some real controls, leaves that to the host.
    Ref<IDispatch> HoldSelf() {
        return m_strict ? Ref<IDispatch>() : Ref<IDispatch>(static_cast<IDispatch*>(this));
    }
    // One line "fault: NAME: WHAT" in the record; the tests fail on any.
    void Fault(const std::wstring& what) const;

    HWND View() const { return m_hwnd; }
    HWND Work() const { return m_work; }
    bool PostWork(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return m_work && ::PostMessageW(m_work, message, wParam, lParam);
    }
    void UIActivate();
    void Repaint() const {
        if (m_hwnd)
            ::InvalidateRect(m_hwnd, nullptr, TRUE);
    }
    // Calls every connected sink; the list is copied first, so that a sink may leave meanwhile.
    void RaiseEvent(DISPID id, DISPPARAMS& params);

    LONG m_refs = 1;

private:
    void DestroyWindows();

    static ControlBase* Owner(HWND hwnd, UINT message, LPARAM lParam, HWND ControlBase::*window);
    static LRESULT CALLBACK ViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void PaintView(HWND hwnd);
    static LRESULT CALLBACK WorkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void RegisterClasses() const;
    HRESULT InPlaceActivate(HWND parent, LPCRECT rect);

    CLSID m_clsid;
    IID m_eventsIid;
    const wchar_t* m_viewClass;
    const wchar_t* m_workClass;
    const wchar_t* m_name;
    EventPoint m_events;
    Ref<IOleClientSite> m_site;
    Ref<IOleInPlaceSite> m_inPlaceSite;
    Ref<IOleInPlaceFrame> m_frame;
    Ref<IOleInPlaceUIWindow> m_uiWindow;
    bool m_inPlace = false;
    bool m_uiActive = false;
    HWND m_hwnd = nullptr;
    HWND m_work = nullptr;
    SIZEL m_extent{};
    // KELVO_STANDIN_MODE=kind keeps the control alive through its own events; anything else is strict.
    bool m_strict;
    bool m_released = false;
    int m_eventDepth = 0;
};

// The index of the first of a view's clickable places (each with a `rect`) holding a point, or -1.
template <class Places>
int HitIndex(const Places& places, int x, int y) {
    const POINT pt{x, y};
    for (std::size_t i = 0; i < places.size(); ++i)
        if (::PtInRect(&places[i].rect, pt))
            return static_cast<int>(i);
    return -1;
}

// A new control of class T answering for iid, as the class factory hands it out.
template <class T>
HRESULT CreateControl(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    auto* control = new (std::nothrow) T();
    if (!control)
        return E_OUTOFMEMORY;
    const HRESULT hr = control->QueryInterface(iid, out);
    control->Release();
    return hr;
}

} // namespace standins
