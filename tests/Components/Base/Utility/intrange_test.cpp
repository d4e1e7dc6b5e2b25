// Integer ranges against brute-force sets of integers, the power-of-two
// functions against a scan of the powers, and length units.
#include "Components/Base/Utility/qxIntRange.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

namespace {

using qxUtil::IntRange1d;
using qxUtil::IntRange2d;

TEST(IntRange, OneDimension) {
    IntRange1d r(5, 3);
    EXPECT_EQ(r.min(), 5);
    EXPECT_EQ(r.max(), 7);
    EXPECT_FALSE(r.contains(8));
    EXPECT_TRUE(r.contains(5));
    EXPECT_FALSE(r.contains(4));
    EXPECT_EQ(r.clamp(100), 7);
    EXPECT_EQ(r.clamp(-1), 5);
    EXPECT_EQ(r.clamp(6), 6);
    EXPECT_EQ(r.wrap(8), 5);
    EXPECT_EQ(r.wrap(4), 7);
    EXPECT_EQ(r.wrap(2), 5);

    r.setFromMinMax(2, 2);
    EXPECT_EQ(r.start, 2);
    EXPECT_EQ(r.length, 1);

    IntRange1d a(0, 2);
    a.include(IntRange1d(10, 2));
    EXPECT_EQ(a.start, 0);
    EXPECT_EQ(a.length, 12);
    IntRange1d b(10, 2);
    b.include(IntRange1d(0, 2));
    EXPECT_EQ(b.start, 0);
    EXPECT_EQ(b.length, 12);
    IntRange1d inner(0, 10);
    inner.include(IntRange1d(3, 2));  // already covered: unchanged
    EXPECT_EQ(inner.start, 0);
    EXPECT_EQ(inner.length, 10);

    EXPECT_EQ(IntRange1d().length, 0);
    EXPECT_FALSE(IntRange1d().contains(0));
}

// wrap against stepping by the length, over the whole domain it promises,
// and overlap against shared members, for small ranges.
TEST(IntRange, WrapAndOverlapAgainstBruteForce) {
    for (int start = -6; start <= 6; ++start)
        for (int length = 1; length <= 7; ++length) {
            const IntRange1d r(start, length);
            for (int x = start - length; x <= start + 4 * length; ++x) {
                int expected = x;
                while (expected >= start + length) expected -= length;
                while (expected < start) expected += length;
                ASSERT_EQ(r.wrap(x), expected) << start << " " << length << " " << x;
            }
        }
    for (int s1 = -3; s1 <= 3; ++s1)
        for (int l1 = 1; l1 <= 4; ++l1)
            for (int s2 = -3; s2 <= 3; ++s2)
                for (int l2 = 1; l2 <= 4; ++l2) {
                    bool shared = false;
                    for (int x = s1; x < s1 + l1; ++x) shared = shared || (s2 <= x && x < s2 + l2);
                    ASSERT_EQ(IntRange1d(s1, l1).overlap(IntRange1d(s2, l2)), shared);
                }
    // Far from the start, where (q + 1) * length leaves 32 bits.
    const IntRange1d big(0, 1000000);
    EXPECT_EQ(big.wrap(INT_MAX), INT_MAX % 1000000);
}

TEST(IntRange, TwoDimensions) {
    IntRange2d r;
    EXPECT_EQ(r, IntRange2d(0, 0, 0, 0));
    r.set(1, 2, 3, 4);  // x 1..3, y 2..5
    EXPECT_EQ(r[0].start, 1);
    EXPECT_EQ(r[0].length, 3);
    EXPECT_EQ(r[1].start, 2);
    EXPECT_EQ(r[1].length, 4);
    EXPECT_EQ(r.min(1), 2);
    EXPECT_EQ(r.max(0), 3);
    EXPECT_EQ(r.max(1), 5);
    EXPECT_TRUE(r.contains(1, 5));
    EXPECT_FALSE(r.contains(0, 5));
    EXPECT_EQ(r.clamp(0, 9), 3);
    EXPECT_EQ(r.clamp(1, 9), 5);
    EXPECT_EQ(r.wrap(0, 4), 1);
    EXPECT_EQ(r.wrap(1, 6), 2);
    EXPECT_EQ(r.area(), 12);
    r.include(IntRange2d(-1, 10, 1, 1));
    EXPECT_EQ(r, IntRange2d(-1, 2, 5, 9));
}

TEST(PowerOfTwo, AgainstTheListOfPowers) {
    EXPECT_EQ(qxUtil::ceilPowerOfTwo(1), 1);
    EXPECT_EQ(qxUtil::ceilPowerOfTwo(5), 8);
    EXPECT_EQ(qxUtil::ceilPowerOfTwo(8), 8);
    EXPECT_EQ(qxUtil::ceilPowerOfTwo(0), 1);
    EXPECT_EQ(qxUtil::ceilPowerOfTwo(-7), 1);
    EXPECT_EQ(qxUtil::ceilPowerOfTwo(1 << 30), 1 << 30);
    EXPECT_EQ(qxUtil::ceilPowerOfTwo((1 << 30) + 1), 0x7FFFFFFF);
    EXPECT_EQ(qxUtil::ceilPowerOfTwo(INT_MAX), 0x7FFFFFFF);
    EXPECT_FALSE(qxUtil::isPowerOfTwo(0));
    EXPECT_TRUE(qxUtil::isPowerOfTwo(64));
    EXPECT_FALSE(qxUtil::isPowerOfTwo(-64));
    EXPECT_EQ(qxUtil::roundPowerOfTwo(5), 4);
    EXPECT_EQ(qxUtil::roundPowerOfTwo(6), 8);
    EXPECT_EQ(qxUtil::roundPowerOfTwo(7), 8);
    EXPECT_EQ(qxUtil::roundPowerOfTwo(0), 1);
    EXPECT_EQ(qxUtil::roundPowerOfTwo(3), 4);  // a tie rounds up

    // Every n around every power up to 2^30.
    for (int k = 1; k <= 30; ++k) {
        const int p = 1 << k, below = p / 2;
        for (int n : {below + 1, below + below / 2, below + below / 2 + 1, p - 1, p}) {
            if (n <= below || n > p) continue;
            ASSERT_EQ(qxUtil::ceilPowerOfTwo(n), p) << n;
            ASSERT_EQ(qxUtil::isPowerOfTwo(n), n == p) << n;
            ASSERT_EQ(qxUtil::roundPowerOfTwo(n), p - n > n - below ? below : p) << n;
        }
    }
}

TEST(LinearUnits, Convert) {
    using U = qxUtil::LinearUnits;
    EXPECT_DOUBLE_EQ(U::convert(1, U::Feet, U::Inches), 12.0);
    EXPECT_DOUBLE_EQ(U::convert(1, U::Miles, U::Kilometers), 1.609344);
    EXPECT_DOUBLE_EQ(U::convert(3, U::Yards, U::Feet), 9.0);
    EXPECT_DOUBLE_EQ(U::convert(2.5, U::Meters, U::Centimeters), 250.0);
    EXPECT_DOUBLE_EQ(U::convert(1, U::Inches, U::Millimeters), 25.4);
    // The product of the two table entries, in that order.
    EXPECT_EQ(U::convert(7, U::Feet, U::Meters), 7 * 304.8 * (1 / 1000.0));
    EXPECT_TRUE(std::isnan(U::convert(1, static_cast<U::System>(8), U::Feet)));
}

}  // namespace
