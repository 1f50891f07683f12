// What the application's tests share: the application core started for one test (a
// program directory "C:\prog" below the test's redirected home, the ini file the test
// writes, the hidden display), the fake client's world (drive D:, an installed client,
// the update server serving the fake client as the package), the main window without its
// start sequence, and steps run from inside whatever message loop runs next.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/MainApp.h"
#include "app/MainDlg.h"
#include "commonlib/core/Singleton.h"
#include "commonlib/http/HttpTrust.h"
#include "commonlib/nettool/NetToolThread.h"
#include "commonlib/thread/MainThreadTask.h"
#include "platform/resource/StringTable.h"
#include "platform/strings/StringConv.h"
#include "platform/window/MessageApi.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowPos.h"
#include "support/LoopbackUpdateServer.h"
#include "support/MessagePump.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using testsupport::LoopbackUpdateServer;
using testsupport::TempDir;

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
        SetHttpExtraCaFile({});
    }

    void WriteIni(const std::string& text) const { m_dir.WriteFile("home/prog/xjzurazarevuz.ini", text); }
    // A path below the redirected home, where C: points.
    fs::path HostPath(const std::string& relative) const { return m_dir.Path() / "home" / relative; }
    void StartApp(int windowGameId = 0) {
        MainApp& app = MainApp::GetInstance();
        app.SetProgramDirForTesting(L"C:\\prog");
        app.SetHidden(true);
        app.Init(nullptr, windowGameId);
        m_started = true;
    }

    TempDir m_dir{TempDir::Home::Redirect};
    bool m_started = false;
};

namespace apptest {

// The program's string table for one test: channel "0", `gameId` as string 2 and the
// title. Without it a window finds no strings: game id 0, the public edition.
class ScopedStringTable {
public:
    explicit ScopedStringTable(const wchar_t* gameId) {
        platform::RegisterString(1, L"0");
        platform::RegisterString(2, gameId);
        platform::RegisterString(3, L"《Aldrune》安装程序");
    }
    ~ScopedStringTable() { platform::RegisterString(2, L"0"); }
    ScopedStringTable(const ScopedStringTable&) = delete;
    ScopedStringTable& operator=(const ScopedStringTable&) = delete;
};

// D: is <dir>/driveD (the drive map is read when a process or a reload asks for it).
inline void MapDriveD(const TempDir& dir) {
    fs::create_directories(dir / "driveD");
    dir.WriteFile("home/.config/xjinstaller/drives.ini", "[Drives]\nD=" + (dir / "driveD").string() + "\n");
}

// A client of that version in `host` (the fake client as its launcher), and the shared
// documents' launcher ini naming it (`launcher` in Windows form) under `key`.
inline void PutClient(const TempDir& dir, const fs::path& host, const std::string& version,
                      const std::wstring& launcher, const std::wstring& key = L"InstallPath") {
    fs::create_directories(host / "bin");
    fs::copy_file(XJ_FAKE_CLIENT_PROGRAM, host / "QuorvelLauncher.exe", fs::copy_options::overwrite_existing);
    std::ofstream(host / "rkupdate.ini", std::ios::binary) << "[Setting]\r\nVersion=" << version << "\r\n";
    dir.WriteFile("home/Documents/QuorvelLauncher/QuorvelLaucher.ini",
                  "\xFF\xFE" + platform::Utf16LeBytesFromWide(L"[QuorvelNet-Launcher]\r\n" + key + L"=" + launcher));
}

// The update server with the fake client as the package; the fake client records its runs
// in <dir>/record.
inline std::unique_ptr<LoopbackUpdateServer> StartFakeClientServer(const TempDir& dir) {
    fs::create_directories(dir / "record");
    setenv("XJ_FAKE_CLIENT_RECORD", (dir / "record").c_str(), 1);
    auto server = std::make_unique<LoopbackUpdateServer>(LoopbackUpdateServer::Options{.certDir = dir.Path()});
    server->SetPackage(TempDir::ReadFile(XJ_FAKE_CLIENT_PROGRAM), "2.1.790");
    return server->Start() ? std::move(server) : nullptr;
}

// The main window, with its start sequence only when a test asks for it.
class TestMainDlg : public CMainDlg {
public:
    explicit TestMainDlg(bool runStartSequence = false) : m_runStartSequence(runStartSequence) {}

protected:
    void StartSequence() override {
        if (m_runStartSequence) CMainDlg::StartSequence();
    }

private:
    bool m_runStartSequence;
};

// Runs `step` on the UI thread from whatever message loop runs next.
inline void Later(std::function<void()> step) {
    struct Holder {
        static void Run(std::shared_ptr<std::function<void()>> fn) { (*fn)(); }
    };
    PostToMainThread(MakeMainThreadTask(&Holder::Run, std::make_shared<std::function<void()>>(std::move(step))));
}

// Runs `step` from the message loop that runs once `ready()` holds, polled on a 5 ms
// thread timer of the real clock: timers come last, so input and posted messages keep
// flowing meanwhile. A test that waits for the step guards itself with a deadline
// (testsupport::Watchdog).
inline std::map<UINT_PTR, std::pair<std::function<bool()>, std::function<void()>>>& PendingSteps() {
    static std::map<UINT_PTR, std::pair<std::function<bool()>, std::function<void()>>> steps;
    return steps;
}
inline void When(std::function<bool()> ready, std::function<void()> step) {
    const UINT_PTR id = SetTimer(nullptr, 0, 5, [](HWND, UINT, UINT_PTR id, DWORD) {
        const auto it = PendingSteps().find(id);
        if (it == PendingSteps().end() || !it->second.first()) return;
        std::function<void()> run = std::move(it->second.second);
        KillTimer(nullptr, id);
        PendingSteps().erase(it);
        run();
    });
    PendingSteps()[id] = {std::move(ready), std::move(step)};
}

}  // namespace apptest
