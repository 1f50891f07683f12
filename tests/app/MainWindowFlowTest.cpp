// The main window as a person meets it, headless: the start sequence against a loopback
// update server, and clicks and typing injected through the display.
//
// InstallerProcessClickTest runs the package, so it runs alone (see InstallerProcessTest.cpp).
#include <gtest/gtest.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/AppTestEnvironment.h"
#include "app/InstallDir.h"
#include "app/MainWindowTesting.h"
#include "app/MsgBoxDlg.h"
#include "commonlib/logger/LogFileFormat.h"
#include "commonlib/peer/DownloadTuning.h"
#include "commonlib/util/FolderPicker.h"
#include "platform/display/HeadlessDisplay.h"
#include "platform/fs/DriveMap.h"
#include "platform/process/ShellOpen.h"
#include "platform/strings/StringConv.h"
#include "platform/window/Focus.h"
#include "platform/window/Paint.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowBackend.h"
#include "platform/window/WindowPos.h"
#include "support/LoopbackUpdateServer.h"
#include "support/ManualClock.h"
#include "support/MessagePump.h"
#include "support/Watchdog.h"
#include "ui/basic/LabelUI.h"
#include "ui/basic/OptionUI.h"
#include "ui/core/TabLayoutUI.h"

namespace fs = std::filesystem;
using apptest::DispatchPending;
using apptest::TestMainDlg;
using apptest::When;
using testsupport::LoopbackUpdateServer;

namespace {

constexpr auto kLongWait = std::chrono::seconds(60);
constexpr int kInstallPageHeight = 434;
constexpr int kFoldOutHeight = 86;

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::wstring WindowTitle(HWND hwnd) {
    wchar_t buffer[128] = {};
    GetWindowTextW(hwnd, buffer, 128);
    return buffer;
}

int WindowHeight(HWND hwnd) {
    RECT rect{};
    GetWindowRect(hwnd, &rect);
    return rect.bottom - rect.top;
}

class MainWindowFlowTest : public AppTestEnvironment {
protected:
    void SetUp() override {
        m_dir.WriteFile("home/.config/xjinstaller/drives.ini", "[Drives]\nD=" + DriveD().string() + "\n");
        fs::create_directories(DriveD());
        fs::create_directories(m_record);
        platform::ReloadDriveMap();
        setenv("XJ_FAKE_CLIENT_RECORD", m_record.c_str(), 1);
        LoopbackUpdateServer::Options options;
        options.certDir = m_dir.Path().string();
        m_server = std::make_unique<LoopbackUpdateServer>(options);
        m_server->SetPackage(ReadBytes(XJ_FAKE_CLIENT_PROGRAM), "2.1.790");
        ASSERT_TRUE(m_server->Start());
    }
    void TearDown() override {
        MainApp& app = MainApp::GetInstance();
        app.SetHidden(true);
        app.SetSkipVersionCheck(false);
        SetFolderPickerProvider({});
        platform::SetShellOpenHook({});
        SetFreeSpaceSourceForTesting({});
        SetDownloadTuning(DownloadTuning());
        AppTestEnvironment::TearDown();
        unsetenv("XJ_FAKE_CLIENT_RECORD");
        platform::ReloadDriveMap();
    }

