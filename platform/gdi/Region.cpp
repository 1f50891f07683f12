#include "platform/gdi/Region.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>

namespace platform {
namespace {

using Span = std::pair<LONG, LONG>;  // [left, right)

bool Valid(const RECT& r) {
    return r.left < r.right && r.top < r.bottom;
}

// The x-spans of `rects` that cover the whole band [top, bottom); banded input
// covers a band either fully or not at all.
std::vector<Span> SpansInBand(const std::vector<RECT>& rects, LONG top, LONG bottom) {
    std::vector<Span> spans;
    for (const RECT& r : rects) {
        if (r.top > top) break;
        if (r.top <= top && r.bottom >= bottom) spans.emplace_back(r.left, r.right);
    }
    return spans;
}

bool Inside(const std::vector<Span>& spans, LONG x) {
    for (const Span& s : spans) {
        if (x >= s.first && x < s.second) return true;
    }
    return false;
}

bool Apply(Region::Op op, bool a, bool b) {
    switch (op) {
        case Region::Op::And:
            return a && b;
        case Region::Op::Or:
            return a || b;
        case Region::Op::Xor:
            return a != b;
        case Region::Op::Diff:
            return a && !b;
    }
    return false;
}

// Appends one band, merging it into the previous band when that one touches it
// and has the same spans, so equal areas always get equal rectangle lists.
void AppendBand(std::vector<RECT>& out, size_t& lastBandStart, const std::vector<Span>& spans, LONG top, LONG bottom) {
    if (spans.empty()) return;
    const size_t lastCount = out.size() - lastBandStart;
    if (lastCount == spans.size() && out.size() > 0 && out.back().bottom == top) {
        bool same = true;
        for (size_t i = 0; i < spans.size() && same; ++i) {
            const RECT& r = out[lastBandStart + i];
            same = r.left == spans[i].first && r.right == spans[i].second;
        }
        if (same) {
            for (size_t i = lastBandStart; i < out.size(); ++i)
                out[i].bottom = bottom;
            return;
        }
    }
    lastBandStart = out.size();
    for (const Span& s : spans)
        out.push_back(RECT{s.first, top, s.second, bottom});
}

// `region` and one rectangle, band by band: clipping keeps the bands and their order, and
// only bands that become alike and touch need merging. The common case of clipping (a
// drawable area, a control's rectangle) without the general walk's sorting.
// Painting clips this way around every control, so the bands go straight into the result
// (one allocation) and a band is taken back out when it merges into the one above.
std::vector<RECT> IntersectWithRect(const std::vector<RECT>& region, const RECT& rect) {
    std::vector<RECT> out;
    out.reserve(region.size());
    size_t lastBandStart = 0;
    for (size_t i = 0; i < region.size();) {
        const LONG top = std::max(region[i].top, rect.top);
        const LONG bottom = std::min(region[i].bottom, rect.bottom);
        const LONG bandTop = region[i].top;
        const size_t bandStart = out.size();
        for (; i < region.size() && region[i].top == bandTop; ++i) {
            const LONG left = std::max(region[i].left, rect.left);
            const LONG right = std::min(region[i].right, rect.right);
            if (left < right && top < bottom) out.push_back(RECT{left, top, right, bottom});
        }
        const size_t count = out.size() - bandStart;
        if (count == 0) continue;
        bool merges = bandStart > 0 && bandStart - lastBandStart == count && out[bandStart - 1].bottom == top;
        for (size_t k = 0; merges && k < count; ++k) {
            merges = out[lastBandStart + k].left == out[bandStart + k].left &&
                     out[lastBandStart + k].right == out[bandStart + k].right;
        }
        if (merges) {
            for (size_t k = lastBandStart; k < bandStart; ++k)
                out[k].bottom = bottom;
            out.resize(bandStart);
        } else {
            lastBandStart = bandStart;
        }
    }
    return out;
}

}  // namespace

Region::Region(const RECT& rect) {
    if (Valid(rect)) m_rects.push_back(rect);
}

Region Region::RoundRect(const RECT& rect, int ellipseWidth, int ellipseHeight) {
    // Larger corners are cut as this size: no window needs more, and the row walk stays short.
    constexpr int64_t kMaxEllipse = 8192;
    Region region;
    if (!Valid(rect)) return region;
    const int64_t width = int64_t{rect.right} - rect.left;
    const int64_t height = int64_t{rect.bottom} - rect.top;
    const double w = static_cast<double>(std::min({int64_t{std::max(ellipseWidth, 0)}, width, kMaxEllipse}));
    const double h = static_cast<double>(std::min({int64_t{std::max(ellipseHeight, 0)}, height, kMaxEllipse}));
    if (w < 2 || h < 2) return Region(rect);
    // The corner ellipse spans `w` x `h` pixels: its edge runs through the centres of its
    // outermost pixels, so even a 2 x 2 ellipse takes the corner pixel, as the system's does.
    // A pixel stays when its centre lies inside.
    const double rx = (w - 1) / 2;
    const double ry = (h - 1) / 2;
    size_t lastBandStart = 0;
    auto addRow = [&](LONG y) {
        const double centre = y + 0.5;
        double dy = 0;
        if (centre < rect.top + h / 2) dy = rect.top + h / 2 - centre;
        if (centre > rect.bottom - h / 2) dy = centre - (rect.bottom - h / 2);
        LONG cut = 0;
        if (dy > 0) {
            const double reach = rx * std::sqrt(std::max(0.0, 1.0 - (dy / ry) * (dy / ry)));
            cut = static_cast<LONG>(std::max(0.0, std::ceil(w / 2 - reach - 0.5 - 1e-9)));
        }
        if (2 * int64_t{cut} >= width) return;
        AppendBand(region.m_rects, lastBandStart, {Span{rect.left + cut, rect.right - cut}}, y, y + 1);
    };
    const auto cornerRows = static_cast<LONG>(std::ceil(h / 2));
    const LONG topEnd = rect.top + cornerRows;
    const LONG bottomStart = std::max<LONG>(topEnd, rect.bottom - cornerRows);
    for (LONG y = rect.top; y < topEnd; ++y)
        addRow(y);
    if (topEnd < bottomStart) {
        AppendBand(region.m_rects, lastBandStart, {Span{rect.left, rect.right}}, topEnd, bottomStart);
    }
    for (LONG y = bottomStart; y < rect.bottom; ++y)
        addRow(y);
    return region;
}

Region Region::Combine(const Region& a, const Region& b, Op op) {
    if (op == Op::Or) {
        // Adding to an area that already holds it, as invalidating an invalid window does.
        auto holds = [](const Region& outer, const Region& inner) {
            if (inner.m_rects.empty()) return true;
            if (outer.m_rects.size() != 1) return false;
            const RECT& o = outer.m_rects[0];
            const RECT box = inner.Bounds();
            return o.left <= box.left && o.top <= box.top && o.right >= box.right && o.bottom >= box.bottom;
        };
        if (holds(a, b)) return a;
        if (holds(b, a)) return b;
    }
    if (op == Op::And && (a.m_rects.size() <= 1 || b.m_rects.size() <= 1)) {
        Region result;
        if (a.m_rects.empty() || b.m_rects.empty()) return result;
        const bool aIsRect = a.m_rects.size() == 1;
        result.m_rects = IntersectWithRect(aIsRect ? b.m_rects : a.m_rects, aIsRect ? a.m_rects[0] : b.m_rects[0]);
        return result;
    }
    std::vector<LONG> ys;
    for (const auto* list : {&a.m_rects, &b.m_rects}) {
        for (const RECT& r : *list) {
            ys.push_back(r.top);
            ys.push_back(r.bottom);
        }
    }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());

