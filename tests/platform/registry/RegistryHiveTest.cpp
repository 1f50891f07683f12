#include "platform/registry/RegistryHive.h"

#include <gtest/gtest.h>

#include "platform/registry/Registry.h"

namespace {

using platform::CRegistryHive;
using platform::RegistryValue;

TEST(RegistryHiveTest, TextRoundTripsAndKeysMatchWithoutCase) {
    CRegistryHive hive = *CRegistryHive::Parse("");
    EXPECT_TRUE(hive.CreateKey(L"Software\\\\QuorvelLauncher\\"));
    EXPECT_FALSE(hive.CreateKey(L"software\\quorvellauncher"));
    EXPECT_TRUE(hive.KeyExists(L"SOFTWARE"));  // a parent of a created key exists
    EXPECT_FALSE(hive.KeyExists(L"Soft"));
    const std::wstring tricky = L"D:\\游戏 \"quoted\"\r\nnext line\\";
    CRegistryHive::SetValue(*hive.FindKey(L"SOFTWARE\\QUORVELLAUNCHER"), RegistryValue{L"Inst\"Path", 1, tricky, 0});
    CRegistryHive::SetValue(*hive.FindKey(L"Software\\QuorvelLauncher"), RegistryValue{L"", 4, L"", 0xDEADBEEF});

    const auto again = CRegistryHive::Parse(hive.Serialise());
    ASSERT_TRUE(again.has_value());
    const auto* key = again->FindKey(L"software\\QuorvelLauncher");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->path, L"Software\\QuorvelLauncher");
    const auto* sz = CRegistryHive::FindValue(*key, L"inst\"path");
    ASSERT_NE(sz, nullptr);
    EXPECT_EQ(sz->text, tricky);
    const auto* dword = CRegistryHive::FindValue(*key, L"");
    ASSERT_NE(dword, nullptr);
    EXPECT_EQ(dword->number, 0xDEADBEEFu);
    EXPECT_EQ(again->Serialise(), hive.Serialise());
}

TEST(RegistryHiveTest, DamagedTextIsRejected) {
    const struct {
        const char* why;
        const char* text;
    } cases[] = {
        {"no header", "[A]\n\"x\"=sz:\"1\"\n"},
        {"unknown version", "XjRegistry 2\n"},
        {"value before any key", "XjRegistry 1\n\"x\"=sz:\"1\"\n"},
        {"unterminated text", "XjRegistry 1\n[A]\n\"x\"=sz:\"1\n"},
        {"unknown escape", "XjRegistry 1\n[A]\n\"x\"=sz:\"\\t\"\n"},
        {"trailing bytes", "XjRegistry 1\n[A]\n\"x\"=sz:\"1\" junk\n"},
        {"short dword", "XjRegistry 1\n[A]\n\"x\"=dword:1\n"},
        {"bad hex", "XjRegistry 1\n[A]\n\"x\"=dword:0000000g\n"},
        {"unknown type", "XjRegistry 1\n[A]\n\"x\"=hex:00\n"},
        {"duplicate key", "XjRegistry 1\n[A]\n[a]\n"},
        {"duplicate value", "XjRegistry 1\n[A]\n\"x\"=sz:\"1\"\n\"X\"=sz:\"2\"\n"},
        {"unclosed section", "XjRegistry 1\n[A\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_FALSE(CRegistryHive::Parse(c.text).has_value());
    }
    EXPECT_TRUE(CRegistryHive::Parse("XjRegistry 1\r\n\r\n[A]\r\n\"x\"=dword:0000000A\r\n").has_value());
}

TEST(RegistryHiveTest, TenThousandKeysKeepTheirLookupRules) {
    std::string text = "XjRegistry 1\n";
    for (int i = 0; i < 10000; ++i) {
        text += "[Software\\Vendor" + std::to_string(i % 100) + "\\Программа" + std::to_string(i) + "]\n";
        text +=
            "\"Значение\"=dword:" + std::string(8 - std::to_string(i % 10).size(), '0') + std::to_string(i % 10) + "\n";
    }
    auto hive = CRegistryHive::Parse(text);
    ASSERT_TRUE(hive.has_value());
    int found = 0;
    for (int i = 0; i < 10000; i += 7) {
        const std::wstring path =
            L"SOFTWARE\\vendor" + std::to_wstring(i % 100) + L"\\ПРОГРАММА" + std::to_wstring(i) + L"\\";
        const auto* key = hive->FindKey(path);
        const auto* value = key ? CRegistryHive::FindValue(*key, L"значение") : nullptr;
        found += value && value->number == static_cast<DWORD>(i % 10);
    }
    EXPECT_EQ(found, (10000 + 6) / 7);
    EXPECT_TRUE(hive->KeyExists(L"software\\VENDOR42"));  // a parent of created keys only
    EXPECT_FALSE(hive->KeyExists(L"Software\\Vendor"));   // a prefix of names, not a parent
    EXPECT_FALSE(hive->KeyExists(L"Software\\Vendor42\\Программа4"));
    EXPECT_EQ(hive->FindKey(L"Software\\Vendor42"), nullptr);

    // A new key among them, then the same key in another case.
    EXPECT_TRUE(hive->CreateKey(L"Software\\Vendor42\\Neu\\Ünter"));
    EXPECT_FALSE(hive->CreateKey(L"software\\vendor42\\NEU\\ÜNTER"));
    EXPECT_FALSE(hive->CreateKey(L"Software\\Vendor42\\Neu"));  // existed as a parent; now created itself
    EXPECT_NE(hive->FindKey(L"SOFTWARE\\VENDOR42\\NEU"), nullptr);
    EXPECT_TRUE(hive->KeyExists(L"software\\vendor42\\neu\\ünter"));

    // A duplicate in another case, even the last of them, damages the hive.
    text += "[software\\VENDOR99\\программа9999]\n";
    EXPECT_FALSE(CRegistryHive::Parse(text).has_value());
}

TEST(RegistryHiveTest, ValuesMatchWithoutCaseAmongMany) {
    CRegistryHive hive = *CRegistryHive::Parse("");
    hive.CreateKey(L"K");
    auto& key = *hive.FindKey(L"K");
    for (int i = 0; i < 5000; ++i)
        CRegistryHive::SetValue(key, RegistryValue{L"Wert" + std::to_wstring(i), 4, L"", static_cast<DWORD>(i)});
    CRegistryHive::SetValue(key, RegistryValue{L"WERT17", 4, L"", 99});  // replaces, not adds
    EXPECT_EQ(key.values.size(), 5000u);
    EXPECT_EQ(CRegistryHive::FindValue(key, L"wert17")->number, 99u);
    EXPECT_TRUE(CRegistryHive::RemoveValue(key, L"wErT0"));
    EXPECT_EQ(CRegistryHive::FindValue(key, L"WERT0"), nullptr);
    EXPECT_FALSE(CRegistryHive::RemoveValue(key, L"Wert0"));
    EXPECT_EQ(CRegistryHive::FindValue(key, L"Wert4999")->number, 4999u);  // still found after the removal
    const auto again = CRegistryHive::Parse(hive.Serialise());
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->Serialise(), hive.Serialise());
    EXPECT_EQ(CRegistryHive::FindValue(*again->FindKey(L"k"), L"WERT4998")->number, 4998u);
}

}  // namespace
