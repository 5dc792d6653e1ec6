// The demo portal: login and server pages, game entry and re-entry, the tab pages, the update
// manifest and the new executable, with faults that the tests switch on.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace httplib {
class Server;
}

namespace kelvo::portal {

enum class Fault {
    Manifest404,
    Manifest500,
    Exe404,
    Exe500,
    ExeDrop,  // announce the whole file, close the connection after a third of it
    ExeShort, // send the whole file, announce 4096 bytes more
    // Answers with 200 that are no executable of the launcher's architecture:
    ExeHtml,      // an HTML page, as a captive portal or an error page would send it
    ExeCut,       // no Content-Length, the connection closes after a third of the file
    ExeOtherArch, // the file with its machine field swapped between i386 and AMD64
    ExeZeroes,    // as many zero bytes as the file has
    Hang,         // accept connections and requests, never answer (see RunHangingServer)
    // Without end or without haste, as only a deadline or a size bound stops:
    ManifestEndless, // a manifest whose comment lines never end (no Content-Length)
    ExeEndless,      // the file, then zero bytes without end (no Content-Length)
    ExeTrickle,      // the file's length announced, then one byte a second
    ExeSlow,         // the file's length announced, then the file at 100 kB/s (a slow line)
};

struct Options {
    int port = 18601;
    std::string host;                 // host[:port] used in links; empty: the request's Host header
    std::string resourceHost;         // host[:port] of the movies in game-entry addresses; empty: as links
    std::string listen = "127.0.0.1"; // the address listened on
    int updateVersion = 1001;         // "VersionId" of the manifest
    std::string updateExe;            // file served as the new executable
    std::string downloadUrl;          // "downloadUrl" of the manifest; empty: our own executable route
    std::string signature;            // "Signature" of the manifest (scripts/sign-update); empty: no such key
    std::string movies;               // directory served under /front_resource/kelvo/
    std::string movie;                // script served as the loader movie; empty: the built-in demo script
    std::set<Fault> faults;
    int hangSeconds = 600; // how long a hanging request is held at most
    int entryDelayMs = 0;  // how long the game-entry page is held before its answer
};

inline constexpr const char* kManifestRoute = "/front_resource/kelvo/weiduan/zarn/kelvoupdate.ini";
// The 64-bit launcher's manifest, served alike (the portal offers one executable).
inline constexpr const char* kManifest64Route = "/front_resource/kelvo/weiduan/zarn/kelvoupdate-win64.ini";
// The loader movies the game entries name: resourceHost + "GameLoader_" + mainVersion + ".swf".
// Server 12's entry names version 1001 (the demo movie), server 13's 1002 (the reload movie).
inline constexpr const char* kMovieRoute = "/front_resource/kelvo/GameLoader_1001.swf";
inline constexpr const char* kReloadMovieRoute = "/front_resource/kelvo/GameLoader_1002.swf";
inline constexpr const char* kExeRoute = "/front_resource/kelvo/weiduan/zarn/kelvo.exe";

std::optional<Fault> ParseFault(const std::string& name);

// With the hang fault no HTTP server runs at all: connections on the port are accepted, their
// requests read and logged, and each is closed without an answer after hangSeconds, or when
// stopFd becomes readable. Returns false when the port cannot be taken.
bool RunHangingServer(const Options& options, int stopFd);

// Installs the routes; the server is run and stopped by the caller.
class Portal {
public:
    explicit Portal(Options options);
    ~Portal();
    Portal(const Portal&) = delete;
    Portal& operator=(const Portal&) = delete;

    void Install(httplib::Server& server);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace kelvo::portal
