// The spare server addresses of the downloads, and the start-up lookup that picks them.
//
// The network-test host answers the lookup with one of five marker addresses; each marker
// names the list of spare addresses the package download should use from then on. The
// descriptor request has a list of its own that never changes.
//
// UI thread only (filled at start-up, changed by the lookup's answer, read by the updater).
#pragma once

#include <map>
#include <string>

#include "app/MakerServers.h"

class SpareDnsTable {
public:
    static SpareDnsTable& GetInstance();

    // Takes the servers' values; the download list starts as the start marker's list.
    void Fill(const MakerServers& servers);

    const std::wstring& ResolverList() const { return m_resolverList; }
    const std::wstring& TestHost() const { return m_testHost; }
    const std::wstring& DownloadAddressList() const { return m_downloadAddressList; }
    const std::wstring& CommandAddressList() const { return m_commandAddressList; }

    // The lookup's answer (addresses joined by ";"): only exactly one address that is a
    // marker switches the download list to that marker's list. True when it switched.
    bool ApplyLookupAnswer(const std::wstring& addresses);

private:
    SpareDnsTable();

    std::wstring m_resolverList;
    std::wstring m_testHost;
    std::wstring m_downloadAddressList;
    std::wstring m_commandAddressList;
    std::map<std::wstring, std::wstring> m_markerMap;
};
