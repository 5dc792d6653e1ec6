// One argument of a call by DISPID (ControlWnd::PutProperty, ControlWnd::CallMethod).
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <string_view>

namespace kelvo {

// Owns what it holds, so a string lives exactly as long as the call that needs it.
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

} // namespace kelvo
