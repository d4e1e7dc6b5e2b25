#include "Components/Base/Utility/qxBitField.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

using qxUtil::BitField;
using qxUtil::BitFieldAuto;

namespace {

int countOf(const std::vector<bool>& v) {
    return static_cast<int>(std::count(v.begin(), v.end(), true));
}

void expectSame(const BitField& f, const std::vector<bool>& model) {
    ASSERT_EQ(f.maxAvailableBits(), static_cast<int>(model.size()));
    for (int i = 0; i < f.maxAvailableBits(); ++i) ASSERT_EQ(f.testBit(i), model[i]) << "bit " << i;
    EXPECT_EQ(f.numBitsSet(), countOf(model));
    EXPECT_EQ(f.anySet(), countOf(model) > 0);
    EXPECT_EQ(f.allSet(), countOf(model) == static_cast<int>(model.size()));
}

// Bits of a growing field, up to its capacity; beyond it all clear.
std::vector<bool> bitsOf(const BitFieldAuto& f) {
    std::vector<bool> v(f.maxAvailableBits());
    for (int i = 0; i < f.maxAvailableBits(); ++i) v[i] = f.testBit(i);
    return v;
}

bool sameBits(std::vector<bool> a, std::vector<bool> b) {
    const size_t n = std::max(a.size(), b.size());
    a.resize(n);
    b.resize(n);
    return a == b;
}

}  // namespace

TEST(BitField, CountsAndEquality) {
    BitField f(40);
    EXPECT_EQ(f.bits().size(), 2);
    EXPECT_EQ(f.numBitsSet(), 0);
    EXPECT_FALSE(f.allSet());
    f.setAll();
    EXPECT_EQ(f.numBitsSet(), 40);
    EXPECT_TRUE(f.allSet());
    EXPECT_EQ(f.bits()[1], 0xFFFFFFFFu);  // beyond the size too

    BitField g(40);
    g.setBit(3, true).setBit(3, true);
    EXPECT_EQ(g.numBitsSet(), 1);
    for (int i = 0; i < 40; ++i) g[i] = true;
    EXPECT_EQ(g.bits()[1], 0xFFu);
    EXPECT_TRUE(f == g);  // the bits beyond 40 do not count
    g.setBit(39, false);
    EXPECT_TRUE(f != g);
    EXPECT_NE(BitField(40), BitField(41));

    BitField empty(0);
    EXPECT_TRUE(empty.allSet());
    EXPECT_FALSE(empty.anySet());
    empty.setAll();
    EXPECT_EQ(empty.numBitsSet(), 0);
    f.resizeAndReset(-1);
    EXPECT_EQ(f.maxAvailableBits(), 40);
    EXPECT_EQ(f.numBitsSet(), 40);
    f.resizeAndReset(70);
    EXPECT_EQ(f.bits().size(), 3);
    EXPECT_FALSE(f.anySet());

    // The proxy reads, and copies a bit between fields.
    BitField h(8);
    h[2] = g[0];
    EXPECT_TRUE(h[2]);
    EXPECT_EQ(h.numBitsSet(), 1);
    const BitField copy = h;
    EXPECT_TRUE(copy[2]);
    EXPECT_EQ(copy.numBitsSet(), 1);
}

// Random single-bit changes and word-wise combinations against
// std::vector<bool>, on sizes around the word boundaries.
TEST(BitField, MatchesVectorOfBool) {
    std::mt19937 rng(7);
    for (int n : {1, 31, 32, 33, 63, 64, 65, 100, 1000, 4099}) {
        SCOPED_TRACE(n);
        BitField f(n);
        std::vector<bool> model(n);
        for (int round = 0; round < 20; ++round) {
            for (int k = 0; k < n / 4 + 3; ++k) {
                const int i = static_cast<int>(rng() % n);
                const bool v = rng() & 1;
                f.setBit(i, v);
                model[i] = v;
            }
            expectSame(f, model);

            // The other field may carry ones beyond its size (setAll).
            BitField other(n);
            std::vector<bool> otherModel(n);
            if (rng() % 4 == 0) {
                other.setAll();
                otherModel.assign(n, true);
            }
            for (int k = 0; k < n / 3 + 1; ++k) {
                const int i = static_cast<int>(rng() % n);
                const bool v = rng() & 1;
                other[i] = v;
                otherModel[i] = v;
            }
            EXPECT_EQ(f == other, model == otherModel);
            switch (rng() % 5) {
                case 0:
                    f &= other;
                    for (int i = 0; i < n; ++i) model[i] = model[i] && otherModel[i];
                    break;
                case 1:
                    f |= other;
                    for (int i = 0; i < n; ++i) model[i] = model[i] || otherModel[i];
                    break;
                case 2:
                    f ^= other;
                    for (int i = 0; i < n; ++i) model[i] = model[i] != otherModel[i];
                    break;
                case 3:
                    f.setAll();
                    model.assign(n, true);
                    break;
                default:
                    if (round % 2) {
                        f.resetAll();
                        model.assign(n, false);
                    }
            }
            expectSame(f, model);
        }
        // Combining a field with itself.
        f ^= f;
        EXPECT_EQ(f.numBitsSet(), 0);
    }
}

