#include "platform/gdi/Region.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <span>
#include <utility>

namespace platform {
namespace {

using Span = std::pair<LONG, LONG>;  // [left, right)

bool Valid(const RECT& r) {
    return r.left < r.right && r.top < r.bottom;
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

// A walk down the bands of a banded rectangle list.
class Bands {
public:
    explicit Bands(const std::vector<RECT>& rects) : m_rects(rects) { FindEnd(); }
    bool Done() const { return m_at >= m_rects.size(); }
    LONG Top() const { return Done() ? INT32_MAX : m_rects[m_at].top; }
    // The first band edge below `y`: the current band's top when it starts below, else its
    // bottom; the largest value when the list is used up.
    LONG NextEdge(LONG y) const {
        if (Done()) return INT32_MAX;
        return m_rects[m_at].top > y ? m_rects[m_at].top : m_rects[m_at].bottom;
    }
    // The current band's rectangles when the band covers `y`, else none.
    std::span<const RECT> SpansAt(LONG y) const {
        if (Done() || m_rects[m_at].top > y) return {};
        return std::span<const RECT>(m_rects.data() + m_at, m_end - m_at);
    }
    // Moves on past bands that end at or above `y`.
    void Pass(LONG y) {
        if (!Done() && m_rects[m_at].bottom <= y) {
            m_at = m_end;
            FindEnd();
        }
    }

private:
    void FindEnd() {
        m_end = m_at;
        while (m_end < m_rects.size() && m_rects[m_end].top == m_rects[m_at].top)
            ++m_end;
    }
    const std::vector<RECT>& m_rects;
    size_t m_at = 0;
    size_t m_end = 0;
};

// The spans of one band of the result: both sides' sorted spans walked edge by edge, the
// runs where `op` holds kept and joined where they touch.
void CombineSpans(std::span<const RECT> a, std::span<const RECT> b, Region::Op op, std::vector<Span>* out) {
    out->clear();
    size_t i = 0, j = 0;
    bool inA = false, inB = false;
    bool started = false;
    LONG from = 0;
    while (i < a.size() || j < b.size()) {
        const bool moreA = i < a.size(), moreB = j < b.size();
        const LONG edgeA = moreA ? (inA ? a[i].right : a[i].left) : INT32_MAX;
        const LONG edgeB = moreB ? (inB ? b[j].right : b[j].left) : INT32_MAX;
        const LONG x = std::min(edgeA, edgeB);
        if (started && from < x && Apply(op, inA, inB)) {
            if (!out->empty() && out->back().second == from) {
                out->back().second = x;
            } else {
                out->emplace_back(from, x);
            }
        }
        if (moreA && edgeA == x) {
            if (inA) ++i;
            inA = !inA;
        }
        if (moreB && edgeB == x) {
            if (inB) ++j;
            inB = !inB;
        }
        from = x;
        started = true;
    }
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
    // Both lists are banded, so one walk down them both visits every y-interval in order, and
    // in each the spans of either side are already sorted: no sorting and no per-band lists.
    Region result;
    result.m_rects.reserve(a.m_rects.size() + b.m_rects.size());
    thread_local std::vector<Span> band;  // kept: windows combine regions on every paint
    size_t lastBandStart = 0;
    Bands bandsA(a.m_rects), bandsB(b.m_rects);
    LONG y = std::min(bandsA.Top(), bandsB.Top());
    while (!bandsA.Done() || !bandsB.Done()) {
        const LONG next = std::min(bandsA.NextEdge(y), bandsB.NextEdge(y));
        CombineSpans(bandsA.SpansAt(y), bandsB.SpansAt(y), op, &band);
        AppendBand(result.m_rects, lastBandStart, band, y, next);
        y = next;
        bandsA.Pass(y);
        bandsB.Pass(y);
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
