#include "commonlib/core/Exception.h"

#include <gtest/gtest.h>

#include <memory>

#include "commonlib/core/FileExException.h"
#include "commonlib/core/ProtoValueException.h"
#include "platform/types/ErrorCodes.h"

TEST(ExceptionTest, ThrowSiteCodeAndMessageTravelWithTheObject) {
    int line = 0;
    try {
        line = __LINE__ + 1;
        XJ_THROW(CFileExException, ERROR_DISK_FULL, L"写入失败");
    } catch (const IException& e) {
        EXPECT_STREQ(e.SourceFile(), __FILE__);
        EXPECT_EQ(e.Line(), line);
        EXPECT_EQ(e.Code(), ERROR_DISK_FULL);
        EXPECT_EQ(e.Message(), L"写入失败");
        EXPECT_STREQ(e.what(), "写入失败");
    }

    // The file wrapper's Open fills a caller's object instead of throwing.
    CFileExException filled;
    EXPECT_EQ(filled.Code(), 0u);
    filled.Set("FileEx.cpp", 12, ERROR_ACCESS_DENIED, L"open");
    EXPECT_EQ(filled.Code(), ERROR_ACCESS_DENIED);
    EXPECT_STREQ(filled.SourceFile(), "FileEx.cpp");

    // Owned through the base, destroyed through its virtual destructor.
    std::unique_ptr<IException> owned = std::make_unique<ProtoValueException>("x", 1, 2, L"m");
    EXPECT_EQ(owned->Code(), 2u);
}
