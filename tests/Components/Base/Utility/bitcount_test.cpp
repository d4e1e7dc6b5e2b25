// The combine-and-count kernels behind BitField's &=, |= and ^=, each one
// this processor runs, against a word-by-word computation. (The test builds
// its own copy of the kernels, which the library does not export.)
#include "Components/Base/Utility/qxBitCount.h"

#include <gtest/gtest.h>

#include <bitset>
#include <random>
#include <vector>

using qxUtil::detail::BitKernel;
using qxUtil::detail::BitOp;

TEST(BitCount, EveryKernelCombinesAndCounts) {
    std::mt19937 rng(3);
    for (BitKernel kernel : {BitKernel::Portable, BitKernel::Avx2, BitKernel::Avx512}) {
        if (!qxUtil::detail::kernelRuns(kernel)) continue;
        SCOPED_TRACE(static_cast<int>(kernel));
        for (int n = 0; n < 600; n += 1 + n / 8) {
            for (BitOp op : {BitOp::And, BitOp::Or, BitOp::Xor}) {
                // One word in, so that the vectors start unaligned; dense,
                // sparse and full words.
                std::vector<unsigned> a(n + 1), b(n + 1);
                for (int i = 0; i <= n; ++i) {
                    a[i] = rng() & rng();
                    b[i] = i % 7 == 0 ? 0xFFFFFFFFu : rng();
                }
                std::vector<unsigned> want = a;
                int count = 0;
                for (int i = 1; i <= n; ++i) {
                    want[i] = op == BitOp::And  ? a[i] & b[i]
                              : op == BitOp::Or ? a[i] | b[i]
                                                : a[i] ^ b[i];
                    count += static_cast<int>(std::bitset<32>(want[i]).count());
                }
                ASSERT_EQ(
                    qxUtil::detail::combineAndCount(a.data() + 1, b.data() + 1, n, op, kernel),
                    count)
                    << "n " << n;
                ASSERT_EQ(a, want) << "n " << n;
            }
        }
        // A field combined with itself: XOR clears, OR counts.
        std::vector<unsigned> same(1000, 0x80000001u);
        EXPECT_EQ(
            qxUtil::detail::combineAndCount(same.data(), same.data(), 1000, BitOp::Or, kernel),
            2000);
        EXPECT_EQ(
            qxUtil::detail::combineAndCount(same.data(), same.data(), 1000, BitOp::Xor, kernel), 0);
    }
}
