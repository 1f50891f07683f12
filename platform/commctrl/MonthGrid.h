// One month of the drop-down calendar: which month is shown, which day is
// highlighted, which is today, where everything lies, and how it is drawn.
// No window of its own: the drop-down window lays it out, hit-tests and paints
// it. Owned by one UI thread.
//
// The month shows in a 7 x 6 grid of day cells, Sunday first, under a title
// with the year and month between two arrows and a row of weekday names.
// Sizes follow the font's text height, so a larger font gives a larger calendar.
#pragma once

#include "platform/gdi/GdiTypes.h"

namespace platform {

class MonthGrid {
public:
    // Today's frame: a colour no other part of the calendar uses.
    static constexpr COLORREF kTodayFrame = RGB(208, 48, 48);

    enum class HitKind { Nothing, PreviousMonth, NextMonth, Day };
    struct Hit {
        HitKind kind = HitKind::Nothing;
        SYSTEMTIME date{};  // for Day
    };

    // `font` is not owned and may be null (the default GUI font); it must stay alive while the grid draws.
    MonthGrid(HFONT font, const SYSTEMTIME& highlighted, const SYSTEMTIME& today);

    SIZE Size() const { return m_size; }
    const SYSTEMTIME& Highlighted() const { return m_highlighted; }
    int ShownYear() const { return m_year; }
    int ShownMonth() const { return m_month; }

    // Turns the shown month; the highlight stays where it is.
    void TurnMonth(int months);
    // Moves the highlight by days (showing its month) or to a date.
    void MoveHighlight(int days);
    void SetHighlighted(const SYSTEMTIME& date);

    Hit HitTest(POINT client) const;
    // The cell of day `day` of the shown month; empty for a day it lacks.
    RECT DayCell(int day) const;
    RECT PreviousArrow() const;
    RECT NextArrow() const;

    void Paint(HDC hdc) const;

private:
    // The cell index (0..41) of the shown month's first day.
    int FirstCell() const;
    RECT CellAt(int index) const;

    HFONT m_font;
    SYSTEMTIME m_highlighted;
    SYSTEMTIME m_today;
    int m_year;
    int m_month;

    int m_margin = 4;
    int m_titleHeight = 0;
    int m_headerHeight = 0;
    int m_cellWidth = 0;
    int m_cellHeight = 0;
    SIZE m_size{};
};

}  // namespace platform
