#include "app/SpareDnsTable.h"

#include "commonlib/util/StringUtils.h"

SpareDnsTable& SpareDnsTable::GetInstance() {
    static SpareDnsTable table;
    return table;
}

SpareDnsTable::SpareDnsTable() {
    Fill(MakerServers::BuiltIn());
}

void SpareDnsTable::Fill(const MakerServers& servers) {
    m_resolverList = servers.resolvers;
    m_testHost = servers.testHost;
    m_markerMap = servers.markerAddresses;
    m_downloadAddressList = m_markerMap[MakerServers::kStartMarker];
    m_commandAddressList = servers.commandAddresses;
}

bool SpareDnsTable::ApplyLookupAnswer(const std::wstring& addresses) {
    const std::vector<std::wstring> entries = SplitBySemicolonW(addresses);
    if (entries.size() != 1) return false;
    const auto found = m_markerMap.find(entries.front());
    if (found == m_markerMap.end()) return false;
    m_downloadAddressList = found->second;
    return true;
}
