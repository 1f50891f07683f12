// The record with which list rows are drawn, and the interfaces through which lists, combo
// boxes and their rows talk to each other.
//
// UI thread only, like every control. An owner (a list or a combo box) embeds one UIListStyle
// and hands out a pointer to it that stays valid for the owner's life; rows read it whenever
// they measure or paint, so a change shows at the next paint. A row keeps a plain pointer to
// its owner, which the owner sets when the row joins it and clears when the row leaves; the
// owner deletes its rows. A text provider is never owned by the list that asks it.
#pragma once

#include <string>
#include <string_view>

#include "platform/gdi/GdiTypes.h"
#include "ui/core/UIEvents.h"
#include "ui/core/UIString.h"

namespace SkinUI {

class CControlUI;
class CListHeaderUI;
class CListBodyUI;

// Header items beyond this many get no column rectangle.
inline constexpr int kMaxListColumns = 32;

struct UIListStyle {
    int columnCount = 0;
    // Window co-ordinates of header column i, as the last layout or horizontal scroll left them.
    RECT columns[kMaxListColumns]{};
    // Index into the window's font table; -1 is the default font.
    int font = -1;
    // DrawText formats of row texts.
    UINT textStyle = DT_VCENTER;
    RECT textPadding{};
    DWORD textColor = 0xFF000000;
    DWORD backColor = 0;  // 0: none
    CUIString backImage;
    bool alternateBack = false;
    DWORD selectedTextColor = 0xFF000000;
    DWORD selectedBackColor = 0xFFC1E3FF;
    CUIString selectedImage;
    DWORD hotTextColor = 0xFF000000;
    DWORD hotBackColor = 0xFFE9F5FF;
    CUIString hotImage;
    DWORD disabledTextColor = 0xFFCCCCCC;
    DWORD disabledBackColor = 0xFFFFFFFF;
    CUIString disabledImage;
    DWORD lineColor = 0;  // 0: no separator line
    bool showHtml = false;
    bool multiExpand = false;
};

// The "align" vocabulary of row and header texts: every word found applies, in the order left,
// center, right, so the last of them in that order wins.
inline UINT AlignTextStyle(UINT style, std::wstring_view value) {
    if (value.find(L"left") != std::wstring_view::npos) style &= ~(DT_CENTER | DT_RIGHT);
    if (value.find(L"center") != std::wstring_view::npos) style = (style & ~DT_RIGHT) | DT_CENTER;
    if (value.find(L"right") != std::wstring_view::npos) style = (style & ~DT_CENTER) | DT_RIGHT;
    return style;
}

// An owner of rows (facet "IListOwner").
class IListOwnerUI {
public:
    // Never null.
    virtual UIListStyle* GetListStyle() = 0;
    // -1 for none.
    virtual int GetSelectedIndex() const = 0;
    // Makes the row at `index` the selected one; false (and no row selected) when it cannot be.
    virtual bool SelectItem(int index, bool takeFocus = false) = 0;
    // An input event that a row did not use itself.
    virtual void HandleItemEvent(UIEventRecord& event) = 0;

protected:
    ~IListOwnerUI() = default;
};

// Gives text rows the texts of their cells, for a list that keeps its data elsewhere.
class IListTextProvider {
public:
    // Called once per column at every paint of a row; the row copies the text.
    virtual std::wstring GetItemText(CControlUI* row, int index, int column) = 0;

protected:
    ~IListTextProvider() = default;
};

// A list with a header and a body of rows (facet "IList").
class IListUI : public IListOwnerUI {
public:
    virtual CListHeaderUI* GetHeaderControl() const = 0;
    virtual CListBodyUI* GetBodyContainer() const = 0;
    // May be null.
    virtual IListTextProvider* GetTextProvider() const = 0;
    virtual void SetTextProvider(IListTextProvider* provider) = 0;
    virtual bool ExpandItem(int index, bool expand = true) = 0;
    // -1 for none.
    virtual int GetExpandedIndex() const = 0;

protected:
    ~IListUI() = default;
};

// A row (facet "ListItem").
class IListItemUI {
public:
    // Set by the owner after every insertion, removal and move.
    virtual int GetItemIndex() const = 0;
    virtual void SetItemIndex(int index) = 0;
    // Null while the row has no owner.
    virtual IListOwnerUI* GetOwner() const = 0;
    // The row keeps the control's "IListOwner" facet; null leaves it without an owner.
    virtual void SetOwner(CControlUI* owner) = 0;
    virtual bool IsSelected() const = 0;
    // False when the row refuses (selecting a row that cannot be used or that its owner refuses).
    virtual bool Select(bool select = true) = 0;
    virtual bool IsExpanded() const = 0;
    virtual bool Expand(bool expand = true) = 0;
    // Draws the row's text into `rect` with the owner's style.
    virtual void DrawItemText(HDC hdc, const RECT& rect) = 0;

protected:
    ~IListItemUI() = default;
};

}  // namespace SkinUI
