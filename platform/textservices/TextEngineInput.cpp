// The text services' messages: edit messages, keyboard, mouse, scrolling and the clipboard.
#include <algorithm>
#include <cstring>

#include "platform/strings/StringConv.h"
#include "platform/textservices/TextEngine.h"
#include "platform/window/Clipboard.h"
#include "platform/window/InputRouter.h"
#include "platform/window/Screen.h"

namespace platform::textservices {
namespace {

constexpr int kWheelLines = 3;
constexpr int kZoomStepPercent = 10;
constexpr UINT kUnicodeNoChar = 0xFFFF;

bool KeyDown(int key) {
    return GetKeyState(key) < 0;
}

bool IsKeyMessage(UINT message) {
    return message >= WM_KEYFIRST && message <= WM_KEYLAST;
}

bool IsMouseMessage(UINT message) {
    return message >= WM_MOUSEFIRST && message <= WM_MOUSELAST;
}

POINT PointOf(LPARAM lParam) {
    return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
}

// Copies `text` and a terminating zero into a buffer of `capacity` characters; returns
// the characters copied.
LRESULT CopyOut(const std::wstring& text, wchar_t* buffer, size_t capacity) {
    if (buffer == nullptr || capacity == 0) return 0;
    const size_t n = std::min(text.size(), capacity - 1);
    std::copy_n(text.data(), n, buffer);
    buffer[n] = 0;
    return static_cast<LRESULT>(n);
}

// The same for UTF-8, never cutting a character in two.
LRESULT CopyOutUtf8(const std::wstring& text, char* buffer, size_t capacity) {
    if (buffer == nullptr || capacity == 0) return 0;
    std::string utf8;
    for (const wchar_t c : text) {
        std::string one;
        AppendUtf8(one, static_cast<char32_t>(c));
        if (utf8.size() + one.size() > capacity - 1) break;
        utf8 += one;
    }
    std::memcpy(buffer, utf8.data(), utf8.size());
    buffer[utf8.size()] = 0;
    return static_cast<LRESULT>(utf8.size());
}

}  // namespace

HRESULT CTextEngine::TxSendMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    LRESULT local = 0;
    LRESULT& out = result != nullptr ? *result : local;
    out = 0;
    if (FilteredOut(message, wParam, lParam)) return S_OK;
    const HRESULT hr = Dispatch(message, wParam, lParam, out);
    Update();
    return hr;
}

bool CTextEngine::FilteredOut(UINT& message, WPARAM& wParam, LPARAM& lParam) {
    const bool key = IsKeyMessage(message) && (m_eventMask & ENM_KEYEVENTS) != 0;
    const bool mouse = IsMouseMessage(message) && (m_eventMask & ENM_MOUSEEVENTS) != 0;
    if (!key && !mouse) return false;
    MSGFILTER filter;
    filter.nmhdr.code = EN_MSGFILTER;
    filter.msg = message;
    filter.wParam = wParam;
    filter.lParam = lParam;
    if (m_host->TxNotify(EN_MSGFILTER, &filter) == S_FALSE) return true;
    // The host may have changed the message.
    message = filter.msg;
    wParam = filter.wParam;
    lParam = filter.lParam;
    return false;
}

