#include "Components/Base/Utility/qxCircularRange.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using qxUtil::CircularRange;

namespace {

// The brute-force model: a range as the set of its positions, bit p for
// position p (moduli up to 12).
unsigned setOf(const CircularRange& r) {
    unsigned s = 0;
    if (!r.valid()) return 0;
    for (int p = r.first();; p = (p + 1) % r.modulus()) {
        s |= 1u << p;
        if (p == r.last()) break;
    }
    return s;
}

unsigned allOf(int m) {
    return (1u << m) - 1;
}

int count(unsigned s) {
    int n = 0;
    for (; s; s &= s - 1) ++n;
    return n;
}

// The one range holding exactly the positions of s; the invalid range when
// s is empty or not one run.
CircularRange rangeOf(unsigned s, int m) {
    if (s == 0) return CircularRange(-1, -1, m);
    if (s == allOf(m)) return CircularRange(0, m - 1, m);
    int first = 0;
    while (!(s >> first & 1) || (s >> ((first + m - 1) % m) & 1)) ++first;
    const CircularRange r(first, (first + count(s) - 1) % m, m);
    return setOf(r) == s ? r : CircularRange(-1, -1, m);
}

// Every range of modulus m in canonical form.
std::vector<CircularRange> allRanges(int m) {
    std::vector<CircularRange> v;
    for (int f = 0; f < m; ++f)
        for (int l = 0; l < m; ++l)
            if (l + 1 != f) v.emplace_back(f, l, m);
    return v;
}

bool canonical(const CircularRange& r, int m) {
    CircularRange c = r;
    c.canonicalize();
    return r.modulus() == m && r.valid() && c == r;
}

// What subtract removes. Two wrapped ranges are subtracted as their
// unwrapped copies (first, last + m), a difference of plain intervals folded
// back onto the circle: when together they cover the circle, b's copy one
// turn further is not subtracted and its positions stay.
unsigned minusOf(const CircularRange& a, const CircularRange& b) {
    const int m = a.modulus();
    if (!a.isWrapped() || !b.isWrapped()) return setOf(a) & ~setOf(b);
    unsigned s = 0;
    for (int p = a.first(); p <= a.last() + m; ++p)
        if (p < b.first() || p > b.last() + m) s |= 1u << (p % m);
    return s;
}

const CircularRange kUnwritten(7, 7, 99);

}  // namespace

TEST(CircularRange, CanonicalFormAndQueries) {
    EXPECT_EQ(CircularRange(3, 2, 10), CircularRange(0, 9, 10));
    EXPECT_TRUE(CircularRange(3, 2, 10).full());
    const CircularRange r(12, 14, 10);
    EXPECT_EQ(r.first(), 2);
    EXPECT_EQ(r.last(), 4);
    const CircularRange none(-1, -1, 10);
    EXPECT_FALSE(none.valid());
    EXPECT_EQ(none.modulus(), 10);
    EXPECT_EQ(none.size(), 0);
    // Negative ends stay negative: invalid.
    EXPECT_FALSE(CircularRange(-3, 2, 10).valid());
    // The one-element constructor does not reduce.
    EXPECT_EQ(CircularRange(13, 10).first(), 13);
    // No positions, no range (rather than a division by zero).
    EXPECT_FALSE(CircularRange(1, 2, 0).valid());
    EXPECT_FALSE(CircularRange().valid());
    // A one-element range on no positions: meaningless, but no division by 0.
    CircularRange zero(3, 0), o1, o2;
    zero.overlaps(zero);
    zero.subtract(zero, o1, o2);
    zero.merge(CircularRange(4, 0));
    zero.intersect(CircularRange(4, 0));

    const CircularRange w(8, 2, 10);
    EXPECT_TRUE(w.isWrapped());
    EXPECT_EQ(w.size(), 5);
    EXPECT_TRUE(w.contains(9));
    EXPECT_TRUE(w.contains(0));
    EXPECT_FALSE(w.contains(5));
    EXPECT_EQ(w.distance(4), 2);
    EXPECT_EQ(w.distance(7), 1);
    EXPECT_FALSE(CircularRange(0, 5, 10).contains(CircularRange(9, 1, 10)));
    EXPECT_TRUE(w.contains(CircularRange(9, 0, 10)));
    EXPECT_TRUE(w.contains(CircularRange(1, 2, 10)));
    // An invalid range neither overlaps nor contains anything.
    EXPECT_FALSE(none.overlaps(CircularRange(0, 9, 10)));
    EXPECT_FALSE(CircularRange(0, 9, 10).contains(none));
}

