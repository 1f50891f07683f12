#include "app/MainDlg.h"

#include "app/AppTestEnvironment.h"
#include "app/InstallDir.h"
#include "app/MsgBoxDlg.h"
#include "app/Updater/Updater.h"
#include "commonlib/util/Md5.h"
#include "platform/window/Focus.h"
#include "platform/window/Icon.h"
#include "support/ManualClock.h"
#include "support/RectCheck.h"
#include "ui/basic/ProgressUI.h"
#include "ui/core/ControlUI.h"
#include "ui/core/TabLayoutUI.h"

namespace {

using apptest::Later;
using apptest::TestMainDlg;
using testsupport::DispatchPending;

class MainDlgTest : public AppTestEnvironment {
protected:
    void SetUp() override {
        WriteIni("[Debug]\nLog=0\n");
        StartApp();
    }
    void TearDown() override {
        MainApp::GetInstance().SetHidden(true);
        MainApp::GetInstance().SetInstallPath(L"");
        AppTestEnvironment::TearDown();
    }
    HWND Create(CMainDlg& dialog) {
        return dialog.CreateHwnd(nullptr, L"test", WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, 0);
    }
    // One period of the window's timers on the manual clock.
    void Tick(std::chrono::milliseconds period) {
        m_clock.Advance(period);
        DispatchPending();
    }

    testsupport::ScopedManualClock m_clock;
};

}  // namespace

TEST_F(MainDlgTest, InstallProgressSlowsDownAndStopsPastItsEnd) {
    TestMainDlg dialog;
    const HWND hwnd = Create(dialog);
    ASSERT_NE(hwnd, nullptr);
    InstallJob& job = dialog.CurrentJob();
    SetTimer(hwnd, kInstallProgressTimer, kInstallTimerMs, nullptr);
    const struct {
        int tick;
        int value;
    } expected[] = {{1, 3}, {75, 225}, {76, 227}, {132, 337}, {133, 338}, {245, 450}, {246, 451}, {260, 451}};
    int tick = 0;
    for (const auto& e : expected) {
        while (tick < e.tick) {
            Tick(std::chrono::milliseconds(kInstallTimerMs));
            ++tick;
        }
        SCOPED_TRACE(e.tick);
        EXPECT_EQ(job.progress.load(), e.value);
    }
    // Once the worker has finished, nine a tick: 450 on the 50th.
    job.progress = 0;
    job.finished = true;
    SetTimer(hwnd, kInstallProgressTimer, kInstallTimerMs, nullptr);
    for (int i = 0; i < 49; ++i)
        Tick(std::chrono::milliseconds(kInstallTimerMs));
    EXPECT_EQ(job.progress.load(), 441);
    Tick(std::chrono::milliseconds(kInstallTimerMs));
    EXPECT_EQ(job.progress.load(), 450);
    DestroyWindow(hwnd);
}

