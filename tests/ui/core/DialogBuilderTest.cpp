#include "ui/core/DialogBuilder.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "SkinFixture.h"
#include "support/PngBytes.h"
#include "support/StoredZip.h"
#include "ui/core/ContainerUI.h"
#include "ui/core/PaintManager.h"

using skintest::CTestButtonUI;
using skintest::Narrow;
using skintest::Skin;
using SkinUI::CContainerUI;
using SkinUI::CControlUI;
using SkinUI::CUIControlFactory;
using SkinUI::CUIDialogBuilder;
using SkinUI::CUIPaintManager;

namespace {

int g_deaths = 0;

class CountedControl : public CControlUI {
public:
    ~CountedControl() override { ++g_deaths; }
};

// Refuses children named "no".
class PickyContainer : public CContainerUI {
public:
    bool InsertChildAt(CControlUI* control, int index) override {
        if (control->GetName() == L"no") return false;
        return CContainerUI::InsertChildAt(control, index);
    }
};

// Records, for each child as it arrives, whether its attributes were applied yet (a child
// without its name has none yet). A node takes at most as many children as its user data says.
std::vector<std::string>* g_treeLog = nullptr;

class FakeTreeNode : public CContainerUI {
public:
    void* QueryFacet(std::wstring_view name) override {
        if (name == L"TreeNode") return this;
        return CContainerUI::QueryFacet(name);
    }
    bool InsertChildAt(CControlUI* control, int index) override {
        g_treeLog->push_back("node<-" + Narrow(control->GetName().ToWString()));
        if (!GetUserData().IsEmpty() && ChildCount() >= std::stoi(GetUserData().ToWString())) return false;
        return CContainerUI::InsertChildAt(control, index);
    }
};

class FakeTreeView : public CContainerUI, public SkinUI::ITreeViewUI {
public:
    void* QueryFacet(std::wstring_view name) override {
        if (name == L"TreeView") return static_cast<SkinUI::ITreeViewUI*>(this);
        return CContainerUI::QueryFacet(name);
    }
    bool AddNode(CControlUI* node) override {
        auto* container = static_cast<SkinUI::IContainerUI*>(node->QueryFacet(L"IContainer"));
        g_treeLog->push_back("view<-" + Narrow(node->GetName().ToWString()) + "/" +
                             std::to_string(container != nullptr ? container->ChildCount() : -1));
        if (node->GetName() == L"bad") return false;
        return AppendChild(node);
    }
};

class TagCallback : public SkinUI::IDialogBuilderCallback {
public:
    CControlUI* CreateControl(std::wstring_view tag) override {
        asked.emplace_back(tag);
        return tag == L"Fancy" ? new CTestButtonUI() : nullptr;
    }
    std::vector<std::wstring> asked;
};

void RegisterFakes() {
    auto& factory = CUIControlFactory::Instance();
    factory.Register(L"Counted", []() -> CControlUI* { return new CountedControl(); });
    factory.Register(L"Picky", []() -> CControlUI* { return new PickyContainer(); });
    factory.Register(L"TreeNode", []() -> CControlUI* { return new FakeTreeNode(); });
    factory.Register(L"TreeView", []() -> CControlUI* { return new FakeTreeView(); });
}

}  // namespace

TEST(DialogBuilderTest, UnknownTagsRefusedChildrenAndExtraRoots) {
    RegisterFakes();
    CUIPaintManager manager;
    TagCallback callback;
    CUIDialogBuilder builder;
    g_deaths = 0;
    CControlUI* root = builder.BuildFromText(R"(<Window>
        <Picky name="box">
          <Fancy name="fancy"/>
          <Nope name="nope"><Control name="under-nope"/></Nope>
          <Counted name="no"/>
          <Counted name="yes"/>
        </Picky>
        <Counted name="second-root"/>
      </Window>)",
                                             &manager, &callback);
    ASSERT_NE(root, nullptr);
    manager.AttachRoot(root);
    EXPECT_EQ(callback.asked, (std::vector<std::wstring>{L"Fancy", L"Nope"}));
    EXPECT_NE(dynamic_cast<CTestButtonUI*>(manager.ControlByName(L"fancy")), nullptr);
    EXPECT_EQ(manager.ControlByName(L"nope"), nullptr);
    EXPECT_EQ(manager.ControlByName(L"under-nope"), nullptr);
    EXPECT_EQ(manager.ControlByName(L"no"), nullptr);
    EXPECT_NE(manager.ControlByName(L"yes"), nullptr);
    EXPECT_EQ(g_deaths, 2) << "the refused child and the extra root are freed";
    EXPECT_NE(builder.LastError().find(L"Nope"), std::wstring::npos);

    // Without a callback an unknown tag is only skipped.
    CUIDialogBuilder plain;
    CControlUI* alone = plain.BuildFromText(R"(<Mystery/>)", nullptr);
    EXPECT_EQ(alone, nullptr);
    EXPECT_NE(plain.LastError().find(L"Mystery"), std::wstring::npos);
}

