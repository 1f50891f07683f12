#include "ui/core/PaintManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "SkinFixture.h"
#include "platform/display/HeadlessDisplay.h"
#include "platform/window/Focus.h"
#include "platform/window/MessageApi.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowClass.h"
#include "support/Canvas.h"
#include "support/MessagePump.h"
#include "ui/basic/OptionUI.h"
#include "ui/core/ContainerUI.h"

using skintest::CTestButtonUI;
using skintest::Narrow;
using skintest::NotifyLog;
using SkinUI::CControlUI;
using SkinUI::CUIPaintManager;
using SkinUI::UIEventType;

namespace {

constexpr wchar_t kClassName[] = L"PaintManagerTestWindow";

LRESULT CALLBACK_Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* manager = reinterpret_cast<CUIPaintManager*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    if (manager != nullptr && manager->HandleWindowMessage(message, wParam, lParam, result)) return result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// A control whose class tag marks it as a rich edit that takes Tab itself.
class TabTaker : public CTestButtonUI {
public:
    const wchar_t* GetClassTag() const override { return L"RichEditUI"; }
    bool WantsTabKey() const override { return true; }
};

// A control that the manager focuses when it is pressed.
class PressFocused : public CTestButtonUI {
public:
    UINT GetBehaviourFlags() const override { return SkinUI::kBehaviourFocusOnPress; }
};

// Input goes in through a headless display, so it arrives as a real session's would: with
// set-cursor messages, mouse tracking and capture. The window sits at the screen's origin,
// so screen and client co-ordinates agree.
class PaintManagerTest : public ::testing::Test {
protected:
    PaintManagerTest() { platform::SetWindowBackend(&m_display); }
    ~PaintManagerTest() override { platform::SetWindowBackend(nullptr); }

    void SetUp() override {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = CALLBACK_Proc;
        wc.lpszClassName = kClassName;
        RegisterClassExW(&wc);
        m_hwnd = CreateWindowExW(0, kClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr, nullptr,
                                 nullptr);
        ASSERT_NE(m_hwnd, nullptr);
        m_manager->Bind(m_hwnd);
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(m_manager.get()));
        m_manager->AddNotifier(&m_receiver);
    }
    void TearDown() override {
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hwnd);
    }

    void Build(std::string_view xml) {
        skintest::RegisterTestControls();
        SkinUI::CUIControlFactory::Instance().Register(L"TabTaker", []() -> CControlUI* { return new TabTaker(); });
        SkinUI::CUIControlFactory::Instance().Register(L"PressFocused",
                                                       []() -> CControlUI* { return new PressFocused(); });
        SkinUI::CUIDialogBuilder builder;
        CControlUI* root = builder.BuildFromText(xml, m_manager.get());
        ASSERT_NE(root, nullptr) << Narrow(builder.LastError());
        m_manager->AttachRoot(root);
        SendMessageW(m_hwnd, WM_SIZE, 0, MAKELPARAM(400, 300));
        m_manager->UpdateLayout();
    }
    CTestButtonUI* Button(std::wstring_view name) {
        auto* button = dynamic_cast<CTestButtonUI*>(m_manager->ControlByName(name));
        EXPECT_NE(button, nullptr);
        return button;
    }
    void Post(UINT message, int x, int y, WPARAM wParam = 0) {
        PostMessageW(m_hwnd, message, wParam, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
        testsupport::PumpMessagesFor(std::chrono::milliseconds(5));
    }
    void MoveMouse(int x, int y) {
        m_display.MoveMouse(x, y);
        testsupport::PumpMessagesFor(std::chrono::milliseconds(5));
    }
    void Press(bool down) {
        down ? m_display.PressButton(platform::RawInput::Button::Left)
             : m_display.ReleaseButton(platform::RawInput::Button::Left);
        testsupport::PumpMessagesFor(std::chrono::milliseconds(5));
    }
    bool Send(UINT message, WPARAM wParam, LPARAM lParam = 0) {
        LRESULT result = 0;
        return m_manager->HandleWindowMessage(message, wParam, lParam, result);
    }
    bool PressTab() {
        MSG msg{};
        msg.hwnd = m_hwnd;
        msg.message = WM_KEYDOWN;
        msg.wParam = VK_TAB;
        return CUIPaintManager::PreTranslate(&msg);
    }
    std::string FocusName() const {
        return m_manager->GetFocusControl() != nullptr ? Narrow(m_manager->GetFocusControl()->GetName().View()) : "-";
    }

    platform::HeadlessDisplay m_display;
    HWND m_hwnd = nullptr;
    std::unique_ptr<CUIPaintManager> m_manager = std::make_unique<CUIPaintManager>();
    std::vector<std::string> m_log;
    NotifyLog m_receiver{&m_log};
};

