#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include <pixman.h>

#include "platform/gdi/DeviceContext.h"
#include "platform/gdi/Gdi.h"
#include "platform/types/ErrorCodes.h"

using namespace platform::gdi;

namespace {

enum class Compose { Copy, Blend };

RECT Intersect(const RECT& a, const RECT& b) {
    return RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
}

bool IsEmpty(const RECT& rect) {
    return rect.left >= rect.right || rect.top >= rect.bottom;
}

// The part of the source that the destination's clip can show, on one axis: the clip
// [clipFrom, clipTo) of the destination span [dest, dest + length) mapped back onto the
// source span [from, from + sourceLength), widened by what a filter reads around a
// sample, so that the pixels drawn do not depend on how much was copied.
void NeededSpan(double clipFrom, double clipTo, int dest, int length, LONG from, int sourceLength, LONG* outFrom,
                LONG* outTo) {
    const double scale = static_cast<double>(sourceLength) / length;
    const double margin = 2 * std::ceil(scale) + 2;
    const double low = std::floor(from + (clipFrom - dest) * scale - margin);
    const double high = std::ceil(from + (clipTo - dest) * scale + margin);
    *outFrom = static_cast<LONG>(std::clamp<double>(low, from, from + int64_t{sourceLength}));
    *outTo = static_cast<LONG>(std::clamp<double>(high, from, from + int64_t{sourceLength}));
}

// Pixels for the copies of the source, kept per thread up to a size: allocating (and
// zeroing) a new copy for every draw cost more than the drawing.
constexpr size_t kKeptScratchBytes = size_t{8} << 20;

uint8_t* ScratchPixels(size_t bytes) {
    thread_local std::unique_ptr<uint8_t[]> data;
    thread_local size_t size = 0;
    if (bytes > size) {
        data.reset(new (std::nothrow) uint8_t[bytes]);
        size = data ? bytes : 0;
    }
    return data.get();
}

// The source rectangle `rect`, as far as it lies on the source, as a surface the draw can
// use; the surface has the size and place of that part whichever way it is made, so the
// draw computes the same pixels. Usually it is a view of the source's own pixels, kept
// readable until this object goes. When the source is the destination's surface, the part
// `needed` is copied into the scratch area first (the rest of the copy holds whatever the
// scratch area held, which a draw clipped to what `needed` was made from never reads).
// Without per-pixel alpha the surface ignores the source's alpha. No surface when nothing
// of `needed` is on the source or memory runs out.
class SourcePixels {
public:
    SourcePixels(DcObject& source, cairo_surface_t* destSurface, const RECT& rect, const RECT& needed,
                 cairo_format_t format);
    ~SourcePixels() {
        if (m_surface) cairo_surface_destroy(m_surface);
        if (m_viewed) m_viewed->EndAccess(false);
    }
    SourcePixels(const SourcePixels&) = delete;
    SourcePixels& operator=(const SourcePixels&) = delete;

