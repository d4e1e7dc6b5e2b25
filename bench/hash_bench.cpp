// Hashing, hash tables and the block allocator, each next to what it replaces:
//
//     map_{insert,find_hit,find_miss,erase}/u64/<qx|std|absl>/<keys>
//         qx::hash_map<uint64_t, uint64_t> against std::unordered_map and,
//         when abseil is available, absl::flat_hash_map
//     buffer_hash/bytes/<qx|std|xxh3>/<bytes>
//         qx::hashfunction over a byte buffer against std::hash<std::string_view>
//         and, when xxhash is available, XXH3_64bits
//     alloc_{batch,alternate}/32B/<qx|std>/<pairs>
//         qx::BlockAllocator against malloc/free
//
// ratios.py pairs qx with std, and reports the third side (absl, xxh3) as an
// extra column.

// qxHashTable.h uses INT_MAX without including <climits> itself.
#include <climits>

#include "containers/qxBlockAllocator.h"
#include "containers/qxHash.h"
#include "containers/qxHashTable.h"

#include "alloc_bench.h"
#include "bench_register.h"
#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#if defined(QXBASE_BENCH_HAVE_ABSL)
#    include <absl/container/flat_hash_map.h>
#endif
#if defined(QXBASE_BENCH_HAVE_XXHASH)
#    include <xxhash.h>
#endif