const char kTwoButtons[] = R"(<HorizontalLayout>
    <TestButton name="b1" width="100"/><TestButton name="b2" width="100"/><Control name="rest"/>
  </HorizontalLayout>)";

}  // namespace

TEST_F(PaintManagerTest, PostedClicksReachTheControlUnderThePoint) {
    Build(kTwoButtons);
    NotifyLog secondReceiver(&m_log, "second:");
    m_manager->AddNotifier(&secondReceiver);
    // The sender's own event source hears it before the receivers, which hear it in turn.
    struct SourceHandler {
        std::vector<std::string>* log;
        bool OnNotify(void*) {
            log->push_back("source");
            return true;
        }
    } handler{&m_log};
    Button(L"b2")->GetNotifySource() += SkinUI::MakeDelegate(&handler, &SourceHandler::OnNotify);

    Post(WM_LBUTTONDOWN, 150, 20);
    EXPECT_TRUE(m_manager->IsCaptured());
    Post(WM_LBUTTONUP, 150, 20);
    EXPECT_FALSE(m_manager->IsCaptured());
    EXPECT_EQ(m_log, (std::vector<std::string>{"source", "click:b2:0", "second:click:b2:0"}));
    EXPECT_EQ(Button(L"b1")->Count(UIEventType::ButtonDown), 0);

    // A press outside any button reaches nobody; a click on the plain control raises nothing.
    Post(WM_LBUTTONDOWN, 300, 20);
    Post(WM_LBUTTONUP, 300, 20);
    EXPECT_EQ(m_log.size(), 3u);
    m_manager->RemoveNotifier(&secondReceiver);
}

TEST_F(PaintManagerTest, CaptureKeepsTheMouseWithThePressedControl) {
    Build(kTwoButtons);
    CTestButtonUI* b1 = Button(L"b1");
    CTestButtonUI* b2 = Button(L"b2");
    MoveMouse(50, 20);
    EXPECT_EQ(b1->Count(UIEventType::MouseEnter), 1);
    Press(true);
    EXPECT_EQ(GetCapture(), m_hwnd);
    MoveMouse(150, 20);
    EXPECT_EQ(b2->Count(UIEventType::MouseEnter), 0) << "no hover changes while captured";
    EXPECT_EQ(b1->Count(UIEventType::MouseMove), 2);
    // Released over b2: b1 gets the release, and as it is outside b1 there is no click; the
    // hover then moves on to b2.
    Press(false);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(b1->Count(UIEventType::ButtonUp), 1);
    EXPECT_EQ(b2->Count(UIEventType::ButtonUp), 0);
    EXPECT_TRUE(m_log.empty());
    EXPECT_EQ(b1->Count(UIEventType::MouseLeave), 1);
    EXPECT_EQ(b2->Count(UIEventType::MouseEnter), 1);

    // A capture taken by another window ends ours.
    Press(true);
    EXPECT_TRUE(m_manager->IsCaptured());
    Send(WM_CAPTURECHANGED, 0, 0);
    EXPECT_FALSE(m_manager->IsCaptured());
    Press(false);
    EXPECT_EQ(b2->Count(UIEventType::ButtonUp), 0) << "the press was forgotten with the capture";
}

TEST_F(PaintManagerTest, RestingMouseHoversOnceAndLeavingTheWindowLeaves) {
    Build(kTwoButtons);
    CTestButtonUI* b1 = Button(L"b1");
    MoveMouse(10, 10);
    EXPECT_TRUE(testsupport::PumpMessagesUntil([&] { return b1->Count(UIEventType::MouseHover) > 0; },
                                               std::chrono::seconds(3)));
    EXPECT_EQ(m_manager->GetHoverControl(), b1);
    testsupport::PumpMessagesFor(std::chrono::milliseconds(CUIPaintManager::kHoverDelayMs + 100));
    EXPECT_EQ(b1->Count(UIEventType::MouseHover), 1);
    m_display.LeaveScreen();
    EXPECT_TRUE(testsupport::PumpMessagesUntil([&] { return b1->Count(UIEventType::MouseLeave) > 0; },
                                               std::chrono::seconds(3)));
    EXPECT_EQ(m_manager->GetHoverControl(), nullptr);
}

