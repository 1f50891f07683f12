#include "commonlib/core/ProtoValue.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

TEST(ProtoValueTest, IndexPastTheEndThrowsInsteadOfReadingBeyond) {
    ProtoValue list;
    list.append(L"a");
    list.append(ProtoValue(5));
    try {
        (void)std::as_const(list)[2];
        FAIL() << "no exception";
    } catch (const ProtoValueException& e) {
        EXPECT_EQ(e.Code(), DWORD{ProtoValueException::kIndexOutOfRange});
    }
    EXPECT_EQ(list[1].integer(), 5);
}

TEST(ProtoValueTest, MapIteratesInUtf16CodeUnitOrder) {
    const std::wstring supplementary(1, wchar_t(0x1F600));  // D83D DE00 in UTF-16
    const std::wstring halfwidth(1, wchar_t(0xFF61));
    ProtoValue map;
    for (const std::wstring& key :
         {halfwidth, supplementary, std::wstring(L"b"), std::wstring(L"B"), std::wstring(L"ab"), std::wstring(L"a")})
        map[key] = 1;
    std::vector<std::wstring> keys;
    for (const auto& [key, value] : map.map())
        keys.push_back(key);
    // Code point order would put U+FF61 before U+1F600; UTF-16 puts the surrogate first.
    const std::vector<std::wstring> expected = {L"B", L"a", L"ab", L"b", supplementary, halfwidth};
    EXPECT_EQ(keys, expected);
}

TEST(ProtoValueTest, KeysUtf16CannotCarryAreStoredAsTheyWillReadBack) {
    const std::wstring lone(1, wchar_t(0xD800));
    const std::wstring beyond(1, wchar_t(0x110000));
    ProtoValue map;
    map[L"k" + lone] = 1;
    map[L"k" + beyond] = 2;  // the same key once repaired
    EXPECT_EQ(map.size(), 1u);
    EXPECT_TRUE(map.hasKey(L"k\uFFFD"));
    EXPECT_EQ(map.get(L"k" + lone, ProtoValue()).integer(), 2);
}
