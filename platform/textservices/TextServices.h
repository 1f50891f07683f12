// The windowless text services and the text-host interface they are built on.
//
// A host (a control that draws inside some window) creates the text services
// through the "CreateTextServices" entry of the built-in module "riched20.dll"
// and then hands them the window's messages (TxSendMessage), asks them to draw
// (TxDraw) and tells them when its own properties change
// (OnTxPropertyBitsChange). The text services ask the host everything about the
// edit area (rectangle, formats, style, limits) and call it back for caret,
// scroll bars, capture, cursor, invalidation and notifications.
//
// UI thread only: every call comes on the host's thread, and every callback
// runs synchronously inside one of the host's calls. The text services finish
// updating their own state before each callback, because a host may call
// straight back into them (to read positions or to scroll) from a callback.
// The text services keep a plain pointer to the host: the host owns them
// (through the reference CreateTextServices gives it) and must release them
// before it goes away.
#pragma once

#include "platform/com/ComBase.h"
#include "platform/com/DragDrop.h"
#include "platform/gdi/GdiTypes.h"
#include "platform/textservices/RichEdit.h"

XJ_DECLARE_HANDLE(HIMC);

// Property bits (ITextHost::TxGetPropertyBits, ITextServices::OnTxPropertyBitsChange).
inline constexpr DWORD TXTBIT_RICHTEXT = 0x00000001;
inline constexpr DWORD TXTBIT_MULTILINE = 0x00000002;
inline constexpr DWORD TXTBIT_READONLY = 0x00000004;
inline constexpr DWORD TXTBIT_SHOWACCELERATOR = 0x00000008;
inline constexpr DWORD TXTBIT_USEPASSWORD = 0x00000010;
inline constexpr DWORD TXTBIT_HIDESELECTION = 0x00000020;
inline constexpr DWORD TXTBIT_SAVESELECTION = 0x00000040;
inline constexpr DWORD TXTBIT_AUTOWORDSEL = 0x00000080;
inline constexpr DWORD TXTBIT_VERTICAL = 0x00000100;
inline constexpr DWORD TXTBIT_SELBARCHANGE = 0x00000200;
inline constexpr DWORD TXTBIT_WORDWRAP = 0x00000400;
inline constexpr DWORD TXTBIT_ALLOWBEEP = 0x00000800;
inline constexpr DWORD TXTBIT_DISABLEDRAG = 0x00001000;
inline constexpr DWORD TXTBIT_VIEWINSETCHANGE = 0x00002000;
inline constexpr DWORD TXTBIT_BACKSTYLECHANGE = 0x00004000;
inline constexpr DWORD TXTBIT_MAXLENGTHCHANGE = 0x00008000;
inline constexpr DWORD TXTBIT_SCROLLBARCHANGE = 0x00010000;
inline constexpr DWORD TXTBIT_CHARFORMATCHANGE = 0x00020000;
inline constexpr DWORD TXTBIT_PARAFORMATCHANGE = 0x00040000;
inline constexpr DWORD TXTBIT_EXTENTCHANGE = 0x00080000;
inline constexpr DWORD TXTBIT_CLIENTRECTCHANGE = 0x00100000;

enum TXTBACKSTYLE : int { TXTBACK_TRANSPARENT = 0, TXTBACK_OPAQUE = 1 };

inline constexpr DWORD TXTNS_FITTOCONTENT = 1;
inline constexpr DWORD TXTNS_ROUNDTOLINE = 2;
inline constexpr LONG TXTVIEW_ACTIVE = 0;
inline constexpr LONG TXTVIEW_INACTIVE = -1;

inline constexpr IID IID_ITextServices = {0x8d33f740, 0xcf58, 0x11ce, {0xa8, 0x9d, 0x00, 0xaa, 0x00, 0x6c, 0xad, 0xc5}};
inline constexpr IID IID_ITextHost = {0xc5bdd8d0, 0xd26e, 0x11ce, {0xa8, 0x9e, 0x00, 0xaa, 0x00, 0x6c, 0xad, 0xc5}};

