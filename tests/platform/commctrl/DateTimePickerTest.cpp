#include "platform/commctrl/CommCtrl.h"

#include <gtest/gtest.h>

#include <vector>

#include "../window/DisplayTestSupport.h"
#include "platform/commctrl/CalendarDate.h"
#include "platform/commctrl/DropDownCalendar.h"
#include "platform/commctrl/MonthGrid.h"
#include "platform/gdi/Gdi.h"
#include "platform/sync/Clock.h"
#include "support/MessagePump.h"
#include "support/ReferenceImage.h"

namespace {

SYSTEMTIME Date(int year, int month, int day) {
    SYSTEMTIME date{};
    date.wYear = static_cast<WORD>(year);
    date.wMonth = static_cast<WORD>(month);
    date.wDay = static_cast<WORD>(day);
    return date;
}

// A dialog-like window with a picker at (10, 20), 150 x 24, holding the focus.
class DateTimePickerTest : public windowtest::DisplayFixture {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX init;
        init.dwSize = sizeof(init);
        init.dwICC = ICC_STANDARD_CLASSES;
        ASSERT_TRUE(InitCommonControlsEx(&init));
        m_parent = cls.Create(&recorder, WS_POPUP | WS_VISIBLE, RECT{100, 100, 400, 300});
        m_picker = CreateWindowExW(0, DATETIMEPICK_CLASSW, L"", WS_CHILD | WS_VISIBLE, 10, 20, 150, 24, m_parent,
                                   nullptr, nullptr, nullptr);
        ASSERT_NE(m_picker, nullptr);
        SetFocus(m_picker);
        Pump();
    }

    static void Pump() { testsupport::DispatchPending(); }
    void Key(UINT vk) {
        m_display.KeyDown(vk);
        m_display.KeyUp(vk);
        Pump();
    }
    void Keys(std::initializer_list<UINT> keys) {
        for (UINT vk : keys)
            Key(vk);
    }
    void Type(const std::string& text) {
        m_display.TypeText(text);
        Pump();
    }
    void ClickAt(HWND hwnd, POINT client) {
        ClientToScreen(hwnd, &client);
        m_display.Click(client.x, client.y);
        Pump();
    }
    static POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
    void ClickButton() { ClickAt(m_picker, POINT{145, 12}); }

    bool Set(const SYSTEMTIME& date) {
        return SendMessageW(m_picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&date)) != FALSE;
    }
    std::wstring Value() const {
        SYSTEMTIME date{};
        EXPECT_EQ(SendMessageW(m_picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&date)), GDT_VALID);
        return platform::FormatPickerDate(date);
    }
    HWND DropDown() const { return reinterpret_cast<HWND>(SendMessageW(m_picker, DTM_GETMONTHCAL, 0, 0)); }
    static RECT ScreenRect(HWND hwnd) {
        RECT r{};
        GetWindowRect(hwnd, &r);
        return r;
    }

    platform::HeadlessDisplay& m_display = scope.display;
    HWND m_parent = nullptr;
    HWND m_picker = nullptr;
};

}  // namespace

TEST_F(DateTimePickerTest, KeysEditTheFieldsInPlace) {
    ASSERT_TRUE(Set(Date(2024, 1, 31)));
    // Arrows: a day the new month lacks becomes its last; months and days wrap, years do not.
    Keys({VK_RIGHT, VK_UP});
    EXPECT_EQ(Value(), L"2024-02-29");
    Keys({VK_DOWN, VK_DOWN});
    EXPECT_EQ(Value(), L"2024-12-29");
    Keys({VK_RIGHT, VK_UP, VK_UP, VK_UP});
    EXPECT_EQ(Value(), L"2024-12-01");
    Keys({VK_RIGHT, VK_DOWN});  // wraps round to the year
    EXPECT_EQ(Value(), L"2023-12-01");

    // Digits fill a field and move on once it is full.
    Type("2020229");
    EXPECT_EQ(Value(), L"2020-02-29");
    Key(VK_LEFT);
    Type("117");
    EXPECT_EQ(Value(), L"2020-11-07");

    // A year counts only when all four digits are there and it lies in the range.
    Keys({VK_LEFT, VK_LEFT});
    Type("19");
    Key(VK_RIGHT);
    EXPECT_EQ(Value(), L"2020-11-07");
    Key(VK_LEFT);
    Type("1500");
    EXPECT_EQ(Value(), L"2020-11-07");
    Type("3");  // the refused year still moved on to the month
    EXPECT_EQ(Value(), L"2020-03-07");
}

