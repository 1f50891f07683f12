#include "app/DesktopFolderPicker.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/AppTestEnvironment.h"
#include "app/MainWindowTesting.h"
#include "platform/fs/DriveMap.h"
#include "platform/window/WindowApi.h"
#include "support/Watchdog.h"

namespace fs = std::filesystem;

namespace {

// Stand-ins for the desktop's choosers on a PATH of the test's own: each records its
// arguments, waits until the test lets it answer (or is ended), then prints the answer
// file and exits with the code file's number.
class DesktopFolderPickerTest : public AppTestEnvironment {
protected:
    void SetUp() override {
        WriteIni("[Debug]\nLog=0\n");
        StartApp();
        if (const char* path = std::getenv("PATH")) m_savedPath = path;
        fs::create_directories(m_bin);
        setenv("PATH", m_bin.c_str(), 1);
        setenv("XJ_TEST_CHOOSER_DIR", m_work.c_str(), 1);
        fs::create_directories(m_work);
    }
    void TearDown() override {
        setenv("PATH", m_savedPath.c_str(), 1);
        unsetenv("XJ_TEST_CHOOSER_DIR");
        AppTestEnvironment::TearDown();
    }
    void PutChooser(const std::string& name) {
        const fs::path script = m_bin / name;
        m_dir.WriteFile(fs::relative(script, m_dir.Path()).string(),
                        "#!/bin/sh\n"
                        "w=$XJ_TEST_CHOOSER_DIR\n"
                        "printf '%s\\n' \"$(/usr/bin/basename \"$0\")\" \"$@\" > \"$w/args\"\n"
                        "while [ ! -e \"$w/go\" ]; do /bin/sleep 0.01; done\n"
                        "/bin/cat \"$w/answer\"\n"
                        "exit $(/bin/cat \"$w/code\")\n");
        fs::permissions(script, fs::perms::owner_all);
    }
    void Answer(const std::string& text, int code) {
        m_dir.WriteFile("work/answer", text);
        m_dir.WriteFile("work/code", std::to_string(code));
    }
    void Go() const { m_dir.WriteFile("work/go", ""); }
    std::string Arguments() const { return testsupport::TempDir::ReadFile(m_work / "args"); }

    fs::path m_bin = m_dir / "bin";
    fs::path m_work = m_dir / "work";
    std::string m_savedPath;
};

}  // namespace

TEST_F(DesktopFolderPickerTest, RunsTheDesktopsChooserWhileTheWindowKeepsItsMessages) {
    apptest::TestMainDlg owner;
    const HWND hwnd = owner.CreateHwnd(nullptr, L"owner", WS_POPUP, 0);
    ASSERT_NE(hwnd, nullptr);
    testsupport::Watchdog watchdog(std::chrono::seconds(60));
    const std::string games = (m_dir / "home" / "Games").string();
    fs::create_directories(games);
    {
        SCOPED_TRACE("zenity comes first; the owner is disabled while it is open, its messages still run");
        PutChooser("kdialog");
        PutChooser("zenity");
        Answer(games + "\n", 0);
        bool ownerDisabled = false;
        apptest::Later([&] {
            ownerDisabled = !IsWindowEnabled(hwnd);
            Go();
        });
        EXPECT_EQ(PickFolderWithDesktop(hwnd, L"选择文件夹", L"C:\\Games\\NotYet"), L"C:\\Games");
        EXPECT_TRUE(ownerDisabled);
        EXPECT_TRUE(IsWindowEnabled(hwnd));
        EXPECT_EQ(Arguments(),
                  "zenity\n--file-selection\n--directory\n--title=选择文件夹\n--filename=" + games + "/\n");
    }
    {
        SCOPED_TRACE("the user cancels");
        Answer("", 1);
        EXPECT_EQ(PickFolderWithDesktop(hwnd, L"选择文件夹", L"C:\\Games"), L"");
    }
    {
        SCOPED_TRACE("kdialog without zenity");
        fs::remove(m_bin / "zenity");
        Answer(games + "\n", 0);
        EXPECT_EQ(PickFolderWithDesktop(hwnd, L"选择文件夹", L"C:\\Games"), L"C:\\Games");
        EXPECT_EQ(Arguments(), "kdialog\n--title\n选择文件夹\n--getexistingdirectory\n" + games + "\n");
    }
    {
        SCOPED_TRACE("the owner goes while the chooser is open: the chooser is ended");
        fs::remove(m_work / "go");
        apptest::Later([&] { DestroyWindow(hwnd); });
        EXPECT_EQ(PickFolderWithDesktop(hwnd, L"选择文件夹", L"C:\\Games"), L"");
    }
    {
        SCOPED_TRACE("no chooser at all: cancelled at once");
        fs::remove(m_bin / "kdialog");
        EXPECT_EQ(PickFolderWithDesktop(nullptr, L"选择文件夹", L"C:\\Games"), L"");
    }
}