    cairo_surface_t* Surface() const { return m_surface; }
    POINT Offset() const { return m_offset; }  // of the surface inside the source rectangle
    bool Whole() const { return m_whole; }     // the whole rectangle lies on the source

private:
    cairo_surface_t* m_surface = nullptr;
    DcObject* m_viewed = nullptr;
    std::unique_ptr<uint8_t[]> m_ownPixels;  // a copy too large for the scratch area
    POINT m_offset{};
    bool m_whole = false;
};

SourcePixels::SourcePixels(DcObject& source, cairo_surface_t* destSurface, const RECT& rect, const RECT& needed,
                           cairo_format_t format) {
    const RECT visible = Intersect(rect, source.Drawable());
    const RECT filled = Intersect(needed, visible);
    if (IsEmpty(visible) || IsEmpty(filled)) return;
    const int width = visible.right - visible.left;
    const int height = visible.bottom - visible.top;
    m_offset = POINT{visible.left - rect.left, visible.top - rect.top};
    m_whole = visible.left == rect.left && visible.top == rect.top && visible.right == rect.right &&
              visible.bottom == rect.bottom;
    POINT origin;
    cairo_surface_t* from = source.BeginAccess(&origin);
    uint8_t* fromData = cairo_image_surface_get_data(from);
    const int fromStride = cairo_image_surface_get_stride(from);
    if (from != destSurface) {
        m_viewed = &source;
        m_surface = cairo_image_surface_create_for_data(
            fromData + static_cast<size_t>(visible.top + origin.y) * fromStride + (visible.left + origin.x) * 4, format,
            width, height, fromStride);
        return;
    }
    const int toStride = cairo_format_stride_for_width(format, width);
    const size_t bytes = toStride > 0 ? static_cast<size_t>(toStride) * height : 0;
    if (bytes > kKeptScratchBytes) m_ownPixels.reset(new (std::nothrow) uint8_t[bytes]);
    uint8_t* toData = bytes == 0 ? nullptr : bytes > kKeptScratchBytes ? m_ownPixels.get() : ScratchPixels(bytes);
    if (toData) {
        const size_t rowBytes = static_cast<size_t>(filled.right - filled.left) * 4;
        for (LONG y = filled.top; y < filled.bottom; ++y) {
            std::memcpy(toData + static_cast<size_t>(y - visible.top) * toStride + (filled.left - visible.left) * 4,
                        fromData + static_cast<size_t>(y + origin.y) * fromStride + (filled.left + origin.x) * 4,
                        rowBytes);
        }
        m_surface = cairo_image_surface_create_for_data(toData, format, width, height, toStride);
    }
    source.EndAccess(false);
}

bool FitsInt(int64_t value) {
    return value >= INT32_MIN && value <= INT32_MAX;
}

// A copy without scaling between two different 32-bit surfaces, done as plain row copies
// inside the destination's clip: what cairo would compute, without a copy of the source
// or a composite (the back buffer goes to the window this way on every paint). Parts of
// the rectangle off the source are cleared. False, having changed nothing, when it does
// not apply (same surface, other formats).
bool CopyRows(DcObject& dest, DcObject& source, const RECT& destRect, POINT from) {
    if (!dest.Meets(destRect)) return true;
    POINT sourceOrigin;
    cairo_surface_t* sourceSurface = source.BeginAccess(&sourceOrigin);
    POINT destOrigin;
    cairo_surface_t* destSurface = dest.BeginAccess(&destOrigin);
    const bool applies = sourceSurface != destSurface &&
                         cairo_image_surface_get_format(sourceSurface) == CAIRO_FORMAT_ARGB32 &&
                         cairo_image_surface_get_format(destSurface) == CAIRO_FORMAT_ARGB32;
    if (applies) {
        const uint8_t* sourceData = cairo_image_surface_get_data(sourceSurface);
        const int sourceStride = cairo_image_surface_get_stride(sourceSurface);
        uint8_t* destData = cairo_image_surface_get_data(destSurface);
        const int destStride = cairo_image_surface_get_stride(destSurface);
        const RECT onSource = source.Drawable();
        const LONG dx = from.x - destRect.left;
        const LONG dy = from.y - destRect.top;
        dest.ForEachClipRect(destRect, [&](const RECT& r) {
            // The part of this rectangle whose pixels come from the source.
            const RECT inner =
                Intersect(r, RECT{onSource.left - dx, onSource.top - dy, onSource.right - dx, onSource.bottom - dy});
            for (LONG y = r.top; y < r.bottom; ++y) {
                uint32_t* row =
                    reinterpret_cast<uint32_t*>(destData + static_cast<size_t>(y + destOrigin.y) * destStride) +
                    destOrigin.x;
                if (IsEmpty(inner) || y < inner.top || y >= inner.bottom) {
                    std::fill(row + r.left, row + r.right, 0u);
                    continue;
                }
                std::fill(row + r.left, row + inner.left, 0u);
                const auto* sourceRow = reinterpret_cast<const uint32_t*>(
                                            sourceData + static_cast<size_t>(y + dy + sourceOrigin.y) * sourceStride) +
                                        sourceOrigin.x + dx;
                std::memcpy(row + inner.left, sourceRow + inner.left,
                            static_cast<size_t>(inner.right - inner.left) * 4);
                std::fill(row + inner.right, row + r.right, 0u);
            }
        });
        cairo_surface_mark_dirty(destSurface);
    }
    dest.EndAccess(applies);
    source.EndAccess(false);
    return applies;
}

// A pixman view of an image surface's pixels in `format`, with a reference for the caller. A
// view holds no pixels and no state of its own beyond what it is keyed
// by, so one made for memory that was freed and given out again with the same shape shows
// that memory as a new one would: views are kept instead of made for every blend.
pixman_image_t* PixmanView(cairo_surface_t* surface, pixman_format_code_t format) {
    struct View {
        uint32_t* bits = nullptr;
        int width = 0, height = 0, stride = 0;
        pixman_format_code_t format = PIXMAN_a8r8g8b8;
        pixman_image_t* image = nullptr;
    };
    struct Views {
        std::array<View, 4> kept;
        size_t next = 0;
        ~Views() {
            for (View& view : kept) {
                if (view.image) pixman_image_unref(view.image);
            }
        }
    };
    thread_local Views views;
    auto* bits = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(surface));
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    for (const View& view : views.kept) {
        if (view.image && view.bits == bits && view.width == width && view.height == height && view.stride == stride &&
            view.format == format) {
            return pixman_image_ref(view.image);
        }
    }
    pixman_image_t* image = pixman_image_create_bits(format, width, height, bits, stride);
    if (!image) return nullptr;
    View& slot = views.kept[views.next++ % views.kept.size()];
    if (slot.image) pixman_image_unref(slot.image);
    slot = View{bits, width, height, stride, format, image};
    return pixman_image_ref(image);
}