    fs::path DriveD() const { return m_dir / "driveD"; }
    // The application with every maker value taken from the loopback server, not hidden.
    void Start(const std::string& servers = {}) {
        WriteIni((servers.empty() ? m_server->ServersSection() : servers) + "[Debug]\nLog=2\n");
        StartApp();
        MainApp::GetInstance().SetHidden(false);
    }
    HWND Create(CMainDlg& dialog) {
        return dialog.CreateHwnd(nullptr, L"《Aldrune》安装程序", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0);
    }
    // An installed client whose launcher the shared documents' ini names, as a client leaves it.
    void InstallClient(const std::string& version, const std::wstring& key = L"InstallPath") {
        const fs::path dir = DriveD() / "Games" / "QuorvelTarnvik";
        fs::create_directories(dir / "bin");
        fs::copy_file(XJ_FAKE_CLIENT_PROGRAM, dir / "QuorvelLauncher.exe", fs::copy_options::overwrite_existing);
        std::ofstream(dir / "rkupdate.ini") << "[Setting]\r\nVersion=" << version << "\r\n";
        const std::wstring ini =
            L"[QuorvelNet-Launcher]\r\n" + key + L"=D:\\Games\\QuorvelTarnvik\\QuorvelLauncher.exe\r\n";
        m_dir.WriteFile("home/Documents/QuorvelLauncher/QuorvelLaucher.ini",
                        "\xFF\xFE" + platform::Utf16LeBytesFromWide(ini));
    }
    void ListVersion(const std::string& version) {
        std::string descriptor = m_server->DefaultDescriptor();
        const size_t at = descriptor.find("Version=") + 8;
        descriptor.replace(at, descriptor.find_first_of("\r\n", at) - at, version);
        m_server->SetDescriptor(descriptor);
    }
    size_t VersionRequests() const { return m_server->RequestsFor("/qvzurazarevuz.txt").size(); }
    std::string LauncherRecord() const { return ReadBytes(m_record / "launcher.args"); }
    // The launcher's arguments as the installer passes them, once per run.
    static std::string Launched(const CMainDlg& dialog) {
        return "-i\n" + std::to_string(dialog.GameId()) + "\n-d\n\n";
    }
    // The program's log so far, decoded.
    std::string ProgramLog() const {
        std::string text;
        for (const auto& entry : fs::directory_iterator(HostPath("prog/MiniLog"))) {
            std::vector<std::string> lines;
            DecodeLogFile(ReadBytes(entry.path()), &lines);
            for (const std::string& line : lines)
                text += line + "\n";
        }
        return text;
    }

