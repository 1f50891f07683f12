#include "ui/core/PaintManager.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "../basic/BasicFixture.h"
#include "SkinFixture.h"
#include "platform/window/Focus.h"
#include "platform/window/Paint.h"
#include "platform/window/WindowPos.h"
#include "support/ReferenceImage.h"
#include "ui/basic/OptionUI.h"
#include "ui/core/ContainerUI.h"

using basictest::Narrow;
using skintest::CTestButtonUI;
using SkinUI::CControlUI;
using SkinUI::CUIPaintManager;
using SkinUI::UIEventType;

namespace {

// Logs each notification as "<tag><type>:<sender name, or - without one>:<wParam>".
class NotifyLog : public SkinUI::INotifyUI {
public:
    explicit NotifyLog(std::vector<std::string>* log, std::string tag = "") : m_log(log), m_tag(std::move(tag)) {}
    void Notify(SkinUI::UINotifyMsg& msg) override {
        m_log->push_back(m_tag + Narrow(msg.type.View()) + ":" +
                         (msg.sender != nullptr ? Narrow(msg.sender->GetName().View()) : "-") + ":" +
                         std::to_string(msg.wParam));
        if (onNotify) onNotify(msg);
    }
    std::function<void(SkinUI::UINotifyMsg&)> onNotify;

private:
    std::vector<std::string>* m_log;
    std::string m_tag;
};

// A control that the manager focuses when it is pressed.
class PressFocused : public CTestButtonUI {
public:
    UINT GetBehaviourFlags() const override { return SkinUI::kBehaviourFocusOnPress; }
};

// Every notification logged with its first parameter; input posted to the window or injected
// through the display, so it arrives as a real session's would, with capture.
class PaintManagerTest : public basictest::BasicControlTest {
protected:
    void SetUp() override {
        BasicControlTest::SetUp();
        m_manager->RemoveNotifier(this);
        m_manager->AddNotifier(&m_receiver);
        skintest::RegisterTestControls();
        SkinUI::CUIControlFactory::Instance().Register(L"PressFocused",
                                                       []() -> CControlUI* { return new PressFocused(); });
    }

    CTestButtonUI* Button(std::wstring_view name) { return Find<CTestButtonUI>(name); }
    void Post(UINT message, int x, int y, WPARAM wParam = 0) {
        PostMessageW(m_hwnd, message, wParam, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(y)));
        Pump();
    }
    void MoveMouse(int x, int y) {
        m_display.MoveMouse(x, y);
        Pump();
    }
    void PressLeft(bool down) {
        down ? m_display.PressButton(platform::RawInput::Button::Left)
             : m_display.ReleaseButton(platform::RawInput::Button::Left);
        Pump();
    }
    std::string FocusName() const {
        return m_manager->GetFocusControl() != nullptr ? Narrow(m_manager->GetFocusControl()->GetName().View()) : "-";
    }
    SkinUI::IContainerUI* ParentOf(CControlUI* control) {
        return static_cast<SkinUI::IContainerUI*>(control->GetParentControl()->QueryFacet(L"IContainer"));
    }

    NotifyLog m_receiver{&m_log};
};

const char kTwoButtons[] = R"(<HorizontalLayout>
    <TestButton name="b1" width="100"/><TestButton name="b2" width="100"/><Control name="rest"/>
  </HorizontalLayout>)";

}  // namespace

TEST_F(PaintManagerTest, APressCapturesTheMouseForItsControlAndItsClickReachesSourceThenReceivers) {
    Build(kTwoButtons);
    NotifyLog secondReceiver(&m_log, "second:");
    m_manager->AddNotifier(&secondReceiver);
    struct SourceHandler {
        std::vector<std::string>* log;
        bool OnNotify(void*) {
            log->push_back("source");
            return true;
        }
    } handler{&m_log};
    Button(L"b2")->GetNotifySource() += SkinUI::MakeDelegate(&handler, &SourceHandler::OnNotify);
    Post(WM_LBUTTONDOWN, 150, 20);
    Post(WM_LBUTTONUP, 150, 20);
    EXPECT_EQ(m_log, (std::vector<std::string>{"source", "click:b2:0", "second:click:b2:0"}));
    m_manager->RemoveNotifier(&secondReceiver);

    // Pressed on b1 and released over b2: b1 has the mouse meanwhile and gets the release,
    // which is outside it, so nobody clicks; the hover then moves on to b2.
    m_log.clear();
    CTestButtonUI* b1 = Button(L"b1");
    CTestButtonUI* b2 = Button(L"b2");
    MoveMouse(50, 20);
    PressLeft(true);
    EXPECT_EQ(GetCapture(), m_hwnd);
    const int entered = b2->Count(UIEventType::MouseEnter);
    MoveMouse(150, 20);
    EXPECT_EQ(b2->Count(UIEventType::MouseEnter), entered) << "no hover changes while captured";
    PressLeft(false);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(b1->Count(UIEventType::ButtonUp), 1);
    EXPECT_TRUE(m_log.empty());
    EXPECT_EQ(b2->Count(UIEventType::MouseEnter), entered + 1);
}

