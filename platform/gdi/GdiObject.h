// The objects behind drawing handles (HDC, HBITMAP, HFONT, HBRUSH, HPEN, HRGN)
// and the process-wide table that hands out their handles. Any thread may
// create, look up and delete handles (the table locks; a thread also keeps its
// recent lookups, good while their handles stay registered); an object itself
// belongs to the thread that draws with it and takes no lock. Handle numbers
// are never reused, so a stale handle fails cleanly instead of reaching a newer
// object. Internal to the drawing layer: callers use the Win32-shaped API.
#pragma once

#include <atomic>

#include <cairo.h>
#include <pango/pango.h>

#include <memory>
#include <optional>
#include <vector>

#include "platform/gdi/GdiTypes.h"
#include "platform/gdi/Region.h"

namespace platform::gdi {

class GdiObject {
public:
    explicit GdiObject(UINT type) : m_type(type) {}
    virtual ~GdiObject() = default;
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    UINT Type() const { return m_type; }
    // How many device contexts have the object selected; such an object cannot be deleted.
    int m_selectedIn = 0;
    bool m_stock = false;
    HGDIOBJ m_handle = nullptr;  // set once registered
    // The handle's value while the handle table holds the object, else 0: a thread's recent
    // lookups check it instead of the table.
    std::atomic<uintptr_t> m_registeredAs{0};

private:
    UINT m_type;
};

// A 32-bit premultiplied ARGB pixel buffer. Top-down bitmaps draw straight on
// their bits; a bottom-up DIB section keeps its rows in the caller's order and
// mirrors them into a top-down cairo surface around every drawing call.
class BitmapObject : public GdiObject {
public:
    enum class Rows { TopDown, BottomUp };
    enum class BitsVisible { No, Yes };
    // Null when the size is out of range or memory runs out.
    static std::shared_ptr<BitmapObject> Create(int width, int height, Rows rows, BitsVisible visible);
    static bool IsKind(UINT type) { return type == OBJ_BITMAP; }
    ~BitmapObject() override;

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Stride() const { return m_width * 4; }
    // The bits a DIB section shows its caller (null for compatible bitmaps).
    void* VisibleBits() const { return m_bitsVisible ? m_bits.get() : nullptr; }

    // The surface to read or draw; pair every call with EndAccess.
    cairo_surface_t* BeginAccess();
    void EndAccess(bool written);

private:
    BitmapObject() : GdiObject(OBJ_BITMAP) {}
    void CopyRows(uint8_t* to, const uint8_t* from);

    int m_width = 0;
    int m_height = 0;
    Rows m_rows = Rows::TopDown;
    bool m_bitsVisible = false;
    std::unique_ptr<uint8_t[]> m_bits;
    std::unique_ptr<uint8_t[]> m_mirror;  // bottom-up DIB sections only
    cairo_surface_t* m_surface = nullptr;
};

class BrushObject : public GdiObject {
public:
    // A null brush paints nothing.
    explicit BrushObject(std::optional<COLORREF> colour) : GdiObject(OBJ_BRUSH), m_colour(colour) {}
    static bool IsKind(UINT type) { return type == OBJ_BRUSH; }
    std::optional<COLORREF> m_colour;
};

class PenObject : public GdiObject {
public:
    PenObject(int style, int width, COLORREF colour)
        : GdiObject(OBJ_PEN), m_style(style), m_width(width), m_colour(colour) {}
    static bool IsKind(UINT type) { return type == OBJ_PEN; }
    int m_style;
    int m_width;
    COLORREF m_colour;
};

class FontObject : public GdiObject {
public:
    explicit FontObject(const LOGFONTW& logFont);
    ~FontObject() override;
    static bool IsKind(UINT type) { return type == OBJ_FONT; }
    const LOGFONTW& LogFont() const { return m_logFont; }
    const PangoFontDescription* Description() const { return m_description; }
    const TEXTMETRICW& Metrics() const { return m_metrics; }

private:
    LOGFONTW m_logFont;
    PangoFontDescription* m_description = nullptr;
    TEXTMETRICW m_metrics;
};

class RegionObject : public GdiObject {
public:
    explicit RegionObject(Region region) : GdiObject(OBJ_REGION), m_region(std::move(region)) {}
    static bool IsKind(UINT type) { return type == OBJ_REGION; }
    Region m_region;
};

HGDIOBJ RegisterObject(std::shared_ptr<GdiObject> object);
std::shared_ptr<GdiObject> LookupObject(HGDIOBJ handle);
// Removes the handle; false when it is unknown.
bool UnregisterObject(HGDIOBJ handle);

// The object behind `handle` when it is a T (each class names the types it stands for).
template <typename T>
std::shared_ptr<T> Lookup(HGDIOBJ handle) {
    std::shared_ptr<GdiObject> object = LookupObject(handle);
    if (!object || !T::IsKind(object->Type())) return nullptr;
    return std::static_pointer_cast<T>(std::move(object));
}

// Stock objects live as long as the process; deleting one is a harmless no-op.
// Besides the public indexes there is the 1x1 bitmap a new memory DC starts with.
inline constexpr int kStockDefaultBitmap = 32;
HGDIOBJ StockObject(int index);

// Cairo source colours from the two colour encodings the callers use.
void SetSourceColorRef(cairo_t* cr, COLORREF colour);
void SetSourceArgb(cairo_t* cr, DWORD argb);
COLORREF SystemColour(int index);

}  // namespace platform::gdi
