#include "ui/core/ControlUI.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SkinFixture.h"
#include "ui/core/ContainerUI.h"
#include "ui/core/PaintManager.h"

using SkinUI::CContainerUI;
using SkinUI::CControlUI;
using SkinUI::CUIPaintManager;
using SkinUI::UIEventRecord;
using SkinUI::UIEventType;

namespace {

// Logs the events that bubble up to it from its children.
class EventSink : public CContainerUI {
public:
    void HandleEvent(UIEventRecord& event) override { bubbled.push_back(static_cast<int>(event.type)); }
    std::vector<int> bubbled;
};

}  // namespace

TEST(ControlUITest, AttributesKeepThePreviousValueOnBadInput) {
    CControlUI control;
    control.ApplyAttributeText(
        LR"(width="40" height="30" minwidth="5" maxheight="90" bkcolor="#FF00FF00" bordersize="2" padding="1,2,3,4")");
    const struct {
        const wchar_t* name;
        const wchar_t* value;
    } ignored[] = {
        {L"width", L"-5"},      {L"width", L"abc"},     {L"height", L""}, {L"minwidth", L"-1"},   {L"bkcolor", L"zz"},
        {L"bordersize", L"-3"}, {L"padding", L"1,2,3"}, {L"pos", L"1,2"}, {L"unknownname", L"1"},
    };
    for (const auto& c : ignored) {
        SCOPED_TRACE(std::wstring(c.name) + L"=" + c.value);
        control.ApplyAttribute(c.name, c.value);
        EXPECT_EQ(control.GetPresetWidth(), 40);
        EXPECT_EQ(control.GetPresetHeight(), 30);
        EXPECT_EQ(control.GetWidthFloor(), 5);
        EXPECT_EQ(control.GetHeightCeiling(), 90);
        EXPECT_EQ(control.GetBackColor(), 0xFF00FF00u);
        EXPECT_EQ(control.GetBorderSize(), 2);
        EXPECT_RECT(control.GetOuterMargin(), 1, 2, 3, 4);
        EXPECT_FALSE(control.IsFloating());
    }

    // Booleans are true only for "true".
    for (const wchar_t* notTrue : {L"TRUE", L"1", L"yes", L""}) {
        control.ApplyAttribute(L"enabled", L"true");
        control.ApplyAttribute(L"enabled", notTrue);
        EXPECT_FALSE(control.IsUsableFlag());
    }

    // "pos" gives the float offsets and the preset size; "float" takes anchors or a boolean.
    control.ApplyAttributeText(LR"(pos="10,20,110,70" float="0.5,0,0.5,1")");
    EXPECT_EQ(control.GetPresetWidth(), 100);
    EXPECT_EQ(control.GetPresetHeight(), 50);
    EXPECT_RECT(control.GetFloatPos(), 10, 20, 110, 70);
    EXPECT_TRUE(control.IsFloating());
    double anchors[4];
    control.GetFloatAnchors(anchors);
    EXPECT_EQ(anchors[0], 0.5);
    EXPECT_EQ(anchors[3], 1.0);
    control.ApplyAttribute(L"float", L"0.5,0,1.5,1");
    EXPECT_FALSE(control.IsFloating()) << "an anchor beyond 1 is neither anchors nor \"true\"";

    // A malformed list applies the pairs before the fault.
    EXPECT_FALSE(control.ApplyAttributeText(LR"(name="first" text='second' broken)"));
    EXPECT_EQ(control.GetName(), L"first");
    EXPECT_EQ(control.GetCaption(), L"second");
}

TEST(ControlUITest, DefaultEventHandling) {
    CUIPaintManager manager;
    std::vector<std::string> seen;
    skintest::NotifyLog log(&seen);
    manager.AddNotifier(&log);
    auto* sink = new EventSink();
    auto* leaf = new CControlUI();
    sink->AppendChild(leaf);
    manager.AttachRoot(sink);

    const struct {
        UIEventType type;
        bool bubbles;
        const char* notification;
    } cases[] = {
        {UIEventType::Timer, false, "timer::9"},  {UIEventType::ContextMenu, false, "menu::9"},
        {UIEventType::KeyDown, true, nullptr},    {UIEventType::SetFocus, false, nullptr},
        {UIEventType::SetCursor, false, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.type));
        sink->bubbled.clear();
        seen.clear();
        UIEventRecord event;
        event.type = c.type;
        event.wParam = 9;
        leaf->HandleEvent(event);
        EXPECT_EQ(sink->bubbled.size(), c.bubbles ? 1u : 0u);
        EXPECT_EQ(seen, c.notification ? std::vector<std::string>{c.notification} : std::vector<std::string>{});
    }

    // A control that dies stops being the manager's focus.
    auto* focused = new CControlUI();
    sink->AppendChild(focused);
    focused->TakeFocus();
    EXPECT_EQ(manager.GetFocusControl(), focused);
    EXPECT_TRUE(sink->RemoveChild(focused));
    EXPECT_EQ(manager.GetFocusControl(), nullptr);
    manager.RemoveNotifier(&log);
}

TEST(ControlUITest, ColoursShiftOnlyWhenAsked) {
    CUIPaintManager manager;
    auto* control = new CControlUI();
    manager.AttachRoot(control);
    EXPECT_EQ(control->AdjustedColor(0xFFFF0000), 0xFFFF0000u);
    manager.SetColorShift(120, 100, 100);  // red turns to green
    EXPECT_EQ(control->AdjustedColor(0xFFFF0000), 0xFFFF0000u) << "without colorhsl";
    control->ApplyAttribute(L"colorhsl", L"true");
    EXPECT_EQ(control->AdjustedColor(0x80FF0000), 0x8000FF00u);

    // A manager without fonts of its own uses its resource parent's.
    EXPECT_EQ(manager.AddFont(L"WenQuanYi Micro Hei", 16, false, false, false), 0);
    EXPECT_EQ(manager.AddFont(L"WenQuanYi Micro Hei", 0, false, false, false), -1) << "no size, no font";
    CUIPaintManager popup;
    popup.SetResourceParent(&manager);
    EXPECT_EQ(popup.FontRecordAt(0), manager.FontRecordAt(0));
    EXPECT_GT(popup.DefaultFontHeight(), 0);
}
