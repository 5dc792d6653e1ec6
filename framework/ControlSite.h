// ActiveX controls as child windows: a CWnd created with CreateControl hosts a control of a class
// id in the system's control host window (atl.dll), holds its IDispatch, calls it by DISPID, and
// connects its event connection point to the parent's event-sink map.
#pragma once

#include "framework/Handles.h"

#include <oaidl.h>
#include <ocidl.h>

#include <memory>
#include <string>
#include <string_view>

namespace kelvo {

class CWnd;

// One entry of an event-sink map: an event of one control, by control id and DISPID.
struct EventSinkEntry {
    UINT controlId;
    DISPID dispid;
    void (*handler)(CWnd& owner, DISPPARAMS* params);
};

struct EventSinkMap {
    const EventSinkMap* (*base)();
    const EventSinkEntry* entries;
    std::size_t count;
};

#define DECLARE_EVENTSINK_MAP()                                                                              \
protected:                                                                                                   \
    static const EventSinkMap* GetThisEventSinkMap();                                                        \
    const EventSinkMap* GetEventSinkMap() const override;

#define BEGIN_EVENTSINK_MAP(theClass, baseClass)                                                             \
    const EventSinkMap* theClass::GetEventSinkMap() const {                                                  \
        return GetThisEventSinkMap();                                                                        \
    }                                                                                                        \
    const EventSinkMap* theClass::GetThisEventSinkMap() {                                                    \
        using ThisClass = theClass;                                                                          \
        using TheBaseClass = baseClass;                                                                      \
        static const EventSinkEntry entries[] = {

#define END_EVENTSINK_MAP()                                                                                  \
    { 0, 0, nullptr }                                                                                        \
    }                                                                                                        \
    ;                                                                                                        \
    static const EventSinkMap map{&TheBaseClass::GetThisEventSinkMap, entries, std::size(entries) - 1};      \
    return &map;                                                                                             \
    }

// Event arguments arrive last to first in rgvarg.
#define KELVO_EVENT_ARG(params, i) (&(params)->rgvarg[(params)->cArgs - 1 - (i)])

// void fn(DISPPARAMS*): any event, arguments read by the handler.
#define ON_EVENT_PARAMS(id, dispid, memberFn)                                                                \
    {id, dispid, [](CWnd& w, DISPPARAMS* p) { static_cast<ThisClass&>(w).memberFn(p); }},
// void fn(IDispatch*, VARIANT*): an event with a dispatch pointer and a variant pointer.
#define ON_EVENT_DISPATCH_PVARIANT(id, dispid, memberFn)                                                     \
    {id, dispid, [](CWnd& w, DISPPARAMS* p) {                                                                \
         if (p->cArgs < 2)                                                                                   \
             return;                                                                                         \
         static_cast<ThisClass&>(w).memberFn(EventArgDispatch(KELVO_EVENT_ARG(p, 0)),                        \
                                             EventArgVariantPointer(KELVO_EVENT_ARG(p, 1)));                 \
     }},
// void fn(BSTR): an event with one string.
#define ON_EVENT_BSTR(id, dispid, memberFn)                                                                  \
    {id, dispid, [](CWnd& w, DISPPARAMS* p) {                                                                \
         if (p->cArgs < 1)                                                                                   \
             return;                                                                                         \
         static_cast<ThisClass&>(w).memberFn(EventArgBstr(KELVO_EVENT_ARG(p, 0)));                           \
     }},
// void fn(const std::wstring&): an event with one string, copied (a null string arrives empty).
#define ON_EVENT_WSTRING(id, dispid, memberFn)                                                               \
    {id, dispid, [](CWnd& w, DISPPARAMS* p) {                                                                \
         if (p->cArgs < 1)                                                                                   \
             return;                                                                                         \
         static_cast<ThisClass&>(w).memberFn(EventArgString(KELVO_EVENT_ARG(p, 0)));                         \
     }},
// void fn(long): an event with one number.
#define ON_EVENT_LONG(id, dispid, memberFn)                                                                  \
    {id, dispid, [](CWnd& w, DISPPARAMS* p) {                                                                \
         if (p->cArgs < 1)                                                                                   \
             return;                                                                                         \
         static_cast<ThisClass&>(w).memberFn(EventArgLong(KELVO_EVENT_ARG(p, 0)));                           \
     }},

// Argument readers that accept the value directly or by reference.
IDispatch* EventArgDispatch(VARIANT* v) noexcept;
VARIANT* EventArgVariantPointer(VARIANT* v) noexcept;
BSTR EventArgBstr(VARIANT* v) noexcept;
std::wstring EventArgString(VARIANT* v);
long EventArgLong(VARIANT* v) noexcept;

// One argument of a call by DISPID (CWnd::PutProperty, CWnd::CallMethod); owns what it holds, so a
// string lives exactly as long as the call that needs it.
class DispatchArg {
public:
    static DispatchArg Bool(bool value) noexcept;
    static DispatchArg Long(long value) noexcept;
    static DispatchArg String(std::wstring_view text) noexcept;
    // A by-reference variant; the target, which may be null, stays the caller's.
    static DispatchArg VariantRef(VARIANT* target) noexcept;

    DispatchArg(DispatchArg&& other) noexcept;
    DispatchArg& operator=(DispatchArg&&) = delete;
    DispatchArg(const DispatchArg&) = delete;
    DispatchArg& operator=(const DispatchArg&) = delete;
    ~DispatchArg();

    const VARIANTARG& Get() const noexcept { return m_v; }

private:
    DispatchArg() noexcept;
    VARIANTARG m_v;
};

// What a CWnd holds while it hosts a control.
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

    // Takes the control out of the host window and connects its events to the parent's map. Fails
    // when events are asked for and cannot be connected: a control whose events are lost would
    // otherwise look healthy. The failure is that of the step that failed.
    HRESULT Attach(HWND hostWindow, REFIID eventsIid, CWnd* eventOwner);
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
