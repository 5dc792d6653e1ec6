#include "framework/DispatchArg.h"

#include <oleauto.h>

namespace kelvo {

DispatchArg::DispatchArg() noexcept {
    ::VariantInit(&m_v);
}

DispatchArg::DispatchArg(DispatchArg&& other) noexcept : m_v(other.m_v) {
    ::VariantInit(&other.m_v);
}

DispatchArg::~DispatchArg() {
    ::VariantClear(&m_v);
}

DispatchArg DispatchArg::Bool(bool value) noexcept {
    DispatchArg arg;
    arg.m_v.vt = VT_BOOL;
    arg.m_v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return arg;
}

DispatchArg DispatchArg::Long(long value) noexcept {
    DispatchArg arg;
    arg.m_v.vt = VT_I4;
    arg.m_v.lVal = value;
    return arg;
}

DispatchArg DispatchArg::String(std::wstring_view text) noexcept {
    DispatchArg arg;
    arg.m_v.vt = VT_BSTR;
    arg.m_v.bstrVal = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return arg;
}

DispatchArg DispatchArg::VariantRef(VARIANT* target) noexcept {
    DispatchArg arg;
    arg.m_v.vt = VT_VARIANT | VT_BYREF;
    arg.m_v.pvarVal = target;
    return arg;
}

} // namespace kelvo