// A blend without scaling between two different 32-bit surfaces, composited by pixman box by
// box inside the destination's clip: the operation cairo runs for it, without a context,
// patterns or a view of the source (skin images are mostly drawn one to one, and the setup
// cost more than small draws). Parts of the rectangle off the source add nothing. False,
// having changed nothing, when it does not apply (same surface, other formats).
bool BlendRows(DcObject& dest, DcObject& source, const RECT& destRect, POINT from, const BLENDFUNCTION& blend) {
    if (!dest.Meets(destRect)) return true;
    POINT sourceOrigin;
    cairo_surface_t* sourceSurface = source.BeginAccess(&sourceOrigin);
    POINT destOrigin;
    cairo_surface_t* destSurface = dest.BeginAccess(&destOrigin);
    pixman_image_t* sourceImage = nullptr;
    pixman_image_t* destImage = nullptr;
    pixman_image_t* mask = nullptr;
    if (sourceSurface != destSurface && cairo_image_surface_get_format(sourceSurface) == CAIRO_FORMAT_ARGB32 &&
        cairo_image_surface_get_format(destSurface) == CAIRO_FORMAT_ARGB32) {
        // Without per-pixel alpha the source's alpha bytes are ignored, as cairo's RGB24 view does.
        sourceImage = PixmanView(sourceSurface, (blend.AlphaFormat & AC_SRC_ALPHA) ? PIXMAN_a8r8g8b8 : PIXMAN_x8r8g8b8);
        destImage = PixmanView(destSurface, PIXMAN_a8r8g8b8);
        // Cairo makes the constant alpha a solid mask the same way: 16 bits, of which pixman keeps the top 8.
        const pixman_color_t alpha{0, 0, 0, static_cast<uint16_t>(blend.SourceConstantAlpha * 257)};
        if (blend.SourceConstantAlpha != 255) mask = pixman_image_create_solid_fill(&alpha);
    }
    const bool applies = sourceImage && destImage && (mask || blend.SourceConstantAlpha == 255);
    if (applies) {
        const RECT onSource = source.Drawable();
        const LONG dx = from.x - destRect.left;
        const LONG dy = from.y - destRect.top;
        const RECT fromSource =
            Intersect(destRect, RECT{onSource.left - dx, onSource.top - dy, onSource.right - dx, onSource.bottom - dy});
        dest.ForEachClipRect(fromSource, [&](const RECT& part) {
            pixman_image_composite32(PIXMAN_OP_OVER, sourceImage, mask, destImage, part.left + dx + sourceOrigin.x,
                                     part.top + dy + sourceOrigin.y, 0, 0, part.left + destOrigin.x,
                                     part.top + destOrigin.y, part.right - part.left, part.bottom - part.top);
        });
        cairo_surface_mark_dirty(destSurface);
    }
    for (pixman_image_t* image : {sourceImage, destImage, mask}) {
        if (image) pixman_image_unref(image);
    }
    dest.EndAccess(applies);
    source.EndAccess(false);
    return applies;
}

