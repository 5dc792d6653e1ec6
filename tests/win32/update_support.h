// Test support for the self-update under Wine: the loopback server, and an answerer for the message
// boxes the download shows.
#pragma once

#include "loopback_server.h"
#include "test_support.h"

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace update_test {

// Presses OK on every message box of this process while it lives, keeping caption and text.
class MessageBoxAnswerer {
public:
    struct Box {
        std::wstring caption;
        std::wstring text;
    };

    MessageBoxAnswerer() : m_thread([this] { Watch(); }) {}
    ~MessageBoxAnswerer() {
        m_stop = true;
        m_thread.join();
    }
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    std::vector<Box> boxes() {
        const std::lock_guard lock(m_mutex);
        return m_boxes;
    }

private:
    static BOOL CALLBACK Visit(HWND hwnd, LPARAM param) {
        auto* self = reinterpret_cast<MessageBoxAnswerer*>(param);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hwnd, &pid);
        wchar_t className[16] = {};
        ::GetClassNameW(hwnd, className, 16);
        if (pid != ::GetCurrentProcessId() || std::wstring(className) != L"#32770" ||
            !::IsWindowVisible(hwnd))
            return TRUE;
        for (HWND seen : self->m_answered)
            if (seen == hwnd)
                return TRUE;
        wchar_t caption[256] = {};
        wchar_t text[1024] = {};
        ::GetWindowTextW(hwnd, caption, 256);
        ::GetDlgItemTextW(hwnd, 0xFFFF, text, 1024); // the message box's text control
        {
            const std::lock_guard lock(self->m_mutex);
            self->m_boxes.push_back({caption, text});
        }
        self->m_answered.push_back(hwnd);
        ::PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
        return TRUE;
    }
    void Watch() {
        while (!m_stop) {
            ::EnumWindows(Visit, reinterpret_cast<LPARAM>(this));
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::vector<Box> m_boxes;
    std::vector<HWND> m_answered;
    std::thread m_thread;
};

} // namespace update_test
