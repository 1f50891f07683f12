#include "app/UpdateInfo.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const std::string kSha1(40, 'a');

VersionTriple V(std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t revision = 0) {
    return {a, b, c, static_cast<std::uint16_t>(VersionTriple::kValidMark | revision)};
}

std::vector<std::wstring> VersionsOf(const ProtoValue& records) {
    std::vector<std::wstring> versions;
    for (size_t i = 0; i < records.size(); ++i)
        versions.push_back(records[i][L"version"].string());
    return versions;
}

class UpdateInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_info.SetSelector("win");
        m_info.SetCurrentVersion(V(1, 2, 3));
    }
    CUpdateInfo m_info;
};

}  // namespace

TEST_F(UpdateInfoTest, KeepsTheSelectedItemsOfNewerBlocks) {
    const std::string text =
        "\xEF\xBB\xBF"
        "1.2.2 -size:10 win -url:http://h/old.7z\n"
        "1.2.3 -size:1024 win -url:http://h/a.7z -sha1:" +
        kSha1 +
        "\n"
        "1.2.4 -min:1 -s:77 mac -url:http://h/mac.7z -size:1 WIN -url:http://h/b.7z -m:http://m/b.7z "
        "linux -url:http://h/l.7z\n"
        "1.2.5 mac -url:http://h/mac2.7z\n";
    ASSERT_TRUE(m_info.Parse(text));

    EXPECT_EQ(VersionsOf(m_info.Result()), std::vector<std::wstring>{L"1.2.4"});
    EXPECT_EQ(VersionsOf(m_info.OtherRecords()), (std::vector<std::wstring>{L"1.2.2", L"1.2.3"}));
    const ProtoValue& newest = m_info.Result()[0];
    EXPECT_EQ(newest[L"url"].string(), L"http://h/b.7z");   // not the mac or linux group's
    EXPECT_EQ(newest[L"murl"].string(), L"http://m/b.7z");  // "m" is a prefix of "murl"
    EXPECT_EQ(newest[L"size"].integer(), 77);               // "s" is a prefix of "size"
    EXPECT_EQ(m_info.OtherRecords()[1][L"sha1"].string(), std::wstring(40, L'a'));
    EXPECT_EQ(m_info.BestVersion(), V(1, 2, 4));  // the 1.2.5 block is not for this reader
    EXPECT_EQ(m_info.LastBlockVersion(), V(1, 2, 5));
    EXPECT_EQ(m_info.MinVersion(), V(1, 2, 4));
}

