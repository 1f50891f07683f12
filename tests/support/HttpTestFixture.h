// The UI-thread fixtures of the HTTP layer's tests (header only: they need commonlib, which the
// support library does not link), on the command engine or a private one, with a completion
// recorder and a bare request. All of them are used on the UI thread only.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "commonlib/http/HttpBase.h"
#include "commonlib/http/HttpCommand.h"
#include "commonlib/http/HttpEngine.h"
#include "commonlib/http/HttpTrust.h"
#include "commonlib/thread/MainThreadTask.h"
#include "platform/fs/DriveMap.h"
#include "platform/sync/Thread.h"
#include "support/MessagePump.h"

struct CommandOutcome {
    int calls = 0;
    std::string text;
    int type = -1;
    int code = -1;
    bool offUiThread = false;

    static void Record(void* user, const std::string& text, int type, int code) {
        auto* outcome = static_cast<CommandOutcome*>(user);
        ++outcome->calls;
        outcome->text = text;
        outcome->type = type;
        outcome->code = code;
        outcome->offUiThread |= GetCurrentThreadId() != GetMainThreadId();
    }
    // Success with `body`.
    ::testing::AssertionResult Delivered(const std::string& body) const {
        if (type == 0 && code == 0 && text == body) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "pair " << type << "/" << code << ", text \"" << text << "\"";
    }

    // Start `command` with this outcome, cleared, as its completion.
    bool Get(CHttpCommand& command, const std::wstring& url, HttpErrorReporting reporting = HttpErrorReporting::Off,
             const std::wstring& pinned = L"") {
        *this = {};
        return command.Get(url, &Record, this, reporting, pinned, L"");
    }
    bool Post(CHttpCommand& command, const std::wstring& url, const std::string& body) {
        *this = {};
        return command.Post(url, body, &Record, this);
    }
};

// A bare request (on `engine`, or the program's): one attempt and its pair.
class ProbeRequest : public CHttpBase {
public:
    explicit ProbeRequest(CHttpEngine* engine = nullptr) : CHttpBase(engine) {}
    bool Start(const std::string& url) { return StartAttempt(BuildSettings(url, HttpMethod::Get, {}, {}), 0); }

    int doneCalls = 0;
    HttpResult result;
    HttpResponse response;
    bool offUiThread = false;

protected:
    void OnAttemptDone(const CRefPtr<CCurlHttp>& transfer, HttpResult pair) override {
        ++doneCalls;
        result = pair;
        response = transfer->Response();
        offUiThread |= GetCurrentThreadId() != GetMainThreadId();
    }
};

// Pumps the UI thread, with the scheduler's poll, until `done` or the deadline.
inline bool PumpWithScheduler(CHttpMgr* mgr, const std::function<bool()>& done) {
    return testsupport::PumpMessagesUntil([&] {
        if (mgr) {
            mgr->CheckTimeouts();
            mgr->StartDueRequests();
        }
        return done();
    });
}

// Trusts the CA certificates of a PEM file (host path) besides the system's; "" trusts the
// system's alone.
inline bool TrustCaFile(const std::string& hostPath) {
    return SetHttpExtraCaFile(hostPath.empty() ? std::wstring() : platform::WinPath(hostPath));
}

class HttpUiThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CreateMainThreadWindow());
        ASSERT_TRUE(InitHttpCommandMgr());
    }
    void TearDown() override {
        UninitHttpCommandMgr();
        ShutdownMainThreadQueue();
        TrustCaFile("");
    }
    static bool PumpUntil(const std::function<bool()>& done) { return PumpWithScheduler(GetHttpCommandMgr(), done); }
};

// The same on a private engine, for the layers below the command engine.
class HttpEngineTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CreateMainThreadWindow());
        ASSERT_TRUE(m_engine.Start());
    }
    void TearDown() override {
        m_engine.Stop();
        ShutdownMainThreadQueue();
    }
    bool PumpUntil(const std::function<bool()>& done) { return PumpWithScheduler(&m_engine.Mgr(), done); }

    CHttpEngine m_engine;
};
