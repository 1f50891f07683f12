// The child window a windowed ActiveX object lives in, kept by CActiveXUI over its
// rectangle in the paint window.
//
// UI thread only. Owned by its site (CActiveXCtrl), which destroys it when the object
// leaves in-place activation or the site dies; the object paints its own windows inside
// it, so the window itself draws nothing.
#pragma once

#include "ui/window/WindowWnd.h"

namespace SkinUI {

class CActiveXCtrl;

class CActiveXWnd final : public CWindowWnd {
public:
    explicit CActiveXWnd(CActiveXCtrl* site) : m_site(site) {}

    // A child of `parent` at 0,0 with no size, visible; null when it cannot be made.
    HWND Init(HWND parent);

protected:
    LPCWSTR RegisteredClassName() const override { return L"ActiveXWnd"; }
    LRESULT OnWindowMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Asks the object to carry out `verb` in this window at the control's rectangle.
    // False when this window object was destroyed meanwhile.
    bool DoVerb(LONG verb);

    CActiveXCtrl* m_site;
};

}  // namespace SkinUI
