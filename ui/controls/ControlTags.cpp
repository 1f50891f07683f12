#include "ui/controls/ControlTags.h"

#include "ui/controls/ActiveXUI.h"
#include "ui/controls/ComboBoxUI.h"
#include "ui/controls/ComboUI.h"
#include "ui/controls/DateTimeUI.h"
#include "ui/controls/ExpandListUI.h"
#include "ui/controls/FlashUI.h"
#include "ui/controls/ListContainerElementUI.h"
#include "ui/controls/ListHeaderItemUI.h"
#include "ui/controls/ListHeaderUI.h"
#include "ui/controls/ListTextElementUI.h"
#include "ui/controls/ListUI.h"
#include "ui/controls/MenuUI.h"
#include "ui/controls/RichEditUI.h"
#include "ui/controls/TreeNodeUI.h"
#include "ui/controls/TreeViewUI.h"
#include "ui/controls/WebBrowserUI.h"
#include "ui/core/DialogBuilder.h"

namespace SkinUI {

namespace {

template <class T>
CControlUI* Make() {
    return new T();
}

}  // namespace

void RegisterControlTags() {
    CUIControlFactory& factory = CUIControlFactory::Instance();
    factory.Register(L"List", Make<CListUI>);
    factory.Register(L"ListHeader", Make<CListHeaderUI>);
    factory.Register(L"ListHeaderItem", Make<CListHeaderItemUI>);
    factory.Register(L"ListLabelElement", Make<CListLabelElementUI>);
    factory.Register(L"ListTextElement", Make<CListTextElementUI>);
    factory.Register(L"ListContainerElement", Make<CListContainerElementUI>);
    factory.Register(L"Menu", Make<CMenuUI>);
    factory.Register(L"ExpandList", Make<CExpandListUI>);
    factory.Register(L"TreeNode", Make<CTreeNodeUI>);
    factory.Register(L"TreeView", Make<CTreeViewUI>);
    factory.Register(L"Combo", Make<CComboUI>);
    factory.Register(L"ComboBox", Make<CComboBoxUI>);
    factory.Register(L"DateTime", Make<CDateTimeUI>);
    factory.Register(L"ActiveX", Make<CActiveXUI>);
    factory.Register(L"Flash", Make<CFlashUI>);
    factory.Register(L"WebBrowser", Make<CWebBrowserUI>);
    factory.Register(L"RichEdit", Make<CRichEditUI>);
}

}  // namespace SkinUI
