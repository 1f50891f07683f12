// xjupdateserver: the installer's update server and collectors on loopback, for the demo
// and for trying the installer by hand. It prints the [Servers] section that points the
// installer here (and writes it into an ini file when asked), then what the collectors
// receive, decrypted and checked, until it is interrupted; then the requests it saw.
//
//   xjupdateserver --package FILE --cert-dir DIR [--version 2.1.790] [--ini FILE]
#include <signal.h>

#include <fstream>
#include <iostream>
#include <mutex>
#include <string>
#include <utility>

#include "support/LoopbackUpdateServer.h"

int main(int argc, char** argv) {
    testsupport::LoopbackUpdateServer::Options options;
    std::string packagePath;
    std::string version = "2.1.790";
    std::string iniPath;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--package") {
            packagePath = argv[i + 1];
        } else if (arg == "--version") {
            version = argv[i + 1];
        } else if (arg == "--cert-dir") {
            options.certDir = argv[i + 1];
        } else if (arg == "--ini") {
            iniPath = argv[i + 1];
        } else {
            packagePath.clear();
            break;
        }
    }
    std::ifstream file(packagePath, std::ios::binary);
    if (argc % 2 == 0 || packagePath.empty() || options.certDir.empty() || !file) {
        std::cerr << "usage: xjupdateserver --package FILE --cert-dir DIR [--version V] [--ini FILE]\n";
        return 2;
    }
    // Read straight into the one copy the server keeps.
    std::string package(static_cast<size_t>(file.seekg(0, std::ios::end).tellg()), '\0');
    file.seekg(0).read(package.data(), static_cast<std::streamsize>(package.size()));
    if (!file) {
        std::cerr << "cannot read " << packagePath << "\n";
        return 1;
    }

    // Signals are taken by sigwait below, not by a handler.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    testsupport::LoopbackUpdateServer server(options);
    server.SetPackage(std::move(package), version);
    std::mutex outputMutex;
    server.SetReportSink([&outputMutex](const std::string& text) {
        std::lock_guard lock(outputMutex);
        std::cout << text << std::endl;
    });
    if (!server.Start()) {
        std::cerr << "the servers could not start on " << options.address << "\n";
        return 1;
    }
    const std::string section = server.ServersSection();
    {
        std::lock_guard lock(outputMutex);
        std::cout << "update server: " << server.HttpsOrigin() << " and " << server.HttpOrigin() << "\n"
                  << "certificate and its CA (trusted through CaFile) in " << options.certDir << "\n\n"
                  << section << std::endl;
    }
    if (!iniPath.empty()) {
        std::ofstream ini(iniPath, std::ios::binary | std::ios::trunc);
        ini << section;
        if (!ini) {
            std::cerr << "cannot write " << iniPath << "\n";
            return 1;
        }
    }
    int received = 0;
    sigwait(&stopSignals, &received);
    {
        std::lock_guard lock(outputMutex);
        std::cout << "requests the update server saw:\n";
        for (const testsupport::UpdateServerRequest& request : server.Requests()) {
            std::cout << "  " << request.method << " " << (request.tls ? "https " : "http  ") << request.path
                      << (request.range.empty() ? "" : "  Range: " + request.range) << "\n";
        }
        std::cout << std::flush;
    }
    return 0;
}
