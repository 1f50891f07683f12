// A control that hosts an ActiveX object ("ActiveX" in skins).
//
// The object is made from a class id ("clsid": braced text or a ProgID), through the
// class factory of the module named by "modulename" when that module serves it, else
// through CoCreateInstance. It is created at the control's first layout (unless
// "delaycreate" is "false") and activated in place in one of two ways, whichever the
// object asks for: windowless, drawn by Render into the paint manager's DC and fed the
// paint window's messages through this control's message filter; or windowed, in a
// child window of the paint window (CActiveXWnd) that the control keeps over its
// rectangle and shows and hides with itself. The site object (CActiveXCtrl) answers the
// object's calls and holds what the object hands over (view, in-place object).
//
// UI thread only, with COM initialised on it. The control owns one reference on the
// object and one on the site. ReleaseControl (before every creation and in the
// destructor) closes the object and cuts the site off from the control, so an object
// that keeps its site answers E_UNEXPECTED afterwards instead of reaching a freed
// control. A module that served the object is freed again once it says it can be
// unloaded.
#pragma once

#include <string_view>

#include "platform/com/OleEmbedding.h"
#include "platform/module/Module.h"
#include "ui/core/ControlUI.h"
#include "ui/core/UIEvents.h"

namespace SkinUI {

class CActiveXCtrl;

class CActiveXUI : public CControlUI, public IMessageFilterUI {
public:
    CActiveXUI();
    ~CActiveXUI() override;

    const wchar_t* GetClassTag() const override;
    void* QueryFacet(std::wstring_view name) override;
    // Creates the object at the first layout; then keeps its extent, its in-place
    // rectangles and (windowed) its window on the new bounds.
    void SetBounds(const RECT& bounds) override;
    void Show(bool show) override;
    void SetShownByParent(bool shown) override;
    // "clsid", "modulename", "delaycreate"; others go to the base.
    void ApplyAttribute(std::wstring_view name, std::wstring_view value) override;
    // Only a windowless object is drawn here (a windowed one paints its own window).
    bool Render(HDC hdc, const RECT& paintRect) override;

    // Closes and releases the object and the site; safe to call at any time.
    virtual void ReleaseControl();
    // Releases what is hosted, then creates and activates the object of the current
    // class; false (and no "showactivex") when it cannot be made.
    virtual bool DoCreateControl();

    // Offers the paint window's messages to a shown windowless object: mouse messages only
    // over the object (or while it holds the capture), key messages only while the control
    // has the focus.
    LRESULT FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

    // Braced class id text or a ProgID; false (nothing changed) when it names no class.
    bool SetCLSID(std::wstring_view text);
    // False for CLSID_NULL. Creates at once when creation is not delayed and the control
    // is in a window already; otherwise at the next layout.
    bool CreateControl(const CLSID& clsid);
    const CLSID& GetCLSID() const { return m_clsid; }
    void SetDelayCreate(bool delay);
    bool IsDelayCreate() const { return m_delayCreate; }
    void SetModuleName(std::wstring_view name) { m_moduleName = CUIString(name); }
    const CUIString& GetModuleName() const { return m_moduleName; }
    // Another interface of the hosted object: E_POINTER without `object`, E_PENDING while
    // nothing is hosted.
    HRESULT GetControl(REFIID iid, void** object);
    // The window the object draws in: the paint window (windowless), its own child window
    // (windowed), or null.
    HWND GetHostWindow() const { return m_hostWindow; }
    bool IsCreated() const { return m_created; }

    // Pixels of the screen to HIMETRIC (0.01 mm).
    static SIZEL PixelToHiMetric(SIZE pixels);

    // The paint window of the control's manager, or null.
    HWND PaintWindow() const;

protected:
    // Whether an object may be created now: a class is chosen and the control has a window.
    bool CanCreateNow() const;
    // Whether the keyboard focus is in the host window or a window inside it.
    bool IsFocusInHostWindow() const;
    // Offers a key message to the hosted object's in-place active object while the focus is
    // inside the host window: its answer (S_OK consumed it), else S_FALSE.
    HRESULT TranslateForObject(IUnknown* object, MSG* message) const;
    // Connects `sink` to the `events` connection point of `object`, keeping the connection in
    // `cookie`, or (with `advise` false) ends the connection in `cookie` and clears it; the first
    // failure on the way.
    static HRESULT AdviseEvents(IUnknown* object, REFIID events, IDispatch* sink, bool advise, DWORD& cookie);

    CLSID m_clsid{};
    CUIString m_moduleName;
    bool m_created = false;
    bool m_delayCreate = true;
    IOleObject* m_object = nullptr;
    CActiveXCtrl* m_site = nullptr;
    HWND m_hostWindow = nullptr;

private:
    friend class CActiveXCtrl;
    friend class CActiveXWnd;

    // Through "DllGetClassObject" of the named module; false when any step fails.
    bool CreateFromModule(IOleObject** object);
    void ApplyPlacement();
    void ShowHostWindow();

    HMODULE m_module = nullptr;
};

}  // namespace SkinUI
