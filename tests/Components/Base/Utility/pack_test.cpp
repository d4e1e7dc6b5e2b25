// Rectangle packing on the built-in pool and on the companion library's
// multi-threaded one: random inputs come back placed without overlap inside
// the range returned, and the worked cases come out as computed by hand.
#include "Components/Base/Utility/qxPack.h"
#include "qxThreads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using qxUtil::IntRange2d;
using Rects = qx::vector<IntRange2d>;

// 0: the built-in pool; n: the companion's, with n threads.
class Pack : public testing::TestWithParam<int> {
protected:
    void SetUp() override {
        if (GetParam() > 0) engines.reset(new qxUtil::ThreadEngines(GetParam()));
    }
    void TearDown() override { engines.reset(); }
    std::unique_ptr<qxUtil::ThreadEngines> engines;
};

INSTANTIATE_TEST_SUITE_P(, Pack, testing::Values(0, 2, 4),
                         [](const testing::TestParamInfo<int>& i) {
                             return i.param ? "threads" + std::to_string(i.param)
                                            : std::string("builtin");
                         });

bool overlap(const IntRange2d& a, const IntRange2d& b) {
    return a.startX < b.startX + b.lengthX && b.startX < a.startX + a.lengthX &&
           a.startY < b.startY + b.lengthY && b.startY < a.startY + a.lengthY;
}

// Every rectangle inside area, kept its size, and none overlapping another
// (sweeping along x so that the check stays near-linear).
void expectPacked(const Rects& placed, const Rects& given, const IntRange2d& area) {
    ASSERT_EQ(placed.size(), given.size());
    std::vector<int> byX;
    for (int i = 0; i < placed.size(); ++i) {
        const IntRange2d& r = placed[i];
        ASSERT_EQ(r.lengthX, given[i].lengthX);
        ASSERT_EQ(r.lengthY, given[i].lengthY);
        ASSERT_GE(r.startX, area.startX) << i;
        ASSERT_GE(r.startY, area.startY) << i;
        ASSERT_LE(r.startX + r.lengthX, area.startX + area.lengthX) << i;
        ASSERT_LE(r.startY + r.lengthY, area.startY + area.lengthY) << i;
        byX.push_back(i);
    }
    std::sort(byX.begin(), byX.end(),
              [&](int a, int b) { return placed[a].startX < placed[b].startX; });
    for (size_t i = 0; i < byX.size(); ++i) {
        const IntRange2d& a = placed[byX[i]];
        for (size_t j = i + 1; j < byX.size() && placed[byX[j]].startX < a.startX + a.lengthX; ++j)
            ASSERT_FALSE(overlap(a, placed[byX[j]])) << byX[i] << " and " << byX[j];
    }
}

Rects randomRects(std::mt19937& rng, int n, int minSide, int maxSide) {
    std::uniform_int_distribution<int> side(minSide, maxSide);
    Rects rects;
    for (int i = 0; i < n; ++i) rects.push_back(IntRange2d(-1, -1, side(rng), side(rng)));
    return rects;
}

TEST_P(Pack, RandomInputsFitWithoutOverlap) {
    std::mt19937 rng(2024 + GetParam());
    for (int round = 0; round < 40; ++round) {
        const int n = 1 + static_cast<int>(rng() % 400);
        // Small squares, long thin strips, and a mix with zero sides.
        const int kind = round % 4;
        Rects given = kind == 0   ? randomRects(rng, n, 1, 12)
                      : kind == 1 ? randomRects(rng, n, 1, 200)
                      : kind == 2 ? randomRects(rng, n, 0, 6)
                                  : randomRects(rng, n, 20, 30);
        if (kind == 1)
            for (IntRange2d& r : given) (rng() & 1 ? r.lengthX : r.lengthY) = 1 + rng() % 3;
        for (bool powerOfTwo : {false, true}) {
            Rects rects = given;
            const IntRange2d area = qxUtil::pack(rects, powerOfTwo);
            EXPECT_EQ(area.startX, 0);
            EXPECT_EQ(area.startY, 0);
            expectPacked(rects, given, area);
            if (powerOfTwo) {
                EXPECT_TRUE(qxUtil::isPowerOfTwo(area.lengthX)) << area.lengthX;
                EXPECT_TRUE(qxUtil::isPowerOfTwo(area.lengthY)) << area.lengthY;
            } else {
                EXPECT_EQ(area.lengthX, area.lengthY);
                // The square is the placement's bounding box, widened.
                int right = 0, bottom = 0;
                for (const IntRange2d& r : rects) {
                    right = std::max(right, r.startX + r.lengthX);
                    bottom = std::max(bottom, r.startY + r.lengthY);
                }
                EXPECT_EQ(area.lengthX, std::max(right, bottom));
            }
        }
    }
}

