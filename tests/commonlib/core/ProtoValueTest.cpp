#include "commonlib/core/ProtoValue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace {

DWORD CodeOfThrow(const std::function<void()>& call) {
    try {
        call();
    } catch (const ProtoValueException& e) {
        return e.Code();
    }
    return 0;
}

}  // namespace

TEST(ProtoValueTest, AccessorsAnswerOnlyForTheHeldType) {
    using Type = ProtoValue::Type;
    const ProtoValue values[] = {ProtoValue(),         ProtoValue(int64_t{-5}), ProtoValue(2.5),
                                 ProtoValue("bytes"),  ProtoValue(L"文字"),     ProtoValue(Type::Array),
                                 ProtoValue(Type::Map)};
    const struct {
        Type type;
        std::function<void(const ProtoValue&)> access;
    } accessors[] = {
        {Type::Integer, [](const ProtoValue& v) { (void)v.integer(); }},
        {Type::Real, [](const ProtoValue& v) { (void)v.real(); }},
        {Type::NarrowString, [](const ProtoValue& v) { (void)v.narrowString(); }},
        {Type::String, [](const ProtoValue& v) { (void)v.string(); }},
        {Type::Array, [](const ProtoValue& v) { (void)v.array(); }},
        {Type::Map, [](const ProtoValue& v) { (void)v.map(); }},
    };
    for (const ProtoValue& value : values) {
        for (const auto& accessor : accessors) {
            SCOPED_TRACE(testing::Message() << "held " << int(value.type()) << " asked " << int(accessor.type));
            const DWORD code = CodeOfThrow([&] { accessor.access(value); });
            EXPECT_EQ(code, value.type() == accessor.type ? 0u : DWORD{ProtoValueException::kWrongType});
        }
    }

    try {
        (void)values[5].string();
        FAIL() << "no exception";
    } catch (const IException& e) {
        EXPECT_EQ(e.Message(), L"ProtoValue: string expected, array held");
        EXPECT_GT(e.Line(), 0);
    }
}

TEST(ProtoValueTest, MapIndexingInsertsOnlyWhenWritable) {
    ProtoValue event;
    event[L"stats_col"][L"client_type"] = 1;  // null becomes a map, twice over
    EXPECT_TRUE(event.isMap());
    EXPECT_EQ(event[L"stats_col"][L"client_type"].integer(), 1);

    const ProtoValue& readOnly = event;
    EXPECT_TRUE(readOnly[L"absent"].isNull());
    EXPECT_FALSE(event.hasKey(L"absent"));  // the const lookup did not insert

    (void)event[L"absent"];  // the writable one does, with a null entry
    EXPECT_TRUE(event.hasKey(L"absent"));
    EXPECT_TRUE(event[L"absent"].isNull());
    EXPECT_EQ(event.size(), 2u);

    ProtoValue number(7);
    EXPECT_EQ(CodeOfThrow([&] { number[L"x"] = 1; }), DWORD{ProtoValueException::kWrongType});
    EXPECT_EQ(CodeOfThrow([&] { (void)std::as_const(number)[L"x"]; }), DWORD{ProtoValueException::kWrongType});
    EXPECT_EQ(number.integer(), 7);
    EXPECT_EQ(number.get(L"x", ProtoValue(L"fallback")).string(), L"fallback");

    ProtoValue copy = event;  // deep: the original keeps its entries
    copy.clear();
    EXPECT_TRUE(copy.isNull());
    EXPECT_EQ(event.size(), 2u);
}

TEST(ProtoValueTest, ArraysGrowByAppendAndCheckTheirBounds) {
    ProtoValue list;  // null becomes an array
    list.append(L"a");
    list.append(ProtoValue(5));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].integer(), 5);

    EXPECT_EQ(CodeOfThrow([&] { (void)list[2]; }), DWORD{ProtoValueException::kIndexOutOfRange});
    EXPECT_EQ(CodeOfThrow([&] { (void)std::as_const(list)[99]; }), DWORD{ProtoValueException::kIndexOutOfRange});

    ProtoValue map(ProtoValue::Type::Map);
    EXPECT_EQ(CodeOfThrow([&] { map.append(1); }), DWORD{ProtoValueException::kWrongType});
    EXPECT_EQ(CodeOfThrow([&] { (void)map[0]; }), DWORD{ProtoValueException::kWrongType});
    EXPECT_EQ(CodeOfThrow([&] { (void)ProtoValue(1.5).size(); }), DWORD{ProtoValueException::kWrongType});
    EXPECT_EQ(ProtoValue().size(), 0u);
}

TEST(ProtoValueTest, MapIteratesInUtf16CodeUnitOrder) {
    const std::wstring supplementary(1, wchar_t(0x1F600));  // D83D DE00 in UTF-16
    const std::wstring halfwidth(1, wchar_t(0xFF61));
    ProtoValue map;
    map[halfwidth] = 1;
    map[supplementary] = 2;
    map[L"b"] = 3;
    map[L"B"] = 4;
    map[L"ab"] = 5;
    map[L"a"] = 6;
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
    EXPECT_TRUE(map.hasKey(L"k" + lone));
    EXPECT_EQ(std::as_const(map)[L"k" + beyond].integer(), 2);
    EXPECT_EQ(map.get(L"k" + lone, ProtoValue()).integer(), 2);
}
