// Report commands for the report tests: a scripted fake whose requests the test completes
// by hand, and the command engine that the reports' real commands post through.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "commonlib/logger/ReportSupport.h"
#include "platform/types/WinTypes.h"

struct FakePost {
    std::wstring url;
    std::string body;
    std::vector<std::string> headers;
    std::vector<std::pair<std::string, std::string>> formFields;
    DWORD threadId = 0;
};

// What every fake command of a test shares: the requests made and the one under way.
struct FakeCommandLog {
    std::vector<FakePost> posts;
    bool refuse = false;  // Post returns false
    bool active = false;
    ReportPostDone done = nullptr;
    void* user = nullptr;
    int stops = 0;
    int deletedWhileActive = 0;

    // Ends the request under way as the HTTP layer would, on the calling (UI) thread.
    void Complete(int type = 0, int code = 0, const std::string& response = "ok");
};

class FakeReportCommand : public IReportCommand {
public:
    explicit FakeReportCommand(std::shared_ptr<FakeCommandLog> log) : m_log(std::move(log)) {}
    ~FakeReportCommand() override;

    void ClearHeaders() override { m_headers.clear(); }
    void AddHeader(std::string line) override { m_headers.push_back(std::move(line)); }
    void ClearFormFields() override { m_form.clear(); }
    void AddFormField(std::string name, std::string value) override { m_form.emplace_back(name, value); }
    bool Post(const std::wstring& url, std::string body, ReportPostDone done, void* user) override;
    void Stop() override;

private:
    std::shared_ptr<FakeCommandLog> m_log;
    std::vector<std::string> m_headers;
    std::vector<std::pair<std::string, std::string>> m_form;
};

// Installs a factory making fake commands that write to `log`; restores the previous
// factory when destroyed.
class ScopedFakeCommands {
public:
    ScopedFakeCommands();
    ~ScopedFakeCommands();
    std::shared_ptr<FakeCommandLog> log = std::make_shared<FakeCommandLog>();

private:
    ReportCommandFactory m_previous;
};

// The command engine for a loopback test, which the reports' own commands use. `release`
// runs first on destruction, so a report lets go of its command while the engine lives.
class ScopedCommandEngine {
public:
    explicit ScopedCommandEngine(std::function<void()> release);
    ~ScopedCommandEngine();
    bool Started() const { return m_started; }

private:
    std::function<void()> m_release;
    bool m_started;
};

// Pumps the UI thread, polling the command engine's scheduler as the program does, until
// `done` or the deadline.
bool PumpReportsUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10));
