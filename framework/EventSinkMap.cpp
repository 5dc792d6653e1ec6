#include "framework/EventSinkMap.h"

namespace kelvo {

namespace {

VARIANT* Deref(VARIANT* v) noexcept {
    if (v && v->vt == (VT_VARIANT | VT_BYREF))
        return v->pvarVal;
    return v;
}

} // namespace

void DispatchControlEvent(const EventSinkMap* map, ControlEventTarget& owner, UINT controlId, DISPID dispid,
                          DISPPARAMS* params) {
    for (; map; map = map->base ? map->base() : nullptr) {
        for (std::size_t i = 0; i < map->count; ++i) {
            const EventSinkEntry& entry = map->entries[i];
            if (entry.controlId == controlId && entry.dispid == dispid) {
                entry.handler(owner, params);
                return;
            }
        }
    }
}

IDispatch* EventArgDispatch(VARIANT* v) noexcept {
    v = Deref(v);
    if (!v)
        return nullptr;
    if (v->vt == VT_DISPATCH)
        return v->pdispVal;
    if (v->vt == (VT_DISPATCH | VT_BYREF))
        return v->ppdispVal ? *v->ppdispVal : nullptr;
    return nullptr;
}

VARIANT* EventArgVariantPointer(VARIANT* v) noexcept {
    return Deref(v);
}

BSTR EventArgBstr(VARIANT* v) noexcept {
    v = Deref(v);
    if (!v)
        return nullptr;
    if (v->vt == VT_BSTR)
        return v->bstrVal;
    if (v->vt == (VT_BSTR | VT_BYREF))
        return v->pbstrVal ? *v->pbstrVal : nullptr;
    return nullptr;
}

std::wstring EventArgString(VARIANT* v) {
    const BSTR text = EventArgBstr(v);
    return text ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
}

long EventArgLong(VARIANT* v) noexcept {
    v = Deref(v);
    if (!v)
        return 0;
    switch (v->vt) {
    case VT_I4:
        return v->lVal;
    case VT_I4 | VT_BYREF:
        return v->plVal ? *v->plVal : 0;
    case VT_I2:
        return v->iVal;
    case VT_INT:
        return v->intVal;
    default:
        return 0;
    }
}

} // namespace kelvo
