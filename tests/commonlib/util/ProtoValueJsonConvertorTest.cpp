#include "commonlib/util/ProtoValueJsonConvertor.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <cstdint>
#include <limits>

#include "platform/strings/StringConv.h"

namespace {

// The report classes read the text back this way.
Json::Value ParseBack(const std::wstring& text) {
    Json::Value root;
    Json::CharReaderBuilder builder;
    std::string errors;
    const std::string utf8 = platform::Utf8FromWide(text);
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    EXPECT_TRUE(reader->parse(utf8.data(), utf8.data() + utf8.size(), &root, &errors)) << errors << "\n" << utf8;
    return root;
}

}  // namespace

TEST(ProtoValueJsonConvertorTest, EveryTypeParsesBackToItsValue) {
    ProtoValue report;
    report[L"url"] = L"http://例子.example/a\"b\\c\n";
    report[L"bytes"] = "plain";
    report[L"count"] = INT64_MIN;
    report[L"big"] = INT64_MAX;
    report[L"speed"] = 0.1;
    report[L"none"] = ProtoValue();
    report[L"log"].append(L"第一段");
    report[L"log"].append(2);
    report[L"nested"][L"inner"] = ProtoValue(ProtoValue::Type::Array);

    const Json::Value back = ParseBack(ProtoValueToJsonText(report));
    EXPECT_EQ(back,
              ParseBack(LR"({"url": "http://例子.example/a\"b\\c\n", "bytes": "plain", "count": -9223372036854775808,
        "big": 9223372036854775807, "speed": 0.1, "none": null, "log": ["第一段", 2], "nested": {"inner": []}})"))
        << back.toStyledString();
}

TEST(ProtoValueJsonConvertorTest, TextAlwaysParsesEvenForValuesJsonCannotHold) {
    ProtoValue odd;
    odd[L"nan"] = std::numeric_limits<double>::quiet_NaN();
    odd[L"inf"] = -std::numeric_limits<double>::infinity();
    odd[L"broken utf8"] = std::string("a\xff\xfe", 3);
    odd[L"control"] = std::wstring(L"tab\there\x01");
    const Json::Value back = ParseBack(ProtoValueToJsonText(odd));
    EXPECT_TRUE(back["nan"].isNull());
    EXPECT_TRUE(back["inf"].isNull());
    EXPECT_TRUE(back["broken utf8"].isString());
    EXPECT_EQ(back["control"].asString(), "tab\there\x01");

    EXPECT_EQ(ProtoValueToJsonText(ProtoValue()), L"null");
    EXPECT_EQ(ProtoValueToJsonText(ProtoValue(ProtoValue::Type::Map)), L"{}");
}
