// An HTTP server on 127.0.0.1 for the Windows tests: each test writes the answers byte for byte
// in a handler, and the request heads are kept for it to read.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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

    // An answer with its length, `extra` header lines and the body.
    static std::string Reply(const std::string& status, const std::string& body,
                             const std::string& extra = "") {
        return "HTTP/1.0 " + status + "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n" + extra +
               "\r\n" + body;
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
        for (;;) {
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
