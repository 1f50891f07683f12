#include "commonlib/peer/QVDownloadFileIO.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/TempDir.h"

TEST(QVDownloadFileIOTest, AFreshFileHoldsItsWholeSizeOnDisk) {
    testsupport::TempDir dir{testsupport::TempDir::Home::Redirect};
    constexpr std::uint64_t kSize = 8 << 20;
    CRefPtr<CQVDownloadFileIO> file = new CQVDownloadFileIO(L"C:\\pkg.exe");
    ASSERT_EQ(file->Open(kSize, CQVDownloadFileIO::OpenMode::Fresh), 0u);
    struct stat st {};
    ASSERT_EQ(::stat((dir.Path() / "home" / "pkg.exe.qvdt").c_str(), &st), 0);
    EXPECT_EQ(static_cast<std::uint64_t>(st.st_size), kSize);
    // Reserved, not sparse: a disk that cannot hold the file says so now, not half-way.
    EXPECT_GE(static_cast<std::uint64_t>(st.st_blocks) * 512, kSize);
    file->Close();
}