    platform::HeadlessDisplay& Display() {
        auto* display = dynamic_cast<platform::HeadlessDisplay*>(platform::CurrentWindowBackend());
        EXPECT_NE(display, nullptr);
        return *display;
    }
    static SkinUI::CControlUI* Control(CMainDlg& dialog, const wchar_t* name) {
        return dialog.PaintManager().ControlByName(name);
    }
    // A left click in the middle of a control, through the display.
    void Click(SkinUI::WindowImplBase& window, const wchar_t* name) {
        SkinUI::CControlUI* control = window.PaintManager().ControlByName(name);
        ASSERT_NE(control, nullptr) << platform::Utf8FromWide(name);
        UpdateWindow(window.GetHWND());  // lays the controls out where the person sees them
        const RECT bounds = control->GetBounds();
        POINT at{(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
        ClientToScreen(window.GetHWND(), &at);
        Display().Click(at.x, at.y);
        DispatchPending();
    }
    static int Page(CMainDlg& dialog) {
        return static_cast<SkinUI::CTabLayoutUI*>(Control(dialog, L"tb_main")->QueryFacet(L"TabLayout"))->CurrentPage();
    }

    fs::path m_record = m_dir / "record";
    std::unique_ptr<LoopbackUpdateServer> m_server;
};

class InstallerProcessClickTest : public MainWindowFlowTest {};

}  // namespace

TEST_F(MainWindowFlowTest, InstalledClientIsStartedOrReinstalledByItsVersion) {
    Start();
    std::string launched;
    {
        SCOPED_TRACE("at the minimum and as new as the list: the launcher starts, the window never shows");
        InstallClient("2.1.784");
        ListVersion("2.1.784");
        TestMainDlg dialog(true);
        const HWND hwnd = Create(dialog);
        ASSERT_NE(hwnd, nullptr);
        bool everShown = false;
        EXPECT_TRUE(testsupport::PumpMessagesUntil(
            [&] {
                everShown = everShown || IsWindowVisible(hwnd);
                return !IsWindow(hwnd);
            },
            kLongWait));
        EXPECT_FALSE(everShown);
        EXPECT_EQ(VersionRequests(), 1u);
        EXPECT_TRUE(testsupport::PumpMessagesUntil([&] { return !LauncherRecord().empty(); }, kLongWait));
        launched = Launched(dialog);
        EXPECT_EQ(LauncherRecord(), launched);
    }
    {
        SCOPED_TRACE("a newer version listed: the install page shows");
        ListVersion("2.1.790");
        TestMainDlg dialog(true);
        const HWND hwnd = Create(dialog);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_FALSE(IsWindowVisible(hwnd)) << "hidden until the answer";
        EXPECT_TRUE(testsupport::PumpMessagesUntil([&] { return IsWindowVisible(hwnd) != FALSE; }, kLongWait));
        EXPECT_EQ(Page(dialog), 0);
        EXPECT_EQ(VersionRequests(), 2u);
        DestroyWindow(hwnd);
    }
    {
        SCOPED_TRACE("older than the minimum: the page shows at once, nothing is asked");
        InstallClient("2.1.783");
        TestMainDlg dialog(true);
        const HWND hwnd = Create(dialog);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_TRUE(IsWindowVisible(hwnd));
        DestroyWindow(hwnd);
    }
    {
        SCOPED_TRACE("another edition's client: as if none were installed");
        InstallClient("2.1.790", L"TestInstallPath");
        TestMainDlg dialog(true);
        const HWND hwnd = Create(dialog);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_TRUE(IsWindowVisible(hwnd));
        EXPECT_EQ(dialog.LauncherPath(), L"");
        DestroyWindow(hwnd);
        InstallClient("2.1.790");
        m_dir.WriteFile("driveD/Games/QuorvelTarnvik/bin/test_app.ini", "[Debug]\nTestClient=1\n");
        TestMainDlg marked(true);
        ASSERT_NE(Create(marked), nullptr);
        EXPECT_TRUE(IsWindowVisible(marked.GetHWND())) << "a test client is the internal edition's";
        DestroyWindow(marked.GetHWND());
    }
    DispatchPending();
    EXPECT_EQ(VersionRequests(), 2u);
    EXPECT_EQ(LauncherRecord(), launched) << "one launcher start";
}

TEST_F(MainWindowFlowTest, UnansweredVersionRequestShowsThePageAfterThreeSeconds) {
    // A server that takes the connection and never says a word.
    const int silent = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(silent, 4), 0);
    ASSERT_EQ(::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length), 0);
    std::string servers = m_server->ServersSection();
    const size_t at = servers.find("UpdateServer=");
    servers.replace(at, servers.find('\n', at) - at,
                    "UpdateServer=https://127.0.0.1:" + std::to_string(ntohs(address.sin_port)));
    Start(servers);
    InstallClient("2.1.790");

    testsupport::ScopedManualClock clock;
    TestMainDlg dialog(true);
    const HWND hwnd = Create(dialog);
    ASSERT_NE(hwnd, nullptr);
    testsupport::PumpMessagesFor(std::chrono::milliseconds(50));
    clock.Advance(std::chrono::milliseconds(kVersionCheckTimerMs - 1));
    DispatchPending();
    EXPECT_FALSE(IsWindowVisible(hwnd));
    clock.Advance(std::chrono::milliseconds(1));
    DispatchPending();
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_NE(ProgramLog().find("get version overtime"), std::string::npos);
    EXPECT_EQ(LauncherRecord(), "");
    DestroyWindow(hwnd);
    ::close(silent);
}

TEST_F(MainWindowFlowTest, SkippedVersionCheckProposesAFolderBesideTheClient) {
    Start();
    InstallClient("2.1.790");
    MainApp::GetInstance().SetSkipVersionCheck(true);
    TestMainDlg dialog(true);
    const HWND hwnd = Create(dialog);
    ASSERT_NE(hwnd, nullptr);
    const std::wstring proposal = L"D:\\Games\\QuorvelTarnvik" + std::to_wstring(getpid());
    EXPECT_TRUE(IsWindowVisible(hwnd));
    EXPECT_EQ(dialog.InstallDir(), proposal);
    EXPECT_EQ(Control(dialog, L"edit_input")->GetCaption().ToWString(), proposal);
    EXPECT_TRUE(Control(dialog, L"about_free")->IsShown());
    EXPECT_EQ(WindowHeight(hwnd), kInstallPageHeight + kFoldOutHeight);
    DispatchPending();
    EXPECT_EQ(VersionRequests(), 0u);
    DestroyWindow(hwnd);
}

