// The text services: an editable text with one character format and one
// paragraph format, a selection, undo and redo, laid out and drawn on pango,
// behind the ITextServices interface.
//
// Made by the "CreateTextServices" entry for one host, used on the host's
// thread only. Every message, draw and property change ends with Update,
// which tells the host what changed (scroll bars, scroll position,
// invalidation, caret, notifications) and each thing only once; the engine's
// own state is complete before each of those callbacks, and a callback may
// call back in (the host often asks for positions or scrolls the view from
// one), which runs a nested Update on the then-current state.
#pragma once

#include <pango/pango.h>

#include <string>
#include <string_view>

#include "platform/textservices/LineLayout.h"
#include "platform/textservices/TextServices.h"
#include "platform/textservices/TextStore.h"
#include "platform/textservices/UndoStack.h"

namespace platform::textservices {

class CTextEngine final : public ITextServices {
public:
    // The limit used when the host asks for none (a maximum length of 0 or less).
    static constexpr int kDefaultMaxLength = 32767;
    static constexpr int kCaretWidth = 1;
    static constexpr int kMinZoomPercent = 10;
    static constexpr int kMaxZoomPercent = 500;

    explicit CTextEngine(ITextHost* host);
    ~CTextEngine();
    CTextEngine(const CTextEngine&) = delete;
    CTextEngine& operator=(const CTextEngine&) = delete;

    HRESULT QueryInterface(REFIID iid, void** object) noexcept override;
    ULONG AddRef() noexcept override;
    ULONG Release() noexcept override;

    HRESULT TxSendMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;
    HRESULT TxDraw(DWORD drawAspect, LONG index, void* aspectInfo, void* targetDevice, HDC draw, HDC targetDc,
                   const RECT* bounds, const RECT* metafileBounds, RECT* update, BOOL (*continueDrawing)(DWORD),
                   DWORD continueParam, LONG viewId) override;
    HRESULT OnTxSetCursor(DWORD drawAspect, LONG index, void* aspectInfo, void* targetDevice, HDC draw, HDC targetDc,
                          const RECT* client, INT x, INT y) override;
    HRESULT OnTxInPlaceActivate(const RECT* client) override;
    HRESULT OnTxInPlaceDeactivate() override;
    HRESULT TxSetText(LPCWSTR text) override;
    HRESULT TxGetNaturalSize(DWORD drawAspect, HDC draw, HDC targetDc, void* targetDevice, DWORD mode,
                             const SIZEL* extent, LONG* width, LONG* height) override;
    HRESULT TxGetDropTarget(IDropTarget** target) override;
    HRESULT OnTxPropertyBitsChange(DWORD mask, DWORD bits) override;

private:
    // What the host was last told about one scroll bar.
    struct ToldBar {
        bool known = false;
        int content = 0;
        int view = 0;
        bool positionKnown = false;
        int position = 0;
    };
    enum class Undoable { No, Yes };
    enum class Extend { No, Yes };

    // --- host properties ---
    void ReadCharFormat();
    void ReadParaFormat();
    void ReadMaxLength();
    void ReadClientRect();
    void RebuildStyle();
    bool Bit(DWORD bit) const { return (m_bits & bit) != 0; }
    bool WordWrap() const { return Bit(TXTBIT_WORDWRAP) && Bit(TXTBIT_MULTILINE); }
    RECT ViewRect() const;
    int ViewWidth() const;
    int ViewHeight() const;

    // --- text and selection ---
    int SelectionStart() const { return m_anchor < m_active ? m_anchor : m_active; }
    int SelectionEnd() const { return m_anchor < m_active ? m_active : m_anchor; }
    bool SelectionEmpty() const { return m_anchor == m_active; }
    // Room left for text that replaces `replaced` characters.
    int Room(int replaced) const;
    // Text as callers hand it in: breaks normalised, cut at the first break when single-line.
    std::wstring Incoming(std::wstring_view text) const;
    void ReplaceRange(int start, int end, const std::wstring& text, Undoable undoable, UndoRecord::Kind kind);
    // Puts `text` in place of [start, end) with no undo record, the caret after it and the
    // change marked for the next paint and notification.
    void PutText(int start, int end, const std::wstring& text);
    // Replaces the selection with `text` cut to the room left; false when nothing fitted.
    bool ReplaceSelection(std::wstring text, Undoable undoable, UndoRecord::Kind kind);
    void SetText(std::wstring_view text);
    void Select(int anchor, int active);
    void MoveActive(int cp, Extend extend);
    void SelectRange(LONG cpMin, LONG cpMax);
    bool Undo();
    bool Redo();
    void InvalidateFrom(int paragraph);

    // --- clipboard ---
    bool Copy();
    bool Cut();
    bool Paste();
    bool ClearSelection();

    // --- input ---
    HRESULT OnKeyDown(UINT key);
    HRESULT OnChar(WPARAM character);
    HRESULT OnMouse(UINT message, WPARAM wParam, LPARAM lParam);
    HRESULT OnWheel(WPARAM wParam);
    HRESULT OnScroll(int bar, WPARAM wParam);
    void ScrollTo(int x, int y);
    bool SetZoom(int numerator, int denominator);
    POINT ToDocument(POINT client) const;
    POINT ToClient(POINT document) const;
    bool FilteredOut(UINT& message, WPARAM& wParam, LPARAM& lParam);
    HRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // --- telling the host ---
    void Update();
    void ClampScroll();
    void FollowCaret();
    void TellScrollBars();
    void TellBar(int bar, int content, int view, ToldBar& told);
    void TellScrollPositions();
    void TellInvalidation();
    void TellCaret();
    void TellNotifications();
    void HideCaret();

    ITextHost* m_host;
    ULONG m_references = 1;
    CTextStore m_store;
    CLineLayout m_layout{m_store};
    CUndoStack m_undo;

    int m_anchor = 0;
    int m_active = 0;
    int m_desiredX = -1;  // the column Up and Down keep to, -1 when a move forgets it

    DWORD m_bits = 0;
    DWORD m_scrollBars = 0;
    int m_maxLength = kDefaultMaxLength;
    TXTBACKSTYLE m_backStyle = TXTBACK_OPAQUE;
    WCHAR m_passwordChar = 0;
    CHARFORMAT2W m_charFormat;
    PARAFORMAT2 m_paraFormat;
    PangoFontDescription* m_font = nullptr;
    RECT m_client{};
    RECT m_inset{};
    int m_zoomNumerator = 0;  // 0: no zoom
    int m_zoomDenominator = 0;
    DWORD m_eventMask = ENM_NONE;

    int m_scrollX = 0;
    int m_scrollY = 0;
    bool m_focused = false;
    bool m_inPlaceActive = false;
    bool m_mouseSelecting = false;
    bool m_wordSelecting = false;
    int m_wordAnchorStart = 0;
    int m_wordAnchorEnd = 0;
    wchar_t m_highSurrogate = 0;

    // Work for Update, and what the host was last told.
    bool m_textChanged = false;
    bool m_followCaret = false;
    bool m_invalidAll = false;
    int m_invalidTop = -1;  // document y from which the view must be drawn again
    ToldBar m_toldVertical;
    ToldBar m_toldHorizontal;
    bool m_caretCreated = false;
    bool m_caretShown = false;
    int m_caretHeight = 0;
    POINT m_toldCaret{-1, -1};
    CHARRANGE m_toldSelection{0, 0};
    SIZE m_toldNaturalSize{-1, -1};
};

}  // namespace platform::textservices
