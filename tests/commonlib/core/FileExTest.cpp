#include "commonlib/core/FileEx.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/types/ErrorCodes.h"
#include "support/TempDir.h"

namespace {

constexpr UINT kDescriptorFlags = 0x90A1;  // how the update descriptor is written

// The system error a throwing call carried; 0 when it did not throw.
DWORD ThrownCode(const std::function<void()>& call) {
    try {
        call();
    } catch (const CFileExException& e) {
        return e.Code() != 0 ? e.Code() : 0xFFFFFFFF;
    }
    return 0;
}

class FileExTest : public ::testing::Test {
protected:
    testsupport::TempDir m_dir{testsupport::TempDir::Home::Redirect};
    std::string Contents(const char* name) { return testsupport::TempDir::ReadFile(m_dir / "home" / name); }
};

}  // namespace

TEST_F(FileExTest, OpenReportsTheSystemErrorAndNeverThrows) {
    m_dir.WriteFile("home/exists.txt", "x");
    const struct {
        const wchar_t* path;
        UINT flags;
        DWORD error;
    } cases[] = {
        {L"C:\\absent.txt", CFileEx::kBinary, ERROR_FILE_NOT_FOUND},
        {L"C:\\no\\such\\dir\\new.txt", kDescriptorFlags, ERROR_PATH_NOT_FOUND},
        {L"C:\\", CFileEx::kBinary, ERROR_ACCESS_DENIED},
        {L"C:\\exists.txt", CFileEx::kWrite | 0x4000, ERROR_INVALID_PARAMETER},
        {L"C:\\exists.txt", CFileEx::kWrite | CFileEx::kNoTruncate, ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "flags " << c.flags << " error " << c.error);
        CFileEx file;
        CFileExException error;
        EXPECT_FALSE(file.Open(c.path, c.flags, &error));
        EXPECT_EQ(error.Code(), c.error);
        EXPECT_FALSE(file.IsOpen());
        EXPECT_FALSE(file.Open(c.path, c.flags, nullptr));
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(Contents("exists.txt"), "x");
}

TEST_F(FileExTest, CreateReplacesUnlessNoTruncate) {
    m_dir.WriteFile("home/d.ini", "old contents");
    {
        CFileEx file;
        ASSERT_TRUE(file.Open(L"C:\\d.ini", kDescriptorFlags));
        const char bom[] = {'\xFF', '\xFE'};
        file.Write(bom, 2);
        file.Flush();
        file.Close();
    }
    EXPECT_EQ(Contents("d.ini"), "\xFF\xFE");
    {
        CFileEx file;
        ASSERT_TRUE(file.Open(L"C:\\d.ini", CFileEx::kWrite | CFileEx::kCreate | CFileEx::kNoTruncate));
        EXPECT_EQ(file.Seek(0, CFileEx::kEnd), 2u);
        file.Write("ab", 2);
    }  // the destructor closes
    EXPECT_EQ(Contents("d.ini"),
              "\xFF\xFE"
              "ab");

    CFileEx reader;
    ASSERT_TRUE(reader.Open(L"C:\\d.ini", CFileEx::kBinary));
    char buffer[8] = {};
    EXPECT_EQ(reader.Seek(2, CFileEx::kBegin), 2u);
    EXPECT_EQ(reader.Read(buffer, sizeof buffer), 2u);
    EXPECT_EQ(std::string(buffer, 2), "ab");
    EXPECT_EQ(reader.Read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(reader.Seek(-1, CFileEx::kCurrent), 3u);
}

TEST_F(FileExTest, ThrowsExactlyWhereTheCallFails) {
    m_dir.WriteFile("home/r.bin", "0123456789");
    CFileEx reader;
    ASSERT_TRUE(reader.Open(L"C:\\r.bin", CFileEx::kBinary));
    CFileEx writer;
    ASSERT_TRUE(writer.Open(L"C:\\w.bin", kDescriptorFlags));
    char buffer[4];

    EXPECT_EQ(ThrownCode([&] { reader.Write("x", 1); }), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ThrownCode([&] { writer.Read(buffer, sizeof buffer); }), ERROR_ACCESS_DENIED);
    EXPECT_EQ(ThrownCode([&] { reader.Seek(0, 3); }), ERROR_INVALID_PARAMETER);
    EXPECT_NE(ThrownCode([&] { reader.Seek(-1, CFileEx::kBegin); }), 0u);
    EXPECT_NE(ThrownCode([&] { reader.Seek(-11, CFileEx::kEnd); }), 0u);
    // A failed call leaves the file usable where it was.
    EXPECT_EQ(ThrownCode([&] { EXPECT_EQ(reader.Seek(-10, CFileEx::kEnd), 0u); }), 0u);
    EXPECT_EQ(ThrownCode([&] { EXPECT_EQ(reader.Read(buffer, 4), 4u); }), 0u);
    EXPECT_EQ(ThrownCode([&] { writer.Write("abc", 3); }), 0u);
    EXPECT_EQ(ThrownCode([&] { writer.Flush(); }), 0u);

    // Closed files: every checked call throws, Abort does not.
    EXPECT_EQ(ThrownCode([&] { writer.Close(); }), 0u);
    EXPECT_EQ(ThrownCode([&] { writer.Close(); }), ERROR_INVALID_HANDLE);
    EXPECT_EQ(ThrownCode([&] { writer.Write("x", 1); }), ERROR_INVALID_HANDLE);
    EXPECT_EQ(ThrownCode([&] { writer.Seek(0, CFileEx::kBegin); }), ERROR_INVALID_HANDLE);
    EXPECT_EQ(ThrownCode([&] { writer.Flush(); }), ERROR_INVALID_HANDLE);
    EXPECT_EQ(ThrownCode([&] { writer.Abort(); }), 0u);
    EXPECT_EQ(Contents("w.bin"), "abc");

    try {
        reader.Write("x", 1);
        ADD_FAILURE() << "no throw";
    } catch (const CFileExException& e) {
        EXPECT_NE(e.Message().find(L"C:\\r.bin"), std::wstring::npos);
        EXPECT_GT(e.Line(), 0);
    }
}
