#include "platform/gdi/DeviceContext.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

#include "platform/gdi/Gdi.h"
#include "platform/types/ErrorCodes.h"

namespace platform::gdi {
namespace {

template <typename T>
void Swap(std::shared_ptr<T>& slot, std::shared_ptr<T> object) {
    object->m_selectedIn += 1;
    slot->m_selectedIn -= 1;
    slot = std::move(object);
}

}  // namespace

DcObject::DcObject() : GdiObject(OBJ_MEMDC) {
    m_state.bitmap = Lookup<BitmapObject>(StockObject(kStockDefaultBitmap));
    m_state.font = Lookup<FontObject>(StockObject(DEFAULT_GUI_FONT));
    m_state.brush = Lookup<BrushObject>(StockObject(WHITE_BRUSH));
    m_state.pen = Lookup<PenObject>(StockObject(BLACK_PEN));
    Hold(m_state, +1);
}

DcObject::DcObject(cairo_surface_t* surface, const RECT& area) : GdiObject(OBJ_DC), m_area(area) {
    m_surface = cairo_surface_reference(surface);
    m_state.font = Lookup<FontObject>(StockObject(DEFAULT_GUI_FONT));
    m_state.brush = Lookup<BrushObject>(StockObject(WHITE_BRUSH));
    m_state.pen = Lookup<PenObject>(StockObject(BLACK_PEN));
    Hold(m_state, +1);
}

DcObject::~DcObject() {
    Hold(m_state, -1);
    DropContext();
    if (m_surface) cairo_surface_destroy(m_surface);
}

void DcObject::Hold(const DcState& state, int delta) {
    for (GdiObject* object :
         std::initializer_list<GdiObject*>{state.bitmap.get(), state.font.get(), state.brush.get(), state.pen.get()}) {
        if (object) object->m_selectedIn += delta;
    }
}

SIZE DcObject::Extent() const {
    if (m_surface) return SIZE{m_area.right - m_area.left, m_area.bottom - m_area.top};
    return SIZE{m_state.bitmap->Width(), m_state.bitmap->Height()};
}

RECT DcObject::Drawable() const {
    const SIZE extent = Extent();
    if (!m_surface) return RECT{0, 0, extent.cx, extent.cy};
    const LONG width = cairo_image_surface_get_width(m_surface);
    const LONG height = cairo_image_surface_get_height(m_surface);
    return RECT{std::max<LONG>(0, -m_area.left), std::max<LONG>(0, -m_area.top),
                std::min<LONG>(extent.cx, width - m_area.left), std::min<LONG>(extent.cy, height - m_area.top)};
}

namespace {

constexpr RECT kEverywhere{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};

RECT Intersect(const RECT& a, const RECT& b) {
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

bool IsEverywhere(const RECT& r) {
    return r.left == kEverywhere.left && r.top == kEverywhere.top && r.right == kEverywhere.right &&
           r.bottom == kEverywhere.bottom;
}

}  // namespace

void DcObject::SetClip(const DcClip& clip) {
    if (clip == m_clip) return;
    // Mostly only the rectangle changes (a paint narrows and restores around every control):
    // the shared region is then left alone, without touching its reference count.
    if (clip.region != m_clip.region) m_clip.region = clip.region;
    m_clip.narrowed = clip.narrowed;
    m_effectiveBounds.reset();
}

void DcObject::SetClip(DcClip&& clip) {
    if (clip == m_clip) return;
    if (clip.region != m_clip.region) m_clip.region = std::move(clip.region);
    m_clip.narrowed = clip.narrowed;
    m_effectiveBounds.reset();
}

void DcObject::SelectClip(std::shared_ptr<const Region> region) {
    SetClip(DcClip{std::move(region), kEverywhere});
}

void DcObject::Narrow(const RECT& rect) {
    if (!m_clip.region) {
        const SIZE extent = Extent();
        m_clip.region = std::make_shared<const Region>(RECT{0, 0, extent.cx, extent.cy});
    }
    m_clip.narrowed = Intersect(m_clip.narrowed, rect);
    m_effectiveBounds.reset();
}

Region DcObject::ClipRegion() const {
    if (!m_clip.region) return Region();
    if (IsEverywhere(m_clip.narrowed)) return *m_clip.region;
    return Region::Combine(*m_clip.region, Region(m_clip.narrowed), Region::Op::And);
}

RECT DcObject::ClipBox() const {
    return Intersect(Drawable(), m_clip.narrowed);
}

Region DcObject::EffectiveClip() const {
    if (!m_clip.region) return Region(Drawable());
    return Region::Combine(*m_clip.region, Region(ClipBox()), Region::Op::And);
}

RECT DcObject::EffectiveBounds() const {
    if (!m_effectiveBounds) {
        RECT bounds{0, 0, 0, 0};
        bool any = false;
        ForEachClipRect(kEverywhere, [&](const RECT& r) {
            bounds = any ? RECT{std::min(bounds.left, r.left), std::min(bounds.top, r.top),
                                std::max(bounds.right, r.right), std::max(bounds.bottom, r.bottom)}
                         : r;
            any = true;
        });
        m_effectiveBounds = bounds;
    }
    return *m_effectiveBounds;
}

int DcObject::ClipKind() const {
    // Narrowing the clip asks for the kind every time: worked out from the kept region without
    // making the intersection. Cutting can make touching bands alike, which then merge.
    const RECT box = ClipBox();
    if (box.left >= box.right || box.top >= box.bottom) return NULLREGION;
    if (!m_clip.region) return SIMPLEREGION;
    const std::vector<RECT>& rects = m_clip.region->Rects();
    std::optional<RECT> single;
    for (size_t i = 0; i < rects.size();) {
        const LONG top = std::max(rects[i].top, box.top);
        const LONG bottom = std::min(rects[i].bottom, box.bottom);
        const LONG bandTop = rects[i].top;
        std::optional<RECT> span;
        for (; i < rects.size() && rects[i].top == bandTop; ++i) {
            const LONG left = std::max(rects[i].left, box.left);
            const LONG right = std::min(rects[i].right, box.right);
            if (left >= right || top >= bottom) continue;
            if (span) return COMPLEXREGION;
            span = RECT{left, top, right, bottom};
        }
        if (!span) continue;
        if (!single) {
            single = span;
        } else if (single->bottom == span->top && single->left == span->left && single->right == span->right) {
            single->bottom = span->bottom;
        } else {
            return COMPLEXREGION;
        }
    }
    return single ? SIMPLEREGION : NULLREGION;
}

bool DcObject::Meets(const RECT& rect) const {
    bool meets = false;
    ForEachClipRect(rect, [&](const RECT&) { meets = true; });
    return meets;
}

void DcObject::Select(std::shared_ptr<BitmapObject> bitmap) {
    if (bitmap == m_state.bitmap) return;
    Swap(m_state.bitmap, std::move(bitmap));
    m_effectiveBounds.reset();
    DropContext();
}
void DcObject::Select(std::shared_ptr<FontObject> font) {
    Swap(m_state.font, std::move(font));
}
void DcObject::Select(std::shared_ptr<BrushObject> brush) {
    Swap(m_state.brush, std::move(brush));
}
void DcObject::Select(std::shared_ptr<PenObject> pen) {
    Swap(m_state.pen, std::move(pen));
}

// Only the current state counts as a selection: saved states keep their objects
// alive, but do not stop them from being deleted or selected elsewhere.
int DcObject::Save() {
    m_saved.push_back(Saved{m_state, m_clip});
    return static_cast<int>(m_saved.size());
}

bool DcObject::Restore(int level) {
    const int count = static_cast<int>(m_saved.size());
    const int target = level < 0 ? count + level + 1 : level;
    if (target < 1 || target > count) return false;
    Saved& saved = m_saved[target - 1];
    if (saved.state.bitmap != m_state.bitmap) {
        m_effectiveBounds.reset();
        DropContext();
    }
    Hold(m_state, -1);
    m_state = std::move(saved.state);
    Hold(m_state, +1);
    SetClip(std::move(saved.clip));
    m_saved.resize(target - 1);
    return true;
}

cairo_surface_t* DcObject::BeginAccess(POINT* origin) {
    if (m_surface) {
        *origin = POINT{m_area.left, m_area.top};
        cairo_surface_mark_dirty(m_surface);
        return m_surface;
    }
    *origin = POINT{0, 0};
    return m_state.bitmap->BeginAccess();
}

void DcObject::EndAccess(bool written) {
    if (m_surface) {
        cairo_surface_flush(m_surface);
        return;
    }
    m_state.bitmap->EndAccess(written);
}

void DcObject::DropContext() {
    if (m_context) cairo_destroy(m_context);
    m_context = nullptr;
}

cairo_t* DcObject::Context(cairo_surface_t* surface, POINT origin) {
    if (m_context && cairo_get_target(m_context) != surface) DropContext();
    if (!m_context) {
        m_context = cairo_create(surface);
        cairo_translate(m_context, origin.x, origin.y);
    }
    return m_context;
}

DcPainter::DcPainter(DcObject& dc, const RECT* extraClip) : m_dc(dc) {
    // The clip goes on for this call only: it changes between calls far more often than the
    // DC's surface (a paint narrows it for every control), and the part that meets the call's
    // own rectangle is mostly one rectangle.
    thread_local std::vector<RECT> clip;
    clip.clear();
    dc.ForEachClipRect(extraClip ? *extraClip : kEverywhere, [](const RECT& r) { clip.push_back(r); });
    if (clip.empty()) return;
    POINT origin;
    cairo_surface_t* surface = dc.BeginAccess(&origin);
    m_accessed = true;
    m_cr = dc.Context(surface, origin);
    cairo_save(m_cr);
    cairo_new_path(m_cr);
    for (const RECT& r : clip)
        cairo_rectangle(m_cr, r.left, r.top, r.right - r.left, r.bottom - r.top);
    cairo_clip(m_cr);
}

DcPainter::~DcPainter() {
    if (m_cr) {
        cairo_new_path(m_cr);
        cairo_restore(m_cr);
    }
    if (m_accessed) m_dc.EndAccess(true);
}

std::shared_ptr<DcObject> LookupDc(HDC hdc) {
    return Lookup<DcObject>(hdc);
}

}  // namespace platform::gdi

using namespace platform::gdi;

namespace {

std::shared_ptr<DcObject> DcOrFail(HDC hdc) {
    auto dc = LookupDc(hdc);
    if (!dc) SetLastError(ERROR_INVALID_HANDLE);
    return dc;
}

HGDIOBJ Fail(DWORD error) {
    SetLastError(error);
    return nullptr;
}

}  // namespace

HDC CreateCompatibleDC(HDC hdc) {
    if (hdc && !LookupDc(hdc)) return static_cast<HDC>(Fail(ERROR_INVALID_HANDLE));
    return static_cast<HDC>(RegisterObject(std::make_shared<DcObject>()));
}

BOOL DeleteDC(HDC hdc) {
    if (!LookupDc(hdc) || !UnregisterObject(hdc)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

int SaveDC(HDC hdc) {
    auto dc = DcOrFail(hdc);
    return dc ? dc->Save() : 0;
}

BOOL RestoreDC(HDC hdc, int level) {
    auto dc = DcOrFail(hdc);
    if (!dc) return FALSE;
    if (!dc->Restore(level)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ handle) {
    auto dc = LookupDc(hdc);
    auto object = LookupObject(handle);
    if (!dc || !object) return Fail(ERROR_INVALID_HANDLE);
    switch (object->Type()) {
        case OBJ_BITMAP: {
            if (!dc->IsMemory()) return Fail(ERROR_INVALID_PARAMETER);
            auto bitmap = std::static_pointer_cast<BitmapObject>(object);
            if (bitmap == dc->m_state.bitmap) return handle;
            // A bitmap can be selected into one memory DC at a time.
            if (bitmap->m_selectedIn > 0 && !bitmap->m_stock) return Fail(ERROR_INVALID_PARAMETER);
            HGDIOBJ previous = dc->m_state.bitmap->m_handle;
            dc->Select(std::move(bitmap));
            return previous;
        }
        case OBJ_FONT: {
            HGDIOBJ previous = dc->m_state.font->m_handle;
            dc->Select(std::static_pointer_cast<FontObject>(object));
            return previous;
        }
        case OBJ_BRUSH: {
            HGDIOBJ previous = dc->m_state.brush->m_handle;
            dc->Select(std::static_pointer_cast<BrushObject>(object));
            return previous;
        }
        case OBJ_PEN: {
            HGDIOBJ previous = dc->m_state.pen->m_handle;
            dc->Select(std::static_pointer_cast<PenObject>(object));
            return previous;
        }
        case OBJ_REGION: {
            const int kind = SelectClipRgn(hdc, static_cast<HRGN>(handle));
            return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(kind));
        }
        default:
            return Fail(ERROR_INVALID_PARAMETER);
    }
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
    auto dc = LookupDc(hdc);
    if (!dc) return Fail(ERROR_INVALID_HANDLE);
    switch (type) {
        case OBJ_BITMAP:
            return dc->m_state.bitmap ? dc->m_state.bitmap->m_handle : nullptr;
        case OBJ_FONT:
            return dc->m_state.font->m_handle;
        case OBJ_BRUSH:
            return dc->m_state.brush->m_handle;
        case OBJ_PEN:
            return dc->m_state.pen->m_handle;
        default:
            return Fail(ERROR_INVALID_PARAMETER);
    }
}

BOOL DeleteObject(HGDIOBJ handle) {
    auto object = LookupObject(handle);
    if (!object || object->Type() == OBJ_DC || object->Type() == OBJ_MEMDC) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (object->m_stock) return TRUE;
    if (object->m_selectedIn > 0) {
        SetLastError(ERROR_BUSY);
        return FALSE;
    }
    return UnregisterObject(handle) ? TRUE : FALSE;
}

HGDIOBJ GetStockObject(int index) {
    if (index < 0 || index > DEFAULT_GUI_FONT) return nullptr;
    return StockObject(index);
}

int GetObjectW(HGDIOBJ handle, int size, LPVOID buffer) {
    auto object = LookupObject(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    auto copyOut = [&](const auto& value) -> int {
        const int needed = static_cast<int>(sizeof(value));
        if (!buffer) return needed;
        if (size < needed) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return 0;
        }
        std::memcpy(buffer, &value, sizeof(value));
        return needed;
    };
    if (object->Type() == OBJ_BITMAP) {
        const auto& bitmap = static_cast<const BitmapObject&>(*object);
        BITMAP info;
        info.bmWidth = bitmap.Width();
        info.bmHeight = bitmap.Height();
        info.bmWidthBytes = bitmap.Stride();
        info.bmPlanes = 1;
        info.bmBitsPixel = 32;
        info.bmBits = bitmap.VisibleBits();
        return copyOut(info);
    }
    if (object->Type() == OBJ_FONT) return copyOut(static_cast<const FontObject&>(*object).LogFont());
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
}

DWORD GetObjectType(HGDIOBJ handle) {
    auto object = LookupObject(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return object->Type();
}

int GetDeviceCaps(HDC hdc, int index) {
    SIZE extent{1920, 1080};  // the screen's, for a null or unknown DC
    if (auto dc = LookupDc(hdc)) extent = dc->Extent();
    switch (index) {
        case LOGPIXELSX:
        case LOGPIXELSY:
            return 96;
        case BITSPIXEL:
            return 32;
        case HORZRES:
            return extent.cx;
        case VERTRES:
            return extent.cy;
        default:
            return 0;
    }
}

int MulDiv(int number, int numerator, int denominator) {
    if (denominator == 0) return -1;
    int64_t product = int64_t{number} * numerator;
    int64_t divisor = denominator;
    if (divisor < 0) {
        product = -product;
        divisor = -divisor;
    }
    // Rounds half away from zero.
    const int64_t result = product >= 0 ? (product + divisor / 2) / divisor : -((-product + divisor / 2) / divisor);
    if (result > INT_MAX || result < INT_MIN) return -1;
    return static_cast<int>(result);
}

namespace {

template <typename T, typename Setter>
T SetDcValue(HDC hdc, T failure, Setter set) {
    auto dc = LookupDc(hdc);
    if (!dc) {
        SetLastError(ERROR_INVALID_HANDLE);
        return failure;
    }
    return set(dc->m_state);
}

}  // namespace

COLORREF SetTextColor(HDC hdc, COLORREF colour) {
    return SetDcValue(hdc, CLR_INVALID, [&](DcState& s) { return std::exchange(s.textColour, colour); });
}
COLORREF GetTextColor(HDC hdc) {
    return SetDcValue(hdc, CLR_INVALID, [&](DcState& s) { return s.textColour; });
}
COLORREF SetBkColor(HDC hdc, COLORREF colour) {
    return SetDcValue(hdc, CLR_INVALID, [&](DcState& s) { return std::exchange(s.backColour, colour); });
}
COLORREF GetBkColor(HDC hdc) {
    return SetDcValue(hdc, CLR_INVALID, [&](DcState& s) { return s.backColour; });
}
int SetBkMode(HDC hdc, int mode) {
    if (mode != TRANSPARENT && mode != OPAQUE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return SetDcValue(hdc, 0, [&](DcState& s) { return std::exchange(s.backMode, mode); });
}
int GetBkMode(HDC hdc) {
    return SetDcValue(hdc, 0, [&](DcState& s) { return s.backMode; });
}
int SetStretchBltMode(HDC hdc, int mode) {
    if (mode < BLACKONWHITE || mode > HALFTONE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    return SetDcValue(hdc, 0, [&](DcState& s) { return std::exchange(s.stretchMode, mode); });
}
int GetStretchBltMode(HDC hdc) {
    return SetDcValue(hdc, 0, [&](DcState& s) { return s.stretchMode; });
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int width, int height) {
    if (hdc && !LookupDc(hdc)) return static_cast<HBITMAP>(Fail(ERROR_INVALID_HANDLE));
    if (width < 0 || height < 0) return static_cast<HBITMAP>(Fail(ERROR_INVALID_PARAMETER));
    if (width == 0 || height == 0) width = height = 1;
    auto bitmap = BitmapObject::Create(width, height, BitmapObject::Rows::TopDown, BitmapObject::BitsVisible::No);
    if (!bitmap) return static_cast<HBITMAP>(Fail(ERROR_NOT_ENOUGH_MEMORY));
    return static_cast<HBITMAP>(RegisterObject(std::move(bitmap)));
}

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD offset) {
    if (bits) *bits = nullptr;
    if (hdc && !LookupDc(hdc)) return static_cast<HBITMAP>(Fail(ERROR_INVALID_HANDLE));
    if (!info || usage != DIB_RGB_COLORS || section || offset) {
        return static_cast<HBITMAP>(Fail(ERROR_INVALID_PARAMETER));
    }
    const BITMAPINFOHEADER& header = info->bmiHeader;
    if (header.biBitCount != 32 || header.biCompression != BI_RGB || header.biWidth <= 0 || header.biHeight == 0 ||
        header.biHeight == INT32_MIN) {
        return static_cast<HBITMAP>(Fail(ERROR_INVALID_PARAMETER));
    }
    const auto rows = header.biHeight < 0 ? BitmapObject::Rows::TopDown : BitmapObject::Rows::BottomUp;
    auto bitmap = BitmapObject::Create(header.biWidth, header.biHeight < 0 ? -header.biHeight : header.biHeight, rows,
                                       BitmapObject::BitsVisible::Yes);
    if (!bitmap) return static_cast<HBITMAP>(Fail(ERROR_NOT_ENOUGH_MEMORY));
    if (bits) *bits = bitmap->VisibleBits();
    return static_cast<HBITMAP>(RegisterObject(std::move(bitmap)));
}

HBRUSH CreateSolidBrush(COLORREF colour) {
    return static_cast<HBRUSH>(RegisterObject(std::make_shared<BrushObject>(colour & 0x00FFFFFF)));
}

HPEN CreatePen(int style, int width, COLORREF colour) {
    const int kind = style & PS_STYLE_MASK;
    if (kind > PS_INSIDEFRAME) return static_cast<HPEN>(Fail(ERROR_INVALID_PARAMETER));
    return static_cast<HPEN>(
        RegisterObject(std::make_shared<PenObject>(kind, std::max(width, 1), colour & 0x00FFFFFF)));
}

COLORREF GetSysColor(int index) {
    return SystemColour(index);
}

namespace platform {

HBITMAP CreateTopDownBitmap(HDC hdc, int width, int height, DWORD** bits) {
    if (bits) *bits = nullptr;
    if (width <= 0 || height <= 0) return static_cast<HBITMAP>(Fail(ERROR_INVALID_PARAMETER));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    HBITMAP bitmap = CreateDIBSection(hdc, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (bits) *bits = static_cast<DWORD*>(pixels);
    return bitmap;
}

HDC CreateSurfaceDC(cairo_surface_t* surface, const RECT& area) {
    // Only 32-bit image surfaces: everything here reads and writes four bytes a pixel.
    if (!surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS ||
        cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE ||
        (cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32 &&
         cairo_image_surface_get_format(surface) != CAIRO_FORMAT_RGB24) ||
        area.right < area.left || area.bottom < area.top) {
        return static_cast<HDC>(Fail(ERROR_INVALID_PARAMETER));
    }
    return static_cast<HDC>(RegisterObject(std::make_shared<DcObject>(surface, area)));
}

bool ReadBitmapPixel(HBITMAP handle, int x, int y, DWORD* argb) {
    auto bitmap = Lookup<BitmapObject>(handle);
    if (!bitmap || !argb || x < 0 || y < 0 || x >= bitmap->Width() || y >= bitmap->Height()) return false;
    cairo_surface_t* surface = bitmap->BeginAccess();
    const uint8_t* row = cairo_image_surface_get_data(surface) + static_cast<size_t>(y) * bitmap->Stride();
    std::memcpy(argb, row + static_cast<size_t>(x) * 4, 4);
    bitmap->EndAccess(false);
    return true;
}

bool WriteBitmapPng(HBITMAP handle, const std::string& path) {
    auto bitmap = Lookup<BitmapObject>(handle);
    if (!bitmap) return false;
    const cairo_status_t status = cairo_surface_write_to_png(bitmap->BeginAccess(), path.c_str());
    bitmap->EndAccess(false);
    return status == CAIRO_STATUS_SUCCESS;
}

}  // namespace platform
