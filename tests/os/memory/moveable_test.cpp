// Regions in scratch files, chunks in regions, the one-region cache, the
// files' lifetimes, and the data kept through mapping and unmapping.
#include "scratch_dir.h"
#include "os/app/qxSysInfo.h"
#include "os/memory/qxMoveableMemory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#    include <csignal>
#    include <sys/resource.h>
#endif

namespace {

using qxOS::MoveableAllocator;
using qxOS::MoveableChunk;
using qxOS::MoveableMapping;
using qxOS::MoveableMemory;

constexpr uint64_t kKiB = 1024, kMiB = 1024 * kKiB;

class Moveable : public ScratchDir {
protected:
    int files() const {
        int n = 0;
        for (const auto& e : std::filesystem::directory_iterator(dir_)) n += e.is_regular_file();
        return n;
    }
    void init(MoveableMemory& m) { ASSERT_TRUE(m.initializeFiles(windows(""), qxString::IString("qxtest"))); }
};

TEST_F(Moveable, NothingBeforeTheFilesAreSet) {
    MoveableMemory m;
    EXPECT_EQ(m.allocate(100).get(), nullptr);
    const MoveableMemory::Stats s = m.getStats();
    EXPECT_EQ(s.numFiles + s.fileBytes + s.numAllocations + s.allocatedBytes + s.mappedBytes, 0u);
    EXPECT_EQ(s.granularity, 65536u);

    write("plain", "x");
    EXPECT_FALSE(m.initializeFiles(windows(""), qxString::IString()));
    EXPECT_FALSE(m.initializeFiles(qxString::IString(), qxString::IString("p")));
    EXPECT_FALSE(m.initializeFiles(windows("plain"), qxString::IString("p")));
    EXPECT_FALSE(m.initializeFiles(windows("missing"), qxString::IString("p")));
    EXPECT_EQ(m.allocate(100).get(), nullptr);
    init(m);
    EXPECT_EQ(m.allocate(0).get(), nullptr);
}

TEST_F(Moveable, SmallRegionsShareAFileThatStaysAsTheSpare) {
    MoveableMemory m;
    init(m);
    qx::Reference<MoveableMapping> a = m.allocate(100), b = m.allocate(100);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->getSize(), 64 * kKiB);
    MoveableMemory::Stats s = m.getStats();
    EXPECT_EQ(s.numFiles, 1u);
    EXPECT_EQ(s.fileBytes, 128 * kMiB);
    EXPECT_EQ(s.numAllocations, 2u);
    EXPECT_EQ(s.allocatedBytes, 128 * kKiB);
    EXPECT_EQ(files(), 1);
    const std::string name = std::filesystem::directory_iterator(dir_)->path().filename().u8string();
    EXPECT_EQ(name.rfind("qxtest-", 0), 0u) << name;
    // The prefix, the process id and a uuid.
    const size_t dash = name.find('-', 7);
    ASSERT_NE(dash, std::string::npos) << name;
    EXPECT_EQ(name.substr(7, dash - 7), std::to_string(qxOS::sysInfo().getProcessID()));
    EXPECT_EQ(name.size(), dash + 1 + 35) << name;

    char* pa = static_cast<char*>(a->map());
    char* pb = static_cast<char*>(b->map());
    ASSERT_TRUE(pa && pb);
    EXPECT_EQ(a->getPtr(), pa);
    std::memset(pa, 'a', 64 * kKiB);
    std::memset(pb, 'b', 64 * kKiB);
    EXPECT_EQ(m.getStats().mappedBytes, 128 * kKiB);
    a->unmap();
    EXPECT_EQ(a->getPtr(), nullptr);
    EXPECT_EQ(m.getStats().mappedBytes, 64 * kKiB);
    pa = static_cast<char*>(a->map());
    EXPECT_EQ(pa[0], 'a');
    EXPECT_EQ(pa[64 * kKiB - 1], 'a');
    EXPECT_EQ(pb[0], 'b');

