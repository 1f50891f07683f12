// The main window as a person meets it, headless: the start sequence against a loopback
// update server, and clicks and typing injected through the display.

#include <unistd.h>

#include <cstdlib>

#include "app/AppTestEnvironment.h"
#include "app/InstallDir.h"
#include "app/MsgBoxDlg.h"
#include "commonlib/logger/LogFileFormat.h"
#include "commonlib/peer/DownloadTuning.h"
#include "commonlib/util/FolderPicker.h"
#include "platform/display/HeadlessDisplay.h"
#include "platform/fs/DriveMap.h"
#include "platform/window/Focus.h"
#include "platform/window/WindowBackend.h"
#include "support/ManualClock.h"
#include "support/ScriptedTcpServer.h"
#include "support/Watchdog.h"
#include "ui/basic/OptionUI.h"
#include "ui/core/TabLayoutUI.h"

using apptest::TestMainDlg;
using apptest::When;
using testsupport::DispatchPending;
using testsupport::PumpMessagesUntil;

namespace {

constexpr auto kLongWait = std::chrono::seconds(60);
constexpr int kInstallPageHeight = 434;
constexpr int kFoldOutHeight = 86;

int WindowHeight(HWND hwnd) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect.bottom - rect.top;
}

class MainWindowFlowTest : public AppTestEnvironment {
protected:
    void SetUp() override {
        apptest::MapDriveD(m_dir);
        platform::ReloadDriveMap();
        m_server = apptest::StartFakeClientServer(m_dir);
        ASSERT_NE(m_server, nullptr);
    }
    void TearDown() override {
        MainApp::GetInstance().SetHidden(true);
        MainApp::GetInstance().SetSkipVersionCheck(false);
        SetFolderPickerProvider({});
        SetFreeSpaceSourceForTesting({});
        SetDownloadTuning(DownloadTuning());
        AppTestEnvironment::TearDown();
        unsetenv("XJ_FAKE_CLIENT_RECORD");
        platform::ReloadDriveMap();
    }

    // The application, not hidden, with every maker value from the ini file (the loopback
    // server's unless the test names other servers).
    void Start(const std::string& servers = {}) {
        WriteIni((servers.empty() ? m_server->ServersSection() : servers) + "[Debug]\nLog=2\n");
        StartApp();
        MainApp::GetInstance().SetHidden(false);
    }
    HWND Create(CMainDlg& dialog) { return dialog.CreateHwnd(nullptr, L"t", WS_POPUP | WS_SYSMENU, 0); }
    // A client in D:\Games\QuorvelTarnvik, named by the shared documents' launcher ini.
    void InstallClient(const std::string& version, const std::wstring& key = L"InstallPath") {
        apptest::PutClient(m_dir, m_dir / "driveD/Games/QuorvelTarnvik", version,
                           L"D:\\Games\\QuorvelTarnvik\\QuorvelLauncher.exe", key);
    }
    size_t VersionRequests() const { return m_server->RequestsFor("/qvzurazarevuz.txt").size(); }
    std::string LauncherRecord() const { return TempDir::ReadFile(m_dir / "record/launcher.args"); }
    static std::string Launched(const CMainDlg& dialog) {
        return "-i\n" + std::to_string(dialog.GameId()) + "\n-d\n\n";
    }
    std::string ProgramLog() const {
        std::string text;
        for (const auto& entry : fs::directory_iterator(HostPath("prog/MiniLog"))) {
            std::vector<std::string> lines;
            DecodeLogFile(TempDir::ReadFile(entry.path()), &lines);
            for (const std::string& line : lines)
                text += line + "\n";
        }
        return text;
    }

