// The text host behind one rich edit control: it creates the text services of
// "riched20.dll" with itself as their host, answers their questions about the
// edit area from the control's state, and turns their requests (paint, caret,
// timers, capture, scroll bars, cursor, notifications) into operations on the
// control, its scroll bars and its paint manager. The text services never get a
// window of their own: they work windowless inside the control's paint window.
//
// UI thread only. Owned through its reference count, which Init sets to 1 for
// the control; at 0 it deactivates and releases the text services and deletes
// itself. It keeps a plain pointer to its control, which releases the host in
// its destructor, so the host never outlives the control in use. The text
// services call back synchronously from inside TxSendMessage, TxDraw and the
// property-change calls.
#pragma once

#include "platform/textservices/TextServices.h"
#include "platform/window/WindowTypes.h"

namespace SkinUI {

class CRichEditUI;

class CTxtWinHost : public ITextHost {
public:
    // The limit a new host starts with, before the control's own.
    static constexpr LONG kDefaultMaxLength = 32767;

    CTxtWinHost();
    virtual ~CTxtWinHost();
    CTxtWinHost(const CTxtWinHost&) = delete;
    CTxtWinHost& operator=(const CTxtWinHost&) = delete;

    // Builds the formats from the control, creates the text services and gives them the
    // initial text. False (the caller deletes the host) when any step fails.
    bool Init(CRichEditUI* control, const CREATESTRUCTW* create);
    ITextServices* GetTextServices() const { return m_services; }

    // A null font changes nothing.
    void SetFont(HFONT font);
    // The text area in paint-window co-ordinates; the text services hear of it.
    void SetClientRect(const RECT& rect);
    const RECT& GetClientRect() const { return m_clientRect; }
    void ActivateInPlace(const RECT* rect);
    // Sets the cursor through the text services when the point lies in the text area.
    bool DoSetCursor(const POINT* point);

    DWORD GetStyle() const { return m_style; }
    void SetStyle(DWORD style) { m_style = style; }
    bool IsRichText() const { return m_richText; }
    void SetRichText(bool rich) { m_richText = rich; }
    bool IsTransparent() const { return m_transparent; }
    void SetTransparent(bool transparent) { m_transparent = transparent; }
    LONG GetMaxLength() const { return m_maxLength; }
    void SetMaxLength(LONG length) { m_maxLength = length; }
    bool IsCaptured() const { return m_captured; }
    // The character format's colour (COLORREF).
    void SetTextColorRef(COLORREF colour);
    const CHARFORMAT2W& GetCharFormat() const { return m_charFormat; }

    // --- IUnknown ---
    HRESULT QueryInterface(REFIID iid, void** object) noexcept override;
    ULONG AddRef() noexcept override;
    ULONG Release() noexcept override;

    // --- ITextHost ---
    HDC TxGetDC() override;
    INT TxReleaseDC(HDC hdc) override;
    BOOL TxShowScrollBar(INT bar, BOOL show) override;
    BOOL TxEnableScrollBar(INT bars, INT arrows) override;
    BOOL TxSetScrollRange(INT bar, LONG minPosition, INT maxPosition, BOOL redraw) override;
    BOOL TxSetScrollPos(INT bar, INT position, BOOL redraw) override;
    void TxInvalidateRect(const RECT* rect, BOOL mode) override;
    void TxViewChange(BOOL update) override;
    BOOL TxCreateCaret(HBITMAP bitmap, INT width, INT height) override;
    BOOL TxShowCaret(BOOL show) override;
    BOOL TxSetCaretPos(INT x, INT y) override;
    BOOL TxSetTimer(UINT id, UINT timeout) override;
    void TxKillTimer(UINT id) override;
    void TxScrollWindowEx(INT dx, INT dy, const RECT* scroll, const RECT* clip, HRGN updateRegion, RECT* update,
                          UINT flags) override;
    void TxSetCapture(BOOL capture) override;
    void TxSetFocus() override;
    void TxSetCursor(HCURSOR cursor, BOOL text) override;
    BOOL TxScreenToClient(POINT* point) override;
    BOOL TxClientToScreen(POINT* point) override;
    HRESULT TxActivate(LONG* oldState) override;
    HRESULT TxDeactivate(LONG newState) override;
    HRESULT TxGetClientRect(RECT* client) override;
    HRESULT TxGetViewInset(RECT* inset) override;
    HRESULT TxGetCharFormat(const CHARFORMAT2W** format) override;
    HRESULT TxGetParaFormat(const PARAFORMAT2** format) override;
    COLORREF TxGetSysColor(int index) override;
    HRESULT TxGetBackStyle(TXTBACKSTYLE* style) override;
    HRESULT TxGetMaxLength(DWORD* length) override;
    HRESULT TxGetScrollBars(DWORD* scrollBars) override;
    HRESULT TxGetPasswordChar(WCHAR* character) override;
    HRESULT TxGetAcceleratorPos(LONG* position) override;
    HRESULT TxGetExtent(SIZEL* extent) override;
    HRESULT OnTxCharFormatChange(const CHARFORMAT2W* format) override;
    HRESULT OnTxParaFormatChange(const PARAFORMAT2* format) override;
    HRESULT TxGetPropertyBits(DWORD mask, DWORD* bits) override;
    HRESULT TxNotify(DWORD code, void* data) override;
    HIMC TxImmGetContext() override;
    void TxImmReleaseContext(HIMC context) override;
    HRESULT TxGetSelectionBarWidth(LONG* width) override;

private:
    HWND PaintWindow() const;

    CRichEditUI* m_control = nullptr;
    ULONG m_references = 0;
    ITextServices* m_services = nullptr;
    DWORD m_style = 0;
    bool m_wordWrap = false;
    bool m_richText = false;
    bool m_inPlaceActive = false;
    bool m_transparent = false;
    bool m_captured = false;
    bool m_autoWordSelect = false;  // nothing sets these two; they keep their property bits
    bool m_allowBeep = false;
    LONG m_selectionBarWidth = 0;
    LONG m_maxLength = kDefaultMaxLength;
    RECT m_clientRect{};
    SIZEL m_extent{};
    CHARFORMAT2W m_charFormat;
    PARAFORMAT2 m_paraFormat;
    LONG m_acceleratorPos = -1;
    WCHAR m_passwordChar = 0;
};

// The default character format from the control's font and text colour; always S_OK.
HRESULT InitDefaultCharFormat(CRichEditUI* control, CHARFORMAT2W& format);

}  // namespace SkinUI