TEST_F(MainDlgTest, ProgressBarAndBubbleFollowTheDownloadAndTheInstall) {
    TestMainDlg dialog;
    const HWND hwnd = Create(dialog);
    ASSERT_NE(hwnd, nullptr);
    SkinUI::CControlUI* bubble = dialog.PaintManager().ControlByName(L"lb_tip1");
    // The progress page, as the install shows it.
    static_cast<SkinUI::CTabLayoutUI*>(dialog.PaintManager().ControlByName(L"tb_main")->QueryFacet(L"TabLayout"))
        ->ShowPage(1);
    dialog.PaintManager().UpdateLayout();
    Md5SharedPercent() = 0;  // process-wide: another test's digest may have left it at 100
    RECT window{};
    GetWindowRect(hwnd, &window);
    const int height = window.bottom - window.top;
    const struct {
        const char* why;
        std::int64_t total, completed;
        int width;              // of the 540 of the bar
        const wchar_t* bubble;  // over the bar's end; null: hidden
    } cases[] = {
        {"half the download", 1000, 500, 243, L"50%"},
        {"a bar of 14 pixels or less has no bubble", 1000, 20, 9, nullptr},
        {"the finished download is nine tenths of the bar", 1, 1, 486, L"100%"},
        {"no size known: an empty bar", 0, 0, 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        dialog.SetDownloadCounts(c.total, c.completed);
        dialog.SetProgress();
        EXPECT_EQ(dialog.LastDrawnWidth(), c.width);
        EXPECT_EQ(bubble->IsShown(), c.bubble != nullptr);
        if (c.bubble == nullptr) continue;
        EXPECT_EQ(bubble->GetBounds(), (RECT{c.width - 14, height - 34, c.width + 14, height - 11}));
        EXPECT_EQ(bubble->GetCaption().ToWString(), c.bubble);
    }
    // The MD5 check and the install make up the rest; the bubble stays as it is.
    dialog.SetDownloadCounts(1, 1);
    dialog.SetInstalling(true);
    bubble->SetCaption(SkinUI::CUIString(L"安装中"));
    dialog.CurrentJob().progress = kInstallProgressEnd;
    Md5SharedPercent() = 100;
    dialog.SetProgress();
    EXPECT_EQ(dialog.LastDrawnWidth(), 540);
    EXPECT_EQ(bubble->GetCaption().ToWString(), L"安装中");
    Md5SharedPercent() = 0;
    DestroyWindow(hwnd);
}

TEST_F(MainDlgTest, HiddenRunGivesUpOnTheEleventhRetryTickWithItsCode) {
    m_dir.WriteFile("home/blocked", "a file");  // where a folder's parent should be
    const struct {
        const wchar_t* installPath;  // with the start sequence when set
        void (*fail)(CMainDlg&);
        InstallExitCode code;
    } cases[] = {
        {nullptr, [](CMainDlg& dialog) { dialog.OnListResult(4, 404, L"", L""); }, InstallExitCode::DescriptorFailed},
        // A descriptor that arrived but was refused is no failure to fetch it.
        {nullptr, [](CMainDlg& dialog) { dialog.OnListResult(3, kCodeDescriptorWithoutMd5, L"", L""); },
         InstallExitCode::DescriptorRefused},
        {nullptr, [](CMainDlg& dialog) { dialog.OnListResult(3, kCodeDescriptorValueRefused, L"", L""); },
         InstallExitCode::DescriptorRefused},
        {nullptr, [](CMainDlg& dialog) { dialog.OnDownloadResult(5, 28, L""); }, InstallExitCode::DownloadFailed},
        // A download folder that can never be made is not retried: the run ends at once.
        {L"C:\\blocked\\QuorvelTarnvik", [](CMainDlg&) {}, InstallExitCode::NoInstallDirectory},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.code));
        if (c.installPath) MainApp::GetInstance().SetInstallPath(c.installPath);
        TestMainDlg dialog(c.installPath != nullptr);
        const HWND hwnd = Create(dialog);
        ASSERT_NE(hwnd, nullptr);
        c.fail(dialog);
        const bool retried = c.code != InstallExitCode::NoInstallDirectory;
        for (int i = 1; retried && i <= 10; ++i) {
            Tick(std::chrono::milliseconds(kRetryTimerMs));
            ASSERT_TRUE(IsWindow(hwnd)) << "closed on tick " << i;
        }
        if (retried) Tick(std::chrono::milliseconds(kRetryTimerMs));
        DispatchPending();
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_EQ(dialog.ExitCode(), c.code);
    }
}

TEST_F(MainDlgTest, OneRetryBoxAtATimeWhichEscapeDoesNotClose) {
    MainApp::GetInstance().SetHidden(false);
    TestMainDlg dialog;
    const HWND hwnd = Create(dialog);
    ASSERT_NE(hwnd, nullptr);
    CMsgBoxDlg* seen = nullptr;
    bool stillOpenAfterEscape = false;
    bool secondFailureOpenedAnother = true;
    Later([&] {
        seen = dialog.OpenRetryBox();
        ASSERT_NE(seen, nullptr);
        PostMessageW(seen->GetHWND(), WM_KEYDOWN, VK_ESCAPE, 0);
        Later([&] {
            stillOpenAfterEscape = dialog.OpenRetryBox() == seen && IsWindow(seen->GetHWND());
            dialog.OnDownloadResult(5, 28, L"");  // returns at once: the box is already open
            secondFailureOpenedAnother = dialog.OpenRetryBox() != seen;
            // The download moves again: the box goes with "no".
            dialog.OnProgress(100, 10, 0, 0);
        });
    });
    dialog.OnDownloadResult(5, 7, L"");
    EXPECT_NE(seen, nullptr);
    EXPECT_TRUE(stillOpenAfterEscape);
    EXPECT_FALSE(secondFailureOpenedAnother);
    EXPECT_EQ(dialog.OpenRetryBox(), nullptr);
    EXPECT_EQ(dialog.Updater(), nullptr) << "a box closed by progress restarts nothing";
    DestroyWindow(hwnd);
    DispatchPending();
}

