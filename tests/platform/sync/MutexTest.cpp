#include "platform/sync/Mutex.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <optional>
#include <thread>

#include "platform/sync/Clock.h"
#include "platform/types/ErrorCodes.h"
#include "support/TempDir.h"

namespace {

constexpr wchar_t kInstanceName[] = L"qvxj_install_20170309";

// A child forked at construction that creates the named mutex only when asked:
// a fork made after this process took the name would inherit its handle table.
class LaterHolder {
public:
    LaterHolder() {
        if (pipe(m_go) != 0 || pipe(m_result) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            char go = 0;
            if (read(m_go[0], &go, 1) != 1) _exit(2);
            CreateMutexW(nullptr, FALSE, kInstanceName);
            const DWORD error = GetLastError();
            if (write(m_result[1], &error, sizeof error) != sizeof error) _exit(2);
            for (;;)
                pause();
        }
    }
    ~LaterHolder() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);  // no clean-up runs: the kernel drops the lock
            waitpid(m_pid, nullptr, 0);
        }
        for (int fd : {m_go[0], m_go[1], m_result[0], m_result[1]})
            close(fd);
    }
    DWORD Create() {
        DWORD error = ~0u;
        if (m_pid <= 0 || write(m_go[1], "g", 1) != 1 || read(m_result[0], &error, sizeof error) != sizeof error) {
            return ~0u;
        }
        return error;
    }

private:
    pid_t m_pid = -1;
    int m_go[2] = {-1, -1};
    int m_result[2] = {-1, -1};
};

}  // namespace

TEST(MutexTest, SecondProcessSeesTheInstanceUntilTheHolderDies) {
    testsupport::TempDir temp(testsupport::TempDir::Home::Redirect);
    std::optional<LaterHolder> holder(std::in_place);
    LaterHolder second, third;
    EXPECT_EQ(holder->Create(), ERROR_SUCCESS);
    EXPECT_TRUE(std::filesystem::exists(temp / "run/qvxj_install_20170309.lock"));

    HANDLE mutex = CreateMutexW(nullptr, FALSE, kInstanceName);
    EXPECT_NE(mutex, nullptr);  // the handle comes back all the same
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(CloseHandle(mutex));

    holder.reset();
    SetLastError(ERROR_ALREADY_EXISTS);  // a stale value must not survive a fresh create
    mutex = CreateMutexW(nullptr, FALSE, kInstanceName);
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(second.Create(), ERROR_ALREADY_EXISTS) << "now this process is the first instance";
    EXPECT_TRUE(CloseHandle(mutex));
    EXPECT_EQ(third.Create(), ERROR_SUCCESS) << "closing the last handle releases the lock";
}

TEST(MutexTest, DeletingTheLockFileDoesNotLetASecondInstanceIn) {
    testsupport::TempDir temp(testsupport::TempDir::Home::Redirect);
    const auto lockFile = platform::MutexLockFilePath(kInstanceName);

    {
        // This process holds the name; its file goes, or is replaced by a new one.
        LaterHolder afterDelete, afterReplace, afterBoth;
        HANDLE mutex = CreateMutexW(nullptr, FALSE, kInstanceName);
        ASSERT_NE(mutex, nullptr);
        ASSERT_EQ(GetLastError(), ERROR_SUCCESS);
        std::filesystem::remove(lockFile);
        EXPECT_EQ(afterDelete.Create(), ERROR_ALREADY_EXISTS);
        std::filesystem::remove(lockFile);  // the refused child may have made a new one
        temp.WriteFile("run/qvxj_install_20170309.lock", "");
        EXPECT_EQ(afterReplace.Create(), ERROR_ALREADY_EXISTS);
        EXPECT_TRUE(CloseHandle(mutex));
        EXPECT_EQ(afterBoth.Create(), ERROR_SUCCESS) << "closing the last handle releases the name";
    }  // the children end here

    // Another process holds it and its file goes: this process still sees it.
    std::optional<LaterHolder> holder(std::in_place);
    ASSERT_EQ(holder->Create(), ERROR_SUCCESS);
    std::filesystem::remove(lockFile);
    HANDLE mutex = CreateMutexW(nullptr, FALSE, kInstanceName);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_TRUE(CloseHandle(mutex));
    holder.reset();  // its lock ends with it, deleted file or not
    mutex = CreateMutexW(nullptr, FALSE, kInstanceName);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_TRUE(CloseHandle(mutex));
}

TEST(MutexTest, OwnershipIsPerThreadAndRecursive) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    auto otherThreadGets = [&] {
        DWORD result = WAIT_FAILED;
        std::thread([&] {
            EXPECT_FALSE(ReleaseMutex(mutex));
            result = WaitForSingleObject(mutex, 0);
            if (result == WAIT_OBJECT_0) ReleaseMutex(mutex);
        }).join();
        return result == WAIT_OBJECT_0;
    };
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_FALSE(otherThreadGets());  // still held once
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_TRUE(otherThreadGets());

    CloseHandle(mutex);
}

TEST(MutexTest, NamesStayInsideTheLockDirectory) {
    testsupport::TempDir temp(testsupport::TempDir::Home::Redirect);
    for (const auto& [name, file] : {std::pair{L"../../etc/passwd", "%2E%2E%2F%2E%2E%2Fetc%2Fpasswd.lock"},
                                     std::pair{L"Local\\安装", "Local%5C%E5%AE%89%E8%A3%85.lock"}}) {
        SCOPED_TRACE(file);
        HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
        EXPECT_NE(mutex, nullptr);
        EXPECT_TRUE(std::filesystem::exists(temp / "run" / file));
        CloseHandle(mutex);
    }
    EXPECT_EQ(CreateMutexW(nullptr, FALSE, std::wstring(300, L'x').c_str()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_FILENAME_EXCED_RANGE);
}

TEST(MutexTest, PlantedLockFilesAreRefused) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root to plant a file owned by someone else";
    testsupport::TempDir temp(testsupport::TempDir::Home::Redirect);
    const auto planted = temp.WriteFile("run/planted.lock", "");
    ASSERT_EQ(chown(planted.c_str(), 12345, 12345), 0);
    EXPECT_EQ(CreateMutexW(nullptr, FALSE, L"planted"), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

    std::filesystem::create_symlink(temp / "elsewhere", temp / "run/linked.lock");
    EXPECT_EQ(CreateMutexW(nullptr, FALSE, L"linked"), nullptr);
    EXPECT_FALSE(std::filesystem::exists(temp / "elsewhere"));
}