TEST_F(PaintManagerTest, FocusMovesThroughTheTabStopsInTreeOrder) {
    Build(R"(<VerticalLayout>
        <TestButton name="t1" height="20"/>
        <HorizontalLayout height="20">
          <TestButton name="t2"/><TestButton name="off" enabled="false"/><TestButton name="gone" visible="false"/>
        </HorizontalLayout>
        <HorizontalLayout height="20" enabled="false"><TestButton name="in-disabled"/></HorizontalLayout>
        <TestButton name="t3" height="20"/>
        <TabTaker name="editor" height="20"/>
      </VerticalLayout>)");
    CTestButtonUI* t1 = Button(L"t1");
    t1->TakeFocus();
    EXPECT_EQ(m_log, std::vector<std::string>{"setfocus:t1:0"});

    for (const char* next : {"t2", "t3", "editor"}) {
        EXPECT_TRUE(PressTab());
        EXPECT_EQ(FocusName(), next);
    }
    EXPECT_EQ(t1->Count(UIEventType::KillFocus), 1);
    // The editor wants Tab for itself: the key is not consumed and the focus stays.
    EXPECT_FALSE(PressTab());
    EXPECT_EQ(FocusName(), "editor");

    // Shift+Tab goes back, wrapping at the start.
    m_manager->SetFocusControl(t1);
    Send(WM_KEYDOWN, VK_SHIFT);
    EXPECT_TRUE(PressTab());
    EXPECT_EQ(FocusName(), "editor");
    Send(WM_KEYUP, VK_SHIFT);
    EXPECT_TRUE(m_manager->FocusNextTabStop(Button(L"editor")));
    EXPECT_EQ(FocusName(), "t1") << "forward wraps to the first stop";

    // Keys go to the focused control; hiding it drops the focus; a disabled one cannot take it.
    const int keysBefore = t1->Count(UIEventType::KeyDown);
    Send(WM_KEYDOWN, 'A');
    EXPECT_EQ(t1->Count(UIEventType::KeyDown), keysBefore + 1);
    t1->Show(false);
    EXPECT_EQ(m_manager->GetFocusControl(), nullptr);
    Button(L"off")->TakeFocus();
    EXPECT_EQ(m_manager->GetFocusControl(), nullptr);
}

TEST_F(PaintManagerTest, APressFocusesOnlyControlsThatAskForIt) {
    Build(R"(<HorizontalLayout>
        <TestButton name="plain" width="100"/><PressFocused name="row" width="100"/><Control/>
      </HorizontalLayout>)");
    Post(WM_LBUTTONDOWN, 50, 20);
    Post(WM_LBUTTONUP, 50, 20);
    EXPECT_EQ(FocusName(), "-") << "a plain control takes the focus itself, if at all";

    CTestButtonUI* row = Button(L"row");
    for (UINT press : {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_LBUTTONDBLCLK}) {
        SCOPED_TRACE(press);
        m_manager->SetFocusControl(nullptr);
        row->events.clear();
        Post(press, 150, 20);
        Post(WM_LBUTTONUP, 150, 20);
        EXPECT_EQ(FocusName(), "row");
        ASSERT_GE(row->events.size(), 2u);
        EXPECT_EQ(row->events[0], static_cast<int>(UIEventType::SetFocus)) << "the focus comes before the press";
    }
}

TEST_F(PaintManagerTest, ControlTimersArriveAsEvent24UntilStopped) {
    Build(kTwoButtons);
    CTestButtonUI* b1 = Button(L"b1");
    EXPECT_TRUE(m_manager->StartControlTimer(b1, 7, 10));
    EXPECT_FALSE(m_manager->StartControlTimer(b1, 7, 10)) << "already running";
    EXPECT_TRUE(m_manager->StartControlTimer(Button(L"b2"), 7, 10)) << "ids are per control";
    ASSERT_TRUE(testsupport::PumpMessagesUntil([&] { return b1->Count(UIEventType::Timer) >= 2; }));
    EXPECT_NE(std::find(m_log.begin(), m_log.end(), "timer:b1:7"), m_log.end());

    EXPECT_TRUE(m_manager->StopControlTimer(b1, 7));
    const int before = b1->Count(UIEventType::Timer);
    testsupport::PumpMessagesFor(std::chrono::milliseconds(60));
    EXPECT_EQ(b1->Count(UIEventType::Timer), before);

    // A control that dies with a running timer gets nothing more.
    auto* row = static_cast<SkinUI::IContainerUI*>(m_manager->GetRoot()->QueryFacet(L"IContainer"));
    ASSERT_TRUE(row->RemoveChild(Button(L"b2")));
    testsupport::PumpMessagesFor(std::chrono::milliseconds(40));
}

