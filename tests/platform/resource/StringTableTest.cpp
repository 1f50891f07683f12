#include "platform/resource/StringTable.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/resource/Resource.h"
#include "platform/types/ErrorCodes.h"

TEST(StringTableTest, CopiesWithTruncationAndAlwaysTerminates) {
    const std::wstring full = L"《Aldrune》安装程序";
    ASSERT_TRUE(platform::RegisterString(3, full));
    const int size = static_cast<int>(full.size());
    for (const auto& [bufferMax, expected] :
         {std::pair{260, full}, std::pair{size + 1, full}, std::pair{size, full.substr(0, size - 1)},
          std::pair{1, std::wstring()}}) {
        SCOPED_TRACE(bufferMax);
        std::wstring buffer(300, L'#');
        EXPECT_EQ(LoadStringW(GetModuleHandleW(nullptr), 3, buffer.data(), bufferMax),
                  static_cast<int>(expected.size()));
        EXPECT_EQ(std::wstring(buffer.c_str()), expected);
        EXPECT_EQ(buffer[bufferMax], L'#') << "nothing written past the buffer";
    }
}

TEST(StringTableTest, PointerFormSurvivesReplacement) {
    const wchar_t* text = nullptr;
    EXPECT_EQ(LoadStringW(nullptr, 41, reinterpret_cast<LPWSTR>(&text), 0), 8);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::wstring(text), L"嵌入的\"字符串\"");  // embedded by the build

    ASSERT_TRUE(platform::RegisterString(41, L"new"));
    EXPECT_EQ(std::wstring(text), L"嵌入的\"字符串\"");
    wchar_t buffer[8];
    EXPECT_EQ(LoadStringW(nullptr, 41, buffer, 8), 3);
    EXPECT_EQ(std::wstring(buffer), L"new");
}

TEST(StringTableTest, FailuresLeaveAnEmptyText) {
    wchar_t buffer[8] = L"junk";
    EXPECT_EQ(LoadStringW(nullptr, 999, buffer, 8), 0);
    EXPECT_EQ(buffer[0], L'\0');
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    const wchar_t* text = L"junk";
    EXPECT_EQ(LoadStringW(nullptr, 999, reinterpret_cast<LPWSTR>(&text), 0), 0);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(LoadStringW(nullptr, 41, buffer, -1), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}
