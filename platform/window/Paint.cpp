#include "platform/window/Paint.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/types/ErrorCodes.h"
#include "platform/window/Caret.h"
#include "platform/window/MessageApi.h"
#include "platform/window/MessageQueue.h"
#include "platform/window/WindowApi.h"
#include "platform/window/WindowBackend.h"
#include "platform/window/WindowPos.h"
#include "platform/window/WindowTree.h"

namespace platform {

namespace {

struct WindowDcEntry {
    std::weak_ptr<WindowObject> window;
    RECT area;  // client co-ordinates the DC may have drawn on
};

struct WindowDcs {
    std::mutex mutex;
    std::unordered_map<HDC, WindowDcEntry> byDc;
};

WindowDcs& Dcs() {
    static auto* dcs = new WindowDcs;
    return *dcs;
}

// A DC on the window's client area in its top-level surface, clipped to `clip` (client co-ordinates).
HDC MakeWindowDc(const std::shared_ptr<WindowObject>& window, const Region& clip) {
    auto surface = SurfaceOf(TopLevelWindow(window));
    if (!surface || !surface->Valid()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    const POINT origin = OriginInTopLevel(*window);
    const RECT client = window->ClientRect();
    const RECT area{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
    HDC hdc = CreateSurfaceDC(surface->Cairo(), area);
    if (!hdc) return nullptr;
    // Set as a kept clip, without a region handle to make and delete on every paint.
    RestoreClip(hdc, DcClip{std::make_shared<const Region>(clip)});
    auto& dcs = Dcs();
    std::lock_guard lock(dcs.mutex);
    dcs.byDc[hdc] = WindowDcEntry{window, clip.Bounds()};
    return hdc;
}

// Ends a window DC: its pixels go to the backend. False when `hdc` is not one of `hwnd`'s.
bool FinishWindowDc(HWND hwnd, HDC hdc) {
    WindowDcEntry entry;
    {
        auto& dcs = Dcs();
        std::lock_guard lock(dcs.mutex);
        auto it = dcs.byDc.find(hdc);
        if (it == dcs.byDc.end()) return false;
        auto window = it->second.window.lock();
        if (hwnd && (!window || window->Handle() != hwnd)) return false;
        entry = it->second;
        dcs.byDc.erase(it);
    }
    DeleteDC(hdc);
    if (auto window = entry.window.lock(); window && !window->IsGone()) PresentArea(window, entry.area);
    return true;
}

bool CopyRegionInto(const Region& source, HRGN target) {
    HRGN temporary = CreateRegionHandle(source);
    const int kind = CombineRgn(target, temporary, nullptr, RGN_COPY);
    DeleteObject(temporary);
    return kind != RGN_ERROR;
}

void PaintNow(const std::shared_ptr<WindowObject>& window, bool children) {
    if (window->NeedsPaint() && IsWindowVisible(window->Handle())) {
        SendMessageW(window->Handle(), WM_PAINT, 0, 0);
    }
    if (!children) return;
    for (HWND child : window->Children()) {
        if (auto w = LookUpWindow(child)) PaintNow(w, true);
    }
}

void ValidateTree(const std::shared_ptr<WindowObject>& window, const Region& area, bool children) {
    window->ValidateRegion(area);
    if (!children) return;
    for (HWND childHandle : window->Children()) {
        auto child = LookUpWindow(childHandle);
        if (!child) continue;
        const RECT r = child->WindowRect();
        Region part = Region::Combine(area, Region(r), Region::Op::And);
        part.Offset(-r.left, -r.top);
        ValidateTree(child, part, true);
    }
}

}  // namespace

bool CopyShownPixels(HWND topLevel, const RECT& area, std::uint32_t* out) {
    auto window = LookUpWindow(topLevel);
    auto surface = window ? window->Surface() : nullptr;
    if (!surface || !surface->Valid() || !out) return false;
    const auto shape = window->WindowRegion();
    const bool layeredWindow = (window->ExStyle() & WS_EX_LAYERED) != 0;
    const auto layered = window->LayeredState();
    // A window that is not layered is opaque; a layered one keeps its alpha only when it came per pixel.
    const DWORD opaque = layeredWindow && layered.perPixel ? 0u : 0xFF000000u;
    const bool scale = layeredWindow && layered.hasConstantAlpha;
    surface->Flush();
    const std::uint8_t* data = surface->Data();
    const int width = area.right - area.left;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) {
            DWORD pixel = 0;
            const bool inside =
                x >= 0 && y >= 0 && x < surface->Width() && y < surface->Height() && (!shape || shape->Contains(x, y));
            if (inside) {
                std::memcpy(&pixel, data + static_cast<size_t>(y) * surface->Stride() + static_cast<size_t>(x) * 4, 4);
                pixel |= opaque;
                if (scale) {
                    DWORD scaled = 0;
                    for (int shift = 0; shift < 32; shift += 8) {
                        scaled |= ((((pixel >> shift) & 0xFF) * layered.constantAlpha + 127) / 255) << shift;
                    }
                    pixel = scaled;
                }
            }
            out[static_cast<size_t>(y - area.top) * width + (x - area.left)] = pixel;
        }
    }
    return true;
}

DWORD ShownPixel(HWND topLevel, int x, int y) {
    std::uint32_t pixel = 0;
    return CopyShownPixels(topLevel, RECT{x, y, x + 1, y + 1}, &pixel) ? pixel : 0;
}

}  // namespace platform