    a = nullptr;
    b = nullptr;
    EXPECT_EQ(files(), 1) << "kept as the spare";
    s = m.getStats();
    EXPECT_EQ(s.numFiles, 0u);
    EXPECT_EQ(s.numAllocations + s.allocatedBytes + s.mappedBytes, 0u);
    EXPECT_EQ(files(), 0);
}

TEST_F(Moveable, LargeRegionsHaveFilesOfTheirOwn) {
    MoveableMemory m;
    init(m);
    const uint64_t size = 32 * kMiB + 1;
    qx::Reference<MoveableMapping> r = m.allocate(size);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->getSize(), size);
    EXPECT_EQ(m.getStats().fileBytes, size);
    EXPECT_EQ(std::filesystem::file_size(std::filesystem::directory_iterator(dir_)->path()), size);
    char* p = static_cast<char*>(r->map());
    ASSERT_NE(p, nullptr);
    p[size - 1] = 1;
    r->flush(0, size);
    r = nullptr;
    EXPECT_EQ(files(), 0);
}

TEST_F(Moveable, ChunksRoundSplitMergeAndReleaseTheirRegion) {
    MoveableMemory m;
    init(m);
    MoveableAllocator alloc(m);
    EXPECT_EQ(alloc.allocate(0), nullptr);
    MoveableChunk* c[3] = {alloc.allocate(100), alloc.allocate(100), alloc.allocate(100)};
    ASSERT_TRUE(c[0] && c[1] && c[2]);
    EXPECT_EQ(c[0]->getSize(), 128u);
    EXPECT_EQ(alloc.getNumAllocated(), 3);
    EXPECT_EQ(m.getStats().allocatedBytes, 1 * kMiB) << "one region of 1 MiB";
    delete c[1];
    delete c[0];
    delete c[2];
    EXPECT_EQ(alloc.getNumAllocated(), 0);
    EXPECT_EQ(m.getStats().numAllocations, 0u) << "the empty block let its region go";

    // A 160-byte hole serves a 100-byte request whole.
    MoveableChunk* hole = alloc.allocate(160);
    MoveableChunk* fence = alloc.allocate(32);
    delete hole;
    MoveableChunk* fit = alloc.allocate(100);
    EXPECT_EQ(fit->getSize(), 160u);
    delete fit;
    delete fence;
}

TEST_F(Moveable, OneIdleRegionStaysMapped) {
    MoveableMemory m;
    init(m);
    MoveableAllocator alloc(&m);
    std::vector<MoveableChunk*> c;
    for (int i = 0; i < 5; ++i) c.push_back(alloc.allocate(256 * kKiB));  // 4 per region
    auto mapped = [&] { return m.getStats().mappedBytes; };

    char* p = static_cast<char*>(c[0]->map());
    ASSERT_NE(p, nullptr);
    std::memcpy(p, "first", 6);
    EXPECT_TRUE(c[0]->isMapped());
    EXPECT_EQ(c[0]->map(), p);
    c[0]->unmap();
    EXPECT_FALSE(c[0]->isMapped());
    EXPECT_EQ(mapped(), 1 * kMiB) << "idle, cached";
    EXPECT_EQ(c[0]->map(), p) << "not remapped";
    c[0]->unmap();

    char* q = static_cast<char*>(c[4]->map());  // the second region
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(mapped(), 2 * kMiB);
    c[4]->unmap();
    EXPECT_EQ(mapped(), 1 * kMiB) << "the second took the cache slot";
    alloc.unmapCachedMappings();
    EXPECT_EQ(mapped(), 0u);
    EXPECT_EQ(std::memcmp(c[0]->map(), "first", 6), 0);
    for (MoveableChunk* x : c) delete x;
    EXPECT_EQ(mapped(), 0u);
}

// The owners go first; what is in use keeps working, and the last release
// removes the last file.
TEST_F(Moveable, OwnersGoneFirstTakeNothingAway) {
    MoveableChunk* chunk;
    qx::Reference<MoveableMapping> region;
    {
        MoveableMemory m;
        init(m);
        region = m.allocate(40 * kMiB);
        {
            MoveableAllocator alloc(m);
            chunk = alloc.allocate(1000);
            std::memcpy(chunk->map(), "kept", 5);
        }
    }
    EXPECT_EQ(files(), 2);
    EXPECT_STREQ(static_cast<char*>(chunk->map()), "kept");
    ASSERT_NE(region->map(), nullptr);
    static_cast<char*>(region->map())[40 * kMiB - 1] = 1;
    delete chunk;
    EXPECT_EQ(files(), 1);
    region = nullptr;
    EXPECT_EQ(files(), 0);
}