    platform::HeadlessDisplay& Display() {
        return *dynamic_cast<platform::HeadlessDisplay*>(platform::CurrentWindowBackend());
    }
    static SkinUI::CControlUI* Control(SkinUI::WindowImplBase& window, const wchar_t* name) {
        return window.PaintManager().ControlByName(name);
    }
    // A left click in the middle of a control where the person sees it.
    void Click(SkinUI::WindowImplBase& window, const wchar_t* name) {
        UpdateWindow(window.GetHWND());
        const RECT bounds = Control(window, name)->GetBounds();
        POINT at{(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
        ClientToScreen(window.GetHWND(), &at);
        Display().Click(at.x, at.y);
        DispatchPending();
    }
    static int Page(CMainDlg& dialog) {
        return static_cast<SkinUI::CTabLayoutUI*>(Control(dialog, L"tb_main")->QueryFacet(L"TabLayout"))->CurrentPage();
    }
    static std::wstring Caption(CMainDlg& dialog, const wchar_t* name) {
        return Control(dialog, name)->GetCaption().ToWString();
    }

    std::unique_ptr<LoopbackUpdateServer> m_server;
};

}  // namespace

TEST_F(MainWindowFlowTest, TheStartSequenceFollowsTheInstalledClient) {
    Start();
    InstallClient("2.1.784");
    m_server->SetDescriptor("[Install]\r\nVersion=2.1.784\r\n");
    {
        SCOPED_TRACE("as new as the listed version: the launcher starts, the window never shows");
        TestMainDlg dialog(true);
        const HWND hwnd = Create(dialog);
        bool everShown = false;
        EXPECT_TRUE(PumpMessagesUntil(
            [&] {
                everShown = everShown || IsWindowVisible(hwnd);
                return !IsWindow(hwnd);
            },
            kLongWait));
        EXPECT_FALSE(everShown);
        EXPECT_TRUE(PumpMessagesUntil([&] { return !LauncherRecord().empty(); }, kLongWait));
        EXPECT_EQ(LauncherRecord(), Launched(dialog));
    }
    const std::string launchedOnce = LauncherRecord();
    {
        SCOPED_TRACE("a newer version listed: the install page shows after the answer");
        m_server->SetDescriptor("[Install]\r\nVersion=2.1.790\r\n");
        TestMainDlg dialog(true);
        const HWND hwnd = Create(dialog);
        EXPECT_FALSE(IsWindowVisible(hwnd));
        EXPECT_TRUE(PumpMessagesUntil([&] { return IsWindowVisible(hwnd) != FALSE; }, kLongWait));
        EXPECT_EQ(VersionRequests(), 2u);
        DestroyWindow(hwnd);
    }
    const struct {
        const char* why;
        const char* version;
        const wchar_t* key;
        bool testClient;
    } shownAtOnce[] = {
        {"older than the minimum", "2.1.783", L"InstallPath", false},
        {"the other edition's key", "2.1.790", L"TestInstallPath", false},
        {"a test client, which is the other edition's", "2.1.790", L"InstallPath", true},
    };
    for (const auto& c : shownAtOnce) {
        SCOPED_TRACE(c.why);
        InstallClient(c.version, c.key);
        if (c.testClient) m_dir.WriteFile("driveD/Games/QuorvelTarnvik/bin/test_app.ini", "[Debug]\nTestClient=1\n");
        TestMainDlg dialog(true);
        EXPECT_TRUE(IsWindowVisible(Create(dialog)));
        DestroyWindow(dialog.GetHWND());
    }
    {
        SCOPED_TRACE("-z: a sibling of the client's folder is proposed in the open custom options");
        fs::remove(m_dir / "driveD/Games/QuorvelTarnvik/bin/test_app.ini");
        MainApp::GetInstance().SetSkipVersionCheck(true);
        TestMainDlg dialog(true);
        const HWND hwnd = Create(dialog);
        EXPECT_TRUE(IsWindowVisible(hwnd));
        EXPECT_EQ(Caption(dialog, L"edit_input"), L"D:\\Games\\QuorvelTarnvik" + std::to_wstring(getpid()));
        EXPECT_EQ(WindowHeight(hwnd), kInstallPageHeight + kFoldOutHeight);
        DestroyWindow(hwnd);
    }
    DispatchPending();
    EXPECT_EQ(VersionRequests(), 2u) << "only the two checks above asked";
    EXPECT_EQ(LauncherRecord(), launchedOnce);
}

TEST_F(MainWindowFlowTest, TheVersionListIsReadLineByLineAndOnlyANewerVersionInstalls) {
    Start();
    InstallClient("2.1.784");
    const struct {
        const char* descriptor;
        bool launched;  // else the install page shows
    } cases[] = {
        {"[Install]\r\nUrl=http://127.0.0.1/x\r\n", true},  // no Version line
        {"[Install]\r\n  Version = 2.1.790 \r\nVersion=2.1.700\r\n", false},
        {"[Install]\r\nVersion=2.1.790a\r\n", true},  // unreadable: never newer
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.descriptor);
        fs::remove(m_dir / "record/launcher.args");
        m_server->SetDescriptor(c.descriptor);
        TestMainDlg dialog(true);
        const HWND hwnd = Create(dialog);
        EXPECT_TRUE(PumpMessagesUntil([&] { return !IsWindow(hwnd) || IsWindowVisible(hwnd); }, kLongWait));
        EXPECT_EQ(IsWindow(hwnd) == FALSE, c.launched);
        if (c.launched) {
            EXPECT_TRUE(PumpMessagesUntil([&] { return !LauncherRecord().empty(); }, kLongWait));
            EXPECT_EQ(LauncherRecord(), Launched(dialog));
        } else {
            DestroyWindow(hwnd);
            EXPECT_EQ(LauncherRecord(), "");
        }
    }
}

