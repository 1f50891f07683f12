#include "app/DesktopFolderPicker.h"

#include <cstdlib>

#include "app/AppTestEnvironment.h"
#include "support/Watchdog.h"

namespace {

// The desktop's choosers are stand-ins on a PATH of the test's own: each records its
// arguments, waits until the test lets it answer (or is ended), prints the answer file and
// exits with the code file's number.
class DesktopFolderPickerTest : public AppTestEnvironment {
protected:
    void SetUp() override {
        WriteIni("[Debug]\nLog=0\n");
        StartApp();
        setenv("PATH", (m_dir / "bin").c_str(), 1);
        setenv("XJ_TEST_CHOOSER", (m_dir / "work").c_str(), 1);
    }
    void TearDown() override {
        setenv("PATH", m_savedPath.c_str(), 1);
        unsetenv("XJ_TEST_CHOOSER");
        AppTestEnvironment::TearDown();
    }
    const std::string m_savedPath = std::getenv("PATH");
};

}  // namespace

TEST_F(DesktopFolderPickerTest, RunsTheDesktopsChooserWhileTheWindowKeepsItsMessages) {
    const testsupport::TempDir& dir = m_dir;
    const auto putChooser = [&](const std::string& name) {
        dir.WriteFile("bin/" + name,
                      "#!/bin/sh\nw=$XJ_TEST_CHOOSER\nprintf '%s\\n' \"${0##*/}\" \"$@\" > \"$w/args\"\n"
                      "while [ ! -e \"$w/go\" ]; do /bin/sleep 0.01; done\n/bin/cat \"$w/answer\"\n"
                      "exit $(/bin/cat \"$w/code\")\n");
        fs::permissions(dir / "bin" / name, fs::perms::owner_all);
    };
    const auto answer = [&](const std::string& text, int code) {
        dir.WriteFile("work/answer", text);
        dir.WriteFile("work/code", std::to_string(code));
    };
    apptest::TestMainDlg owner;
    const HWND hwnd = owner.CreateHwnd(nullptr, L"owner", WS_POPUP, 0);
    testsupport::Watchdog watchdog(std::chrono::seconds(60));
    const std::string games = (dir / "home/Games").string();
    fs::create_directories(games);
    {
        SCOPED_TRACE("zenity comes first; the owner is disabled while it is open, its messages still run");
        putChooser("kdialog");
        putChooser("zenity");
        answer(games + "\n", 0);
        bool ownerDisabled = false;
        apptest::Later([&] {
            ownerDisabled = !IsWindowEnabled(hwnd);
            dir.WriteFile("work/go", "");
        });
        EXPECT_EQ(PickFolderWithDesktop(hwnd, L"选择文件夹", L"C:\\Games\\NotYet"), L"C:\\Games");
        EXPECT_TRUE(ownerDisabled);
        EXPECT_TRUE(IsWindowEnabled(hwnd));
        EXPECT_EQ(testsupport::TempDir::ReadFile(dir / "work/args"),
                  "zenity\n--file-selection\n--directory\n--title=选择文件夹\n--filename=" + games + "/\n");
    }
    {
        SCOPED_TRACE("the user cancels");
        answer(games + "\n", 1);
        EXPECT_EQ(PickFolderWithDesktop(hwnd, L"选择文件夹", L"C:\\Games"), L"");
    }
    {
        SCOPED_TRACE("kdialog without zenity");
        fs::remove(dir / "bin/zenity");
        answer(games + "\n", 0);
        EXPECT_EQ(PickFolderWithDesktop(hwnd, L"选择文件夹", L"C:\\Games"), L"C:\\Games");
    }
    {
        SCOPED_TRACE("the owner goes while the chooser is open: the chooser is ended");
        fs::remove(dir / "work/go");
        apptest::Later([&] { DestroyWindow(hwnd); });
        EXPECT_EQ(PickFolderWithDesktop(hwnd, L"选择文件夹", L"C:\\Games"), L"");
    }
    fs::remove(dir / "bin/kdialog");
    EXPECT_EQ(PickFolderWithDesktop(nullptr, L"选择文件夹", L"C:\\Games"), L"") << "no chooser: cancelled at once";
}