TEST_F(UpdateInfoTest, RefusesMalformedAndHostileTexts) {
    const struct {
        const char* why;
        std::string text;
    } cases[] = {
        {"second version not greater", "1.2.4 win -url:a\n1.2.4 win -url:b\n"},
        {"sha1 of 39", "1.2.4 win -url:a -sha1:" + std::string(39, 'a')},
        {"sha1 of 41", "1.2.4 win -url:a -sha1:" + std::string(41, 'a')},
        {"reboot with a value", "1.2.4 -reboot:1 win -url:a"},
        {"empty url", "1.2.4 win -url:"},
        {"number without a value", "1.2.4 -size win -url:a"},
        {"number of 24 characters", "1.2.4 -size:" + std::string(24, '1') + " win -url:a"},
        {"component above 65535", "70000.1.1 win -url:a"},
        {"revision of 32767", "1.2.4.32767 win -url:a"},
        {"version glued to an item", "1.2.4-size:1 win -url:a"},
        {"item with '='", "1.2.4 -size=5 win -url:a"},
        {"selected block without url", "1.2.4 win -size:1"},
        {"a word where a version belongs", "win -url:a"},
        {"a broken item in a skipped group", "1.2.4 mac -size=3 win -url:a"},
        {"a NUL where a token belongs", std::string("1.2.4 \0win -url:a", 17)},
        {"endless digits", std::string(100000, '9')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_FALSE(m_info.Parse(c.text));
    }
}

TEST_F(UpdateInfoTest, AcceptsItemsMeantForOthers) {
    const std::string text =
        "1.2.4 -reboot -foo:bar -freshiconx:1 win -url:a -size:-12 -usize:12abc "
        "-format:99999999999999999999 -gray:0\n"
        "1.2.4.7 win -url:b\n";
    ASSERT_TRUE(m_info.Parse(text));
    ASSERT_EQ(m_info.Result().size(), 2u);
    const ProtoValue& first = m_info.Result()[0];
    EXPECT_EQ(first[L"size"].integer(), -12);
    EXPECT_EQ(first[L"usize"].integer(), 12);
    EXPECT_FALSE(first.hasKey(L"format"));  // beyond 64 bits: not stored
    EXPECT_FALSE(first.hasKey(L"foo"));
    EXPECT_EQ(m_info.BestVersion(), V(1, 2, 4, 7));
}

TEST_F(UpdateInfoTest, KeepsTheNewerBlocksUpToTheBestVersion) {
    // Nothing after a block that needs a newer script is read, not even a broken tail.
    const std::string needsScript2 = "1.2.4 win -url:a\n1.2.5 win -url:b -reqscriptver:2.0.0\n";
    const struct {
        const char* why;
        VersionTriple script;
        std::string text;
        std::vector<std::wstring> kept;  // the best version is the last of them, else the current one
    } cases[] = {
        {"no reboot item",
         {},
         "1.2.4 win -url:a\n1.2.5 win -url:b -reboot\n1.2.6 win -url:c\n",
         {L"1.2.4", L"1.2.5", L"1.2.6"}},
        {"blank text", {}, " \r\n\t", {}},
        {"only older blocks", {}, "1.2.1 win -url:a\n", {}},
        {"a reader too old", V(1, 0, 0), needsScript2 + "1.2.6 garbage -sha1:x", {L"1.2.4"}},
        {"a reader new enough", V(2, 0, 0), needsScript2, {L"1.2.4", L"1.2.5"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        m_info.SetScriptVersion(c.script);
        ASSERT_TRUE(m_info.Parse(c.text));
        EXPECT_EQ(VersionsOf(m_info.Result()), c.kept);
        EXPECT_EQ(m_info.BestVersion(), c.kept.empty() ? V(1, 2, 3) : ParseVersionTriple(c.kept.back()));
    }
}

TEST_F(UpdateInfoTest, LaterPartsAndAFreshParseForgetTheEarlierOne) {
    ASSERT_TRUE(
        m_info.Parse("1.2.4 -min:1 win -url:a -silent:1 -noforce:1 -predl:p1 -patchurl:http://p/1\n"
                     "1.2.5 -min:1 win -url:b -silent:1 -noforce:1 -gray:1\n"
                     "1.2.6 -min:0 win -url:c -silent:1 -noforce:1\n"));
    EXPECT_EQ(m_info.MinVersion(), V(1, 2, 5));
    EXPECT_EQ(m_info.PatchUrl(), L"http://p/1");
    EXPECT_TRUE(m_info.IsSilent());
    EXPECT_FALSE(m_info.IsForced());
    EXPECT_FALSE(m_info.IsGray());  // the newest step is not staged
    EXPECT_EQ(m_info.PreDownload(), L"p1");

    ASSERT_TRUE(m_info.Parse("1.2.4 win -url:a -silent:1\n1.2.5 win -url:b -gray:1\n"));
    EXPECT_FALSE(m_info.IsSilent());
    EXPECT_TRUE(m_info.IsForced());
    EXPECT_TRUE(m_info.IsGray());
    EXPECT_EQ(m_info.PatchUrl(), L"");
    EXPECT_EQ(m_info.MinVersion(), VersionTriple{});
    EXPECT_EQ(m_info.PreDownload(), L"");
}
