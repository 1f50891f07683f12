#include "ui/core/DialogBuilder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SkinFixture.h"
#include "support/PngBytes.h"
#include "support/StoredZip.h"
#include "ui/controls/ControlTags.h"
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

// Refuses children named "no".
class PickyContainer : public CContainerUI {
public:
    bool InsertChildAt(CControlUI* control, int index) override {
        if (control->GetName() == L"no") return false;
        return CContainerUI::InsertChildAt(control, index);
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

}  // namespace

// What is refused or left over is freed (the leak checker would tell).
TEST(DialogBuilderTest, UnknownTagsRefusedChildrenStrayTreeNodesAndExtraRoots) {
    SkinUI::RegisterControlTags();  // the tree's tags
    CUIControlFactory::Instance().Register(L"Picky", []() -> CControlUI* { return new PickyContainer(); });
    CUIPaintManager manager;
    TagCallback callback;
    CUIDialogBuilder builder;
    CControlUI* root = builder.BuildFromText(R"(<Window>
        <VerticalLayout>
          <Picky name="box">
            <Fancy name="fancy"/>
            <Nope name="nope"><Control name="under-nope"/></Nope>
            <Control name="no"/>
            <Control name="yes"/>
          </Picky>
          <HorizontalLayout><Control name="before"/><TreeNode name="stray"/><Control name="after"/></HorizontalLayout>
          <Control name="sibling"/>
        </VerticalLayout>
        <Control name="second-root"/>
      </Window>)",
                                             &manager, &callback);
    ASSERT_NE(root, nullptr);
    manager.AttachRoot(root);
    EXPECT_EQ(callback.asked, (std::vector<std::wstring>{L"Fancy", L"Nope"}));
    EXPECT_NE(dynamic_cast<CTestButtonUI*>(manager.ControlByName(L"fancy")), nullptr);
    for (const wchar_t* gone : {L"nope", L"under-nope", L"no", L"second-root"})
        EXPECT_EQ(manager.ControlByName(gone), nullptr) << Narrow(gone);
    EXPECT_NE(manager.ControlByName(L"yes"), nullptr);
    EXPECT_NE(builder.LastError().find(L"Nope"), std::wstring::npos);
    // A tree node outside a tree stops its parent's children, and only those.
    EXPECT_NE(manager.ControlByName(L"before"), nullptr);
    EXPECT_EQ(manager.ControlByName(L"stray"), nullptr);
    EXPECT_EQ(manager.ControlByName(L"after"), nullptr);
    EXPECT_NE(manager.ControlByName(L"sibling"), nullptr);
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
    EXPECT_EQ(skin.Find(L"cell")->GetParentControl(), skin.Find(L"row"));

    // "Default" attributes come first; the element's own ones win.
    EXPECT_EQ(skin.Find(L"plain")->GetCaption(), L"from default");
    EXPECT_EQ(skin.Find(L"plain")->GetBackColor(), 0xFF112233u);
    EXPECT_EQ(skin.Find(L"own")->GetCaption(), L"下载");
    EXPECT_EQ(skin.Find(L"own")->GetBackColor(), 0xFF000001u);
    EXPECT_EQ(static_cast<CContainerUI*>(skin.Find(L"row"))->GetChildGap(), 5);
    EXPECT_EQ(static_cast<CContainerUI*>(skin.Find(L"row2"))->GetChildGap(), 3);

    EXPECT_EQ(skin.manager.DefaultTextColor(), 0xFF445566u);

    // Fonts by index; anything outside the table is the default one.
    ASSERT_EQ(skin.manager.FontCount(), 2);
    const SkinUI::UIFontRecord* bold = skin.manager.FontRecordAt(0);
    EXPECT_TRUE(bold->bold);
    const SkinUI::UIFontRecord* fallback = skin.manager.DefaultFontRecord();
    EXPECT_EQ(fallback->size, 20);
    EXPECT_GT(fallback->tm.tmHeight, bold->tm.tmHeight);
    EXPECT_EQ(skin.manager.FontRecordAt(2), fallback);
}

TEST(DialogBuilderTest, BadInputBuildsNothingAndSaysWhy) {
    for (const char* xml :
         {"", "<Window><VerticalLayout></Window>", "<Window><Font name=\"x\" size=\"12\"/></Window>"}) {
        SCOPED_TRACE(xml);
        CUIPaintManager manager;
        EXPECT_EQ(CUIDialogBuilder().BuildFromText(xml, &manager), nullptr);
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
