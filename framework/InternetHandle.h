// Owner of one WinINet handle (session, connection or request). Move-only, so each handle is
// closed exactly once; members declared session, connection, request close in reverse order.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <utility>

class InternetHandle {
public:
    InternetHandle() noexcept = default;
    explicit InternetHandle(HINTERNET h) noexcept : m_h(h) {}
    ~InternetHandle() { reset(); }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    InternetHandle(InternetHandle&& other) noexcept : m_h(other.release()) {}
    InternetHandle& operator=(InternetHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    HINTERNET get() const noexcept { return m_h; }
    explicit operator bool() const noexcept { return m_h != nullptr; }
    HINTERNET release() noexcept { return std::exchange(m_h, nullptr); }
    void reset(HINTERNET h = nullptr) noexcept {
        if (HINTERNET old = std::exchange(m_h, h))
            ::InternetCloseHandle(old);
    }

private:
    HINTERNET m_h = nullptr;
};
