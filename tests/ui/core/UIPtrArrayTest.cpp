#include "ui/core/UIPtrArray.h"

#include <gtest/gtest.h>

#include <vector>

using SkinUI::CUIPtrArray;

namespace {

std::vector<int> Values(const CUIPtrArray& array) {
    std::vector<int> values;
    for (int i = 0; i < array.Count(); ++i)
        values.push_back(*static_cast<int*>(array.ItemAt(i)));
    return values;
}

}  // namespace

TEST(UIPtrArrayTest, GrowsKeepsOrderAndClosesGapsOnRemoval) {
    std::vector<int> storage(1000);
    CUIPtrArray array;
    for (int i = 0; i < 1000; ++i) {
        storage[i] = i;
        ASSERT_TRUE(array.Append(&storage[i]));
    }
    ASSERT_EQ(array.Count(), 1000);
    EXPECT_EQ(array.ItemAt(999), &storage[999]);
    EXPECT_EQ(array.IndexOf(&storage[500]), 500);

    EXPECT_TRUE(array.RemoveAt(0));
    EXPECT_TRUE(array.RemoveAt(498));  // was storage[499]
    EXPECT_TRUE(array.RemoveAt(array.Count() - 1));
    EXPECT_EQ(array.Count(), 997);
    EXPECT_EQ(array.ItemAt(0), &storage[1]);
    EXPECT_EQ(array.ItemAt(498), &storage[500]);
    EXPECT_EQ(array.IndexOf(&storage[499]), -1);
    EXPECT_EQ(array.ItemAt(996), &storage[998]);

    array.Clear();
    EXPECT_TRUE(array.IsEmpty());
    EXPECT_EQ(array.ItemAt(0), nullptr);
}

TEST(UIPtrArrayTest, InsertAtAcceptsOnlyPositionsUpToTheEnd) {
    int v[5] = {0, 1, 2, 3, 4};
    CUIPtrArray array(2);
    EXPECT_TRUE(array.InsertAt(0, &v[2]));
    EXPECT_TRUE(array.InsertAt(0, &v[0]));
    EXPECT_TRUE(array.InsertAt(1, &v[1]));
    EXPECT_TRUE(array.InsertAt(3, &v[4]));  // at the end: appends
    EXPECT_TRUE(array.InsertAt(3, &v[3]));
    EXPECT_EQ(Values(array), (std::vector<int>{0, 1, 2, 3, 4}));

    EXPECT_FALSE(array.InsertAt(6, &v[0]));
    EXPECT_FALSE(array.InsertAt(-1, &v[0]));
    EXPECT_FALSE(array.RemoveAt(5));
    EXPECT_FALSE(array.RemoveAt(-1));
    EXPECT_EQ(array.ItemAt(5), nullptr);
    EXPECT_EQ(array[-1], nullptr);
    EXPECT_EQ(array.Count(), 5);

    array.InsertAt(4, &v[1]);
    EXPECT_EQ(array.IndexOf(&v[1]), 1);  // the first occurrence
}
