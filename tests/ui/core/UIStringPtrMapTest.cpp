#include "ui/core/UIStringPtrMap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using SkinUI::CUIStringPtrMap;

TEST(UIStringPtrMapTest, InsertKeepsSetReplacesAndNamesAreCaseSensitive) {
    int a = 1;
    int b = 2;
    CUIStringPtrMap map;
    EXPECT_TRUE(map.Insert(L"btn_close", &a));
    EXPECT_FALSE(map.Insert(L"btn_close", &b));
    EXPECT_EQ(map.Find(L"btn_close"), &a);
    EXPECT_EQ(map.Find(L"BTN_CLOSE"), nullptr);
    EXPECT_EQ(map.Set(L"btn_close", &b), &a);
    EXPECT_EQ(map.Find(L"btn_close"), &b);
    EXPECT_TRUE(map.Remove(L"btn_close"));
    EXPECT_EQ(map.Find(L"btn_close"), nullptr);
}

TEST(UIStringPtrMapTest, IterationByIndexFollowsInsertionOrderAcrossRemovals) {
    std::vector<int> values(300);
    CUIStringPtrMap map;
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(map.Insert(L"k" + std::to_wstring(i), &values[i]));

    // Removing shifts the later entries down, and lookups still find every survivor.
    for (int i = 0; i < 300; i += 3)
        ASSERT_TRUE(map.Remove(L"k" + std::to_wstring(i)));
    ASSERT_EQ(map.Count(), 200);
    EXPECT_EQ(map.KeyAt(2), std::wstring(L"k4"));
    for (int i = 0; i < 300; ++i)
        EXPECT_EQ(map.Find(L"k" + std::to_wstring(i)), i % 3 == 0 ? nullptr : &values[i]) << i;
    for (int i = 0; i < map.Count(); ++i)
        EXPECT_EQ(map.Find(map.KeyAt(i)), map.ValueAt(i)) << i;
}
