#include "ui/core/ContainerUI.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SkinFixture.h"
#include "ui/core/VerticalLayoutUI.h"

using skintest::Skin;
using SkinUI::CContainerUI;
using SkinUI::CControlUI;

namespace {

class CountedControl : public CControlUI {
public:
    explicit CountedControl(int* deaths) : m_deaths(deaths) {}
    ~CountedControl() override { ++*m_deaths; }

private:
    int* m_deaths;
};

class ListItem : public CControlUI {
public:
    void* QueryFacet(std::wstring_view name) override {
        if (name == L"ListItem") return this;
        return CControlUI::QueryFacet(name);
    }
};

}  // namespace

TEST(ContainerUITest, NextSelectableIndexSkipsWhatCannotBeSelected) {
    // Rows: 0 item, 1 plain control, 2 hidden item, 3 disabled item, 4 item.
    CContainerUI list;
    for (int i = 0; i < 5; ++i)
        list.AppendChild(i == 1 ? new CControlUI() : new ListItem());
    list.GetChildAt(2)->Show(false);
    list.GetChildAt(3)->SetUsable(false);

    const struct {
        int index;
        bool forward;
        int expected;
    } cases[] = {
        {0, true, 0},  {1, true, 4},  {2, true, 4},  {4, true, 4},   {99, true, 4},
        {-5, true, 0}, {3, false, 0}, {4, false, 4}, {99, false, 4}, {-5, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("from " + std::to_string(c.index) + (c.forward ? " forward" : " backward"));
        EXPECT_EQ(list.NextSelectableIndex(c.index, c.forward), c.expected);
    }

    // Nothing selectable before: a backward search goes on forward from 0; a forward one gives up.
    list.GetChildAt(0)->SetUsable(false);
    EXPECT_EQ(list.NextSelectableIndex(3, false), 4);
    list.GetChildAt(4)->Show(false);
    EXPECT_EQ(list.NextSelectableIndex(3, false), -1);
    EXPECT_EQ(list.NextSelectableIndex(0, true), -1);
    EXPECT_EQ(CContainerUI().NextSelectableIndex(0, false), -1);
}

TEST(ContainerUITest, ChildListKeepsOwnershipAndRefusesCycles) {
    int deaths = 0;
    {
        CContainerUI owner;
        auto* a = new CountedControl(&deaths);
        auto* b = new CountedControl(&deaths);
        auto* c = new CountedControl(&deaths);
        EXPECT_TRUE(owner.AppendChild(a));
        EXPECT_TRUE(owner.AppendChild(b));
        EXPECT_TRUE(owner.InsertChildAt(c, 0));
        EXPECT_FALSE(owner.AppendChild(a)) << "a child is in the list once";
        CControlUI stray;
        EXPECT_FALSE(owner.InsertChildAt(&stray, 7)) << "a refused child stays with the caller";
        EXPECT_EQ(stray.GetParentControl(), nullptr);
        EXPECT_EQ(owner.IndexOfChild(a), 1);
        EXPECT_EQ(a->GetParentControl(), &owner);

        EXPECT_TRUE(owner.MoveChildTo(c, 2));
        EXPECT_EQ(owner.GetChildAt(2), c);
        EXPECT_FALSE(owner.MoveChildTo(c, 3));

        EXPECT_TRUE(owner.RemoveChild(a));
        EXPECT_EQ(deaths, 1);
        EXPECT_FALSE(owner.RemoveChildAt(5));
        EXPECT_EQ(owner.ChildCount(), 2);
    }
    EXPECT_EQ(deaths, 3) << "an owning container frees its children";

    // A container that does not own its children only unlinks them.
    deaths = 0;
    CountedControl kept(&deaths);
    {
        CContainerUI borrower;
        borrower.SetOwnsChildren(false);
        EXPECT_TRUE(borrower.AppendChild(&kept));
        EXPECT_TRUE(borrower.RemoveChild(&kept));
        EXPECT_EQ(kept.GetParentControl(), nullptr);
        EXPECT_TRUE(borrower.AppendChild(&kept));
        borrower.RemoveAllChildren();
    }
    EXPECT_EQ(deaths, 0);

    // A container cannot hold itself or one of its ancestors.
    CContainerUI outer;
    auto* inner = new CContainerUI();
    outer.AppendChild(inner);
    EXPECT_FALSE(inner->AppendChild(&outer));
    EXPECT_FALSE(outer.AppendChild(&outer));
}

TEST(ContainerUITest, AttributesAndHitTesting) {
    Skin skin(R"(<VerticalLayout name="root">
        <HorizontalLayout name="shell" mousechild="false" height="100"><Control name="hidden-by-shell"/></HorizontalLayout>
        <HorizontalLayout name="open" inset="20,20,20,20" childpadding="7"><Control name="inner" width="50"/><Control name="second"/></HorizontalLayout>
      </VerticalLayout>)");
    auto* open = static_cast<CContainerUI*>(skin.Find(L"open"));
    EXPECT_EQ(open->GetChildGap(), 7);
    EXPECT_RECT(open->GetContentInset(), 20, 20, 20, 20);
    EXPECT_RECT(skin.Bounds(L"second"), 77, 120, 380, 280);

    EXPECT_EQ(skin.manager.ControlAtPoint(10, 10), skin.Find(L"shell")) << "mousechild=false keeps the children out";
    EXPECT_EQ(skin.manager.ControlAtPoint(30, 130), skin.Find(L"inner"));
    // The inset belongs to the container itself.
    EXPECT_EQ(skin.manager.ControlAtPoint(5, 105), open);
    skin.Find(L"inner")->SetAcceptsMouse(false);
    EXPECT_EQ(skin.manager.ControlAtPoint(30, 130), open);
    EXPECT_EQ(skin.manager.ControlAtPoint(500, 10), nullptr);

    // Scroll bar wishes keep the other axis as it is.
    open->ApplyAttribute(L"vscrollbar", L"true");
    open->ApplyAttribute(L"hscrollbar", L"true");
    open->ApplyAttribute(L"vscrollbar", L"false");
    EXPECT_FALSE(open->ScrollsVertically());
    EXPECT_TRUE(open->ScrollsHorizontally());
    open->ApplyAttribute(L"childpadding", L"-3");
    EXPECT_EQ(open->GetChildGap(), 7) << "a negative gap is refused";
}