HRESULT CTextEngine::Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& out) {
    switch (message) {
        case WM_CHAR:
            return OnChar(wParam);
        case WM_UNICHAR:
            if (wParam == kUnicodeNoChar) {
                out = TRUE;
                return S_OK;
            }
            return OnChar(wParam);
        case WM_KEYDOWN:
            return OnKeyDown(static_cast<UINT>(wParam));
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_LBUTTONUP:
        case WM_MOUSEMOVE:
            return OnMouse(message, wParam, lParam);
        case WM_MOUSEWHEEL:
            return OnWheel(wParam);
        case WM_SETCURSOR: {
            POINT point{};
            if (!GetCursorPos(&point) || !m_host->TxScreenToClient(&point)) return S_FALSE;
            return OnTxSetCursor(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, nullptr, nullptr, point.x, point.y);
        }
        case WM_SETFOCUS:
            m_focused = true;
            m_caretCreated = false;
            m_undo.StopMerging();
            if (!SelectionEmpty()) m_invalidAll = true;
            return S_OK;
        case WM_KILLFOCUS:
            m_focused = false;
            if (m_mouseSelecting) {
                m_mouseSelecting = false;
                m_host->TxSetCapture(FALSE);
            }
            HideCaret();
            m_caretCreated = false;
            if (!SelectionEmpty()) m_invalidAll = true;
            return S_OK;
        case WM_VSCROLL:
            return OnScroll(SB_VERT, wParam);
        case WM_HSCROLL:
            return OnScroll(SB_HORZ, wParam);
        case WM_COPY:
            Copy();
            return S_OK;
        case WM_CUT:
            Cut();
            return S_OK;
        case WM_PASTE:
            Paste();
            return S_OK;
        case WM_CLEAR:
            ClearSelection();
            return S_OK;
        case WM_SETTEXT:
            SetText(lParam != 0 ? std::wstring_view(reinterpret_cast<const wchar_t*>(lParam)) : std::wstring_view());
            out = TRUE;
            return S_OK;
        case WM_GETTEXT:
            out = CopyOut(m_store.Text(0, m_store.Length(), CTextStore::Breaks::CrLf),
                          reinterpret_cast<wchar_t*>(lParam), wParam);
            return S_OK;
        case WM_GETTEXTLENGTH:
            out = m_store.Length() + m_store.BreaksIn(0, m_store.Length());
            return S_OK;

        case EM_GETTEXTLENGTHEX: {
            const auto* request = reinterpret_cast<const GETTEXTLENGTHEX*>(wParam);
            if (request == nullptr) return E_INVALIDARG;
            const bool crlf = (request->flags & GTL_USECRLF) != 0;
            if ((request->flags & GTL_NUMBYTES) != 0 && request->codepage != CP_UNICODE) {
                out = static_cast<LRESULT>(
                    Utf8FromWide(
                        m_store.Text(0, m_store.Length(), crlf ? CTextStore::Breaks::CrLf : CTextStore::Breaks::Cr))
                        .size());
            } else {
                out = m_store.Length() + (crlf ? m_store.BreaksIn(0, m_store.Length()) : 0);
            }
            return S_OK;
        }
        case EM_GETTEXTEX: {
            const auto* request = reinterpret_cast<const GETTEXTEX*>(wParam);
            if (request == nullptr || lParam == 0) return E_INVALIDARG;
            const bool selection = (request->flags & GT_SELECTION) != 0;
            const auto breaks = (request->flags & GT_USECRLF) != 0 ? CTextStore::Breaks::CrLf : CTextStore::Breaks::Cr;
            const std::wstring text = selection ? m_store.Text(SelectionStart(), SelectionEnd(), breaks)
                                                : m_store.Text(0, m_store.Length(), breaks);
            if (request->codepage == CP_UNICODE) {
                out = CopyOut(text, reinterpret_cast<wchar_t*>(lParam), request->cb / sizeof(wchar_t));
            } else {
                out = CopyOutUtf8(text, reinterpret_cast<char*>(lParam), request->cb);
            }
            return S_OK;
        }
        case EM_GETSELTEXT: {
            if (lParam == 0) return E_INVALIDARG;
            const std::wstring text = m_store.Text(SelectionStart(), SelectionEnd());
            out = CopyOut(text, reinterpret_cast<wchar_t*>(lParam), text.size() + 1);
            return S_OK;
        }
        case EM_EXGETSEL: {
            auto* range = reinterpret_cast<CHARRANGE*>(lParam);
            if (range == nullptr) return E_INVALIDARG;
            range->cpMin = SelectionStart();
            range->cpMax = SelectionEnd();
            return S_OK;
        }
        case EM_EXSETSEL: {
            const auto* range = reinterpret_cast<const CHARRANGE*>(lParam);
            if (range == nullptr) return E_INVALIDARG;
            SelectRange(range->cpMin, range->cpMax);
            out = SelectionEnd();
            return S_OK;
        }
        case EM_GETSEL: {
            if (wParam != 0) *reinterpret_cast<DWORD*>(wParam) = static_cast<DWORD>(SelectionStart());
            if (lParam != 0) *reinterpret_cast<DWORD*>(lParam) = static_cast<DWORD>(SelectionEnd());
            const auto packed = [](int value) { return value > 0xFFFF ? WORD{0xFFFF} : static_cast<WORD>(value); };
            out = static_cast<LRESULT>(MAKELONG(packed(SelectionStart()), packed(SelectionEnd())));
            return S_OK;
        }
        case EM_SETSEL:
            SelectRange(static_cast<LONG>(wParam), static_cast<LONG>(lParam));
            return S_OK;
        case EM_REPLACESEL: {
            const auto* text = reinterpret_cast<const wchar_t*>(lParam);
            ReplaceSelection(Incoming(text != nullptr ? std::wstring_view(text) : std::wstring_view()),
                             wParam != 0 ? Undoable::Yes : Undoable::No, UndoRecord::Kind::Other);
            return S_OK;
        }
        case EM_UNDO:
            out = Undo() ? 1 : 0;
            return S_OK;
        case EM_REDO:
            out = Redo() ? 1 : 0;
            return S_OK;
        case EM_CANUNDO:
            out = m_undo.CanUndo() ? 1 : 0;
            return S_OK;
        case EM_CANREDO:
            out = m_undo.CanRedo() ? 1 : 0;
            return S_OK;
        case EM_EMPTYUNDOBUFFER:
            m_undo.Clear();
            return S_OK;
        case EM_POSFROMCHAR: {
            auto* point = reinterpret_cast<POINT*>(wParam);
            if (point == nullptr) return E_INVALIDARG;
            *point = ToClient(m_layout.CaretPoint(static_cast<int>(std::clamp<LPARAM>(lParam, 0, m_store.Length()))));
            return S_OK;
        }
        case EM_CHARFROMPOS: {
            const auto* point = reinterpret_cast<const POINTL*>(lParam);
            if (point == nullptr) return E_INVALIDARG;
            out = m_layout.CharAtPoint(ToDocument(POINT{point->x, point->y}));
            return S_OK;
        }
        case EM_EXLINEFROMCHAR:
        case EM_LINEFROMCHAR: {
            const LPARAM cp = message == EM_EXLINEFROMCHAR ? lParam : static_cast<LPARAM>(static_cast<LONG>(wParam));
            out = m_layout.LineOfChar(cp < 0 ? SelectionStart()
                                             : static_cast<int>(std::min<LPARAM>(cp, m_store.Length())));
            return S_OK;
        }
        case EM_GETLINECOUNT:
            out = m_layout.LineCount();
            return S_OK;
        case EM_LINEINDEX: {
            const auto line = static_cast<LONG>(wParam);
            if (line >= m_layout.LineCount()) {
                out = -1;
                return S_OK;
            }
            out = m_layout.LineAt(line < 0 ? m_layout.LineOfChar(m_active) : line).start;
            return S_OK;
        }
        case EM_LINELENGTH: {
            const auto cp = static_cast<LONG>(wParam);
            out = m_layout.LineAt(m_layout.LineOfChar(cp < 0 ? m_active : std::min<LONG>(cp, m_store.Length()))).length;
            return S_OK;
        }
        case EM_GETFIRSTVISIBLELINE:
            out = m_layout.LineAtY(m_scrollY);
            return S_OK;
        case EM_SCROLLCARET:
            m_followCaret = true;
            return S_OK;
        case EM_SETEVENTMASK:
            out = static_cast<LRESULT>(m_eventMask);
            m_eventMask = static_cast<DWORD>(lParam);
            return S_OK;
        case EM_GETEVENTMASK:
            out = static_cast<LRESULT>(m_eventMask);
            return S_OK;
        case EM_GETZOOM:
            if (wParam == 0 || lParam == 0) return E_INVALIDARG;
            *reinterpret_cast<int*>(wParam) = m_zoomNumerator;
            *reinterpret_cast<int*>(lParam) = m_zoomDenominator;
            out = TRUE;
            return S_OK;
        case EM_SETZOOM:
            out = SetZoom(static_cast<int>(wParam), static_cast<int>(lParam)) ? TRUE : FALSE;
            return S_OK;
        default:
            // Not ours: the caller goes on with its own handling (timers, context menu, help...).
            return S_FALSE;
    }
}

