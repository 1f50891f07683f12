#include "app/MakerServers.h"

#include "commonlib/logger/Log.h"
#include "commonlib/util/StringUtils.h"
#include "platform/net/InetAddress.h"
#include "platform/profile/ProfileApi.h"

namespace {

constexpr wchar_t kSection[] = L"Servers";
constexpr DWORD kValueBuffer = 2048;

constexpr wchar_t kReleaseList[] = L"/qvzurazarevuz.txt";
constexpr wchar_t kInternalList[] = L"/test/qvinstall_public.txt";
constexpr wchar_t kPublicTestList[] = L"/test/qvinstall_public_test.txt";

// Replaces `value` with the key's value when the file has the key.
void Override(const std::wstring& iniPath, const wchar_t* key, std::wstring& value) {
    // A default no value can have tells an absent key from an empty one.
    constexpr wchar_t kAbsent[] = L"\x01";
    wchar_t buffer[kValueBuffer];
    GetPrivateProfileStringW(kSection, key, kAbsent, buffer, kValueBuffer, iniPath.c_str());
    if (std::wstring_view(buffer) != kAbsent) value = buffer;
}

// The IPv4 entries of a ";"-joined list, joined again.
std::wstring IPv4Entries(const std::wstring& list) {
    std::wstring kept;
    for (const std::wstring& entry : SplitBySemicolonW(list)) {
        const std::wstring address = TrimW(entry);
        std::uint32_t unused = 0;
        if (!platform::ParseIPv4Address(WideToUtf8(address), &unused)) continue;
        if (!kept.empty()) kept += L';';
        kept += address;
    }
    return kept;
}

}  // namespace

MakerServers MakerServers::BuiltIn() {
    MakerServers servers;
    servers.updateServer = L"https://127.0.0.1";
    servers.updateServerHttp = L"http://127.0.0.1";
    servers.statisticsUrl = L"https://127.0.0.1/bigdata/report";
    servers.downloadLogUrl = L"http://127.0.0.1:8080/api/xj/data/rece_download_data";
    servers.resolvers = L"127.0.0.1";
    servers.testHost = L"nettest.localhost";
    servers.commandAddresses = L"127.0.0.51;127.0.0.52;127.0.0.53;127.0.0.54;127.0.0.55;127.0.0.56";
    servers.markerAddresses = {
        {L"1.1.1.1", L"127.0.0.11;127.0.0.12;127.0.0.13;127.0.0.14"},
        {L"2.2.2.2", L"127.0.0.21;127.0.0.22;127.0.0.23;127.0.0.24"},
        {L"3.3.3.3", L"127.0.0.31;127.0.0.32"},
        {L"4.4.4.4", L"127.0.0.41;127.0.0.42;127.0.0.43;127.0.0.44"},
        {L"9.9.9.9", L"127.0.0.91;127.0.0.92;127.0.0.93;127.0.0.94;127.0.0.95"},
    };
    servers.agreementUrl = L"https://127.0.0.1/agreement.html";
    return servers;
}

MakerServers MakerServers::Load(const std::wstring& iniPath) {
    MakerServers servers = BuiltIn();
    Override(iniPath, L"UpdateServer", servers.updateServer);
    Override(iniPath, L"UpdateServerHttp", servers.updateServerHttp);
    Override(iniPath, L"StatisticsUrl", servers.statisticsUrl);
    Override(iniPath, L"DownloadLogUrl", servers.downloadLogUrl);
    Override(iniPath, L"TestHost", servers.testHost);
    Override(iniPath, L"CommandAddresses", servers.commandAddresses);
    Override(iniPath, L"AgreementUrl", servers.agreementUrl);
    Override(iniPath, L"CaFile", servers.caFile);
    for (const wchar_t* marker : kMarkers)
        Override(iniPath, (std::wstring(L"Spare_") + marker).c_str(), servers.markerAddresses[marker]);

    std::wstring resolvers = servers.resolvers;
    Override(iniPath, L"Resolvers", resolvers);
    if (const std::wstring usable = IPv4Entries(resolvers); !usable.empty()) {
        servers.resolvers = usable;
    } else {
        XJ_LOG_WARN(L"[Servers] Resolvers=%s has no IPv4 address, %s kept", resolvers.c_str(),
                    servers.resolvers.c_str());
    }
    for (std::wstring* origin : {&servers.updateServer, &servers.updateServerHttp}) {
        while (!origin->empty() && origin->back() == L'/')
            origin->pop_back();
    }
    return servers;
}

std::vector<std::wstring> MakerServers::DescriptorUrls(ListMode mode) const {
    switch (mode) {
        case ListMode::Internal:
            return {updateServer + kInternalList};
        case ListMode::PublicTest:
            return {updateServer + kPublicTestList};
        case ListMode::Release:
            break;
    }
    return {updateServer + kReleaseList, updateServerHttp + kReleaseList};
}

std::wstring MakerServers::VersionListUrl(ListMode mode) const {
    return DescriptorUrls(mode).front();
}
