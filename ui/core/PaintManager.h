// The paint manager: binds a control tree to one window, turns the window's messages into
// control events, lays out and paints the tree, and keeps the skin's window attributes. The
// skin's fonts, images, "Default" attribute lists and colours live in the resource set it
// owns (Resources()); the resource calls here forward to it.
//
// UI thread only: the thread that made the manager and owns the bound window (asserted in
// debug builds). The manager owns its root control (AttachRoot) and deletes the tree when
// it is destroyed; it never owns the notify
// receivers, message filters or translators registered with it, nor its resource parent,
// which must outlive it. Controls tell the manager when they die (ForgetControl), so it
// never delivers an event, focus change or timer to a freed control.
// Notifications are delivered synchronously from RaiseNotify; a receiver may close the
// window or delete controls, so code after RaiseNotify re-checks its own state. Controls
// removed while a message is being dispatched are freed once the outermost dispatch ends;
// those removed by the receivers of a notification raised outside any message are freed at
// the end of the next message the manager handles (one is posted), or with the manager.
// A mouse button pressed on the paint window takes the keyboard focus back from any child
// window of it, so an editor window opened over a control closes when the user clicks away.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gdi/GdiTypes.h"
#include "platform/sync/ThreadChecker.h"
#include "platform/types/WinTypes.h"
#include "ui/core/ControlUI.h"
#include "ui/core/UIEvents.h"
#include "ui/core/UIPtrArray.h"
#include "ui/core/UIResources.h"
#include "ui/core/UIString.h"
#include "ui/core/UIStringPtrMap.h"
#include "ui/render/BackBuffer.h"
#include "ui/render/FontSource.h"
#include "ui/render/ImageCache.h"
#include "ui/skin/SkinZip.h"

namespace SkinUI {

enum class UICursor : int { Arrow = 0, IBeam = 1, Hand = 2, SizeWE = 3, SizeNS = 4 };

class CUIPaintManager : public IFontSourceUI, public IImageSourceUI {
public:
    // The first timer id the manager hands out for control timers; the window's own timers
    // keep below it.
    static constexpr UINT_PTR kFirstControlTimerId = 0x1000;
    // How long the mouse rests before the control under it gets a hover event.
    static constexpr UINT kHoverDelayMs = 400;

    CUIPaintManager();
    ~CUIPaintManager() override;
    CUIPaintManager(const CUIPaintManager&) = delete;
    CUIPaintManager& operator=(const CUIPaintManager&) = delete;

    // --- window and tree ---
    // Makes `hwnd` the paint window and registers the manager in the list of managers
    // (null unbinds it).
    void Bind(HWND hwnd);
    HWND GetPaintWindow() const { return m_hwnd; }
    // Takes ownership of `root` (the previous root is deleted) and attaches it to this manager.
    bool AttachRoot(CControlUI* root);
    CControlUI* GetRoot() const { return m_root; }
    // The client size, as Bind or the last WM_SIZE found it (or SetClientSize).
    SIZE GetClientSize() const { return m_clientSize; }
    void SetClientSize(SIZE size);

    // --- messages ---
    // Offers the message to the filters, then handles it; true when handled, with `result`.
    bool HandleWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // The Tab rule of the paint window's own messages: true when the message was consumed.
    bool PreFilterMessage(const MSG* msg);
    // Offers a message to every managed window: the window's own messages to its
    // PreFilterMessage, messages of its descendant windows to its translators.
    static bool PreTranslate(MSG* msg);
    // Offers `msg` to the translators in order; the first that returns 0 consumes it.
    bool RunTranslators(MSG* msg);
    bool IsDispatching() const { return m_dispatchDepth > 0; }

    CUIPtrArray& MessageFilters() { return m_messageFilters; }
    bool AddMessageFilter(IMessageFilterUI* filter);
    // Removes the first occurrence; false when absent.
    bool RemoveMessageFilter(IMessageFilterUI* filter);
    CUIPtrArray& Translators() { return m_translators; }
    bool AddNotifier(INotifyUI* receiver);
    bool RemoveNotifier(INotifyUI* receiver);

    // --- notifications ---
    void RaiseNotify(CControlUI* sender, const wchar_t* type, WPARAM wParam = 0, LPARAM lParam = 0);

    // --- finding controls ---
    // The topmost shown, mouse-accepting control under the point (client co-ordinates).
    CControlUI* ControlAtPoint(int x, int y) const;
    CControlUI* ControlByName(std::wstring_view name) const;

    // --- focus, capture, cursor ---
    CControlUI* GetFocusControl() const { return m_focus; }
    // Kill-focus (20) and "killfocus" to the old control, then set-focus (21) and "setfocus"
    // to the new one when it belongs here and is shown and usable; null clears the focus.
    void SetFocusControl(CControlUI* control);
    // Clears the focus, then focuses the next focus stop after `from` (in tree order,
    // wrapping), or the previous one when `forward` is false. False when there is none.
    bool FocusNextTabStop(CControlUI* from, bool forward = true);
    void CaptureMouse();
    void ReleaseMouse();
    bool IsCaptured() const { return m_captured; }
    CControlUI* GetHoverControl() const { return m_hover; }
    // Shows the cursor over the paint window; the last one asked for stays readable.
    void SetCursorShape(UICursor cursor);
    UICursor GetCursorShape() const { return m_cursor; }

    // --- timers ---
    // False (nothing changed) when that control already has that id running.
    bool StartControlTimer(CControlUI* control, UINT_PTR timerId, UINT intervalMs);
    bool StopControlTimer(CControlUI* control, UINT_PTR timerId);
    void StopControlTimers(CControlUI* control);

