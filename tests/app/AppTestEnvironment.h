// The application core started for one test: a program directory of its own ("C:\prog",
// below the test's redirected home) with the ini file the test writes, the hidden
// (headless) display, and every maker value taken from that file.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "app/MainApp.h"
#include "commonlib/core/Singleton.h"
#include "commonlib/nettool/NetToolThread.h"
#include "support/TempDir.h"

class AppTestEnvironment : public ::testing::Test {
protected:
    AppTestEnvironment() {
        MainApp::MakeLoggers();
        // Nothing answers the start-up lookups of most tests: let them give up quickly, so
        // that one test's lookup never holds up the next one's in the same process.
        NetToolOptions options;
        options.dns.timeoutMs = 100;
        options.dns.waitSliceMs = 20;
        CSingleton<CNetToolThread>::GetInstance().SetOptions(options);
    }
    void TearDown() override {
        if (m_started) MainApp::GetInstance().Uninit();
        m_started = false;
        // No lookup may outlive the test: the process may end next.
        CSingleton<CNetToolThread>::GetInstance().Stop(10000);
    }

    // Writes the program's ini file.
    void WriteIni(const std::string& text) const { m_dir.WriteFile("home/prog/xjzurazarevuz.ini", text); }
    // A path below the redirected home, where C: points.
    std::filesystem::path HostPath(const std::string& relative) const { return m_dir.Path() / "home" / relative; }

    void StartApp(int windowGameId = 0) {
        MainApp& app = MainApp::GetInstance();
        app.SetProgramDirForTesting(L"C:\\prog");
        app.SetHidden(true);
        app.Init(nullptr, windowGameId);
        m_started = true;
    }

    testsupport::TempDir m_dir{testsupport::TempDir::Home::Redirect};
    bool m_started = false;
};
