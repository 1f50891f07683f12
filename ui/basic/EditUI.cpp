#include "ui/basic/EditUI.h"

#include <algorithm>
#include <cstring>

#include "platform/window/Clipboard.h"
#include "platform/window/InputRouter.h"
#include "platform/window/WinMessages.h"
#include "ui/core/AttributeText.h"
#include "ui/core/PaintManager.h"
#include "ui/render/RenderClip.h"
#include "ui/render/RenderEngine.h"

namespace SkinUI {

namespace {

bool IsDigit(wchar_t ch) {
    return ch >= L'0' && ch <= L'9';
}

// Control characters, and halves of UTF-16 surrogate pairs, which are never whole characters here.
bool IsTextCharacter(wchar_t ch) {
    return ch >= 0x20 && ch != 0x7F && !(ch >= 0xD800 && ch <= 0xDFFF) && ch <= 0x10FFFF;
}

// A single-line box takes pasted text up to its first line break.
std::wstring SingleLine(std::wstring_view text) {
    std::wstring line;
    for (wchar_t ch : text) {
        if (ch == L'\r' || ch == L'\n') break;
        if (IsTextCharacter(ch)) line += ch;
    }
    return line;
}

bool WriteClipboardText(HWND owner, std::wstring_view text) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    if (block == nullptr) return false;
    auto* chars = static_cast<wchar_t*>(GlobalLock(block));
    if (chars == nullptr) {
        GlobalFree(block);
        return false;
    }
    std::copy(text.begin(), text.end(), chars);
    chars[text.size()] = L'\0';
    GlobalUnlock(block);
    if (!OpenClipboard(owner)) {
        GlobalFree(block);
        return false;
    }
    EmptyClipboard();
    const bool stored = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
    if (!stored) GlobalFree(block);
    CloseClipboard();
    return stored;
}

bool ReadClipboardText(HWND owner, std::wstring* text) {
    if (!OpenClipboard(owner)) return false;
    bool read = false;
    if (auto block = static_cast<HGLOBAL>(GetClipboardData(CF_UNICODETEXT))) {
        const auto* chars = static_cast<const wchar_t*>(GlobalLock(block));
        if (chars != nullptr) {
            // The block's size bounds the read even when its terminator is missing.
            const size_t capacity = GlobalSize(block) / sizeof(wchar_t);
            size_t length = 0;
            while (length < capacity && chars[length] != L'\0')
                ++length;
            text->assign(chars, length);
            GlobalUnlock(block);
            read = true;
        }
    }
    CloseClipboard();
    return read;
}

}  // namespace

CEditUI::CEditUI() {
    m_textPadding = RECT{2, 0, 2, 0};
}

const wchar_t* CEditUI::GetClassTag() const {
    return L"EditUI";
}

void* CEditUI::QueryFacet(std::wstring_view name) {
    if (name == L"Edit") return this;
    return CLabelUI::QueryFacet(name);
}

UINT CEditUI::GetBehaviourFlags() const {
    return IsUsable() ? (kBehaviourFocusStop | kBehaviourWantsSetCursor | kBehaviourHandlesMouse) : 0;
}

void CEditUI::SetCaption(const CUIString& text) {
    if (m_text == text) return;
    ChangeText(text.ToWString(), text.Length());
}

void CEditUI::ChangeText(std::wstring text, int caret) {
    m_text = CUIString(text);
    m_caret = m_anchor = std::clamp(caret, 0, m_text.Length());
    KeepCaretVisible();
    if (m_focused) RestartBlink();
    Repaint();
    // Not while the skin is being built: nobody has seen the text yet.
    if (m_initialised && m_manager != nullptr) m_manager->RaiseNotify(this, L"textchanged");
}

void CEditUI::SetUsable(bool usable) {
    if (!usable) {
        m_selecting = false;
        m_hot = false;
    }
    CLabelUI::SetUsable(usable);
}

void CEditUI::SetBounds(const RECT& bounds) {
    CLabelUI::SetBounds(bounds);
    m_scrollX = 0;
    KeepCaretVisible();
}

