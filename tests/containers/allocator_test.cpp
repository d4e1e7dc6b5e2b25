#include "qxbase.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <utility>

namespace {

char* take(qx::BlockAllocator& a) {
    return static_cast<char*>(a.alloc());
}

TEST(BlockAllocator, SlotsComeInOrderAndFreedOnesBackLastInFirstOut) {
    qx::BlockAllocator a(4, 10);  // slots hold at least the free-list link
    char* s[3] = {take(a), take(a), take(a)};
    EXPECT_EQ(s[1] - s[0], 8);
    std::memset(s[0], 0xAB, 24);  // all three slots are usable (the sanitizers check)
    a.free(s[0]);
    a.free(s[1]);
    a.free(nullptr);
    EXPECT_EQ(a.numAllocated(), 1);
    EXPECT_EQ(a.numFreed(), 2);
    EXPECT_EQ(take(a), s[1]);
    EXPECT_EQ(take(a), s[0]);
    EXPECT_EQ(take(a), s[2] + 8);  // free list empty: the block's next unused slot
    EXPECT_EQ(a.numAllocated(), 4);
    EXPECT_EQ(a.numFreed(), 0);

    qx::BlockAllocator wide(16, 4);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(reinterpret_cast<std::uintptr_t>(take(wide)) % 16, 0u);
    qx::BlockAllocator one(8, 0);  // a block holds at least one slot
    EXPECT_NE(take(one), take(one));
}

TEST(BlockAllocator, BlockSizeIsFixedWhileSlotsAreInUse) {
    qx::BlockAllocator a(16, 3);
    a.setNumElementsInBlock(5);  // nothing handed out yet: applies
    char* first = take(a);
    a.setNumElementsInBlock(2);
    for (int i = 1; i < 5; ++i) EXPECT_EQ(take(a), first + 16 * i);
    char* sixth = take(a);  // from a new block
    EXPECT_TRUE(sixth < first || sixth >= first + 5 * 16);
    for (int i = 0; i < 5; ++i) a.free(first + 16 * i);
    a.free(sixth);
    a.setNumElementsInBlock(2);  // slots on the free list still count
    EXPECT_EQ(a.elementsInBlock(), 5);
    a.freeEverything();
    EXPECT_EQ(a.numAllocated() + a.numFreed(), 0);
    a.setNumElementsInBlock(2);  // allowed again
    EXPECT_EQ(a.elementsInBlock(), 2);
    std::memset(take(a), 0, 16);

    qx::BlockAllocator b(40, 2);
    char* fromB = take(b);
    b.setLazy();
    a.swap(b);
    EXPECT_EQ(a.elementSize(), 40u);
    EXPECT_EQ(a.numAllocated(), 1);
    EXPECT_TRUE(a.isLazy() && !b.isLazy());
    EXPECT_EQ(take(a), fromB + 40);  // the blocks went along
    b.free(take(b));
    EXPECT_EQ(b.numAllocated(), 1);
    EXPECT_EQ(b.numFreed(), 1);
}  // each destructor releases the blocks it now holds

struct Counted : qx::ReferenceCount {
    explicit Counted(int* deaths) : deaths(deaths) {}
    ~Counted() override { ++*deaths; }
    int* deaths;
};

TEST(ReferenceCount, CopiesStartUnreferencedAndTheLastUnrefDeletes) {
    int deaths = 0;
    auto* a = new Counted(&deaths);
    a->ref();
    a->ref();
    auto* b = new Counted(*a);
    EXPECT_EQ(b->refs(), 0);
    b->ref();
    *b = *a;  // each keeps its own count
    EXPECT_EQ(a->refs(), 2);
    EXPECT_EQ(b->refs(), 1);
    b->unref();
    a->unref();
    EXPECT_EQ(deaths, 1);
    a->unref();
    EXPECT_EQ(deaths, 2);
}

TEST(Reference, HoldsExactlyOneCountPerHolder) {
    int deaths = 0, otherDeaths = 0;
    auto* p = new Counted(&deaths);
    {
        qx::Reference<Counted> r(p);
        r.reset(p);  // the same object again while it is held once: must survive
        r = p;
        auto& self = r;
        r = self;
        EXPECT_EQ(p->refs(), 1);
        qx::Reference<qx::ReferenceCount> base(r);  // to a base class
        qx::Reference<Counted> copy(r), moved(std::move(copy));
        EXPECT_FALSE(copy);
        auto& alias = moved;
        moved = std::move(alias);
        EXPECT_EQ(p->refs(), 3);
        qx::Reference<Counted> other(new Counted(&otherDeaths));
        other = std::move(moved);  // p changes holder; the other object goes
        EXPECT_EQ(otherDeaths, 1);
        EXPECT_EQ(p->refs(), 3);
        base.reset();
        r = nullptr;
        EXPECT_EQ(p->refs(), 1);
    }
    EXPECT_EQ(deaths, 1);
}

}  // namespace
