// qx::list against std::list, same operations on the same data in the same
// run. Names pair up as
//
//     list_<operation>/<element>/<qx|std>/<element count>
//
// (the "list_" prefix keeps them apart from the vector's push_back pairs).
//
// Node lists are at the mercy of where the allocator puts their nodes. Before
// each timed sort or traversal the list is put into allocation order (sorted
// by element address, untimed), so that every iteration and both sides start
// from the same kind of layout: one walked in ascending address order, as a
// freshly built list is.

#include "containers/qxList.h"

#include "bench_register.h"

#include <benchmark/benchmark.h>

#include <list>
#include <random>
#include <string>
#include <vector>

namespace {

int count(const benchmark::State& state) {
    return static_cast<int>(state.range(0));
}

std::vector<int> randomInts(int n) {
    std::mt19937 rng(20261206);
    std::vector<int> v(static_cast<size_t>(n));
    for (int& x : v) x = static_cast<int>(rng());
    return v;
}

// Relinks the nodes in address order and refills them with vals in that order.
template <class L>
void refill(L& l, const std::vector<int>& vals) {
    l.sort([](const int& a, const int& b) { return &a < &b; });
    size_t i = 0;
    for (int& x : l) x = vals[i++];
}

// --- benchmarks -----------------------------------------------------------------
// Each is a template over the list type, so both sides run the same code.

// n push_backs into an empty list, then its destruction.
template <class L>
void pushBack(benchmark::State& state) {
    const int n = count(state);
    for (auto _ : state) {
        L l;
        for (int i = 0; i < n; ++i) l.push_back(i);
        benchmark::DoNotOptimize(&l.back());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// Sums an n-element list with a range-for.
template <class L>
void iterate(benchmark::State& state) {
    const int n = count(state);
    const std::vector<int> vals = randomInts(n);
    L l(vals.begin(), vals.end());
    refill(l, vals);
    for (auto _ : state) {
        unsigned sum = 0;
        for (int x : l) sum += static_cast<unsigned>(x);
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// sort() of n random ints; the list is refilled, untimed, before each sort.
template <class L>
void sort(benchmark::State& state) {
    const int n = count(state);
    const std::vector<int> vals = randomInts(n);
    L l(vals.begin(), vals.end());
    for (auto _ : state) {
        state.PauseTiming();
        refill(l, vals);
        state.ResumeTiming();
        l.sort();
        benchmark::ClobberMemory();
    }
    if (!std::is_sorted(l.begin(), l.end())) state.SkipWithError("not sorted");
    state.SetItemsProcessed(state.iterations() * n);
}

// Copy construction of an n-element list (and its destruction): one call
// through the element-operations record per element on the qx side.
template <class L>
void copy(benchmark::State& state) {
    const int n = count(state);
    const std::vector<int> vals = randomInts(n);
    const L source(vals.begin(), vals.end());
    for (auto _ : state) {
        L c(source);
        benchmark::DoNotOptimize(&c.back());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// --- registration ---------------------------------------------------------------

using qxbench::Fn;

void registerPair(const std::string& op, Fn ours, Fn theirs, std::initializer_list<int> counts) {
    qxbench::registerSides("list_" + op, "int", {{"qx", ours}, {"std", theirs}}, counts);
}

const bool g_registered = [] {
    registerPair("push_back", &pushBack<qx::list<int>>, &pushBack<std::list<int>>,
                 {1000, 10000, 100000, 1000000});
    registerPair("iterate", &iterate<qx::list<int>>, &iterate<std::list<int>>, {1000, 1000000});
    registerPair("sort", &sort<qx::list<int>>, &sort<std::list<int>>, {1000, 1000000});
    registerPair("copy", &copy<qx::list<int>>, &copy<std::list<int>>, {1000, 100000});
    return true;
}();

}  // namespace
