// Ordered sets and maps against the standard library's:
//
//     tree_{insert,find,erase,iterate}/set_int/<qx|std>/<keys>
//         qx::set<int> against std::set<int>
//     tree_{insert,find,erase,iterate}/map_int/<qx|std>/<keys>
//         qx::map<int, int> against std::map<int, int>

#include "containers/qxTree.h"

#include "bench_register.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <type_traits>
#include <unordered_map>
#include <vector>

namespace {

// n distinct, well-spread int keys in random order, and the same keys in
// another random order for lookups and erasures. Built once per n.
struct Keys {
    std::vector<int> inserted;
    std::vector<int> shuffled;
};

const Keys& keys(int n) {
    static std::unordered_map<int, std::unique_ptr<Keys>> cache;
    std::unique_ptr<Keys>& k = cache[n];
    if (!k) {
        k = std::make_unique<Keys>();
        // An odd multiplier is a bijection on 32-bit words: distinct keys.
        for (int i = 0; i < n; ++i)
            k->inserted.push_back(static_cast<int>(static_cast<std::uint32_t>(i) * 2654435761u));
        std::mt19937 rng(12345);
        std::shuffle(k->inserted.begin(), k->inserted.end(), rng);
        k->shuffled = k->inserted;
        std::shuffle(k->shuffled.begin(), k->shuffled.end(), rng);
    }
    return *k;
}

int count(const benchmark::State& state) {
    return static_cast<int>(state.range(0));
}

// The element of key k: the key itself for sets, (k, k ^ 1) for maps.
template <class C>
typename C::value_type element(int k) {
    if constexpr (std::is_same<typename C::value_type, int>::value)
        return k;
    else
        return typename C::value_type(k, k ^ 1);
}

template <class C>
void fill(C& c, const std::vector<int>& ks) {
    for (int k : ks) c.insert(element<C>(k));
}

// Templates over the container type, so every side runs the same code.
// Building and destroying a tree outside the measured operation is done with
// the timers paused.

// n inserts in random order into an empty tree; destruction not timed.
template <class C>
void treeInsert(benchmark::State& state) {
    const Keys& k = keys(count(state));
    for (auto _ : state) {
        auto c = std::make_unique<C>();
        fill(*c, k.inserted);
        benchmark::DoNotOptimize(c.get());
        benchmark::ClobberMemory();
        state.PauseTiming();
        if (static_cast<int>(c->size()) != count(state)) state.SkipWithError("lost keys");
        c.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count(state));
}

// n successful finds, in an order unrelated to the insertion order.
template <class C>
void treeFind(benchmark::State& state) {
    const Keys& k = keys(count(state));
    C c;
    fill(c, k.inserted);
    for (auto _ : state) {
        int found = 0;
        for (int key : k.shuffled) found += c.find(key) != c.end();
        benchmark::DoNotOptimize(found);
    }
    state.SetItemsProcessed(state.iterations() * count(state));
}

// erase(key) of every key, in an order unrelated to the insertion order.
template <class C>
void treeErase(benchmark::State& state) {
    const Keys& k = keys(count(state));
    for (auto _ : state) {
        state.PauseTiming();
        auto c = std::make_unique<C>();
        fill(*c, k.inserted);
        state.ResumeTiming();
        for (int key : k.shuffled) c->erase(key);
        benchmark::DoNotOptimize(c.get());
        benchmark::ClobberMemory();
        state.PauseTiming();
        if (!c->empty()) state.SkipWithError("keys left");
        c.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count(state));
}

template <class E>
unsigned sumOf(const E& e) {
    if constexpr (std::is_same<E, int>::value)
        return static_cast<unsigned>(e);
    else
        return static_cast<unsigned>(e.first) + static_cast<unsigned>(e.second);
}

// One in-order walk over the whole tree.
template <class C>
void treeIterate(benchmark::State& state) {
    const Keys& k = keys(count(state));
    C c;
    fill(c, k.inserted);
    for (auto _ : state) {
        unsigned sum = 0;
        for (const auto& e : c) sum += sumOf(e);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * count(state));
}

// --- registration -------------------------------------------------------------------

using qxbench::registerSides;

template <class Qx, class Std>
void registerAll(const char* element) {
    const std::initializer_list<int> sizes = {1000, 100000, 1000000};
    registerSides("tree_insert", element, {{"qx", &treeInsert<Qx>}, {"std", &treeInsert<Std>}},
                  sizes);
    registerSides("tree_find", element, {{"qx", &treeFind<Qx>}, {"std", &treeFind<Std>}}, sizes);
    registerSides("tree_erase", element, {{"qx", &treeErase<Qx>}, {"std", &treeErase<Std>}}, sizes);
    registerSides("tree_iterate", element, {{"qx", &treeIterate<Qx>}, {"std", &treeIterate<Std>}},
                  sizes);
}

const bool g_registered = [] {
    registerAll<qx::set<int>, std::set<int>>("set_int");
    registerAll<qx::map<int, int>, std::map<int, int>>("map_int");
    return true;
}();

}  // namespace
