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

}  // namespace