TEST_F(MainDlgTest, AMessageBoxShowsTheProgramsIconInEverySizeEvenWithoutAnOwner) {
    // As the second instance's box: no owner to take an icon from.
    auto* box = new CMsgBoxDlg(L"您已经运行了一个Tarnvik安装程序。", L"提示信息", L"");
    const HWND hwnd = box->CreateHwnd(nullptr, L"提示信息", WS_POPUP, 0);
    ASSERT_NE(hwnd, nullptr);
    std::vector<int> sizes;
    for (const platform::IconImage& image : platform::IconFamilyOf(platform::WindowIcon(hwnd, ICON_BIG)))
        sizes.push_back(image.width);
    EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48, 256}));
    EXPECT_NE(platform::WindowIcon(hwnd, ICON_SMALL), nullptr);
    DestroyWindow(hwnd);
    DispatchPending();
}

TEST_F(MainDlgTest, ARetryBoxGoesWhenItsStepSucceedsAndRetryNeverStartsASecondRun) {
    MainApp::GetInstance().SetHidden(false);
    const struct {
        const char* why;
        void (*fail)(CMainDlg&);
        void (*succeed)(CMainDlg&);
    } cases[] = {
        {"the descriptor arrives on the timer's retry", [](CMainDlg& d) { d.OnListResult(4, 404, L"", L""); },
         [](CMainDlg& d) { d.OnListResult(0, 0, L"2.1.790", L""); }},
        {"the package arrives complete and the install begins", [](CMainDlg& d) { d.OnDownloadResult(5, 28, L""); },
         [](CMainDlg& d) { d.OnDownloadResult(0, 0, L""); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        TestMainDlg dialog;
        const HWND hwnd = Create(dialog);
        ASSERT_NE(hwnd, nullptr);
        bool asked = false;
        Later([&] {
            CMsgBoxDlg* box = dialog.OpenRetryBox();
            ASSERT_NE(box, nullptr);
            c.succeed(dialog);
            MSG close{};
            asked = PeekMessageW(&close, box->GetHWND(), WM_CLOSE, WM_CLOSE, PM_NOREMOVE) != FALSE &&
                    close.wParam == CMsgBoxDlg::kResultCancel;
            if (asked) return;
            // Left open: the install's report of a package it cannot read must not open a box
            // inside this one.
            dialog.StopInstallWorker(10000);
            PeekMessageW(&close, hwnd, kInstallDamagedMessage, kInstallDamagedMessage, PM_REMOVE);
            box->PostClose(CMsgBoxDlg::kResultCancel);
        });
        c.fail(dialog);
        EXPECT_TRUE(asked) << "the box stayed open";
        EXPECT_EQ(dialog.Updater(), nullptr) << "the box's answer restarted the update";
        EXPECT_TRUE(dialog.StopInstallWorker(10000));
        DestroyWindow(hwnd);
        DispatchPending();
    }
    {
        // "重试" pressed while the install runs starts no second download.
        TestMainDlg dialog;
        const HWND hwnd = Create(dialog);
        Later([&] {
            dialog.SetInstalling(true);
            dialog.OpenRetryBox()->PostClose(CMsgBoxDlg::kResultOk);
        });
        dialog.OnDownloadResult(5, 28, L"");
        EXPECT_EQ(dialog.Updater(), nullptr);
        SendMessageW(hwnd, WM_CLOSE, 0, 0);  // releases an updater the retry would have made
        DispatchPending();
    }
}

TEST_F(MainDlgTest, TheEditionComesFromStringTwo) {
    const struct {
        const wchar_t* text;
        int gameId;
        bool internal, publicTest;
        const char* listPath;  // of the descriptor the update asks for
    } cases[] = {
        {L"223", 223, false, false, "/qvzurazarevuz.txt"},
        {L"0", 0, false, false, "/qvzurazarevuz.txt"},
        {L"-1", 0, true, false, "/test/qvinstall_public.txt"},
        {L"-2", 0, true, true, "/test/qvinstall_public_test.txt"},
        {L"-57", 57, true, false, "/test/qvinstall_public.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.text)));
        apptest::ScopedStringTable strings(c.text);
        TestMainDlg dialog;
        EXPECT_EQ(dialog.GameId(), c.gameId);
        EXPECT_EQ(dialog.IsInternalEdition(), c.internal);
        EXPECT_EQ(dialog.IsPublicTest(), c.publicTest);
        const HWND hwnd = Create(dialog);
        ASSERT_NE(hwnd, nullptr);
        // The update shows the plain picture unless a game of the public edition is installed.
        dialog.StartUpdate();
        const std::wstring picture = dialog.PaintManager().ControlByName(L"change_ad")->GetBackImage().ToWString();
        EXPECT_EQ(picture == L"file='ad00.png'", c.gameId == 0 || c.internal) << platform::Utf8FromWide(picture);
        ASSERT_NE(dialog.Updater(), nullptr);
        const std::wstring url = dialog.Updater()->UrlList().front();
        EXPECT_TRUE(url.ends_with(platform::WideFromUtf8(c.listPath))) << platform::Utf8FromWide(url);
        SendMessageW(hwnd, WM_CLOSE, 0, 0);
        DispatchPending();
    }
}

TEST_F(MainDlgTest, TheQuitBoxAndTheDamagedPackageBoxAnswer) {
    MainApp::GetInstance().SetHidden(false);
    {
        // The window is closed while its quit box is open: the box says yes, then the window goes.
        TestMainDlg dialog;
        const HWND hwnd = Create(dialog);
        Later([&] {
            ASSERT_NE(dialog.OpenQuitBox(), nullptr);
            PostMessageW(hwnd, WM_CLOSE, 0, 0);
        });
        dialog.PaintManager().RaiseNotify(dialog.PaintManager().ControlByName(L"btn_close"), L"click");
        DispatchPending();
        EXPECT_FALSE(IsWindow(hwnd));
    }
    {
        // The quit box's OK closes the window too.
        TestMainDlg dialog;
        const HWND hwnd = Create(dialog);
        Later([&] { dialog.OpenQuitBox()->PostClose(CMsgBoxDlg::kResultOk); });
        dialog.PaintManager().RaiseNotify(dialog.PaintManager().ControlByName(L"btn_close"), L"click");
        DispatchPending();
        EXPECT_FALSE(IsWindow(hwnd));
    }
    const struct {
        const wchar_t* button;
        bool downloadsAgain;  // else the window closes
    } answers[] = {{L"btn_ok", true}, {L"btn_cancel", false}};
    for (const auto& a : answers) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(a.button)));
        TestMainDlg dialog;
        const HWND hwnd = Create(dialog);
        std::wstring captions;
        Later([&] {
            const HWND box = GetActiveWindow();
            auto* window = dynamic_cast<SkinUI::WindowImplBase*>(
                reinterpret_cast<SkinUI::CWindowWnd*>(GetWindowLongPtrW(box, GWLP_USERDATA)));
            ASSERT_NE(window, nullptr);
            SkinUI::CUIPaintManager& pm = window->PaintManager();
            captions = pm.ControlByName(L"btn_ok")->GetCaption().ToWString() + L"|" +
                       pm.ControlByName(L"btn_cancel")->GetCaption().ToWString();
            pm.RaiseNotify(pm.ControlByName(a.button), L"click");
            if (!a.downloadsAgain) return;
            // This window has no download folder: the new download fails at once and asks again.
            apptest::When([&] { return dialog.OpenRetryBox() != nullptr; },
                          [&] { dialog.OpenRetryBox()->PostClose(CMsgBoxDlg::kResultCancel); });
            m_clock.Advance(std::chrono::milliseconds(10));
        });
        SendMessageW(hwnd, kInstallDamagedMessage, 0, 0);
        DispatchPending();
        EXPECT_EQ(captions, L"重新下载|退出安装");
        EXPECT_EQ(IsWindow(hwnd) != FALSE, a.downloadsAgain);
        EXPECT_EQ(dialog.Updater() != nullptr, a.downloadsAgain);
        if (IsWindow(hwnd)) SendMessageW(hwnd, WM_CLOSE, 0, 0);
        DispatchPending();
    }
}