// An affine map from device pixels to the pattern's, as cairo keeps one.
struct Affine {
    double xx, yx, xy, yy, x0, y0;
};

// `d` in pixman's 16.16, rounded to the nearest step (ties to even) the way cairo converts:
// the low 32 bits of the mantissa once the value is shifted to have steps of 1/65536.
pixman_fixed_t CairoFixed(double d) {
    const double shifted = d + 103079215104.0;  // 1.5 * 2^36
    uint64_t bits = 0;
    std::memcpy(&bits, &shifted, sizeof bits);
    return static_cast<pixman_fixed_t>(static_cast<uint32_t>(bits));
}

// The pixman transform and whole-pixel source offset that cairo makes for a nearest-sampled,
// scaled surface pattern with matrix `m`, for a composite whose extents are centred on
// (xc, yc): the translation is split so that both parts stay small, and the rounded fixed-point
// matrix is nudged to agree with `m` at the centre. Replayed step by step, with cairo's own
// order of operations, so that a stretch composited directly samples exactly the pixels
// cairo's would. False where cairo would give up on the matrix.
bool CairoNearestTransform(Affine m, double xc, double yc, pixman_transform_t* out, int* ix, int* iy) {
    *ix = 0;
    *iy = 0;
    if (m.x0 != 0.0 || m.y0 != 0.0) {
        double tx = m.x0;
        double ty = m.y0;
        double norm = std::max(std::fabs(tx), std::fabs(ty));
        for (int i = -1; i < 2; i += 2) {
            for (int j = -1; j < 2; j += 2) {
                double den = (m.xx + i) * (m.yy + j) - m.xy * m.yx;
                if (std::fabs(den) < std::numeric_limits<double>::epsilon()) continue;
                double x = m.y0 * m.xy - m.x0 * (m.yy + j);
                double y = m.x0 * m.yx - m.y0 * (m.xx + i);
                den = 1 / den;
                x *= den;
                y *= den;
                const double newNorm = std::max(std::fabs(x), std::fabs(y));
                if (norm > newNorm) {
                    norm = newNorm;
                    tx = x;
                    ty = y;
                }
            }
        }
        tx = std::floor(tx);
        ty = std::floor(ty);
        if (!(std::fabs(tx) < INT32_MAX) || !(std::fabs(ty) < INT32_MAX)) return false;
        *ix = static_cast<int>(-tx);
        *iy = static_cast<int>(-ty);
        m.x0 = tx * m.xx + ty * m.xy + m.x0;
        m.y0 = tx * m.yx + ty * m.yy + m.y0;
    }
    constexpr double kLimit = 32767.0;  // what pixman's deltas can hold
    for (const double v : {m.xx, m.xy, m.x0, m.yx, m.yy, m.y0}) {
        if (!(std::fabs(v) <= kLimit)) return false;
    }
    *out = pixman_transform_t{{{CairoFixed(m.xx), CairoFixed(m.xy), CairoFixed(m.x0)},
                               {CairoFixed(m.yx), CairoFixed(m.yy), CairoFixed(m.y0)},
                               {0, 0, pixman_fixed_1}}};
    // A matrix of determinant +-1 without shear is left as rounded.
    constexpr double kScalingEpsilon = 1.0 / 256;
    const double det = m.xx * m.yy - m.yx * m.xy;
    if (std::fabs(det * det - 1.0) < kScalingEpsilon &&
        ((std::fabs(m.xy) < kScalingEpsilon && std::fabs(m.yx) < kScalingEpsilon) ||
         (std::fabs(m.xx) < kScalingEpsilon && std::fabs(m.yy) < kScalingEpsilon))) {
        return true;
    }
    if (m.xy != 0.0 || m.yx != 0.0 || m.xx == 0.0 || m.yy == 0.0) return false;
    Affine inverse = m;
    inverse.x0 = -inverse.x0;
    inverse.y0 = -inverse.y0;
    if (inverse.xx != 1.0) {
        inverse.xx = 1.0 / inverse.xx;
        inverse.x0 *= inverse.xx;
    }
    if (inverse.yy != 1.0) {
        inverse.yy = 1.0 / inverse.yy;
        inverse.y0 *= inverse.yy;
    }
    for (int round = 0; round < 5; ++round) {
        pixman_vector_t vector{{CairoFixed(xc), CairoFixed(yc), pixman_fixed_1}};
        if (!pixman_transform_point_3d(out, &vector)) return true;
        double x = pixman_fixed_to_double(vector.vector[0]);
        double y = pixman_fixed_to_double(vector.vector[1]);
        const double px = inverse.xx * x + inverse.xy * y + inverse.x0;
        const double py = inverse.yx * x + inverse.yy * y + inverse.y0;
        x = px - xc;
        y = py - yc;
        const pixman_fixed_t dx = CairoFixed(m.xx * x + m.xy * y);
        const pixman_fixed_t dy = CairoFixed(m.yx * x + m.yy * y);
        out->matrix[0][2] -= dx;
        out->matrix[1][2] -= dy;
        if (dx == 0 && dy == 0) break;
    }
    return true;
}

