// The OLE interfaces between an embedded object (an ActiveX control) and the container
// that hosts it: the object's side (object, view, in-place object), the container's
// side (client site, in-place site, control site, in-place frame) and their constants.
//
// Each interface carries the operations that our hosts and objects call, in the
// direction the host expects; an object or a site implements all of them. Everything is
// called on the thread that owns the container's window, one call at a time, and a
// callee may call straight back into the caller (a DoVerb runs the site's activation
// calls before it returns).
#pragma once

#include "platform/com/OleAuto.h"
#include "platform/window/Accelerator.h"
#include "platform/window/WindowTypes.h"

// Points and sizes as these interfaces pass them (sizes in HIMETRIC, 0.01 mm).
struct POINTL {
    LONG x = 0;
    LONG y = 0;
};
struct SIZEL {
    LONG cx = 0;
    LONG cy = 0;
};
struct POINTF {
    float x = 0;
    float y = 0;
};
struct RECTL {
    LONG left = 0;
    LONG top = 0;
    LONG right = 0;
    LONG bottom = 0;
};

using HOLEMENU = HANDLE;
struct OLEMENUGROUPWIDTHS;
struct DVTARGETDEVICE;
struct IMoniker;
class IDropTarget;
class IDataObject;

// What the in-place frame gives an object (IOleInPlaceSite::GetWindowContext).
struct OLEINPLACEFRAMEINFO {
    UINT cb = 0;
    BOOL fMDIApp = FALSE;
    HWND hwndFrame = nullptr;
    HACCEL haccel = nullptr;
    UINT cAccelEntries = 0;
};

inline constexpr DWORD DVASPECT_CONTENT = 1;

inline constexpr LONG OLEIVERB_PRIMARY = 0;
inline constexpr LONG OLEIVERB_SHOW = -1;
inline constexpr LONG OLEIVERB_HIDE = -3;
inline constexpr LONG OLEIVERB_UIACTIVATE = -4;
inline constexpr LONG OLEIVERB_INPLACEACTIVATE = -5;

inline constexpr DWORD OLEMISC_ACTIVATEWHENVISIBLE = 0x100;
inline constexpr DWORD OLEMISC_INVISIBLEATRUNTIME = 0x400;
inline constexpr DWORD OLEMISC_NOUIACTIVATE = 0x4000;
inline constexpr DWORD OLEMISC_SETCLIENTSITEFIRST = 0x20000;

inline constexpr DWORD OLECLOSE_SAVEIFDIRTY = 0;
inline constexpr DWORD OLECLOSE_NOSAVE = 1;

// IOleInPlaceSiteEx::OnInPlaceActivateEx flags.
inline constexpr DWORD ACTIVATE_WINDOWLESS = 1;

// IOleInPlaceSiteWindowless::GetDC flags.
inline constexpr DWORD OLEDC_NODRAW = 1;
inline constexpr DWORD OLEDC_PAINTBKGND = 2;
inline constexpr DWORD OLEDC_OFFSCREEN = 4;

// IViewObjectEx::QueryHitPoint results.
inline constexpr DWORD HITRESULT_OUTSIDE = 0;
inline constexpr DWORD HITRESULT_TRANSPARENT = 1;
inline constexpr DWORD HITRESULT_CLOSE = 2;
inline constexpr DWORD HITRESULT_HIT = 3;

inline constexpr HRESULT INPLACE_E_NOTOOLSPACE = static_cast<HRESULT>(0x800401A1);

