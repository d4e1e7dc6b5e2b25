// Walks of the address space: a reservation of known shape shows up as its
// regions, the free functions agree with a walk of their own, and a walk
// that is not supported answers as documented.
#include "os/memory/qxVirtualMemory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#ifdef _WIN32
#    include <windows.h>
#else
#    include <sys/mman.h>
#    include <unistd.h>
#endif

namespace {

using qxOS::VirtualMemoryIterator;

struct Region {
    uint64_t size;
    int state;
};

std::vector<Region> walk() {
    std::vector<Region> regions;
    for (VirtualMemoryIterator it; it.valid(); it.next())
        regions.push_back({it.getSize(), it.getState()});
    return regions;
}

uint64_t page() {
#ifdef _WIN32
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
#else
    return static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
#endif
}

// kPages of address space reserved, the middle kUsable of them usable:
// a committed region of exactly kUsable pages between reserved ones.
constexpr uint64_t kPages = 41, kUsable = 37;

class Reservation {
public:
    Reservation() {
        const uint64_t bytes = kPages * page();
#ifdef _WIN32
        m_base = static_cast<char*>(VirtualAlloc(nullptr, bytes, MEM_RESERVE, PAGE_NOACCESS));
        if (m_base) VirtualAlloc(m_base + 2 * page(), kUsable * page(), MEM_COMMIT, PAGE_READWRITE);
#else
        void* p = mmap(nullptr, bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        m_base = p == MAP_FAILED ? nullptr : static_cast<char*>(p);
        if (m_base) mprotect(m_base + 2 * page(), kUsable * page(), PROT_READ | PROT_WRITE);
#endif
    }
    ~Reservation() {
#ifdef _WIN32
        if (m_base) VirtualFree(m_base, 0, MEM_RELEASE);
#else
        if (m_base) munmap(m_base, kPages * page());
#endif
    }
    bool ok() const {
        return m_base != nullptr;
    }

private:
    char* m_base;
};

TEST(VirtualMemory, WalkShowsRegions) {
    Reservation reserved;
    ASSERT_TRUE(reserved.ok());
    const std::vector<Region> regions = walk();
    ASSERT_GT(regions.size(), 3u);
    bool usable = false, free = false, committed = false;
    for (const Region& r : regions) {
        ASSERT_GT(r.size, 0u);
        ASSERT_EQ(r.size % page(), 0u);
        ASSERT_GE(r.state, 0);
        ASSERT_LE(r.state, 2);
        usable =
            usable || (r.state == VirtualMemoryIterator::kCommitted && r.size == kUsable * page());
        free = free || r.state == VirtualMemoryIterator::kFree;
        committed = committed || r.state == VirtualMemoryIterator::kCommitted;
    }
    EXPECT_TRUE(usable);
    EXPECT_TRUE(free);
    EXPECT_TRUE(committed);
    // reset() goes back to the first region.
    VirtualMemoryIterator it;
    const uint64_t firstSize = it.getSize();
    it.next();
    it.reset();
    EXPECT_EQ(it.getSize(), firstSize);
}

TEST(VirtualMemory, FreeFunctionsAgreeWithAWalk) {
    std::vector<Region> regions;
    regions.reserve(1 << 16);  // no heap growth during the walks below
    for (VirtualMemoryIterator it; it.valid(); it.next())
        regions.push_back({it.getSize(), it.getState()});
    uint64_t largest = 0, largestFree = 0;
    for (const Region& r : regions) {
        if (r.size > largest) largest = r.size;
        if (r.state == VirtualMemoryIterator::kFree && r.size > largestFree) largestFree = r.size;
    }
    // The walks are of a live address space, which the runtime may change a
    // little in between (a heap that grows into a free region).
    const uint64_t slack = uint64_t{16} << 20;
    const uint64_t max = qxOS::GetMaxFreeMemBlockSize();
    EXPECT_LE(max, largest + slack);
    EXPECT_GE(max + slack, largest);
    EXPECT_GT(largestFree, slack);
    EXPECT_TRUE(qxOS::IsMemBlockFree(0));
    EXPECT_TRUE(qxOS::IsMemBlockFree(largestFree - slack));
    EXPECT_FALSE(qxOS::IsMemBlockFree(largest + slack));
}

// A platform without a walk: state 3, nothing to walk.
TEST(VirtualMemory, NotSupported) {
    VirtualMemoryIterator it(new qxOS::VirtualMemoryIteratorImpl);
    EXPECT_EQ(it.getState(), VirtualMemoryIterator::kNotSupported);
    EXPECT_FALSE(it.valid());
    EXPECT_EQ(qxOS::GetMaxFreeMemBlockSize(it), 0u);
    EXPECT_TRUE(qxOS::IsMemBlockFree(uint64_t{1} << 60, it));
    EXPECT_TRUE(qxOS::IsMemBlockFree(0, it));
}

// A walk of three regions, the last reaching the top: only the first two
// are reported, and the largest counts whatever its state.
class ThreeRegions : public qxOS::VirtualMemoryIteratorImpl {
public:
    void reset() override { m_index = 0; }
    void next() override { ++m_index; }
    bool valid() const override { return m_index < 2; }
    uint64_t size() const override {
        const uint64_t sizes[] = {8192, 4096, uint64_t{1} << 40};
        return sizes[m_index];
    }
    int state() const override {
        return m_index == 0 ? VirtualMemoryIterator::kCommitted : VirtualMemoryIterator::kFree;
    }

private:
    int m_index = 0;
};

TEST(VirtualMemory, LastRegionIsNotCounted) {
    VirtualMemoryIterator it(new ThreeRegions);
    EXPECT_EQ(qxOS::GetMaxFreeMemBlockSize(it), 8192u);
    EXPECT_TRUE(qxOS::IsMemBlockFree(4096, it));
    EXPECT_FALSE(qxOS::IsMemBlockFree(4097, it));
    EXPECT_FALSE(qxOS::IsMemBlockFree(8192, it));
}

}  // namespace
