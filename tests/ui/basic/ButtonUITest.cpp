#include "ui/basic/ButtonUI.h"

#include "BasicFixture.h"
#include "ui/basic/EditUI.h"

using SkinUI::CButtonUI;

using ButtonUITest = basictest::BasicControlTest;

TEST_F(ButtonUITest, ClicksOnlyWhenReleasedInsideOrByKey) {
    Build(R"(<HorizontalLayout>
        <Button name="ok" width="100"/><Button name="other" width="100"/><Control/>
      </HorizontalLayout>)");
    Click(50, 20);
    EXPECT_EQ(Count("click:ok"), 1);
    // Pressed inside and released over the neighbour: no click for anyone.
    Drag(POINT{50, 20}, POINT{150, 20});
    EXPECT_EQ(m_log.size(), 1u);
    // Pressed inside, out and back in: the press is still live.
    Mouse(WM_LBUTTONDOWN, 50, 20, MK_LBUTTON);
    Mouse(WM_MOUSEMOVE, 150, 20, MK_LBUTTON);
    Mouse(WM_MOUSEMOVE, 60, 20, MK_LBUTTON);
    Mouse(WM_LBUTTONUP, 60, 20);
    EXPECT_EQ(Count("click:ok"), 2);
    // Space and Return click the focused button, Escape does not.
    Find<CButtonUI>(L"other")->TakeFocus();
    Key(VK_SPACE);
    Key(VK_RETURN);
    Key(VK_ESCAPE);
    EXPECT_EQ(Count("click:other"), 2);
    // A disabled button takes no click, from the mouse or the keyboard.
    Find<CButtonUI>(L"ok")->SetUsable(false);
    Click(50, 20);
    EXPECT_FALSE(Find<CButtonUI>(L"ok")->Trigger());
    EXPECT_EQ(Count("click:ok"), 2);
}

TEST_F(ButtonUITest, StateImagesFollowTheMouseTheFocusAndTheEnabledFlag) {
    constexpr DWORD kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kGrey = 0xFF808080,
                    kYellow = 0xFFFFFF00;
    UseImages({{"normal", kRed}, {"hot", kGreen}, {"pushed", kBlue}, {"off", kGrey}, {"focus", kYellow}});
    Build(R"(<HorizontalLayout>
        <Button name="b" width="100" normalimage="normal.png" hotimage="hot.png" pushedimage="pushed.png"
                disabledimage="off.png" focusedimage="focus.png"/>
        <Control/>
      </HorizontalLayout>)");
    auto shows = [this](DWORD colour) { return testsupport::PixelNear(Paint()->Pixel(50, 150), colour); };
    EXPECT_TRUE(shows(kRed));
    Mouse(WM_MOUSEMOVE, 50, 150);
    EXPECT_TRUE(shows(kGreen));
    Mouse(WM_LBUTTONDOWN, 50, 150, MK_LBUTTON);
    EXPECT_TRUE(shows(kBlue));
    Mouse(WM_MOUSEMOVE, 300, 150, MK_LBUTTON);
    EXPECT_TRUE(shows(kGreen)) << "pressed look only while over the button";
    Mouse(WM_LBUTTONUP, 300, 150);
    Mouse(WM_MOUSEMOVE, 301, 150);
    EXPECT_TRUE(shows(kYellow)) << "the press left the focus on the button";
    m_manager->SetFocusControl(nullptr);
    EXPECT_TRUE(shows(kRed));
    Find<CButtonUI>(L"b")->SetUsable(false);
    EXPECT_TRUE(shows(kGrey));
}

TEST_F(ButtonUITest, TabMovesTheFocusThroughButtonsAndEdits) {
    Build(R"(<VerticalLayout>
        <Button name="first" height="30"/><Label name="label" height="30"/>
        <Edit name="edit" height="30"/><Button name="off" height="30" enabled="false"/>
        <Button name="last" height="30"/>
      </VerticalLayout>)");
    m_logFocus = true;
    auto focusName = [this]() {
        auto* focus = m_manager->GetFocusControl();
        return focus != nullptr ? basictest::Narrow(focus->GetName().View()) : std::string("-");
    };
    Find<CButtonUI>(L"first")->TakeFocus();
    std::vector<std::string> order;
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(PressTab());
        order.push_back(focusName());
    }
    EXPECT_EQ(order, (std::vector<std::string>{"edit", "last", "first", "edit"}));
    // Pressing a button takes the focus from the edit.
    Click(50, 135);
    EXPECT_EQ(focusName(), "last");
    EXPECT_EQ(Count("killfocus:edit"), 2);
    Find<SkinUI::CEditUI>(L"edit")->TakeFocus();
    Send(WM_KEYDOWN, VK_SHIFT);
    EXPECT_TRUE(PressTab());
    Send(WM_KEYUP, VK_SHIFT);
    EXPECT_EQ(focusName(), "first");
}