// ---------------------------------------------------------------------------------------------
// Keyboard

HRESULT CTextEngine::OnKeyDown(UINT key) {
    const bool shift = KeyDown(VK_SHIFT);
    const bool control = KeyDown(VK_CONTROL);
    const Extend extend = shift ? Extend::Yes : Extend::No;
    const bool readOnly = Bit(TXTBIT_READONLY);
    switch (key) {
        case VK_LEFT:
        case VK_RIGHT: {
            const int direction = key == VK_RIGHT ? 1 : -1;
            if (!shift && !control && !SelectionEmpty()) {
                const int cp = direction > 0 ? SelectionEnd() : SelectionStart();
                Select(cp, cp);
            } else {
                const int cp = control ? (direction > 0 ? m_layout.WordRight(m_active) : m_layout.WordLeft(m_active))
                                       : m_layout.NextCursorPosition(m_active, direction);
                MoveActive(cp, extend);
            }
            m_desiredX = -1;
            return S_OK;
        }
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT: {
            const POINT caret = m_layout.CaretPoint(m_active);
            const int x = m_desiredX >= 0 ? m_desiredX : caret.x;
            const int line = m_layout.LineOfChar(m_active);
            int target = line;
            if (key == VK_UP) target = line - 1;
            if (key == VK_DOWN) target = line + 1;
            if (key == VK_PRIOR || key == VK_NEXT) {
                const int page = std::max(1, ViewHeight());
                const int y = key == VK_PRIOR ? caret.y - page : caret.y + page;
                target = m_layout.LineAtY(y);
                m_scrollY += key == VK_PRIOR ? -page : page;
                m_invalidAll = true;
            }
            if (target < 0 || target >= m_layout.LineCount()) return S_OK;
            MoveActive(m_layout.CharAtX(target, x), extend);
            m_desiredX = x;
            return S_OK;
        }
        case VK_HOME:
        case VK_END: {
            int cp = 0;
            if (control) {
                cp = key == VK_HOME ? 0 : m_store.Length();
            } else {
                const CLineLayout::Line line = m_layout.LineAt(m_layout.LineOfChar(m_active));
                cp = line.start;
                if (key == VK_END) {
                    cp = line.start + line.length;
                    // A wrapped line ends before the blank it broke at; the next line starts after it.
                    const bool wrapped = line.start + line.length < m_store.ParagraphStart(line.paragraph) +
                                                                        m_store.ParagraphLength(line.paragraph);
                    const wchar_t last = m_store.CharAt(cp - 1);
                    if (wrapped && line.length > 0 && (last == L' ' || last == L'\t')) --cp;
                }
            }
            MoveActive(cp, extend);
            m_desiredX = -1;
            return S_OK;
        }
        case VK_BACK:
            if (readOnly) return S_OK;
            if (!SelectionEmpty()) {
                ReplaceSelection(std::wstring(), Undoable::Yes, UndoRecord::Kind::Other);
            } else if (m_active > 0) {
                const int start = control ? m_layout.WordLeft(m_active) : m_active - 1;
                ReplaceRange(start, m_active, std::wstring(), Undoable::Yes,
                             control ? UndoRecord::Kind::Other : UndoRecord::Kind::Backspace);
            }
            return S_OK;
        case VK_DELETE:
            if (shift) {
                Cut();
                return S_OK;
            }
            if (readOnly) return S_OK;
            if (!SelectionEmpty()) {
                ReplaceSelection(std::wstring(), Undoable::Yes, UndoRecord::Kind::Other);
            } else if (m_active < m_store.Length()) {
                const int end = control ? m_layout.WordRight(m_active) : m_layout.NextCursorPosition(m_active, 1);
                ReplaceRange(m_active, end, std::wstring(), Undoable::Yes,
                             control ? UndoRecord::Kind::Other : UndoRecord::Kind::Delete);
            }
            return S_OK;
        case VK_INSERT:
            if (shift) {
                Paste();
                return S_OK;
            }
            if (control) {
                Copy();
                return S_OK;
            }
            return S_FALSE;
        case VK_RETURN:
            if (!Bit(TXTBIT_MULTILINE)) return S_FALSE;
            if (!readOnly) ReplaceSelection(std::wstring(1, kParagraphBreak), Undoable::Yes, UndoRecord::Kind::Other);
            return S_OK;
        case VK_TAB:
            // The tab itself arrives as a character.
            return control ? S_FALSE : S_OK;
        default:
            break;
    }
    if (!control || KeyDown(VK_MENU)) return S_FALSE;
    switch (key) {
        case 'A':
            Select(0, m_store.Length());
            return S_OK;
        case 'C':
            Copy();
            return S_OK;
        case 'X':
            Cut();
            return S_OK;
        case 'V':
            Paste();
            return S_OK;
        case 'Z':
            if (!readOnly) Undo();
            return S_OK;
        case 'Y':
            if (!readOnly) Redo();
            return S_OK;
        default:
            return S_FALSE;
    }
}