TEST_F(DateTimePickerTest, TheDropDownHangsBelowAndTheKeysSteerIt) {
    ASSERT_TRUE(Set(Date(2021, 3, 17)));
    Key(VK_F4);
    const HWND dropDown = DropDown();
    ASSERT_NE(dropDown, nullptr);
    EXPECT_TRUE(IsWindowVisible(dropDown));
    const RECT picker = ScreenRect(m_picker);
    const RECT below = ScreenRect(dropDown);
    EXPECT_EQ(below.left, picker.left);
    EXPECT_EQ(below.top, picker.bottom);
    EXPECT_EQ(GetFocus(), m_picker) << "the calendar never takes the focus";
    EXPECT_EQ(GetActiveWindow(), m_parent);

    Keys({VK_RIGHT, VK_DOWN, VK_NEXT});
    EXPECT_EQ(Value(), L"2021-03-17") << "steering is not picking";
    Key(VK_RETURN);
    EXPECT_EQ(Value(), L"2021-04-25");
    EXPECT_FALSE(IsWindow(dropDown));
    EXPECT_EQ(DropDown(), nullptr);

    // Alt+Down drops it too; the title's arrows turn the month, Escape takes it up without picking.
    m_display.KeyDown(VK_MENU);
    Key(VK_DOWN);
    m_display.KeyUp(VK_MENU);
    Pump();
    const HWND again = DropDown();
    platform::MonthGrid* grid = platform::DropDownCalendarGrid(again);
    ASSERT_NE(grid, nullptr);
    ClickAt(again, Centre(grid->NextArrow()));
    ClickAt(again, Centre(grid->NextArrow()));
    ClickAt(again, Centre(grid->PreviousArrow()));
    EXPECT_EQ(grid->ShownMonth(), 5);
    EXPECT_EQ(GetActiveWindow(), m_parent) << "clicks on the calendar leave the activation alone";
    Key(VK_ESCAPE);
    EXPECT_EQ(DropDown(), nullptr);
    EXPECT_EQ(Value(), L"2021-04-25");

    // The button drops it and takes it up again.
    ClickButton();
    EXPECT_NE(DropDown(), nullptr);
    ClickButton();
    EXPECT_EQ(DropDown(), nullptr);
}

TEST_F(DateTimePickerTest, TheDropDownGoesWithTheFocusAndWithItsWindows) {
    {
        // Losing the focus takes it up without picking.
        Key(VK_F4);
        const HWND dropDown = DropDown();
        ASSERT_NE(dropDown, nullptr);
        SetFocus(m_parent);
        Pump();
        EXPECT_FALSE(IsWindow(dropDown));
        EXPECT_EQ(DropDown(), nullptr);
    }
    {
        // Destroying the picker takes its calendar along.
        SetFocus(m_picker);
        Key(VK_F4);
        const HWND dropDown = DropDown();
        ASSERT_NE(dropDown, nullptr);
        DestroyWindow(m_picker);
        EXPECT_FALSE(IsWindow(dropDown));
    }
    {
        // Destroying the dialog ends its owned calendar first, then the picker.
        m_picker = CreateWindowExW(0, DATETIMEPICK_CLASSW, L"", WS_CHILD | WS_VISIBLE, 10, 20, 150, 24, m_parent,
                                   nullptr, nullptr, nullptr);
        ASSERT_NE(m_picker, nullptr);
        SetFocus(m_picker);
        Key(VK_F4);
        const HWND dropDown = DropDown();
        ASSERT_NE(dropDown, nullptr);
        DestroyWindow(m_parent);
        EXPECT_FALSE(IsWindow(dropDown));
        EXPECT_FALSE(IsWindow(m_picker));
    }
}

