#include "commonlib/logger/DownloadLog.h"

#include "commonlib/logger/Log.h"
#include "commonlib/thread/MainThreadTask.h"
#include "commonlib/util/Md5.h"
#include "commonlib/util/StringUtils.h"
#include "commonlib/util/SystemInfo.h"

namespace {

constexpr char kSignKey[] = "Rq7HwB2mPzL0dN4e";

// Departs from the original behaviour (asking IsWow64Process): a 64-bit-only build tells by its word size.
constexpr const wchar_t* kWordSizeSuffix = sizeof(void*) == 8 ? L" x64" : L" x32";

}  // namespace

std::string MakeSignSource(const std::string& key, const std::string& data) {
    return key + data;
}

std::string MakeDownloadLogSign(const std::string& data) {
    const std::string source = MakeSignSource(kSignKey, data);
    return MD5(source.data(), source.size()).hex_digest();
}

DownloadLog& DownloadLog::GetInstance() {
    static DownloadLog instance;
    return instance;
}

DownloadLog::~DownloadLog() {
    Uninit();
}

bool DownloadLog::Init(const std::wstring& url, const std::wstring& version, const std::wstring& product) {
    CAutoLock guard(m_lock);
    if (!m_command) m_command = CreateReportCommand();
    if (!m_command) {
        XJ_LOG_WARN("下载日志没有HTTP命令, 不记录 url:%s", WideToUtf8(url).c_str());
        return false;
    }
    if (!m_pending) m_pending = std::make_unique<Json::Value>();
    m_url = url;
    m_identity = {version, product, GetOsVersionName() + kWordSizeSuffix, GetDeviceMac(), GetLocalIPv4()};
    return true;
}

bool DownloadLog::Uninit() {
    if (m_command) m_command->Stop();
    m_command.reset();
    m_pending.reset();
    // A stopped upload never completes, so nothing else would clear the flag.
    m_busy = false;
    return true;
}

void DownloadLog::AddDownloadRecord(const ProtoValue* report) {
    CAutoLock guard(m_lock);
    if (!report || m_url.empty() || !m_pending) return;
    m_pending->append(BuildDownloadRecord(*report));
    Send();
}

Json::Value DownloadLog::BuildDownloadRecord(const ProtoValue& report) const {
    Json::Value record = ReportRecordWithIdentity(report, m_identity);
    record["id"] = Json::UInt(m_id);
    record["ftime"] = ReportTimeText();
    return record;
}

bool DownloadLog::Send() {
    CAutoLock guard(m_lock);
    if (!m_command || m_busy || !m_pending || m_pending->empty()) return false;

    const std::string data = StyledJsonText(*m_pending);
    // Whatever happens below, these records have had their one attempt.
    *m_pending = Json::Value();

    const std::string sign = MakeDownloadLogSign(data);
    m_command->ClearFormFields();
    m_command->AddFormField("sign", sign);
    m_command->AddFormField("data", data);
    const bool started = m_command->Post(m_url, std::string(), &DownloadLog::OnUploadDone, nullptr);
    m_busy = started;
    XJ_LOG_INFO("发送网络日志统计 url:%s data:%s sign:%s", WideToUtf8(m_url).c_str(), data.c_str(), sign.c_str());
    if (!started) XJ_LOG_WARN("下载日志上传未能开始 url:%s", WideToUtf8(m_url).c_str());
    return started;
}

void DownloadLog::OnUploadDone(void*, const std::string& response, int type, int code) {
    XJ_LOG_INFO("下载日志统计上传结果 %d:%d %s", type, code, response.c_str());
    GetInstance().UploadDone();
}

void DownloadLog::UploadDone() {
    CAutoLock guard(m_lock);
    m_busy = false;
    // Departs from the original behaviour (they waited for another report): reports of the upload's time go now.
    // The send runs as its own task, once the command has finished its completion.
    if (m_pending && !m_pending->empty() && !PostToMainThread(MakeMainThreadTask(&DownloadLog::SendOnUiThread, 0))) {
        Send();
    }
}

void DownloadLog::SendOnUiThread(int) {
    GetInstance().Send();
}
