#include "platform/window/Accelerator.h"

#include <gtest/gtest.h>

TEST(AcceleratorTest, AcceleratorTablesLiveUntilDestroyed) {
    const ACCEL entries[2] = {{FVIRTKEY | FCONTROL, 'C', 1}, {FVIRTKEY, 0x70, 2}};
    EXPECT_EQ(CreateAcceleratorTableW(entries, 0), nullptr);
    EXPECT_EQ(CreateAcceleratorTableW(nullptr, 1), nullptr);
    const HACCEL table = CreateAcceleratorTableW(entries, 2);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(CopyAcceleratorTableW(table, nullptr, 0), 2);
    ACCEL copied[3]{};
    ASSERT_EQ(CopyAcceleratorTableW(table, copied, 3), 2);
    EXPECT_EQ(copied[1].key, 0x70);
    EXPECT_EQ(copied[1].cmd, 2);
    EXPECT_TRUE(DestroyAcceleratorTable(table));
    EXPECT_FALSE(DestroyAcceleratorTable(table));
    EXPECT_EQ(CopyAcceleratorTableW(table, copied, 3), 0);
    // A new table never takes a destroyed table's handle.
    const HACCEL next = CreateAcceleratorTableW(entries, 1);
    EXPECT_NE(next, table);
    EXPECT_TRUE(DestroyAcceleratorTable(next));
}
