// Move-only owners for the Windows handles the program uses. Every GDI, COM, module and file
// handle has exactly one owner, so each has one cleanup path and none can leak or be freed twice.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <cstdint>
#include <utility>

namespace kelvo {

// The owner of one handle of type H, freed with Close. Invalid is the value that stands for no
// handle, as a number: 0 for most handles, -1 (INVALID_HANDLE_VALUE) for files.
template <typename H, auto Close, std::intptr_t Invalid = 0>
class UniqueHandle {
public:
    using Handle = H;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle h) noexcept : m_h(h) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : m_h(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    Handle get() const noexcept { return m_h; }
    explicit operator bool() const noexcept { return m_h != None(); }
    Handle release() noexcept { return std::exchange(m_h, None()); }
    void reset(Handle h = None()) noexcept {
        Handle old = std::exchange(m_h, h);
        if (old != None())
            Close(old);
    }

private:
    static Handle None() noexcept { return reinterpret_cast<Handle>(Invalid); }

    Handle m_h = None();
};

using UniqueBitmap = UniqueHandle<HBITMAP, &::DeleteObject>;
using UniqueBrush = UniqueHandle<HBRUSH, &::DeleteObject>;
using UniqueFont = UniqueHandle<HFONT, &::DeleteObject>;
using UniqueMemoryDc = UniqueHandle<HDC, &::DeleteDC>;
using UniqueModule = UniqueHandle<HMODULE, &::FreeLibrary>;
using UniqueFile = UniqueHandle<HANDLE, &::CloseHandle, -1>;
// Events and threads, which stand for none with 0 rather than -1.
using UniqueKernelObject = UniqueHandle<HANDLE, &::CloseHandle>;
using UniqueGlobal = UniqueHandle<HGLOBAL, &::GlobalFree>;
using UniqueHook = UniqueHandle<HHOOK, &::UnhookWindowsHookEx>;
using UniqueMenu = UniqueHandle<HMENU, &::DestroyMenu>;

// A 32-bit top-down DIB section of width × height: the layout per-pixel-alpha windows take, and
// one that keeps the alpha channel a device bitmap may drop. *bits receives its pixels.
inline UniqueBitmap CreatePixelSection(HDC hdc, int width, int height, void** bits) noexcept {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    *bits = nullptr;
    return UniqueBitmap(::CreateDIBSection(hdc, &info, DIB_RGB_COLORS, bits, nullptr, 0));
}

// A device context borrowed from a window with GetDC (its client area) or GetWindowDC (the whole
// window, frame included), given back with ReleaseDC.
class WindowDc {
public:
    enum class Area { Client, Whole };
    explicit WindowDc(HWND hwnd, Area area = Area::Client) noexcept
        : m_hwnd(hwnd), m_hdc(area == Area::Whole ? ::GetWindowDC(hwnd) : ::GetDC(hwnd)) {}
    ~WindowDc() {
        if (m_hdc)
            ::ReleaseDC(m_hwnd, m_hdc);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const noexcept { return m_hdc; }
    explicit operator bool() const noexcept { return m_hdc != nullptr; }

private:
    HWND m_hwnd;
    HDC m_hdc;
};

// The paint device context of one WM_PAINT, between BeginPaint and EndPaint.
class PaintDc {
public:
    explicit PaintDc(HWND hwnd) noexcept : m_hwnd(hwnd), m_hdc(::BeginPaint(hwnd, &m_ps)) {}
    ~PaintDc() { ::EndPaint(m_hwnd, &m_ps); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    HDC get() const noexcept { return m_hdc; }
    const PAINTSTRUCT& paint() const noexcept { return m_ps; }

private:
    HWND m_hwnd;
    PAINTSTRUCT m_ps{};
    HDC m_hdc;
};

// Selects an object into a device context for one scope and puts the previous one back.
class SelectedObject {
public:
    SelectedObject(HDC hdc, HGDIOBJ obj) noexcept
        : m_hdc(hdc), m_old(obj ? ::SelectObject(hdc, obj) : nullptr) {}
    ~SelectedObject() {
        if (m_old)
            ::SelectObject(m_hdc, m_old);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC m_hdc;
    HGDIOBJ m_old;
};

// An owning COM interface pointer.
template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    explicit ComPtr(T* p, bool addRef = true) noexcept : m_p(p) {
        if (m_p && addRef)
            m_p->AddRef();
    }
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            m_p = std::exchange(other.m_p, nullptr);
        }
        return *this;
    }

    T* Get() const noexcept { return m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }
    // For out-parameters: releases what is held and hands out the slot.
    T** ReleaseAndGetAddressOf() noexcept {
        Reset();
        return &m_p;
    }
    T* Detach() noexcept { return std::exchange(m_p, nullptr); }
    void Reset() noexcept {
        if (T* p = std::exchange(m_p, nullptr))
            p->Release();
    }
    template <typename U>
    HRESULT As(ComPtr<U>& out) const noexcept {
        if (!m_p)
            return E_POINTER;
        return m_p->QueryInterface(__uuidof(U), reinterpret_cast<void**>(out.ReleaseAndGetAddressOf()));
    }
    HRESULT QueryFrom(IUnknown* from, REFIID iid) noexcept {
        Reset();
        if (!from)
            return E_POINTER;
        return from->QueryInterface(iid, reinterpret_cast<void**>(&m_p));
    }

private:
    T* m_p = nullptr;
};

// OLE for the thread; undone only if this object's initialisation succeeded.
class OleSession {
public:
    OleSession() noexcept : m_ok(SUCCEEDED(::OleInitialize(nullptr))) {}
    ~OleSession() {
        if (m_ok)
            ::OleUninitialize();
    }
    OleSession(const OleSession&) = delete;
    OleSession& operator=(const OleSession&) = delete;
    bool Succeeded() const noexcept { return m_ok; }

private:
    bool m_ok;
};

// A BSTR with one owner.
class UniqueBstr {
public:
    UniqueBstr() noexcept = default;
    explicit UniqueBstr(const wchar_t* text) noexcept : m_b(::SysAllocString(text)) {}
    ~UniqueBstr() { ::SysFreeString(m_b); }
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    UniqueBstr(UniqueBstr&& other) noexcept : m_b(std::exchange(other.m_b, nullptr)) {}
    BSTR get() const noexcept { return m_b; }
    BSTR* out() noexcept {
        ::SysFreeString(m_b);
        m_b = nullptr;
        return &m_b;
    }

private:
    BSTR m_b = nullptr;
};

// A VARIANT that is cleared when it goes out of scope.
class UniqueVariant {
public:
    UniqueVariant() noexcept { ::VariantInit(&m_v); }
    ~UniqueVariant() { ::VariantClear(&m_v); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    VARIANT* get() noexcept { return &m_v; }
    const VARIANT* get() const noexcept { return &m_v; }

private:
    VARIANT m_v;
};

} // namespace kelvo
