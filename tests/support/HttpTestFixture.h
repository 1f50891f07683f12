// The UI-thread fixture of the HTTP layer's tests (header only: it needs commonlib, which the
// support library does not link), with the command engine and a completion recorder.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

#include "commonlib/http/HttpEngine.h"
#include "commonlib/thread/MainThreadTask.h"
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
    bool Is(int expectedType, int expectedCode) const { return type == expectedType && code == expectedCode; }
};

class HttpUiThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(CreateMainThreadWindow());
        ASSERT_TRUE(InitHttpCommandMgr());
    }
    void TearDown() override {
        UninitHttpCommandMgr();
        ShutdownMainThreadQueue();
    }

    // Pumps the UI thread, with the program's scheduler poll, until `done` or the deadline.
    static bool PumpUntil(const std::function<bool()>& done,
                          std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
        return testsupport::PumpMessagesUntil(
            [&] {
                if (CHttpMgr* mgr = GetHttpCommandMgr()) {
                    mgr->CheckTimeouts();
                    mgr->StartDueRequests();
                }
                return done();
            },
            timeout);
    }
};