using platform::LookUpWindow;
using platform::Region;
using platform::WindowOrFail;

namespace {

// The region behind a handle; ERROR_INVALID_HANDLE when it names none.
bool RegionOrFail(HRGN handle, Region* out) {
    auto region = platform::RegionFromHandle(handle);
    if (!region) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    *out = std::move(*region);
    return true;
}

}  // namespace

HDC BeginPaint(HWND hwnd, PAINTSTRUCT* paint) {
    auto window = platform::OwnWindowOrFail(hwnd);
    if (!window) return nullptr;
    if (!paint) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const Region update = window->InvalidRegion();
    const bool erase = window->TakeErase();
    window->Validate(nullptr);
    platform::HideCaretForPaint(hwnd);
    const Region clip = Region::Combine(update, platform::VisibleClientRegion(window), Region::Op::And);
    HDC hdc = platform::MakeWindowDc(window, clip);
    *paint = PAINTSTRUCT{};
    paint->hdc = hdc;
    paint->rcPaint = update.Bounds();
    paint->fErase = FALSE;
    if (hdc && erase)
        paint->fErase = SendMessageW(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(hdc), 0) ? FALSE : TRUE;
    return hdc;
}

BOOL EndPaint(HWND hwnd, const PAINTSTRUCT* paint) {
    if (!paint) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (paint->hdc) platform::FinishWindowDc(hwnd, paint->hdc);
    platform::RestoreCaretAfterPaint(hwnd);
    return TRUE;
}

HDC GetDC(HWND hwnd) {
    if (!hwnd) return CreateCompatibleDC(nullptr);
    auto window = platform::OwnWindowOrFail(hwnd);
    if (!window) return nullptr;
    return platform::MakeWindowDc(window, platform::VisibleClientRegion(window));
}

HDC GetWindowDC(HWND hwnd) {
    return GetDC(hwnd);
}

int ReleaseDC(HWND hwnd, HDC hdc) {
    if (!hdc) return 0;
    if (platform::FinishWindowDc(hwnd, hdc)) return 1;
    // The screen DC of GetDC(nullptr) is a memory DC of its own.
    if (!hwnd && GetObjectType(hdc) == OBJ_MEMDC) return DeleteDC(hdc) ? 1 : 0;
    return 0;
}

BOOL InvalidateRgn(HWND hwnd, HRGN region, BOOL erase) {
    auto window = WindowOrFail(hwnd);
    if (!window) return FALSE;
    Region area(window->ClientRect());
    if (region && !RegionOrFail(region, &area)) return FALSE;
    platform::InvalidateTree(window, area, erase != FALSE, false);
    return TRUE;
}

BOOL ValidateRgn(HWND hwnd, HRGN region) {
    auto window = WindowOrFail(hwnd);
    if (!window) return FALSE;
    if (!region) {
        window->Validate(nullptr);
        return TRUE;
    }
    Region given;
    if (!RegionOrFail(region, &given)) return FALSE;
    window->ValidateRegion(given);
    return TRUE;
}

BOOL RedrawWindow(HWND hwnd, const RECT* rect, HRGN region, UINT flags) {
    auto window = WindowOrFail(hwnd);
    if (!window) return FALSE;
    Region area(rect ? *rect : window->ClientRect());
    if (region && !RegionOrFail(region, &area)) return FALSE;
    const bool children =
        (flags & RDW_ALLCHILDREN) || (!(flags & RDW_NOCHILDREN) && !(window->Style() & WS_CLIPCHILDREN));
    if (flags & RDW_INVALIDATE) {
        platform::InvalidateTree(window, area, (flags & RDW_ERASE) != 0, (flags & RDW_ALLCHILDREN) != 0);
    } else if (flags & RDW_VALIDATE) {
        platform::ValidateTree(window, area, children);
    }
    if ((flags & (RDW_UPDATENOW | RDW_ERASENOW)) && window->Queue()->IsOwnerThread()) {
        platform::PaintNow(window, !(flags & RDW_NOCHILDREN));
    }
    return TRUE;
}

BOOL GetUpdateRect(HWND hwnd, RECT* rect, BOOL /*erase*/) {
    auto window = WindowOrFail(hwnd);
    if (!window) return FALSE;
    const Region update = window->InvalidRegion();
    if (rect) *rect = update.Bounds();
    return update.IsEmpty() ? FALSE : TRUE;
}

