// Test support for the self-update under Wine: an HTTP server on loopback whose answers each test
// writes byte for byte, and an answerer for the message boxes the download shows.
#pragma once

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

inline void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file =
        ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    ::CloseHandle(file);
}

class LoopbackServer {
public:
    // Called per connection with the request head; the connection is closed when it returns.
    using Handler = std::function<void(SOCKET, const std::string&)>;

    explicit LoopbackServer(Handler handler) : m_handler(std::move(handler)) {
        WSADATA data;
        ::WSAStartup(MAKEWORD(2, 2), &data);
        m_listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 8);
        int size = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~LoopbackServer() {
        ::closesocket(m_listener);
        m_thread.join();
        ::WSACleanup();
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    int port() const { return m_port; }
    std::wstring Url(const std::wstring& path) const {
        return L"http://127.0.0.1:" + std::to_wstring(m_port) + path;
    }
    std::vector<std::string> requests() {
        const std::lock_guard lock(m_mutex);
        return m_requests;
    }

    static void Send(SOCKET s, const std::string& bytes) {
        std::size_t sent = 0;
        while (sent < bytes.size()) {
            const int n = ::send(s, bytes.data() + sent, static_cast<int>(bytes.size() - sent), 0);
            if (n <= 0)
                return;
            sent += static_cast<std::size_t>(n);
        }
    }
    // Makes the close that follows a reset instead of an orderly end.
    static void ResetOnClose(SOCKET s) {
        linger abort{1, 0};
        ::setsockopt(s, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof abort);
    }

private:
    void Serve() {
        for (int served = 0; served < 16; ++served) {
            const SOCKET s = ::accept(m_listener, nullptr, nullptr);
            if (s == INVALID_SOCKET)
                return;
            DWORD timeout = 5000;
            ::setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
            std::string head;
            char buffer[4096];
            while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
                const int n = ::recv(s, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                head.append(buffer, static_cast<std::size_t>(n));
                if (static_cast<unsigned char>(head[0]) == 0x16)
                    break; // a TLS handshake: no HTTP head will follow
            }
            {
                const std::lock_guard lock(m_mutex);
                m_requests.push_back(head);
            }
            m_handler(s, head);
            ::closesocket(s);
        }
    }

    Handler m_handler;
    SOCKET m_listener = INVALID_SOCKET;
    int m_port = 0;
    std::mutex m_mutex;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

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
