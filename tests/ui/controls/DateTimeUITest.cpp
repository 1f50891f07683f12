#include "ui/controls/DateTimeUI.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/commctrl/CalendarDate.h"
#include "platform/commctrl/CommCtrl.h"
#include "platform/commctrl/DropDownCalendar.h"
#include "platform/commctrl/MonthGrid.h"
#include "platform/display/HeadlessDisplay.h"
#include "platform/strings/StringConv.h"
#include "platform/sync/Clock.h"
#include "platform/window/Focus.h"
#include "platform/window/MessageApi.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowClass.h"
#include "platform/window/WindowPos.h"
#include "support/RectCheck.h"
#include "ui/core/ContainerUI.h"
#include "ui/core/DialogBuilder.h"
#include "ui/core/PaintManager.h"
#include "ui/core/SkinFixture.h"

using SkinUI::CControlUI;
using SkinUI::CDateTimeUI;
using SkinUI::CUIPaintManager;

namespace {

constexpr wchar_t kWindowClass[] = L"DateTimeUITestWindow";

LRESULT ManagedProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* manager = reinterpret_cast<CUIPaintManager*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    if (manager != nullptr && manager->HandleWindowMessage(message, wParam, lParam, result)) return result;
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

std::string Narrow(std::wstring_view text) {
    return platform::Utf8FromWide(std::wstring(text));
}

SYSTEMTIME Date(int year, int month, int day) {
    SYSTEMTIME date{};
    date.wYear = static_cast<WORD>(year);
    date.wMonth = static_cast<WORD>(month);
    date.wDay = static_cast<WORD>(day);
    return date;
}

std::string Text(const SYSTEMTIME& date) {
    return Narrow(platform::FormatPickerDate(date));
}

// A field over a focus stop and a plain area, in a window at the screen's origin (client and
// screen co-ordinates agree); input goes in through a headless display.
const char kSkin[] = R"(<VerticalLayout bkcolor="#FF336699">
    <DateTime name="date" height="24" font="0"/>
    <TestButton name="other" height="30"/>
    <Control name="rest"/>
  </VerticalLayout>)";

class DateTimeUITest : public ::testing::Test {
protected:
    DateTimeUITest() { platform::SetWindowBackend(&m_display); }
    ~DateTimeUITest() override { platform::SetWindowBackend(nullptr); }

    void SetUp() override {
        INITCOMMONCONTROLSEX init;
        init.dwSize = sizeof(init);
        init.dwICC = ICC_STANDARD_CLASSES;
        ASSERT_TRUE(InitCommonControlsEx(&init));
        skintest::RegisterTestControls();
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = ManagedProc;
        wc.lpszClassName = kWindowClass;
        RegisterClassExW(&wc);
    }
    void TearDown() override {
        if (m_hwnd != nullptr && IsWindow(m_hwnd)) {
            SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
            DestroyWindow(m_hwnd);
        }
        m_manager.reset();
    }

    // Builds `xml` into a manager bound to a new window (or left without one).
    void Build(std::string_view xml, bool bound = true) {
        m_manager = std::make_unique<CUIPaintManager>();
        m_manager->AddFont(L"", 12, false, false, false, true);
        if (bound) Bind();
        SkinUI::CUIDialogBuilder builder;
        CControlUI* root = builder.BuildFromText(xml, m_manager.get());
        ASSERT_NE(root, nullptr) << Narrow(builder.LastError());
        m_manager->AttachRoot(root);
        m_manager->SetClientSize(SIZE{400, 300});
        m_manager->UpdateLayout();
        Pump();
    }
    void Bind() {
        m_hwnd = CreateWindowExW(0, kWindowClass, L"", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr, nullptr,
                                 nullptr);
        ASSERT_NE(m_hwnd, nullptr);
        m_manager->Bind(m_hwnd);
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(m_manager.get()));
    }

    static void Pump() {
        MSG msg{};
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (CUIPaintManager::PreTranslate(&msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    void Key(UINT vk) {
        m_display.KeyDown(vk);
        m_display.KeyUp(vk);
        Pump();
    }
    void Click(POINT pt) {
        m_display.Click(pt.x, pt.y);
        Pump();
    }
    void ClickOn(std::wstring_view name) {
        const RECT b = m_manager->ControlByName(name)->GetBounds();
        Click(POINT{(b.left + b.right) / 2, (b.top + b.bottom) / 2});
    }

    CDateTimeUI* Field() const { return dynamic_cast<CDateTimeUI*>(m_manager->ControlByName(L"date")); }
    HWND Picker() const { return Field()->GetPickerWindow(); }
    std::string Caption() const { return Narrow(Field()->GetCaption().View()); }
    std::string PickerDate() const {
        SYSTEMTIME date{};
        if (SendMessageW(Picker(), DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&date)) != GDT_VALID) return "?";
        return Text(date);
    }
    // What a user would pick in the open picker.
    void Pick(const SYSTEMTIME& date) {
        ASSERT_NE(Picker(), nullptr);
        SendMessageW(Picker(), DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&date));
    }
    // Opens the field by a click, picks `date` and clicks on the plain area.
    void Enter(const SYSTEMTIME& date) {
        ClickOn(L"date");
        Pick(date);
        ClickOn(L"rest");
    }

    platform::HeadlessDisplay m_display;
    std::unique_ptr<CUIPaintManager> m_manager;
    HWND m_hwnd = nullptr;
};

}  // namespace

