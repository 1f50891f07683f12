// xjupdateserver: the installer's update server and collectors on loopback, for the demo
// and for trying the installer by hand. It prints the [Servers] section that points the
// installer here (and writes it into an ini file when asked), then what the collectors
// receive, decrypted and checked, until it is interrupted; then the requests it saw.
//
//   xjupdateserver [--address 127.0.0.1] [--http-port N] [--https-port N] [--no-https]
//                  [--package FILE] [--version 2.1.790] [--cert-dir DIR] [--ini FILE]
#include <signal.h>
#include <stdlib.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>

#include "support/LoopbackUpdateServer.h"
#include "support/RandomBytes.h"
#include "support/ScriptedHttpServer.h"

namespace {

int Usage() {
    std::cerr << "usage: xjupdateserver [--address A] [--http-port N] [--https-port N] [--no-https]\n"
                 "                      [--package FILE] [--version V] [--cert-dir DIR] [--ini FILE]\n";
    return 2;
}

bool ReadFile(const std::string& path, std::string* bytes) {
    std::ifstream file(path, std::ios::binary);
    if (!file) return false;
    std::ostringstream text;
    text << file.rdbuf();
    *bytes = text.str();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    testsupport::LoopbackUpdateServer::Options options;
    std::string packagePath;
    std::string version = "2.1.790";
    std::string iniPath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--no-https") {
            options.https = false;
        } else if (arg == "--address" && hasValue) {
            options.address = argv[++i];
        } else if (arg == "--http-port" && hasValue) {
            options.httpPort = std::atoi(argv[++i]);
        } else if (arg == "--https-port" && hasValue) {
            options.httpsPort = std::atoi(argv[++i]);
        } else if (arg == "--package" && hasValue) {
            packagePath = argv[++i];
        } else if (arg == "--version" && hasValue) {
            version = argv[++i];
        } else if (arg == "--cert-dir" && hasValue) {
            options.certDir = argv[++i];
        } else if (arg == "--ini" && hasValue) {
            iniPath = argv[++i];
        } else {
            return Usage();
        }
    }
    if (options.certDir.empty()) {
        char pattern[] = "/tmp/xjupdateserver.XXXXXX";
        if (!mkdtemp(pattern)) {
            std::perror("mkdtemp");
            return 1;
        }
        options.certDir = pattern;
    }
    std::string package;
    if (packagePath.empty()) {
        package = testsupport::RandomBytes(4 * 1024 * 1024, 1);
    } else if (!ReadFile(packagePath, &package)) {
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
                  << "certificate in " << options.certDir << "\n\n"
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
