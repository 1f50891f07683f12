#include "commonlib/peer/DownloadSources.h"

#include <gtest/gtest.h>

TEST(DownloadSourcesTest, ReplacingTheHostKeepsEverythingElse) {
    const struct {
        const char* url;
        const char* host;
        const char* expected;
    } cases[] = {
        {"http://a.example/x/y.exe?q=1", "cdn.example", "http://cdn.example/x/y.exe?q=1"},
        {"https://a.example:8443/y.exe", "cdn.example:9000", "https://cdn.example:9000/y.exe"},
        {"http://user@a.example/y", "b.example", "http://user@b.example/y"},
        {"http://[::1]:81/y", "::2", "http://[::2]:81/y"},
        {"http://a.example/y", " cdn.example ", "http://cdn.example/y"},
        {"http://a.example/y", "bad/host", ""},
        {"ftp://a.example/y", "cdn.example", ""},
        {"http://a.example:99999/y", "cdn.example", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.url) + " <- " + c.host);
        EXPECT_EQ(ReplaceUrlHost(c.url, c.host), c.expected);
    }
}

TEST(DownloadSourcesTest, ListsTheUrlThenEachPinnedAddressOnceThenKeepsTheCdnApart) {
    // A server elsewhere keeps its port; a port that cannot be is no source.
    CDownloadSourceList list(L"http://pkg.example:8080/qv.exe",
                             L"10.0.0.1;;10.0.0.2:8081; 10.0.0.1;10.0.0.4:0;10.0.0.5:x", L"cdn.example");
    ASSERT_EQ(list.Count(), 3u);
    EXPECT_EQ(list.At(0).kind, DownloadSource::Kind::Primary);
    EXPECT_EQ(list.At(0).pinnedAddress + "|" + list.At(1).pinnedAddress + "|" + list.At(2).pinnedAddress,
              "|10.0.0.1|10.0.0.2");
    EXPECT_EQ(list.At(1).pinnedPort, 0);
    EXPECT_EQ(list.At(2).pinnedPort, 8081);
    EXPECT_EQ(list.At(2).url, "http://pkg.example:8080/qv.exe");
    ASSERT_TRUE(list.Cdn());
    EXPECT_EQ(list.Cdn()->url, "http://cdn.example:8080/qv.exe");
    EXPECT_FALSE(CDownloadSourceList(L"", L"10.0.0.1", L"cdn").IsUsable());
    EXPECT_FALSE(CDownloadSourceList(L"http://a.example/x", L"", L"").Cdn());
}