// Source pixels as pixman reads them: the top-left of the rectangle drawn from, its size and
// its row stride in bytes.
struct SourceBits {
    const uint8_t* data;
    int width, height, stride;
};

// What pixman's nearest sampling with pad repeat and `transform` (a scale and a translation)
// composites OVER the device rectangle `part` of `dest`, the source read from `sourceAt`:
// each destination row takes a source row, and a run of rows taking the same source row, or
// rows of the same pixels, is sampled once. A sampled row without translucent pixels is copied;
// otherwise pixman blends it one to one, as its scaled path blends sampled pixels. False,
// having drawn nothing, when a co-ordinate would not fit pixman's arithmetic.
bool NearestOverPart(const pixman_transform_t& transform, const SourceBits& from, POINT sourceAt,
                     pixman_image_t* destImage, uint8_t* destData, int destStride, const RECT& part) {
    pixman_vector_t v{{pixman_int_to_fixed(sourceAt.x) + pixman_fixed_1 / 2,
                       pixman_int_to_fixed(sourceAt.y) + pixman_fixed_1 / 2, pixman_fixed_1}};
    if (!pixman_transform_point_3d(&transform, &v)) return false;
    const int width = part.right - part.left;
    const int64_t unitX = transform.matrix[0][0];
    const int64_t unitY = transform.matrix[1][1];
    // Rounded down, 0.5 going to 0, as pixman steps through its samples.
    const int64_t startX = int64_t{v.vector[0]} - pixman_fixed_e;
    int64_t y = int64_t{v.vector[1]} - pixman_fixed_e;
    const int64_t endX = startX + unitX * (width - 1);
    const int64_t endY = y + unitY * (part.bottom - part.top - 1);
    constexpr int64_t kLimit = int64_t{1} << 46;
    if (std::max({std::abs(startX), std::abs(endX), std::abs(y), std::abs(endY)}) >= kLimit) return false;
    thread_local std::vector<uint32_t> row;
    row.resize(static_cast<size_t>(width));
    pixman_image_t* rowImage = nullptr;
    const uint32_t* sampled = nullptr;  // the source row `row` holds
    bool opaque = false;
    auto clamp = [](int64_t value, int size) { return static_cast<int>(std::clamp<int64_t>(value, 0, size - 1)); };
    bool drawn = true;
    for (LONG destY = part.top; destY < part.bottom; ++destY, y += unitY) {
        const auto* sourceRow = reinterpret_cast<const uint32_t*>(
            from.data + static_cast<size_t>(clamp(y >> 16, from.height)) * from.stride);
        if (sampled == nullptr ||
            (sourceRow != sampled && std::memcmp(sourceRow, sampled, static_cast<size_t>(from.width) * 4) != 0)) {
            uint32_t alphas = 0xFF000000u;
            int64_t x = startX;
            const bool inside = std::min(startX, endX) >= 0 && (std::max(startX, endX) >> 16) < from.width;
            for (int i = 0; i < width; ++i, x += unitX) {
                const uint32_t pixel = sourceRow[inside ? static_cast<int>(x >> 16) : clamp(x >> 16, from.width)];
                alphas &= pixel;
                row[static_cast<size_t>(i)] = pixel;
            }
            opaque = alphas == 0xFF000000u;
        }
        sampled = sourceRow;
        if (opaque) {
            std::memcpy(destData + static_cast<size_t>(destY) * destStride + static_cast<size_t>(part.left) * 4,
                        row.data(), static_cast<size_t>(width) * 4);
            continue;
        }
        if (!rowImage) rowImage = pixman_image_create_bits(PIXMAN_a8r8g8b8, width, 1, row.data(), width * 4);
        if (!rowImage) {
            drawn = false;
            break;
        }
        pixman_image_composite32(PIXMAN_OP_OVER, rowImage, nullptr, destImage, 0, 0, 0, 0, part.left, destY, width, 1);
    }
    if (rowImage) pixman_image_unref(rowImage);
    return drawn;
}

