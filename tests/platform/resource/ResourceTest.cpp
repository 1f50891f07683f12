#include "platform/resource/Resource.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/types/ErrorCodes.h"

namespace {

std::string ResourceBytes(HRSRC resource) {
    const void* data = LockResource(LoadResource(nullptr, resource));
    return data ? std::string(static_cast<const char*>(data), SizeofResource(nullptr, resource)) : "<no data>";
}

}  // namespace

TEST(ResourceTest, EmbeddedFilesAreFoundByTypeAndId) {
    const std::string embedded("embedded resource bytes\n\0\x01\x02\xff", 28);
    EXPECT_EQ(ResourceBytes(FindResourceW(nullptr, MAKEINTRESOURCEW(7), L"TESTRES")), embedded);
    // Type and name compare without case, and "#7" is the id 7.
    EXPECT_NE(FindResourceW(GetModuleHandleW(nullptr), L"#7", L"testres"), nullptr);
    EXPECT_EQ(ResourceBytes(FindResourceW(nullptr, L"SAMPLE", RT_RCDATA)), embedded);
}

TEST(ResourceTest, AbsentResourcesFailWithTheirReason) {
    const struct {
        const char* why;
        HMODULE module;
        LPCWSTR name;
        LPCWSTR type;
        DWORD error;
    } cases[] = {
        {"no resource of that type", nullptr, MAKEINTRESOURCEW(155), L"RESDLL", ERROR_RESOURCE_TYPE_NOT_FOUND},
        {"type known, id unknown", nullptr, MAKEINTRESOURCEW(8), L"TESTRES", ERROR_RESOURCE_NAME_NOT_FOUND},
        {"'#0' is no id", nullptr, L"#0", L"TESTRES", ERROR_RESOURCE_NAME_NOT_FOUND},
        {"another module", reinterpret_cast<HMODULE>(0x1234000), MAKEINTRESOURCEW(7), L"TESTRES",
         ERROR_RESOURCE_DATA_NOT_FOUND},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(FindResourceW(c.module, c.name, c.type), nullptr);
        EXPECT_EQ(GetLastError(), c.error);
    }
    // Handles that did not come from FindResourceW are refused, not read.
    int unrelated = 0;
    EXPECT_EQ(LoadResource(nullptr, reinterpret_cast<HRSRC>(&unrelated)), nullptr);
    EXPECT_EQ(LockResource(reinterpret_cast<HGLOBAL>(&unrelated)), nullptr);
    EXPECT_EQ(SizeofResource(nullptr, nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(ResourceTest, RuntimeRegistrationCopiesAndReplacesSafely) {
    std::string bytes = "first";
    ASSERT_TRUE(platform::RegisterResource(L"ZIPRES", 101, bytes));
    bytes = "changed by the caller";
    HRSRC first = FindResourceW(nullptr, MAKEINTRESOURCEW(101), L"ZIPRES");
    const void* firstData = LockResource(LoadResource(nullptr, first));
    EXPECT_EQ(ResourceBytes(first), "first");

    ASSERT_TRUE(platform::RegisterResource(L"ZIPRES", 101, "second"));
    EXPECT_EQ(ResourceBytes(FindResourceW(nullptr, MAKEINTRESOURCEW(101), L"ZIPRES")), "second");
    EXPECT_EQ(std::memcmp(firstData, "first", 5), 0) << "data handed out earlier stays readable";

    ASSERT_TRUE(platform::RegisterResource(L"ZIPRES", L"EMPTY", ""));
    HRSRC empty = FindResourceW(nullptr, L"empty", L"zipres");
    EXPECT_NE(LockResource(LoadResource(nullptr, empty)), nullptr);
    EXPECT_EQ(SizeofResource(nullptr, empty), 0u);

    EXPECT_FALSE(platform::RegisterResource(L"ZIPRES", 0, "x"));
    EXPECT_FALSE(platform::RegisterResource(L"ZIPRES", 70000, "x"));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}
