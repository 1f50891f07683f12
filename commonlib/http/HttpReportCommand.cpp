#include "commonlib/http/HttpReportCommand.h"

#include "commonlib/http/HttpCommand.h"

namespace {

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

}  // namespace

std::unique_ptr<IReportCommand> MakeHttpReportCommand() {
    return std::make_unique<CHttpReportCommand>();
}
