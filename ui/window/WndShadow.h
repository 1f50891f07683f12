// The drop shadow of a skinned window: a layered, click-through pop-up behind its owner,
// painted with per-pixel alpha from a nine-grid image ("shadow.png" with its corner insets)
// and kept in step with the owner's moves, sizes, shows and hides.
//
// UI thread only: the owner's thread. The owner forwards its window messages through
// OnOwnerMessage; the shadow never hooks the owner's procedure. The image comes from an image
// source (the owner's paint manager) that must outlive the shadow window. The shadow window
// goes away with the owner's WM_DESTROY or the object. Failures leave the owner without a
// shadow and are reported as false; the owner works the same.
#pragma once

#include <string>
#include <string_view>

#include "platform/window/WindowTypes.h"

namespace SkinUI {

class IImageSourceUI;

class CWndShadow {
public:
    static constexpr wchar_t kClassName[] = L"SkinUIShadow";

    // Registers the shadow window class; later calls only report that it exists.
    static bool RegisterShadowClass();

    CWndShadow() = default;
    ~CWndShadow();
    CWndShadow(const CWndShadow&) = delete;
    CWndShadow& operator=(const CWndShadow&) = delete;

    // The image file and how far the shadow reaches out on each side (left, top, right,
    // bottom); the same insets are the image's nine-grid corners. Takes effect on the next
    // paint. False for negative insets.
    bool SetImage(std::wstring_view file, const RECT& insets);
    // Creates the shadow window for `owner`; shown when the owner is visible. False when there
    // is no image, the owner is not a top-level window, the display cannot show translucent
    // windows (an X server without a compositing manager), or the window cannot be made.
    bool Attach(HWND owner, IImageSourceUI* images);
    void Detach();

    void OnOwnerMessage(UINT message, WPARAM wParam, LPARAM lParam);

    HWND GetHWND() const { return m_hwnd; }
    const RECT& Insets() const { return m_insets; }

private:
    // Moves the shadow around the owner; repaints it when its size changed or `repaint`.
    void Follow(bool repaint);
    bool Paint(int width, int height, const POINT& position);
    void ShowShadow(bool show);

    HWND m_owner = nullptr;
    HWND m_hwnd = nullptr;
    IImageSourceUI* m_images = nullptr;
    std::wstring m_file;
    RECT m_insets{};
    SIZE m_paintedSize{};
};

}  // namespace SkinUI