TEST_F(MainWindowFlowTest, UnansweredVersionRequestShowsThePageAfterThreeSeconds) {
    testsupport::ScriptedTcpServer silent;  // takes the connection and never says a word
    ASSERT_TRUE(silent.Start());
    std::string servers = m_server->ServersSection();
    const size_t at = servers.find("UpdateServer=");
    servers.replace(at, servers.find('\n', at) - at, "UpdateServer=https://127.0.0.1:" + std::to_string(silent.Port()));
    Start(servers);
    InstallClient("2.1.790");

    testsupport::ScopedManualClock clock;
    TestMainDlg dialog(true);
    const HWND hwnd = Create(dialog);
    DispatchPending();
    clock.Advance(std::chrono::milliseconds(kVersionCheckTimerMs - 1));
    DispatchPending();
    EXPECT_FALSE(IsWindowVisible(hwnd));
    clock.Advance(std::chrono::milliseconds(1));
    DispatchPending();
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_NE(ProgramLog().find("get version overtime"), std::string::npos);
    EXPECT_EQ(LauncherRecord(), "");
    DestroyWindow(hwnd);
}

TEST_F(MainWindowFlowTest, ClicksAndTypingOnTheInstallPage) {
    apptest::ScopedStringTable strings(L"223");  // the program's own: the game id's band goes on the install click
    // A package source that fails is given up at once rather than after the engine's waits.
    DownloadTuning tuning;
    tuning.retryDelaysMs.clear();
    SetDownloadTuning(tuning);
    Start();
    SetFreeSpaceSourceForTesting([](const std::wstring&) { return std::uint64_t{100} << 30; });
    std::wstring pickerStart;
    SetFolderPickerProvider([&](HWND, const std::wstring&, const std::wstring& start) {
        pickerStart = start;
        return L"E:\\";
    });
    TestMainDlg dialog;
    const HWND hwnd = Create(dialog);
    dialog.ShowHwnd(true, true);
    testsupport::Watchdog watchdog(kLongWait);

    // The custom options grow the window and show a proposal; typing follows every
    // character into the directory and its check.
    Click(dialog, L"btn_free");
    const std::wstring proposal = L"D:\\Quorvel网络\\QuorvelTarnvik";
    EXPECT_EQ(WindowHeight(hwnd), kInstallPageHeight + kFoldOutHeight);
    EXPECT_EQ(Caption(dialog, L"edit_input"), proposal);
    Click(dialog, L"edit_input");
    Display().KeyDown(VK_END);
    Display().KeyUp(VK_END);
    Display().TypeText("|x");
    DispatchPending();
    EXPECT_EQ(dialog.InstallDir(), proposal + L"|x");
    EXPECT_EQ(Caption(dialog, L"lb_tip"), L"安装目录无效，请选择正确的目录");

    // The picker starts at the directory; a drive's root gets the product's folder.
    Click(dialog, L"btn_select");
    EXPECT_EQ(pickerStart, proposal + L"|x");
    EXPECT_EQ(dialog.InstallDir(), L"E:\\QuorvelTarnvik");

    // Close twice: one quit box (a second click, through the disabled window or not, opens
    // nothing); Cancel keeps the installer.
    CMsgBoxDlg* quitBox = nullptr;
    CMsgBoxDlg* afterSecondClick = nullptr;
    When([&] { return dialog.OpenQuitBox() != nullptr; },
         [&] {
             quitBox = dialog.OpenQuitBox();
             Click(dialog, L"btn_close");
             dialog.PaintManager().RaiseNotify(Control(dialog, L"btn_close"), L"click");
             afterSecondClick = dialog.OpenQuitBox();
             Click(*quitBox, L"btn_cancel");
         });
    Click(dialog, L"btn_close");
    EXPECT_NE(quitBox, nullptr);
    EXPECT_EQ(afterSecondClick, quitBox);
    DispatchPending();
    ASSERT_TRUE(IsWindow(hwnd));

    // Without the agreement the install click shows the tip and starts nothing.
    Click(dialog, L"opt_agree");
    bool tipShown = false;
    When([&] { return GetActiveWindow() != hwnd; },
         [&] { tipShown = PostMessageW(GetActiveWindow(), WM_CLOSE, 1, 0) != FALSE; });
    Click(dialog, L"btn_install");
    EXPECT_TRUE(tipShown);
    EXPECT_EQ(dialog.Updater(), nullptr);
    EXPECT_EQ(Page(dialog), 0);

    // With it: E: does not exist, so the proposal on D: is used; the window loses the game
    // id's band, the custom options and the install row, and shows the progress page. The
    // package is gone from the server: the retry box tells its code, Retry starts over.
    std::string descriptor = m_server->DefaultDescriptor();
    for (size_t at = 0; (at = descriptor.find(LoopbackUpdateServer::kPackagePath, at)) != std::string::npos;)
        descriptor.replace(at, std::string(LoopbackUpdateServer::kPackagePath).size(), "/gone.exe");
    m_server->SetDescriptor(descriptor);
    std::wstring code;
    size_t fetchesAtSecondBox = 0;
    When([&] { return dialog.OpenRetryBox() != nullptr; },
         [&] {
             code = Control(*dialog.OpenRetryBox(), L"lb_code")->GetCaption().ToWString();
             Click(*dialog.OpenRetryBox(), L"btn_ok");
             When([&] { return dialog.OpenRetryBox() != nullptr; },
                  [&] {
                      fetchesAtSecondBox = VersionRequests();
                      Click(*dialog.OpenRetryBox(), L"btn_close");
                  });
         });
    Click(dialog, L"opt_agree");
    Click(dialog, L"btn_install");
    EXPECT_EQ(dialog.DownloadDir(), proposal);
    ASSERT_EQ(dialog.GameId(), 223);
    EXPECT_EQ(WindowHeight(hwnd), kInstallPageHeight - 36 - 84);
    EXPECT_EQ(Page(dialog), 1);
    ASSERT_TRUE(PumpMessagesUntil([&] { return fetchesAtSecondBox != 0; }, kLongWait));
    EXPECT_EQ(code.rfind(L"code:404 type:", 0), 0u) << platform::Utf8FromWide(code);
    EXPECT_EQ(fetchesAtSecondBox, 2u) << "Retry starts over with the descriptor";
    DestroyWindow(hwnd);
    DispatchPending();
}
