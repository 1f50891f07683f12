#include "ui/core/ContainerUI.h"

#include <gtest/gtest.h>

#include "ui/core/PaintManager.h"

using SkinUI::CContainerUI;
using SkinUI::CControlUI;

namespace {

// Counts its deaths and its initialisations.
class CountedControl : public CControlUI {
public:
    explicit CountedControl(int* deaths, int* inits = nullptr) : m_deaths(deaths), m_inits(inits) {}
    ~CountedControl() override { ++*m_deaths; }

protected:
    void OnInitialize() override {
        if (m_inits != nullptr) ++*m_inits;
    }

private:
    int* m_deaths;
    int* m_inits;
};

}  // namespace

TEST(ContainerUITest, ChildListKeepsOwnershipAndRefusesCycles) {
    int deaths = 0;
    {
        CContainerUI owner;
        auto* a = new CountedControl(&deaths);
        auto* b = new CountedControl(&deaths);
        EXPECT_TRUE(owner.AppendChild(a));
        EXPECT_TRUE(owner.InsertChildAt(b, 0));
        EXPECT_FALSE(owner.AppendChild(a)) << "a child is in the list once";
        EXPECT_TRUE(owner.MoveChildTo(b, 1));
        EXPECT_EQ(owner.GetChildAt(1), b);
        EXPECT_TRUE(owner.RemoveChild(a));
        EXPECT_EQ(deaths, 1);
    }
    EXPECT_EQ(deaths, 2) << "an owning container frees its children";

    // A container cannot hold itself or one of its ancestors.
    CContainerUI outer;
    auto* inner = new CContainerUI();
    outer.AppendChild(inner);
    EXPECT_FALSE(inner->AppendChild(&outer));
    EXPECT_FALSE(outer.AppendChild(&outer));
}

TEST(ContainerUITest, ChildrenNotOwnedOutliveTheirContainer) {
    int deaths = 0;
    CountedControl kept(&deaths);
    {
        CContainerUI list;
        list.SetOwnsChildren(false);
        ASSERT_TRUE(list.AppendChild(&kept));
    }
    EXPECT_EQ(deaths, 0);
    EXPECT_EQ(kept.GetParentControl(), nullptr);
    EXPECT_TRUE(kept.IsUsable()) << "walks the parent chain, which must end at the control now";

    // A child lent to a view and then given back to its home keeps its home when the view dies.
    CContainerUI home;
    home.SetOwnsChildren(false);
    {
        CContainerUI view;
        view.SetOwnsChildren(false);
        ASSERT_TRUE(view.AppendChild(&kept));
        ASSERT_TRUE(home.AppendChild(&kept));
    }
    EXPECT_EQ(kept.GetParentControl(), &home);
}

TEST(ContainerUITest, AControlMovedBetweenContainersIsInitialisedOnce) {
    int deaths = 0;
    int inits = 0;
    SkinUI::CUIPaintManager manager;
    auto* root = new CContainerUI();
    auto* from = new CContainerUI();
    auto* to = new CContainerUI();
    from->SetOwnsChildren(false);
    root->AppendChild(from);
    root->AppendChild(to);
    manager.AttachRoot(root);
    auto* moved = new CountedControl(&deaths, &inits);
    ASSERT_TRUE(from->AppendChild(moved));
    EXPECT_EQ(inits, 1);
    ASSERT_TRUE(from->RemoveChild(moved));
    ASSERT_TRUE(to->AppendChild(moved));
    manager.AttachRoot(root);
    EXPECT_EQ(inits, 1);
    EXPECT_EQ(deaths, 0);
}
