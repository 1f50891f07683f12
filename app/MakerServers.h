// The maker's servers: every address the installer talks to besides the ones an update
// descriptor names. Nobody outside the maker knows the real ones, so the built-in values
// point at this machine; a key of the [Servers] section of the program's ini file replaces
// the value of the same name ([Debug] keys, read elsewhere, still win where they name the
// same value):
//
//   UpdateServer       HTTPS origin of the descriptors and version lists ("https://host:port")
//   UpdateServerHttp   HTTP origin of the release descriptor's second try
//   StatisticsUrl      the statistics events' collector
//   DownloadLogUrl     the download log's collector
//   Resolvers          DNS servers of the start-up lookup and of the commands' re-resolution
//   TestHost           host whose address is one of the five markers
//   CommandAddresses   spare addresses of the descriptor request
//   Spare_<marker>     spare download addresses chosen by that marker (Spare_4.4.4.4 is the
//                      start value)
//   AgreementUrl       the licence agreement page
//   CaFile             a PEM file of CA certificates that HTTPS trusts besides the system's
//                      (a path in the program's form, Z:\ being the root); empty: none
//
// Address lists are IPv4 addresses joined by ";". The resolver list is never empty: an
// empty one would send lookups to the built-in public resolvers, so a value without a
// single IPv4 address keeps the built-in list.
//
// Plain values; any thread.
#pragma once

#include <map>
#include <string>
#include <vector>

struct MakerServers {
    // The five markers the network-test host can answer with; "4.4.4.4" gives the start value.
    static constexpr const wchar_t* kMarkers[] = {L"1.1.1.1", L"2.2.2.2", L"3.3.3.3", L"4.4.4.4", L"9.9.9.9"};
    static constexpr const wchar_t* kStartMarker = L"4.4.4.4";

    enum class ListMode { Release = 0, Internal = 1, PublicTest = 2 };

    std::wstring updateServer;      // origin, no trailing slash
    std::wstring updateServerHttp;  // origin, no trailing slash
    std::wstring statisticsUrl;
    std::wstring downloadLogUrl;
    std::wstring resolvers;  // ";"-joined IPv4 addresses
    std::wstring testHost;
    std::wstring commandAddresses;                         // ";"-joined IPv4 addresses
    std::map<std::wstring, std::wstring> markerAddresses;  // marker -> ";"-joined addresses
    std::wstring agreementUrl;
    std::wstring caFile;

    // The built-in values.
    static MakerServers BuiltIn();
    // The built-in values with those of the ini file's [Servers] section over them. A
    // missing file or key keeps the built-in value.
    static MakerServers Load(const std::wstring& iniPath);

    // The descriptor URLs of a list mode, in request order (Release: HTTPS, then HTTP).
    std::vector<std::wstring> DescriptorUrls(ListMode mode) const;
    // The version list of an edition: the HTTPS descriptor of its mode.
    std::wstring VersionListUrl(ListMode mode) const;
};
