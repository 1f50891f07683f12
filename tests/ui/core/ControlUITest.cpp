#include "ui/core/ControlUI.h"

#include <gtest/gtest.h>

#include "ui/core/ContainerUI.h"
#include "ui/core/PaintManager.h"

using SkinUI::CControlUI;

TEST(ControlUITest, ADeletedControlStopsBeingTheFocus) {
    SkinUI::CUIPaintManager manager;
    auto* root = new SkinUI::CContainerUI();
    manager.AttachRoot(root);
    auto* focused = new CControlUI();
    root->AppendChild(focused);
    focused->TakeFocus();
    EXPECT_EQ(manager.GetFocusControl(), focused);
    EXPECT_TRUE(root->RemoveChild(focused));
    EXPECT_EQ(manager.GetFocusControl(), nullptr);
}
