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
    Mouse(WM_LBUTTONUP, 300, 150);
    Mouse(WM_MOUSEMOVE, 301, 150);
    EXPECT_TRUE(shows(kYellow)) << "the press left the focus on the button";
    Find<CButtonUI>(L"b")->SetUsable(false);
    EXPECT_TRUE(shows(kGrey));
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

TEST_F(ButtonUITest, APressLostToAnotherWindowLeavesNoPushedLookAndNoClick) {
    constexpr DWORD kRed = 0xFFFF0000, kBlue = 0xFF0000FF;
    UseImages({{"normal", kRed}, {"pushed", kBlue}});
    Build(R"(<HorizontalLayout>
        <Button name="b" width="100" normalimage="normal.png" pushedimage="pushed.png"/><Control/>
      </HorizontalLayout>)");
    auto pushedLook = [this] { return testsupport::PixelNear(Paint()->Pixel(50, 150), kBlue); };
    const struct {
        const char* why;
        UINT message;
        LPARAM lParam;
    } cases[] = {
        {"capture taken by another window", WM_CAPTURECHANGED, 0x1234},
        {"focus lost mid-press", WM_KILLFOCUS, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        Mouse(WM_MOUSEMOVE, 50, 150);
        Mouse(WM_LBUTTONDOWN, 50, 150, MK_LBUTTON);
        EXPECT_TRUE(pushedLook());
        Send(c.message, 0, c.lParam);
        EXPECT_FALSE(pushedLook());
        Mouse(WM_LBUTTONUP, 50, 150);
        EXPECT_FALSE(pushedLook());
    }
    EXPECT_EQ(Count("click:b"), 0);
}
