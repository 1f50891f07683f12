// Helpers the display side of the window layer shares: lookups along the
// window tree, co-ordinates, the z-order of top-level windows, hit testing
// and the top-level surfaces. Internal to platform/window.
//
// Any thread may read (the table and the z-order take their own locks);
// surfaces are made on the window's own thread.
#pragma once

#include <memory>
#include <vector>

#include "platform/gdi/Region.h"
#include "platform/window/WindowObject.h"
#include "platform/window/WindowSurface.h"

namespace platform {

class IWindowBackend;

std::shared_ptr<WindowObject> LookUpWindow(HWND hwnd);
// Sets ERROR_INVALID_WINDOW_HANDLE when there is no such window.
std::shared_ptr<WindowObject> WindowOrFail(HWND hwnd);
// As WindowOrFail, and ERROR_ACCESS_DENIED when the window belongs to another thread.
std::shared_ptr<WindowObject> OwnWindowOrFail(HWND hwnd);
// The window itself when it is not a child; else the first ancestor that is not.
std::shared_ptr<WindowObject> TopLevelWindow(const std::shared_ptr<WindowObject>& window);
bool IsDescendant(HWND ancestor, HWND hwnd);
// Where the client area's top-left corner lies on the screen, and within its top-level window.
POINT ScreenOrigin(const WindowObject& window);
POINT OriginInTopLevel(const WindowObject& window);
// The part of the window's client area that can be seen through its ancestors
// (and the top-level window region), in client co-ordinates; children cut
// out when the window has WS_CLIPCHILDREN.
Region VisibleClientRegion(const std::shared_ptr<WindowObject>& window);

// The backend for display calls about `window`: null for message-only windows or without a display.
IWindowBackend* BackendFor(const WindowObject& window);

// Z-order of top-level windows, front first; WS_EX_TOPMOST windows lead.
void ZOrderAdd(HWND hwnd);
void ZOrderRemove(HWND hwnd);
// Puts the window in front of its band, its owned windows in front of it.
void ZOrderRaise(HWND hwnd);
void ZOrderLower(HWND hwnd);
std::vector<HWND> ZOrder();

enum class HitPurpose { Input, Any };
// The deepest visible window under a screen point. For input, disabled
// children give way to their parent and click-through layered windows are skipped.
std::shared_ptr<WindowObject> WindowAtPoint(POINT screen, HitPurpose purpose);
// Deepest visible child of `top` under the point (or `top`), same rules.
std::shared_ptr<WindowObject> DescendantAtPoint(const std::shared_ptr<WindowObject>& top, POINT screen,
                                                HitPurpose purpose);

// The surface of `top` at its current size, made (or remade after a resize, keeping the
// old pixels that still fit) when needed. Null for message-only windows.
std::shared_ptr<WindowSurface> SurfaceOf(const std::shared_ptr<WindowObject>& top);
// Tells the backend that `area` (client co-ordinates of `window`) of its top-level window has new pixels.
void PresentArea(const std::shared_ptr<WindowObject>& window, const RECT& area);

// Invalidates `area` (client co-ordinates) and, unless WS_CLIPCHILDREN (or
// `allChildren`), the visible children under it.
void InvalidateTree(const std::shared_ptr<WindowObject>& window, const Region& area, bool erase, bool allChildren);

// Drops every reference the display side keeps to a window that is going away.
void ForgetWindow(HWND hwnd);

}  // namespace platform