TEST(CircularRange, Halves) {
    EXPECT_EQ(CircularRange(0, 9, 10).secondHalf(), CircularRange(5, 9, 10));
    EXPECT_EQ(CircularRange(0, 9, 10).firstHalf(), CircularRange(0, 4, 10));
    EXPECT_EQ(CircularRange(8, 2, 10).firstHalf(), CircularRange(8, 9, 10));
    EXPECT_EQ(CircularRange(8, 2, 10).secondHalf(), CircularRange(0, 2, 10));
    EXPECT_FALSE(CircularRange(4, 4, 10).firstHalf().valid());
    EXPECT_EQ(CircularRange(4, 4, 10).firstHalf().modulus(), 10);
    EXPECT_EQ(CircularRange(4, 4, 10).secondHalf(), CircularRange(4, 4, 10));
    EXPECT_FALSE(CircularRange(-1, -1, 10).secondHalf().valid());
}

TEST(CircularRange, CombiningExamples) {
    CircularRange a(7, 9, 10);
    EXPECT_TRUE(a.merge(CircularRange(0, 2, 10)));
    EXPECT_EQ(a, CircularRange(7, 2, 10));
    a = CircularRange(0, 3, 10);
    EXPECT_FALSE(a.merge(CircularRange(5, 6, 10)));
    EXPECT_EQ(a, CircularRange(0, 3, 10));
    EXPECT_TRUE(a.merge(CircularRange(4, 6, 10)));
    EXPECT_EQ(a, CircularRange(0, 6, 10));
    // Meeting at both ends: the whole circle.
    a = CircularRange(5, 3, 10);
    EXPECT_TRUE(a.merge(CircularRange(3, 6, 10)));
    EXPECT_TRUE(a.full());
    // An empty range changes nothing.
    EXPECT_TRUE(a.merge(CircularRange(-1, -1, 10)));
    EXPECT_TRUE(a.full());

    a = CircularRange(8, 2, 10);
    EXPECT_FALSE(a.intersect(CircularRange(1, 8, 10)));
    EXPECT_FALSE(a.valid());
    EXPECT_EQ(a.modulus(), 10);
    a = CircularRange(8, 2, 10);
    EXPECT_TRUE(a.intersect(CircularRange(0, 5, 10)));
    EXPECT_EQ(a, CircularRange(0, 2, 10));
    a = CircularRange(0, 9, 10);
    EXPECT_FALSE(a.intersect(CircularRange(-1, -1, 10)));
    EXPECT_FALSE(a.valid());

    CircularRange o1 = kUnwritten, o2 = kUnwritten;
    CircularRange(2, 7, 10).subtract(CircularRange(4, 5, 10), o1, o2);
    EXPECT_EQ(o1, CircularRange(2, 3, 10));
    EXPECT_EQ(o2, CircularRange(6, 7, 10));
    o1 = o2 = kUnwritten;
    CircularRange(2, 7, 10).subtract(CircularRange(0, 9, 10), o1, o2);
    EXPECT_EQ(o1, kUnwritten);
    EXPECT_EQ(o2, kUnwritten);
    CircularRange(2, 7, 10).subtract(CircularRange(8, 9, 10), o1, o2);
    EXPECT_EQ(o1, CircularRange(2, 7, 10));
    EXPECT_EQ(o2, kUnwritten);
    // A linear range minus a wrapped one keeps only what lies in the gap.
    o1 = kUnwritten;
    CircularRange(0, 9, 10).subtract(CircularRange(8, 2, 10), o1, o2);
    EXPECT_EQ(o1, CircularRange(3, 7, 10));
    EXPECT_EQ(o2, kUnwritten);
}

