#include "ui/basic/TextUI.h"

#include "BasicFixture.h"

using SkinUI::CTextUI;

namespace {

class TextUITest : public basictest::BasicControlTest {
protected:
    void Notify(SkinUI::UINotifyMsg& msg) override {
        if (msg.type == L"link") m_links.push_back(reinterpret_cast<const SkinUI::CUIString*>(msg.wParam)->ToWString());
    }
    std::vector<std::wstring> m_links;
};

}  // namespace

TEST_F(TextUITest, ClickingALinkReportsItsText) {
    Build(R"(<VerticalLayout>
        <Text name="t" height="30" text="read {a https://example.test/eula}the licence{/a} and {a}help{/a}"/>
        <Control/>
      </VerticalLayout>)");
    auto* text = Find<CTextUI>(L"t");
    Paint();
    ASSERT_EQ(text->LinkCount(), 2);
    const RECT first = text->LinkRect(0);
    const RECT second = text->LinkRect(1);
    Click((first.left + first.right) / 2, (first.top + first.bottom) / 2);
    Click((second.left + second.right) / 2, (second.top + second.bottom) / 2);
    // Pressed on one link and released on the other: nothing.
    Drag(POINT{first.left + 1, first.top + 1}, POINT{second.left + 1, second.top + 1});
    EXPECT_EQ(m_links, (std::vector<std::wstring>{L"https://example.test/eula", L"help"}));
}
