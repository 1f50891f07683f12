#include "commonlib/core/MemoryStream.h"

#include <gtest/gtest.h>

TEST(MemoryStreamTest, ReadsAreAllOrNothing) {
    CMemoryStream stream;
    ASSERT_TRUE(stream.Write("abcdef", 6));
    char buffer[8] = {};
    ASSERT_TRUE(stream.Read(buffer, 4));
    EXPECT_FALSE(stream.Read(buffer, 3));  // only two left: nothing taken
    ASSERT_TRUE(stream.Write("g", 1));     // writes append behind the read position
    ASSERT_TRUE(stream.Read(buffer, 3));
    EXPECT_EQ(std::string(buffer, 3), "efg");
}
