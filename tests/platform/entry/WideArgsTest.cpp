#include "platform/entry/WideArgs.h"

#include <gtest/gtest.h>

#include <string>

TEST(WideArgsTest, ConvertsUtf8ArgumentsIntoAnArgvShapedVector) {
    const char* argv[] = {"/opt/xj/qvxj_install", "-p", "D:\\Quorvel网络\\QuorvelTarnvik", "bad\xff", nullptr};
    platform::WideArgs args(4, argv);
    ASSERT_EQ(args.Argc(), 4);
    EXPECT_EQ(std::wstring(args.Argv()[0]), L"/opt/xj/qvxj_install");
    EXPECT_EQ(std::wstring(args.Argv()[2]), L"D:\\Quorvel网络\\QuorvelTarnvik");
    EXPECT_EQ(std::wstring(args.Argv()[3]), L"bad\uFFFD");
    EXPECT_EQ(args.Argv()[4], nullptr);

    platform::WideArgs cut(3, argv + 3);  // a null entry ends the vector
    EXPECT_EQ(cut.Argc(), 1);
    EXPECT_EQ(cut.Argv()[1], nullptr);
}
