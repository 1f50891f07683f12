#include "ui/controls/DateTimeUI.h"

#include <new>

#include "platform/commctrl/CalendarDate.h"
#include "platform/commctrl/CommCtrl.h"
#include "platform/sync/Clock.h"
#include "platform/window/Focus.h"
#include "platform/window/MessageApi.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowPos.h"
#include "ui/core/PaintManager.h"

namespace SkinUI {

namespace {

// Takes year, month and day from text in the field's own form ("%4d-%02d-%02d") when it
// names a date the picker can hold; false, leaving `date`, otherwise.
bool ReadCaptionDate(std::wstring_view text, SYSTEMTIME* date) {
    if (text.size() != 10 || text[4] != L'-' || text[7] != L'-') return false;
    auto number = [text](size_t from, size_t count, bool leadingSpaces, int* out) {
        int value = 0;
        bool digits = false;
        for (size_t i = from; i < from + count; ++i) {
            if (text[i] == L' ' && leadingSpaces && !digits) continue;
            if (text[i] < L'0' || text[i] > L'9') return false;
            digits = true;
            value = value * 10 + (text[i] - L'0');
        }
        *out = value;
        return digits;
    };
    int year = 0, month = 0, day = 0;
    if (!number(0, 4, true, &year) || !number(5, 2, false, &month) || !number(8, 2, false, &day)) return false;
    SYSTEMTIME read = *date;
    read.wYear = static_cast<WORD>(year);
    read.wMonth = static_cast<WORD>(month);
    read.wDay = static_cast<WORD>(day);
    if (!platform::IsPickerDate(read)) return false;
    *date = platform::WithDayOfWeek(read);
    return true;
}

}  // namespace

CDateTimeUI::CDateTimeUI() {
    GetLocalTime(&m_date);
    m_valueState = ValueState::Taken;
    UpdateText();
    m_valueState = ValueState::OpenOrNone;
}

CDateTimeUI::~CDateTimeUI() {
    // An open picker would write into this field when it loses the focus or closes.
    if (m_picker != nullptr) {
        CDateTimeWnd* picker = m_picker;
        m_picker = nullptr;
        picker->Abandon();
    }
}

const wchar_t* CDateTimeUI::GetClassTag() const {
    return L"DateTimeUI";
}

void* CDateTimeUI::QueryFacet(std::wstring_view name) {
    if (name == L"DateTime") return this;
    return CLabelUI::QueryFacet(name);
}

UINT CDateTimeUI::GetBehaviourFlags() const {
    return CLabelUI::GetBehaviourFlags() | (IsUsable() ? kBehaviourWantsSetCursor : 0);
}

HWND CDateTimeUI::GetPickerWindow() const {
    return m_picker != nullptr ? m_picker->GetHWND() : nullptr;
}

void CDateTimeUI::UpdateText() {
    if (m_valueState == ValueState::Cleared) {
        SetCaption(CUIString());
    } else if (m_valueState == ValueState::Taken) {
        CUIString text;
        text.FormatShort(L"%4d-%02d-%02d", m_date.wYear, m_date.wMonth, m_date.wDay);
        SetCaption(text);
    }
}

void CDateTimeUI::OpenPicker() {
    if (m_picker == nullptr) m_picker = new (std::nothrow) CDateTimeWnd();
    if (m_picker == nullptr) return;
    if (!m_picker->Init(this)) {
        // A picker object makes its window only once: a new one tries again next time.
        delete m_picker;
        m_picker = nullptr;
        return;
    }
    m_picker->ShowHwnd(true, true);
}

void CDateTimeUI::HandleEvent(UIEventRecord& event) {
    if (IsMouseEvent(event.type) && !AcceptsMouse()) {
        if (m_parent != nullptr) {
            m_parent->HandleEvent(event);
        } else {
            CLabelUI::HandleEvent(event);
        }
        return;
    }
    switch (event.type) {
        case UIEventType::SetCursor:
            if (!IsUsable()) break;
            if (m_manager != nullptr) m_manager->SetCursorShape(UICursor::IBeam);
            return;
        case UIEventType::WindowSize:
            // Moving the focus on closes the picker, which would no longer lie over the field.
            if (m_picker != nullptr && m_manager != nullptr) m_manager->FocusNextTabStop(this);
            break;
        case UIEventType::ScrollWheel:
            // The picker stays where it was opened: the field under it must not scroll away.
            if (m_picker != nullptr) return;
            break;
        case UIEventType::SetFocus:
            if (!IsUsable()) break;
            if (m_picker != nullptr) return;
            OpenPicker();
            break;
        case UIEventType::KillFocus:
            if (!IsUsable()) break;
            // Focus taken away without the keyboard moving (the field hidden): the picker
            // still has the keyboard and would stay open over nothing; it closes on losing it.
            if (m_picker != nullptr && m_manager != nullptr && m_picker->GetHWND() != nullptr &&
                GetFocus() == m_picker->GetHWND() && m_manager->GetPaintWindow() != nullptr) {
                SetFocus(m_manager->GetPaintWindow());
            }
            Repaint();
            break;
        case UIEventType::ButtonDown:
        case UIEventType::RightButtonDown:
        case UIEventType::DoubleClick:
            if (IsUsable()) {
                if (m_manager != nullptr) m_manager->ReleaseMouse();
                // The press is what gives the field the focus, which opens the picker.
                if (!HasFocus()) TakeFocus();
                // An open picker is refreshed from the field and shown again.
                if (HasFocus() || m_picker != nullptr) OpenPicker();
            }
            return;
        case UIEventType::MouseMove:
        case UIEventType::ButtonUp:
        case UIEventType::ContextMenu:
        case UIEventType::MouseEnter:
        case UIEventType::MouseLeave:
            return;
        default:
            break;
    }
    CLabelUI::HandleEvent(event);
}

LPCWSTR CDateTimeWnd::RegisteredClassName() const {
    return L"DateTimeWnd";
}

LPCWSTR CDateTimeWnd::SuperclassName() const {
    return DATETIMEPICK_CLASSW;
}

bool CDateTimeWnd::Init(CDateTimeUI* owner) {
    m_owner = owner;
    owner->m_valueState = CDateTimeUI::ValueState::OpenOrNone;
    CUIPaintManager* manager = owner->GetOwnerManager();
    if (m_hwnd == nullptr && !m_creationTried) {
        m_creationTried = true;
        if (manager == nullptr ||
            CreateHwndInRect(manager->GetPaintWindow(), WS_CHILD, 0, owner->GetBounds()) == nullptr) {
            return false;
        }
        const UIFontRecord* font = manager->FontRecordAt(owner->m_fontIndex);
        SendMessageW(m_hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font != nullptr ? font->handle : nullptr), TRUE);
    }
    if (m_hwnd == nullptr) return false;
    // The caption may hold a date the application or the skin put there: the picker starts from it.
    if (owner->GetCaption().IsEmpty()) {
        GetLocalTime(&owner->m_date);
    } else {
        ReadCaptionDate(owner->GetCaption().View(), &owner->m_date);
    }
    SendMessageW(m_hwnd, DTM_SETSYSTEMTIME, static_cast<WPARAM>(GDT_VALID), reinterpret_cast<LPARAM>(&owner->m_date));
    ShowWindow(m_hwnd, SW_SHOWNOACTIVATE);
    SetFocus(m_hwnd);
    return true;
}

