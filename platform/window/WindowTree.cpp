#include "platform/window/WindowTree.h"

#include <algorithm>
#include <mutex>

#include "platform/types/ErrorCodes.h"
#include "platform/window/Caret.h"
#include "platform/window/Focus.h"
#include "platform/window/InputRouter.h"
#include "platform/window/MessageQueue.h"
#include "platform/window/WindowBackend.h"
#include "platform/window/WindowTable.h"

namespace platform {

namespace {

// Ancestor walks stop here, so a corrupted tree cannot loop forever.
constexpr int kMaxDepth = 256;

struct ZOrderList {
    std::mutex mutex;
    std::vector<HWND> windows;  // front first
};

ZOrderList& ZList() {
    static auto* list = new ZOrderList;
    return *list;
}

bool IsTopmost(HWND hwnd) {
    auto window = LookUpWindow(hwnd);
    return window && (window->ExStyle() & WS_EX_TOPMOST);
}

bool Contains(const RECT& r, POINT p) {
    return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

bool ShownForHit(const WindowObject& window) {
    const DWORD style = window.Style();
    return (style & WS_VISIBLE) && !(style & WS_MINIMIZE);
}

// Whether a top-level window takes the point, before its children are asked.
bool TopLevelTakes(const std::shared_ptr<WindowObject>& top, POINT screen, HitPurpose purpose) {
    if (!ShownForHit(*top)) return false;
    const RECT rect = top->WindowRect();
    if (!Contains(rect, screen)) return false;
    const POINT local{screen.x - rect.left, screen.y - rect.top};
    if (auto region = top->WindowRegion(); region && !region->Contains(local.x, local.y)) return false;
    if (purpose == HitPurpose::Input && (top->ExStyle() & WS_EX_LAYERED)) {
        if (top->ExStyle() & WS_EX_TRANSPARENT) return false;
        // Fully transparent pixels of a per-pixel layered window let the mouse through.
        if (top->LayeredState().perPixel) {
            auto surface = top->Surface();
            if (!surface || (surface->Pixel(local.x, local.y) >> 24) == 0) return false;
        }
    }
    return true;
}

}  // namespace

std::shared_ptr<WindowObject> LookUpWindow(HWND hwnd) {
    return hwnd ? WindowTable::Instance().Find(hwnd) : nullptr;
}

std::shared_ptr<WindowObject> WindowOrFail(HWND hwnd) {
    auto window = LookUpWindow(hwnd);
    if (!window) SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return window;
}

std::shared_ptr<WindowObject> OwnWindowOrFail(HWND hwnd) {
    auto window = WindowOrFail(hwnd);
    if (window && !window->Queue()->IsOwnerThread()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return window;
}

std::shared_ptr<WindowObject> TopLevelWindow(const std::shared_ptr<WindowObject>& window) {
    auto current = window;
    for (int depth = 0; current && depth < kMaxDepth && (current->Style() & WS_CHILD); ++depth) {
        auto parent = LookUpWindow(current->Parent());
        if (!parent) break;
        current = std::move(parent);
    }
    return current;
}

bool IsDescendant(HWND ancestor, HWND hwnd) {
    auto current = LookUpWindow(hwnd);
    for (int depth = 0; current && depth < kMaxDepth && (current->Style() & WS_CHILD); ++depth) {
        if (current->Parent() == ancestor) return true;
        current = LookUpWindow(current->Parent());
    }
    return false;
}

POINT OriginInTopLevel(const WindowObject& window) {
    POINT origin{0, 0};
    if (!(window.Style() & WS_CHILD)) return origin;
    const RECT own = window.WindowRect();
    origin = POINT{own.left, own.top};
    auto parent = LookUpWindow(window.Parent());
    for (int depth = 0; parent && depth < kMaxDepth && (parent->Style() & WS_CHILD); ++depth) {
        const RECT r = parent->WindowRect();
        origin.x += r.left;
        origin.y += r.top;
        parent = LookUpWindow(parent->Parent());
    }
    return origin;
}

POINT ScreenOrigin(const WindowObject& window) {
    POINT origin{0, 0};
    std::shared_ptr<WindowObject> current;
    const WindowObject* at = &window;
    for (int depth = 0; at && depth < kMaxDepth; ++depth) {
        const RECT r = at->WindowRect();
        origin.x += r.left;
        origin.y += r.top;
        if (!(at->Style() & WS_CHILD)) break;
        current = LookUpWindow(at->Parent());
        at = current.get();
    }
    return origin;
}

Region VisibleClientRegion(const std::shared_ptr<WindowObject>& window) {
    Region visible(window->ClientRect());
    if (window->Style() & WS_CLIPCHILDREN) {
        for (HWND childHandle : window->Children()) {
            auto child = LookUpWindow(childHandle);
            if (child && (child->Style() & WS_VISIBLE)) {
                visible = Region::Combine(visible, Region(child->WindowRect()), Region::Op::Diff);
            }
        }
    }
    // Walk up: each ancestor's client area (and the top-level's shape) bounds what shows.
    POINT offset{0, 0};  // this window's client origin in the current ancestor's client co-ordinates
    auto current = window;
    for (int depth = 0; depth < kMaxDepth && (current->Style() & WS_CHILD); ++depth) {
        const RECT r = current->WindowRect();
        offset.x += r.left;
        offset.y += r.top;
        auto parent = LookUpWindow(current->Parent());
        if (!parent) break;
        Region bound(parent->ClientRect());
        bound.Offset(-offset.x, -offset.y);
        visible = Region::Combine(visible, bound, Region::Op::And);
        current = std::move(parent);
    }
    if (auto shape = current->WindowRegion()) {
        Region bound = *shape;
        bound.Offset(-offset.x, -offset.y);
        visible = Region::Combine(visible, bound, Region::Op::And);
    }
    return visible;
}

IWindowBackend* BackendFor(const WindowObject& window) {
    return window.IsMessageOnly() ? nullptr : CurrentWindowBackend();
}

void ZOrderAdd(HWND hwnd) {
    auto& list = ZList();
    const bool topmost = IsTopmost(hwnd);
    std::lock_guard lock(list.mutex);
    auto at = list.windows.begin();
    if (!topmost) at = std::find_if(list.windows.begin(), list.windows.end(), [](HWND h) { return !IsTopmost(h); });
    list.windows.insert(at, hwnd);
}

void ZOrderRemove(HWND hwnd) {
    auto& list = ZList();
    std::lock_guard lock(list.mutex);
    std::erase(list.windows, hwnd);
}

void ZOrderRaise(HWND hwnd) {
    auto window = LookUpWindow(hwnd);
    if (!window) return;
    ZOrderRemove(hwnd);
    ZOrderAdd(hwnd);
    // Owned windows stay in front of their owner.
    const auto owned = WindowTable::Instance().Select(
        [hwnd](const WindowObject& w) { return w.Owner() == hwnd && !(w.Style() & WS_CHILD) && !w.IsMessageOnly(); });
    for (const auto& w : owned) {
        if (w->Handle() != hwnd) ZOrderRaise(w->Handle());
    }
}

void ZOrderLower(HWND hwnd) {
    auto& list = ZList();
    std::lock_guard lock(list.mutex);
    if (std::erase(list.windows, hwnd)) list.windows.push_back(hwnd);
}

std::vector<HWND> ZOrder() {
    auto& list = ZList();
    std::lock_guard lock(list.mutex);
    // Windows whose thread ended left the table without DestroyWindow; drop them here.
    std::erase_if(list.windows, [](HWND hwnd) { return !LookUpWindow(hwnd); });
    return list.windows;
}

std::shared_ptr<WindowObject> DescendantAtPoint(const std::shared_ptr<WindowObject>& top, POINT screen,
                                                HitPurpose purpose) {
    auto found = top;
    for (int depth = 0; depth < kMaxDepth; ++depth) {
        const POINT origin = ScreenOrigin(*found);
        const POINT local{screen.x - origin.x, screen.y - origin.y};
        std::shared_ptr<WindowObject> hit;
        const auto children = found->Children();
        // Later children lie on top of earlier ones.
        for (auto it = children.rbegin(); it != children.rend() && !hit; ++it) {
            auto child = LookUpWindow(*it);
            if (!child || !ShownForHit(*child) || !Contains(child->WindowRect(), local)) continue;
            if (purpose == HitPurpose::Input && (child->Style() & WS_DISABLED)) return found;
            hit = std::move(child);
        }
        if (!hit) return found;
        found = std::move(hit);
    }
    return found;
}

std::shared_ptr<WindowObject> WindowAtPoint(POINT screen, HitPurpose purpose) {
    for (HWND hwnd : ZOrder()) {
        auto top = LookUpWindow(hwnd);
        if (top && TopLevelTakes(top, screen, purpose)) return DescendantAtPoint(top, screen, purpose);
    }
    return nullptr;
}

std::shared_ptr<WindowSurface> SurfaceOf(const std::shared_ptr<WindowObject>& top) {
    if (!top || top->IsMessageOnly()) return nullptr;
    const RECT r = top->WindowRect();
    const int width = std::max<int>(1, r.right - r.left);
    const int height = std::max<int>(1, r.bottom - r.top);
    auto surface = top->Surface();
    if (surface && surface->Width() == width && surface->Height() == height) return surface;
    auto fresh = std::make_shared<WindowSurface>(width, height);
    if (surface) fresh->CopyFrom(*surface);
    top->SetSurface(fresh);
    return fresh;
}

void PresentArea(const std::shared_ptr<WindowObject>& window, const RECT& area) {
    IWindowBackend* backend = BackendFor(*window);
    if (!backend) return;
    auto top = TopLevelWindow(window);
    const POINT origin = OriginInTopLevel(*window);
    const RECT inTop{area.left + origin.x, area.top + origin.y, area.right + origin.x, area.bottom + origin.y};
    if (inTop.right > inTop.left && inTop.bottom > inTop.top) backend->Present(*top, inTop);
}

void InvalidateTree(const std::shared_ptr<WindowObject>& window, const Region& area, bool erase, bool allChildren) {
    if (window->InvalidateRegion(area, erase)) window->Queue()->SchedulePaint(window);
    if ((window->Style() & WS_CLIPCHILDREN) && !allChildren) return;
    for (HWND childHandle : window->Children()) {
        auto child = LookUpWindow(childHandle);
        if (!child || !(child->Style() & WS_VISIBLE)) continue;
        const RECT r = child->WindowRect();
        Region part = Region::Combine(area, Region(r), Region::Op::And);
        if (part.IsEmpty()) continue;
        part.Offset(-r.left, -r.top);
        InvalidateTree(child, part, erase, allChildren);
    }
}

void ForgetWindow(HWND hwnd) {
    ZOrderRemove(hwnd);
    ForgetFocusState(hwnd);
    InputRouter::Instance().Forget(hwnd);
    ForgetCaretOwner(hwnd);
}

}  // namespace platform