TEST_F(MainWindowFlowTest, ClicksAndTypingOnTheInstallPage) {
    Start();
    SetFreeSpaceSourceForTesting([](const std::wstring&) { return std::uint64_t{100} << 30; });
    std::vector<std::string> opened;
    platform::SetShellOpenHook([&](const std::string& target) {
        opened.push_back(target);
        return true;
    });
    std::wstring pickerStart;
    std::wstring pickerAnswer = L"E:\\";
    SetFolderPickerProvider([&](HWND, const std::wstring&, const std::wstring& start) {
        pickerStart = start;
        return pickerAnswer;
    });
    TestMainDlg dialog;
    const HWND hwnd = Create(dialog);
    ASSERT_NE(hwnd, nullptr);
    dialog.ShowHwnd(true, true);
    testsupport::Watchdog watchdog(kLongWait);
    auto* tip = static_cast<SkinUI::CLabelUI*>(Control(dialog, L"lb_tip")->QueryFacet(L"Label"));

    // The system menu's Close is greyed: Alt+F4 does nothing.
    Display().KeyDown(VK_MENU);
    Display().KeyDown(VK_F4);
    Display().KeyUp(VK_F4);
    Display().KeyUp(VK_MENU);
    DispatchPending();
    ASSERT_TRUE(IsWindow(hwnd));

    // The fold-out: the window grows, the proposal and its space line appear.
    Click(dialog, L"btn_free");
    const std::wstring proposal = L"D:\\Quorvel网络\\QuorvelTarnvik";
    EXPECT_EQ(WindowHeight(hwnd), kInstallPageHeight + kFoldOutHeight);
    EXPECT_EQ(Control(dialog, L"edit_input")->GetCaption().ToWString(), proposal);
    EXPECT_EQ(tip->GetCaption().ToWString(), L"所需磁盘空间：400.00MB          可用磁盘空间：100.00GB");

    // Typing follows every character into the directory and the line.
    Click(dialog, L"edit_input");
    Display().KeyDown(VK_END);
    Display().KeyUp(VK_END);
    Display().TypeText("|x");
    DispatchPending();
    EXPECT_EQ(dialog.InstallDir(), proposal + L"|x");
    EXPECT_EQ(tip->GetCaption().ToWString(), L"安装目录无效，请选择正确的目录");

    // The picker starts at the directory; a drive's root gets the product's folder.
    Click(dialog, L"btn_select");
    EXPECT_EQ(pickerStart, proposal + L"|x");
    EXPECT_EQ(dialog.InstallDir(), L"E:\\QuorvelTarnvik");
    pickerAnswer.clear();
    Click(dialog, L"btn_select");
    EXPECT_EQ(dialog.InstallDir(), L"E:\\QuorvelTarnvik") << "a cancelled pick changes nothing";

    Click(dialog, L"btn_agreement");
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], m_server->HttpsOrigin() + "/agreement.html");

    // Close twice: one quit box (the window under it takes no clicks, and a second click
    // that reaches it all the same opens nothing); Cancel keeps the installer.
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
    EXPECT_EQ(dialog.OpenQuitBox(), nullptr);
    DispatchPending();
    ASSERT_TRUE(IsWindow(hwnd));

    // Without the agreement the install click shows the tip and starts nothing.
    Click(dialog, L"opt_agree");
    ASSERT_FALSE(static_cast<SkinUI::COptionUI*>(Control(dialog, L"opt_agree")->QueryFacet(L"Option"))->IsSelected());
    std::wstring tipTitle;
    When([&] { return GetActiveWindow() != hwnd; },
         [&] {
             tipTitle = WindowTitle(GetActiveWindow());
             PostMessageW(GetActiveWindow(), WM_CLOSE, 1, 0);
         });
    Click(dialog, L"btn_install");
    EXPECT_EQ(tipTitle, L"提示信息");
    EXPECT_EQ(dialog.Updater(), nullptr);
    EXPECT_EQ(Page(dialog), 0);

    // With it: E: does not exist, so the proposal on D: is used; the window shrinks by the
    // game id's band, the fold-out and the install row, and shows the progress page.
    Click(dialog, L"opt_agree");
    Click(dialog, L"btn_install");
    EXPECT_EQ(dialog.InstallDir(), proposal);
    EXPECT_EQ(dialog.DownloadDir(), proposal);
    EXPECT_EQ(WindowHeight(hwnd),
              kInstallPageHeight + kFoldOutHeight - (dialog.GameId() != 0 ? 36 : 0) - kFoldOutHeight - 84);
    EXPECT_EQ(Page(dialog), 1);
    EXPECT_NE(dialog.Updater(), nullptr);
    DestroyWindow(hwnd);
    DispatchPending();
}

