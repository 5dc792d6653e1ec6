// Per-class event-sink maps: one visible table per window class that names, for each event of
// each control it parents, the member that handles it. An event not found in a class's table is
// looked up in its base class's table, and one found nowhere is dropped.
#pragma once

#include "framework/ControlEventTarget.h"

#include <cstddef>
#include <iterator>
#include <string>

namespace kelvo {

// One entry of an event-sink map: an event of one control, by control id and DISPID.
struct EventSinkEntry {
    UINT controlId;
    DISPID dispid;
    void (*handler)(ControlEventTarget& owner, DISPPARAMS* params);
};

struct EventSinkMap {
    const EventSinkMap* (*base)();
    const EventSinkEntry* entries;
    std::size_t count;
};

// Hands the event to the first entry of map, or of its bases, for the control id and DISPID.
void DispatchControlEvent(const EventSinkMap* map, ControlEventTarget& owner, UINT controlId, DISPID dispid,
                          DISPPARAMS* params);

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
    {id, dispid, [](ControlEventTarget& w, DISPPARAMS* p) { static_cast<ThisClass&>(w).memberFn(p); }},
// void fn(IDispatch*, VARIANT*): an event with a dispatch pointer and a variant pointer.
#define ON_EVENT_DISPATCH_PVARIANT(id, dispid, memberFn)                                                     \
    {id, dispid, [](ControlEventTarget& w, DISPPARAMS* p) {                                                  \
         if (p->cArgs < 2)                                                                                   \
             return;                                                                                         \
         static_cast<ThisClass&>(w).memberFn(EventArgDispatch(KELVO_EVENT_ARG(p, 0)),                        \
                                             EventArgVariantPointer(KELVO_EVENT_ARG(p, 1)));                 \
     }},
// void fn(BSTR): an event with one string.
#define ON_EVENT_BSTR(id, dispid, memberFn)                                                                  \
    {id, dispid, [](ControlEventTarget& w, DISPPARAMS* p) {                                                  \
         if (p->cArgs < 1)                                                                                   \
             return;                                                                                         \
         static_cast<ThisClass&>(w).memberFn(EventArgBstr(KELVO_EVENT_ARG(p, 0)));                           \
     }},
// void fn(const std::wstring&): an event with one string, copied (a null string arrives empty).
#define ON_EVENT_WSTRING(id, dispid, memberFn)                                                               \
    {id, dispid, [](ControlEventTarget& w, DISPPARAMS* p) {                                                  \
         if (p->cArgs < 1)                                                                                   \
             return;                                                                                         \
         static_cast<ThisClass&>(w).memberFn(EventArgString(KELVO_EVENT_ARG(p, 0)));                         \
     }},
// void fn(long): an event with one number.
#define ON_EVENT_LONG(id, dispid, memberFn)                                                                  \
    {id, dispid, [](ControlEventTarget& w, DISPPARAMS* p) {                                                  \
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

} // namespace kelvo