TEST_F(MainDlgTest, TheInstallPathSwitchCountsOnlyInAHiddenRunThatCanInstallThere) {
    SetFreeSpaceSourceForTesting([](const std::wstring&) { return std::uint64_t{100} << 30; });
    fs::create_directories(HostPath("Games/Mine"));
    const struct {
        const char* why;
        bool hidden;
        const wchar_t* path;
        const wchar_t* installDir;
    } cases[] = {
        {"a folder it can write to", true, L"C:\\Games\\Mine", L"C:\\Games\\Mine"},
        {"a folder nobody may write to: its name beside the program's folder", true, L"Z:\\proc\\sys", L"C:\\sys"},
        {"no folder", true, L"", L"C:\\QuorvelTarnvik"},
        {"not hidden: the window shows and the switch counts for nothing", false, L"C:\\Games\\Mine", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        MainApp::GetInstance().SetHidden(c.hidden);
        MainApp::GetInstance().SetInstallPath(c.path);
        TestMainDlg dialog(true);
        const HWND hwnd = Create(dialog);
        ASSERT_NE(hwnd, nullptr);
        EXPECT_EQ(dialog.InstallDir(), c.installDir);
        EXPECT_EQ(IsWindowVisible(hwnd) != FALSE, !c.hidden);
        SendMessageW(hwnd, WM_CLOSE, 0, 0);
        DispatchPending();
    }
    SetFreeSpaceSourceForTesting({});
}
