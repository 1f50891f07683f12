#include "ui/core/UIStringPtrMap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using SkinUI::CUIStringPtrMap;

TEST(UIStringPtrMapTest, InsertKeepsSetReplacesAndOrderSurvivesRemovals) {
    int a = 1;
    int b = 2;
    CUIStringPtrMap names;
    EXPECT_TRUE(names.Insert(L"btn_close", &a));
    EXPECT_FALSE(names.Insert(L"btn_close", &b));
    EXPECT_EQ(names.Find(L"BTN_CLOSE"), nullptr) << "names are case-sensitive";
    EXPECT_EQ(names.Set(L"btn_close", &b), &a);
    EXPECT_EQ(names.Find(L"btn_close"), &b);

    // Removing shifts the later entries down, and lookups still find every survivor.
    std::vector<int> values(300);
    CUIStringPtrMap map;
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(map.Insert(L"k" + std::to_wstring(i), &values[i]));
    for (int i = 0; i < 300; i += 3)
        ASSERT_TRUE(map.Remove(L"k" + std::to_wstring(i)));
    ASSERT_EQ(map.Count(), 200);
    EXPECT_EQ(map.KeyAt(2), std::wstring(L"k4"));
    for (int i = 0; i < 300; ++i)
        EXPECT_EQ(map.Find(L"k" + std::to_wstring(i)), i % 3 == 0 ? nullptr : &values[i]) << i;
    for (int i = 0; i < map.Count(); ++i)
        EXPECT_EQ(map.Find(map.KeyAt(i)), map.ValueAt(i)) << i;
}
