#include "platform/commctrl/CalendarDate.h"

#include <algorithm>
#include <cwchar>

namespace platform {

namespace {

// Days since 0000-03-01 of the proleptic Gregorian calendar (a year starting in March puts the leap
// day last, so the month lengths before it never depend on the year).
long long DayNumber(int year, int month, int day) {
    if (month < 3) {
        --year;
        month += 12;
    }
    return 365LL * year + year / 4 - year / 100 + year / 400 + (153 * (month - 3) + 2) / 5 + day - 1;
}

SYSTEMTIME FromDayNumber(long long number, const SYSTEMTIME& timeOfDay) {
    long long year = (10000 * number + 14780) / 3652425;
    long long dayOfYear = number - (365 * year + year / 4 - year / 100 + year / 400);
    if (dayOfYear < 0) {
        --year;
        dayOfYear = number - (365 * year + year / 4 - year / 100 + year / 400);
    }
    const long long shiftedMonth = (100 * dayOfYear + 52) / 3060;
    SYSTEMTIME out = timeOfDay;
    out.wYear = static_cast<WORD>(year + (shiftedMonth + 2) / 12);
    out.wMonth = static_cast<WORD>((shiftedMonth + 2) % 12 + 1);
    out.wDay = static_cast<WORD>(dayOfYear - (shiftedMonth * 306 + 5) / 10 + 1);
    return WithDayOfWeek(out);
}

}  // namespace

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsPickerDate(const SYSTEMTIME& date) {
    return date.wYear >= kFirstPickerYear && date.wYear <= kLastPickerYear && date.wMonth >= 1 && date.wMonth <= 12 &&
           date.wDay >= 1 && date.wDay <= DaysInMonth(date.wYear, date.wMonth);
}

int DayOfWeek(int year, int month, int day) {
    // 0000-03-01 was a Wednesday.
    return static_cast<int>((DayNumber(year, month, day) + 3) % 7);
}

int CompareDates(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    const long long x = DayNumber(a.wYear, a.wMonth, a.wDay);
    const long long y = DayNumber(b.wYear, b.wMonth, b.wDay);
    return x < y ? -1 : (x > y ? 1 : 0);
}

SYSTEMTIME AddDays(const SYSTEMTIME& date, int days) {
    const long long first = DayNumber(kFirstPickerYear, 1, 1);
    const long long last = DayNumber(kLastPickerYear, 12, 31);
    const long long number = std::clamp(DayNumber(date.wYear, date.wMonth, date.wDay) + days, first, last);
    return FromDayNumber(number, date);
}

SYSTEMTIME AddMonths(const SYSTEMTIME& date, int months) {
    const long long first = kFirstPickerYear * 12LL;
    const long long last = kLastPickerYear * 12LL + 11;
    const long long index = std::clamp(date.wYear * 12LL + (date.wMonth - 1) + months, first, last);
    SYSTEMTIME out = date;
    out.wYear = static_cast<WORD>(index / 12);
    out.wMonth = static_cast<WORD>(index % 12 + 1);
    out.wDay = static_cast<WORD>(std::min<int>(date.wDay, DaysInMonth(out.wYear, out.wMonth)));
    return WithDayOfWeek(out);
}

SYSTEMTIME WithDayOfWeek(const SYSTEMTIME& date) {
    SYSTEMTIME out = date;
    out.wDayOfWeek = static_cast<WORD>(DayOfWeek(date.wYear, date.wMonth, date.wDay));
    return out;
}

std::wstring FormatPickerDate(const SYSTEMTIME& date) {
    wchar_t text[32] = {};
    std::swprintf(text, std::size(text), L"%4d-%02d-%02d", date.wYear, date.wMonth, date.wDay);
    return text;
}

}  // namespace platform