// Every operation on every pair of ranges of every modulus up to 12 against
// the sets of positions they stand for.
TEST(CircularRange, MatchesSetModelOnSmallCircles) {
    for (int m = 1; m <= 12; ++m) {
        const unsigned all = allOf(m);
        const std::vector<CircularRange> ranges = allRanges(m);
        ASSERT_EQ(static_cast<int>(ranges.size()), m * m - m + 1);
        for (const CircularRange& a : ranges) {
            SCOPED_TRACE(testing::Message()
                         << "m " << m << " a (" << a.first() << ", " << a.last() << ")");
            const unsigned sa = setOf(a);
            ASSERT_TRUE(canonical(a, m));
            EXPECT_EQ(a.size(), count(sa));
            EXPECT_EQ(a.full(), sa == all);
            for (int v = 0; v < m; ++v) {
                EXPECT_EQ(a.contains(v), (sa >> v & 1) != 0);
                int nearest = m;
                for (int p = 0; p < m; ++p)
                    if (sa >> p & 1)
                        nearest = std::min({nearest, (p - v + m) % m, (v - p + m) % m});
                EXPECT_EQ(a.distance(v), nearest) << "v " << v;
            }
            // The first floor(size / 2) positions, then the rest.
            unsigned firstPart = 0;
            for (int k = 0, p = a.first(); k < count(sa) / 2; ++k, p = (p + 1) % m)
                firstPart |= 1u << p;
            EXPECT_EQ(a.firstHalf(), rangeOf(firstPart, m));
            EXPECT_EQ(a.secondHalf(), rangeOf(sa & ~firstPart, m));

            for (const CircularRange& b : ranges) {
                SCOPED_TRACE(testing::Message() << "b (" << b.first() << ", " << b.last() << ")");
                const unsigned sb = setOf(b);
                const bool bothWrapped = a.isWrapped() && b.isWrapped();
                // A full range's copies are (0, m - 1) and (m, 2m - 1), and
                // neither holds a wrapped range's unwrapped copy.
                EXPECT_EQ(a.contains(b), (sb & ~sa) == 0 && !(a.full() && b.isWrapped()));
                EXPECT_EQ(a.overlaps(b), (sa & sb) != 0);

                // Two wrapped ranges whose gaps only touch intersect in two
                // pieces or one, but the gaps must overlap for a result.
                CircularRange x = a;
                const CircularRange inter = rangeOf(sa & sb, m);
                const bool expectInter = inter.valid() && !(bothWrapped && (sa | sb) == all);
                EXPECT_EQ(x.intersect(b), expectInter);
                EXPECT_EQ(x, expectInter ? inter : CircularRange(-1, -1, m));

                CircularRange u = a;
                const CircularRange uni = rangeOf(sa | sb, m);
                EXPECT_EQ(u.merge(b), uni.valid());
                EXPECT_EQ(u, uni.valid() ? uni : a);

                CircularRange o1 = kUnwritten, o2 = kUnwritten;
                a.subtract(b, o1, o2);
                if ((sa & sb) == 0) {
                    EXPECT_EQ(o1, a);
                    EXPECT_EQ(o2, kUnwritten);
                    continue;
                }
                unsigned left = 0;
                if (o1 != kUnwritten) {
                    EXPECT_TRUE(canonical(o1, m));
                    left = setOf(o1);
                }
                if (o2 != kUnwritten) {
                    EXPECT_NE(o1, kUnwritten);
                    EXPECT_TRUE(canonical(o2, m));
                    EXPECT_EQ(setOf(o2) & left, 0u);
                    left |= setOf(o2);
                }
                EXPECT_EQ(left, minusOf(a, b));
            }
        }
    }
}

TEST(CircularRange, VectorMergeAndSubtract) {
    qx::vector<CircularRange> v{CircularRange(0, 2, 10), CircularRange(6, 8, 10)};
    qxUtil::merge(v, CircularRange(4, 5, 10));
    ASSERT_EQ(v.size(), 2);
    EXPECT_EQ(v[0], CircularRange(0, 2, 10));
    EXPECT_EQ(v[1], CircularRange(4, 8, 10));
    qxUtil::merge(v, CircularRange(3, 3, 10));
    ASSERT_EQ(v.size(), 1);
    EXPECT_EQ(v[0], CircularRange(0, 8, 10));
    qxUtil::merge(v, CircularRange(-1, -1, 10));
    EXPECT_EQ(v.size(), 1);

    qxUtil::subtract(v, CircularRange(3, 4, 10));
    ASSERT_EQ(v.size(), 2);
    EXPECT_EQ(v[0], CircularRange(0, 2, 10));
    EXPECT_EQ(v[1], CircularRange(5, 8, 10));

    // Random merges and subtractions on a circle of 12 against a set of
    // positions: merges keep the ranges apart (none could merge with
    // another), subtractions cut each range as subtract does.
    std::mt19937 rng(29);
    const int m = 12;
    const std::vector<CircularRange> ranges = allRanges(m);
    for (int round = 0; round < 200; ++round) {
        qx::vector<CircularRange> set;
        unsigned model = 0;
        for (int step = 0; step < 12; ++step) {
            const CircularRange r = ranges[rng() % ranges.size()];
            if (rng() % 3) {
                qxUtil::merge(set, r);
                model |= setOf(r);
            } else {
                unsigned expected = 0;
                for (const CircularRange& e : set) expected |= minusOf(e, r);
                qxUtil::subtract(set, r);
                model = expected;
            }
            unsigned got = 0;
            for (int i = 0; i < set.size(); ++i) {
                ASSERT_TRUE(canonical(set[i], m));
                EXPECT_EQ(got & setOf(set[i]), 0u);
                got |= setOf(set[i]);
            }
            ASSERT_EQ(got, model) << "round " << round << " step " << step;
        }
    }
    // Built by merges alone, no two ranges could merge.
    for (int round = 0; round < 200; ++round) {
        qx::vector<CircularRange> set;
        for (int step = 0; step < 4; ++step) qxUtil::merge(set, ranges[rng() % ranges.size()]);
        for (int i = 0; i < set.size(); ++i)
            for (int j = 0; j < set.size(); ++j) {
                CircularRange e = set[i];
                if (i != j) {
                    EXPECT_FALSE(e.merge(set[j]));
                }
            }
    }
}