    Region result;
    size_t lastBandStart = 0;
    std::vector<LONG> xs;
    for (size_t i = 0; i + 1 < ys.size(); ++i) {
        const LONG top = ys[i];
        const LONG bottom = ys[i + 1];
        const std::vector<Span> spansA = SpansInBand(a.m_rects, top, bottom);
        const std::vector<Span> spansB = SpansInBand(b.m_rects, top, bottom);
        xs.clear();
        for (const auto* spans : {&spansA, &spansB}) {
            for (const Span& s : *spans) {
                xs.push_back(s.first);
                xs.push_back(s.second);
            }
        }
        std::sort(xs.begin(), xs.end());
        xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
        std::vector<Span> band;
        for (size_t j = 0; j + 1 < xs.size(); ++j) {
            if (!Apply(op, Inside(spansA, xs[j]), Inside(spansB, xs[j]))) continue;
            if (!band.empty() && band.back().second == xs[j]) {
                band.back().second = xs[j + 1];
            } else {
                band.emplace_back(xs[j], xs[j + 1]);
            }
        }
        AppendBand(result.m_rects, lastBandStart, band, top, bottom);
    }
    return result;
}

int Region::Kind() const {
    if (m_rects.empty()) return NULLREGION;
    return m_rects.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

RECT Region::Bounds() const {
    if (m_rects.empty()) return RECT{};
    RECT box = m_rects.front();
    for (const RECT& r : m_rects) {
        box.left = std::min(box.left, r.left);
        box.top = std::min(box.top, r.top);
        box.right = std::max(box.right, r.right);
        box.bottom = std::max(box.bottom, r.bottom);
    }
    return box;
}

bool Region::Contains(int x, int y) const {
    for (const RECT& r : m_rects) {
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
    }
    return false;
}

void Region::Offset(int dx, int dy) {
    // Saturates instead of wrapping, so an absurd offset cannot turn rectangles inside out.
    auto move = [](LONG value, int by) {
        return static_cast<LONG>(std::clamp<int64_t>(int64_t{value} + by, INT32_MIN, INT32_MAX));
    };
    for (RECT& r : m_rects) {
        r.left = move(r.left, dx);
        r.right = move(r.right, dx);
        r.top = move(r.top, dy);
        r.bottom = move(r.bottom, dy);
    }
}

bool Region::operator==(const Region& other) const {
    return std::equal(m_rects.begin(), m_rects.end(), other.m_rects.begin(), other.m_rects.end(),
                      [](const RECT& x, const RECT& y) {
                          return x.left == y.left && x.top == y.top && x.right == y.right && x.bottom == y.bottom;
                      });
}

}  // namespace platform