TEST_F(PaintManagerTest, APressFocusesOnlyControlsThatAskForItAndTakesTheFocusFromChildWindows) {
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

    // A press anywhere takes the keyboard focus back from a child window.
    const HWND child = CreateWindowExW(0, m_className, L"", WS_CHILD | WS_VISIBLE, 300, 200, 50, 20, m_hwnd, nullptr,
                                       nullptr, nullptr);
    SetFocus(child);
    ASSERT_EQ(GetFocus(), child);
    MoveMouse(300, 100);
    PressLeft(true);
    PressLeft(false);
    EXPECT_EQ(GetFocus(), m_hwnd);
    DestroyWindow(child);
}

TEST_F(PaintManagerTest, ControlTimersArriveAsEvent24UntilStopped) {
    UseManualClock();
    Build(kTwoButtons);
    CTestButtonUI* b1 = Button(L"b1");
    EXPECT_TRUE(m_manager->StartControlTimer(b1, 7, 10));
    EXPECT_FALSE(m_manager->StartControlTimer(b1, 7, 10)) << "already running";
    EXPECT_TRUE(m_manager->StartControlTimer(Button(L"b2"), 7, 10)) << "ids are per control";
    Advance(10);
    Advance(10);
    EXPECT_EQ(b1->Count(UIEventType::Timer), 2);
    EXPECT_NE(std::find(m_log.begin(), m_log.end(), "timer:b1:7"), m_log.end());

    EXPECT_TRUE(m_manager->StopControlTimer(b1, 7));
    Advance(50);
    EXPECT_EQ(b1->Count(UIEventType::Timer), 2);
    // A control that dies with a running timer gets nothing more.
    ASSERT_TRUE(ParentOf(Button(L"b2"))->RemoveChild(Button(L"b2")));
    Advance(50);
}

TEST_F(PaintManagerTest, MessageFiltersRunInOrderAndStopAtTheFirstThatHandles) {
    Build(kTwoButtons);
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
    EXPECT_EQ(Mouse(WM_LBUTTONDOWN, 50, 5), 42);
    EXPECT_EQ(calls, (std::vector<std::string>{"passer", "taker"}));
    EXPECT_EQ(Button(L"b1")->Count(UIEventType::ButtonDown), 0) << "a handled message goes no further";
    for (Hook* hook : {&passer, &taker, &last})
        m_manager->RemoveMessageFilter(hook);
}