TEST_F(MainWindowFlowTest, FailedPackageDownloadOffersARetryThatStartsOver) {
    // A source that fails is given up at once rather than after the engine's waits.
    DownloadTuning tuning;
    tuning.retryDelaysMs.clear();
    SetDownloadTuning(tuning);
    Start();
    std::string descriptor = m_server->DefaultDescriptor();
    for (const char* key : {"Url=", "SSLUrl="}) {
        const size_t at = descriptor.find(LoopbackUpdateServer::kPackagePath, descriptor.find(key));
        descriptor.replace(at, std::string(LoopbackUpdateServer::kPackagePath).size(), "/gone.exe");
    }
    m_server->SetDescriptor(descriptor);
    TestMainDlg dialog;
    const HWND hwnd = Create(dialog);
    ASSERT_NE(hwnd, nullptr);
    dialog.ShowHwnd(true, true);
    testsupport::Watchdog watchdog(kLongWait);

    std::wstring code;
    UpdaterModule* first = nullptr;
    When([&] { return dialog.OpenRetryBox() != nullptr; },
         [&] {
             first = dialog.Updater();
             SkinUI::CControlUI* line = dialog.OpenRetryBox()->PaintManager().ControlByName(L"lb_code");
             code = line->GetCaption().ToWString();
             Click(*dialog.OpenRetryBox(), L"btn_ok");
         });
    Click(dialog, L"btn_install");
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return !code.empty() && VersionRequests() >= 2; }, kLongWait));
    EXPECT_EQ(code.rfind(L"code:404 type:", 0), 0u) << platform::Utf8FromWide(code);
    EXPECT_NE(dialog.Updater(), first) << "Retry makes a new update";
    DestroyWindow(hwnd);
    DispatchPending();
}

TEST_F(InstallerProcessClickTest, ClickedInstallEndsWithTheLauncherStarted) {
    Start();
    TestMainDlg dialog(true);
    const HWND hwnd = Create(dialog);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_TRUE(IsWindowVisible(hwnd));
    testsupport::Watchdog watchdog(std::chrono::seconds(120));
    Click(dialog, L"btn_install");
    EXPECT_EQ(dialog.InstallDir(), L"D:\\Quorvel网络\\QuorvelTarnvik");
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return !IsWindow(hwnd); }, std::chrono::seconds(120)));
    EXPECT_EQ(dialog.ExitCode(), InstallExitCode::Success);
    EXPECT_TRUE(fs::exists(DriveD() / "Quorvel网络" / "QuorvelTarnvik" / "QuorvelLauncher.exe"));
    EXPECT_TRUE(testsupport::PumpMessagesUntil([&] { return !LauncherRecord().empty(); }, kLongWait));
    EXPECT_EQ(LauncherRecord(), Launched(dialog));
}