TEST_F(DateTimeUITest, ANewFieldShowsToday) {
    SYSTEMTIME before{}, after{};
    GetLocalTime(&before);
    Build(kSkin);
    GetLocalTime(&after);
    ASSERT_NE(Field(), nullptr) << "the builder makes DateTime fields";
    EXPECT_TRUE(Caption() == Text(before) || Caption() == Text(after)) << Caption();
    EXPECT_EQ(Picker(), nullptr);
}

TEST_F(DateTimeUITest, AClickOnAnUnfocusedFieldOpensThePickerOverIt) {
    Build(kSkin);
    ASSERT_FALSE(Field()->HasFocus());
    m_display.MoveMouse(50, 12);
    Pump();
    EXPECT_EQ(m_manager->GetCursorShape(), SkinUI::UICursor::IBeam);
    ClickOn(L"date");
    const HWND picker = Picker();
    ASSERT_NE(picker, nullptr);
    EXPECT_TRUE(Field()->HasFocus());
    EXPECT_TRUE(IsWindowVisible(picker));
    EXPECT_EQ(GetParent(picker), m_hwnd);
    RECT placed{};
    GetWindowRect(picker, &placed);
    EXPECT_EQ(placed, Field()->GetBounds()) << "exactly over the field";
    EXPECT_EQ(GetFocus(), picker);
    EXPECT_EQ(PickerDate(), Caption());
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(picker, WM_GETFONT, 0, 0)), m_manager->FontHandleAt(0));

    // A second click on the open picker does not open another.
    ClickOn(L"date");
    EXPECT_EQ(Picker(), picker);

    // The picker's pixels cover the field's, also after the field repaints under it.
    Field()->SetCaption(L"changed");
    Pump();
    EXPECT_EQ(m_display.Pixel(m_hwnd, 0, 12), 0xFFA0A0A0u) << "the picker's border";
    EXPECT_EQ(m_display.Pixel(m_hwnd, 395, 3), 0xFFF0F0F0u) << "its button";
    EXPECT_EQ(m_display.Pixel(m_hwnd, 395, 40), 0xFF336699u) << "the dialog beside it";
}

