#include "app/InstallStats.h"

#include "app/ClientFiles.h"
#include "commonlib/logger/BigDataLog.h"
#include "commonlib/logger/Log.h"
#include "commonlib/thread/MainThreadTask.h"
#include "commonlib/util/StringFormat.h"
#include "commonlib/util/StringUtils.h"
#include "commonlib/util/SystemInfo.h"
#include "platform/fs/FileSystem.h"
#include "platform/sync/Clock.h"
#include "platform/sync/Thread.h"
#include "platform/system/OsVersion.h"

namespace {

constexpr wchar_t kInfoVersion[] = L"1.0.2|vidi_zazeroroda";
constexpr wchar_t kCountLogname[] = L"c_downInstall_rekkan_5.2";
constexpr char kNoPackageId[] = "00000000";

bool OnUiThread(const char* what) {
    if (GetMainThreadId() != 0 && GetMainThreadId() == GetCurrentThreadId()) return true;
    XJ_LOG_ERROR("%s refused off the UI thread", what);
    return false;
}

std::wstring OsText() {
    const platform::OsVersionNumbers version = platform::OsVersion();
    return FormatW(L"%s MajorVersion %d MinorVersion %d", GetOsVersionName().c_str(), version.major, version.minor);
}

}  // namespace

void ChannelCodeSet(ChannelCodeMap&) {}

std::wstring ChannelCodeOf(const ChannelCodeMap& table, int gameId) {
    const auto found = table.find(gameId);
    return found == table.end() ? L"0" : found->second;
}

ProtoValue BuildInstallEvent(const InstallStatsContext& context) {
    const bool hasChannel = context.channelId != L"0";
    ProtoValue event;
    ProtoValue& statsCol = event[L"stats_col"];
    statsCol[L"edition_type"] = context.descriptorVersion;
    statsCol[L"channel_type"] = hasChannel ? 2 : 1;
    statsCol[L"channel_id"] = hasChannel ? context.channelId : IntToWString(context.gameId);
    event[L"info_version"] =
        context.gameId != 0 ? FormatW(L"%s|GameId:%d", kInfoVersion, context.gameId) : std::wstring(kInfoVersion);
    return event;
}

ProtoValue BuildInstallCountRecord(const InstallStatsContext& context, bool success, const ChannelCodeMap& table,
                                   DWORD endTick) {
    std::string packageId = kNoPackageId;
    ReadTgIdFile(context.installDir, packageId);
    std::string version;
    ReadClientVersionIni(context.installDir, version);
    if (version.empty()) version = "0";

    ProtoValue record;
    record[L"logname"] = kCountLogname;
    record[L"title"] = PathFileExistsW((context.installDir + L"\\tg.id").c_str()) ? L"2" : L"1";
    record[L"mac"] = GetDeviceMac();
    record[L"package_id"] = AnsiToWide(packageId);
    record[L"gate"] = ChannelCodeOf(table, context.gameId);
    record[L"os"] = OsText();
    record[L"version"] = AnsiToWide(version);
    record[L"count_dimension"] = FormatW(L"installxj_state:%s", success ? L"1" : L"0");
    if (success) record[L"count_value"] = FormatW(L"installxj_time:%d", static_cast<int>(endTick - context.startTick));
    return record;
}

bool SendInstallEvent(const InstallStatsContext& context) {
    if (!OnUiThread("install event")) return false;
    BigDataLog& log = BigDataLog::GetInstance();
    const bool added = log.ReportInstallEvent(BuildInstallEvent(context));
    log.Send();
    return added;
}

bool ReportInstallStats(const InstallStatsContext& context, bool success, ChannelCodeMap& table) {
    if (!OnUiThread("install count")) return false;
    const DWORD endTick = GetTickCount();
    ChannelCodeSet(table);
    BigDataLog& log = BigDataLog::GetInstance();
    const bool added = log.AddEvent(InstallCountFields, BuildInstallCountRecord(context, success, table, endTick));
    log.Send();
    return added;
}
