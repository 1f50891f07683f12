// The site through which a hosted ActiveX object talks to its CActiveXUI: client site,
// windowless in-place site, control site and object-with-site, and the in-place frame
// (CActiveXFrameWnd) it hands to the object.
//
// UI thread only. The site is reference counted and may outlive the control: the
// control cuts it off (Detach) when it lets the object go, after which every call that
// needs the control answers E_UNEXPECTED; it then also lets go of what the object handed
// over, so an object that keeps its site does not keep itself alive through it. The site owns the windowed object's
// host window (CActiveXWnd) and destroys it when the object leaves in-place activation
// or the site dies; it holds one reference each on the object's view and in-place object.
// A frame keeps a reference on its site, so it reaches the control only as long as the
// site does.
#pragma once

#include "platform/com/OleEmbedding.h"

namespace SkinUI {

class CActiveXUI;
class CActiveXWnd;

class CActiveXCtrl final : public IOleClientSite,
                           public IOleInPlaceSiteWindowless,
                           public IOleControlSite,
                           public IObjectWithSite {
public:
    explicit CActiveXCtrl(CActiveXUI* owner);

    CActiveXUI* GetOwner() const { return m_owner; }
    // Forgets the owner, the host window and the object's view and in-place object.
    void Detach();
    IViewObject* GetView() const { return m_view; }
    // Takes over one reference.
    void SetView(IViewObject* view);
    IOleInPlaceObject* GetInPlaceObject() const { return m_inPlaceObject; }
    // The in-place object as its windowless interface, or null when the object is windowed.
    IOleInPlaceObjectWindowless* GetWindowlessObject() const;
    bool IsWindowless() const { return m_windowless; }
    bool IsInPlaceActive() const { return m_inPlaceActive; }
    bool IsUIActivated() const { return m_uiActivated; }
    bool IsCaptured() const { return m_captured; }
    bool IsFocused() const { return m_focused; }
    void SetFocused(bool focused) { m_focused = focused; }
    CActiveXWnd* GetHostWindowObject() const { return m_window; }
    // Makes the windowed object's host window unless it exists; E_UNEXPECTED without an
    // owner, E_FAIL when the window cannot be made.
    HRESULT CreateActiveXWnd();

    // IUnknown (shared by every part)
    HRESULT QueryInterface(REFIID iid, void** object) noexcept override;
    ULONG AddRef() noexcept override;
    ULONG Release() noexcept override;

    // IOleClientSite
    HRESULT SaveObject() noexcept override;
    HRESULT GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) noexcept override;
    HRESULT GetContainer(IOleContainer** container) noexcept override;
    HRESULT ShowObject() noexcept override;
    HRESULT OnShowWindow(BOOL show) noexcept override;
    HRESULT RequestNewObjectLayout() noexcept override;

    // IOleWindow
    HRESULT GetWindow(HWND* hwnd) noexcept override;
    HRESULT ContextSensitiveHelp(BOOL enterMode) noexcept override;

