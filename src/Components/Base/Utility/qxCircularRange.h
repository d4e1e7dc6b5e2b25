// qxUtil::CircularRange: a run of consecutive positions on a circle of m
// positions (0 to m - 1), such as angle steps, frames of a loop or slots of a
// ring buffer. A range may wrap past m - 1 back to 0:
//
//     CircularRange r(8, 2, 10);   // 8, 9, 0, 1, 2
//     r.isWrapped();               // true
//     r.contains(9);               // true
//     r.distance(4);               // 2, to 2
//
// The operations on two ranges map both into a doubled space of 2m
// positions, where a wrapped range (first, last) becomes the plain interval
// (first, last + m) and a linear one has a low copy (first, last) and a high
// copy (first + m, last + m), and do interval arithmetic there. Both operands
// must share their modulus. The free merge and subtract keep a vector of
// ranges as a set of disjoint ranges.
#ifndef QXBASE_COMPONENTS_BASE_UTILITY_QXCIRCULARRANGE_H
#define QXBASE_COMPONENTS_BASE_UTILITY_QXCIRCULARRANGE_H

#include "containers/qxVector.h"
#include "qxDefs.h"

namespace qxUtil {

class QX_API CircularRange {
public:
    // The invalid (empty) range, modulus 0.
    CircularRange() : m_first(-1), m_last(-1), m_mod(0) {}
    // The one-element range (v, v); not reduced.
    CircularRange(int v, int m) : m_first(v), m_last(v), m_mod(m) {}
    // The canonical form of (first, last) modulo m; (-1, -1) stays invalid.
    // A modulus below 1 gives the invalid range with that modulus.
    CircularRange(int first, int last, int m);

    // Reduces both ends with the remainder of signed division (negative
    // ends stay negative, and the range invalid) and stores a range that
    // covers every position as the full range (0, m - 1).
    void canonicalize();

    int first() const { return m_first; }
    int last() const { return m_last; }
    int modulus() const { return m_mod; }
    bool valid() const { return m_first >= 0; }
    bool full() const { return m_first == 0 && m_last + 1 == m_mod; }
    bool isWrapped() const { return m_first > m_last; }
    // 0 for the invalid range.
    int size() const {
        if (!valid()) return 0;
        return isWrapped() ? m_mod - m_first + 1 + m_last : m_last - m_first + 1;
    }

    // Linear: first <= v <= last; wrapped: v or v + m lies in (first, last + m).
    bool contains(int v) const {
        if (!isWrapped()) return m_first <= v && v <= m_last;
        return (m_first <= v && v <= m_last + m_mod) || (m_first - m_mod <= v && v <= m_last);
    }
    // Some doubled-space copy of this range holds some copy of b (so the
    // full range, whose copies meet at m, holds no wrapped range). An
    // invalid range contains nothing and is contained in nothing.
    bool contains(const CircularRange& b) const;
    // Some copy of this range overlaps some copy of b; never for an invalid
    // range, so subtract leaves an invalid range alone.
    bool overlaps(const CircularRange& b) const;
    // 0 inside the range, else the steps from v to the nearer end, going
    // either way around.
    int distance(int v) const;

    // The first floor(size / 2) positions and the rest; a one-element range
    // has an invalid first half.
    CircularRange firstHalf() const;
    CircularRange secondHalf() const;

    // Replaces this range by its intersection with b when that is one
    // range and returns true; otherwise this range becomes invalid.
    bool intersect(const CircularRange& b);
    // Replaces this range by its union with b when that is one range and
    // returns true; otherwise returns false and leaves the range as it was.
    bool merge(const CircularRange& b);
    // Writes the parts of this range outside b into out1 and, when there
    // are two, out2; an output not written keeps what the caller put there.
    void subtract(const CircularRange& b, CircularRange& out1, CircularRange& out2) const;

    bool operator==(const CircularRange& o) const {
        return m_first == o.m_first && m_last == o.m_last && m_mod == o.m_mod;
    }
    bool operator!=(const CircularRange& o) const { return !(*this == o); }

private:
    int m_first;
    int m_last;
    int m_mod;
};

// Adds r to the disjoint ranges of v: the first range r merges with absorbs
// it, and the result is merged into the rest again, so chains of touching
// ranges collapse into one; r is appended when nothing merges.
QX_API void merge(qx::vector<CircularRange>& v, const CircularRange& r);
// Removes r from every range of v, keeping the order of the pieces.
QX_API void subtract(qx::vector<CircularRange>& v, const CircularRange& r);

}  // namespace qxUtil

#endif
