#include "commonlib/http/HttpTrust.h"

#include <curl/curl.h>

#include <fstream>
#include <mutex>
#include <sstream>

#include "commonlib/core/FileEx.h"
#include "commonlib/http/CurlHttp.h"

namespace {

// Far above any CA file; a larger file is no CA file.
constexpr std::uint64_t kMaxCaFileBytes = 4u << 20;
constexpr char kPemCertificate[] = "-----BEGIN CERTIFICATE-----";

struct TrustState {
    std::mutex mutex;
    std::shared_ptr<const std::string> text;
};

TrustState& State() {
    static TrustState state;
    return state;
}

bool ReadWholeFile(const std::wstring& path, std::string* bytes) {
    CFileEx file;
    if (!file.Open(path, CFileEx::kShareRead | CFileEx::kBinary)) return false;
    try {
        char buffer[16384];
        while (const UINT got = file.Read(buffer, sizeof buffer)) {
            bytes->append(buffer, got);
            if (bytes->size() > kMaxCaFileBytes) return false;
        }
    } catch (const CFileExException&) {
        return false;
    }
    return true;
}

// Given a CA text of its own, libcurl skips its bundle file but still searches its CA
// folder; without such a folder the bundle must come along in the text.
std::string SystemBundleText() {
    EnsureCurlGlobalInit();
    const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
    if (!info || info->capath || !info->cainfo) return {};
    std::ifstream bundle(info->cainfo, std::ios::binary);
    std::ostringstream text;
    text << bundle.rdbuf();
    return text.str();
}

}  // namespace

bool SetHttpExtraCaFile(const std::wstring& path) {
    std::shared_ptr<const std::string> text;
    bool ok = true;
    if (!path.empty()) {
        std::string extra;
        ok = ReadWholeFile(path, &extra) && extra.find(kPemCertificate) != std::string::npos;
        if (ok) text = std::make_shared<const std::string>(extra + "\n" + SystemBundleText());
    }
    TrustState& state = State();
    std::lock_guard lock(state.mutex);
    state.text = std::move(text);
    return ok;
}

std::shared_ptr<const std::string> HttpTrustedCaText() {
    TrustState& state = State();
    std::lock_guard lock(state.mutex);
    return state.text;
}
