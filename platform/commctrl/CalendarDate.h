// Gregorian calendar arithmetic on the date part of SYSTEMTIME, for the date
// picker and its drop-down month calendar. Pure functions; any thread.
//
// The picker holds dates from 1601-01-01 (where SYSTEMTIME's range starts) to
// 9999-12-31, so every date it holds prints as four-digit year, month and day.
#pragma once

#include <string>

#include "platform/types/WinTypes.h"

namespace platform {

inline constexpr int kFirstPickerYear = 1601;
inline constexpr int kLastPickerYear = 9999;

bool IsLeapYear(int year);
// 0 for a month outside 1..12.
int DaysInMonth(int year, int month);
// Year, month and day form a date within the picker's range.
bool IsPickerDate(const SYSTEMTIME& date);
// 0 = Sunday .. 6 = Saturday.
int DayOfWeek(int year, int month, int day);
// -1, 0 or 1 by year, month and day only.
int CompareDates(const SYSTEMTIME& a, const SYSTEMTIME& b);
// `date` moved by whole days or months and held within the picker's range; a
// month move keeps the day when the new month has it, else takes its last day.
// The time of day is kept and the day of the week set.
SYSTEMTIME AddDays(const SYSTEMTIME& date, int days);
SYSTEMTIME AddMonths(const SYSTEMTIME& date, int months);
// The same date with the day of the week filled in.
SYSTEMTIME WithDayOfWeek(const SYSTEMTIME& date);
// "YYYY-MM-DD".
std::wstring FormatPickerDate(const SYSTEMTIME& date);

}  // namespace platform
