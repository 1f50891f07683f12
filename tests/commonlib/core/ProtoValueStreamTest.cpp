#include "commonlib/core/ProtoValueStream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "commonlib/core/MemoryStream.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::string AsString(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

Bytes Encode(const ProtoValue& value) {
    std::string out;
    EXPECT_TRUE(EncodeProtoValue(value, out));
    return Bytes(out.begin(), out.end());
}

ProtoValue Nested(int depth) {
    ProtoValue value;
    for (int i = 0; i < depth; ++i) {
        ProtoValue outer(ProtoValue::Type::Array);
        outer.append(std::move(value));
        value = std::move(outer);
    }
    return value;
}

}  // namespace

TEST(ProtoValueStreamTest, EncodesEachTypeToItsGoldenBytes) {
    const std::wstring emoji(1, wchar_t(0x1F600));
    ProtoValue list;
    list.append(1);
    list.append(ProtoValue());
    ProtoValue map;
    map[L"b"] = 1;
    map[L"a"] = ProtoValue();
    const struct {
        const char* why;
        ProtoValue value;
        Bytes bytes;
    } cases[] = {
        {"null", ProtoValue(), {0x00}},
        {"minus one", ProtoValue(-1), {0x01, 0x01}},
        {"int64 max", ProtoValue(INT64_MAX), {0x01, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}},
        {"real", ProtoValue(1.0), {0x02, 0, 0, 0, 0, 0, 0, 0xF0, 0x3F}},
        {"narrow string", ProtoValue("ab"), {0x03, 0x02, 'a', 'b'}},
        {"wide string", ProtoValue(L"A中"), {0x04, 0x02, 0x41, 0x00, 0x2D, 0x4E}},
        {"surrogate pair", ProtoValue(emoji), {0x04, 0x02, 0x3D, 0xD8, 0x00, 0xDE}},
        {"array", list, {0x05, 0x02, 0x01, 0x02, 0x00}},
        {"map in key order", map, {0x06, 0x02, 0x01, 'a', 0x00, 0x00, 0x01, 'b', 0x00, 0x01, 0x02}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(Encode(c.value), c.bytes);
        ProtoValue decoded;
        ASSERT_EQ(DecodeProtoValue(AsString(c.bytes), decoded), ProtoDecodeError::None);
        EXPECT_EQ(decoded, c.value);
    }
}

TEST(ProtoValueStreamTest, NestedValuesRoundTripAndWhatCannotReadBackIsNotWritten) {
    ProtoValue meta;
    meta[L"url"] = L"https://cdn.example/客户端/qvinstaller.exe";
    meta[L"size"] = int64_t{5'000'000'000};
    meta[L"speed"] = -12.75;
    meta[L"empty map"] = ProtoValue(ProtoValue::Type::Map);
    for (int64_t i = 0; i < 50; ++i)
        meta[L"gaps"].append(ProtoValue(i * 1'000'000));
    meta[L"nested"] = Nested(kMaxProtoValueDepth - 1);  // with the map around it: exactly the limit
    std::string bytes;
    ASSERT_TRUE(EncodeProtoValue(meta, bytes));
    ProtoValue decoded;
    ASSERT_EQ(DecodeProtoValue(bytes, decoded), ProtoDecodeError::None);
    EXPECT_EQ(decoded, meta);

    // A wide string with a code point UTF-16 cannot carry reads back with U+FFFD.
    ASSERT_TRUE(EncodeProtoValue(ProtoValue(std::wstring{L'a', wchar_t(0xDC00)}), bytes));
    ASSERT_EQ(DecodeProtoValue(bytes, decoded), ProtoDecodeError::None);
    EXPECT_EQ(decoded.string(), L"a\uFFFD");

    // One level deeper than a reader takes: nothing is written.
    bytes = "untouched";
    EXPECT_FALSE(EncodeProtoValue(Nested(kMaxProtoValueDepth + 1), bytes));
    EXPECT_EQ(bytes, "untouched");
}

TEST(ProtoValueStreamTest, MalformedInputFailsCleanly) {
    using E = ProtoDecodeError;
    Bytes tooDeep;
    for (int i = 0; i <= kMaxProtoValueDepth; ++i)
        tooDeep.insert(tooDeep.end(), {0x05, 0x01});
    tooDeep.push_back(0x00);
    const struct {
        const char* why;
        Bytes bytes;
        E error;
    } cases[] = {
        {"empty input", {}, E::Truncated},
        {"unknown type byte", {0x07}, E::UnknownType},
        {"varint never terminates", {0x01, 0x80, 0x80, 0x80}, E::Truncated},
        {"varint past 64 bits", {0x01, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x80, 0x02}, E::BadVarint},
        {"overlong varint", {0x01, 0x80, 0x00}, E::BadVarint},
        {"short real", {0x02, 0x00, 0x00, 0x00}, E::Truncated},
        {"narrow length of 2^64-1",
         {0x03, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01},
         E::LengthPastEnd},
        {"odd byte of a code unit", {0x04, 0x01, 'a'}, E::LengthPastEnd},
        {"lone high surrogate at end", {0x04, 0x01, 0x00, 0xD8}, E::BadUtf16},
        {"array count of 2^35", {0x05, 0x80, 0x80, 0x80, 0x80, 0x80, 0x01}, E::LengthPastEnd},
        {"array element cut short", {0x05, 0x02, 0x01, 0x00}, E::Truncated},
        {"map value missing", {0x06, 0x01, 0x01, 'a', 0x00}, E::Truncated},
        {"map keys descending", {0x06, 0x02, 0x01, 'b', 0x00, 0x00, 0x01, 'a', 0x00, 0x00}, E::KeyOrder},
        {"duplicate map keys", {0x06, 0x02, 0x01, 'a', 0x00, 0x00, 0x01, 'a', 0x00, 0x00}, E::KeyOrder},
        {"nested one past the limit", tooDeep, E::TooDeep},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        // Exact-size heap copies, so the sanitizer sees any read past the end.
        auto exact = std::make_unique<char[]>(c.bytes.size() + 1);
        std::copy(c.bytes.begin(), c.bytes.end(), exact.get());
        const std::string_view view(exact.get(), c.bytes.size());

        ProtoValue out(L"sentinel");
        EXPECT_EQ(DecodeProtoValue(view, out), c.error) << ProtoDecodeErrorText(c.error);
        EXPECT_EQ(out.string(), L"sentinel");
    }

    // Whole-buffer decoding wants exactly one value; a stream leaves the rest for the next read.
    const std::string twoValues("\x00\x00", 2);
    ProtoValue out;
    EXPECT_EQ(DecodeProtoValue(twoValues, out), E::TrailingBytes);
    CMemoryReadStream stream(twoValues);
    EXPECT_EQ(ReadProtoValue(stream, out), E::None);
    EXPECT_EQ(stream.Remaining(), 1u);
}
