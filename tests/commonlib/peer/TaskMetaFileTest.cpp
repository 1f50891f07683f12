#include "commonlib/peer/TaskMetaFile.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "commonlib/core/ProtoValue.h"
#include "commonlib/core/ProtoValueStream.h"
#include "commonlib/util/StringUtils.h"
#include "support/TempDir.h"

namespace {

class TaskMetaFileTest : public ::testing::Test {
protected:
    std::wstring Temp() const { return L"C:\\pkg.exe.qvdt"; }
    std::filesystem::path MetaPath() const { return m_dir / "home" / "pkg.exe.qvdt.qvmt"; }

    static std::string Encode(const ProtoValue& value) {
        std::string bytes;
        EXPECT_TRUE(EncodeProtoValue(value, bytes));
        return bytes;
    }
    static ProtoValue Gaps(std::initializer_list<int> numbers) {
        ProtoValue gaps(ProtoValue::Type::Array);
        for (int n : numbers)
            gaps.append(ProtoValue(n));
        return gaps;
    }
    // A valid resume file of the first version (no checksum, as earlier releases wrote it)
    // with one member replaced.
    static std::string With(const std::wstring& key, const ProtoValue& value) {
        ProtoValue root(ProtoValue::Type::Map);
        root[L"version"] = ProtoValue(1);
        root[L"size"] = ProtoValue(1000);
        root[L"md5"] = ProtoValue(L"ABCDEF");
        root[L"gaps"] = Gaps({10, 20, 500, 1000});
        if (!key.empty()) root[key] = value;
        return Encode(root);
    }

    testsupport::TempDir m_dir{testsupport::TempDir::Home::Redirect};
};

}  // namespace

// Each field is checked; whole files that are damaged or foreign are the download engine's resume tests.
TEST_F(TaskMetaFileTest, DamagedOrForeignFilesAreRefused) {
    using R = CTaskMetaFile::LoadResult;
    const std::string valid = With(L"", ProtoValue());
    const struct {
        const char* why;
        std::string bytes;
        R expected;
    } cases[] = {
        {"first version, still read", valid, R::Loaded},
        {"trailing bytes", valid + "x", R::Corrupt},
        {"not a map", Encode(ProtoValue(5)), R::Corrupt},
        {"newer version", With(L"version", ProtoValue(3)), R::Foreign},
        {"size as text", With(L"size", ProtoValue(L"1000")), R::Corrupt},
        {"odd gap list", With(L"gaps", Gaps({10, 20, 30})), R::Corrupt},
        {"gap past the end", With(L"gaps", Gaps({10, 1001})), R::Corrupt},
        {"negative offset", With(L"gaps", Gaps({-5, 10})), R::Corrupt},
        {"empty gap", With(L"gaps", Gaps({10, 10})), R::Corrupt},
        {"overlapping gaps", With(L"gaps", Gaps({10, 30, 20, 40})), R::Corrupt},
        {"no gaps: complete", With(L"gaps", Gaps({})), R::Loaded},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        m_dir.WriteFile("home/pkg.exe.qvdt.qvmt", c.bytes);
        std::vector<ByteRange> gaps{{1, 2}};
        const R result = CTaskMetaFile(Temp()).Load(1000, L"abcdef", gaps);
        EXPECT_EQ(result, c.expected);
        if (result != R::Loaded) {
            EXPECT_EQ(gaps, (std::vector<ByteRange>{{1, 2}})) << "output untouched";
        } else if (c.bytes == valid) {
            EXPECT_EQ(gaps, (std::vector<ByteRange>{{10, 20}, {500, 1000}}));
        }
    }
}

TEST_F(TaskMetaFileTest, SavedGapsComeBackAndNoSingleByteChangeLoadsOthers) {
    CTaskMetaFile meta(Temp());
    const std::vector<ByteRange> gaps{{0, 300}, {70000, 70001}, {1 << 20, 5 << 20}};
    ASSERT_EQ(meta.Save(5 << 20, L"abcdef", gaps), 0u);
    std::vector<ByteRange> loaded;
    EXPECT_EQ(meta.Load(5 << 20, L"ABCDEF", loaded), CTaskMetaFile::LoadResult::Loaded) << "MD5 text without case";
    EXPECT_EQ(loaded, gaps);
    const std::string saved = testsupport::TempDir::ReadFile(MetaPath());
    std::vector<std::string> accepted;
    for (size_t i = 0; i < saved.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            std::string changed = saved;
            changed[i] = static_cast<char>(changed[i] ^ (1 << bit));
            m_dir.WriteFile("home/pkg.exe.qvdt.qvmt", changed);
            std::vector<ByteRange> out;
            if (meta.Load(5 << 20, L"abcdef", out) == CTaskMetaFile::LoadResult::Loaded)
                accepted.push_back("byte " + std::to_string(i) + " bit " + std::to_string(bit));
        }
    }
    EXPECT_TRUE(accepted.empty()) << accepted.size() << " changed files load, the first: " << accepted[0];
}
