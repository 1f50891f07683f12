#include "ui/controls/DateTimeUI.h"

#include <string>

#include "../basic/BasicFixture.h"
#include "platform/commctrl/CalendarDate.h"
#include "platform/commctrl/CommCtrl.h"
#include "platform/commctrl/DropDownCalendar.h"
#include "platform/commctrl/MonthGrid.h"
#include "platform/sync/Clock.h"
#include "platform/window/Focus.h"
#include "platform/window/WindowPos.h"
#include "ui/core/ContainerUI.h"

using basictest::Narrow;
using SkinUI::CDateTimeUI;

namespace {

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

// A field over a focus stop and a plain area; input goes in through the headless display.
const char kSkin[] = R"(<VerticalLayout bkcolor="#FF336699">
    <DateTime name="date" height="24" font="0"/>
    <Button name="other" height="30"/>
    <Control name="rest"/>
  </VerticalLayout>)";

class DateTimeUITest : public basictest::BasicControlTest {
protected:
    void SetUp() override {
        INITCOMMONCONTROLSEX init;
        init.dwSize = sizeof(init);
        init.dwICC = ICC_STANDARD_CLASSES;
        ASSERT_TRUE(InitCommonControlsEx(&init));
        BasicControlTest::SetUp();
        m_manager->AddFont(L"", 12, false, false, false, true);
    }

    void Build(std::string_view xml) {
        BasicControlTest::Build(xml);
        Pump();
    }
    void Key(UINT vk) { PressKey(vk); }

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
};

}  // namespace

TEST_F(DateTimeUITest, ANewFieldShowsTodayAndAClickOpensThePickerOverIt) {
    SYSTEMTIME before{}, after{};
    GetLocalTime(&before);
    Build(kSkin);
    GetLocalTime(&after);
    ASSERT_NE(Field(), nullptr) << "the builder makes DateTime fields";
    EXPECT_TRUE(Caption() == Text(before) || Caption() == Text(after)) << Caption();
    EXPECT_EQ(Picker(), nullptr);

    // A click on the unfocused field.
    ClickOn(L"date");
    const HWND picker = Picker();
    ASSERT_NE(picker, nullptr);
    EXPECT_TRUE(Field()->HasFocus());
    EXPECT_TRUE(IsWindowVisible(picker));
    RECT placed{};
    GetWindowRect(picker, &placed);
    EXPECT_EQ(placed, Field()->GetBounds()) << "exactly over the field";
    EXPECT_EQ(GetFocus(), picker);
    EXPECT_EQ(PickerDate(), Caption());
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(picker, WM_GETFONT, 0, 0)), m_manager->FontHandleAt(0));

    // The picker's pixels cover the field's, also after the field repaints under it.
    Field()->SetCaption(L"changed");
    Pump();
    EXPECT_EQ(m_display.Pixel(m_hwnd, 0, 12), 0xFFA0A0A0u) << "the picker's border";
    EXPECT_EQ(m_display.Pixel(m_hwnd, 395, 3), 0xFFF0F0F0u) << "its button";
    EXPECT_EQ(m_display.Pixel(m_hwnd, 395, 40), 0xFF336699u) << "the dialog beside it";
}

TEST_F(DateTimeUITest, ThePickedDateIsTakenWhenThePickerGoes) {
    Build(kSkin);
    {
        SCOPED_TRACE("a click on a focus stop");
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
        SCOPED_TRACE("a click where nothing takes the focus, after the field's own keys edited the date");
        ClickOn(L"date");
        Key(VK_RIGHT);
        Key(VK_UP);
        ClickOn(L"rest");
        EXPECT_EQ(Caption(), "2001-03-03");
        EXPECT_EQ(Picker(), nullptr);
    }
    {
        SCOPED_TRACE("the field hidden");
        ClickOn(L"date");
        const HWND picker = Picker();
        Pick(Date(2002, 2, 2));
        Field()->Show(false);
        Pump();
        EXPECT_FALSE(IsWindow(picker));
        EXPECT_EQ(Caption(), "2002-02-02");
    }
}

TEST_F(DateTimeUITest, DeleteEmptiesAndEscapeKeepsTheOldDate) {
    Build(kSkin);
    Enter(Date(2001, 2, 3));
    ClickOn(L"date");
    Pick(Date(2010, 10, 10));
    Key(VK_DELETE);
    EXPECT_EQ(Caption(), "");
    EXPECT_EQ(Text(Field()->GetDate()), "2001-02-03") << "the held date stays";
    EXPECT_EQ(Picker(), nullptr);

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
    ClickAt(pt);
    EXPECT_FALSE(IsWindow(dropDown));
    EXPECT_NE(Picker(), nullptr) << "the picker stays open until it loses the focus";
    ClickOn(L"rest");
    EXPECT_EQ(Caption(), "2021-03-09");
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

TEST_F(DateTimeUITest, APickerThatCouldNotOpenIsTriedAgainNextTime) {
    // A manager without a window has nothing to open the picker in.
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, 0);
    m_manager = std::make_unique<SkinUI::CUIPaintManager>();
    Build(kSkin);
    Field()->TakeFocus();
    EXPECT_EQ(Picker(), nullptr);
    m_manager->Bind(m_hwnd);
    SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(m_manager.get()));
    Send(WM_SIZE, 0, MAKELPARAM(400, 300));
    ClickOn(L"date");
    EXPECT_NE(Picker(), nullptr);
}

TEST_F(DateTimeUITest, ADateInTheCaptionIsWhatThePickerOpensWith) {
    Build(R"(<VerticalLayout><DateTime name="date" height="24" text="2019-03-04"/><Control name="rest"/>
      </VerticalLayout>)");
    ClickOn(L"date");
    EXPECT_EQ(PickerDate(), "2019-03-04");
    ClickOn(L"rest");
    EXPECT_EQ(Caption(), "2019-03-04");

    // Text that is no date in the field's form leaves the held date as it is.
    const std::string held = Text(Field()->GetDate());
    Field()->SetCaption(L"2019-02-30");
    ClickOn(L"date");
    EXPECT_EQ(PickerDate(), held);
    Key(VK_ESCAPE);
    EXPECT_EQ(Caption(), "2019-02-30");
}