// A stretched blend of per-pixel-alpha pixels between two different 32-bit surfaces with
// nearest sampling, composited by pixman box by box inside the destination's clip with the
// transform cairo would use: the same pixels without cairo's context, clip and pattern set-up
// (a progress bar stretches its image on every step). Only a source rectangle lying wholly on
// the source, at full constant alpha. False, having changed nothing, when it does not apply.
bool StretchBlendRows(DcObject& dest, DcObject& source, const RECT& destRect, const RECT& sourceRect,
                      const BLENDFUNCTION& blend) {
    const int width = destRect.right - destRect.left;
    const int height = destRect.bottom - destRect.top;
    const int sourceWidth = sourceRect.right - sourceRect.left;
    const int sourceHeight = sourceRect.bottom - sourceRect.top;
    const RECT onSource = source.Drawable();
    if (!(blend.AlphaFormat & AC_SRC_ALPHA) || blend.SourceConstantAlpha != 255 ||
        dest.m_state.stretchMode == HALFTONE || (width == sourceWidth && height == sourceHeight) ||
        sourceRect.left < onSource.left || sourceRect.top < onSource.top || sourceRect.right > onSource.right ||
        sourceRect.bottom > onSource.bottom) {
        return false;
    }
    thread_local std::vector<RECT> parts;
    parts.clear();
    dest.ForEachClipRect(destRect, [](const RECT& r) { parts.push_back(r); });
    if (parts.empty()) return true;
    RECT extents = parts.front();
    for (const RECT& r : parts) {
        extents = RECT{std::min(extents.left, r.left), std::min(extents.top, r.top), std::max(extents.right, r.right),
                       std::max(extents.bottom, r.bottom)};
    }
    POINT sourceOrigin;
    cairo_surface_t* sourceSurface = source.BeginAccess(&sourceOrigin);
    POINT destOrigin;
    cairo_surface_t* destSurface = dest.BeginAccess(&destOrigin);
    pixman_transform_t transform;
    int ix = 0, iy = 0;
    bool applies = sourceSurface != destSurface &&
                   cairo_image_surface_get_format(sourceSurface) == CAIRO_FORMAT_ARGB32 &&
                   cairo_image_surface_get_format(destSurface) == CAIRO_FORMAT_ARGB32;
    if (applies) {
        // The device-to-pattern matrix as cairo builds it from the context's translations and
        // scale, the pattern being the source rectangle.
        const double scaleX = static_cast<double>(width) / sourceWidth;
        const double scaleY = static_cast<double>(height) / sourceHeight;
        const double inverseX = 1 / scaleX;
        const double inverseY = 1 / scaleY;
        const double left = -static_cast<double>(destOrigin.x) - destRect.left;
        const double top = -static_cast<double>(destOrigin.y) - destRect.top;
        const Affine m{inverseX, 0, 0, inverseY, left * inverseX + top * 0.0, left * 0.0 + top * inverseY};
        const double xc = destOrigin.x + extents.left + (extents.right - extents.left) / 2.;
        const double yc = destOrigin.y + extents.top + (extents.bottom - extents.top) / 2.;
        applies = CairoNearestTransform(m, xc, yc, &transform, &ix, &iy);
    }
    pixman_image_t* sourceImage = nullptr;
    pixman_image_t* destImage = nullptr;
    if (applies) {
        auto* bits = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(sourceSurface) +
                                                 static_cast<size_t>(sourceRect.top + sourceOrigin.y) *
                                                     cairo_image_surface_get_stride(sourceSurface) +
                                                 static_cast<size_t>(sourceRect.left + sourceOrigin.x) * 4);
        sourceImage = pixman_image_create_bits(PIXMAN_a8r8g8b8, sourceWidth, sourceHeight, bits,
                                               cairo_image_surface_get_stride(sourceSurface));
        destImage = PixmanView(destSurface, PIXMAN_a8r8g8b8);
        applies = sourceImage && destImage && pixman_image_set_transform(sourceImage, &transform);
    }
    if (applies) {
        pixman_image_set_filter(sourceImage, PIXMAN_FILTER_NEAREST, nullptr, 0);
        pixman_image_set_repeat(sourceImage, PIXMAN_REPEAT_PAD);
        const SourceBits from{reinterpret_cast<const uint8_t*>(pixman_image_get_data(sourceImage)), sourceWidth,
                              sourceHeight, cairo_image_surface_get_stride(sourceSurface)};
        uint8_t* destData = cairo_image_surface_get_data(destSurface);
        const int destStride = cairo_image_surface_get_stride(destSurface);
        for (const RECT& part : parts) {
            const int x = part.left + destOrigin.x;
            const int y = part.top + destOrigin.y;
            const RECT onDevice{x, y, part.right + destOrigin.x, part.bottom + destOrigin.y};
            if (!NearestOverPart(transform, from, POINT{x + ix, y + iy}, destImage, destData, destStride, onDevice)) {
                pixman_image_composite32(PIXMAN_OP_OVER, sourceImage, nullptr, destImage, x + ix, y + iy, 0, 0, x, y,
                                         part.right - part.left, part.bottom - part.top);
            }
        }
        cairo_surface_mark_dirty(destSurface);
    }
    for (pixman_image_t* image : {sourceImage, destImage}) {
        if (image) pixman_image_unref(image);
    }
    dest.EndAccess(applies);
    source.EndAccess(false);
    return applies;
}

