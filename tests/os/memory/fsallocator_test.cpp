// The fixed-size allocator: the worked configurations, and random
// allocations and frees against a model of which slots are out.
#include "os/memory/qxFSAllocator.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <vector>

namespace {

using qxOS::FSAllocator;

uintptr_t at(void* p) {
    return reinterpret_cast<uintptr_t>(p);
}

TEST(FSAllocator, SlotsAndBlocks) {
    FSAllocator a(4, 64);  // 8-byte slots, 8 to a block
    EXPECT_EQ(a.slotSize(), 8u);
    std::vector<void*> slots;
    for (int i = 0; i < 8; ++i) slots.push_back(a.alloc());
    EXPECT_EQ(a.numBlocks(), 1);
    EXPECT_EQ(a.numFree(), 0);
    for (int i = 1; i < 8; ++i) EXPECT_EQ(at(slots[i]), at(slots[0]) + 8 * i);  // from the tail
    void* ninth = a.alloc();
    EXPECT_EQ(a.numBlocks(), 2);
    EXPECT_EQ(a.numFree(), 7);
    a.free(ninth);
    EXPECT_EQ(a.alloc(), ninth);

    // Freed slots are handed out again last in, first out, before the tail.
    a.free(slots[2]);
    a.free(slots[5]);
    EXPECT_EQ(a.numFree(), 9);
    void* tail = a.alloc();  // the second block is still current
    EXPECT_NE(tail, slots[5]);
    EXPECT_EQ(at(tail), at(ninth) + 8);
    for (int i = 0; i < 6; ++i) a.alloc();  // the second block's tail
    EXPECT_EQ(a.alloc(), slots[5]);         // then the first block's list
    EXPECT_EQ(a.alloc(), slots[2]);
    EXPECT_EQ(a.numFree(), 0);
    EXPECT_EQ(a.numBlocks(), 2);

    a.freeAll();
    EXPECT_EQ(a.numBlocks(), 0);
    EXPECT_EQ(a.numFree(), 0);
    a.alloc();
    EXPECT_EQ(a.numBlocks(), 1);
    EXPECT_EQ(a.numFree(), 7);

    FSAllocator odd(13, 5);  // a block of less than one slot holds one
    EXPECT_EQ(odd.slotSize(), 13u);
    odd.alloc();
    odd.alloc();
    EXPECT_EQ(odd.numBlocks(), 2);
    FSAllocator lazy(16, 256);
    lazy.setLazy();
    EXPECT_NE(lazy.alloc(), nullptr);
}

// Slots given back in other blocks than the current one are found and
// reused once the current block is used up.
TEST(FSAllocator, FreesInOtherBlocks) {
    FSAllocator a(32, 32 * 4);
    std::vector<void*> slots;
    for (int i = 0; i < 40; ++i) slots.push_back(a.alloc());  // 10 blocks, all full
    EXPECT_EQ(a.numBlocks(), 10);
    std::set<void*> freed;
    for (int i : {3, 17, 18, 33, 0, 39}) {
        a.free(slots[i]);
        freed.insert(slots[i]);
    }
    EXPECT_EQ(a.numFree(), 6);
    std::set<void*> again;
    for (int i = 0; i < 6; ++i) again.insert(a.alloc());
    EXPECT_EQ(again, freed);
    EXPECT_EQ(a.numBlocks(), 10);
    a.alloc();
    EXPECT_EQ(a.numBlocks(), 11);
}

// Random work against a model: a slot never goes out twice, never overlaps
// another, keeps what was written into it, and the count of free slots is
// what the blocks held less what is out.
TEST(FSAllocator, RandomAgainstModel) {
    std::mt19937 rng(7);
    for (uint64_t size : {1u, 8u, 24u, 100u}) {
        FSAllocator a(size, 1000);
        const uint64_t slot = a.slotSize();
        const uint64_t perBlock = 1000 / slot;
        std::map<uintptr_t, uint32_t> out;  // slot -> the word written into it
        std::vector<uintptr_t> order;
        for (int step = 0; step < 20000; ++step) {
            if (out.empty() || rng() % 100 < 55) {
                void* p = a.alloc();
                const uintptr_t u = at(p);
                auto next = out.lower_bound(u);
                ASSERT_TRUE(next == out.end() || next->first >= u + slot);
                ASSERT_TRUE(next == out.begin() || std::prev(next)->first + slot <= u);
                const uint32_t mark = static_cast<uint32_t>(rng());
                std::memcpy(p, &mark, sizeof mark);
                out[u] = mark;
                order.push_back(u);
            } else {
                const size_t k = rng() % order.size();
                const uintptr_t u = order[k];
                order[k] = order.back();
                order.pop_back();
                uint32_t mark;
                std::memcpy(&mark, reinterpret_cast<void*>(u), sizeof mark);
                ASSERT_EQ(mark, out[u]);
                out.erase(u);
                a.free(reinterpret_cast<void*>(u));
            }
            ASSERT_EQ(static_cast<uint64_t>(a.numFree()), a.numBlocks() * perBlock - out.size());
            if (step == 10000) {
                a.freeAll();
                out.clear();
                order.clear();
                ASSERT_EQ(a.numBlocks(), 0);
            }
        }
    }
}

}  // namespace
