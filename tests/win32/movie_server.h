// A one-route HTTP server for the Flash stand-in's movie scripts, shared by the Windows tests.
#pragma once

#include <windows.h>
#include <winsock2.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace movietest {

inline std::wstring FromUtf8(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                                        static_cast<int>(wide.size()));
    wide.resize(static_cast<std::size_t>(n > 0 ? n : 0));
    return wide;
}

template <typename Fn>
inline Fn Lookup(HMODULE module, const char* name) {
    return module ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(module, name)))
                  : nullptr;
}

// A one-route HTTP server on 127.0.0.1 that answers every GET with the movie script and keeps the
// paths asked for. Sockets are looked up at run time: the test program links no socket library.
class MovieServer {
public:
    explicit MovieServer(std::string script) : m_script(std::move(script)) {
        WSADATA data;
        m_startup(MAKEWORD(2, 2), &data);
        m_listen = m_socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = 0x0100007F;
        m_bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
        int len = sizeof(addr);
        m_getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ((addr.sin_port & 0xFF) << 8) | (addr.sin_port >> 8);
        m_listenFn(m_listen, 4);
        m_thread = std::thread([this] { Serve(); });
    }
    MovieServer(const MovieServer&) = delete;
    MovieServer& operator=(const MovieServer&) = delete;
    ~MovieServer() {
        m_close(m_listen);
        m_thread.join();
        m_cleanup();
    }
    // The resource host of a game query: the server's root with a trailing slash.
    std::wstring Root() const { return L"http://127.0.0.1:" + std::to_wstring(m_port) + L"/"; }
    std::atomic<int> requests{0};
    // The script served from the next request on.
    void SetScript(std::string script) {
        const std::lock_guard lock(m_mutex);
        m_script = std::move(script);
    }

private:
    void Serve() {
        for (;;) {
            const SOCKET s = m_accept(m_listen, nullptr, nullptr);
            if (s == INVALID_SOCKET)
                return;
            std::string request;
            char buffer[2048];
            while (request.find("\r\n\r\n") == std::string::npos) {
                const int n = m_recv(s, buffer, sizeof(buffer), 0);
                if (n <= 0)
                    break;
                request.append(buffer, static_cast<std::size_t>(n));
            }
            ++requests;
            std::string script;
            {
                const std::lock_guard lock(m_mutex);
                script = m_script;
            }
            const std::string reply =
                "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
                std::to_string(script.size()) + "\r\nConnection: close\r\n\r\n" + script;
            m_send(s, reply.data(), static_cast<int>(reply.size()), 0);
            m_shutdown(s, SD_SEND);
            m_close(s);
        }
    }

    HMODULE m_ws = ::LoadLibraryW(L"ws2_32.dll");
    decltype(&::WSAStartup) m_startup = Lookup<decltype(&::WSAStartup)>(m_ws, "WSAStartup");
    decltype(&::WSACleanup) m_cleanup = Lookup<decltype(&::WSACleanup)>(m_ws, "WSACleanup");
    decltype(&::socket) m_socket = Lookup<decltype(&::socket)>(m_ws, "socket");
    decltype(&::bind) m_bind = Lookup<decltype(&::bind)>(m_ws, "bind");
    decltype(&::getsockname) m_getsockname = Lookup<decltype(&::getsockname)>(m_ws, "getsockname");
    decltype(&::listen) m_listenFn = Lookup<decltype(&::listen)>(m_ws, "listen");
    decltype(&::accept) m_accept = Lookup<decltype(&::accept)>(m_ws, "accept");
    decltype(&::recv) m_recv = Lookup<decltype(&::recv)>(m_ws, "recv");
    decltype(&::send) m_send = Lookup<decltype(&::send)>(m_ws, "send");
    decltype(&::shutdown) m_shutdown = Lookup<decltype(&::shutdown)>(m_ws, "shutdown");
    decltype(&::closesocket) m_close = Lookup<decltype(&::closesocket)>(m_ws, "closesocket");
    std::mutex m_mutex;
    std::string m_script;
    SOCKET m_listen = INVALID_SOCKET;
    int m_port = 0;
    std::thread m_thread;
};

} // namespace movietest