TEST_F(PaintManagerTest, MessageFiltersRunInOrderAndStopAtTheFirstThatHandles) {
    Build(kTwoButtons);
    // A message filter that logs its calls; `takes` handles them.
    struct Hook : SkinUI::IMessageFilterUI {
        Hook(std::vector<std::string>* log, std::string name, bool takes) : log(log), name(name), takes(takes) {}
        LRESULT FilterMessage(UINT, WPARAM, LPARAM, bool& handled) override {
            log->push_back(name);
            handled = takes;
            return takes ? 42 : 0;
        }
        std::vector<std::string>* log;
        std::string name;
        bool takes;
    };
    std::vector<std::string> calls;
    Hook passer(&calls, "passer", false), taker(&calls, "taker", true), last(&calls, "last", true);
    for (Hook* hook : {&passer, &taker, &last})
        EXPECT_TRUE(m_manager->AddMessageFilter(hook));
    LRESULT result = 0;
    EXPECT_TRUE(m_manager->HandleWindowMessage(WM_LBUTTONDOWN, 0, MAKELPARAM(50, 5), result));
    EXPECT_EQ(result, 42);
    EXPECT_EQ(calls, (std::vector<std::string>{"passer", "taker"}));
    EXPECT_EQ(Button(L"b1")->Count(UIEventType::ButtonDown), 0) << "a handled message goes no further";
    EXPECT_TRUE(m_manager->RemoveMessageFilter(&taker));
    calls.clear();
    m_manager->HandleWindowMessage(WM_KEYDOWN, 'X', 0, result);
    EXPECT_EQ(calls, (std::vector<std::string>{"passer", "last"}));
    m_manager->RemoveMessageFilter(&passer);
    m_manager->RemoveMessageFilter(&last);
}

TEST_F(PaintManagerTest, ControlsRemovedDuringDispatchDieAfterIt) {
    Build(kTwoButtons);
    bool removed = false;
    m_receiver.onNotify = [&](SkinUI::UINotifyMsg& msg) {
        if (msg.type == L"click" && !removed) {
            auto* parent =
                static_cast<SkinUI::IContainerUI*>(msg.sender->GetParentControl()->QueryFacet(L"IContainer"));
            removed = parent->RemoveChild(msg.sender);
            // Still alive: the button's handler is on the stack.
            EXPECT_EQ(msg.sender->GetName(), L"b1");
        }
    };
    Post(WM_LBUTTONDOWN, 10, 10);
    Post(WM_LBUTTONUP, 10, 10);
    EXPECT_TRUE(removed);
    EXPECT_EQ(m_manager->ControlByName(L"b1"), nullptr);

    // A receiver that removes another during a notification: the removed one hears nothing.
    std::vector<std::string> other;
    NotifyLog late(&other);
    m_manager->AddNotifier(&late);
    m_receiver.onNotify = [&](SkinUI::UINotifyMsg&) { m_manager->RemoveNotifier(&late); };
    m_manager->RaiseNotify(nullptr, L"custom", 3, 4);
    EXPECT_TRUE(other.empty());
    EXPECT_EQ(m_log.back(), "custom:-:3");
}

TEST_F(PaintManagerTest, ATreeSwappedDuringDispatchDiesAfterIt) {
    Build(kTwoButtons);
    m_receiver.onNotify = [&](SkinUI::UINotifyMsg& msg) {
        if (msg.type == L"click") m_manager->AttachRoot(new CControlUI());
    };
    // Heard after the swap: the sender must still be alive.
    NotifyLog later(&m_log, "later:");
    m_manager->AddNotifier(&later);
    Post(WM_LBUTTONDOWN, 10, 10);
    Post(WM_LBUTTONUP, 10, 10);
    EXPECT_EQ(m_log.back(), "later:click:b1:0");
    EXPECT_EQ(m_manager->ControlByName(L"b1"), nullptr);
    m_manager->RemoveNotifier(&later);
}

