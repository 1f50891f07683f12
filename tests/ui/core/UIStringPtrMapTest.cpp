#include "ui/core/UIStringPtrMap.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/core/UIString.h"

using SkinUI::CUIStringPtrMap;

namespace {

std::vector<std::wstring> Keys(const CUIStringPtrMap& map) {
    std::vector<std::wstring> keys;
    for (int i = 0; i < map.Count(); ++i)
        keys.emplace_back(map.KeyAt(i));
    return keys;
}

}  // namespace

TEST(UIStringPtrMapTest, InsertSetFindAndRemove) {
    int a = 1;
    int b = 2;
    CUIStringPtrMap map;
    EXPECT_TRUE(map.Insert(L"btn_close", &a));
    EXPECT_FALSE(map.Insert(L"btn_close", &b));  // an existing key is not replaced
    EXPECT_EQ(map.Find(L"btn_close"), &a);
    EXPECT_EQ(map.Find(L"BTN_CLOSE"), nullptr);  // names are case-sensitive
    EXPECT_EQ(map.Set(L"btn_close", &b), &a);
    EXPECT_EQ(map.Find(L"btn_close"), &b);
    EXPECT_EQ(map.Set(L"btn_min", &a), nullptr);
    EXPECT_EQ(map.Count(), 2);

    const SkinUI::CUIString key(L"btn_min");
    EXPECT_EQ(map.Find(key), &a);
    EXPECT_FALSE(map.Contains(L""));
    EXPECT_TRUE(map.Insert(L"", &a));  // the empty name is a key like any other
    EXPECT_TRUE(map.Contains(L""));

    EXPECT_TRUE(map.Remove(L"btn_close"));
    EXPECT_FALSE(map.Remove(L"btn_close"));
    EXPECT_EQ(map.Find(L"btn_close"), nullptr);
    EXPECT_EQ(map.Count(), 2);
    map.Clear();
    EXPECT_EQ(map.Count(), 0);
    EXPECT_EQ(map.Find(L"btn_min"), nullptr);
}

TEST(UIStringPtrMapTest, IterationByIndexFollowsInsertionOrderAcrossRemovals) {
    std::vector<int> values(300);
    CUIStringPtrMap map;
    for (int i = 0; i < 300; ++i) {
        values[i] = i;
        ASSERT_TRUE(map.Insert(L"k" + std::to_wstring(i), &values[i]));
    }
    EXPECT_EQ(map.KeyAt(0), std::wstring(L"k0"));
    EXPECT_EQ(map.ValueAt(299), &values[299]);
    EXPECT_EQ(map.KeyAt(300), nullptr);
    EXPECT_EQ(map.ValueAt(-1), nullptr);

    // Removing shifts the later entries down, and lookups still find every survivor.
    for (int i = 0; i < 300; i += 3)
        ASSERT_TRUE(map.Remove(L"k" + std::to_wstring(i)));
    ASSERT_EQ(map.Count(), 200);
    EXPECT_EQ(map.KeyAt(0), std::wstring(L"k1"));
    EXPECT_EQ(map.KeyAt(1), std::wstring(L"k2"));
    EXPECT_EQ(map.KeyAt(2), std::wstring(L"k4"));
    for (int i = 0; i < 300; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(map.Find(L"k" + std::to_wstring(i)), i % 3 == 0 ? nullptr : &values[i]);
    }
    for (int i = 0; i < map.Count(); ++i) {
        EXPECT_EQ(map.Find(map.KeyAt(i)), map.ValueAt(i));
    }

    map.Set(L"k0", &values[0]);  // re-added at the end
    EXPECT_EQ(Keys(map).back(), L"k0");
}