void CEditUI::SetMaxChars(int count) {
    m_maxChars = std::max(0, count);
}

void CEditUI::SetPasswordMode(bool password) {
    if (m_password == password) return;
    m_password = password;
    KeepCaretVisible();
    Repaint();
}

void CEditUI::GetSelection(int* start, int* end) const {
    *start = std::min(m_caret, m_anchor);
    *end = std::max(m_caret, m_anchor);
}

void CEditUI::SetSelection(int start, int end) {
    m_anchor = std::clamp(start, 0, m_text.Length());
    m_caret = std::clamp(end, 0, m_text.Length());
    KeepCaretVisible();
    Repaint();
}

void CEditUI::SelectAll() {
    SetSelection(0, m_text.Length());
}

CUIString CEditUI::GetSelectedText() const {
    int start = 0;
    int end = 0;
    GetSelection(&start, &end);
    return m_text.MiddlePart(start, end - start);
}

bool CEditUI::ReplaceSelection(std::wstring_view text) {
    if (m_readOnly) return false;
    if (m_numberOnly && !std::all_of(text.begin(), text.end(), IsDigit)) return false;
    int start = 0;
    int end = 0;
    GetSelection(&start, &end);
    const long long length = static_cast<long long>(m_text.Length()) - (end - start) + text.size();
    if (!text.empty() && length > m_maxChars) return false;
    if (text.empty() && start == end) return false;
    std::wstring next = m_text.ToWString();
    next.replace(start, end - start, text);
    ChangeText(std::move(next), start + static_cast<int>(text.size()));
    return true;
}

bool CEditUI::Copy() {
    int start = 0;
    int end = 0;
    GetSelection(&start, &end);
    if (m_password || start == end || m_manager == nullptr) return false;
    return WriteClipboardText(m_manager->GetPaintWindow(), GetSelectedText().View());
}

bool CEditUI::Cut() {
    if (m_readOnly || !Copy()) return false;
    return ReplaceSelection(std::wstring_view());
}

bool CEditUI::Paste() {
    std::wstring text;
    if (m_readOnly || m_manager == nullptr || !ReadClipboardText(m_manager->GetPaintWindow(), &text)) return false;
    text = SingleLine(text);
    return !text.empty() && ReplaceSelection(text);
}

std::wstring CEditUI::DisplayText() const {
    if (m_password) return std::wstring(static_cast<size_t>(m_text.Length()), m_passwordChar);
    return m_text.ToWString();
}

int CEditUI::TextWidth(int chars) const {
    if (chars <= 0 || m_manager == nullptr) return 0;
    HDC dc = m_manager->MeasureDC();
    if (dc == nullptr) return 0;
    const std::wstring shown = DisplayText();
    chars = std::min<int>(chars, static_cast<int>(shown.size()));
    HGDIOBJ old = SelectObject(dc, m_manager->FontHandleAt(m_fontIndex));
    SIZE size{};
    GetTextExtentPoint32W(dc, shown.c_str(), chars, &size);
    SelectObject(dc, old);
    return size.cx;
}

int CEditUI::IndexAtX(int x) const {
    const int target = x - TextArea().left + m_scrollX;
    // Prefix widths grow with the length: find the first one at or past the point, then
    // take whichever boundary is nearer.
    int low = 0;
    int high = m_text.Length();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (TextWidth(middle) < target) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    if (low > 0 && target - TextWidth(low - 1) < TextWidth(low) - target) return low - 1;
    return low;
}

int CEditUI::CaretX() const {
    return TextArea().left - m_scrollX + TextWidth(m_caret);
}

void CEditUI::KeepCaretVisible() {
    const RECT area = TextArea();
    const int visible = std::max<int>(0, area.right - area.left - 1);
    const int caret = TextWidth(m_caret);
    const int total = TextWidth(m_text.Length());
    if (caret - m_scrollX > visible) m_scrollX = caret - visible;
    if (caret < m_scrollX) m_scrollX = caret;
    // No blank room after the text while some of it is scrolled out on the left.
    if (total - m_scrollX < visible) m_scrollX = std::max(0, total - visible);
}

