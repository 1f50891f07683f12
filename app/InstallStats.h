// The install statistics: one install event when the install phase begins, and one
// install-count record whenever an install attempt ends. They are built here and handed
// to the statistics reporter (BigDataLog), which encrypts and sends them.
//
// UI thread only: the reporter's pending records and its request belong to that thread,
// so a call from another thread is refused (false, nothing sent); the install worker posts
// its reports to the UI thread instead.
#pragma once

#include <map>
#include <string>

#include "commonlib/core/ProtoValue.h"
#include "platform/types/WinTypes.h"

// What the main window knows when it reports.
struct InstallStatsContext {
    int gameId = 0;
    std::wstring channelId;          // the program's channel id; "0" means none
    std::wstring descriptorVersion;  // the update descriptor's Version
    std::wstring installDir;
    DWORD startTick = 0;  // tick count when the update last started
};

// Game id -> the product's channel code.
using ChannelCodeMap = std::map<int, std::wstring>;

// Fills the product's channel-code table. The product's catalogue is not part of this
// program's data, so the table stays empty and every game id reports "0".
void ChannelCodeSet(ChannelCodeMap& table);
// The code of `gameId`, "0" when the table has none.
std::wstring ChannelCodeOf(const ChannelCodeMap& table, int gameId);

// The install event ("stats_col" and "info_version").
ProtoValue BuildInstallEvent(const InstallStatsContext& context);
// The install-count record of an attempt that ended at `endTick`; reads "tg.id" and
// "rkupdate.ini" in the install directory.
ProtoValue BuildInstallCountRecord(const InstallStatsContext& context, bool success, const ChannelCodeMap& table,
                                   DWORD endTick);

// Build, hand to the reporter and send. False off the UI thread, or when the reporter
// took nothing (no collector URL).
bool SendInstallEvent(const InstallStatsContext& context);
bool ReportInstallStats(const InstallStatsContext& context, bool success, ChannelCodeMap& table);