BOOL Transfer(HDC destHandle, int x, int y, int width, int height, HDC sourceHandle, int sourceX, int sourceY,
              int sourceWidth, int sourceHeight, Compose compose, const BLENDFUNCTION& blend) {
    auto dest = LookupDc(destHandle);
    auto source = LookupDc(sourceHandle);
    if (!dest || !source) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (width < 0 || height < 0 || sourceWidth < 0 || sourceHeight < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (width == 0 || height == 0 || sourceWidth == 0 || sourceHeight == 0) return TRUE;
    if (!FitsInt(int64_t{x} + width) || !FitsInt(int64_t{y} + height) || !FitsInt(int64_t{sourceX} + sourceWidth) ||
        !FitsInt(int64_t{sourceY} + sourceHeight)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const RECT sourceRect{sourceX, sourceY, sourceX + sourceWidth, sourceY + sourceHeight};
    const bool perPixelAlpha = compose == Compose::Copy || (blend.AlphaFormat & AC_SRC_ALPHA);
    if (compose == Compose::Blend) {
        const SIZE extent = source->Extent();
        if (blend.BlendOp != AC_SRC_OVER || sourceRect.left < 0 || sourceRect.top < 0 || sourceRect.right > extent.cx ||
            sourceRect.bottom > extent.cy) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        if (blend.SourceConstantAlpha == 0) return TRUE;
    }
    const RECT destRect{x, y, x + width, y + height};
    if (width == sourceWidth && height == sourceHeight) {
        const POINT from{sourceX, sourceY};
        if (compose == Compose::Copy ? CopyRows(*dest, *source, destRect, from)
                                     : BlendRows(*dest, *source, destRect, from, blend)) {
            return TRUE;
        }
    }
    if (compose == Compose::Blend && StretchBlendRows(*dest, *source, destRect, sourceRect, blend)) return TRUE;
    DcPainter painter(*dest, &destRect);
    if (!painter) return TRUE;
    // Only what the clip lets through is copied: a large image drawn into a small invalid
    // area costs that area, not the image.
    double clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;
    cairo_clip_extents(painter.Cr(), &clipLeft, &clipTop, &clipRight, &clipBottom);
    RECT needed;
    NeededSpan(clipLeft, clipRight, x, width, sourceRect.left, sourceWidth, &needed.left, &needed.right);
    NeededSpan(clipTop, clipBottom, y, height, sourceRect.top, sourceHeight, &needed.top, &needed.bottom);
    const SourcePixels pixels(*source, cairo_get_target(painter.Cr()), sourceRect, needed,
                              perPixelAlpha ? CAIRO_FORMAT_ARGB32 : CAIRO_FORMAT_RGB24);
    if (!pixels.Surface() || cairo_surface_status(pixels.Surface()) != CAIRO_STATUS_SUCCESS) {
        // Nothing of the rectangle the clip shows is on the source: a copy clears, a blend
        // adds nothing.
        if (compose == Compose::Copy) {
            cairo_set_operator(painter.Cr(), CAIRO_OPERATOR_CLEAR);
            cairo_paint(painter.Cr());
        }
        return TRUE;
    }
    cairo_t* cr = painter.Cr();
    cairo_translate(cr, x, y);
    cairo_scale(cr, static_cast<double>(width) / sourceWidth, static_cast<double>(height) / sourceHeight);
    cairo_set_source_surface(cr, pixels.Surface(), pixels.Offset().x, pixels.Offset().y);
    cairo_pattern_t* pattern = cairo_get_source(cr);
    const bool exact = width == sourceWidth && height == sourceHeight;
    cairo_pattern_set_filter(
        pattern, !exact && dest->m_state.stretchMode == HALFTONE ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST);
    // Filtering at the edges must not fade into pixels outside the source rectangle; parts
    // of the rectangle off the source stay transparent.
    cairo_pattern_set_extend(pattern, pixels.Whole() ? CAIRO_EXTEND_PAD : CAIRO_EXTEND_NONE);
    if (compose == Compose::Copy) {
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_paint(cr);
    } else {
        cairo_paint_with_alpha(cr, blend.SourceConstantAlpha / 255.0);
    }
    // The source's pixels are let go of before the painter lets go of the context.
    cairo_set_source_rgba(cr, 0, 0, 0, 0);
    return TRUE;
}

bool SupportedRop(DWORD rop) {
    if (rop == SRCCOPY) return true;
    SetLastError(ERROR_NOT_SUPPORTED);
    return false;
}

}  // namespace

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, DWORD rop) {
    if (!SupportedRop(rop)) return FALSE;
    return Transfer(dest, x, y, width, height, source, sourceX, sourceY, width, height, Compose::Copy, {});
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, int sourceWidth,
                int sourceHeight, DWORD rop) {
    if (!SupportedRop(rop)) return FALSE;
    return Transfer(dest, x, y, width, height, source, sourceX, sourceY, sourceWidth, sourceHeight, Compose::Copy, {});
}

BOOL AlphaBlend(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY, int sourceWidth,
                int sourceHeight, BLENDFUNCTION blend) {
    return Transfer(dest, x, y, width, height, source, sourceX, sourceY, sourceWidth, sourceHeight, Compose::Blend,
                    blend);
}
