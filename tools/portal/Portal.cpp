#include "tools/portal/Portal.h"

#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <atomic>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>
#include <vector>

namespace kelvo::portal {

std::optional<Fault> ParseFault(const std::string& name) {
    static const std::pair<const char*, Fault> kNames[] = {
        {"manifest-404", Fault::Manifest404},
        {"manifest-500", Fault::Manifest500},
        {"exe-404", Fault::Exe404},
        {"exe-500", Fault::Exe500},
        {"exe-drop", Fault::ExeDrop},
        {"exe-short", Fault::ExeShort},
        {"exe-html", Fault::ExeHtml},
        {"exe-cut", Fault::ExeCut},
        {"exe-other-arch", Fault::ExeOtherArch},
        {"exe-zeroes", Fault::ExeZeroes},
        {"hang", Fault::Hang},
        {"manifest-endless", Fault::ManifestEndless},
        {"exe-endless", Fault::ExeEndless},
        {"exe-trickle", Fault::ExeTrickle},
        {"exe-slow", Fault::ExeSlow},
    };
    for (const auto& [text, fault] : kNames)
        if (name == text)
            return fault;
    return std::nullopt;
}

struct Portal::State {
    Options options;
    std::atomic<int> reloadMovieLoads{0};

    bool Has(Fault f) const { return options.faults.count(f) != 0; }

