#include "app/Updater/SevenZipCallbacks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/types/ErrorCodes.h"
#include "support/TempDir.h"

using testsupport::TempDir;

namespace {

struct ErrorSink : unzip_error {
    std::vector<std::int32_t> codes;
    void RecordError(std::int32_t code) noexcept override { codes.push_back(code); }
};

template <typename T>
struct Held {
    T* object;
    explicit Held(T* created) : object(created) { object->AddRef(); }
    ~Held() { object->Release(); }
    T* operator->() const { return object; }
};

}  // namespace

TEST(SevenZipStreamsTest, TransfersAndSeeksReportWhatReallyHappened) {
    TempDir temp(TempDir::Home::Redirect);
    {  // a short read at the end of the file counts what came
        temp.WriteFile("home/in.bin", "0123456789");
        Held<CInFileStream> in(new CInFileStream);
        ASSERT_TRUE(in->Open(L"C:\\in.bin"));
        EXPECT_EQ(in->Size(), 10u);
        char buffer[16] = {};
        std::uint32_t processed = 99;
        ASSERT_EQ(in->Seek(4, sevenzip::kSeekSet, nullptr), S_OK);
        EXPECT_EQ(in->Read(buffer, sizeof buffer, &processed), S_OK);
        EXPECT_EQ(processed, 6u);
        EXPECT_EQ(std::string(buffer, processed), "456789");
    }
    {  // a failed read counts nothing
        Held<CInFileStream> in(new CInFileStream);
        ASSERT_TRUE(in->Open(L"Z:\\proc\\self\\mem"));  // address 0 is never mapped
        char buffer[64];
        std::uint32_t processed = 99;
        EXPECT_EQ(in->Read(buffer, sizeof buffer, &processed), STG_E_ACCESSDENIED);
        EXPECT_EQ(processed, 0u);
        EXPECT_NE(in->LastError(), 0u);
    }
    {  // a failed write counts nothing and tells the sink why
        ErrorSink sink;
        Held<COutFileStream> out(new COutFileStream(&sink));
        ASSERT_TRUE(out->Open(L"Z:\\dev\\full"));
        const std::string bytes(4096, 'x');
        std::uint32_t processed = 99;
        EXPECT_EQ(out->Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &processed), STG_E_WRITEFAULT);
        EXPECT_EQ(processed, 0u);
        EXPECT_EQ(sink.codes, std::vector<std::int32_t>{static_cast<std::int32_t>(ERROR_DISK_FULL)});
    }
    {  // a file that cannot be created tells the sink too
        ErrorSink sink;
        Held<COutFileStream> out(new COutFileStream(&sink));
        EXPECT_FALSE(out->Open(L"C:\\no such folder\\out.bin"));
        EXPECT_EQ(sink.codes, std::vector<std::int32_t>{static_cast<std::int32_t>(ERROR_PATH_NOT_FOUND)});
    }

    // A failed seek is no success, and leaves the position where it was.
    Held<CInFileStream> in(new CInFileStream);
    ASSERT_TRUE(in->Open(L"C:\\in.bin"));
    std::uint64_t position = 99;
    ASSERT_EQ(in->Seek(3, sevenzip::kSeekSet, &position), S_OK);
    EXPECT_EQ(position, 3u);

    const struct {
        const char* why;
        std::int64_t offset;
        std::uint32_t origin;
    } cases[] = {{"before the start", -1, sevenzip::kSeekSet},
                 {"before the start, from the end", -11, sevenzip::kSeekEnd},
                 {"no such origin", 0, 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_TRUE(FAILED(in->Seek(c.offset, c.origin, &position)));
        std::uint64_t now = 99;
        ASSERT_EQ(in->Seek(0, sevenzip::kSeekCurrent, &now), S_OK);
        EXPECT_EQ(now, 3u) << "the position stays";
    }

    Held<CInFileStream> missing(new CInFileStream);
    EXPECT_FALSE(missing->Open(L"C:\\missing.bin"));
    EXPECT_EQ(missing->LastError(), ERROR_FILE_NOT_FOUND);
}

TEST(SevenZipStreamsTest, AnOutputsOwnErrorOutlivesTheItemsFailure) {
    // The library reports the item of a failed write as failed too; the write's cause stays.
    constexpr std::int32_t kLibraryDataError = 2;
    TempDir temp(TempDir::Home::Redirect);
    Held<CArchiveExtractCallback> callback(new CArchiveExtractCallback({}));
    {
        Held<COutFileStream> out(new COutFileStream(callback.object));
        ASSERT_TRUE(out->Open(L"Z:\\dev\\full"));
        const std::string bytes(4096, 'x');
        EXPECT_EQ(out->Write(bytes.data(), static_cast<std::uint32_t>(bytes.size()), nullptr), STG_E_WRITEFAULT);
    }
    EXPECT_EQ(callback->SetOperationResult(kLibraryDataError), S_OK);
    EXPECT_EQ(callback->RecordedError(), static_cast<std::int32_t>(ERROR_DISK_FULL));

    // Without an output's error the damaged item says so itself.
    Held<CArchiveExtractCallback> alone(new CArchiveExtractCallback({}));
    EXPECT_EQ(alone->SetOperationResult(kLibraryDataError), S_OK);
    EXPECT_EQ(alone->RecordedError(), sevenzip::kErrorDataDamaged);
}

TEST(SevenZipPathsTest, ItemPathsStayBelowTheDestination) {
    const std::pair<const wchar_t*, const wchar_t*> accepted[] = {{L"a.txt", L"a.txt"},
                                                                  {L"sub/deep/a.txt", L"sub\\deep\\a.txt"},
                                                                  {L"sub\\deep\\a.txt", L"sub\\deep\\a.txt"},
                                                                  {L"./sub//a.txt/", L"sub\\a.txt"},
                                                                  {L"sub/../a.txt", L"a.txt"},
                                                                  {L"sub/..", L""},
                                                                  {L"", L""}};
    for (const auto& [item, relative] : accepted)
        EXPECT_EQ(RelativeItemPath(item).value_or(L"<refused>"), relative) << testing::PrintToString(item);
    for (const wchar_t* item : {L"..", L"../a.txt", L"sub/../../a.txt", L"sub\\..\\..\\a.txt", L"/etc/passwd",
                                L"\\\\server\\share\\a.txt", L"C:a.txt", L"C:\\a.txt", L"a.txt:stream"})
        EXPECT_FALSE(RelativeItemPath(item).has_value()) << testing::PrintToString(item);
}