    // --- layout and painting ---
    void InvalidateArea(const RECT& rect);
    void RequestLayoutPass();
    bool IsLayoutPending() const { return m_layoutPending; }
    // Lays out the root at the client size when asked for, then any control that asked.
    void UpdateLayout();
    // Lays out, then paints `area` of the tree (as far as the target's clip lets it through)
    // into the off-screen buffer and copies it to `target` at the same place, so the target
    // never shows a half-drawn tree. The buffer is kept for the next paint, at the client's
    // size (or the area's, when that reaches further); unbinding the window frees it.
    bool PaintInto(HDC target, const RECT& area);
    SIZE BackBufferSize() const;

    // --- lifetime of controls ---
    // Called by a dying control: it stops being focus, hover, click or timer target.
    void ForgetControl(CControlUI* control);
    void ForgetSubtree(CControlUI* control);
    void QueueDelayedDelete(CControlUI* control);
    void FlushDelayedDeletes();

    // --- resources (forwards to Resources()) ---
    CUIResources& Resources() { return m_resources; }
    const CUIResources& Resources() const { return m_resources; }
    // Fonts, images and "Default" lists missing here are looked up in `parent`'s resources;
    // a parent whose chain leads back here is refused.
    void SetResourceParent(CUIPaintManager* parent);
    const CUIString* DefaultAttributesFor(std::wstring_view tag) const;
    void SetDefaultAttributes(std::wstring_view tag, std::wstring_view attributes);
    DWORD DefaultTextColor() const;
    void SetDefaultTextColor(DWORD argb);
    int AddFont(std::wstring_view face, int size, bool bold, bool underline, bool italic, bool makeDefault = false);
    int FontCount() const;
    HFONT FontHandleAt(int index) override;
    const UIFontRecord* FontRecordAt(int index) const;
    const UIFontRecord* DefaultFontRecord() const;
    int DefaultFontHeight() const;
    HDC MeasureDC() const;
    void SetSkinArchive(const CSkinZip* archive);
    const CSkinZip* GetSkinArchive() const;
    const UIImageInfo* FindImage(const UIImageRef& ref) override;
    const UIImageInfo* AddImage(std::wstring_view name, DWORD mask = 0);
    void RemoveAllImages();
    DWORD ShiftColor(DWORD argb) const;
    // Also repaints the window.
    void SetColorShift(int hueShift, int saturationPercent, int lightnessPercent);

    // The "Window" element's attributes: "size", "mininfo", "maxinfo", "caption",
    // "sizebox", "roundcorner", "defaultfontcolor"; other names change nothing.
    void ApplyWindowAttribute(std::wstring_view name, std::wstring_view value);
    SIZE GetInitialSize() const { return m_initialSize; }
    SIZE GetMinSize() const { return m_minSize; }
    SIZE GetMaxSize() const { return m_maxSize; }
    const RECT& GetCaptionRect() const { return m_captionRect; }
    const RECT& GetSizeBox() const { return m_sizeBox; }
    SIZE GetRoundCorner() const { return m_roundCorner; }

private:
    // Counts a dispatch while alive; the outermost one frees the delayed deletes on leaving.
    struct DispatchScope;
    struct ControlTimer {
        CControlUI* control;
        UINT_PTR localId;
        UINT_PTR windowId;
        UINT intervalMs;
        bool running;
    };

    void DispatchEvent(CControlUI* control, UIEventType type, WPARAM wParam, LPARAM lParam);
    bool HandleMouseMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void TakeFocusFromChildWindow();
    bool HandleTimer(UINT_PTR windowId);
    void SetHover(CControlUI* control, WPARAM wParam, LPARAM lParam);
    // Focuses a pressed control that asks for it; false when a focus handler removed it.
    bool FocusOnPress(CControlUI* control);
    // The press ended without a button-up: tells the pressed control (CaptureLost).
    void EndPress();

    // The thread that made the manager; every public call must come from it.
    platform::ThreadChecker m_thread;
    HWND m_hwnd = nullptr;
    CControlUI* m_root = nullptr;
    SIZE m_clientSize{};
    bool m_layoutPending = true;
    int m_dispatchDepth = 0;
    // Areas invalidated since the window was last validated, as far as the manager knows: a
    // control that changes several things at once (a bar's image and its value) asks for the
    // same area more than once, and every request costs the window layer a region union.
    // Forgotten at every WM_PAINT, before anything can validate the window.
    std::vector<RECT> m_invalidated;

    CControlUI* m_focus = nullptr;
    CControlUI* m_hover = nullptr;
    CControlUI* m_click = nullptr;
    CControlUI* m_pressed = nullptr;
    bool m_captured = false;
    bool m_trackingMouse = false;
    // Counts hover changes, so a press that ends after a nested loop (a modal box) knows
    // whether the hover it would restore is still news.
    unsigned m_hoverChanges = 0;
    bool m_shiftDown = false;
    POINT m_lastMouse{};
    UICursor m_cursor = UICursor::Arrow;

    CUIPtrArray m_messageFilters;
    CUIPtrArray m_translators;
    CUIPtrArray m_notifiers;
    std::vector<ControlTimer> m_timers;
    UINT_PTR m_nextTimerId = kFirstControlTimerId;
    std::vector<CControlUI*> m_delayedDeletes;

    CUIResources m_resources;
    CUIPaintManager* m_resourceParent = nullptr;
    CUIBackBuffer m_backBuffer;
    bool m_painting = false;

    SIZE m_initialSize{};
    SIZE m_minSize{};
    SIZE m_maxSize{};
    RECT m_captionRect{};
    RECT m_sizeBox{};
    SIZE m_roundCorner{};
};

}  // namespace SkinUI
