#include "ui/core/UIPtrArray.h"

#include <gtest/gtest.h>

#include <vector>

using SkinUI::CUIPtrArray;

TEST(UIPtrArrayTest, GrowsKeepsOrderAndClosesGapsOnRemoval) {
    std::vector<int> storage(1000);
    CUIPtrArray array(2);
    for (int& item : storage)
        ASSERT_TRUE(array.Append(&item));
    EXPECT_EQ(array.ItemAt(999), &storage[999]);
    EXPECT_TRUE(array.RemoveAt(0));
    EXPECT_TRUE(array.RemoveAt(498));  // was storage[499]
    EXPECT_TRUE(array.RemoveAt(array.Count() - 1));
    EXPECT_EQ(array.Count(), 997);
    EXPECT_EQ(array.ItemAt(0), &storage[1]);
    EXPECT_EQ(array.ItemAt(498), &storage[500]);
    EXPECT_EQ(array.IndexOf(&storage[499]), -1);

    // Positions up to the end are accepted; others are refused and change nothing.
    EXPECT_TRUE(array.InsertAt(997, &storage[0]));
    EXPECT_TRUE(array.InsertAt(1, &storage[0]));
    EXPECT_EQ(array.ItemAt(2), &storage[2]);
    EXPECT_FALSE(array.InsertAt(1000, &storage[0]));
    EXPECT_FALSE(array.RemoveAt(999));
    EXPECT_EQ(array.ItemAt(999), nullptr);
    EXPECT_EQ(array.Count(), 999);
}
