#include "ui/basic/ButtonUI.h"

#include "BasicFixture.h"
#include "ui/basic/EditUI.h"

using SkinUI::CButtonUI;

namespace {

class ButtonUITest : public basictest::BasicControlTest {};

constexpr DWORD kRed = 0xFFFF0000;
constexpr DWORD kGreen = 0xFF00FF00;
constexpr DWORD kBlue = 0xFF0000FF;
constexpr DWORD kGrey = 0xFF808080;
constexpr DWORD kYellow = 0xFFFFFF00;

}  // namespace

TEST_F(ButtonUITest, ClicksOnlyWhenReleasedInsideOrByKey) {
    Build(R"(<HorizontalLayout>
        <Button name="ok" width="100"/><Button name="other" width="100"/><Control/>
      </HorizontalLayout>)");
    {
        // Pressed and released inside.
        Click(50, 20);
        EXPECT_EQ(Count("click:ok"), 1);
    }
    {
        // Pressed inside, dragged out and released over the neighbour: no click for anyone.
        m_log.clear();
        Drag(POINT{50, 20}, POINT{150, 20});
        EXPECT_EQ(m_log, std::vector<std::string>{});
        // Pressed inside, out and back in: the press is still live.
        Mouse(WM_LBUTTONDOWN, 50, 20, MK_LBUTTON);
        Mouse(WM_MOUSEMOVE, 150, 20, MK_LBUTTON);
        EXPECT_EQ(Find<CButtonUI>(L"ok")->GetButtonState() & SkinUI::kButtonPushed, 0u);
        Mouse(WM_MOUSEMOVE, 60, 20, MK_LBUTTON);
        Mouse(WM_LBUTTONUP, 60, 20);
        EXPECT_EQ(Count("click:ok"), 1);
    }
    {
        // Space and Return click the focused button.
        m_log.clear();
        Find<CButtonUI>(L"other")->TakeFocus();
        Key(VK_SPACE);
        Key(VK_RETURN);
        Key(VK_ESCAPE);
        EXPECT_EQ(Count("click:other"), 2);
    }
    {
        // A disabled button takes no click, from the mouse or the keyboard.
        m_log.clear();
        Find<CButtonUI>(L"ok")->SetUsable(false);
        Click(50, 20);
        EXPECT_FALSE(Find<CButtonUI>(L"ok")->Trigger());
        EXPECT_EQ(Count("click:ok"), 0);
    }
}

TEST_F(ButtonUITest, StateImagesFollowTheMouseTheFocusAndTheEnabledFlag) {
    UseImages({{"normal", kRed}, {"hot", kGreen}, {"pushed", kBlue}, {"off", kGrey}, {"focus", kYellow}});
    Build(R"(<HorizontalLayout>
        <Button name="b" width="100" normalimage="normal.png" hotimage="hot.png" pushedimage="pushed.png"
                disabledimage="off.png" focusedimage="focus.png"/>
        <Control/>
      </HorizontalLayout>)");
    auto colourAt = [this]() { return Paint()->Pixel(50, 150); };
    EXPECT_TRUE(testsupport::PixelNear(colourAt(), kRed));
    Mouse(WM_MOUSEMOVE, 50, 150);
    EXPECT_TRUE(testsupport::PixelNear(colourAt(), kGreen));
    Mouse(WM_LBUTTONDOWN, 50, 150, MK_LBUTTON);
    EXPECT_TRUE(testsupport::PixelNear(colourAt(), kBlue));
    Mouse(WM_MOUSEMOVE, 300, 150, MK_LBUTTON);
    EXPECT_TRUE(testsupport::PixelNear(colourAt(), kGreen)) << "pressed look only while over the button";
    Mouse(WM_LBUTTONUP, 300, 150);
    Mouse(WM_MOUSEMOVE, 301, 150);
    EXPECT_TRUE(testsupport::PixelNear(colourAt(), kYellow)) << "the press left the focus on the button";
    m_manager->SetFocusControl(nullptr);
    EXPECT_TRUE(testsupport::PixelNear(colourAt(), kRed));
    Find<CButtonUI>(L"b")->SetUsable(false);
    EXPECT_TRUE(testsupport::PixelNear(colourAt(), kGrey));
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
    EXPECT_EQ(Count("setfocus:edit"), 3);
}
