#include "commonlib/logger/ReportSupport.h"

#include <cstdio>
#include <mutex>

#include "commonlib/http/HttpCommand.h"
#include "commonlib/thread/MainThreadTask.h"
#include "commonlib/util/ProtoValueJsonConvertor.h"
#include "commonlib/util/StringUtils.h"
#include "platform/sync/Clock.h"
#include "platform/sync/Thread.h"

namespace {

std::mutex& FactoryMutex() {
    static std::mutex mutex;
    return mutex;
}

ReportCommandFactory& Factory() {
    static ReportCommandFactory factory;
    return factory;
}

// A command of the command engine.
class CHttpReportCommand final : public IReportCommand {
public:
    void ClearHeaders() override { m_command.ClearHeaders(); }
    void AddHeader(std::string line) override { m_command.AddHeader(std::move(line)); }
    void ClearFormFields() override { m_command.ClearFormFields(); }
    void AddFormField(std::string name, std::string value) override {
        m_command.AddFormField(std::move(name), std::move(value));
    }
    bool Post(const std::wstring& url, std::string body, ReportPostDone done, void* user) override {
        return m_command.Post(url, body, done, user);
    }
    void Stop() override { m_command.Stop(); }

private:
    CHttpCommand m_command;
};

std::unique_ptr<IReportCommand> CreateBuiltInCommand() {
    return std::make_unique<CHttpReportCommand>();
}

}  // namespace

ReportCommandFactory SetReportCommandFactory(ReportCommandFactory factory) {
    std::lock_guard lock(FactoryMutex());
    ReportCommandFactory previous = std::move(Factory());
    Factory() = std::move(factory);
    return previous;
}

std::unique_ptr<IReportCommand> CreateReportCommand() {
    ReportCommandFactory factory;
    {
        std::lock_guard lock(FactoryMutex());
        factory = Factory();
    }
    return factory ? factory() : CreateBuiltInCommand();
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
