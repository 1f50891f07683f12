#include "platform/fs/FileApi.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/sync/KernelObject.h"
#include "platform/types/ErrorCodes.h"
#include "support/TempDir.h"

namespace {

class FileApiTest : public ::testing::Test {
protected:
    testsupport::TempDir m_dir{testsupport::TempDir::Home::Redirect};
    std::string HostFile() const { return (m_dir.Path() / "home/f.bin").string(); }
};

TEST_F(FileApiTest, DispositionsCreateOpenAndTruncateAsWindowsDoes) {
    const wchar_t* path = L"C:\\f.bin";
    // OPEN_EXISTING and TRUNCATE_EXISTING need the file.
    EXPECT_EQ(CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(CreateFileW(L"C:\\missing\\f.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_PATH_NOT_FOUND);

    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(h, "hello world", 11, &written, nullptr));
    EXPECT_EQ(written, 11u);
    EXPECT_TRUE(CloseHandle(h));

    EXPECT_EQ(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_FILE_EXISTS);

    // OPEN_ALWAYS keeps the bytes and reports that the file was there.
    h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    LARGE_INTEGER size;
    EXPECT_TRUE(GetFileSizeEx(h, &size));
    EXPECT_EQ(size.QuadPart, 11);
    CloseHandle(h);

    // CREATE_ALWAYS empties it, also reporting that it existed.
    h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    CloseHandle(h);
    EXPECT_EQ(testsupport::TempDir::ReadFile(HostFile()), "");

    // A directory is not a file.
    EXPECT_EQ(CreateFileW(L"C:\\", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
}

TEST_F(FileApiTest, SeekReadWriteAndCutBeyondFourGigabytes) {
    HANDLE h = CreateFileW(L"C:\\f.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    LARGE_INTEGER to, at;
    to.QuadPart = 5LL << 30;  // sparse, so the test costs no disk space
    ASSERT_TRUE(SetFilePointerEx(h, to, &at, FILE_BEGIN));
    EXPECT_EQ(at.QuadPart, 5LL << 30);
    EXPECT_TRUE(WriteFile(h, "xyz", 3, nullptr, nullptr));
    LARGE_INTEGER size;
    ASSERT_TRUE(GetFileSizeEx(h, &size));
    EXPECT_EQ(size.QuadPart, (5LL << 30) + 3);

    to.QuadPart = -2;
    ASSERT_TRUE(SetFilePointerEx(h, to, &at, FILE_END));
    char buf[8] = {};
    DWORD read = 99;
    EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &read, nullptr));
    EXPECT_EQ(read, 2u);
    EXPECT_EQ(std::string(buf, read), "yz");
    EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &read, nullptr));  // at the end: success, nothing read
    EXPECT_EQ(read, 0u);

    to.QuadPart = -1;
    ASSERT_TRUE(SetFilePointerEx(h, to, &at, FILE_CURRENT));
    EXPECT_TRUE(SetEndOfFile(h));
    ASSERT_TRUE(GetFileSizeEx(h, &size));
    EXPECT_EQ(size.QuadPart, (5LL << 30) + 2);

    to.QuadPart = -1;
    EXPECT_FALSE(SetFilePointerEx(h, to, nullptr, FILE_BEGIN));
    EXPECT_EQ(GetLastError(), ERROR_NEGATIVE_SEEK);
    EXPECT_TRUE(CloseHandle(h));

    // A closed handle fails cleanly everywhere.
    EXPECT_FALSE(ReadFile(h, buf, 1, &read, nullptr));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(FileApiTest, AccessModesAreEnforced) {
    m_dir.WriteFile("home/f.bin", "abc");
    HANDLE h = CreateFileW(L"C:\\f.bin", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 7;
    EXPECT_FALSE(WriteFile(h, "x", 1, &written, nullptr));
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(SetEndOfFile(h));
    CloseHandle(h);
    EXPECT_EQ(testsupport::TempDir::ReadFile(HostFile()), "abc");

    EXPECT_EQ(CreateFileW(L"C:\\f.bin", GENERIC_READ, 0, nullptr, TRUNCATE_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(testsupport::TempDir::ReadFile(HostFile()), "abc");
}

}  // namespace