TEST_P(Pack, WorkedCases) {
    // Four 2 x 2: a 4 x 4 square at once.
    Rects four(4, IntRange2d(0, 0, 2, 2));
    EXPECT_EQ(qxUtil::pack(four, false), IntRange2d(0, 0, 4, 4));
    expectPacked(four, Rects(4, IntRange2d(0, 0, 2, 2)), IntRange2d(0, 0, 4, 4));

    // 3 x 1 and 1 x 1 with powers of two: 4 x 1, the first at the left.
    Rects two{IntRange2d(0, 0, 1, 1), IntRange2d(0, 0, 3, 1)};
    EXPECT_EQ(qxUtil::pack(two, true), IntRange2d(0, 0, 4, 1));
    EXPECT_EQ(two[1].startX, 0);
    EXPECT_EQ(two[0].startX, 3);

    // A tall one decides the first guess, 1 x 10, where only it fits; then
    // squares of 4, 6, 8, 9 and 10, the first to hold it.
    Rects tall{IntRange2d(0, 0, 1, 1), IntRange2d(0, 0, 1, 10), IntRange2d(0, 0, 1, 1),
               IntRange2d(0, 0, 1, 1)};
    const Rects tallGiven = tall;
    EXPECT_EQ(qxUtil::pack(tall, false), IntRange2d(0, 0, 10, 10));
    expectPacked(tall, tallGiven, IntRange2d(0, 0, 10, 10));
    EXPECT_EQ(tall[1], IntRange2d(0, 0, 1, 10));
}

TEST_P(Pack, IntoAGivenArea) {
    // Slots follow the area's origin; placing stops at the first misfit and
    // reports its area and all after it, even those that would fit.
    Rects rects{IntRange2d(0, 0, 4, 4), IntRange2d(0, 0, 4, 2), IntRange2d(0, 0, 5, 1),
                IntRange2d(0, 0, 1, 1)};
    EXPECT_EQ(qxUtil::pack(rects, IntRange2d(10, 20, 4, 6)), 5 + 1);
    EXPECT_EQ(rects[0], IntRange2d(10, 20, 4, 4));
    EXPECT_EQ(rects[1], IntRange2d(10, 24, 4, 2));
    EXPECT_EQ(rects[3], IntRange2d(0, 0, 1, 1));  // untouched

    // A first rectangle larger than the area: nothing placed, all counted.
    Rects big{IntRange2d(0, 0, 9, 9), IntRange2d(0, 0, 1, 2)};
    EXPECT_EQ(qxUtil::pack(big, IntRange2d(0, 0, 8, 8)), 81 + 2);
    EXPECT_EQ(big[1], IntRange2d(0, 0, 1, 2));

    // The leaf split: across the height when there is no more room to spare
    // across than down, else across the width.
    Rects split{IntRange2d(0, 0, 2, 1), IntRange2d(0, 0, 2, 1), IntRange2d(0, 0, 1, 1)};
    EXPECT_EQ(qxUtil::pack(split, IntRange2d(0, 0, 3, 3)), 0);
    EXPECT_EQ(split[1], IntRange2d(0, 1, 2, 1));  // below the first
    EXPECT_EQ(split[2], IntRange2d(2, 0, 1, 1));  // in the first row's rest

    Rects none;
    EXPECT_EQ(qxUtil::pack(none, IntRange2d(0, 0, 1, 1)), 0);
}

TEST_P(Pack, EmptyAndDegenerateInputs) {
    Rects none;
    EXPECT_EQ(qxUtil::pack(none, false), IntRange2d(0, 0, 0, 0));
    EXPECT_EQ(qxUtil::pack(none, true), IntRange2d(0, 0, 1, 1));

    // All of no size: every origin (0, 0), nothing enclosed.
    Rects zeros(5, IntRange2d(7, 7, 0, 0));
    EXPECT_EQ(qxUtil::pack(zeros, false), IntRange2d(0, 0, 0, 0));
    for (const IntRange2d& r : zeros) EXPECT_EQ(r, IntRange2d(0, 0, 0, 0));
    zeros.assign(5, IntRange2d(7, 7, 0, 0));
    EXPECT_EQ(qxUtil::pack(zeros, true), IntRange2d(0, 0, 1, 1));

    // Lines of no height: enclosed by their length.
    Rects lines{IntRange2d(0, 0, 5, 0), IntRange2d(0, 0, 3, 0)};
    const IntRange2d lineArea = qxUtil::pack(lines, false);
    expectPacked(lines, Rects{IntRange2d(0, 0, 5, 0), IntRange2d(0, 0, 3, 0)}, lineArea);

    // A negative side is left out and left alone.
    Rects withBad{IntRange2d(0, 0, 2, 2), IntRange2d(3, 4, -1, 5), IntRange2d(0, 0, 2, 2)};
    const IntRange2d area = qxUtil::pack(withBad, false);
    EXPECT_EQ(withBad[1], IntRange2d(3, 4, -1, 5));
    EXPECT_FALSE(overlap(withBad[0], withBad[2]));
    EXPECT_EQ(area, IntRange2d(0, 0, 4, 4));
}

}  // namespace