HRESULT CTextEngine::OnChar(WPARAM character) {
    auto c = static_cast<char32_t>(character);
    if (c == 0x1B) return S_FALSE;  // Escape is for the window
    // A character sent as two UTF-16 halves is put together again.
    if (c >= 0xD800 && c <= 0xDBFF) {
        m_highSurrogate = static_cast<wchar_t>(c);
        return S_OK;
    }
    if (c >= 0xDC00 && c <= 0xDFFF) {
        if (m_highSurrogate == 0) return S_OK;
        c = 0x10000 + ((static_cast<char32_t>(m_highSurrogate) - 0xD800) << 10) + (c - 0xDC00);
    }
    m_highSurrogate = 0;
    // Line breaks come from the Enter key, other control characters are no text.
    if ((c < 0x20 && c != U'\t') || c == 0x7F || c > 0x10FFFF) return S_OK;
    if (Bit(TXTBIT_READONLY)) return S_OK;
    ReplaceSelection(std::wstring(1, static_cast<wchar_t>(c)), Undoable::Yes, UndoRecord::Kind::Typing);
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Mouse

HRESULT CTextEngine::OnMouse(UINT message, WPARAM wParam, LPARAM lParam) {
    const POINT document = ToDocument(PointOf(lParam));
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            m_host->TxSetFocus();
            const int cp = m_layout.CharAtPoint(document);
            if (message == WM_LBUTTONDBLCLK) {
                const auto [start, end] = m_layout.WordAt(cp);
                m_wordSelecting = true;
                m_wordAnchorStart = start;
                m_wordAnchorEnd = end;
                Select(start, end);
            } else {
                m_wordSelecting = false;
                MoveActive(cp, (wParam & MK_SHIFT) != 0 ? Extend::Yes : Extend::No);
            }
            m_desiredX = -1;
            if (!m_mouseSelecting) {
                m_mouseSelecting = true;
                m_host->TxSetCapture(TRUE);
            }
            return S_OK;
        }
        case WM_MOUSEMOVE: {
            // Only a selection in progress takes the move; otherwise the window tracks hovering.
            if (!m_mouseSelecting) return S_FALSE;
            if ((wParam & MK_LBUTTON) == 0) {
                // The button went up somewhere we did not hear of.
                m_mouseSelecting = false;
                m_host->TxSetCapture(FALSE);
                return S_OK;
            }
            const int cp = m_layout.CharAtPoint(document);
            if (m_wordSelecting) {
                const auto [start, end] = m_layout.WordAt(cp);
                if (cp < m_wordAnchorStart) {
                    Select(m_wordAnchorEnd, start);
                } else {
                    Select(m_wordAnchorStart, std::max(end, m_wordAnchorEnd));
                }
            } else if (cp != m_active) {
                MoveActive(cp, Extend::Yes);
            }
            return S_OK;
        }
        case WM_LBUTTONUP:
            if (m_mouseSelecting) {
                m_mouseSelecting = false;
                m_host->TxSetCapture(FALSE);
            }
            return S_OK;
        default:
            return S_FALSE;
    }
}

