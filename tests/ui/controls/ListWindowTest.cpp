// Lists in a real skinned window, driven through the display as a user would drive them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../window/WindowTestScope.h"
#include "support/StoredZip.h"
#include "ui/controls/ListUI.h"

using SkinUI::CControlUI;
using SkinUI::UINotifyMsg;
using SkinUI::WindowImplBase;

namespace {

const char kSkin[] = R"(<Window size="300,200">
  <VerticalLayout>
    <List name="list">
      <ListHeader><ListHeaderItem name="c0" width="100" text="A"/></ListHeader>
      <ListLabelElement name="r0" text="first" height="20"/>
      <ListLabelElement name="r1" text="second" height="20"/>
    </List>
  </VerticalLayout>
</Window>)";

class CListWindow : public WindowImplBase {
public:
    std::vector<std::string> log;

protected:
    LPCWSTR RegisteredClassName() const override { return L"ListTestWindow"; }
    std::wstring SkinFileName() const override { return L"ListWindow.xml"; }
    void OnNotify(UINotifyMsg& msg) override {
        const std::string type = platform::Utf8FromWide(msg.type.ToWString());
        if (type != "setfocus" && type != "killfocus" && msg.sender != nullptr)
            log.push_back(type + ":" + platform::Utf8FromWide(msg.sender->GetName().ToWString()));
        WindowImplBase::OnNotify(msg);
    }
};

}  // namespace

TEST(ListWindowTest, DoubleClicksAndKeysArriveThroughTheDisplay) {
    windowtest::HeadlessScope scope;
    const std::vector<uint8_t> zip = testsupport::StoredZip({{"ListWindow.xml", {kSkin, kSkin + sizeof(kSkin) - 1}}});
    SkinUI::HSKINZIP archive = SkinUI::OpenSkinZip(zip.data(), zip.size());
    WindowImplBase::SetSkinArchive(archive);
    SkinUI::CloseSkinZip(archive);  // the framework holds its own handle from here
    CListWindow window;
    const HWND hwnd = window.CreateHwnd(nullptr, L"list", WS_POPUP, 0);
    ASSERT_NE(hwnd, nullptr);
    SetWindowPos(hwnd, nullptr, 100, 80, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    window.ShowHwnd(true, true);
    windowtest::PumpPending();
    const auto doubleClick = [&](const wchar_t* name) {
        const RECT b = window.PaintManager().ControlByName(name)->GetBounds();
        POINT pt{(b.left + b.right) / 2, (b.top + b.bottom) / 2};
        ClientToScreen(hwnd, &pt);
        scope.display.Click(pt.x, pt.y);
        scope.display.Click(pt.x, pt.y);
    };

    doubleClick(L"c0");
    ASSERT_TRUE(windowtest::PumpUntil([&] { return window.log.size() >= 2; }));
    EXPECT_EQ(window.log, (std::vector<std::string>{"headerclick:c0", "headerclick:c0"}));
    window.log.clear();

    doubleClick(L"r1");
    ASSERT_TRUE(windowtest::PumpUntil([&] { return window.log.size() >= 3; }));
    EXPECT_EQ(window.log, (std::vector<std::string>{"itemclick:r1", "itemselect:list", "itemactivate:r1"}));
    EXPECT_EQ(window.PaintManager().GetFocusControl(), window.PaintManager().ControlByName(L"r1"));

    // The pressed row holds the focus, so the arrow keys reach the list.
    window.log.clear();
    scope.display.KeyDown(VK_UP);
    scope.display.KeyUp(VK_UP);
    ASSERT_TRUE(windowtest::PumpUntil([&] { return !window.log.empty(); }));
    EXPECT_EQ(window.log, std::vector<std::string>{"itemselect:list"});
    auto* list = static_cast<SkinUI::CListUI*>(window.PaintManager().ControlByName(L"list"));
    EXPECT_EQ(list->GetSelectedIndex(), 0);
    DestroyWindow(hwnd);
    WindowImplBase::ReleaseSkinArchive();
}