TEST(DialogBuilderTest, TreeNodesJoinNodesFirstAndTreeViewsLast) {
    RegisterFakes();
    std::vector<std::string> log;
    g_treeLog = &log;
    g_deaths = 0;
    CUIPaintManager manager;
    CUIDialogBuilder builder;
    CControlUI* root = builder.BuildFromText(R"(<VerticalLayout>
        <TreeView name="tree">
          <TreeNode name="top" userdata="1">
            <TreeNode name="child"><TreeNode name="grandchild"/></TreeNode>
            <TreeNode name="refused"><Counted/></TreeNode>
          </TreeNode>
          <TreeNode name="bad"><Counted/></TreeNode>
        </TreeView>
        <HorizontalLayout name="plain">
          <Control name="before"/>
          <TreeNode name="stray"/>
          <Control name="after"/>
        </HorizontalLayout>
        <Control name="sibling-of-plain"/>
      </VerticalLayout>)",
                                             &manager);
    ASSERT_NE(root, nullptr);
    manager.AttachRoot(root);
    // Nested nodes arrive before their attributes (no name yet); a node of the view arrives
    // last, complete with its children.
    EXPECT_EQ(log, (std::vector<std::string>{"node<-", "node<-", "node<-", "view<-top/1", "node<-", "view<-bad/1"}));
    EXPECT_NE(manager.ControlByName(L"grandchild"), nullptr);
    EXPECT_EQ(manager.ControlByName(L"refused"), nullptr);
    EXPECT_EQ(manager.ControlByName(L"bad"), nullptr);
    EXPECT_EQ(g_deaths, 1) << "the refused view node with its child; the refused nested node had none yet";
    // A node outside any tree stops its parent's children.
    EXPECT_NE(manager.ControlByName(L"before"), nullptr);
    EXPECT_EQ(manager.ControlByName(L"stray"), nullptr);
    EXPECT_EQ(manager.ControlByName(L"after"), nullptr);
    EXPECT_NE(manager.ControlByName(L"sibling-of-plain"), nullptr);
    g_treeLog = nullptr;
}

TEST(DialogBuilderTest, BuildsTheTreeWithDefaultsFontsAndWindowAttributes) {
    Skin skin(R"(<?xml version="1.0" encoding="utf-8"?>
      <Window size="540,434" caption="0,0,0,30" defaultfontcolor="#FF445566" nonsense="1">
        <Font name="WenQuanYi Micro Hei" size="14" bold="true"/>
        <Font name="WenQuanYi Micro Hei" size="20" default="true"/>
        <Default name="Control" value="bkcolor=&quot;#FF112233&quot; text=&quot;from default&quot; height=&quot;10&quot;"/>
        <Default name="HorizontalLayout" value="childpadding=&quot;3&quot;"/>
        <VerticalLayout name="root">
          <Control name="plain"/>
          <Control name="own" text="下载" height="25" bkcolor="#FF000001"/>
          <HorizontalLayout name="row" height="40" childpadding="5">
            <Control name="cell" width="30"/>
          </HorizontalLayout>
          <HorizontalLayout name="row2"/>
        </VerticalLayout>
      </Window>)");
    ASSERT_EQ(skin.root, skin.Find(L"root")) << Narrow(skin.error);
    EXPECT_STREQ(skin.root->GetClassTag(), L"VerticalLayoutUI");
    auto* root = static_cast<CContainerUI*>(skin.root);
    ASSERT_EQ(root->ChildCount(), 4);
    EXPECT_EQ(root->GetChildAt(2), skin.Find(L"row"));
    EXPECT_EQ(skin.Find(L"cell")->GetParentControl(), skin.Find(L"row"));
    EXPECT_EQ(skin.Find(L"cell")->GetOwnerManager(), &skin.manager);

    // "Default" attributes come first; the element's own ones win.
    EXPECT_EQ(skin.Find(L"plain")->GetCaption(), L"from default");
    EXPECT_EQ(skin.Find(L"plain")->GetBackColor(), 0xFF112233u);
    EXPECT_EQ(skin.Find(L"own")->GetCaption(), L"下载");
    EXPECT_EQ(skin.Find(L"own")->GetBackColor(), 0xFF000001u);
    EXPECT_EQ(skin.Find(L"own")->GetPresetHeight(), 25);
    EXPECT_EQ(static_cast<CContainerUI*>(skin.Find(L"row"))->GetChildGap(), 5);
    EXPECT_EQ(static_cast<CContainerUI*>(skin.Find(L"row2"))->GetChildGap(), 3);

    EXPECT_EQ(skin.manager.DefaultTextColor(), 0xFF445566u);

    // Fonts by index; anything outside the table is the default one.
    ASSERT_EQ(skin.manager.FontCount(), 2);
    const SkinUI::UIFontRecord* bold = skin.manager.FontRecordAt(0);
    EXPECT_TRUE(bold->bold);
    EXPECT_EQ(bold->size, 14);
    const SkinUI::UIFontRecord* fallback = skin.manager.DefaultFontRecord();
    EXPECT_EQ(fallback->size, 20);
    EXPECT_GT(fallback->tm.tmHeight, bold->tm.tmHeight);
    EXPECT_EQ(skin.manager.FontRecordAt(2), fallback);
}

