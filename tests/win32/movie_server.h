// The loopback server answering every request with one movie script for the Flash stand-in.
#pragma once

#include "loopback_server.h"

#include <mutex>
#include <string>

namespace movietest {

class MovieServer {
public:
    explicit MovieServer(std::string script) : m_script(std::move(script)) {}
    // The resource host of a game query: the server's root with a trailing slash.
    std::wstring Root() const { return m_server.Url(L"/"); }
    // The script served from the next request on.
    void SetScript(std::string script) {
        const std::lock_guard lock(m_mutex);
        m_script = std::move(script);
    }
    std::size_t Requests() { return m_server.requests().size(); }

private:
    std::string Script() {
        const std::lock_guard lock(m_mutex);
        return m_script;
    }

    std::mutex m_mutex;
    std::string m_script;
    LoopbackServer m_server{[this](SOCKET s, const std::string&) {
        LoopbackServer::Send(
            s, LoopbackServer::Reply("200 OK", Script(), "Content-Type: text/plain; charset=utf-8\r\n"));
    }};
};

} // namespace movietest
