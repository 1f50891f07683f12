#include "platform/commctrl/CalendarDate.h"

#include <gtest/gtest.h>

namespace {

SYSTEMTIME Date(int year, int month, int day) {
    SYSTEMTIME date{};
    date.wYear = static_cast<WORD>(year);
    date.wMonth = static_cast<WORD>(month);
    date.wDay = static_cast<WORD>(day);
    return date;
}

std::wstring Text(const SYSTEMTIME& date) {
    return platform::FormatPickerDate(date);
}

}  // namespace

TEST(CalendarDateTest, WeekdaysAndMonthLengthsOfKnownDates) {
    EXPECT_EQ(platform::DayOfWeek(1601, 1, 1), 1);  // the first day the picker holds
    EXPECT_EQ(platform::DayOfWeek(2000, 2, 29), 2);
    EXPECT_EQ(platform::DayOfWeek(9999, 12, 31), 5);  // the last
    EXPECT_EQ(platform::DaysInMonth(1900, 2), 28) << "a century that is not a leap year";
    EXPECT_EQ(platform::DaysInMonth(2000, 2), 29);
    for (const SYSTEMTIME& bad : {Date(1600, 12, 31), Date(10000, 1, 1), Date(2023, 2, 29), Date(2024, 13, 1),
                                  Date(2024, 4, 31), Date(2024, 4, 0)}) {
        EXPECT_FALSE(platform::IsPickerDate(bad)) << platform::FormatPickerDate(bad);
    }
}

TEST(CalendarDateTest, StepsOfDaysAndMonthsStayOnTheCalendarAndInRange) {
    // Day by day over two centuries, each step agrees with the month lengths and the weekday.
    SYSTEMTIME day = Date(1899, 12, 1);
    int weekday = platform::DayOfWeek(1899, 12, 1);
    for (int i = 0; i < 75000; ++i) {
        const SYSTEMTIME next = platform::AddDays(day, 1);
        const bool lastOfMonth = day.wDay == platform::DaysInMonth(day.wYear, day.wMonth);
        const SYSTEMTIME expected =
            lastOfMonth ? (day.wMonth == 12 ? Date(day.wYear + 1, 1, 1) : Date(day.wYear, day.wMonth + 1, 1))
                        : Date(day.wYear, day.wMonth, day.wDay + 1);
        weekday = (weekday + 1) % 7;
        ASSERT_EQ(platform::CompareDates(next, expected), 0) << Text(day) << " -> " << Text(next);
        ASSERT_EQ(next.wDayOfWeek, weekday) << Text(next);
        day = next;
    }
    EXPECT_EQ(Text(platform::AddDays(Date(2024, 3, 1), -1)), L"2024-02-29");
    EXPECT_EQ(Text(platform::AddDays(Date(2024, 1, 10), -3650)), L"2014-01-12");

    const struct {
        SYSTEMTIME from;
        int months;
        const wchar_t* to;
    } moves[] = {
        {Date(2024, 1, 31), 1, L"2024-02-29"},  // the day the month lacks becomes its last
        {Date(2023, 1, 31), 1, L"2023-02-28"},  {Date(2024, 3, 15), -15, L"2022-12-15"},
        {Date(1601, 2, 3), -2, L"1601-01-03"},  // held at the range's ends
        {Date(9999, 11, 30), 5, L"9999-12-30"},
    };
    for (const auto& m : moves) {
        SCOPED_TRACE(Text(m.from));
        EXPECT_EQ(Text(platform::AddMonths(m.from, m.months)), m.to);
    }
    EXPECT_EQ(Text(platform::AddDays(Date(1601, 1, 5), -10)), L"1601-01-01");
    EXPECT_EQ(Text(platform::AddDays(Date(9999, 12, 25), 10)), L"9999-12-31");

    // The time of day rides along.
    SYSTEMTIME noon = Date(2024, 5, 31);
    noon.wHour = 12;
    noon.wMinute = 30;
    const SYSTEMTIME moved = platform::AddMonths(noon, 1);
    EXPECT_EQ(moved.wHour, 12);
    EXPECT_EQ(moved.wMinute, 30);
}
