// The base of the program's skinned windows: a window whose content is a control tree built
// from a skin file of the skin archive, painted and driven by its own paint manager, with
// the skin's caption area, size limits, round corners and drop shadow.
//
// UI thread only. CreateHwnd builds the skin while the window is created (WM_CREATE), with
// every control's tag known to the builder (the extended controls' too, ControlTags.h), calls
// OnWindowReady, then sizes the window to the skin's "size". A skin that cannot be read or
// built fails the creation (null, with the last error set); the window then still gets its
// last message. Notifications of the window's controls arrive in OnNotify, synchronously
// from the control that raised them. Controls with a "tooltip" show it in a tip window after
// the mouse rests on them.
//
// The skin archive is shared by every window of the thread: set it with SetSkinArchive, or
// the first window opens the program's "ZIPRES" resource. Archive handles are counted (see
// CloseSkinZip): SetSkinArchive adds the framework as a holder, so the program closes its own
// handle whenever its shut-down says; ReleaseSkinArchive drops the shared one; each window
// holds its archive until the window object is destroyed.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "ui/basic/UITooltip.h"
#include "ui/core/DialogBuilder.h"
#include "ui/core/PaintManager.h"
#include "ui/core/UIEvents.h"
#include "ui/skin/SkinZip.h"
#include "ui/window/WindowWnd.h"
#include "ui/window/WndShadow.h"

namespace SkinUI {

class WindowImplBase : public CWindowWnd, public INotifyUI, public IDialogBuilderCallback {
public:
    // Resource id of the skin archive of type "ZIPRES".
    static constexpr WORD kSkinResourceId = 101;
    // What Escape closes a window with unless it handles the key itself.
    static constexpr UINT kEscapeCloseResult = 2;

    WindowImplBase();
    ~WindowImplBase() override;

    // Holds `zip` (RetainSkinZip); the caller still closes its own handle. Null, or a handle
    // that is not open, just drops the current one.
    static void SetSkinArchive(HSKINZIP zip);
    // The shared archive, opening the "ZIPRES" resource the first time; null when there is
    // none or it is not a usable archive.
    static const CSkinZip* SkinArchive();
    static bool HasSkinArchive();
    static void ReleaseSkinArchive();

    // Creates the window, builds the skin, runs OnWindowReady and sizes the window to the
    // skin; the window stays hidden unless `style` has WS_VISIBLE.
    HWND CreateHwnd(HWND owner, LPCWSTR title, DWORD style, DWORD exStyle, int x = 0, int y = 0, int width = 0,
                    int height = 0, HMENU menu = nullptr);

    CUIPaintManager& PaintManager() { return m_pm; }
    const CWndShadow& Shadow() const { return m_shadow; }
    // The tips of the window's controls ("tooltip"), shown on hover.
    const CUITooltip& Tooltip() const { return m_tooltip; }

    void Notify(UINotifyMsg& msg) final { OnNotify(msg); }
    CControlUI* CreateControl(std::wstring_view tag) override;

protected:
    // The skin's folder, kept for windows that name one: the skin always comes from the archive.
    virtual std::wstring SkinFolder() const { return {}; }
    virtual std::wstring SkinFileName() const = 0;
    // The skin is built and the controls can be looked up; the window is not yet sized.
    virtual void OnWindowReady() {}
    // Default notifications: a click on "btn_min" minimises the window.
    virtual void OnNotify(UINotifyMsg& msg);
    // Keys the window acts on by itself; true when handled. Default: Escape closes.
    virtual bool OnDefaultKey(WPARAM key);
    // WM_SYSCOMMAND; leave `handled` false to let the default procedure act.
    virtual LRESULT OnSysCommandMsg(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

    // Skinned controls tell a double click from two presses (rows activate, headers count it).
    UINT ClassStyleBits() const override { return CS_DBLCLKS; }
    LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnLastMessage(HWND hwnd) override;

    CUIPaintManager m_pm;
    CWndShadow m_shadow;
    // After the manager: it watches the manager's messages and must go first.
    CUITooltip m_tooltip;

private:
    bool BuildSkin();
    LRESULT HitTest(LPARAM lParam);
    void ApplyRoundCorners(int width, int height);

    std::shared_ptr<CSkinZip> m_archive;
};

}  // namespace SkinUI
