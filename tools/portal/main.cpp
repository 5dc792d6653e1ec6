// kelvo_portal: the demo portal on 127.0.0.1. One line per request on standard output.
#include "tools/portal/Portal.h"

#include <httplib.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

int Usage() {
    std::fputs("usage: kelvo_portal [--port N] [--listen ADDRESS] [--host HOST[:PORT]] [--resource-host "
               "HOST[:PORT]]\n"
               "                    [--update-version N] [--update-exe PATH]\n"
               "                    [--download-url URL] [--signature BASE64] [--movie FILE] [--movies DIR]\n"
               "                    [--hang-seconds N] [--entry-delay-ms N] [--fault NAME]...\n"
               "faults: manifest-404 manifest-500 exe-404 exe-500 exe-drop exe-short exe-html exe-cut "
               "exe-other-arch\n"
               "        exe-zeroes hang manifest-endless exe-endless exe-trickle exe-slow\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    kelvo::portal::Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            return Usage();
        const std::string value = argv[++i];
        if (arg == "--port")
            options.port = std::atoi(value.c_str());
        else if (arg == "--host")
            options.host = value;
        else if (arg == "--resource-host")
            options.resourceHost = value;
        else if (arg == "--listen")
            options.listen = value;
        else if (arg == "--update-version")
            options.updateVersion = std::atoi(value.c_str());
        else if (arg == "--update-exe")
            options.updateExe = value;
        else if (arg == "--download-url")
            options.downloadUrl = value;
        else if (arg == "--signature")
            options.signature = value;
        else if (arg == "--movie")
            options.movie = value;
        else if (arg == "--movies")
            options.movies = value;
        else if (arg == "--entry-delay-ms")
            options.entryDelayMs = std::atoi(value.c_str());
        else if (arg == "--hang-seconds")
            options.hangSeconds = std::atoi(value.c_str());
        else if (arg == "--fault") {
            const auto fault = kelvo::portal::ParseFault(value);
            if (!fault)
                return Usage();
            options.faults.insert(*fault);
        } else
            return Usage();
    }
    if (options.port <= 0 || options.port > 65535)
        return Usage();

    // SIGTERM and SIGINT are taken by one thread, which ends the server; the others never see them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGUSR1); // this program's own wake-up of the waiter
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    const int port = options.port;
    const std::string address = options.listen;
    if (options.faults.count(kelvo::portal::Fault::Hang)) {
        int stop[2];
        if (::pipe(stop) != 0)
            return 1;
        std::thread waiter([&] {
            int received = 0;
            sigwait(&signals, &received);
            const char byte = 0;
            (void)::write(stop[1], &byte, 1);
        });
        std::fprintf(stderr, "kelvo_portal: hanging on 127.0.0.1:%d\n", port);
        const bool ok = kelvo::portal::RunHangingServer(options, stop[0]);
        if (!ok) {
            std::fprintf(stderr, "kelvo_portal: cannot listen on 127.0.0.1:%d\n", port);
            pthread_kill(waiter.native_handle(), SIGTERM);
        }
        waiter.join();
        return ok ? 0 : 1;
    }

    kelvo::portal::Portal portal(std::move(options));
    httplib::Server server;
    portal.Install(server);

    // A signal ends the process at once, as a server that goes down does. A graceful stop would
    // close only the listening socket and go on answering on open keep-alive connections, so a
    // client could still reach a portal that its test believes is gone.
    std::thread waiter([&] {
        int received = 0;
        sigwait(&signals, &received);
        if (received == SIGUSR1)
            return; // the server has ended on its own
        std::fflush(nullptr);
        std::_Exit(0);
    });

    if (!server.bind_to_port(address, port)) {
        std::fprintf(stderr, "kelvo_portal: cannot listen on %s:%d\n", address.c_str(), port);
        pthread_kill(waiter.native_handle(), SIGUSR1);
        waiter.join();
        return 1;
    }
    std::fprintf(stderr, "kelvo_portal: listening on %s:%d\n", address.c_str(), port);
    const bool ok = server.listen_after_bind();
    pthread_kill(waiter.native_handle(), SIGUSR1); // the waiter takes it from sigwait
    waiter.join();
    return ok ? 0 : 1;
}
