#include "ui/core/ControlUI.h"

#include <gtest/gtest.h>

#include "SkinFixture.h"
#include "ui/core/ContainerUI.h"
#include "ui/core/PaintManager.h"

using SkinUI::CControlUI;

TEST(ControlUITest, AttributesKeepThePreviousValueOnBadInput) {
    CControlUI control;
    control.ApplyAttributeText(LR"(width="40" height="30" bkcolor="#FF00FF00" padding="1,2,3,4")");
    const struct {
        const wchar_t* name;
        const wchar_t* value;
    } ignored[] = {
        {L"width", L"-5"},   {L"width", L"abc"},     {L"height", L""},
        {L"bkcolor", L"zz"}, {L"padding", L"1,2,3"}, {L"pos", L"1,2"},
    };
    for (const auto& c : ignored) {
        SCOPED_TRACE(std::wstring(c.name) + L"=" + c.value);
        control.ApplyAttribute(c.name, c.value);
        EXPECT_EQ(control.GetPresetWidth(), 40);
        EXPECT_EQ(control.GetPresetHeight(), 30);
        EXPECT_EQ(control.GetBackColor(), 0xFF00FF00u);
        EXPECT_RECT(control.GetOuterMargin(), 1, 2, 3, 4);
        EXPECT_FALSE(control.IsFloating());
    }

    // A malformed list applies the pairs before the fault.
    EXPECT_FALSE(control.ApplyAttributeText(LR"(name="first" text='second' broken)"));
    EXPECT_EQ(control.GetName(), L"first");
    EXPECT_EQ(control.GetCaption(), L"second");
}

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
