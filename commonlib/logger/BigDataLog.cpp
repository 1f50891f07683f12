#include "commonlib/logger/BigDataLog.h"

#include <cmath>
#include <utility>
#include <vector>

#include "commonlib/core/Singleton.h"
#include "commonlib/logger/Log.h"
#include "commonlib/logger/TraceLogger.h"
#include "commonlib/thread/MainThreadTask.h"
#include "commonlib/util/Des.h"
#include "commonlib/util/Hex.h"
#include "commonlib/util/StringUtils.h"
#include "commonlib/util/SystemInfo.h"

const wchar_t* const BigDataEventFields[] = {
    L"ftime",   L"server",    L"logname",  L"event_type",  L"info_version", L"uid",       L"platform", L"device_id",
    L"network", L"stats_obj", L"event_id", L"event_label", L"context",      L"stats_col", L"",
};

// "logic_sevice_id" is the collector's own spelling.
const wchar_t* const InstallCountFields[] = {
    L"ftime", L"logic_sevice_id", L"logname",     L"title", L"version", L"mac", L"package_id", L"gate",
    L"os",    L"count_dimension", L"count_value", L"",
};

namespace {

constexpr char kDesKey[] = "morin530";
constexpr wchar_t kStandardLogname[] = L"d_event_rekkan_5.2";
constexpr char kJsonContentType[] = "Content-Type:application/json;charset=utf-8";

const DesKeySchedule& KeySchedule() {
    static const DesKeySchedule schedule = [] {
        DesKeySchedule s;
        [[maybe_unused]] const bool ok = DesSetKey(s, kDesKey);
        return s;
    }();
    return schedule;
}

// Entries of other types are left out; a real is truncated toward zero.
bool MapEntryText(const ProtoValue& value, std::wstring& out) {
    switch (value.type()) {
        case ProtoValue::Type::String:
            out += value.string();
            return true;
        case ProtoValue::Type::Integer:
            out += std::to_wstring(value.integer());
            return true;
        case ProtoValue::Type::Real: {
            const double truncated = std::trunc(value.real());
            // Outside the 64-bit range the conversion is undefined; such a value has no text.
            if (!(truncated >= -9.2e18 && truncated <= 9.2e18)) return false;
            out += std::to_wstring(static_cast<long long>(truncated));
            return true;
        }
        default:
            return false;
    }
}

std::string MapText(const ProtoValue& value) {
    if (!value.isMap()) return {};
    std::wstring text;
    bool wroteEntry = false;
    for (const auto& [key, entry] : value.map()) {
        std::wstring entryText;
        if (!MapEntryText(entry, entryText)) continue;
        text += key;
        text += L':';
        text += entryText;
        text += L',';
        wroteEntry = true;
    }
    // A map whose entries were all left out has no comma to drop.
    if (wroteEntry) text.pop_back();
    return WideToAnsi(text);
}

std::string ValueText(const ProtoValue& value) {
    switch (value.type()) {
        case ProtoValue::Type::String:
            return WideToUtf8(value.string());
        case ProtoValue::Type::Integer:
            return std::to_string(value.integer());
        case ProtoValue::Type::Null:
        case ProtoValue::Type::Map:
            return MapText(value);
        default:
            return {};
    }
}

}  // namespace

std::string BuildBigDataEventLine(const wchar_t* const* fields, const ProtoValue& event) {
    std::string line;
    for (size_t i = 0; fields[i][0] != L'\0'; ++i) {
        if (i > 0) line += '\t';
        line += ValueText(event[fields[i]]);
    }
    return line;
}

std::string EncryptBigDataEventLine(const std::string& line) {
    std::vector<unsigned char> cipher(DesPaddedLength(line.size()));
    const size_t length = DesEncryptEcb(KeySchedule(), line.data(), cipher.data(), line.size());
    std::string hex(2 * length + 1, '\0');
    HexEncodeUpper(hex.data(), cipher.data(), length);
    hex.pop_back();
    return hex;
}

BigDataLog& BigDataLog::GetInstance() {
    static BigDataLog instance;
    return instance;
}

BigDataLog::BigDataLog() {
    Init();
}

BigDataLog::~BigDataLog() {
    ReleaseCommand();
}

void BigDataLog::Init() {
    // The collector's URL is a setting: the application supplies it at start-up.
    m_defaultFields[L"device_id"] = GetDeviceMac();
    KeySchedule();
}

