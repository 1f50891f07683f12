#include "platform/gdi/GdiObject.h"

#include <array>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_map>

namespace platform::gdi {
namespace {

// Keeps every surface well inside cairo's and int's limits.
constexpr int kMaxBitmapSide = 32767;
constexpr int64_t kMaxBitmapPixels = int64_t{1} << 26;

struct ObjectTable {
    std::mutex mutex;
    std::unordered_map<uintptr_t, std::shared_ptr<GdiObject>> objects;
    uintptr_t next = 0x10004;  // apart from the kernel handles' range, to make mix-ups visible in logs
};

// A thread's recent lookups, good while their objects are still registered under the handle
// (handles are never given out twice): drawing looks the same few handles up again and again,
// and the table's lock and hash cost more than a small draw. Removing another handle, as every
// paint does with its window DC, leaves them good.
struct RecentLookup {
    uintptr_t id = 0;
    std::weak_ptr<GdiObject> object;
};

ObjectTable& Table() {
    static ObjectTable* table = new ObjectTable;  // outlives static destructors that may delete objects
    return *table;
}

}  // namespace

HGDIOBJ RegisterObject(std::shared_ptr<GdiObject> object) {
    if (!object) return nullptr;
    ObjectTable& t = Table();
    std::lock_guard lock(t.mutex);
    const uintptr_t id = t.next;
    t.next += 4;
    object->m_handle = reinterpret_cast<HGDIOBJ>(id);
    object->m_registeredAs.store(id, std::memory_order_release);
    t.objects.emplace(id, std::move(object));
    return reinterpret_cast<HGDIOBJ>(id);
}

std::shared_ptr<GdiObject> LookupObject(HGDIOBJ handle) {
    constexpr size_t kRecent = 16;  // a power of two
    thread_local std::array<RecentLookup, kRecent> recent;
    const auto id = reinterpret_cast<uintptr_t>(handle);
    RecentLookup& slot = recent[(id >> 2) & (kRecent - 1)];
    ObjectTable& t = Table();
    if (id != 0 && slot.id == id) {
        std::shared_ptr<GdiObject> object = slot.object.lock();
        if (object && object->m_registeredAs.load(std::memory_order_acquire) == id) return object;
    }
    std::shared_ptr<GdiObject> found;
    {
        std::lock_guard lock(t.mutex);
        const auto it = t.objects.find(id);
        if (it != t.objects.end()) found = it->second;
    }
    if (found) slot = RecentLookup{id, found};
    return found;
}

bool UnregisterObject(HGDIOBJ handle) {
    std::shared_ptr<GdiObject> doomed;  // freed outside the lock
    ObjectTable& t = Table();
    std::lock_guard lock(t.mutex);
    const auto it = t.objects.find(reinterpret_cast<uintptr_t>(handle));
    if (it == t.objects.end()) return false;
    doomed = std::move(it->second);
    doomed->m_registeredAs.store(0, std::memory_order_release);
    t.objects.erase(it);
    return true;
}

HGDIOBJ StockObject(int index) {
    static const std::vector<HGDIOBJ> stock = [] {
        std::vector<HGDIOBJ> handles(kStockDefaultBitmap + 1, nullptr);
        auto keep = [&](int i, std::shared_ptr<GdiObject> object) {
            object->m_stock = true;
            handles[i] = RegisterObject(std::move(object));
        };
        keep(WHITE_BRUSH, std::make_shared<BrushObject>(RGB(255, 255, 255)));
        keep(LTGRAY_BRUSH, std::make_shared<BrushObject>(RGB(192, 192, 192)));
        keep(GRAY_BRUSH, std::make_shared<BrushObject>(RGB(128, 128, 128)));
        keep(DKGRAY_BRUSH, std::make_shared<BrushObject>(RGB(64, 64, 64)));
        keep(BLACK_BRUSH, std::make_shared<BrushObject>(RGB(0, 0, 0)));
        keep(NULL_BRUSH, std::make_shared<BrushObject>(std::nullopt));
        keep(WHITE_PEN, std::make_shared<PenObject>(PS_SOLID, 1, RGB(255, 255, 255)));
        keep(BLACK_PEN, std::make_shared<PenObject>(PS_SOLID, 1, RGB(0, 0, 0)));
        keep(NULL_PEN, std::make_shared<PenObject>(PS_NULL, 1, RGB(0, 0, 0)));
        // Every stock font is the pinned face at the size of the system's dialog font.
        LOGFONTW logFont;
        logFont.lfHeight = -12;
        logFont.lfWeight = FW_NORMAL;
        logFont.lfCharSet = DEFAULT_CHARSET;
        auto font = std::make_shared<FontObject>(logFont);
        font->m_stock = true;
        const HGDIOBJ fontHandle = RegisterObject(font);
        for (int i = OEM_FIXED_FONT; i <= DEFAULT_GUI_FONT; ++i)
            handles[i] = fontHandle;
        handles[15] = nullptr;  // the default palette: no palettes here
        keep(kStockDefaultBitmap,
             BitmapObject::Create(1, 1, BitmapObject::Rows::TopDown, BitmapObject::BitsVisible::No));
        return handles;
    }();
    if (index < 0 || static_cast<size_t>(index) >= stock.size()) return nullptr;
    return stock[index];
}

std::shared_ptr<BitmapObject> BitmapObject::Create(int width, int height, Rows rows, BitsVisible visible) {
    if (width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide ||
        int64_t{width} * height > kMaxBitmapPixels) {
        return nullptr;
    }
    std::shared_ptr<BitmapObject> bitmap(new BitmapObject);
    const size_t bytes = static_cast<size_t>(width) * 4 * height;
    bitmap->m_bits.reset(new (std::nothrow) uint8_t[bytes]);
    if (!bitmap->m_bits) return nullptr;
    std::memset(bitmap->m_bits.get(), 0, bytes);
    uint8_t* surfaceBits = bitmap->m_bits.get();
    if (rows == Rows::BottomUp) {
        bitmap->m_mirror.reset(new (std::nothrow) uint8_t[bytes]);
        if (!bitmap->m_mirror) return nullptr;
        std::memset(bitmap->m_mirror.get(), 0, bytes);
        surfaceBits = bitmap->m_mirror.get();
    }
    bitmap->m_width = width;
    bitmap->m_height = height;
    bitmap->m_rows = rows;
    bitmap->m_bitsVisible = visible == BitsVisible::Yes;
    bitmap->m_surface = cairo_image_surface_create_for_data(surfaceBits, CAIRO_FORMAT_ARGB32, width, height, width * 4);
    if (cairo_surface_status(bitmap->m_surface) != CAIRO_STATUS_SUCCESS) return nullptr;
    return bitmap;
}

BitmapObject::~BitmapObject() {
    if (m_surface) cairo_surface_destroy(m_surface);
}

void BitmapObject::CopyRows(uint8_t* to, const uint8_t* from) {
    const size_t stride = static_cast<size_t>(Stride());
    for (int y = 0; y < m_height; ++y) {
        std::memcpy(to + stride * y, from + stride * (m_height - 1 - y), stride);
    }
}

cairo_surface_t* BitmapObject::BeginAccess() {
    // The caller may have written the bits directly since the last call.
    if (m_rows == Rows::BottomUp) CopyRows(m_mirror.get(), m_bits.get());
    cairo_surface_mark_dirty(m_surface);
    return m_surface;
}

void BitmapObject::EndAccess(bool written) {
    cairo_surface_flush(m_surface);
    if (written && m_rows == Rows::BottomUp) CopyRows(m_bits.get(), m_mirror.get());
}

void SetSourceColorRef(cairo_t* cr, COLORREF colour) {
    cairo_set_source_rgb(cr, GetRValue(colour) / 255.0, GetGValue(colour) / 255.0, GetBValue(colour) / 255.0);
}

void SetSourceArgb(cairo_t* cr, DWORD argb) {
    cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0, (argb & 0xFF) / 255.0,
                          ((argb >> 24) & 0xFF) / 255.0);
}

COLORREF SystemColour(int index) {
    switch (index) {
        case COLOR_WINDOW:
        case COLOR_HIGHLIGHTTEXT:
        case COLOR_BTNHIGHLIGHT:
        case COLOR_CAPTIONTEXT:
            return RGB(255, 255, 255);
        case COLOR_BTNFACE:
        case COLOR_MENU:
        case COLOR_SCROLLBAR:
            return RGB(240, 240, 240);
        case COLOR_BTNSHADOW:
        case COLOR_GRAYTEXT:
            return RGB(160, 160, 160);
        case COLOR_HIGHLIGHT:
            return RGB(0, 120, 215);
        case COLOR_ACTIVECAPTION:
            return RGB(153, 180, 209);
        case COLOR_INACTIVECAPTION:
            return RGB(191, 205, 219);
        case COLOR_INFOBK:
            return RGB(255, 255, 225);
        default:
            return RGB(0, 0, 0);
    }
}

}  // namespace platform::gdi
