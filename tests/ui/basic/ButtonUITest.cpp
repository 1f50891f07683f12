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
    // Pressed inside and released over the neighbour: no click for anyone.
    Drag(POINT{50, 20}, POINT{150, 20});
    EXPECT_EQ(m_log, std::vector<std::string>{"click:ok"});
    // Space and Return click the focused button, Escape does not.
    Find<CButtonUI>(L"other")->TakeFocus();
    Key(VK_SPACE);
    Key(VK_RETURN);
    Key(VK_ESCAPE);
    EXPECT_EQ(Count("click:other"), 2);
    Find<CButtonUI>(L"ok")->SetUsable(false);
    Click(50, 20);
    EXPECT_EQ(Count("click:ok"), 1) << "a disabled button takes no click";
}

TEST_F(ButtonUITest, TabMovesTheFocusThroughButtonsAndEdits) {
    Build(R"(<VerticalLayout>
        <Button name="first" height="30"/><Label name="label" height="30"/>
        <Edit name="edit" height="30"/><Button name="off" height="30" enabled="false"/>
        <Button name="last" height="30"/>
      </VerticalLayout>)");
    Find<CButtonUI>(L"first")->TakeFocus();
    std::vector<std::string> order;
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(PressTab());
        order.push_back(basictest::Narrow(m_manager->GetFocusControl()->GetName().View()));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"edit", "last", "first"}));
    Send(WM_KEYDOWN, VK_SHIFT);
    EXPECT_TRUE(PressTab());
    Send(WM_KEYUP, VK_SHIFT);
    EXPECT_EQ(m_manager->GetFocusControl()->GetName(), L"last");
}

TEST_F(ButtonUITest, StateImagesFollowThePressEvenWhenAnotherWindowTakesIt) {
    constexpr DWORD kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kGrey = 0xFF808080;
    UseImages({{"normal", kRed}, {"hot", kGreen}, {"pushed", kBlue}, {"off", kGrey}});
    Build(R"(<HorizontalLayout>
        <Button name="b" width="100" normalimage="normal.png" hotimage="hot.png" pushedimage="pushed.png"
                disabledimage="off.png"/>
        <Control/>
      </HorizontalLayout>)");
    auto shows = [this](DWORD colour) { return testsupport::PixelNear(Paint()->Pixel(50, 150), colour); };
    EXPECT_TRUE(shows(kRed));
    // A press that ends because the window lost the capture or the focus leaves no pushed look
    // and raises no click.
    for (UINT lost : {WM_CAPTURECHANGED, WM_KILLFOCUS}) {
        SCOPED_TRACE(lost);
        Mouse(WM_MOUSEMOVE, 50, 150);
        EXPECT_TRUE(shows(kGreen));
        Mouse(WM_LBUTTONDOWN, 50, 150, MK_LBUTTON);
        EXPECT_TRUE(shows(kBlue));
        Send(lost, 0, lost == WM_CAPTURECHANGED ? 0x1234 : 0);
        EXPECT_FALSE(shows(kBlue));
        Mouse(WM_LBUTTONUP, 50, 150);
        EXPECT_FALSE(shows(kBlue));
    }
    EXPECT_EQ(Count("click:b"), 0);
    Find<CButtonUI>(L"b")->SetUsable(false);
    EXPECT_TRUE(shows(kGrey));
}
