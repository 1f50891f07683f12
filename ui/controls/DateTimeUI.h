// The date field: a label that holds a date and shows it as "YYYY-MM-DD", and the
// system date picker that opens over it to edit it.
//
// UI thread only. When the field gets the focus or is pressed it opens its picker, a
// CDateTimeWnd: a child window of the paint window placed exactly over the field, which
// takes the keyboard focus. When the picker loses the focus the picked date becomes the
// field's text; Delete or Backspace empty the text (the held date stays) and Escape keeps
// it as it was; then the picker closes. A picker window frees its object when it is
// destroyed and clears the field's link to it then; a field destroyed while its picker is
// open destroys the picker first, so it never writes into a freed field. The date reaches the application
// only as the caption text: the field raises no notifications of its own.
#pragma once

#include "platform/types/WinTypes.h"
#include "ui/basic/LabelUI.h"
#include "ui/window/WindowWnd.h"

namespace SkinUI {

class CDateTimeWnd;

class CDateTimeUI : public CLabelUI {
public:
    // What the last opening of the picker ended with; the numbers are fixed.
    enum class ValueState : int { OpenOrNone = 0, Taken = 1, Cleared = 2, Cancelled = 3 };

    CDateTimeUI();
    ~CDateTimeUI() override;

    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;
    // The field shows the I-beam over itself, so it asks for set-cursor events.
    UINT GetBehaviourFlags() const override;
    void HandleEvent(UIEventRecord& event) override;

    // The held date; only its year, month and day are shown.
    const SYSTEMTIME& GetDate() const { return m_date; }
    ValueState GetValueState() const { return m_valueState; }
    // The open picker's window, or null.
    HWND GetPickerWindow() const;
    // Sets the caption from the value state: the date when taken, empty when cleared;
    // other states leave it.
    void UpdateText();

private:
    friend class CDateTimeWnd;

    // Makes a picker when there is none and opens (or refreshes and shows) it.
    void OpenPicker();

    SYSTEMTIME m_date{};
    ValueState m_valueState = ValueState::OpenOrNone;
    CDateTimeWnd* m_picker = nullptr;
};

// The picker window over a date field: a superclass of the system date picker that
// reports back to its field. It deletes itself after its window is destroyed.
class CDateTimeWnd : public CWindowWnd {
public:
    // Ties the picker to `owner`, creates its window over the field when there is none yet
    // (only once per object), gives it the field's date and font, shows it and focuses it.
    // False when the window cannot be created.
    bool Init(CDateTimeUI* owner);
    // The owner is going: the picker forgets it and closes at once (its window's last
    // message deletes the object, or this call does when it has no window).
    void Abandon();

protected:
    LPCWSTR RegisteredClassName() const override;
    LPCWSTR SuperclassName() const override;
    LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnLastMessage(HWND hwnd) override;

private:
    LRESULT OnKillFocus(UINT message, WPARAM wParam, LPARAM lParam);

    CDateTimeUI* m_owner = nullptr;
    bool m_creationTried = false;
};

}  // namespace SkinUI