bool BigDataLog::AddEvent(const wchar_t* const* fields, const ProtoValue& event) {
    if (m_url.empty()) return false;
    if (!event.isNull() && !event.isMap()) return false;

    ProtoValue e = event;
    for (size_t i = 0; fields[i][0] != L'\0'; ++i) {
        const ProtoValue& fallback = std::as_const(m_defaultFields)[fields[i]];
        if ((fallback.isString() || fallback.isInteger()) && !e.hasKey(fields[i])) e[fields[i]] = fallback;
    }
    e[L"ftime"] = Utf8ToWide(ReportTimeText());
    const ProtoValue& logname = std::as_const(e)[L"logname"];
    if (!(logname.isString() && logname.string() == kStandardLogname)) {
        const ProtoValue& loginIp = std::as_const(e)[L"login_ip"];
        if (!loginIp.isString() || loginIp.string().empty()) e[L"login_ip"] = L"${remoteIp}";
    }

    const std::string line = BuildBigDataEventLine(fields, e);
    std::string body = EncryptBigDataEventLine(line);
    XJ_LOG_INFO("统计数据 %s", line.c_str());

    if (IsOnReportThread()) {
        AppendRecord(body);
        return true;
    }
    return PostToMainThread(MakeMainThreadTask(&BigDataLog::AppendRecordOnUiThread, std::move(body)));
}

bool BigDataLog::AddStandardEvent(ProtoValue& event) {
    if (!event.isNull() && !event.isMap()) return false;
    event[L"logname"] = kStandardLogname;
    event[L"platform"] = L"3";
    if (!event.hasKey(L"event_type")) event[L"event_type"] = 1;
    event[L"server"] = L"";
    event[L"network"] = L"5";
    event[L"stats_obj"] = 2;
    event[L"context"] = L"";
    event[L"uid"] = 0;
    return AddEvent(BigDataEventFields, event);
}

bool BigDataLog::ReportInstallEvent(const ProtoValue& event) {
    if (!event.isNull() && !event.isMap()) return false;
    ProtoValue e = event;
    e[L"event_id"] = L"xj_install";
    ProtoValue& statsCol = e[L"stats_col"];
    // A caller's stats_col of another type would make the entry below throw.
    if (!statsCol.isMap()) statsCol = ProtoValue(ProtoValue::Type::Map);
    statsCol[L"client_type"] = 1;
    e[L"event_label"] = 1;
    return AddStandardEvent(e);
}

void BigDataLog::AppendRecord(const std::string& body) {
    Json::Value record(Json::objectValue);
    record["headers"] = Json::Value(Json::objectValue);
    record["body"] = body;
    m_pending.append(std::move(record));
}

void BigDataLog::AppendRecordOnUiThread(std::string body) {
    GetInstance().AppendRecord(body);
}

void BigDataLog::SendOnUiThread(int) {
    GetInstance().Send();
}

bool BigDataLog::Send() {
    if (!IsOnReportThread()) {
        // The command and the busy flag belong to the UI thread.
        return PostToMainThread(MakeMainThreadTask(&BigDataLog::SendOnUiThread, 0));
    }
    if (m_busy || m_pending.empty() || m_url.empty()) return false;

    const std::string text = FastJsonText(m_pending);
    // Whatever happens below, these records have had their one attempt.
    m_pending = Json::Value();

    if (!m_command) m_command = CreateReportCommand();
    if (!m_command) {
        XJ_LOG_WARN("统计未能发送: 没有HTTP命令 url:%s", WideToUtf8(m_url).c_str());
        return false;
    }
    m_command->ClearHeaders();
    m_command->AddHeader(kJsonContentType);
    XJ_LOG_INFO("开始统计 url:%s data:%s", WideToUtf8(m_url).c_str(), text.c_str());
    if (!m_command->Post(m_url, text, &BigDataLog::OnPostDone, nullptr)) {
        XJ_LOG_WARN("统计请求未能开始 url:%s", WideToUtf8(m_url).c_str());
        return false;
    }
    m_busy = true;
    return true;
}

void BigDataLog::OnPostDone(void*, const std::string& response, int type, int code) {
    CSingleton<TraceLogger>::GetInstance().Log(LogLevel::Info, "统计结果 %d:%d %s", type, code, response.c_str());
    GetInstance().OnStatisticsDone(type, code);
}

void BigDataLog::OnStatisticsDone(int type, int code) {
    XJ_LOG_INFO("OnStatisticsDone et:%d ec:%d", type, code);
    m_busy = false;
    // Records that arrived during the POST would otherwise wait for a send that may never
    // come. The send runs as its own task, once the command has finished its completion.
    if (!m_pending.empty() && !PostToMainThread(MakeMainThreadTask(&BigDataLog::SendOnUiThread, 0))) Send();
}

void BigDataLog::ReleaseCommand() {
    if (!m_command) return;
    m_command->Stop();
    m_command.reset();
    // A stopped request never completes, so nothing else would clear the flag.
    m_busy = false;
}
