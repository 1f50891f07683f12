#include "commonlib/peer/QVDownloadFileIO.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "support/RandomBytes.h"
#include "support/TempDir.h"

namespace {

using Writer = CQVDownloadFileIO::CRangeWriter;
constexpr size_t kChunk = CQVDownloadFileIO::kWriteChunkBytes;

class QVDownloadFileIOTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(m_file->Open(kSize, CQVDownloadFileIO::OpenMode::Fresh), 0u); }
    void TearDown() override {
        CQVDownloadFileIO::HoldWritesForTesting(false);
        m_file->Close();
    }

    std::string OnDisk() const { return testsupport::TempDir::ReadFile(m_dir.Path() / "home" / "pkg.exe.qvdt"); }
    // Appends `bytes` to `writer` in uneven pieces, as a connection delivers them.
    static size_t AppendAll(Writer& writer, const std::string& bytes) {
        size_t taken = 0;
        for (size_t at = 0, piece = 1000; at < bytes.size(); at += piece, piece = piece * 3 % 70001 + 1) {
            const size_t size = std::min(piece, bytes.size() - at);
            const Writer::Taken result = writer.Append(bytes.data() + at, size);
            EXPECT_EQ(result.error, 0u);
            taken += result.bytes;
            if (result.bytes < size) break;
        }
        return taken;
    }

    // Room for a full queue and then some.
    static constexpr std::uint64_t kSize = CQVDownloadFileIO::kQueueLimitBytes + 8 * kChunk;
    testsupport::TempDir m_dir{testsupport::TempDir::Home::Redirect};
    CRefPtr<CQVDownloadFileIO> m_file = new CQVDownloadFileIO(L"C:\\pkg.exe");
    const std::string m_payload = testsupport::RandomBytes(kSize, 5);
};

}  // namespace

TEST_F(QVDownloadFileIOTest, AFreshFileHoldsItsWholeSizeOnDisk) {
    struct stat st {};
    ASSERT_EQ(::stat((m_dir.Path() / "home" / "pkg.exe.qvdt").c_str(), &st), 0);
    EXPECT_EQ(static_cast<std::uint64_t>(st.st_size), kSize);
    // Reserved, not sparse: a disk that cannot hold the file says so now, not half-way.
    EXPECT_GE(static_cast<std::uint64_t>(st.st_blocks) * 512, kSize);
}

TEST_F(QVDownloadFileIOTest, RangesLandAtTheirOffsetsAndCountOnlyWhatIsOnDisk) {
    // Two ranges that do not meet on a chunk boundary, filled at once.
    const std::uint64_t split = 3 * kChunk + 777, end = 8 * kChunk;
    CRefPtr<Writer> first = m_file->WriterFor(0, split);
    CRefPtr<Writer> second = m_file->WriterFor(split, end - split);
    CQVDownloadFileIO::HoldWritesForTesting(true);
    EXPECT_EQ(AppendAll(*first, m_payload.substr(0, split)), split);
    EXPECT_EQ(AppendAll(*second, m_payload.substr(split, end - split) + "beyond"), end - split) << "past the range";
    // Taken, not written yet: counted as accepted, never as stored.
    EXPECT_EQ(first->Accepted(), split);
    EXPECT_EQ(first->Stored(), 0u);
    EXPECT_EQ(OnDisk(), std::string(kSize, '\0'));

    CQVDownloadFileIO::HoldWritesForTesting(false);
    EXPECT_EQ(first->Drain(), 0u);
    EXPECT_EQ(second->Drain(), 0u);
    EXPECT_EQ(first->Stored(), split);
    EXPECT_EQ(second->Stored(), end - split);
    EXPECT_TRUE(OnDisk() == m_payload.substr(0, end) + std::string(kSize - end, '\0'));
}