void CEditUI::MoveCaret(int index, bool extend) {
    m_caret = std::clamp(index, 0, m_text.Length());
    if (!extend) m_anchor = m_caret;
    KeepCaretVisible();
    if (m_focused) RestartBlink();
    Repaint();
}

void CEditUI::RestartBlink() {
    m_caretOn = true;
    if (m_manager == nullptr) return;
    m_manager->StopControlTimer(this, kCaretTimerId);
    m_manager->StartControlTimer(this, kCaretTimerId, kCaretBlinkMs);
}

void CEditUI::StopBlink() {
    m_caretOn = false;
    if (m_manager != nullptr) m_manager->StopControlTimer(this, kCaretTimerId);
}

bool CEditUI::HandleKey(WORD key) {
    // Keys may have gone down before the focus came here, so the keyboard state counts too.
    const bool shift = m_shiftDown || GetKeyState(VK_SHIFT) < 0;
    const bool control = m_controlDown || GetKeyState(VK_CONTROL) < 0;
    int start = 0;
    int end = 0;
    GetSelection(&start, &end);
    if (control) {
        switch (key) {
            case 'A':
                SelectAll();
                return true;
            case 'C':
                Copy();
                return true;
            case 'X':
                Cut();
                return true;
            case 'V':
                Paste();
                return true;
            default:
                break;
        }
    }
    switch (key) {
        case VK_LEFT:
            MoveCaret(start != end && !shift ? start : m_caret - 1, shift);
            return true;
        case VK_RIGHT:
            MoveCaret(start != end && !shift ? end : m_caret + 1, shift);
            return true;
        case VK_HOME:
            MoveCaret(0, shift);
            return true;
        case VK_END:
            MoveCaret(m_text.Length(), shift);
            return true;
        case VK_BACK:
        case VK_DELETE:
            if (start == end) {
                if (key == VK_BACK && start == 0) return true;
                if (key == VK_DELETE && end == m_text.Length()) return true;
                SetSelection(key == VK_BACK ? start - 1 : start, key == VK_BACK ? start : start + 1);
            }
            ReplaceSelection(std::wstring_view());
            return true;
        case VK_RETURN:
            if (m_manager != nullptr) m_manager->RaiseNotify(this, L"return");
            return true;
        default:
            return false;
    }
}

void CEditUI::HandleEvent(UIEventRecord& event) {
    if (IsMouseEvent(event.type) && (!m_acceptsMouse || !IsUsable())) {
        if (m_parent != nullptr) m_parent->HandleEvent(event);
        return;
    }
    switch (event.type) {
        case UIEventType::SetCursor:
            if (m_manager != nullptr) m_manager->SetCursorShape(UICursor::IBeam);
            return;
        case UIEventType::ButtonDown:
            if (!m_focused) TakeFocus();
            MoveCaret(IndexAtX(event.mouse.x), (event.keyState & MK_SHIFT) != 0);
            m_selecting = true;
            return;
        case UIEventType::DoubleClick:
            if (!m_focused) TakeFocus();
            SelectAll();
            return;
        case UIEventType::MouseMove:
            if (m_selecting) MoveCaret(IndexAtX(event.mouse.x), true);
            return;
        case UIEventType::ButtonUp:
        case UIEventType::CaptureLost:
            m_selecting = false;
            return;
        case UIEventType::MouseEnter:
        case UIEventType::MouseLeave:
            m_hot = event.type == UIEventType::MouseEnter;
            Repaint();
            return;
        case UIEventType::KeyDown:
            if (event.key == VK_SHIFT) m_shiftDown = true;
            if (event.key == VK_CONTROL) m_controlDown = true;
            if (IsUsable() && HandleKey(event.key)) return;
            break;
        case UIEventType::KeyUp:
            if (event.key == VK_SHIFT) m_shiftDown = false;
            if (event.key == VK_CONTROL) m_controlDown = false;
            return;
        case UIEventType::Char: {
            // The record's key field is 16 bits; the message carries the whole character.
            const auto ch = static_cast<wchar_t>(event.wParam);
            if (IsUsable() && IsTextCharacter(ch)) ReplaceSelection(std::wstring_view(&ch, 1));
            return;
        }
        case UIEventType::SetFocus:
            CLabelUI::HandleEvent(event);
            RestartBlink();
            return;
        case UIEventType::KillFocus:
            m_shiftDown = m_controlDown = m_selecting = false;
            StopBlink();
            break;
        case UIEventType::Timer:
            if (event.wParam != kCaretTimerId) break;
            m_caretOn = !m_caretOn;
            Repaint();
            return;
        default:
            break;
    }
    CLabelUI::HandleEvent(event);
}

