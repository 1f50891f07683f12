#include "ui/controls/ComboBoxUI.h"

#include <cwchar>

namespace SkinUI {

namespace {

// The strip's picture for a state, in the strip's order; a disabled control shows its own
// picture whatever else holds.
int ArrowPart(UINT state) {
    if ((state & CComboUI::kStateDisabled) != 0) return 4;
    if ((state & CComboUI::kStatePushed) != 0) return 2;
    if ((state & CComboUI::kStateHot) != 0) return 1;
    if ((state & CComboUI::kStateFocused) != 0) return 3;
    return 0;
}

}  // namespace

const wchar_t* CComboBoxUI::GetClassTag() const {
    return L"ComboBoxUI";
}

void CComboBoxUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    if (name == L"arrowimage") {
        m_arrowImage = CUIString(value);
    } else {
        CComboUI::ApplyAttribute(name, value);
    }
}

void CComboBoxUI::RenderStateImage(HDC hdc) {
    if (m_arrowImage.IsEmpty()) {
        CComboUI::RenderStateImage(hdc);
        return;
    }
    UpdateStateBits();
    const int part = ArrowPart(m_buttonState);

    // The strip's own rectangle is the quoted value of its "source".
    CUIString modifier = m_arrowImage;
    const int source = modifier.IndexOf(L"source");
    if (source < 0) return;
    const int open = modifier.IndexOf(L'\'', source + 7);
    if (open < 0) return;
    const int close = modifier.IndexOf(L'\'', open + 1);
    if (close < 0) return;
    long numbers[4] = {0, 0, 0, 0};
    const wchar_t* at = modifier.Data() + open + 1;
    for (long& number : numbers) {
        wchar_t* end = nullptr;
        number = std::wcstol(at, &end, 10);
        if (end == nullptr || *end == L'\0') break;
        at = end + 1;
    }
    const long left = numbers[0];
    const long top = numbers[1];
    const long right = numbers[2];
    const long bottom = numbers[3];
    m_arrowWidth = static_cast<int>((right - left) / kArrowParts);

    const long partLeft = left + part * m_arrowWidth;
    const int border = GetBorderSize();
    const RECT& b = GetBounds();
    RECT dest{border, border, (b.right - b.left) - border, (b.bottom - b.top) - border};
    dest.left = dest.right - m_arrowWidth;
    CUIString place;
    place.FormatShort(L"source='%d,%d,%d,%d' dest='%d,%d,%d,%d'", static_cast<int>(partLeft), static_cast<int>(top),
                      static_cast<int>(partLeft + m_arrowWidth), static_cast<int>(bottom), static_cast<int>(dest.left),
                      static_cast<int>(dest.top), static_cast<int>(dest.right), static_cast<int>(dest.bottom));
    const CUIString written = modifier.MiddlePart(source, close - source + 1);
    modifier.ReplaceAll(written.Data(), place.Data());
    if (!DrawSkinImage(hdc, m_arrowImage, modifier.Data())) m_arrowImage.Clear();
}

void CComboBoxUI::RenderCaption(HDC hdc) {
    RECT area = CaptionArea();
    area.right -= m_arrowWidth;
    DrawSelection(hdc, area, false);
}

}  // namespace SkinUI
