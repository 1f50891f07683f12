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