    std::string Host(const httplib::Request& req) const {
        if (!options.host.empty())
            return options.host;
        const std::string header = req.get_header_value("Host");
        return header.empty() ? "127.0.0.1:" + std::to_string(options.port) : header;
    }
};

namespace {

void LogLine(const std::string& method, const std::string& target) {
    static std::mutex mutex;
    const std::lock_guard lock(mutex);
    std::fprintf(stdout, "%s %s\n", method.c_str(), target.c_str());
    std::fflush(stdout);
}

void Log(const httplib::Request& req) {
    LogLine(req.method, req.target);
}

std::string Page(const std::string& title, const std::string& body) {
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
           "</title></head>\n<body>\n" + body + "</body></html>\n";
}

// The server's game-entry address. "error" in the path marks it for the launcher; the launcher takes
// each value up to the next "&", so every parameter it reads is followed by another one. The movie's
// address is resourceHost + "GameLoader_" + mainVersion + ".swf".
std::string EntryAddress(const std::string& host, const std::string& resourceHost,
                         const std::string& serverId) {
    const std::string version = serverId == "13" ? "1002" : "1001";
    return "http://" + host + "/games/kelvo/enter/error.php?uid=1001&serverid=" + serverId +
           "&gameaddress=S" + serverId + "&mainVersion=" + version + "&resourceHost=http://" +
           (resourceHost.empty() ? host : resourceHost) + "/front_resource/kelvo/&client=2";
}

// The demo's loader movie: a script for the Flash stand-in (tools/standins/README.md).
const char kDemoMovie[] =
    "# Kelvo demo loader movie\n"
    "show Kelvo \xe6\xbc\x94\xe7\xa4\xba\xe5\x8a\xa0\xe8\xbd\xbd\xe5\x99\xa8 (demo loader)\n"
    "wait 400\n"
    "show Loading the game...\n"
    "wait 800\n"
    "show The game is ready. The buttons above call the game window.\n"
    "wait 1500\n"
    "show The movie sets its own leave question (setReloadTips).\n"
    "call <invoke name=\"setReloadTips\" returntype=\"xml\"><arguments><string>"
    "\xe6\x8f\x90\xe7\xa4\xba:"
    "\xe6\xbc\x94\xe7\xa4\xba\xe6\xb8\xb8\xe6\x88\x8f\xe8\xbf\x98\xe5\x9c\xa8\xe8\xbf\x9b\xe8\xa1\x8c, "
    "\xe7\xa1\xae\xe5\xae\x9a\xe8\xa6\x81\xe7\xa6\xbb\xe5\xbc\x80\xe5\x90\x97?"
    "</string></arguments></invoke>\n";

// The reload movie: three "reload" calls in quick succession, which give one reload 200 ms after
// the last. The reload enters the game again and so loads this movie again; from then on it only
// counts, so that the demo does not reload for ever.
const char kReloadMovieFirst[] =
    "# Kelvo reload demo\n"
    "show Reload demo: three reload calls in quick succession...\n"
    "wait 1500\n"
    "call <invoke name=\"reload\" returntype=\"xml\"><arguments></arguments></invoke>\n"
    "wait 50\n"
    "call <invoke name=\"reload\" returntype=\"xml\"><arguments></arguments></invoke>\n"
    "wait 50\n"
    "call <invoke name=\"reload\" returntype=\"xml\"><arguments></arguments></invoke>\n"
    "show ...sent; one reload follows, 200 ms after the last.\n";
const char kReloadMovieAgain[] = "# Kelvo reload demo, loaded again\n"
                                 "show Reload demo: loaded again by the one reload.\n";

void Fail(httplib::Response& res, int status) {
    res.status = status;
    res.set_content(Page(std::to_string(status), "<p>" + std::to_string(status) + "</p>\n"), "text/html");
}

} // namespace

Portal::Portal(Options options) : m_state(std::make_unique<State>()) {
    m_state->options = std::move(options);
}

Portal::~Portal() = default;

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
                                                EntryAddress(host, state.options.resourceHost, "12") +
                                                "\">Server 12</a></p>\n"
                                                "<p><a href=\"" +
                                                EntryAddress(host, state.options.resourceHost, "13") +
                                                "\">Server 13</a></p>\n"),
            "text/html");
    });

    server.Get("/games/kelvo/enter/error.php", [&state](const httplib::Request& req, httplib::Response& res) {
        // A slow portal: the launcher's timers, keys and clicks go on while the page loads.
        if (state.options.entryDelayMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(state.options.entryDelayMs));
        const std::string id = req.get_param_value("serverid");
        res.set_content(Page("Kelvo - server " + id, "<p>Entering server " + id + ".</p>\n"), "text/html");
    });

    server.Get("/games/dlq/togame.php", [&state](const httplib::Request& req, httplib::Response& res) {
        res.set_redirect(
            EntryAddress(state.Host(req), state.options.resourceHost, req.get_param_value("server_id")), 302);
    });

    const auto tab = [](const std::string& title, const std::string& text) {
        return [title, text](const httplib::Request&, httplib::Response& res) {
            res.set_content(Page(title, "<p>" + text + "</p>\n"), "text/html");
        };
    };
    server.Get("/kelvo", tab("Kelvo - news", "News and payment of the Kelvo demo."));
    server.Get("/forum-2205-1.html", tab("Kelvo - forum", "The Kelvo forum."));
    server.Get("/kf/", tab("Kelvo - customer service", "Kelvo customer service."));

    const auto serveManifest = [&state](const httplib::Request& req, httplib::Response& res) {
        if (state.Has(Fault::Manifest404))
            return Fail(res, 404);
        if (state.Has(Fault::Manifest500))
            return Fail(res, 500);
        const std::string url = state.options.downloadUrl.empty() ? "http://" + state.Host(req) + kExeRoute
                                                                  : state.options.downloadUrl;
        std::string manifest = "[LoginUpdate]\r\nVersionId=" + std::to_string(state.options.updateVersion) +
                               "\r\ndownloadUrl=" + url + "\r\n";
        if (!state.options.signature.empty())
            manifest += "Signature=" + state.options.signature + "\r\n";
        if (state.Has(Fault::ManifestEndless)) {
            // A valid manifest that goes on as comments for ever: only a size bound stops the reader.
            res.set_content_provider(
                "application/octet-stream", [manifest](std::size_t offset, httplib::DataSink& sink) {
                    if (offset == 0)
                        return sink.write(manifest.data(), manifest.size());
                    static const std::string kComment = ";" + std::string(1021, '-') + "\r\n";
                    return sink.write(kComment.data(), kComment.size());
                });
            return;
        }
        res.set_content(manifest, "application/octet-stream");
    };
    server.Get(kManifestRoute, serveManifest);
    server.Get(kManifest64Route, serveManifest);

    server.Get(kExeRoute, [&state](const httplib::Request&, httplib::Response& res) {
        if (state.Has(Fault::Exe404))
            return Fail(res, 404);
        if (state.Has(Fault::Exe500))
            return Fail(res, 500);
        if (state.Has(Fault::ExeHtml)) {
            res.set_content(
                Page("Network sign-in", "<p>Accept the terms of use to reach the internet.</p>\n"),
                "text/html");
            return;
        }
        auto file = std::make_shared<std::ifstream>(state.options.updateExe, std::ios::binary);
        if (state.options.updateExe.empty() || !*file)
            return Fail(res, 404);
        file->seekg(0, std::ios::end);
        const auto size = static_cast<std::size_t>(file->tellg());
        const bool zeroes = state.Has(Fault::ExeZeroes);
        // The machine field follows "PE\0\0" at the offset the DOS header names (0x3C).
        std::size_t machineAt = 0;
        if (state.Has(Fault::ExeOtherArch)) {
            unsigned char lfanew[4] = {};
            file->seekg(0x3C);
            file->read(reinterpret_cast<char*>(lfanew), 4);
            machineAt =
                (lfanew[0] | lfanew[1] << 8 | lfanew[2] << 16 | static_cast<std::size_t>(lfanew[3]) << 24) +
                4;
        }
        // Streamed in blocks, so a large file costs no memory here either.
        const bool cutShort = state.Has(Fault::ExeDrop) || state.Has(Fault::ExeCut);
        const std::size_t cut = cutShort ? size / 3 : size;
        const std::size_t announced = state.Has(Fault::ExeShort) ? size + 4096 : size;
        const auto read = [file, cut, zeroes, machineAt](std::size_t offset, std::size_t length,
                                                         httplib::DataSink& sink) {
            if (offset >= cut)
                return false; // closes the connection before the end
            char block[65536] = {};
            const std::size_t want = std::min({length, sizeof block, cut - offset});
            std::size_t got = want;
            if (!zeroes) {
                file->clear();
                file->seekg(static_cast<std::streamoff>(offset));
                file->read(block, static_cast<std::streamsize>(want));
                got = static_cast<std::size_t>(file->gcount());
            }
            if (machineAt != 0 && machineAt >= offset && machineAt + 1 < offset + got) {
                // i386 (0x014C) and AMD64 (0x8664) trade places.
                const bool amd64 = static_cast<unsigned char>(block[machineAt - offset]) == 0x64;
                block[machineAt - offset] = static_cast<char>(amd64 ? 0x4C : 0x64);
                block[machineAt - offset + 1] = static_cast<char>(amd64 ? 0x01 : 0x86);
            }
            return got != 0 && sink.write(block, got);
        };
        if (state.Has(Fault::ExeEndless)) {
            // The real file, then zeroes until the client gives up.
            res.set_content_provider("application/octet-stream",
                                     [read, size](std::size_t offset, httplib::DataSink& sink) {
                                         if (offset < size)
                                             return read(offset, size - offset, sink);
                                         static const char kZeroes[65536] = {};
                                         return sink.write(kZeroes, sizeof kZeroes);
                                     });
            return;
        }
        if (state.Has(Fault::ExeTrickle)) {
            // The whole length announced, one byte a second: no single wait is long enough for a
            // receive timeout.
            res.set_content_provider(size, "application/octet-stream",
                                     [read](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                                         std::this_thread::sleep_for(
                                             std::chrono::seconds(offset == 0 ? 0 : 1));
                                         return read(offset, 1, sink);
                                     });
            return;
        }
        if (state.Has(Fault::ExeSlow)) {
            // 10 kB every 100 ms: a line on which a launcher's download takes a while.
            res.set_content_provider(size, "application/octet-stream",
                                     [read](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
                                         if (offset != 0)
                                             std::this_thread::sleep_for(std::chrono::milliseconds(100));
                                         return read(offset, std::min<std::size_t>(length, 10000), sink);
                                     });
            return;
        }
        if (state.Has(Fault::ExeCut)) {
            // Without a length the body ends where the connection does: the client cannot tell.
            res.set_content_provider("application/octet-stream",
                                     [read, size](std::size_t offset, httplib::DataSink& sink) {
                                         return read(offset, size - offset, sink);
                                     });
            return;
        }
        res.set_content_provider(announced, "application/octet-stream", read);
    });

    server.Get(kMovieRoute, [&state](const httplib::Request&, httplib::Response& res) {
        if (state.options.movie.empty())
            return res.set_content(kDemoMovie, "text/plain; charset=utf-8");
        std::ifstream file(state.options.movie, std::ios::binary);
        if (!file)
            return Fail(res, 404);
        const std::string script((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        res.set_content(script, "text/plain; charset=utf-8");
    });

    server.Get(kReloadMovieRoute, [&state](const httplib::Request&, httplib::Response& res) {
        const bool first = state.reloadMovieLoads++ == 0;
        res.set_content(first ? kReloadMovieFirst : kReloadMovieAgain, "text/plain; charset=utf-8");
    });

    if (!state.options.movies.empty())
        server.set_mount_point("/front_resource/kelvo/", state.options.movies);
}

bool RunHangingServer(const Options& options, int stopFd) {
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    const int yes = 1;
    // As the HTTP server does, so that connections the previous server left closing do not block us.
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    ::setsockopt(listener, SOL_SOCKET, SO_REUSEPORT, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(options.port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, 16) != 0) {
        ::close(listener);
        return false;
    }
    struct Held {
        int fd;
        std::chrono::steady_clock::time_point until;
        std::string head;
        bool logged = false;
    };
    std::vector<Held> held;
    for (;;) {
        std::vector<pollfd> fds{{stopFd, POLLIN, 0}, {listener, POLLIN, 0}};
        for (const Held& h : held)
            fds.push_back({h.fd, POLLIN, 0});
        ::poll(fds.data(), fds.size(), 200);
        if (fds[0].revents != 0)
            break;
        if (fds[1].revents & POLLIN) {
            const int fd = ::accept(listener, nullptr, nullptr);
            if (fd >= 0)
                held.push_back(
                    {fd, std::chrono::steady_clock::now() + std::chrono::seconds(options.hangSeconds), {}});
        }
        const auto now = std::chrono::steady_clock::now();
        for (std::size_t i = 0; i < held.size(); ++i) {
            Held& h = held[i];
            bool closed = false;
            if (fds[i + 2].revents != 0) {
                char buffer[4096];
                const ssize_t n = ::read(h.fd, buffer, sizeof buffer);
                if (n <= 0)
                    closed = true;
                else if (!h.logged && h.head.size() < 8192)
                    h.head.append(buffer, static_cast<std::size_t>(n));
            }
            const auto eol = h.head.find("\r\n");
            if (!h.logged && eol != std::string::npos) {
                // "GET /path?query HTTP/1.0": logged like any other request.
                const std::string line = h.head.substr(0, eol);
                const auto first = line.find(' ');
                const auto last = line.rfind(' ');
                if (first != std::string::npos && last > first)
                    LogLine(line.substr(0, first), line.substr(first + 1, last - first - 1));
                h.logged = true;
            }
            if (closed || now >= h.until) {
                ::close(h.fd);
                h.fd = -1;
            }
        }
        std::erase_if(held, [](const Held& h) { return h.fd < 0; });
    }
    for (const Held& h : held)
        ::close(h.fd);
    ::close(listener);
    return true;
}

} // namespace kelvo::portal
