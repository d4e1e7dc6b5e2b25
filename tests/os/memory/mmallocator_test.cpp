// The allocator under moveable memory, with blocks that are only numbers:
// random allocations and frees against a model, the structure checked after
// every step, and blocks that cannot be had.
#include "os/memory/qxMMAllocator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <vector>

namespace {

using qxOS::detail::MMAllocator;
using qxOS::detail::MMBlock;
using qxOS::detail::MMChunk;

class TestAllocator : public MMAllocator {
public:
    TestAllocator(uint64_t maxPooled, uint64_t granularity, uint64_t standard, bool keepSpare)
        : MMAllocator(maxPooled, granularity, standard, keepSpare) {}
    ~TestAllocator() override { releaseSpare(); }

    bool check() const { return checkInvariants(blocks.data(), static_cast<int>(blocks.size())); }
    void dropSpare() { releaseSpare(); }

    std::vector<MMBlock*> blocks;  // live ones, the spare included
    bool refuse = false;
    int deleted = 0;

protected:
    MMBlock* newBlock(uint64_t) override {
        if (refuse) return nullptr;
        blocks.push_back(new MMBlock);
        return blocks.back();
    }
    void deleteBlock(MMBlock* block) override {
        blocks.erase(std::find(blocks.begin(), blocks.end(), block));
        delete block;
        ++deleted;
    }
};

TEST(MMAllocator, SplitsOnlyPastTheGranularityAndMergesBothWays) {
    TestAllocator a(256, 32, 1024, false);
    EXPECT_EQ(a.allocate(0), nullptr);
    MMChunk* x = a.allocate(160);
    MMChunk* y = a.allocate(32);
    ASSERT_TRUE(x && y);
    EXPECT_EQ(x->size, 160u);
    EXPECT_EQ(y->offset, 160u);
    a.free(x);
    MMChunk* z = a.allocate(100);  // rounded to 128: the 160 fits best, whole
    EXPECT_EQ(z, x);
    EXPECT_EQ(z->size, 160u);
    EXPECT_TRUE(a.check());

    // Three neighbours freed in every order come back as one block, released.
    int orders[3] = {0, 1, 2};
    do {
        MMChunk* c[3] = {a.allocate(64), a.allocate(64), a.allocate(64)};
        for (int i : orders) {
            a.free(c[i]);
            ASSERT_TRUE(a.check());
        }
    } while (std::next_permutation(orders, orders + 3));
    a.free(y);
    a.free(z);
    EXPECT_EQ(a.numAllocations(), 0u);
    EXPECT_EQ(a.numBlocks(), 0u);
    EXPECT_TRUE(a.blocks.empty());
}

TEST(MMAllocator, LargeRequestsAndTheSpare) {
    TestAllocator a(256, 32, 1024, true);
    MMChunk* big = a.allocate(5000);  // a block of its own, exactly that size
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->size, 5000u);
    EXPECT_EQ(big->block->size, 5000u);
    MMChunk* small = a.allocate(10);
    a.free(big);
    EXPECT_EQ(a.deleted, 1) << "only standard blocks become the spare";
    a.free(small);
    EXPECT_TRUE(a.hasSpare());
    EXPECT_EQ(a.numBlocks(), 1u);
    MMChunk* again = a.allocate(10);  // from the spare
    EXPECT_EQ(a.deleted, 1);
    EXPECT_FALSE(a.hasSpare());
    a.free(again);
    a.dropSpare();
    EXPECT_EQ(a.numBlocks(), 0u);

    a.refuse = true;
    EXPECT_EQ(a.allocate(10), nullptr);
    EXPECT_EQ(a.allocate(5000), nullptr);
    EXPECT_EQ(a.numAllocations(), 0u);
}

TEST(MMAllocator, RandomSequencesKeepTheStructure) {
    for (bool keepSpare : {false, true}) {
        std::mt19937 rng(keepSpare ? 7 : 11);
        auto pick = [&](uint64_t lo, uint64_t hi) {
            return std::uniform_int_distribution<uint64_t>(lo, hi)(rng);
        };
        TestAllocator a(4096, 64, 16384, keepSpare);
        std::map<MMChunk*, uint64_t> live;  // chunk -> requested size
        for (int step = 0; step < 20000; ++step) {
            if (live.empty() || pick(0, 99) < 55) {
                const uint64_t n = pick(0, 9) == 0 ? pick(4097, 20000) : pick(1, 4096);
                a.refuse = pick(0, 19) == 0;
                MMChunk* c = a.allocate(n);
                if (!c) {
                    ASSERT_TRUE(a.refuse) << "step " << step;
                    continue;
                }
                ASSERT_FALSE(c->free);
                if (n <= 4096) {
                    const uint64_t r = (n + 63) / 64 * 64;
                    ASSERT_GE(c->size, r);
                    ASSERT_LE(c->size, r + 64) << "a remainder past the granularity is split off";
                } else {
                    ASSERT_EQ(c->size, n);
                }
                ASSERT_TRUE(live.emplace(c, n).second);
            } else {
                auto it = live.begin();
                std::advance(it, static_cast<long>(pick(0, live.size() - 1)));
                a.free(it->first);
                live.erase(it);
            }
            ASSERT_TRUE(a.check()) << "step " << step;
            ASSERT_EQ(a.numAllocations(), live.size());
            ASSERT_EQ(a.numBlocks(), a.blocks.size());
        }
        for (auto& e : live) a.free(e.first);
        EXPECT_EQ(a.blocks.size(), a.hasSpare() ? 1u : 0u);
    }
}

}  // namespace
