// Downloads one file through the download engine the way the installer does and prints
//   bytes=N seconds=S mbps=M cpu_seconds=C peak_rss_kb=R
// Usage: download_bench --url URL [--url URL2 ...] --out FILE [--size N] [--md5 HEX]
// Further --url values name more servers of the same file, by IPv4 address and port, with
// the first URL's path: they become the pinned fallback addresses ("address:port"). Without
// --size the size comes from a HEAD request, which must answer 200 with a length. With --progress,
// "complete=N" goes to stderr once a second. --peers N and --block-kib N override the
// engine's defaults, for choosing them. --ca FILE trusts the CA certificates of a PEM file
// besides the system's, as the installer's [Servers] CaFile does.
#include <arpa/inet.h>
#include <curl/curl.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commonlib/http/HttpTrust.h"
#include "commonlib/peer/DownloadModule.h"
#include "commonlib/peer/DownloadSources.h"
#include "commonlib/thread/MainThreadTask.h"
#include "commonlib/util/Md5.h"
#include "commonlib/util/StringUtils.h"
#include "platform/fs/DriveMap.h"
#include "platform/window/MessageApi.h"

namespace {

struct Outcome {
    bool done = false;
    int type = 0, code = 0;
    bool progress = false;
};

void OnProgress(void* user, std::int64_t, std::int64_t complete, std::uint32_t) {
    if (static_cast<Outcome*>(user)->progress) {
        std::fprintf(stderr, "complete=%lld\n", static_cast<long long>(complete));
        std::fflush(stderr);
    }
}

void OnDone(void* user, int type, int code) {
    auto* outcome = static_cast<Outcome*>(user);
    outcome->done = true;
    outcome->type = type;
    outcome->code = code;
    PostQuitMessage(0);
}

// The file's size from a HEAD request; -1, with the reason on stderr, unless the server
// answers 200 with a length (an error page's length is not the file's).
std::int64_t HeadSize(const std::string& url) {
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_off_t length = -1;
    long status = 0;
    const CURLcode result = curl_easy_perform(curl);
    if (result == CURLE_OK) {
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    }
    curl_easy_cleanup(curl);
    if (result != CURLE_OK) {
        std::fprintf(stderr, "HEAD %s failed: %s\n", url.c_str(), curl_easy_strerror(result));
        return -1;
    }
    if (status != 200 || length < 0) {
        std::fprintf(stderr, "HEAD %s answered %ld%s; give --size\n", url.c_str(), status,
                     status == 200 ? " without a length" : "");
        return -1;
    }
    return length;
}

// What follows the host and port: the path and query every source is asked for.
std::string PathOf(const std::string& url, const UrlParts& parts) {
    const size_t path = url.find_first_of("/?#", parts.hostEnd);
    return path == std::string::npos ? "/" : url.substr(path);
}

// The application's 500 ms poll of the download scheduler.
void PollScheduler(HWND, UINT, UINT_PTR, DWORD) {
    if (CHttpMgr* mgr = GetDownloadHttpMgr()) {
        mgr->CheckTimeouts();
        mgr->StartDueRequests();
    }
}

int Usage() {
    std::fprintf(stderr,
                 "usage: download_bench --url URL [--url URL2 ...] --out FILE [--size N] [--md5 HEX]\n"
                 "       [--peers N] [--block-kib N] [--ca FILE] [--progress]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> urls;
    std::string out, md5;
    std::int64_t size = -1;
    Outcome outcome;
    DownloadTuning tuning = GetDownloadTuning();
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--url" && hasValue) {
            urls.push_back(argv[++i]);
        } else if (arg == "--out" && hasValue) {
            out = argv[++i];
        } else if (arg == "--size" && hasValue) {
            size = std::strtoll(argv[++i], nullptr, 10);
        } else if (arg == "--md5" && hasValue) {
            md5 = argv[++i];
        } else if (arg == "--peers" && hasValue) {
            tuning.peerCount = std::atoi(argv[++i]);
        } else if (arg == "--block-kib" && hasValue) {
            tuning.blockSize = std::strtoull(argv[++i], nullptr, 10) * 1024;
        } else if (arg == "--ca" && hasValue) {
            if (!SetHttpExtraCaFile(platform::WinPath(argv[++i]))) {
                std::fprintf(stderr, "no CA certificate could be read from %s\n", argv[i]);
                return 2;
            }
        } else if (arg == "--progress") {
            outcome.progress = true;
        } else {
            return Usage();
        }
    }
    if (urls.empty() || out.empty()) return Usage();
    const auto first = ParseUrlParts(urls[0]);
    if (!first) return Usage();
    std::string fallback;
    for (size_t i = 1; i < urls.size(); ++i) {
        const auto parts = ParseUrlParts(urls[i]);
        in_addr address{};
        if (!parts || inet_pton(AF_INET, parts->host.c_str(), &address) != 1 ||
            PathOf(urls[i], *parts) != PathOf(urls[0], *first)) {
            std::fprintf(stderr, "%s: a further --url needs an IPv4 address and the first URL's path\n",
                         urls[i].c_str());
            return 2;
        }
        fallback += parts->host + ":" + std::to_string(parts->port) + ";";
    }
    if (size < 0 && (size = HeadSize(urls[0])) < 0) return 1;
    const std::wstring localPath = platform::WinPath(out);
    if (localPath.empty()) {
        std::fprintf(stderr, "no drive covers %s\n", out.c_str());
        return 2;
    }

    SetDownloadTuning(tuning);
    const auto start = std::chrono::steady_clock::now();
    CreateMainThreadWindow();
    SetDownloadCallbacks(&OnProgress, &OnDone);
    if (!StartDownloadModule()) {
        std::fprintf(stderr, "the download engine did not start\n");
        return 1;
    }
    SetTimer(nullptr, 0, 500, &PollScheduler);
    StartDownload(Utf8ToWide(md5).c_str(), L"", Utf8ToWide(urls[0]).c_str(), Utf8ToWide(fallback).c_str(),
                  localPath.c_str(), size, &outcome, 0, "{}");
    MSG msg{};
    while (!outcome.done && GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    StopDownloadModule();
    ShutdownMainThreadQueue();

    // Measured before the MD5 check, which is not part of the download.
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    if (outcome.type != 0) {
        std::fprintf(stderr, "download failed: et:%d ec:%d\n", outcome.type, outcome.code);
        return 1;
    }
    if (!md5.empty()) {
        std::FILE* file = std::fopen(out.c_str(), "rb");
        const std::string actual = file ? MD5(file).hex_digest() : std::string();  // closes the file
        if (ToLowerW(Utf8ToWide(actual)) != ToLowerW(Utf8ToWide(md5))) {
            std::fprintf(stderr, "MD5 mismatch: %s\n", actual.c_str());
            return 1;
        }
    }
    const double cpu =
        usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("bytes=%lld seconds=%.3f mbps=%.1f cpu_seconds=%.3f peak_rss_kb=%ld\n", static_cast<long long>(size),
                seconds, size * 8.0 / 1e6 / seconds, cpu, usage.ru_maxrss);
    return 0;
}