TEST(DialogBuilderTest, BadInputBuildsNothingAndSaysWhy) {
    const struct {
        const char* why;
        std::string xml;
    } cases[] = {
        {"empty", ""},
        {"not closed", "<Window><VerticalLayout></Window>"},
        {"window without controls", "<Window><Font name=\"x\" size=\"12\"/></Window>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        CUIPaintManager manager;
        CUIDialogBuilder builder;
        EXPECT_EQ(builder.BuildFromText(c.xml, &manager), nullptr);
    }

    // Deep nesting stops at the limit instead of exhausting the stack.
    std::string deep;
    for (int i = 0; i < 5000; ++i)
        deep += "<Container>";
    for (int i = 0; i < 5000; ++i)
        deep += "</Container>";
    CUIPaintManager manager;
    CUIDialogBuilder builder;
    CControlUI* root = builder.BuildFromText(deep, &manager);
    ASSERT_NE(root, nullptr);
    manager.AttachRoot(root);
    EXPECT_FALSE(builder.LastError().empty());
    int depth = 0;
    for (CControlUI* c = root; c != nullptr; ++depth) {
        auto* container = static_cast<SkinUI::IContainerUI*>(c->QueryFacet(L"IContainer"));
        c = container != nullptr ? container->GetChildAt(0) : nullptr;
    }
    EXPECT_EQ(depth, CUIDialogBuilder::kMaxDepth);
}

TEST(DialogBuilderTest, BuildsFromTheSkinArchiveWithImages) {
    const std::string xml = R"(<Window><Image name="red.png" mask="#FFFF0000"/><Image name="gone.png"/>
        <HorizontalLayout name="root" bkimage="red.png"/></Window>)";
    const std::vector<uint8_t> png = testsupport::PngBytes(2, 1, std::vector<uint32_t>{0xFFFF0000, 0xFF00FF00});
    const std::vector<uint8_t> zipBytes =
        testsupport::StoredZip({{"skin/main.xml", std::vector<uint8_t>(xml.begin(), xml.end())}, {"red.png", png}});
    SkinUI::HSKINZIP zip = SkinUI::OpenSkinZip(zipBytes.data(), zipBytes.size());
    ASSERT_NE(zip, nullptr);
    {
        CUIPaintManager manager;
        manager.SetSkinArchive(zip);
        CUIDialogBuilder builder;
        CControlUI* root = builder.BuildFromSkinFile(zip, L"skin\\main.xml", &manager);
        ASSERT_NE(root, nullptr);
        manager.AttachRoot(root);
        EXPECT_EQ(root->GetBackImage(), L"red.png");
        EXPECT_NE(builder.LastError().find(L"gone.png"), std::wstring::npos);
        SkinUI::UIImageRef ref;
        ref.name = L"red.png";
        const SkinUI::UIImageInfo* image = manager.FindImage(ref);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->width, 2);
        EXPECT_TRUE(image->hasAlpha) << "the declared mask applies to plain uses of the file";
    }
    SkinUI::CloseSkinZip(zip);
}
