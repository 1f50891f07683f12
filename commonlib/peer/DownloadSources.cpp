#include "commonlib/peer/DownloadSources.h"

#include <algorithm>
#include <cctype>

#include "commonlib/util/StringUtils.h"

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

std::optional<UrlParts> ParseUrlParts(const std::string& url) {
    const size_t schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos) return std::nullopt;
    UrlParts parts;
    parts.scheme = Lower(url.substr(0, schemeEnd));
    if (parts.scheme == "http") {
        parts.port = 80;
    } else if (parts.scheme == "https") {
        parts.port = 443;
    } else {
        return std::nullopt;
    }
    size_t authorityBegin = schemeEnd + 3;
    const size_t authorityEnd = std::min(url.find_first_of("/?#", authorityBegin), url.size());
    const size_t at = url.rfind('@', authorityEnd);
    if (at != std::string::npos && at >= authorityBegin) authorityBegin = at + 1;
    parts.hostBegin = authorityBegin;
    size_t portColon = std::string::npos;
    if (authorityBegin < authorityEnd && url[authorityBegin] == '[') {
        const size_t close = url.find(']', authorityBegin);
        if (close == std::string::npos || close >= authorityEnd) return std::nullopt;
        parts.host = url.substr(authorityBegin + 1, close - authorityBegin - 1);
        parts.hostEnd = close + 1;
        if (parts.hostEnd < authorityEnd) {
            if (url[parts.hostEnd] != ':') return std::nullopt;
            portColon = parts.hostEnd;
        }
    } else {
        portColon = url.find(':', authorityBegin);
        if (portColon >= authorityEnd) portColon = std::string::npos;
        parts.hostEnd = portColon == std::string::npos ? authorityEnd : portColon;
        parts.host = url.substr(authorityBegin, parts.hostEnd - authorityBegin);
    }
    if (parts.host.empty()) return std::nullopt;
    if (portColon != std::string::npos) {
        const std::string port = url.substr(portColon + 1, authorityEnd - portColon - 1);
        if (port.empty() || port.size() > 5 || !std::all_of(port.begin(), port.end(), ::isdigit)) return std::nullopt;
        parts.port = std::stoi(port);
        if (parts.port <= 0 || parts.port > 65535) return std::nullopt;
    }
    return parts;
}

std::string ReplaceUrlHost(const std::string& url, const std::string& newHost) {
    const auto parts = ParseUrlParts(url);
    const std::string host = Trim(newHost);
    if (!parts || host.empty() || host.find_first_of("/?#@ ") != std::string::npos) return {};
    std::string hostText = host;
    size_t end = parts->hostEnd;
    const size_t bracket = host.rfind(']');
    const size_t colon = host.rfind(':');
    if (bracket == std::string::npos && colon != std::string::npos && host.find(':') != colon) {
        hostText = "[" + host + "]";  // a bare IPv6 address
    } else if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
        // A host given with its own port replaces the URL's port as well.
        end = std::min(url.find_first_of("/?#", end), url.size());
    }
    return url.substr(0, parts->hostBegin) + hostText + url.substr(end);
}

CDownloadSourceList::CDownloadSourceList(const std::wstring& url, const std::wstring& fallbackAddresses,
                                         const std::wstring& cdnHost) {
    const std::string primary = Trim(WideToUtf8(url));
    if (!ParseUrlParts(primary)) return;
    m_sources.push_back({DownloadSource::Kind::Primary, primary, {}});
    std::vector<std::string> seen;
    for (const std::wstring& entry : SplitBySemicolonW(fallbackAddresses)) {
        const std::string address = Trim(WideToUtf8(entry));
        if (address.empty() || std::find(seen.begin(), seen.end(), address) != seen.end()) continue;
        seen.push_back(address);
        DownloadSource source{DownloadSource::Kind::Pinned, primary, address};
        // One colon only: "address:port" (an IPv6 text has more).
        const size_t colon = address.find(':');
        if (colon != std::string::npos && address.find(':', colon + 1) == std::string::npos) {
            const std::string port = address.substr(colon + 1);
            if (port.empty() || port.size() > 5 || !std::all_of(port.begin(), port.end(), ::isdigit) ||
                std::stoi(port) == 0 || std::stoi(port) > 65535) {
                continue;
            }
            source.pinnedAddress = address.substr(0, colon);
            source.pinnedPort = std::stoi(port);
        }
        m_sources.push_back(std::move(source));
    }
    const std::string cdnUrl = ReplaceUrlHost(primary, WideToUtf8(cdnHost));
    if (!cdnUrl.empty()) m_cdn = DownloadSource{DownloadSource::Kind::Cdn, cdnUrl, {}};
}