void CDateTimeWnd::Abandon() {
    m_owner = nullptr;
    // The window's last message deletes this object; without a window nothing else will.
    if (m_hwnd != nullptr && IsWindow(m_hwnd)) {
        DestroyWindow(m_hwnd);
    } else {
        delete this;
    }
}

LRESULT CDateTimeWnd::OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_KILLFOCUS:
            return OnKillFocus(message, wParam, lParam);
        case WM_KEYUP:
            if (wParam == VK_DELETE || wParam == VK_BACK) {
                const LRESULT result = DefWindowProcW(m_hwnd, message, wParam, lParam);
                if (m_owner != nullptr) {
                    m_owner->m_valueState = CDateTimeUI::ValueState::Cleared;
                    m_owner->UpdateText();
                }
                PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
                return result;
            }
            if (wParam == VK_ESCAPE) {
                const LRESULT result = DefWindowProcW(m_hwnd, message, wParam, lParam);
                if (m_owner != nullptr) m_owner->m_valueState = CDateTimeUI::ValueState::Cancelled;
                PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
                return result;
            }
            break;
        default:
            break;
    }
    return CWindowWnd::OnWindowMessage(message, wParam, lParam);
}

LRESULT CDateTimeWnd::OnKillFocus(UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT result = DefWindowProcW(m_hwnd, message, wParam, lParam);
    if (m_owner != nullptr && m_owner->m_valueState == CDateTimeUI::ValueState::OpenOrNone) {
        SYSTEMTIME picked{};
        if (SendMessageW(m_hwnd, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&picked)) == GDT_VALID)
            m_owner->m_date = picked;
        m_owner->m_valueState = CDateTimeUI::ValueState::Taken;
        m_owner->UpdateText();
    }
    PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
    return result;
}

void CDateTimeWnd::OnLastMessage(HWND /*hwnd*/) {
    if (m_owner != nullptr) m_owner->m_picker = nullptr;
    delete this;
}

}  // namespace SkinUI