void CEditUI::ApplyAttribute(std::wstring_view name, std::wstring_view value) {
    int number = 0;
    DWORD color = 0;
    if (name == L"maxchar") {
        if (ParseInt(value, &number)) SetMaxChars(number);
    } else if (name == L"password") {
        SetPasswordMode(ParseBool(value));
    } else if (name == L"passwordchar") {
        if (value.size() == 1 && IsTextCharacter(value[0])) {
            m_passwordChar = value[0];
            Repaint();
        }
    } else if (name == L"numberonly") {
        SetNumberOnly(ParseBool(value));
    } else if (name == L"readonly") {
        SetReadOnly(ParseBool(value));
    } else if (name == L"selectedbkcolor") {
        if (ParseColor(value, &color)) m_selectedBackColor = color;
    } else if (name == L"normalimage") {
        m_normalImage = CUIString(value);
    } else if (name == L"hotimage") {
        m_hotImage = CUIString(value);
    } else if (name == L"focusedimage") {
        m_focusedImage = CUIString(value);
    } else if (name == L"disabledimage") {
        m_disabledImage = CUIString(value);
    } else {
        CLabelUI::ApplyAttribute(name, value);
    }
}

void CEditUI::RenderStateImage(HDC hdc) {
    const CUIString* image = &m_normalImage;
    if (!IsUsable() && !m_disabledImage.IsEmpty()) {
        image = &m_disabledImage;
    } else if (m_focused && !m_focusedImage.IsEmpty()) {
        image = &m_focusedImage;
    } else if (m_hot && !m_hotImage.IsEmpty()) {
        image = &m_hotImage;
    }
    if (!image->IsEmpty()) DrawSkinImage(hdc, *image);
}

void CEditUI::RenderCaption(HDC hdc) {
    if (m_manager == nullptr) return;
    const RECT area = TextArea();
    if (area.right <= area.left || area.bottom <= area.top) return;
    CUIRenderClip clip;
    clip.ClipToRect(hdc, area);
    const int origin = area.left - m_scrollX;
    int start = 0;
    int end = 0;
    GetSelection(&start, &end);
    if (m_focused && start != end) {
        const RECT selection{origin + TextWidth(start), area.top, origin + TextWidth(end), area.bottom};
        CUIRenderEngine::FillColor(hdc, selection, AdjustedColor(m_selectedBackColor));
    }
    const std::wstring shown = DisplayText();
    const DWORD color = AdjustedColor(CurrentTextColor());
    if (!shown.empty()) {
        RECT line{origin, area.top, origin + TextWidth(m_text.Length()) + 1, area.bottom};
        CUIRenderEngine::DrawPlainText(hdc, m_manager, line, shown, color, m_fontIndex,
                                       DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    if (m_focused && m_caretOn) {
        const UIFontRecord* font = m_manager->FontRecordAt(m_fontIndex);
        const int height = std::min<int>(font != nullptr ? font->tm.tmHeight : 0, area.bottom - area.top);
        const int top = area.top + (area.bottom - area.top - height) / 2;
        const int x = CaretX();
        CUIRenderEngine::FillColor(hdc, RECT{x, top, x + 1, top + height}, color | 0xFF000000);
    }
}

}  // namespace SkinUI
