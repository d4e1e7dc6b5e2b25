#include "Components/Base/Utility/qxCircularRange.h"

#include <algorithm>

namespace qxUtil {

namespace {

// A plain interval of the doubled space; first -1 is empty.
struct Span {
    int first;
    int last;
};

const Span kEmpty = {-1, -1};

// The canonical ends of (first, last) modulo m. Without positions (a range
// made by the one-element constructor with modulus 0) there is nothing.
Span canon(int first, int last, int m) {
    if (m < 1) return kEmpty;
    Span s = {first % m, last % m};
    if (s.last + 1 == s.first) s = {0, m - 1};
    return s;
}

bool in(int v, Span x) {
    return x.first <= v && v <= x.last;
}

bool spanContains(Span x, Span y) {
    return x.first <= y.first && y.last <= x.last;
}

bool spanOverlaps(Span x, Span y) {
    return in(y.first, x) || in(y.last, x) || in(x.first, y) || in(x.last, y);
}

bool spanIntersect(Span& x, Span y) {
    if (x.last >= y.first && y.last >= x.first) {
        x = {std::max(x.first, y.first), std::min(x.last, y.last)};
        return true;
    }
    x = kEmpty;
    return false;
}

// Touching intervals merge too.
bool spanMerge(Span& x, Span y) {
    if (x.last + 1 >= y.first && y.last + 1 >= x.first) {
        x = {std::min(x.first, y.first), std::max(x.last, y.last)};
        return true;
    }
    return false;
}

// The copies of r in the doubled space: the unwrapped copy of a wrapped
// range, the low and the high copy of a linear one. Returns how many.
int copies(const CircularRange& r, Span out[2]) {
    const int m = r.modulus();
    if (r.isWrapped()) {
        out[0] = canon(r.first(), r.last() + m, 2 * m);
        return 1;
    }
    out[0] = canon(r.first(), r.last(), 2 * m);
    out[1] = canon(r.first() + m, r.last() + m, 2 * m);
    return 2;
}

Span unwrapped(const CircularRange& r) {
    return canon(r.first(), r.last() + r.modulus(), 2 * r.modulus());
}
Span low(const CircularRange& r) {
    return canon(r.first(), r.last(), 2 * r.modulus());
}
Span high(const CircularRange& r) {
    return canon(r.first() + r.modulus(), r.last() + r.modulus(), 2 * r.modulus());
}

// A merged span of the doubled space folded back onto the circle. A span of
// m positions or more covers the circle: the full range. (Spans longer than
// m come from ranges that meet at both ends; canonicalisation alone would
// fold them onto a short range.)
CircularRange fold(Span s, int m) {
    if (s.last - s.first + 1 >= m) return CircularRange(0, m - 1, m);
    return CircularRange(s.first, s.last, m);
}

// Y taken from X as intervals, the pieces built with modulus m; outputs not
// written are left alone.
void spanSubtract(Span x, Span y, int m, CircularRange& out1, CircularRange& out2) {
    if (!spanOverlaps(x, y)) {
        out1 = CircularRange(x.first, x.last, m);
    } else if (x.first < y.first) {
        out1 = CircularRange(x.first, y.first - 1, m);
        if (y.last < x.last) out2 = CircularRange(y.last + 1, x.last, m);
    } else if (y.last < x.last) {
        out1 = CircularRange(y.last + 1, x.last, m);
    }
}

}  // namespace

CircularRange::CircularRange(int first, int last, int m) : m_first(first), m_last(last), m_mod(m) {
    if (first == -1 && last == -1) return;
    canonicalize();
}

void CircularRange::canonicalize() {
    if (m_mod < 1) {
        // Nothing lies on a circle without positions.
        m_first = m_last = -1;
        return;
    }
    const Span s = canon(m_first, m_last, m_mod);
    m_first = s.first;
    m_last = s.last;
}

bool CircularRange::contains(const CircularRange& b) const {
    if (!valid() || !b.valid()) return false;
    Span a[2], c[2];
    const int na = copies(*this, a), nc = copies(b, c);
    for (int i = 0; i < na; ++i)
        for (int j = 0; j < nc; ++j)
            if (spanContains(a[i], c[j])) return true;
    return false;
}

bool CircularRange::overlaps(const CircularRange& b) const {
    if (!valid() || !b.valid()) return false;
    Span a[2], c[2];
    const int na = copies(*this, a), nc = copies(b, c);
    for (int i = 0; i < na; ++i)
        for (int j = 0; j < nc; ++j)
            if (spanOverlaps(a[i], c[j])) return true;
    return false;
}

int CircularRange::distance(int v) const {
    if (contains(v)) return 0;
    if (isWrapped()) return std::min(m_first - v, v - m_last);
    if (v < m_first) return std::min(m_first - v, m_mod - m_last + v);
    return std::min(m_mod - v + m_first, v - m_last);
}

CircularRange CircularRange::firstHalf() const {
    if (!valid() || m_first == m_last) return CircularRange(-1, -1, m_mod);
    if (!isWrapped()) return CircularRange(m_first, (m_first + m_last + 1) / 2 - 1, m_mod);
    return CircularRange(m_first, ((m_first + m_last + 1 + m_mod) / 2 - 1) % m_mod, m_mod);
}

CircularRange CircularRange::secondHalf() const {
    if (!valid()) return CircularRange(-1, -1, m_mod);
    const int mid =
        isWrapped() ? ((m_first + m_last + 1 + m_mod) / 2) % m_mod : (m_first + m_last + 1) / 2;
    return CircularRange(mid, m_last, m_mod);
}

bool CircularRange::intersect(const CircularRange& b) {
    if (!valid()) return false;
    if (!b.valid()) {
        m_first = m_last = -1;
        return false;
    }
    if (full()) {
        *this = b;
        return true;
    }
    if (b.full()) return true;

    Span result = kEmpty;
    if (!isWrapped() && !b.isWrapped()) {
        result = {m_first, m_last};
        spanIntersect(result, Span{b.m_first, b.m_last});
    } else if (isWrapped() && b.isWrapped()) {
        // Both hold position 0: the intersection is one range exactly when
        // the gaps overlap, and then it runs from the later first to the
        // earlier last. Gaps that only touch count as two pieces.
        const Span gapA = canon(m_last + 1, m_first - 1, m_mod);
        const Span gapB = canon(b.m_last + 1, b.m_first - 1, m_mod);
        if (spanOverlaps(gapA, gapB))
            result = {std::max(m_first, b.m_first), std::min(m_last, b.m_last)};
    } else {
        const CircularRange& w = isWrapped() ? *this : b;
        const CircularRange& l = isWrapped() ? b : *this;
        Span lo = unwrapped(w), hi = lo;
        const bool inLow = spanIntersect(lo, low(l));
        const bool inHigh = spanIntersect(hi, high(l));
        // Both: two pieces; neither: nothing.
        if (inLow != inHigh) result = inLow ? lo : hi;
        if (result.first >= 0) result = canon(result.first, result.last, m_mod);
    }
    m_first = result.first;
    m_last = result.last;
    return valid();
}

bool CircularRange::merge(const CircularRange& b) {
    // The union with an empty range is the other range.
    if (!b.valid()) return valid();
    if (!valid()) {
        *this = b;
        return true;
    }
    if (full()) return true;
    if (b.full()) {
        *this = b;
        return true;
    }

    Span s;
    bool merged;
    if (isWrapped() && b.isWrapped()) {
        s = unwrapped(*this);
        merged = spanMerge(s, unwrapped(b));  // both hold position 0
    } else if (isWrapped() || b.isWrapped()) {
        const CircularRange& w = isWrapped() ? *this : b;
        const CircularRange& l = isWrapped() ? b : *this;
        s = unwrapped(w);
        merged = spanMerge(s, low(l)) || spanMerge(s, high(l));
    } else {
        // The high copies join ranges that touch across the wrap point.
        s = low(*this);
        merged = spanMerge(s, low(b)) || spanMerge(s, high(b));
        if (!merged) {
            s = high(*this);
            merged = spanMerge(s, low(b)) || spanMerge(s, high(b));
        }
    }
    if (merged) *this = fold(s, m_mod);
    return merged;
}

void CircularRange::subtract(const CircularRange& b, CircularRange& out1,
                             CircularRange& out2) const {
    if (!overlaps(b)) {
        out1 = *this;
        return;
    }
    if (b.full()) return;

    const int m2 = 2 * m_mod;
    CircularRange r1, r2;  // invalid until written
    if (!isWrapped() && !b.isWrapped()) {
        spanSubtract(Span{m_first, m_last}, Span{b.m_first, b.m_last}, m_mod, r1, r2);
    } else if (isWrapped() && b.isWrapped()) {
        // Only b's unwrapped copy is taken: where the two cover the whole
        // circle, b's positions a turn further on stay in the result.
        spanSubtract(unwrapped(*this), unwrapped(b), m2, r1, r2);
    } else if (isWrapped()) {
        const Span u = unwrapped(*this), l = low(b), h = high(b);
        if (!spanOverlaps(u, l)) {
            CircularRange(u.first, u.last, m2).subtract(CircularRange(h.first, h.last, m2), r1, r2);
        } else {
            CircularRange t;
            spanSubtract(u, l, m2, t, r2);
            const Span ts = {t.first(), t.last()};
            if (!spanOverlaps(ts, h))
                r1 = t;
            else
                spanSubtract(ts, h, m2, r1, r2);
        }
    } else {
        // A linear range minus a wrapped one is what lies in the wrapped
        // one's gap: the part of the low copy left of b's unwrapped copy,
        // intersected with the part of the high copy right of it (moved
        // back down). Taking b from one copy only would keep positions of b.
        const Span u = unwrapped(b);
        CircularRange lowPart, highPart, unused;
        spanSubtract(low(*this), u, m2, lowPart, unused);
        spanSubtract(high(*this), u, m2, highPart, unused);
        if (lowPart.valid() && highPart.valid()) {
            Span s = {lowPart.first(), lowPart.last()};
            if (spanIntersect(s, Span{highPart.first() - m_mod, highPart.last() - m_mod}))
                r1 = CircularRange(s.first, s.last, m2);
        }
    }
    if (r1.valid()) out1 = CircularRange(r1.first(), r1.last(), m_mod);
    if (r2.valid()) out2 = CircularRange(r2.first(), r2.last(), m_mod);
}

void merge(qx::vector<CircularRange>& v, const CircularRange& r) {
    if (!r.valid()) return;
    CircularRange merged = r;
    // Each merge takes the absorbed range out and starts over with the
    // bigger range, so chains of touching ranges end up as one.
    for (int i = 0; i < v.size();) {
        CircularRange e = v[i];
        if (e.merge(merged)) {
            merged = e;
            v.erase(v.begin() + i);
            i = 0;
        } else {
            ++i;
        }
    }
    v.push_back(merged);
}

void subtract(qx::vector<CircularRange>& v, const CircularRange& r) {
    qx::vector<CircularRange> rest;
    rest.reserve(v.size());
    for (const CircularRange& e : v) {
        CircularRange a, b;
        e.subtract(r, a, b);
        if (a.valid()) rest.push_back(a);
        if (b.valid()) rest.push_back(b);
    }
    v.swap(rest);
}

}  // namespace qxUtil
