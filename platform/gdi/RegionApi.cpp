#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/GdiRegion.h"
#include "platform/types/ErrorCodes.h"

using namespace platform::gdi;
using platform::Region;

namespace {

std::shared_ptr<RegionObject> RegionOrFail(HRGN handle) {
    auto region = Lookup<RegionObject>(handle);
    if (!region) SetLastError(ERROR_INVALID_HANDLE);
    return region;
}

HRGN NewRegion(Region region) {
    return static_cast<HRGN>(RegisterObject(std::make_shared<RegionObject>(std::move(region))));
}

RECT Normalised(int left, int top, int right, int bottom) {
    return RECT{std::min(left, right), std::min(top, bottom), std::max(left, right), std::max(top, bottom)};
}

int ClipKind(const DcObject& dc) {
    return dc.ClipKind();
}

}  // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    return NewRegion(Region(Normalised(left, top, right, bottom)));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
    if (!rect) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int ellipseWidth, int ellipseHeight) {
    return NewRegion(
        Region::RoundRect(Normalised(left, top, right, bottom), std::abs(ellipseWidth), std::abs(ellipseHeight)));
}

int CombineRgn(HRGN dest, HRGN source1, HRGN source2, int mode) {
    auto target = RegionOrFail(dest);
    auto first = RegionOrFail(source1);
    if (!target || !first) return RGN_ERROR;
    if (mode == RGN_COPY) {
        target->m_region = first->m_region;
        return target->m_region.Kind();
    }
    if (mode < RGN_AND || mode > RGN_DIFF) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return RGN_ERROR;
    }
    auto second = RegionOrFail(source2);
    if (!second) return RGN_ERROR;
    target->m_region = Region::Combine(first->m_region, second->m_region, static_cast<Region::Op>(mode));
    return target->m_region.Kind();
}

int OffsetRgn(HRGN handle, int dx, int dy) {
    auto region = RegionOrFail(handle);
    if (!region) return RGN_ERROR;
    region->m_region.Offset(dx, dy);
    return region->m_region.Kind();
}

BOOL PtInRegion(HRGN handle, int x, int y) {
    auto region = RegionOrFail(handle);
    return region && region->m_region.Contains(x, y) ? TRUE : FALSE;
}

int GetRgnBox(HRGN handle, RECT* rect) {
    auto region = RegionOrFail(handle);
    if (!region || !rect) return RGN_ERROR;
    *rect = region->m_region.Bounds();
    return region->m_region.Kind();
}

int SelectClipRgn(HDC hdc, HRGN handle) {
    return ExtSelectClipRgn(hdc, handle, RGN_COPY);
}

int ExtSelectClipRgn(HDC hdc, HRGN handle, int mode) {
    auto dc = LookupDc(hdc);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return RGN_ERROR;
    }
    if (mode < RGN_AND || mode > RGN_COPY) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return RGN_ERROR;
    }
    if (!handle) {
        if (mode != RGN_COPY) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return RGN_ERROR;
        }
        dc->SelectClip(nullptr);
        return ClipKind(*dc);
    }
    auto region = RegionOrFail(handle);
    if (!region) return RGN_ERROR;
    if (mode == RGN_COPY) {
        dc->SelectClip(std::make_shared<const Region>(region->m_region));
    } else {
        const SIZE extent = dc->Extent();
        const Region current = dc->Clip().region ? dc->ClipRegion() : Region(RECT{0, 0, extent.cx, extent.cy});
        dc->SelectClip(
            std::make_shared<const Region>(Region::Combine(current, region->m_region, static_cast<Region::Op>(mode))));
    }
    return ClipKind(*dc);
}

int GetClipRgn(HDC hdc, HRGN handle) {
    auto dc = LookupDc(hdc);
    auto region = Lookup<RegionObject>(handle);
    if (!dc || !region) {
        SetLastError(ERROR_INVALID_HANDLE);
        return -1;
    }
    if (!dc->Clip().region) return 0;
    region->m_region = dc->ClipRegion();
    return 1;
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
    auto dc = LookupDc(hdc);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return RGN_ERROR;
    }
    dc->Narrow(Normalised(left, top, right, bottom));
    return ClipKind(*dc);
}

int GetClipBox(HDC hdc, RECT* rect) {
    auto dc = LookupDc(hdc);
    if (!dc || !rect) {
        SetLastError(ERROR_INVALID_HANDLE);
        return RGN_ERROR;
    }
    *rect = dc->EffectiveBounds();
    return dc->ClipKind();
}

namespace platform {

HRGN CreateRegionHandle(Region region) {
    return NewRegion(std::move(region));
}

std::optional<Region> RegionFromHandle(HRGN handle) {
    auto region = Lookup<RegionObject>(handle);
    if (!region) return std::nullopt;
    return region->m_region;
}

bool SaveClip(HDC hdc, DcClip* clip) {
    auto dc = LookupDc(hdc);
    if (!dc || !clip) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    *clip = dc->Clip();
    return true;
}

bool NarrowClip(HDC hdc, const RECT& rect, DcClip* saved) {
    auto dc = LookupDc(hdc);
    if (!dc || !saved) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    *saved = dc->Clip();
    dc->Narrow(Normalised(rect.left, rect.top, rect.right, rect.bottom));
    return true;
}

bool RestoreClip(HDC hdc, const DcClip& clip) {
    auto dc = LookupDc(hdc);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    dc->SetClip(clip);
    return true;
}

HRGN CreateClipHandle(const DcClip& clip) {
    if (!clip.region) return nullptr;
    return NewRegion(Region::Combine(*clip.region, Region(clip.narrowed), Region::Op::And));
}

}  // namespace platform