TEST_F(Moveable, RandomChunksKeepTheirBytes) {
    MoveableMemory m;
    init(m);
    MoveableAllocator alloc(m);
    std::mt19937 rng(42);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    struct Live {
        int size;
        unsigned char seed;
    };
    std::map<MoveableChunk*, Live> live;
    auto fill = [](unsigned char* p, const Live& l) {
        for (int i = 0; i < l.size; ++i) p[i] = static_cast<unsigned char>(l.seed + i * 31);
    };
    auto same = [](const unsigned char* p, const Live& l) {
        for (int i = 0; i < l.size; ++i)
            if (p[i] != static_cast<unsigned char>(l.seed + i * 31)) return false;
        return true;
    };
    for (int step = 0; step < 4000; ++step) {
        const int op = pick(0, 9);
        if (live.empty() || op < 4) {
            const Live l{pick(0, 9) ? pick(1, 3000) : pick(200000, 400000),
                         static_cast<unsigned char>(pick(0, 255))};
            MoveableChunk* c = alloc.allocate(static_cast<uint64_t>(l.size));
            ASSERT_NE(c, nullptr);
            auto* p = static_cast<unsigned char*>(c->map());
            ASSERT_NE(p, nullptr);
            fill(p, l);
            if (pick(0, 1)) c->unmap();
            live[c] = l;
        } else {
            auto it = live.begin();
            std::advance(it, pick(0, static_cast<int>(live.size()) - 1));
            auto* p = static_cast<unsigned char*>(it->first->map());
            ASSERT_NE(p, nullptr);
            ASSERT_TRUE(same(p, it->second)) << "step " << step;
            if (op < 7) {
                delete it->first;
                live.erase(it);
            } else {
                it->first->unmap();
            }
        }
        ASSERT_EQ(alloc.getNumAllocated(), static_cast<int>(live.size()));
    }
    for (auto& e : live) delete e.first;
    EXPECT_EQ(m.getStats().numFiles, 0u);
    EXPECT_EQ(files(), 0);
}

TEST_F(Moveable, NoScratchFileNoRegion) {
    MoveableMemory m;
    std::filesystem::create_directory(dir_ / "sub");
    ASSERT_TRUE(m.initializeFiles(windows("sub"), qxString::IString("p")));
    std::filesystem::remove(dir_ / "sub");
    EXPECT_EQ(m.allocate(100).get(), nullptr);
    MoveableAllocator alloc(m);
    EXPECT_EQ(alloc.allocate(100), nullptr);
    const MoveableMemory::Stats s = m.getStats();
    EXPECT_EQ(s.numFiles + s.numAllocations, 0u);
}

#ifndef _WIN32
// A disk that fills up while a scratch file grows, made with a file-size
// limit: the allocation fails, and what is already written stays.
TEST_F(Moveable, FullDiskFailsTheAllocationAndKeepsTheData) {
    MoveableMemory m;
    init(m);
    qx::Reference<MoveableMapping> first = m.allocate(1 * kMiB);
    ASSERT_TRUE(first);
    std::memset(first->map(), 7, 1 * kMiB);

    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 64 * kMiB;
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    qx::Reference<MoveableMapping> big = m.allocate(100 * kMiB);
    qx::Reference<MoveableMapping> pooled = m.allocate(31 * kMiB);  // the file has room
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(big);
    EXPECT_TRUE(pooled);
    const MoveableMemory::Stats s = m.getStats();
    EXPECT_EQ(s.numFiles, 1u);
    EXPECT_EQ(files(), 1) << "the failed file is gone";
    const unsigned char* p = static_cast<const unsigned char*>(first->map());
    EXPECT_EQ(p[0], 7);
    EXPECT_EQ(p[kMiB - 1], 7);
}
#endif

}  // namespace
