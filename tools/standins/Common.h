// Shared plumbing of the stand-in controls: module life count, a small COM pointer, text helpers.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <string>
#include <utility>

// AddRef and Release of an object that deletes itself with its last reference; the class holds
// the count as `LONG m_refs = 1;`.
#define STANDIN_REFERENCE_COUNT                                                                              \
    ULONG STDMETHODCALLTYPE AddRef() override {                                                              \
        return static_cast<ULONG>(::InterlockedIncrement(&m_refs));                                          \
    }                                                                                                        \
    ULONG STDMETHODCALLTYPE Release() override {                                                             \
        const LONG n = ::InterlockedDecrement(&m_refs);                                                      \
        if (n == 0)                                                                                          \
            delete this;                                                                                     \
        return static_cast<ULONG>(n);                                                                        \
    }

namespace standins {

// Live objects and server locks; DllCanUnloadNow answers from both.
void ObjectCreated();
void ObjectDestroyed();
void LockServer(bool lock);
bool CanUnload();
HINSTANCE ModuleInstance();

// Owns one reference to a COM interface.
template <typename T>
class Ref {
public:
    Ref() = default;
    Ref(T* p) : m_p(p) { // NOLINT: implicit on purpose, it adds a reference
        if (m_p)
            m_p->AddRef();
    }
    Ref(const Ref& other) : Ref(other.m_p) {}
    Ref(Ref&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    Ref& operator=(Ref other) noexcept {
        std::swap(m_p, other.m_p);
        return *this;
    }
    ~Ref() {
        if (m_p)
            m_p->Release();
    }
    // Takes over a reference the caller already holds.
    static Ref Adopt(T* p) {
        Ref r;
        r.m_p = p;
        return r;
    }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    T** put() {
        *this = Ref();
        return &m_p;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }
    T* detach() { return std::exchange(m_p, nullptr); }

private:
    T* m_p = nullptr;
};

// Counts the object in the module's life for as long as it exists.
class ModuleObject {
public:
    ModuleObject() { ObjectCreated(); }
    ModuleObject(const ModuleObject&) = delete;
    ModuleObject& operator=(const ModuleObject&) = delete;
    ~ModuleObject() { ObjectDestroyed(); }
};

// The first installed face that has Chinese glyphs, so that the views show Chinese text.
const wchar_t* PageFontFace();

std::string ToUtf8(const std::wstring& text);
std::wstring FromCodePage(const std::string& bytes, UINT codePage);
std::wstring GuidString(REFGUID guid);
BSTR MakeBstr(const std::wstring& text);

// Copies a string out of a variant of any string-convertible type, by reference or not.
bool VariantText(const VARIANT* v, std::wstring& text);

} // namespace standins