inline constexpr IID IID_IOleObject = {0x00000112, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IOleInPlaceObject = {
    0x00000113, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IOleWindow = {0x00000114, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IOleInPlaceUIWindow = {
    0x00000115, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IOleInPlaceFrame = {
    0x00000116, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IOleInPlaceActiveObject = {
    0x00000117, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IOleClientSite = {
    0x00000118, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IOleInPlaceSite = {
    0x00000119, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IOleContainer = {0x0000011B, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IViewObject = {0x0000010D, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IViewObject2 = {0x00000127, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IViewObjectEx = {0x3AF24292, 0x0C96, 0x11CE, {0xA0, 0xCF, 0x00, 0xAA, 0x00, 0x60, 0x0A, 0xB8}};
inline constexpr IID IID_IOleControl = {0xB196B288, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IOleControlSite = {
    0xB196B289, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
inline constexpr IID IID_IOleInPlaceObjectWindowless = {
    0x1C2056CC, 0x5EF4, 0x101B, {0x8B, 0xC8, 0x00, 0xAA, 0x00, 0x3E, 0x3B, 0x29}};
inline constexpr IID IID_IOleInPlaceSiteEx = {
    0x9C2CAD80, 0x3424, 0x11CF, {0xB6, 0x70, 0x00, 0xAA, 0x00, 0x4C, 0xD6, 0xD8}};
inline constexpr IID IID_IOleInPlaceSiteWindowless = {
    0x922EADA0, 0x3424, 0x11CF, {0xB6, 0x70, 0x00, 0xAA, 0x00, 0x4C, 0xD6, 0xD8}};
inline constexpr IID IID_IObjectWithSite = {
    0xFC4801A3, 0x2BA9, 0x11CF, {0xA2, 0x29, 0x00, 0xAA, 0x00, 0x3D, 0x73, 0x52}};
inline constexpr IID IID_IPersistStreamInit = {
    0x7FD52380, 0x4E07, 0x101B, {0xAE, 0x2D, 0x08, 0x00, 0x2B, 0x2E, 0xC7, 0x13}};

struct IOleClientSite;

// ---- the object's side ----

struct IOleObject : IUnknown {
    virtual HRESULT SetClientSite(IOleClientSite* site) noexcept = 0;
    virtual HRESULT SetHostNames(LPCOLESTR containerApp, LPCOLESTR containerObject) noexcept = 0;
    virtual HRESULT Close(DWORD saveOption) noexcept = 0;
    // `parent` is the window the object is to appear in, `position` its place there.
    virtual HRESULT DoVerb(LONG verb, MSG* message, IOleClientSite* site, LONG index, HWND parent,
                           const RECT* position) noexcept = 0;
    virtual HRESULT SetExtent(DWORD aspect, SIZEL* size) noexcept = 0;
    virtual HRESULT GetMiscStatus(DWORD aspect, DWORD* status) noexcept = 0;

protected:
    ~IOleObject() = default;
};

// Marks an object as a control; hosts only ask whether an object has it.
struct IOleControl : IUnknown {
protected:
    ~IOleControl() = default;
};

struct IPersistStreamInit : IUnknown {
    virtual HRESULT InitNew() noexcept = 0;

protected:
    ~IPersistStreamInit() = default;
};

struct IViewObject : IUnknown {
    // Draws into `drawDc` within `bounds` (logical co-ordinates of that DC).
    virtual HRESULT Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* targetDevice, HDC targetInfoDc,
                         HDC drawDc, const RECTL* bounds, const RECTL* windowBounds, BOOL (*continueDrawing)(ULONG_PTR),
                         ULONG_PTR continueArgument) noexcept = 0;

protected:
    ~IViewObject() = default;
};

struct IViewObject2 : IViewObject {
protected:
    ~IViewObject2() = default;
};

struct IViewObjectEx : IViewObject2 {
    // `bounds` is where the object is drawn; `result` one of HITRESULT_*.
    virtual HRESULT QueryHitPoint(DWORD aspect, const RECT* bounds, POINT location, LONG closeHint,
                                  DWORD* result) noexcept = 0;

protected:
    ~IViewObjectEx() = default;
};

struct IOleWindow : IUnknown {
    virtual HRESULT GetWindow(HWND* hwnd) noexcept = 0;
    virtual HRESULT ContextSensitiveHelp(BOOL enterMode) noexcept = 0;

protected:
    ~IOleWindow() = default;
};

struct IOleInPlaceObject : IOleWindow {
    // `position` is the object's place and `clip` the visible part, both in the
    // co-ordinates of the window the object draws in.
    virtual HRESULT SetObjectRects(const RECT* position, const RECT* clip) noexcept = 0;

protected:
    ~IOleInPlaceObject() = default;
};

struct IOleInPlaceObjectWindowless : IOleInPlaceObject {
    // S_OK when the object handled the message, with its result.
    virtual HRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) noexcept = 0;

protected:
    ~IOleInPlaceObjectWindowless() = default;
};

struct IOleInPlaceActiveObject : IOleWindow {
    // S_OK when the object consumed the key message.
    virtual HRESULT TranslateAccelerator(MSG* message) noexcept = 0;

protected:
    ~IOleInPlaceActiveObject() = default;
};

// ---- the container's side ----

struct IOleContainer : IUnknown {
protected:
    ~IOleContainer() = default;
};

struct IOleClientSite : IUnknown {
    virtual HRESULT SaveObject() noexcept = 0;
    virtual HRESULT GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) noexcept = 0;
    virtual HRESULT GetContainer(IOleContainer** container) noexcept = 0;
    virtual HRESULT ShowObject() noexcept = 0;
    virtual HRESULT OnShowWindow(BOOL show) noexcept = 0;
    virtual HRESULT RequestNewObjectLayout() noexcept = 0;

protected:
    ~IOleClientSite() = default;
};

struct IOleInPlaceUIWindow : IOleWindow {
    virtual HRESULT GetBorder(RECT* border) noexcept = 0;
    virtual HRESULT RequestBorderSpace(const RECT* widths) noexcept = 0;
    virtual HRESULT SetBorderSpace(const RECT* widths) noexcept = 0;
    virtual HRESULT SetActiveObject(IOleInPlaceActiveObject* object, LPCOLESTR name) noexcept = 0;

protected:
    ~IOleInPlaceUIWindow() = default;
};

struct IOleInPlaceFrame : IOleInPlaceUIWindow {
    virtual HRESULT InsertMenus(HMENU shared, OLEMENUGROUPWIDTHS* widths) noexcept = 0;
    virtual HRESULT SetMenu(HMENU shared, HOLEMENU descriptor, HWND activeObject) noexcept = 0;
    virtual HRESULT RemoveMenus(HMENU shared) noexcept = 0;
    virtual HRESULT SetStatusText(LPCOLESTR text) noexcept = 0;
    virtual HRESULT EnableModeless(BOOL enable) noexcept = 0;
    virtual HRESULT TranslateAccelerator(MSG* message, WORD id) noexcept = 0;

protected:
    ~IOleInPlaceFrame() = default;
};

struct IOleInPlaceSite : IOleWindow {
    virtual HRESULT CanInPlaceActivate() noexcept = 0;
    virtual HRESULT OnInPlaceActivate() noexcept = 0;
    virtual HRESULT OnUIActivate() noexcept = 0;
    // The frame comes with a reference for the caller; `document` may be set to null.
    virtual HRESULT GetWindowContext(IOleInPlaceFrame** frame, IOleInPlaceUIWindow** document, RECT* position,
                                     RECT* clip, OLEINPLACEFRAMEINFO* frameInfo) noexcept = 0;
    virtual HRESULT Scroll(SIZE extent) noexcept = 0;
    virtual HRESULT OnUIDeactivate(BOOL undoable) noexcept = 0;
    virtual HRESULT OnInPlaceDeactivate() noexcept = 0;
    virtual HRESULT DiscardUndoState() noexcept = 0;
    virtual HRESULT DeactivateAndUndo() noexcept = 0;
    virtual HRESULT OnPosRectChange(const RECT* position) noexcept = 0;

protected:
    ~IOleInPlaceSite() = default;
};

struct IOleInPlaceSiteEx : IOleInPlaceSite {
    virtual HRESULT OnInPlaceActivateEx(BOOL* noRedraw, DWORD flags) noexcept = 0;
    virtual HRESULT OnInPlaceDeactivateEx(BOOL noRedraw) noexcept = 0;
    virtual HRESULT RequestUIActivate() noexcept = 0;

protected:
    ~IOleInPlaceSiteEx() = default;
};

struct IOleInPlaceSiteWindowless : IOleInPlaceSiteEx {
    virtual HRESULT CanWindowlessActivate() noexcept = 0;
    virtual HRESULT GetCapture() noexcept = 0;
    virtual HRESULT SetCapture(BOOL capture) noexcept = 0;
    virtual HRESULT GetFocus() noexcept = 0;
    virtual HRESULT SetFocus(BOOL focus) noexcept = 0;
    virtual HRESULT GetDC(const RECT* rect, DWORD flags, HDC* hdc) noexcept = 0;
    virtual HRESULT ReleaseDC(HDC hdc) noexcept = 0;
    virtual HRESULT InvalidateRect(const RECT* rect, BOOL erase) noexcept = 0;
    virtual HRESULT InvalidateRgn(HRGN region, BOOL erase) noexcept = 0;
    virtual HRESULT ScrollRect(INT dx, INT dy, const RECT* scroll, const RECT* clip) noexcept = 0;
    virtual HRESULT AdjustRect(RECT* rect) noexcept = 0;
    virtual HRESULT OnDefWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) noexcept = 0;

protected:
    ~IOleInPlaceSiteWindowless() = default;
};

struct IOleControlSite : IUnknown {
    virtual HRESULT OnControlInfoChanged() noexcept = 0;
    virtual HRESULT LockInPlaceActive(BOOL lock) noexcept = 0;
    virtual HRESULT GetExtendedControl(IDispatch** control) noexcept = 0;
    virtual HRESULT TransformCoords(POINTL* himetric, POINTF* container, DWORD flags) noexcept = 0;
    virtual HRESULT TranslateAccelerator(MSG* message, DWORD modifiers) noexcept = 0;
    virtual HRESULT OnFocus(BOOL gotFocus) noexcept = 0;
    virtual HRESULT ShowPropertyFrame() noexcept = 0;

protected:
    ~IOleControlSite() = default;
};

struct IObjectWithSite : IUnknown {
    virtual HRESULT SetSite(IUnknown* site) noexcept = 0;
    virtual HRESULT GetSite(REFIID iid, void** site) noexcept = 0;

protected:
    ~IObjectWithSite() = default;
};

// Keeps an object running; the objects of this platform always are, so only the
// argument is checked (E_INVALIDARG for null).
HRESULT OleLockRunning(IUnknown* object, BOOL lock, BOOL lastUnlockCloses);
