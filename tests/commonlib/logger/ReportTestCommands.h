// Report commands for the report tests: a scripted fake whose requests the test completes
// by hand, and the fixture whose command engine the reports' real commands post through.
// All of it belongs to the test's UI thread.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "commonlib/logger/ReportSupport.h"
#include "support/HttpTestFixture.h"
#include "support/ScriptedHttpServer.h"

struct FakePost {
    std::string body;
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

    // Ends the request under way as the HTTP layer would.
    void Complete(int type = 0, int code = 0) {
        if (!active) return;
        active = false;
        done(user, "ok", type, code);
    }
};

class FakeReportCommand : public IReportCommand {
public:
    explicit FakeReportCommand(std::shared_ptr<FakeCommandLog> log) : m_log(std::move(log)) {}
    ~FakeReportCommand() override { m_log->deletedWhileActive += m_log->active; }

    void ClearHeaders() override {}
    void AddHeader(std::string) override {}
    void ClearFormFields() override { m_form.clear(); }
    void AddFormField(std::string name, std::string value) override { m_form.emplace_back(name, value); }
    bool Post(const std::wstring&, std::string body, ReportPostDone done, void* user) override {
        if (m_log->refuse || m_log->active) return false;
        m_log->posts.push_back({std::move(body), m_form, GetCurrentThreadId()});
        m_log->active = true;
        m_log->done = done;
        m_log->user = user;
        return true;
    }
    void Stop() override {
        ++m_log->stops;
        m_log->active = false;
    }

private:
    std::shared_ptr<FakeCommandLog> m_log;
    std::vector<std::pair<std::string, std::string>> m_form;
};

// Makes report commands with `factory` while it lives (the default: fakes writing to `log`).
class ScopedCommandFactory {
public:
    ScopedCommandFactory()
        : m_previous(SetReportCommandFactory([log = log] { return std::make_unique<FakeReportCommand>(log); })) {}
    explicit ScopedCommandFactory(ReportCommandFactory factory)
        : m_previous(SetReportCommandFactory(std::move(factory))) {}
    ~ScopedCommandFactory() { SetReportCommandFactory(std::move(m_previous)); }
    std::shared_ptr<FakeCommandLog> log = std::make_shared<FakeCommandLog>();

private:
    ReportCommandFactory m_previous;
};

// The UI thread with the command engine, which the reports' own commands use. A report
// must let go of its command in TearDown before this class's TearDown ends the engine.
using ReportTest = HttpUiThreadTest;