TEST(BitField, ShorterOperandActsAsClear) {
    BitField f(100), shortOne(10);
    f.setAll();
    shortOne.setAll();
    f |= shortOne;
    EXPECT_EQ(f.numBitsSet(), 100);
    f &= shortOne;
    EXPECT_EQ(f.numBitsSet(), 32);  // the short field's one word was all ones
}

TEST(BitFieldAuto, GrowsAndReadsBeyondItsEndAsClear) {
    EXPECT_EQ(BitFieldAuto().maxAvailableBits(), 32);
    EXPECT_EQ(BitFieldAuto(32).maxAvailableBits(), 64);
    EXPECT_EQ(BitFieldAuto(31).maxAvailableBits(), 32);
    EXPECT_EQ(BitFieldAuto(-5).maxAvailableBits(), 0);

    BitFieldAuto f;
    f.setBit(100, false);
    EXPECT_EQ(f.maxAvailableBits(), 32);
    f.setBit(100, true);
    EXPECT_EQ(f.maxAvailableBits(), 128);
    EXPECT_TRUE(f[100]);
    EXPECT_FALSE(f.testBit(1000));
    EXPECT_FALSE(f.testBit(-1));
    f.setBit(-1, true);
    EXPECT_EQ(f.maxAvailableBits(), 128);
    f.reserveSize(10);
    EXPECT_EQ(f.maxAvailableBits(), 128);  // never shrinks
    f.reserveSize(128);
    EXPECT_EQ(f.maxAvailableBits(), 160);
    f.resetAll();
    EXPECT_FALSE(f.anySet());
    EXPECT_EQ(f.maxAvailableBits(), 160);

    BitFieldAuto one, three(95);
    EXPECT_TRUE(one == three);
    three[70] = true;
    EXPECT_TRUE(one != three);

    // testBits: a longer mask fails even when its extra words are 0.
    BitFieldAuto mask(40);
    one.setBit(3, true);
    mask.setBit(3, true);
    EXPECT_FALSE(one.testBits(mask));
    EXPECT_TRUE(three.testBits(BitFieldAuto()));

    // OR with a shorter field keeps the size and touches only its words.
    BitFieldAuto big(95);
    big.setBit(90, true);
    big |= one;
    EXPECT_EQ(big.maxAvailableBits(), 96);
    EXPECT_TRUE(big[3]);
    EXPECT_TRUE(big[90]);
    // AND with a shorter field clears the rest but keeps the size.
    big &= one;
    EXPECT_EQ(big.maxAvailableBits(), 96);
    EXPECT_FALSE(big[90]);
    EXPECT_TRUE(big[3]);
}

TEST(BitFieldAuto, MatchesVectorOfBool) {
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        BitFieldAuto a, b(static_cast<int>(rng() % 200));
        std::vector<bool> ma, mb;
        const auto randomBits = [&rng](BitFieldAuto& f, std::vector<bool>& m) {
            for (int k = 0; k < 20; ++k) {
                const int i = static_cast<int>(rng() % 250);
                const bool v = rng() % 3 != 0;
                f.setBit(i, v);
                if (static_cast<size_t>(i) >= m.size()) m.resize(i + 1);
                m[i] = v;
            }
        };
        randomBits(a, ma);
        randomBits(b, mb);
        for (int i = 0; i < 300; ++i) ASSERT_EQ(a[i], i < static_cast<int>(ma.size()) && ma[i]);
        EXPECT_EQ(a == b, sameBits(ma, mb));
        EXPECT_EQ(a.anySet(), countOf(ma) > 0);
        EXPECT_TRUE((a | b).testBits(b));

        const int wa = a.maxAvailableBits(), wb = b.maxAvailableBits();
        std::vector<bool> va = bitsOf(a), vb = bitsOf(b);
        va.resize(std::max(wa, wb));
        vb.resize(std::max(wa, wb));
        std::vector<bool> both(va.size()), either(va.size()), differ(va.size());
        for (size_t i = 0; i < va.size(); ++i) {
            both[i] = va[i] && vb[i];
            either[i] = va[i] || vb[i];
            differ[i] = va[i] != vb[i];
        }
        const BitFieldAuto andF = a & b, orF = a | b, xorF = a ^ b;
        EXPECT_EQ(andF.maxAvailableBits(), wa);
        EXPECT_EQ(orF.maxAvailableBits(), std::max(wa, wb));
        EXPECT_EQ(xorF.maxAvailableBits(), std::max(wa, wb));
        EXPECT_TRUE(sameBits(bitsOf(andF), both));
        EXPECT_EQ(bitsOf(orF), either);
        EXPECT_EQ(bitsOf(xorF), differ);
        EXPECT_EQ(xorF.anySet(), !sameBits(ma, mb));
        bool subset = true;
        for (size_t i = 0; i < mb.size(); ++i)
            subset = subset && (!mb[i] || (i < ma.size() && ma[i]));
        EXPECT_EQ(a.testBits(b), subset && wa >= wb);
    }
}
