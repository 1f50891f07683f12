#include "commonlib/core/FileEx.h"

#include <gtest/gtest.h>

#include <functional>

#include "platform/types/ErrorCodes.h"
#include "support/TempDir.h"

namespace {

// The system error a call threw with; 0 when it did not throw.
DWORD ThrownCode(const std::function<void()>& call) {
    try {
        call();
    } catch (const CFileExException& e) {
        return e.Code();
    }
    return 0;
}

}  // namespace

TEST(FileExTest, OpenReportsTheSystemErrorAndNeverThrows) {
    testsupport::TempDir dir(testsupport::TempDir::Home::Redirect);
    dir.WriteFile("home/exists.txt", "x");
    const struct {
        const wchar_t* path;
        UINT flags;
        DWORD error;
    } cases[] = {
        {L"C:\\absent.txt", CFileEx::kBinary, ERROR_FILE_NOT_FOUND},
        {L"C:\\no\\dir\\new.txt", CFileEx::kWrite | CFileEx::kCreate, ERROR_PATH_NOT_FOUND},
        {L"C:\\exists.txt", CFileEx::kWrite | CFileEx::kNoTruncate, ERROR_INVALID_PARAMETER},
        {L"C:\\exists.txt", CFileEx::kWrite | CFileEx::kCreate | 0x4, ERROR_INVALID_PARAMETER},  // unknown bit
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags " << c.flags << " error " << c.error);
        CFileEx file;
        CFileExException error;
        EXPECT_FALSE(file.Open(c.path, c.flags, &error));
        EXPECT_EQ(error.Code(), c.error);
    }
    EXPECT_EQ(testsupport::TempDir::ReadFile(dir / "home/exists.txt"), "x");
}

TEST(FileExTest, ThrowsExactlyWhereTheCallFails) {
    testsupport::TempDir dir(testsupport::TempDir::Home::Redirect);
    dir.WriteFile("home/r.bin", "0123456789");
    CFileEx reader, writer;
    ASSERT_TRUE(reader.Open(L"C:\\r.bin", CFileEx::kBinary));
    ASSERT_TRUE(writer.Open(L"C:\\w.bin", CFileEx::kWrite | CFileEx::kCreate));
    char buffer[4];
    EXPECT_EQ(ThrownCode([&] { reader.Write("x", 1); }), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ThrownCode([&] { reader.Seek(0, 3); }), ERROR_INVALID_PARAMETER);
    EXPECT_NE(ThrownCode([&] { reader.Seek(-11, CFileEx::kEnd); }), 0u);
    // A failed call leaves the file usable where it was.
    EXPECT_EQ(reader.Seek(-4, CFileEx::kEnd), 6u);
    EXPECT_EQ(reader.Read(buffer, 4), 4u);

    writer.Write("ab", 2);
    writer.Close();
    EXPECT_EQ(ThrownCode([&] { writer.Write("x", 1); }), ERROR_INVALID_HANDLE);
    EXPECT_EQ(ThrownCode([&] { writer.Abort(); }), 0u);
    EXPECT_EQ(testsupport::TempDir::ReadFile(dir / "home/w.bin"), "ab");
}