namespace {

using u64 = std::uint64_t;

// --- keys -------------------------------------------------------------------

using qxbench::mix;

// n random keys that are in the table, n that are not, and the present ones
// again in a different order for the lookups and erasures. Built once per n.
struct Keys {
    std::vector<u64> present;
    std::vector<u64> absent;
    std::vector<u64> shuffled;
};

const Keys& keys(int n) {
    static std::unordered_map<int, std::unique_ptr<Keys>> cache;
    std::unique_ptr<Keys>& k = cache[n];
    if (!k) {
        k = std::make_unique<Keys>();
        for (int i = 0; i < n; ++i) {
            k->present.push_back(mix(2 * static_cast<u64>(i)));
            k->absent.push_back(mix(2 * static_cast<u64>(i) + 1));
        }
        k->shuffled = k->present;
        std::mt19937_64 rng(12345);
        std::shuffle(k->shuffled.begin(), k->shuffled.end(), rng);
    }
    return *k;
}

int count(const benchmark::State& state) {
    return static_cast<int>(state.range(0));
}

template <class M>
void fill(M& m, const std::vector<u64>& ks) {
    for (u64 k : ks) {
        const typename M::value_type e(k, k ^ 1);
        m.insert(e);
    }
}

// --- hash maps ----------------------------------------------------------------
// Templates over the map type, so every side runs the same code. Building and
// destroying a table outside the operation being measured is done with the
// timers paused; it costs about a microsecond per iteration, next to
// iterations of 100 us and more.

// n inserts into a table that starts empty, without reserve: growth included,
// destruction not.
template <class M>
void mapInsert(benchmark::State& state) {
    const Keys& k = keys(count(state));
    for (auto _ : state) {
        auto m = std::make_unique<M>();
        fill(*m, k.present);
        benchmark::DoNotOptimize(m.get());
        benchmark::ClobberMemory();
        state.PauseTiming();
        if (static_cast<int>(m->size()) != count(state)) state.SkipWithError("lost keys");
        m.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count(state));
}

// n successful lookups, in an order unrelated to the insertion order.
template <class M>
void mapFindHit(benchmark::State& state) {
    const Keys& k = keys(count(state));
    M m;
    fill(m, k.present);
    for (auto _ : state) {
        u64 sum = 0;
        for (u64 key : k.shuffled) {
            auto it = m.find(key);
            if (it != m.end()) sum += it->second;
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * count(state));
}

// n unsuccessful lookups in a table of n keys.
template <class M>
void mapFindMiss(benchmark::State& state) {
    const Keys& k = keys(count(state));
    M m;
    fill(m, k.present);
    for (auto _ : state) {
        int found = 0;
        for (u64 key : k.absent) found += m.find(key) != m.end();
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * count(state));
}

// Erasing every key of an n-key table by key, in an order unrelated to the
// insertion order.
template <class M>
void mapErase(benchmark::State& state) {
    const Keys& k = keys(count(state));
    for (auto _ : state) {
        state.PauseTiming();
        auto m = std::make_unique<M>();
        fill(*m, k.present);
        state.ResumeTiming();
        for (u64 key : k.shuffled) m->erase(key);
        benchmark::DoNotOptimize(m.get());
        benchmark::ClobberMemory();
        state.PauseTiming();
        if (!m->empty()) state.SkipWithError("keys left");
        m.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count(state));
}

// --- buffer hashes --------------------------------------------------------------

const std::vector<unsigned char>& randomBytes(int n) {
    static std::unordered_map<int, std::vector<unsigned char>> cache;
    std::vector<unsigned char>& bytes = cache[n];
    if (bytes.empty()) {
        std::mt19937 rng(n);
        for (int i = 0; i < n; ++i) bytes.push_back(static_cast<unsigned char>(rng()));
    }
    return bytes;
}

struct QxBufferHash {
    u64 operator()(const unsigned char* p, int n) const { return qx::hashfunction(p, n); }
};
struct StdBufferHash {
    u64 operator()(const unsigned char* p, int n) const {
        return std::hash<std::string_view>()(
            std::string_view(reinterpret_cast<const char*>(p), static_cast<size_t>(n)));
    }
};
#if defined(QXBASE_BENCH_HAVE_XXHASH)
struct Xxh3BufferHash {
    u64 operator()(const unsigned char* p, int n) const {
        return XXH3_64bits(p, static_cast<size_t>(n));
    }
};
#endif

// One hash of an n-byte buffer per iteration; throughput in bytes per second.
template <class H>
void bufferHash(benchmark::State& state) {
    const int n = count(state);
    const std::vector<unsigned char>& bytes = randomBytes(n);
    const unsigned char* p = bytes.data();
    for (auto _ : state) {
        benchmark::DoNotOptimize(p);
        u64 h = H()(p, n);
        benchmark::DoNotOptimize(h);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<long long>(n));
}

// --- block allocator --------------------------------------------------------------

constexpr int kSlotBytes = 32;
constexpr int kSlotsInBlock = 256;

struct QxSlots {
    qx::BlockAllocator allocator{kSlotBytes, kSlotsInBlock};
    void* alloc() { return allocator.alloc(); }
    void free(void* p) { allocator.free(p); }
};
struct MallocSlots {
    void* alloc() { return std::malloc(kSlotBytes); }
    void free(void* p) { std::free(p); }
};

// --- registration -------------------------------------------------------------------

using qxbench::Fn;
using qxbench::registerSides;

using QxMap = qx::hash_map<u64, u64>;
using StdMap = std::unordered_map<u64, u64>;
#if defined(QXBASE_BENCH_HAVE_ABSL)
using AbslMap = absl::flat_hash_map<u64, u64>;
#    define QX_ABSL(fn) &fn<AbslMap>
#else
#    define QX_ABSL(fn) nullptr
#endif
#if defined(QXBASE_BENCH_HAVE_XXHASH)
#    define QX_XXH3 &bufferHash<Xxh3BufferHash>
#else
#    define QX_XXH3 nullptr
#endif

const bool g_registered = [] {
    registerSides(
        "map_insert", "u64",
        {{"qx", &mapInsert<QxMap>}, {"std", &mapInsert<StdMap>}, {"absl", QX_ABSL(mapInsert)}},
        {10000, 1000000});
    registerSides(
        "map_find_hit", "u64",
        {{"qx", &mapFindHit<QxMap>}, {"std", &mapFindHit<StdMap>}, {"absl", QX_ABSL(mapFindHit)}},
        {10000, 1000000});
    registerSides("map_find_miss", "u64",
                  {{"qx", &mapFindMiss<QxMap>},
                   {"std", &mapFindMiss<StdMap>},
                   {"absl", QX_ABSL(mapFindMiss)}},
                  {10000, 1000000});
    registerSides(
        "map_erase", "u64",
        {{"qx", &mapErase<QxMap>}, {"std", &mapErase<StdMap>}, {"absl", QX_ABSL(mapErase)}},
        {10000, 1000000});

    registerSides(
        "buffer_hash", "bytes",
        {{"qx", &bufferHash<QxBufferHash>}, {"std", &bufferHash<StdBufferHash>}, {"xxh3", QX_XXH3}},
        {64, 1024, 1024 * 1024});

    registerSides(
        "alloc_batch", "32B",
        {{"qx", &qxbench::allocBatch<QxSlots>}, {"std", &qxbench::allocBatch<MallocSlots>}},
        {1000});
    registerSides(
        "alloc_alternate", "32B",
        {{"qx", &qxbench::allocAlternate<QxSlots>}, {"std", &qxbench::allocAlternate<MallocSlots>}},
        {1000});
    return true;
}();

}  // namespace
