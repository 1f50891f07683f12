#include "commonlib/util/Hex.h"

#include <gtest/gtest.h>

#include <string>

TEST(HexTest, WritesUpperCasePairsAndOneTerminator) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"", ""},
        {std::string("\x00\x0f\xab\xff", 4), "000FABFF"},
        {"Az", "417A"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.out);
        std::string buffer(2 * c.in.size() + 2, '#');  // one guard byte past the documented size
        HexEncodeUpper(buffer.data(), c.in.data(), c.in.size());
        EXPECT_EQ(buffer.substr(0, 2 * c.in.size()), c.out);
        EXPECT_EQ(buffer[2 * c.in.size()], '\0');
        EXPECT_EQ(buffer.back(), '#');
    }
}
