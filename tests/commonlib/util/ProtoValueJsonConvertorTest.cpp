#include "commonlib/util/ProtoValueJsonConvertor.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <cstdint>
#include <limits>

#include "platform/strings/StringConv.h"

// The report classes read the text back with jsoncpp; it must parse whatever the value holds.
TEST(ProtoValueJsonConvertorTest, TextParsesBackEvenForValuesJsonCannotHold) {
    ProtoValue report;
    report[L"url"] = L"http://例子.example/a\"b\\c\n";
    report[L"count"] = INT64_MIN;
    report[L"log"].append(L"第一段");
    report[L"log"].append(2);
    report[L"nan"] = std::numeric_limits<double>::quiet_NaN();
    report[L"inf"] = -std::numeric_limits<double>::infinity();
    report[L"broken utf8"] = std::string("a\xff\xfe", 3);
    report[L"control"] = std::wstring(L"tab\there\x01");

    const std::string text = platform::Utf8FromWide(ProtoValueToJsonText(report));
    Json::Value back;
    std::string errors;
    std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
    ASSERT_TRUE(reader->parse(text.data(), text.data() + text.size(), &back, &errors)) << errors << "\n" << text;
    EXPECT_EQ(back["url"].asString(), "http://例子.example/a\"b\\c\n");
    EXPECT_EQ(back["count"].asInt64(), INT64_MIN);
    EXPECT_EQ(back["log"][0].asString(), "第一段");
    EXPECT_TRUE(back["nan"].isNull());
    EXPECT_TRUE(back["inf"].isNull());
    EXPECT_TRUE(back["broken utf8"].isString());
    EXPECT_EQ(back["control"].asString(), "tab\there\x01");
}
