// The places one download can be fetched from, in the order they are tried.
//
// Built once per task on the UI thread, then read-only. The first source is the URL itself;
// then the same URL with its host pinned to each fallback address (the HTTP Host and TLS
// name stay the URL's), an IPv4 address with an optional ":port" for a server that listens
// elsewhere; the fallback CDN source (the URL with its host replaced) is kept apart because
// the task turns to it only when the speed stays too low.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct DownloadSource {
    enum class Kind { Primary = 0, Pinned = 1, Cdn = 2 };
    Kind kind = Kind::Primary;
    std::string url;            // UTF-8
    std::string pinnedAddress;  // empty, or an IPv4/IPv6 text the URL's host resolves to
    int pinnedPort = 0;         // the port to connect to there; 0: the URL's
};

// Scheme, host and port of an http or https URL; nothing for anything else.
struct UrlParts {
    std::string scheme;
    std::string host;  // without brackets for IPv6 literals
    int port = 0;
    size_t hostBegin = 0;  // where the host text (with brackets, if any) starts in the URL
    size_t hostEnd = 0;    // where it ends (before ":port" or the path)
};
std::optional<UrlParts> ParseUrlParts(const std::string& url);
// The URL with its host (and port, when the new host names one) replaced; empty when the URL
// does not parse or the host is empty.
std::string ReplaceUrlHost(const std::string& url, const std::string& newHost);

class CDownloadSourceList {
public:
    // `fallbackAddresses` is the ";"-separated list; blank and repeated entries are skipped.
    CDownloadSourceList(const std::wstring& url, const std::wstring& fallbackAddresses, const std::wstring& cdnHost);

    bool IsUsable() const { return !m_sources.empty(); }
    size_t Count() const { return m_sources.size(); }
    const DownloadSource& At(size_t index) const { return m_sources[index]; }
    const std::optional<DownloadSource>& Cdn() const { return m_cdn; }

private:
    std::vector<DownloadSource> m_sources;
    std::optional<DownloadSource> m_cdn;
};
