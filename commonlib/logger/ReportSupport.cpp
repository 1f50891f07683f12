#include "commonlib/logger/ReportSupport.h"

#include <cstdio>
#include <mutex>

#include "commonlib/thread/MainThreadTask.h"
#include "commonlib/util/ProtoValueJsonConvertor.h"
#include "commonlib/util/StringUtils.h"
#include "platform/sync/Clock.h"
#include "platform/sync/Thread.h"

namespace {

struct CommandMakers {
    std::mutex mutex;
    ReportCommandFactory factory;  // a test's, first
    ReportCommandFactory maker;    // the HTTP layer's
};

CommandMakers& Makers() {
    static CommandMakers makers;
    return makers;
}

}  // namespace

void SetReportCommandMaker(ReportCommandFactory maker) {
    CommandMakers& makers = Makers();
    std::lock_guard lock(makers.mutex);
    makers.maker = std::move(maker);
}

ReportCommandFactory SetReportCommandFactory(ReportCommandFactory factory) {
    CommandMakers& makers = Makers();
    std::lock_guard lock(makers.mutex);
    ReportCommandFactory previous = std::move(makers.factory);
    makers.factory = std::move(factory);
    return previous;
}

std::unique_ptr<IReportCommand> CreateReportCommand() {
    ReportCommandFactory make;
    {
        CommandMakers& makers = Makers();
        std::lock_guard lock(makers.mutex);
        make = makers.factory ? makers.factory : makers.maker;
    }
    // Outside the lock: a maker may log or build what it likes.
    return make ? make() : nullptr;
}

bool IsOnReportThread() {
    const DWORD uiThread = GetMainThreadId();
    return uiThread == 0 || uiThread == GetCurrentThreadId();
}

Json::Value ReportRecordWithIdentity(const ProtoValue& report, const ReportIdentity& identity) {
    Json::Value record;
    if (!ParseJsonText(WideToUtf8(ProtoValueToJsonText(report)), record) || !record.isObject()) {
        record = Json::Value(Json::objectValue);
    }
    record["upload_platform"] = "PC";
    record["product_id"] = WideToUtf8(identity.product);
    record["login_ip"] = identity.localIp;
    record["mac"] = WideToUtf8(identity.mac);
    record["os"] = WideToUtf8(identity.osName);
    record["version"] = WideToUtf8(identity.version);
    return record;
}

void ResetPendingForUrl(std::unique_ptr<Json::Value>& pending, const std::wstring& url) {
    if (url.empty()) {
        pending.reset();
    } else if (!pending) {
        pending = std::make_unique<Json::Value>(Json::arrayValue);
    }
}

std::string ReportTimeText() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char text[64];
    std::snprintf(text, sizeof(text), "%d-%02d-%02d %02d:%02d:%02d", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return text;
}

// The classic writers and reader are deprecated in jsoncpp, but their layouts are what the
// collectors parse; the stream builders write different white space.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

std::string FastJsonText(const Json::Value& value) {
    Json::FastWriter writer;
    return writer.write(value);
}

std::string StyledJsonText(const Json::Value& value) {
    Json::StyledWriter writer;
    return writer.write(value);
}

bool ParseJsonText(const std::string& text, Json::Value& out) {
    Json::Reader reader;
    return reader.parse(text, out, true);
}

#pragma GCC diagnostic pop