int GetUpdateRgn(HWND hwnd, HRGN region, BOOL /*erase*/) {
    auto window = WindowOrFail(hwnd);
    if (!window) return RGN_ERROR;
    const Region update = window->InvalidRegion();
    if (!platform::CopyRegionInto(update, region)) return RGN_ERROR;
    return update.Kind();
}

int SetWindowRgn(HWND hwnd, HRGN region, BOOL redraw) {
    auto window = platform::OwnWindowOrFail(hwnd);
    if (!window) return 0;
    std::optional<Region> shape;
    if (region) {
        if (!RegionOrFail(region, &shape.emplace())) return 0;
        DeleteObject(region);  // the window owns it now
    }
    window->SetWindowRegion(std::move(shape));
    if (platform::IWindowBackend* backend = platform::BackendFor(*window)) {
        if (!(window->Style() & WS_CHILD)) backend->WindowChanged(*window);
    }
    if (redraw) platform::InvalidateTree(window, Region(window->ClientRect()), true, true);
    return 1;
}

int GetWindowRgn(HWND hwnd, HRGN region) {
    auto window = WindowOrFail(hwnd);
    if (!window) return RGN_ERROR;
    const auto shape = window->WindowRegion();
    if (!shape || !platform::CopyRegionInto(*shape, region)) return RGN_ERROR;
    return shape->Kind();
}

BOOL UpdateLayeredWindow(HWND hwnd, HDC /*screenDc*/, POINT* position, SIZE* size, HDC sourceDc, POINT* sourcePoint,
                         COLORREF /*colourKey*/, BLENDFUNCTION* blend, DWORD flags) {
    auto window = platform::OwnWindowOrFail(hwnd);
    if (!window) return FALSE;
    if (!(window->ExStyle() & WS_EX_LAYERED) || (window->Style() & WS_CHILD) || (flags & ULW_COLORKEY)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (position || size) {
        const RECT r = window->WindowRect();
        const POINT at = position ? *position : POINT{r.left, r.top};
        const SIZE extent = size ? *size : SIZE{r.right - r.left, r.bottom - r.top};
        if (extent.cx < 0 || extent.cy < 0) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        SetWindowPos(
            hwnd, nullptr, at.x, at.y, extent.cx, extent.cy,
            SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW | (position ? 0 : SWP_NOMOVE) | (size ? 0 : SWP_NOSIZE));
    }
    if (!sourceDc) return TRUE;
    auto surface = platform::SurfaceOf(window);
    if (!surface || !surface->Valid()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    const POINT from = sourcePoint ? *sourcePoint : POINT{0, 0};
    HDC target = platform::CreateSurfaceDC(surface->Cairo(), RECT{0, 0, surface->Width(), surface->Height()});
    if (!target) return FALSE;
    const BOOL copied = BitBlt(target, 0, 0, surface->Width(), surface->Height(), sourceDc, from.x, from.y, SRCCOPY);
    DeleteDC(target);
    if (!copied) return FALSE;

    const bool opaque = (flags & ULW_OPAQUE) || !blend || !(blend->AlphaFormat & AC_SRC_ALPHA);
    const unsigned constant = blend ? blend->SourceConstantAlpha : 255u;
    surface->Flush();
    auto* data = const_cast<std::uint8_t*>(surface->Data());
    for (int y = 0; data && y < surface->Height(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<size_t>(y) * surface->Stride());
        for (int x = 0; x < surface->Width(); ++x) {
            std::uint32_t pixel = opaque ? (row[x] | 0xFF000000u) : row[x];
            if (constant != 255) {
                std::uint32_t scaled = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    scaled |= ((((pixel >> shift) & 0xFF) * constant + 127) / 255) << shift;
                }
                pixel = scaled;
            }
            row[x] = pixel;
        }
    }
    surface->MarkDirty();
    auto layered = window->LayeredState();
    layered.perPixel = true;
    window->SetLayeredState(layered);
    window->Validate(nullptr);
    platform::PresentArea(window, window->ClientRect());
    return TRUE;
}

BOOL SetLayeredWindowAttributes(HWND hwnd, COLORREF /*colourKey*/, BYTE alpha, DWORD flags) {
    auto window = platform::OwnWindowOrFail(hwnd);
    if (!window) return FALSE;
    if (!(window->ExStyle() & WS_EX_LAYERED) || (flags & LWA_COLORKEY)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto layered = window->LayeredState();
    layered.hasConstantAlpha = (flags & LWA_ALPHA) != 0;
    layered.constantAlpha = alpha;
    layered.perPixel = false;  // from now on the window paints itself
    window->SetLayeredState(layered);
    if (platform::IWindowBackend* backend = platform::BackendFor(*window)) backend->WindowChanged(*window);
    platform::PresentArea(window, window->ClientRect());
    return TRUE;
}