TEST_F(QVDownloadFileIOTest, NothingLandsPastACutOrASeal) {
    const std::string zeros(kSize, '\0');
    {
        // Cut in the middle of a chunk that is already queued.
        CRefPtr<Writer> writer = m_file->WriterFor(0, kSize);
        CQVDownloadFileIO::HoldWritesForTesting(true);
        AppendAll(*writer, m_payload.substr(0, 3 * kChunk));
        writer->CutTo(kChunk + 100);
        EXPECT_EQ(writer->Append("x", 1).bytes, 0u);
        CQVDownloadFileIO::HoldWritesForTesting(false);
        EXPECT_EQ(writer->Drain(), 0u);
        EXPECT_EQ(writer->Stored(), kChunk + 100);
        EXPECT_TRUE(OnDisk() == m_payload.substr(0, kChunk + 100) + zeros.substr(kChunk + 100));
    }
    {
        // A seal keeps what is stored and drops what is still queued.
        CRefPtr<Writer> writer = m_file->WriterFor(4 * kChunk, 4 * kChunk);
        AppendAll(*writer, m_payload.substr(4 * kChunk, kChunk));
        EXPECT_EQ(writer->Drain(), 0u);
        CQVDownloadFileIO::HoldWritesForTesting(true);
        AppendAll(*writer, m_payload.substr(5 * kChunk, 2 * kChunk));
        writer->Seal();
        EXPECT_EQ(writer->Limit(), kChunk);
        CQVDownloadFileIO::HoldWritesForTesting(false);
        EXPECT_EQ(writer->Drain(), 0u);
        EXPECT_EQ(writer->Stored(), kChunk);
    }
    {
        // A writer let go of with bytes still queued leaves nothing behind.
        CQVDownloadFileIO::HoldWritesForTesting(true);
        CRefPtr<Writer> writer = m_file->WriterFor(7 * kChunk, kChunk);
        AppendAll(*writer, m_payload.substr(7 * kChunk, kChunk));
        writer.Reset();
        CQVDownloadFileIO::HoldWritesForTesting(false);
    }
    m_file->Close();
    const std::string disk = OnDisk();
    EXPECT_TRUE(disk.substr(4 * kChunk) == m_payload.substr(4 * kChunk, kChunk) + zeros.substr(5 * kChunk));
}

TEST_F(QVDownloadFileIOTest, AFullQueueHoldsTheSenderAndAClosedFileFailsIt) {
    CRefPtr<Writer> writer = m_file->WriterFor(0, kSize);
    CQVDownloadFileIO::HoldWritesForTesting(true);
    std::atomic<bool> finished{false};
    std::thread sender([&] {
        AppendAll(*writer, m_payload);
        finished = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (writer->Accepted() < CQVDownloadFileIO::kQueueLimitBytes && std::chrono::steady_clock::now() < deadline &&
           !finished) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const std::uint64_t held = writer->Accepted();
    EXPECT_FALSE(finished) << "the queue grew past its limit";
    EXPECT_LE(held, CQVDownloadFileIO::kQueueLimitBytes + 2 * kChunk);
    CQVDownloadFileIO::HoldWritesForTesting(false);
    sender.join();
    EXPECT_EQ(writer->Drain(), 0u);
    EXPECT_TRUE(OnDisk() == m_payload);

    // Once the file is closed, a range can take nothing more and says why.
    CRefPtr<Writer> late = m_file->WriterFor(0, kChunk);
    m_file->Close();
    const Writer::Taken taken = late->Append(m_payload.data(), 10);
    EXPECT_EQ(taken.bytes, 0u);
    EXPECT_NE(taken.error, 0u);
    EXPECT_NE(late->Drain(), 0u);
}

TEST_F(QVDownloadFileIOTest, AFailedWriteStopsTheRangeWithTheSystemError) {
    // A range past the reserved size, with the process's file size limit just beyond it.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    const rlimit small{kSize, saved.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &small);
    CRefPtr<Writer> writer = m_file->WriterFor(kSize, 2 * kChunk);
    EXPECT_EQ(writer->Append(m_payload.data(), kChunk + 1).bytes, kChunk + 1);
    const DWORD error = writer->Drain();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previous);
    EXPECT_NE(error, 0u);
    EXPECT_EQ(writer->Stored(), 0u);
    EXPECT_EQ(writer->Append("x", 1).error, error);
}
