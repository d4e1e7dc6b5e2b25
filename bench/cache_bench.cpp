// The global cache against the standard containers:
//
//     cache_find_hit/u64/<qx|std>/<items>
//         GlobalCache::find of an equal probe (a hit, moved to the front)
//         against std::unordered_map::find of the same keys
//     cache_find_hit_ordered/u64/<qx|std>/<items>
//         the same with a group that orders its items but does not hash them
//     cache_trim/u64/<qx|std>/<items>
//         GlobalCache::trim(0) of a full cache against the same eviction by
//         hand from a std::list recency list and a std::unordered_map index
//
// Items are the same heap objects on both sides: one group, 64-bit keys
// (already well spread, so the group's hash is the key itself).

#include "Components/Base/Utility/qxGlobalCache.h"

#include "bench_register.h"
#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <list>
#include <random>
#include <unordered_map>
#include <vector>

namespace {

using u64 = std::uint64_t;

using qxbench::mix;

int count(const benchmark::State& state) {
    return static_cast<int>(state.range(0));
}

// n keys in insertion order, and the same keys in another order for lookups.
struct Keys {
    std::vector<u64> inserted;
    std::vector<u64> shuffled;
};

Keys makeKeys(int n) {
    Keys k;
    for (int i = 0; i < n; ++i) k.inserted.push_back(mix(static_cast<u64>(i)));
    k.shuffled = k.inserted;
    std::mt19937_64 rng(20261208);
    std::shuffle(k.shuffled.begin(), k.shuffled.end(), rng);
    return k;
}

struct Item : qxUtil::CacheItem {
    Item(qxUtil::CacheGroupBase* g, u64 key) : CacheItem(g), key(key) {}
    int cost() override { return 1; }
    u64 key;
};

// A group that hashes its items (the usual case, and the fast one), or one
// that only orders them.
template <bool Hashed>
struct GroupOf : qxUtil::CacheGroupBase {
    void itemRemoved(qxUtil::CacheItem*) override { ++removed; }
    bool less(const qxUtil::CacheItem* a, const qxUtil::CacheItem* b) override {
        return static_cast<const Item*>(a)->key < static_cast<const Item*>(b)->key;
    }
    bool hashable() const override { return Hashed; }
    unsigned long long hash(const qxUtil::CacheItem* item) override {
        return static_cast<const Item*>(item)->key;
    }
    bool equal(const qxUtil::CacheItem* a, const qxUtil::CacheItem* b) override {
        return static_cast<const Item*>(a)->key == static_cast<const Item*>(b)->key;
    }
    u64 removed = 0;
};
using Group = GroupOf<true>;

// --- the two sides ------------------------------------------------------------

template <bool Hashed = true>
struct QxSide {
    GroupOf<Hashed> group;
    qxUtil::GlobalCache* cache = qxUtil::getGlobalCache();
    Item probe{&group, 0};

    ~QxSide() { qxUtil::deleteGlobalCache(); }
    void insert(u64 key) { cache->insert(new Item(&group, key)); }
    Item* find(u64 key) {
        probe.key = key;
        return static_cast<Item*>(cache->find(&probe));
    }
    void evictAll() { cache->trim(0); }
};

// A least-recently-used store built by hand: what the cache would be with a
// hash of the key. Only the operations timed here are written out.
struct StdSide {
    Group group;
    std::list<Item*> recency;
    std::unordered_map<u64, std::list<Item*>::iterator> index;

    ~StdSide() { evictAll(); }
    void insert(u64 key) {
        recency.push_front(new Item(&group, key));
        index.emplace(key, recency.begin());
    }
    Item* find(u64 key) {
        const auto it = index.find(key);
        return it == index.end() ? nullptr : *it->second;
    }
    void evictAll() {
        while (!recency.empty()) {
            Item* item = recency.back();
            index.erase(item->key);
            recency.pop_back();
            group.itemRemoved(item);
            delete item;
        }
    }
};

// n hits in a store of n items, in an order unrelated to the insertion order.
template <class Side>
void findHit(benchmark::State& state) {
    const Keys k = makeKeys(count(state));
    Side side;
    for (u64 key : k.inserted) side.insert(key);
    for (auto _ : state) {
        u64 sum = 0;
        for (u64 key : k.shuffled) sum += side.find(key)->key;
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * count(state));
}

// Evicting all of n items; filling the store is not timed.
template <class Side>
void trimAll(benchmark::State& state) {
    const Keys k = makeKeys(count(state));
    Side side;
    for (auto _ : state) {
        state.PauseTiming();
        for (u64 key : k.inserted) side.insert(key);
        state.ResumeTiming();
        side.evictAll();
        benchmark::ClobberMemory();
    }
    if (side.group.removed != static_cast<u64>(state.iterations()) * k.inserted.size())
        state.SkipWithError("items lost");
    state.SetItemsProcessed(state.iterations() * count(state));
}

const bool registered = [] {
    using qxbench::registerSides;
    registerSides("cache_find_hit", "u64", {{"qx", &findHit<QxSide<>>}, {"std", &findHit<StdSide>}},
                  {1000, 100000});
    registerSides("cache_find_hit_ordered", "u64",
                  {{"qx", &findHit<QxSide<false>>}, {"std", &findHit<StdSide>}}, {1000, 100000});
    registerSides("cache_trim", "u64", {{"qx", &trimAll<QxSide<>>}, {"std", &trimAll<StdSide>}},
                  {10000, 100000});
    return true;
}();

}  // namespace
