// Every extended control's tag reaches the skin builder through RegisterControlTags, and
// the builder makes the control of its class for it.
#include "ui/controls/ControlTags.h"

#include <gtest/gtest.h>

#include <string>
#include <typeinfo>

#include "platform/strings/StringConv.h"
#include "ui/controls/ActiveXUI.h"
#include "ui/controls/ComboBoxUI.h"
#include "ui/controls/DateTimeUI.h"
#include "ui/controls/ExpandListUI.h"
#include "ui/controls/FlashUI.h"
#include "ui/controls/ListContainerElementUI.h"
#include "ui/controls/ListHeaderItemUI.h"
#include "ui/controls/ListHeaderUI.h"
#include "ui/controls/ListTextElementUI.h"
#include "ui/controls/MenuUI.h"
#include "ui/controls/RichEditUI.h"
#include "ui/controls/TreeNodeUI.h"
#include "ui/controls/TreeViewUI.h"
#include "ui/controls/WebBrowserUI.h"
#include "ui/core/DialogBuilder.h"
#include "ui/core/PaintManager.h"

namespace {

// Exactly this class, not one derived from it or one it derives from.
template <class T>
bool Is(const SkinUI::CControlUI& control) {
    return typeid(control) == typeid(T);
}

}  // namespace

TEST(ControlTagsTest, TheBuilderMakesEveryExtendedControlByItsTag) {
    SkinUI::RegisterControlTags();
    const struct {
        const char* tag;
        bool (*is)(const SkinUI::CControlUI&);
    } tags[] = {
        {"List", Is<SkinUI::CListUI>},
        {"ListHeader", Is<SkinUI::CListHeaderUI>},
        {"ListHeaderItem", Is<SkinUI::CListHeaderItemUI>},
        {"ListLabelElement", Is<SkinUI::CListLabelElementUI>},
        {"ListTextElement", Is<SkinUI::CListTextElementUI>},
        {"ListContainerElement", Is<SkinUI::CListContainerElementUI>},
        {"Menu", Is<SkinUI::CMenuUI>},
        {"ExpandList", Is<SkinUI::CExpandListUI>},
        {"TreeView", Is<SkinUI::CTreeViewUI>},
        {"TreeNode", Is<SkinUI::CTreeNodeUI>},
        {"Combo", Is<SkinUI::CComboUI>},
        {"ComboBox", Is<SkinUI::CComboBoxUI>},
        {"DateTime", Is<SkinUI::CDateTimeUI>},
        {"ActiveX", Is<SkinUI::CActiveXUI>},
        {"Flash", Is<SkinUI::CFlashUI>},
        {"WebBrowser", Is<SkinUI::CWebBrowserUI>},
        {"RichEdit", Is<SkinUI::CRichEditUI>},
    };
    for (const auto& entry : tags) {
        SCOPED_TRACE(entry.tag);
        const std::string tag = entry.tag;
        // A node lives only in a tree.
        const std::string xml = tag == "TreeNode" ? R"(<TreeView><TreeNode name="it"/></TreeView>)"
                                                  : "<VerticalLayout><" + tag + R"( name="it"/></VerticalLayout>)";
        SkinUI::CUIPaintManager manager;
        SkinUI::CUIDialogBuilder builder;
        SkinUI::CControlUI* root = builder.BuildFromText(xml, &manager);
        ASSERT_NE(root, nullptr) << platform::Utf8FromWide(builder.LastError());
        manager.AttachRoot(root);
        EXPECT_EQ(builder.LastError(), L"");
        SkinUI::CControlUI* control = manager.ControlByName(L"it");
        ASSERT_NE(control, nullptr);
        EXPECT_TRUE(entry.is(*control)) << typeid(*control).name();
    }
}
