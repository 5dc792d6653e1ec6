#include "tools/portal/Portal.h"

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>

namespace kelvo::portal {

std::optional<Fault> ParseFault(const std::string& name) {
    static const std::pair<const char*, Fault> kNames[] = {
        {"manifest-404", Fault::Manifest404},
        {"manifest-500", Fault::Manifest500},
        {"manifest-hang", Fault::ManifestHang},
        {"hang", Fault::ManifestHang},
        {"exe-404", Fault::Exe404},
        {"exe-500", Fault::Exe500},
        {"exe-drop", Fault::ExeDrop},
        {"exe-short", Fault::ExeShort},
        {"exe-hang", Fault::ExeHang},
    };
    for (const auto& [text, fault] : kNames)
        if (name == text)
            return fault;
    return std::nullopt;
}

struct Portal::State {
    Options options;
    std::mutex mutex;
    std::condition_variable stopped;
    bool stopping = false;

    bool Has(Fault f) const { return options.faults.count(f) != 0; }

    std::string Host(const httplib::Request& req) const {
        if (!options.host.empty())
            return options.host;
        const std::string header = req.get_header_value("Host");
        return header.empty() ? "127.0.0.1:" + std::to_string(options.port) : header;
    }

    // Holds the request without an answer until the portal stops or the time is up.
    void Hang() {
        std::unique_lock lock(mutex);
        stopped.wait_for(lock, std::chrono::seconds(options.hangSeconds), [this] { return stopping; });
    }
};

namespace {

void Log(const httplib::Request& req) {
    static std::mutex mutex;
    const std::lock_guard lock(mutex);
    std::fprintf(stdout, "%s %s\n", req.method.c_str(), req.target.c_str());
    std::fflush(stdout);
}

std::string Page(const std::string& title, const std::string& body) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
           "</title></head>\n<body>\n" + body + "</body></html>\n";
}

// The server's game-entry address. "error" in the path marks it for the launcher; the launcher takes
// each value up to the next "&", so every parameter it reads is followed by another one. The movie's
// address is resourceHost + "GameLoader_" + mainVersion + ".swf".
std::string EntryAddress(const std::string& host, const std::string& serverId) {
    return "http://" + host + "/games/kelvo/enter/error.php?uid=1001&serverid=" + serverId +
           "&gameaddress=S" + serverId + "&mainVersion=1001&resourceHost=http://" + host +
           "/front_resource/kelvo/&client=2";
}

void Fail(httplib::Response& res, int status) {
    res.status = status;
    res.set_content(Page(std::to_string(status), "<p>" + std::to_string(status) + "</p>\n"), "text/html");
}

} // namespace

Portal::Portal(Options options) : m_state(std::make_unique<State>()) {
    m_state->options = std::move(options);
}

Portal::~Portal() = default;

void Portal::Stop() {
    {
        const std::lock_guard lock(m_state->mutex);
        m_state->stopping = true;
    }
    m_state->stopped.notify_all();
}

void Portal::Install(httplib::Server& server) {
    State& state = *m_state;

    server.set_pre_routing_handler([](const httplib::Request& req, httplib::Response&) {
        Log(req);
        return httplib::Server::HandlerResponse::Unhandled;
    });

    server.Get("/games/kelvo/dlq/", [&state](const httplib::Request& req, httplib::Response& res) {
        const std::string host = state.Host(req);
        res.set_content(
            Page("Kelvo - choose a server", "<p>Welcome to Kelvo. Choose a server to enter the game.</p>\n"
                                            "<p><a href=\"" +
                                                EntryAddress(host, "12") +
                                                "\">Server 12</a></p>\n"
                                                "<p><a href=\"" +
                                                EntryAddress(host, "13") + "\">Server 13</a></p>\n"),
            "text/html");
    });

    server.Get("/games/kelvo/enter/error.php", [](const httplib::Request& req, httplib::Response& res) {
        const std::string id = req.get_param_value("serverid");
        res.set_content(Page("Kelvo - server " + id, "<p>Entering server " + id + ".</p>\n"), "text/html");
    });

    server.Get("/games/dlq/togame.php", [&state](const httplib::Request& req, httplib::Response& res) {
        res.set_redirect(EntryAddress(state.Host(req), req.get_param_value("server_id")), 302);
    });

    const auto tab = [](const std::string& title, const std::string& text) {
        return [title, text](const httplib::Request&, httplib::Response& res) {
            res.set_content(Page(title, "<p>" + text + "</p>\n"), "text/html");
        };
    };
    server.Get("/kelvo", tab("Kelvo - news", "News and payment of the Kelvo demo."));
    server.Get("/forum-2205-1.html", tab("Kelvo - forum", "The Kelvo forum."));
    server.Get("/kf/", tab("Kelvo - customer service", "Kelvo customer service."));

    server.Get(kManifestRoute, [&state](const httplib::Request& req, httplib::Response& res) {
        if (state.Has(Fault::ManifestHang))
            return state.Hang();
        if (state.Has(Fault::Manifest404))
            return Fail(res, 404);
        if (state.Has(Fault::Manifest500))
            return Fail(res, 500);
        const std::string url = state.options.downloadUrl.empty() ? "http://" + state.Host(req) + kExeRoute
                                                                  : state.options.downloadUrl;
        res.set_content("[LoginUpdate]\r\nVersionId=" + std::to_string(state.options.updateVersion) +
                            "\r\ndownloadUrl=" + url + "\r\n",
                        "application/octet-stream");
    });

    server.Get(kExeRoute, [&state](const httplib::Request&, httplib::Response& res) {
        if (state.Has(Fault::ExeHang))
            return state.Hang();
        if (state.Has(Fault::Exe404))
            return Fail(res, 404);
        if (state.Has(Fault::Exe500))
            return Fail(res, 500);
        auto file = std::make_shared<std::ifstream>(state.options.updateExe, std::ios::binary);
        if (state.options.updateExe.empty() || !*file)
            return Fail(res, 404);
        file->seekg(0, std::ios::end);
        const auto size = static_cast<std::size_t>(file->tellg());
        // Streamed in blocks, so a large file costs no memory here either.
        const std::size_t cut = state.Has(Fault::ExeDrop) ? size / 3 : size;
        const std::size_t announced = state.Has(Fault::ExeShort) ? size + 4096 : size;
        res.set_content_provider(
            announced, "application/octet-stream",
            [file, cut](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                if (offset >= cut)
                    return false; // closes the connection before the announced end
                char block[65536];
                const std::size_t want = std::min({length, sizeof block, cut - offset});
                file->seekg(static_cast<std::streamoff>(offset));
                file->read(block, static_cast<std::streamsize>(want));
                const auto got = static_cast<std::size_t>(file->gcount());
                return got != 0 && sink.write(block, got);
            });
    });

    if (!state.options.movies.empty())
        server.set_mount_point("/front_resource/kelvo/", state.options.movies);
}

} // namespace kelvo::portal
