#include "ui/controls/MenuUI.h"

#include <string>
#include <vector>

#include "ListFixture.h"
#include "ui/controls/ContextMenuObserver.h"
#include "ui/controls/ControlTags.h"
#include "ui/controls/ListContainerElementUI.h"

using SkinUI::CControlUI;
using SkinUI::CMenuUI;
using SkinUI::ContextMenuParam;

namespace {

// A menu row: a container row that answers "MenuElement" and measures its preset size.
class CTestMenuElementUI : public SkinUI::CListContainerElementUI {
public:
    void* QueryFacet(std::wstring_view name) override {
        if (name == L"MenuElement") return this;
        return CListContainerElementUI::QueryFacet(name);
    }
};

class MenuUITest : public listtest::ListTest {
protected:
    void SetUp() override {
        ListTest::SetUp();
        SkinUI::CUIControlFactory::Instance().Register(L"TestMenuElement",
                                                       []() -> CControlUI* { return new CTestMenuElementUI(); });
    }
};

// Logs its calls as "<name>:<call>:<payload>".
class CReceiver : public SkinUI::IContextMenuReceiver {
public:
    CReceiver(std::string name, std::vector<std::string>* log) : m_name(std::move(name)), m_log(log) {}
    void AttachObserver(SkinUI::ObserverImplBase<int, ContextMenuParam>* observer) override { attached = observer; }
    int Receive(ContextMenuParam param) override {
        m_log->push_back(m_name + ":receive:" + std::to_string(param.wParam));
        return 1;
    }
    int Respond(ContextMenuParam param, SkinUI::ObserverImplBase<int, ContextMenuParam>* observer) override {
        m_log->push_back(m_name + ":respond:" + std::to_string(param.wParam) + (observer == attached ? "" : "?"));
        return 1;
    }
    SkinUI::ObserverImplBase<int, ContextMenuParam>* attached = nullptr;

private:
    std::string m_name;
    std::vector<std::string>* m_log;
};

}  // namespace

TEST_F(MenuUITest, TakesOnlyMenuElementsAndFitsItsShownRows) {
    SkinUI::RegisterControlTags();
    SkinUI::CUIDialogBuilder builder;
    m_manager->AttachRoot(builder.BuildFromText(R"(<VerticalLayout><Menu name="menu">
        <TestMenuElement name="m0" width="100" height="20">
          <TestMenuElement name="nested" height="10"/><Control name="plain"/>
        </TestMenuElement>
        <ListLabelElement name="label" height="20"/>
        <TestMenuElement name="m1" width="80" height="24"/>
        <TestMenuElement name="m2" width="300" height="30" visible="false"/>
      </Menu></VerticalLayout>)",
                                                m_manager.get()));
    auto* menu = Find<CMenuUI>(L"menu");
    ASSERT_NE(menu, nullptr);
    EXPECT_FALSE(menu->GetHeaderControl()->IsShown());
    EXPECT_EQ(builder.LastError(), L"a ListLabelElement was refused by its parent");
    EXPECT_EQ(m_manager->ControlByName(L"label"), nullptr);
    ASSERT_EQ(menu->ChildCount(), 3);
    EXPECT_FALSE(Find<CControlUI>(L"nested")->IsShown()) << "kept, out of view";
    EXPECT_TRUE(Find<CControlUI>(L"plain")->IsShown());
    const SIZE size = menu->MeasureDesired(SIZE{400, 300});
    EXPECT_EQ(size.cx, 100);
    EXPECT_EQ(size.cy, 44) << "the hidden row counts for nothing";
    SkinUI::CListLabelElementUI label;
    EXPECT_FALSE(menu->AppendChild(&label));
}

TEST(ContextMenuObserverTest, ReceiversAreCalledInOrderAsOftenAsRegistered) {
    std::vector<std::string> log;
    CReceiver a("a", &log), b("b", &log), c("c", &log);
    SkinUI::ContextMenuObserverImpl observer;
    observer.AddReceiver(&a);
    observer.AddReceiver(&b);
    observer.AddReceiver(&c);
    observer.AddReceiver(&a);
    observer.AddReceiver(nullptr);
    EXPECT_EQ(a.attached, &observer);
    EXPECT_EQ(observer.Broadcast(ContextMenuParam{1, 0}), 0);
    EXPECT_EQ(log, (std::vector<std::string>{"a:receive:1", "b:receive:1", "c:receive:1", "a:receive:1"}));
    log.clear();
    observer.RemoveReceiver(&a);
    observer.BroadcastReverse(ContextMenuParam{2, 0});
    EXPECT_EQ(log, (std::vector<std::string>{"a:receive:2", "c:receive:2", "b:receive:2"}));
    log.clear();
    observer.NotifyReceivers(ContextMenuParam{3, 0});
    EXPECT_EQ(log, (std::vector<std::string>{"b:respond:3", "c:respond:3", "a:respond:3"}));
}