TEST_F(DateTimeUITest, LosingTheFocusTakesThePickedDate) {
    Build(kSkin);
    {
        // Clicking a focus stop.
        Field()->TakeFocus();
        const HWND picker = Picker();
        ASSERT_NE(picker, nullptr);
        Pick(Date(2001, 2, 3));
        ClickOn(L"other");
        EXPECT_EQ(Caption(), "2001-02-03");
        EXPECT_EQ(Text(Field()->GetDate()), "2001-02-03");
        EXPECT_FALSE(IsWindow(picker)) << "the picker closes";
        EXPECT_EQ(Picker(), nullptr);
    }
    {
        // Clicking where nothing takes the focus; the field's own keys edit the date.
        ClickOn(L"date");
        ASSERT_NE(Picker(), nullptr);
        Key(VK_RIGHT);
        Key(VK_UP);
        ClickOn(L"rest");
        EXPECT_EQ(Caption(), "2001-03-03");
        EXPECT_EQ(Picker(), nullptr);
    }
    {
        // A resized window moves the focus on, taking the date.
        ClickOn(L"date");
        Pick(Date(1999, 12, 31));
        SetWindowPos(m_hwnd, nullptr, 0, 0, 420, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        Pump();
        EXPECT_EQ(Caption(), "1999-12-31");
        EXPECT_EQ(Picker(), nullptr);
        EXPECT_EQ(m_manager->GetFocusControl(), m_manager->ControlByName(L"other"));
    }
}

TEST_F(DateTimeUITest, DeleteEmptiesAndEscapeKeepsTheOldDate) {
    Build(kSkin);
    Enter(Date(2001, 2, 3));
    for (UINT key : {VK_DELETE, VK_BACK}) {
        SCOPED_TRACE(key);
        ClickOn(L"date");
        Pick(Date(2010, 10, 10));
        Key(key);
        EXPECT_EQ(Caption(), "");
        EXPECT_EQ(Text(Field()->GetDate()), "2001-02-03") << "the held date stays";
        EXPECT_EQ(Picker(), nullptr);
        Enter(Date(2001, 2, 3));
    }

    // An empty field opens at today.
    ClickOn(L"date");
    Key(VK_DELETE);
    ClickOn(L"date");
    SYSTEMTIME today{};
    GetLocalTime(&today);
    EXPECT_EQ(PickerDate(), Text(today));
    Key(VK_ESCAPE);
    EXPECT_EQ(Caption(), "");

    // Escape keeps what was there, also after the date was changed in the picker.
    Enter(Date(2001, 2, 3));
    ClickOn(L"date");
    Key(VK_UP);
    Key(VK_ESCAPE);
    EXPECT_EQ(Picker(), nullptr);
    EXPECT_EQ(Caption(), "2001-02-03");
    ClickOn(L"other");
    EXPECT_EQ(Caption(), "2001-02-03");
    EXPECT_EQ(Text(Field()->GetDate()), "2001-02-03");
}

TEST_F(DateTimeUITest, ACalendarClickPicksADate) {
    Build(kSkin);
    Enter(Date(2021, 3, 17));
    ClickOn(L"date");
    Key(VK_F4);
    const HWND dropDown = reinterpret_cast<HWND>(SendMessageW(Picker(), DTM_GETMONTHCAL, 0, 0));
    ASSERT_NE(dropDown, nullptr);
    const platform::MonthGrid* grid = platform::DropDownCalendarGrid(dropDown);
    ASSERT_NE(grid, nullptr);
    const RECT cell = grid->DayCell(9);
    POINT pt{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2};
    ClientToScreen(dropDown, &pt);
    Click(pt);
    EXPECT_FALSE(IsWindow(dropDown));
    EXPECT_NE(Picker(), nullptr) << "the picker stays open until it loses the focus";
    ClickOn(L"rest");
    EXPECT_EQ(Caption(), "2021-03-09");
}

TEST_F(DateTimeUITest, AWheelTurnOverAnOpenFieldDoesNotScrollTheDialog) {
    Build(R"(<VerticalLayout vscrollbar="true">
        <DateTime name="date" height="24"/>
        <Control name="rest" height="1000"/>
      </VerticalLayout>)");
    auto* layout = dynamic_cast<SkinUI::CContainerUI*>(m_manager->GetRoot());
    ASSERT_NE(layout, nullptr);
    ClickOn(L"date");
    ASSERT_NE(Picker(), nullptr);
    m_display.MoveMouse(50, 12);
    m_display.Wheel(-1);
    Pump();
    EXPECT_EQ(layout->GetScrollOffset().cy, 0);
    // Elsewhere the wheel still scrolls.
    m_display.MoveMouse(50, 200);
    m_display.Wheel(-1);
    Pump();
    EXPECT_GT(layout->GetScrollOffset().cy, 0);
}

TEST_F(DateTimeUITest, DestroyingTheFieldWithThePickerOpenIsClean) {
    Build(kSkin);
    ClickOn(L"date");
    const HWND picker = Picker();
    ASSERT_NE(picker, nullptr);
    auto* layout = dynamic_cast<SkinUI::CContainerUI*>(m_manager->GetRoot());
    ASSERT_TRUE(layout->RemoveChild(Field()));
    EXPECT_FALSE(IsWindow(picker)) << "the picker goes with its field";
    // What would reach a forgotten picker: the focus moving on, keys, the posted close.
    SetFocus(m_hwnd);
    Key(VK_DELETE);
    Pump();
    EXPECT_EQ(m_manager->ControlByName(L"date"), nullptr);
}

TEST_F(DateTimeUITest, DestroyingTheWindowWithThePickerOpenIsClean) {
    Build(kSkin);
    ClickOn(L"date");
    Key(VK_F4);
    const HWND picker = Picker();
    ASSERT_NE(picker, nullptr);
    DestroyWindow(m_hwnd);
    EXPECT_FALSE(IsWindow(picker));
    m_manager.reset();
    Pump();
}

TEST_F(DateTimeUITest, APickerThatCouldNotOpenIsTriedAgainNextTime) {
    // Without a window there is nothing to open the picker in.
    Build(kSkin, false);
    Field()->TakeFocus();
    EXPECT_EQ(Picker(), nullptr);
    Bind();
    ClickOn(L"date");
    EXPECT_NE(Picker(), nullptr);
}

TEST_F(DateTimeUITest, ADateInTheCaptionIsWhatThePickerOpensWith) {
    Build(R"(<VerticalLayout>
        <DateTime name="date" height="24" text="2019-03-04"/>
        <TestButton name="other" height="30"/>
        <Control name="rest"/>
      </VerticalLayout>)");
    ClickOn(L"date");
    EXPECT_EQ(PickerDate(), "2019-03-04");
    ClickOn(L"rest");
    EXPECT_EQ(Caption(), "2019-03-04");

    // Text that is no date in the field's form leaves the held date as it is.
    const std::string held = Text(Field()->GetDate());
    for (const wchar_t* text : {L"选择日期", L"2019-02-30"}) {
        SCOPED_TRACE(Narrow(text));
        Field()->SetCaption(text);
        ClickOn(L"date");
        EXPECT_EQ(PickerDate(), held);
        Key(VK_ESCAPE);
        EXPECT_EQ(Narrow(Field()->GetCaption().View()), Narrow(text));
    }
}

TEST_F(DateTimeUITest, AFieldHiddenWhileItsPickerIsOpenClosesIt) {
    Build(kSkin);
    ClickOn(L"date");
    const HWND picker = Picker();
    ASSERT_NE(picker, nullptr);
    Pick(Date(2002, 2, 2));
    Field()->Show(false);
    Pump();
    EXPECT_FALSE(IsWindow(picker));
    EXPECT_EQ(Caption(), "2002-02-02");
}