class ITextHost : public IUnknown {
public:
    // The DC the text services measure with (a window DC of the host's window).
    virtual HDC TxGetDC() = 0;
    virtual INT TxReleaseDC(HDC hdc) = 0;
    // `bar` SB_HORZ, SB_VERT or SB_BOTH.
    virtual BOOL TxShowScrollBar(INT bar, BOOL show) = 0;
    virtual BOOL TxEnableScrollBar(INT bars, INT arrows) = 0;
    // The content's extent in pixels on that axis: max - min is the content size.
    virtual BOOL TxSetScrollRange(INT bar, LONG minPosition, INT maxPosition, BOOL redraw) = 0;
    virtual BOOL TxSetScrollPos(INT bar, INT position, BOOL redraw) = 0;
    // Null: the whole client rectangle.
    virtual void TxInvalidateRect(const RECT* rect, BOOL mode) = 0;
    virtual void TxViewChange(BOOL update) = 0;
    virtual BOOL TxCreateCaret(HBITMAP bitmap, INT width, INT height) = 0;
    virtual BOOL TxShowCaret(BOOL show) = 0;
    virtual BOOL TxSetCaretPos(INT x, INT y) = 0;
    virtual BOOL TxSetTimer(UINT id, UINT timeout) = 0;
    virtual void TxKillTimer(UINT id) = 0;
    virtual void TxScrollWindowEx(INT dx, INT dy, const RECT* scroll, const RECT* clip, HRGN updateRegion, RECT* update,
                                  UINT flags) = 0;
    virtual void TxSetCapture(BOOL capture) = 0;
    virtual void TxSetFocus() = 0;
    virtual void TxSetCursor(HCURSOR cursor, BOOL text) = 0;
    virtual BOOL TxScreenToClient(POINT* point) = 0;
    virtual BOOL TxClientToScreen(POINT* point) = 0;
    virtual HRESULT TxActivate(LONG* oldState) = 0;
    virtual HRESULT TxDeactivate(LONG newState) = 0;
    // The text area in the host window's client co-ordinates.
    virtual HRESULT TxGetClientRect(RECT* client) = 0;
    virtual HRESULT TxGetViewInset(RECT* inset) = 0;
    // The host keeps the formats; the pointers stay valid until the next change it reports.
    virtual HRESULT TxGetCharFormat(const CHARFORMAT2W** format) = 0;
    virtual HRESULT TxGetParaFormat(const PARAFORMAT2** format) = 0;
    virtual COLORREF TxGetSysColor(int index) = 0;
    virtual HRESULT TxGetBackStyle(TXTBACKSTYLE* style) = 0;
    // Characters; 0 or less asks for the default limit.
    virtual HRESULT TxGetMaxLength(DWORD* length) = 0;
    // WS_VSCROLL, WS_HSCROLL, ES_AUTOVSCROLL, ES_AUTOHSCROLL and ES_DISABLENOSCROLL bits.
    virtual HRESULT TxGetScrollBars(DWORD* scrollBars) = 0;
    virtual HRESULT TxGetPasswordChar(WCHAR* character) = 0;
    virtual HRESULT TxGetAcceleratorPos(LONG* position) = 0;
    virtual HRESULT TxGetExtent(SIZEL* extent) = 0;
    virtual HRESULT OnTxCharFormatChange(const CHARFORMAT2W* format) = 0;
    virtual HRESULT OnTxParaFormatChange(const PARAFORMAT2* format) = 0;
    virtual HRESULT TxGetPropertyBits(DWORD mask, DWORD* bits) = 0;
    // `data` is null or a record that starts with an NMHDR.
    virtual HRESULT TxNotify(DWORD code, void* data) = 0;
    virtual HIMC TxImmGetContext() = 0;
    virtual void TxImmReleaseContext(HIMC context) = 0;
    virtual HRESULT TxGetSelectionBarWidth(LONG* width) = 0;

protected:
    ~ITextHost() = default;
};

class ITextServices : public IUnknown {
public:
    // S_OK when the message was handled (`result` holds its answer), S_FALSE when the
    // text services do not handle it, a failure code for bad arguments.
    virtual HRESULT TxSendMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) = 0;
    // Draws the text of `bounds` (the host's client rectangle, in `draw`'s co-ordinates)
    // that lies in `update` (all of it when null).
    virtual HRESULT TxDraw(DWORD drawAspect, LONG index, void* aspectInfo, void* targetDevice, HDC draw, HDC targetDc,
                           const RECT* bounds, const RECT* metafileBounds, RECT* update, BOOL (*continueDrawing)(DWORD),
                           DWORD continueParam, LONG viewId) = 0;
    // Sets the cursor through the host when (x, y) lies in `client`.
    virtual HRESULT OnTxSetCursor(DWORD drawAspect, LONG index, void* aspectInfo, void* targetDevice, HDC draw,
                                  HDC targetDc, const RECT* client, INT x, INT y) = 0;
    virtual HRESULT OnTxInPlaceActivate(const RECT* client) = 0;
    virtual HRESULT OnTxInPlaceDeactivate() = 0;
    // Replaces the whole text; cannot be undone.
    virtual HRESULT TxSetText(LPCWSTR text) = 0;
    // With TXTNS_FITTOCONTENT: the size of the content laid out at `*width` pixels.
    virtual HRESULT TxGetNaturalSize(DWORD drawAspect, HDC draw, HDC targetDc, void* targetDevice, DWORD mode,
                                     const SIZEL* extent, LONG* width, LONG* height) = 0;
    virtual HRESULT TxGetDropTarget(IDropTarget** target) = 0;
    // For each bit in `mask`, `bits` holds its new value; the *CHANGE bits say what to read again.
    virtual HRESULT OnTxPropertyBitsChange(DWORD mask, DWORD bits) = 0;

protected:
    ~ITextServices() = default;
};

// The "CreateTextServices" entry: `outer` must be null (no aggregation).
using PCreateTextServices = HRESULT (*)(IUnknown* outer, ITextHost* host, IUnknown** unknown);

namespace platform {

inline constexpr wchar_t kTextServicesModule[] = L"riched20.dll";

// Makes "riched20.dll" a built-in module with the "CreateTextServices" entry; once per
// process. Call it from code that needs the module, so that the registration is linked in.
void EnsureTextServicesModule();
// Registers the module again (after a test removed it).
void RegisterTextServicesModule();

}  // namespace platform