TEST_F(PaintManagerTest, ControlsReceiversAndTreesRemovedDuringDispatchDieAfterIt) {
    Build(kTwoButtons);
    {
        SCOPED_TRACE("the clicked control removed by a receiver");
        bool removed = false;
        m_receiver.onNotify = [&](SkinUI::UINotifyMsg& msg) {
            if (msg.type == L"click" && !removed) {
                removed = ParentOf(msg.sender)->RemoveChild(msg.sender);
                EXPECT_EQ(msg.sender->GetName(), L"b1") << "still alive: its handler is on the stack";
            }
        };
        Post(WM_LBUTTONDOWN, 10, 10);
        Post(WM_LBUTTONUP, 10, 10);
        EXPECT_TRUE(removed);
        EXPECT_EQ(m_manager->ControlByName(L"b1"), nullptr);
    }
    NotifyLog later(&m_log, "later:");
    m_manager->AddNotifier(&later);
    {
        SCOPED_TRACE("the tree swapped by the first receiver: the next one still reads the sender");
        m_receiver.onNotify = nullptr;
        Build(kTwoButtons);
        m_receiver.onNotify = [&](SkinUI::UINotifyMsg& msg) {
            if (msg.type == L"click") m_manager->AttachRoot(new CControlUI());
        };
        Post(WM_LBUTTONDOWN, 10, 10);
        Post(WM_LBUTTONUP, 10, 10);
        EXPECT_EQ(m_log.back(), "later:click:b1:0");
        EXPECT_EQ(m_manager->ControlByName(L"b1"), nullptr);
    }
    {
        SCOPED_TRACE("a control removed by its own killfocus when Tab moves on");
        m_receiver.onNotify = nullptr;
        Build(kTwoButtons);
        m_receiver.onNotify = [&](SkinUI::UINotifyMsg& msg) {
            if (msg.type == L"killfocus") ParentOf(msg.sender)->RemoveChild(msg.sender);
        };
        Button(L"b1")->TakeFocus();
        EXPECT_TRUE(PressTab());
        EXPECT_EQ(FocusName(), "b2");
        EXPECT_NE(std::find(m_log.begin(), m_log.end(), "later:killfocus:b1:0"), m_log.end());
        EXPECT_EQ(m_manager->ControlByName(L"b1"), nullptr);
    }
    {
        SCOPED_TRACE("senders removed outside a dispatch, by a click or a selection raised from code");
        m_receiver.onNotify = nullptr;
        Build(R"(<VerticalLayout><TestButton name="b" height="30"/><Option name="opt" height="30"/></VerticalLayout>)");
        m_receiver.onNotify = [&](SkinUI::UINotifyMsg& msg) {
            if (msg.type == L"click" || msg.type == L"selectchanged") ParentOf(msg.sender)->RemoveChild(msg.sender);
        };
        m_log.clear();
        m_manager->RaiseNotify(Button(L"b"), L"click");
        dynamic_cast<SkinUI::COptionUI*>(m_manager->ControlByName(L"opt"))->Select(true);
        EXPECT_EQ(m_log, (std::vector<std::string>{"click:b:0", "later:click:b:0", "selectchanged:opt:0",
                                                   "later:selectchanged:opt:0"}));
        EXPECT_EQ(m_manager->ControlByName(L"opt"), nullptr);
        Pump();
    }
    {
        SCOPED_TRACE("a receiver removed by another during a notification hears nothing");
        m_receiver.onNotify = [&](SkinUI::UINotifyMsg&) { m_manager->RemoveNotifier(&later); };
        m_log.clear();
        m_manager->RaiseNotify(nullptr, L"custom", 3, 4);
        EXPECT_EQ(m_log, std::vector<std::string>{"custom:-:3"});
    }
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

TEST_F(PaintManagerTest, APaintNeverShowsWhatAnEarlierPaintLeftInItsBuffer) {
    Build(R"(<HorizontalLayout name="root">
        <TestButton name="red" width="100" bkcolor="#FFFF0000"/><Control/>
      </HorizontalLayout>)");
    testsupport::Canvas first(400, 300, 0xFFFFFFFF);
    ASSERT_TRUE(m_manager->PaintInto(first.Dc(), RECT{0, 0, 250, 300}));
    ASSERT_EQ(first.Pixel(50, 50), 0xFFFF0000u);
    // Nothing paints there any more: the area comes out clear, as from a new bitmap.
    Button(L"red")->Show(false);
    m_manager->UpdateLayout();
    testsupport::Canvas second(400, 300, 0xFFFFFFFF);
    ASSERT_TRUE(m_manager->PaintInto(second.Dc(), RECT{0, 0, 250, 300}));
    EXPECT_EQ(second.Pixel(50, 50), 0u);
    EXPECT_EQ(second.Pixel(300, 50), 0xFFFFFFFFu) << "outside the painted area nothing changes";
}

TEST_F(PaintManagerTest, PaintingOnlyWhatWasInvalidatedShowsWhatAFullPaintShows) {
    UseImages({{"picture", 0xFF3060C0}, {"bubble", 0x80FFA000}});
    Build(R"(<VerticalLayout name="root">
        <Label name="picture" height="200" bkimage="file='picture.png' corner='2,2,2,2'"/>
        <TestButton name="bar" height="20" bkcolor="#FF00C000"/><Control bkcolor="#FFEEEEEE"/>
        <Label name="bubble" float="true" pos="10,185,40,208" bkimage="bubble.png" text="5%"/>
      </VerticalLayout>)");
    UpdateWindow(m_hwnd);
    // A progress tick: the bar changes and the bubble moves over the picture's edge.
    CControlUI* bubble = m_manager->ControlByName(L"bubble");
    for (int step = 1; step <= 3; ++step) {
        SCOPED_TRACE(step);
        Button(L"bar")->SetBackColor(0xFF00C000 + step * 0x10);
        bubble->SetBounds(RECT{10 + step * 7, 185, 40 + step * 7, 208});
        bubble->SetCaption(SkinUI::CUIString(std::to_wstring(step * 5) + L"%"));
        RECT invalid{};
        GetUpdateRect(m_hwnd, &invalid, FALSE);
        EXPECT_LT(invalid.bottom - invalid.top, 60) << "only the bar and the bubble are invalid";
        UpdateWindow(m_hwnd);
        const std::vector<std::uint32_t> partial = testsupport::ShownClientPixels(m_hwnd);
        InvalidateRect(m_hwnd, nullptr, FALSE);
        UpdateWindow(m_hwnd);
        const std::vector<std::uint32_t> full = testsupport::ShownClientPixels(m_hwnd);
        ASSERT_FALSE(full.empty());
        EXPECT_EQ(std::mismatch(partial.begin(), partial.end(), full.begin()).first - partial.begin(),
                  static_cast<std::ptrdiff_t>(partial.size()))
            << "the first pixel that differs";
    }
}

// The manager asks the window to repaint an area once until the window paints; whoever
// paints it, a later change must invalidate again.
TEST_F(PaintManagerTest, AnAreaAskedForTwiceBeforeAPaintIsAskedForAgainAfterIt) {
    Build(kTwoButtons);
    UpdateWindow(m_hwnd);
    auto invalid = [&] {
        RECT box{};
        return GetUpdateRect(m_hwnd, &box, FALSE) ? box : RECT{};
    };
    CControlUI* b1 = Button(L"b1");
    b1->SetBackColor(0xFF102030);
    b1->SetBackColor(0xFF203040);
    EXPECT_EQ(invalid(), b1->GetBounds());
    UpdateWindow(m_hwnd);
    EXPECT_EQ(invalid(), (RECT{}));
    b1->SetBackColor(0xFF304050);
    EXPECT_EQ(invalid(), b1->GetBounds()) << "after the manager's own paint";

    // A filter that paints the window itself.
    struct PaintsItself : SkinUI::IMessageFilterUI {
        explicit PaintsItself(HWND hwnd) : hwnd(hwnd) {}
        LRESULT FilterMessage(UINT message, WPARAM, LPARAM, bool& handled) override {
            if (message != WM_PAINT) return 0;
            PAINTSTRUCT paint{};
            BeginPaint(hwnd, &paint);
            EndPaint(hwnd, &paint);
            handled = true;
            return 0;
        }
        HWND hwnd;
    } filter(m_hwnd);
    m_manager->AddMessageFilter(&filter);
    UpdateWindow(m_hwnd);
    EXPECT_EQ(invalid(), (RECT{}));
    b1->SetBackColor(0xFF405060);
    EXPECT_EQ(invalid(), b1->GetBounds()) << "after a filter's paint";
    m_manager->RemoveMessageFilter(&filter);
}

// Paints the whole tree elsewhere while it is itself being painted, as a control that makes
// its window paint from inside its own drawing does.
class PaintsWhilePainted : public CTestButtonUI {
public:
    bool Render(HDC hdc, const RECT& paintRect) override {
        if (!m_nested) {
            m_nested = true;
            // Larger than the window: no buffer of the window's size would do for it.
            testsupport::Canvas elsewhere(500, 350, 0xFFFFFFFF);
            m_manager->PaintInto(elsewhere.Dc(), RECT{0, 0, 500, 350});
            nestedPixel = elsewhere.Pixel(250, 50);
        }
        return CTestButtonUI::Render(hdc, paintRect);
    }
    DWORD nestedPixel = 0;

private:
    bool m_nested = false;
};

TEST_F(PaintManagerTest, APaintInsideAPaintLeavesTheOuterOneWhole) {
    SkinUI::CUIControlFactory::Instance().Register(L"PaintsWhilePainted",
                                                   []() -> CControlUI* { return new PaintsWhilePainted(); });
    Build(R"(<HorizontalLayout name="root" bkcolor="#FF0000FF">
        <PaintsWhilePainted name="nested" width="100" bkcolor="#FFFF0000"/><Control bkcolor="#FF00FF00"/>
      </HorizontalLayout>)");
    testsupport::Canvas canvas(400, 300, 0xFFFFFFFF);
    ASSERT_TRUE(m_manager->PaintInto(canvas.Dc(), RECT{0, 0, 400, 300}));
    EXPECT_EQ(dynamic_cast<PaintsWhilePainted*>(m_manager->ControlByName(L"nested"))->nestedPixel, 0xFF00FF00u);
    EXPECT_EQ(canvas.Pixel(50, 50), 0xFFFF0000u);
    EXPECT_EQ(canvas.Pixel(250, 50), 0xFF00FF00u);
}

TEST_F(PaintManagerTest, TheBufferFollowsTheWindowsSize) {
    Build(R"(<VerticalLayout name="root" bkcolor="#FF102030"/>)");
    for (const SIZE size : {SIZE{400, 300}, SIZE{300, 200}, SIZE{520, 340}}) {
        SCOPED_TRACE(size.cx);
        SetWindowPos(m_hwnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
        UpdateWindow(m_hwnd);
        const SIZE buffer = m_manager->BackBufferSize();
        EXPECT_EQ(buffer.cx, size.cx);
        EXPECT_EQ(buffer.cy, size.cy);
        EXPECT_EQ(m_display.Pixel(m_hwnd, size.cx - 1, size.cy - 1), 0xFF102030u);
    }
}