TEST_F(PaintManagerTest, AControlRemovedWhenTabTakesItsFocusDiesAfterwards) {
    Build(kTwoButtons);
    m_receiver.onNotify = [&](SkinUI::UINotifyMsg& msg) {
        if (msg.type != L"killfocus") return;
        static_cast<SkinUI::IContainerUI*>(msg.sender->GetParentControl()->QueryFacet(L"IContainer"))
            ->RemoveChild(msg.sender);
    };
    NotifyLog later(&m_log, "later:");
    m_manager->AddNotifier(&later);
    Button(L"b1")->TakeFocus();
    EXPECT_TRUE(PressTab());
    EXPECT_EQ(FocusName(), "b2");
    EXPECT_NE(std::find(m_log.begin(), m_log.end(), "later:killfocus:b1:0"), m_log.end());
    EXPECT_EQ(m_manager->ControlByName(L"b1"), nullptr);
    m_manager->RemoveNotifier(&later);
}

TEST_F(PaintManagerTest, PaintsOffScreenThenCopiesTheArea) {
    Build(R"(<HorizontalLayout name="root">
        <TestButton name="red" width="100" bkcolor="#FFFF0000" bordersize="2" bordercolor="#FF000000"/>
        <HorizontalLayout inset="10,10,10,10"><TestButton name="blue" bkcolor="#FF0000FF" width="500"/></HorizontalLayout>
      </HorizontalLayout>)");
    testsupport::Canvas canvas(400, 300, 0xFFFFFFFF);
    ASSERT_TRUE(m_manager->PaintInto(canvas.Dc(), RECT{0, 0, 250, 300}));
    EXPECT_EQ(canvas.Pixel(50, 50), 0xFFFF0000u);
    EXPECT_EQ(canvas.Pixel(1, 50), 0xFF000000u) << "the frame";
    EXPECT_EQ(canvas.Pixel(150, 150), 0xFF0000FFu);
    // The child is held to its container's area inside the inset.
    EXPECT_EQ(canvas.Pixel(105, 5), 0u) << "the unpainted inset stays as the off-screen bitmap began: clear";
    EXPECT_EQ(canvas.Pixel(300, 150), 0xFFFFFFFFu) << "outside the painted area nothing changes";
    // WM_PAINT puts the whole client area in the window; the wide child is cut at the inset.
    InvalidateRect(m_hwnd, nullptr, FALSE);
    UpdateWindow(m_hwnd);
    EXPECT_EQ(m_display.Pixel(m_hwnd, 50, 50), 0xFFFF0000u);
    EXPECT_EQ(m_display.Pixel(m_hwnd, 389, 150), 0xFF0000FFu);
    EXPECT_NE(m_display.Pixel(m_hwnd, 391, 150), 0xFF0000FFu);
}

TEST_F(PaintManagerTest, SendersRemovedByHandlersOutsideADispatchLiveUntilTheNotificationIsOver) {
    Build(R"(<VerticalLayout name="root">
        <TestButton name="b" height="30"/><Option name="opt" height="30"/><Control/>
      </VerticalLayout>)");
    // The first receiver removes the sender; the second still reads it.
    m_receiver.onNotify = [&](SkinUI::UINotifyMsg& msg) {
        if (msg.type != L"click" && msg.type != L"selectchanged") return;
        auto* root = static_cast<SkinUI::IContainerUI*>(m_manager->GetRoot()->QueryFacet(L"IContainer"));
        EXPECT_TRUE(root->RemoveChild(msg.sender));
    };
    NotifyLog second(&m_log, "2:");
    m_manager->AddNotifier(&second);
    {
        // A click raised from code, as a start sequence does.
        m_manager->RaiseNotify(Button(L"b"), L"click");
        EXPECT_EQ(m_manager->ControlByName(L"b"), nullptr);
    }
    {
        // An option selected from code goes on after its notification.
        auto* option = dynamic_cast<SkinUI::COptionUI*>(m_manager->ControlByName(L"opt"));
        ASSERT_NE(option, nullptr);
        option->Select(true);
        EXPECT_EQ(m_manager->ControlByName(L"opt"), nullptr);
    }
    EXPECT_EQ(m_log,
              (std::vector<std::string>{"click:b:0", "2:click:b:0", "selectchanged:opt:0", "2:selectchanged:opt:0"}));
    testsupport::PumpMessagesFor(std::chrono::milliseconds(5));
    m_manager->RemoveNotifier(&second);
}

TEST_F(PaintManagerTest, APressTakesTheKeyboardFocusBackFromAChildWindow) {
    Build(kTwoButtons);
    const HWND child =
        CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE, 300, 200, 50, 20, m_hwnd, nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    SetFocus(child);
    ASSERT_EQ(GetFocus(), child);
    // Outside the child, even where no control takes the press.
    MoveMouse(300, 100);
    Press(true);
    Press(false);
    EXPECT_EQ(GetFocus(), m_hwnd);
    DestroyWindow(child);
}
