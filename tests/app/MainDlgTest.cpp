#include "app/MainDlg.h"

#include "app/AppTestEnvironment.h"
#include "app/MsgBoxDlg.h"
#include "commonlib/util/Md5.h"
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
        {nullptr, [](CMainDlg& dialog) { dialog.OnDownloadResult(5, 28, L""); }, InstallExitCode::DownloadFailed},
        // A download folder that can never be made fails the start like any other step.
        {L"C:\\blocked\\QuorvelTarnvik", [](CMainDlg&) {}, InstallExitCode::NoInstallDirectory},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.code));
        if (c.installPath) MainApp::GetInstance().SetInstallPath(c.installPath);
        TestMainDlg dialog(c.installPath != nullptr);
        const HWND hwnd = Create(dialog);
        ASSERT_NE(hwnd, nullptr);
        c.fail(dialog);
        for (int i = 1; i <= 10; ++i) {
            Tick(std::chrono::milliseconds(kRetryTimerMs));
            ASSERT_TRUE(IsWindow(hwnd)) << "closed on tick " << i;
        }
        Tick(std::chrono::milliseconds(kRetryTimerMs));
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
