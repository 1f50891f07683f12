#include "platform/commctrl/MonthGrid.h"

#include <algorithm>
#include <cwchar>
#include <string>

#include "platform/commctrl/CalendarDate.h"
#include "platform/commctrl/ControlDrawing.h"
#include "platform/gdi/Gdi.h"

namespace platform {

namespace {

constexpr int kColumns = 7;
constexpr int kRows = 6;
constexpr wchar_t kWeekdays[kColumns] = {L'日', L'一', L'二', L'三', L'四', L'五', L'六'};

void Text(HDC hdc, const std::wstring& text, const RECT& rect, COLORREF colour) {
    DrawLine(hdc, text, rect, colour, DT_CENTER);
}

}  // namespace

MonthGrid::MonthGrid(HFONT font, const SYSTEMTIME& highlighted, const SYSTEMTIME& today)
    : m_font(font != nullptr ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT))),
      m_highlighted(WithDayOfWeek(highlighted)),
      m_today(today),
      m_year(highlighted.wYear),
      m_month(highlighted.wMonth) {
    int textHeight = 16;
    int digitsWidth = 16;
    if (HDC dc = CreateCompatibleDC(nullptr)) {
        HGDIOBJ old = SelectObject(dc, m_font);
        TEXTMETRICW metrics{};
        if (GetTextMetricsW(dc, &metrics)) textHeight = metrics.tmHeight;
        SIZE digits{};
        SIZE weekday{};
        if (GetTextExtentPoint32W(dc, L"00", 2, &digits) && GetTextExtentPoint32W(dc, kWeekdays, 1, &weekday)) {
            digitsWidth = std::max(digits.cx, weekday.cx);
        }
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    m_cellWidth = digitsWidth + 12;
    m_cellHeight = textHeight + 6;
    m_titleHeight = textHeight + 10;
    m_headerHeight = textHeight + 6;
    m_size = SIZE{2 * m_margin + kColumns * m_cellWidth,
                  2 * m_margin + m_titleHeight + m_headerHeight + 1 + kRows * m_cellHeight};
}

void MonthGrid::TurnMonth(int months) {
    SYSTEMTIME first{};
    first.wYear = static_cast<WORD>(m_year);
    first.wMonth = static_cast<WORD>(m_month);
    first.wDay = 1;
    const SYSTEMTIME shown = AddMonths(first, months);
    m_year = shown.wYear;
    m_month = shown.wMonth;
}

void MonthGrid::MoveHighlight(int days) {
    SetHighlighted(AddDays(m_highlighted, days));
}

void MonthGrid::SetHighlighted(const SYSTEMTIME& date) {
    m_highlighted = WithDayOfWeek(date);
    m_year = date.wYear;
    m_month = date.wMonth;
}

int MonthGrid::FirstCell() const {
    return DayOfWeek(m_year, m_month, 1);
}

RECT MonthGrid::CellAt(int index) const {
    const int left = m_margin + (index % kColumns) * m_cellWidth;
    const int top = m_margin + m_titleHeight + m_headerHeight + 1 + (index / kColumns) * m_cellHeight;
    return RECT{left, top, left + m_cellWidth, top + m_cellHeight};
}

RECT MonthGrid::DayCell(int day) const {
    if (day < 1 || day > DaysInMonth(m_year, m_month)) return RECT{};
    return CellAt(FirstCell() + day - 1);
}

RECT MonthGrid::PreviousArrow() const {
    return RECT{m_margin, m_margin, m_margin + m_cellWidth, m_margin + m_titleHeight};
}

RECT MonthGrid::NextArrow() const {
    return RECT{m_size.cx - m_margin - m_cellWidth, m_margin, m_size.cx - m_margin, m_margin + m_titleHeight};
}

MonthGrid::Hit MonthGrid::HitTest(POINT pt) const {
    auto inside = [pt](const RECT& r) { return pt.x >= r.left && pt.x < r.right && pt.y >= r.top && pt.y < r.bottom; };
    Hit hit;
    // The arrows do nothing at the ends of the range, so they do not count as hit there either.
    if (inside(PreviousArrow()) && !(m_year == kFirstPickerYear && m_month == 1)) hit.kind = HitKind::PreviousMonth;
    if (inside(NextArrow()) && !(m_year == kLastPickerYear && m_month == 12)) hit.kind = HitKind::NextMonth;
    if (hit.kind != HitKind::Nothing) return hit;
    for (int day = 1; day <= DaysInMonth(m_year, m_month); ++day) {
        if (!inside(DayCell(day))) continue;
        hit.kind = HitKind::Day;
        hit.date = m_highlighted;
        hit.date.wYear = static_cast<WORD>(m_year);
        hit.date.wMonth = static_cast<WORD>(m_month);
        hit.date.wDay = static_cast<WORD>(day);
        hit.date = WithDayOfWeek(hit.date);
        return hit;
    }
    return hit;
}

void MonthGrid::Paint(HDC hdc) const {
    const RECT all{0, 0, m_size.cx, m_size.cy};
    FillSolid(hdc, all, GetSysColor(COLOR_WINDOW));
    FrameSolid(hdc, all, GetSysColor(COLOR_BTNSHADOW));
    HGDIOBJ oldFont = SelectObject(hdc, m_font);
    const COLORREF text = GetSysColor(COLOR_WINDOWTEXT);

    const RECT title{m_margin, m_margin, m_size.cx - m_margin, m_margin + m_titleHeight};
    FillSolid(hdc, title, GetSysColor(COLOR_BTNFACE));
    wchar_t caption[32] = {};
    std::swprintf(caption, std::size(caption), L"%d年%d月", m_year, m_month);
    Text(hdc, caption, title, text);
    DrawArrowHead(hdc, PreviousArrow(), ArrowDirection::Left, text);
    DrawArrowHead(hdc, NextArrow(), ArrowDirection::Right, text);

    for (int column = 0; column < kColumns; ++column) {
        const int left = m_margin + column * m_cellWidth;
        const RECT cell{left, title.bottom, left + m_cellWidth, title.bottom + m_headerHeight};
        Text(hdc, std::wstring(1, kWeekdays[column]), cell, text);
    }
    const int lineY = title.bottom + m_headerHeight;
    FillSolid(hdc, RECT{m_margin, lineY, m_size.cx - m_margin, lineY + 1}, GetSysColor(COLOR_BTNSHADOW));

    for (int day = 1; day <= DaysInMonth(m_year, m_month); ++day) {
        const RECT cell = DayCell(day);
        const bool highlighted =
            m_highlighted.wYear == m_year && m_highlighted.wMonth == m_month && m_highlighted.wDay == day;
        const bool today = m_today.wYear == m_year && m_today.wMonth == m_month && m_today.wDay == day;
        if (highlighted) FillSolid(hdc, cell, GetSysColor(COLOR_HIGHLIGHT));
        if (today) FrameSolid(hdc, cell, kTodayFrame);
        Text(hdc, std::to_wstring(day), cell, highlighted ? GetSysColor(COLOR_HIGHLIGHTTEXT) : text);
    }
    SelectObject(hdc, oldFont);
}

}  // namespace platform