HRESULT CTextEngine::OnWheel(WPARAM wParam) {
    const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
    if (delta == 0) return S_OK;
    const int notches = delta / WHEEL_DELTA != 0 ? delta / WHEEL_DELTA : (delta > 0 ? 1 : -1);
    if ((wParam & MK_CONTROL) != 0) {
        const int current = m_zoomNumerator > 0 ? m_zoomNumerator * 100 / m_zoomDenominator : 100;
        const int wanted = std::clamp(current + notches * kZoomStepPercent, kMinZoomPercent, kMaxZoomPercent);
        SetZoom(wanted, 100);
        return S_OK;
    }
    const int line = m_layout.LineAt(m_layout.LineAtY(m_scrollY)).height;
    ScrollTo(m_scrollX, m_scrollY - notches * kWheelLines * line);
    return S_OK;
}

bool CTextEngine::SetZoom(int numerator, int denominator) {
    if (numerator == 0 && denominator == 0) {
        m_zoomNumerator = m_zoomDenominator = 0;
    } else {
        if (numerator <= 0 || denominator <= 0) return false;
        const double ratio = numerator / static_cast<double>(denominator);
        if (ratio * 100 < kMinZoomPercent || ratio * 100 > kMaxZoomPercent) return false;
        m_zoomNumerator = numerator;
        m_zoomDenominator = denominator;
    }
    RebuildStyle();
    m_followCaret = true;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Scrolling

HRESULT CTextEngine::OnScroll(int bar, WPARAM wParam) {
    const bool vertical = bar == SB_VERT;
    const int position = vertical ? m_scrollY : m_scrollX;
    const int page = std::max(1, vertical ? ViewHeight() : ViewWidth());
    const int line = vertical ? m_layout.LineAt(m_layout.LineAtY(m_scrollY)).height : std::max(8, page / 10);
    const int end = vertical ? m_layout.ContentHeight() : m_layout.ContentWidth();
    int wanted = position;
    switch (LOWORD(wParam)) {
        case SB_LINEUP:
            wanted -= line;
            break;
        case SB_LINEDOWN:
            wanted += line;
            break;
        case SB_PAGEUP:
            wanted -= page;
            break;
        case SB_PAGEDOWN:
            wanted += page;
            break;
        case SB_THUMBPOSITION:
        case SB_THUMBTRACK:
            wanted = ScrollPositionOf(wParam);
            break;
        case SB_TOP:
            wanted = 0;
            break;
        case SB_BOTTOM:
            wanted = end;
            break;
        default:
            return S_OK;
    }
    ScrollTo(vertical ? m_scrollX : wanted, vertical ? wanted : m_scrollY);
    return S_OK;
}

void CTextEngine::ScrollTo(int x, int y) {
    if (x == m_scrollX && y == m_scrollY) return;
    m_scrollX = x;
    m_scrollY = y;
    m_invalidAll = true;
    ClampScroll();
}

// ---------------------------------------------------------------------------------------------
// Clipboard

bool CTextEngine::Copy() {
    if (Bit(TXTBIT_USEPASSWORD) || SelectionEmpty()) return false;
    const std::wstring text = m_store.Text(SelectionStart(), SelectionEnd(), CTextStore::Breaks::CrLf);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    if (memory == nullptr) return false;
    auto* bytes = static_cast<wchar_t*>(GlobalLock(memory));
    if (bytes == nullptr) {
        GlobalFree(memory);
        return false;
    }
    std::copy(text.begin(), text.end(), bytes);
    bytes[text.size()] = 0;
    GlobalUnlock(memory);
    if (!OpenClipboard(nullptr)) {
        GlobalFree(memory);
        return false;
    }
    EmptyClipboard();
    const bool placed = SetClipboardData(CF_UNICODETEXT, memory) != nullptr;
    CloseClipboard();
    if (!placed) GlobalFree(memory);
    return placed;
}

bool CTextEngine::Cut() {
    if (Bit(TXTBIT_READONLY) || !Copy()) return false;
    ReplaceSelection(std::wstring(), Undoable::Yes, UndoRecord::Kind::Other);
    return true;
}

bool CTextEngine::Paste() {
    if (Bit(TXTBIT_READONLY)) return false;
    if (!OpenClipboard(nullptr)) return false;
    std::wstring text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        const auto* chars = static_cast<const wchar_t*>(GlobalLock(static_cast<HGLOBAL>(data)));
        if (chars != nullptr) {
            // The block's size bounds the read, terminated or not.
            const size_t capacity = GlobalSize(static_cast<HGLOBAL>(data)) / sizeof(wchar_t);
            text.assign(chars, std::find(chars, chars + capacity, L'\0'));
            GlobalUnlock(static_cast<HGLOBAL>(data));
        }
    }
    CloseClipboard();
    if (text.empty()) return false;
    return ReplaceSelection(Incoming(text), Undoable::Yes, UndoRecord::Kind::Other);
}

bool CTextEngine::ClearSelection() {
    if (Bit(TXTBIT_READONLY) || SelectionEmpty()) return false;
    ReplaceSelection(std::wstring(), Undoable::Yes, UndoRecord::Kind::Other);
    return true;
}

}  // namespace platform::textservices