    // IOleInPlaceSite
    HRESULT CanInPlaceActivate() noexcept override;
    HRESULT OnInPlaceActivate() noexcept override;
    HRESULT OnUIActivate() noexcept override;
    HRESULT GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position, RECT* clip,
                             OLEINPLACEFRAMEINFO* frameInfo) noexcept override;
    HRESULT Scroll(SIZE extent) noexcept override;
    HRESULT OnUIDeactivate(BOOL undoable) noexcept override;
    HRESULT OnInPlaceDeactivate() noexcept override;
    HRESULT DiscardUndoState() noexcept override;
    HRESULT DeactivateAndUndo() noexcept override;
    HRESULT OnPosRectChange(const RECT* position) noexcept override;

    // IOleInPlaceSiteEx
    HRESULT OnInPlaceActivateEx(BOOL* noRedraw, DWORD flags) noexcept override;
    HRESULT OnInPlaceDeactivateEx(BOOL noRedraw) noexcept override;
    HRESULT RequestUIActivate() noexcept override;

    // IOleInPlaceSiteWindowless
    HRESULT CanWindowlessActivate() noexcept override;
    HRESULT GetCapture() noexcept override;
    HRESULT SetCapture(BOOL capture) noexcept override;
    HRESULT GetFocus() noexcept override;
    HRESULT SetFocus(BOOL focus) noexcept override;
    HRESULT GetDC(const RECT* rect, DWORD flags, HDC* hdc) noexcept override;
    HRESULT ReleaseDC(HDC hdc) noexcept override;
    HRESULT InvalidateRect(const RECT* rect, BOOL erase) noexcept override;
    HRESULT InvalidateRgn(HRGN region, BOOL erase) noexcept override;
    HRESULT ScrollRect(INT dx, INT dy, const RECT* scroll, const RECT* clip) noexcept override;
    HRESULT AdjustRect(RECT* rect) noexcept override;
    HRESULT OnDefWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) noexcept override;

    // IOleControlSite
    HRESULT OnControlInfoChanged() noexcept override;
    HRESULT LockInPlaceActive(BOOL lock) noexcept override;
    HRESULT GetExtendedControl(IDispatch** control) noexcept override;
    HRESULT TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) noexcept override;
    HRESULT TranslateAccelerator(MSG* message, DWORD modifiers) noexcept override;
    HRESULT OnFocus(BOOL gotFocus) noexcept override;
    HRESULT ShowPropertyFrame() noexcept override;

    // IObjectWithSite
    HRESULT SetSite(IUnknown* site) noexcept override;
    HRESULT GetSite(REFIID iid, void** site) noexcept override;

private:
    ~CActiveXCtrl();
    // The control rectangle in the co-ordinates of the window the object draws in.
    RECT ObjectRect() const;
    HWND HostWindow() const;
    void ReleaseInPlaceObject();
    void DestroyActiveXWnd();

    ULONG m_refs = 1;
    CActiveXUI* m_owner;
    CActiveXWnd* m_window = nullptr;
    IUnknown* m_siteUnknown = nullptr;
    IViewObject* m_view = nullptr;
    IOleInPlaceObject* m_inPlaceObject = nullptr;
    bool m_focused = false;
    bool m_captured = false;
    bool m_uiActivated = false;
    bool m_inPlaceActive = false;
    bool m_windowless = true;
    // Made for the first frame info and kept for every later one, so an object that
    // keeps it never holds a destroyed table.
    HACCEL m_accelerators = nullptr;
    HWND m_dcWindow = nullptr;  // the window of the DC given out by GetDC
};

// The in-place frame given to the object: the control's paint window, no menus, tools
// or status line.
class CActiveXFrameWnd final : public IOleInPlaceFrame {
public:
    explicit CActiveXFrameWnd(CActiveXCtrl* site);

    HRESULT QueryInterface(REFIID iid, void** object) noexcept override;
    ULONG AddRef() noexcept override;
    ULONG Release() noexcept override;
    HRESULT GetWindow(HWND* hwnd) noexcept override;
    HRESULT ContextSensitiveHelp(BOOL enterMode) noexcept override;
    HRESULT GetBorder(RECT* border) noexcept override;
    HRESULT RequestBorderSpace(const RECT* widths) noexcept override;
    HRESULT SetBorderSpace(const RECT* widths) noexcept override;
    HRESULT SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR name) noexcept override;
    HRESULT InsertMenus(HMENU shared, OLEMENUGROUPWIDTHS* widths) noexcept override;
    HRESULT SetMenu(HMENU shared, HOLEMENU descriptor, HWND activeObject) noexcept override;
    HRESULT RemoveMenus(HMENU shared) noexcept override;
    HRESULT SetStatusText(LPCOLESTR text) noexcept override;
    HRESULT EnableModeless(BOOL enable) noexcept override;
    HRESULT TranslateAccelerator(MSG* message, WORD id) noexcept override;

    IOleInPlaceActiveObject* GetActiveObject() const { return m_activeObject; }

private:
    ~CActiveXFrameWnd();

    ULONG m_refs = 1;
    CActiveXCtrl* m_site;  // one reference
    IOleInPlaceActiveObject* m_activeObject = nullptr;
};

}  // namespace SkinUI
