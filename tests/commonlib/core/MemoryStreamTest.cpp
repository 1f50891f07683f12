#include "commonlib/core/MemoryStream.h"

#include <gtest/gtest.h>

TEST(MemoryStreamTest, ReadsAreAllOrNothing) {
    CMemoryStream stream;
    ASSERT_TRUE(stream.Write("abcdef", 6));
    ASSERT_TRUE(stream.Write("", 0));
    char buffer[8] = {};
    ASSERT_TRUE(stream.Read(buffer, 4));
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    EXPECT_EQ(stream.Remaining(), 2u);
    EXPECT_FALSE(stream.Read(buffer, 3));  // only two left: nothing taken
    EXPECT_EQ(stream.Remaining(), 2u);
    ASSERT_TRUE(stream.Write("g", 1));  // writes append behind the read position
    ASSERT_TRUE(stream.Read(buffer, 3));
    EXPECT_EQ(std::string(buffer, 3), "efg");
    EXPECT_EQ(stream.Buffer(), "abcdefg");
    EXPECT_EQ(stream.Release(), "abcdefg");
    EXPECT_EQ(stream.Remaining(), 0u);

    const std::string bytes = "xyz";
    CMemoryReadStream reader(bytes);
    EXPECT_FALSE(reader.Write("a", 1));
    EXPECT_FALSE(reader.Read(buffer, 4));
    ASSERT_TRUE(reader.Read(buffer, 2));
    EXPECT_EQ(reader.Position(), 2u);
    EXPECT_EQ(reader.Remaining(), 1u);
}