TEST_F(DateTimePickerTest, NearTheBottomTheDropDownOpensAboveAndStaysOnTheWorkArea) {
    platform::ScreenGeometry screen;
    screen.screen = RECT{0, 0, 800, 600};
    screen.workArea = RECT{0, 0, 800, 560};
    m_display.SetScreen(screen);
    SetWindowPos(m_parent, nullptr, 700, 500, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    Key(VK_F4);
    const HWND dropDown = DropDown();
    ASSERT_NE(dropDown, nullptr);
    const RECT picker = ScreenRect(m_picker);
    const RECT above = ScreenRect(dropDown);
    EXPECT_EQ(above.bottom, picker.top);
    EXPECT_EQ(above.right, 800);
}

TEST_F(DateTimePickerTest, TodayIsFramedAndThePickedDayFilled) {
    SYSTEMTIME today{};
    GetLocalTime(&today);
    const int picked = today.wDay == 1 ? 2 : 1;
    SYSTEMTIME date = today;
    date.wDay = static_cast<WORD>(picked);
    ASSERT_TRUE(Set(date));
    Key(VK_F4);
    const HWND dropDown = DropDown();
    ASSERT_NE(dropDown, nullptr);
    UpdateWindow(dropDown);
    SYSTEMTIME now{};
    GetLocalTime(&now);
    if (platform::CompareDates(now, today) != 0) GTEST_SKIP() << "the day changed while the test ran";
    const platform::MonthGrid* grid = platform::DropDownCalendarGrid(dropDown);
    ASSERT_NE(grid, nullptr);
    const RECT todayCell = grid->DayCell(today.wDay);
    const RECT pickedCell = grid->DayCell(picked);
    const COLORREF frame = platform::MonthGrid::kTodayFrame;
    const DWORD frameArgb = 0xFF000000u | (GetRValue(frame) << 16) | (GetGValue(frame) << 8) | GetBValue(frame);
    EXPECT_EQ(m_display.Pixel(dropDown, todayCell.left, todayCell.top + 1), frameArgb);
    EXPECT_EQ(m_display.Pixel(dropDown, todayCell.right - 1, todayCell.bottom - 2), frameArgb);
    EXPECT_EQ(m_display.Pixel(dropDown, todayCell.left + 1, todayCell.top + 1), 0xFFFFFFFFu);
    EXPECT_EQ(m_display.Pixel(dropDown, pickedCell.left + 1, pickedCell.top + 1), 0xFF0078D7u);
}

TEST_F(DateTimePickerTest, AnOpenCalendarLooksAsItsReferenceImage) {
    HFONT font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, nullptr);
    SendMessageW(m_picker, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    ASSERT_TRUE(Set(Date(2021, 3, 17)));  // a month that today never falls in
    Key(VK_F4);
    const HWND dropDown = DropDown();
    ASSERT_NE(dropDown, nullptr);
    UpdateWindow(m_parent);
    UpdateWindow(dropDown);

    const RECT calendar = ScreenRect(dropDown);
    const int width = calendar.right - calendar.left;
    const int height = calendar.bottom - calendar.top;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    ASSERT_TRUE(platform::CopyShownPixels(dropDown, RECT{0, 0, width, height}, pixels.data()));
    EXPECT_TRUE(testsupport::MatchesReferenceImage("DropDownCalendar.png", pixels, width, height));

    // The picker under it, its button pressed while the calendar hangs from it.
    std::vector<uint32_t> field(150 * 24);
    ASSERT_TRUE(platform::CopyShownPixels(m_parent, RECT{10, 20, 160, 44}, field.data()));
    EXPECT_TRUE(testsupport::MatchesReferenceImage("DateTimePicker.png", field, 150, 24));
    DestroyWindow(m_parent);
    DeleteObject(font);
}
