// The threaded algorithms on the companion library's pool against their
// competitors, with the same number of threads on both sides, in wall-clock
// time:
//
//     smp_sort/indices/<qx|std|tbb>/N        Ordering::sort of N indices by a
//                                            key array on 2 threads; std::sort
//                                            of the same indices on one;
//                                            tbb::parallel_sort on 2
//     smp_sort_one_thread/indices/<qx|std>/N the same sort on a 1-thread pool
//     chunk_alg/empty/<qx|tbb>/N             a ThreadedChunkAlg of N empty
//                                            chunks on 2 threads against
//                                            tbb::parallel_for over N empty
//                                            iterations on 2
//
// The keys are random ints, compared through a plain function, the way the
// library sorts; every side compares through the same IndexedBinaryPredicate
// and starts from the identity permutation.

#include "Components/Base/Utility/qxOrdering.h"
#include "qxThreads.h"

#include "bench_register.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <numeric>
#include <random>
#include <vector>

#if defined(QXBASE_BENCH_HAVE_TBB)
#    include <tbb/parallel_for.h>
#    include <tbb/parallel_sort.h>
#    include <tbb/task_arena.h>
#endif

namespace {

constexpr int kThreads = 2;

int count(const benchmark::State& state) {
    return static_cast<int>(state.range(0));
}

const std::vector<int>& keys(int n) {
    static std::vector<int> k;
    if (static_cast<int>(k.size()) != n) {
        std::mt19937 rng(12345);
        k.resize(static_cast<size_t>(n));
        for (int& x : k) x = static_cast<int>(rng());
    }
    return k;
}

bool lessKey(const int& a, const int& b) {
    return a < b;
}

using ByKey = qxUtil::Ordering::IndexedBinaryPredicate<int>;

void sortOn(benchmark::State& state, int threads) {
    const std::vector<int>& k = keys(count(state));
    qxUtil::MultiThreadPool pool(threads);
    qxUtil::ThreadPool::install(&pool);
    qxUtil::Ordering order;
    for (auto _ : state) {
        order.sort(k.data(), count(state), lessKey);
        benchmark::DoNotOptimize(order.get());
    }
    qxUtil::ThreadPool::install(nullptr);
}

void sortQx(benchmark::State& state) {
    sortOn(state, kThreads);
}

void sortQxOneThread(benchmark::State& state) {
    sortOn(state, 1);
}

void sortStd(benchmark::State& state) {
    const std::vector<int>& k = keys(count(state));
    std::vector<int> order(k.size());
    for (auto _ : state) {
        std::iota(order.begin(), order.end(), 0);
        std::sort(order.begin(), order.end(), ByKey(k.data(), lessKey));
        benchmark::DoNotOptimize(order.data());
    }
}

struct Empty : qxUtil::ThreadedChunkAlg {
    void execute(int chunk, int, int) override { benchmark::DoNotOptimize(chunk); }
};

void chunksQx(benchmark::State& state) {
    qxUtil::MultiThreadPool pool(kThreads);
    Empty alg;
    alg.setNumChunks(count(state));
    for (auto _ : state) pool.run(alg);
}

#if defined(QXBASE_BENCH_HAVE_TBB)
void sortTbb(benchmark::State& state) {
    const std::vector<int>& k = keys(count(state));
    std::vector<int> order(k.size());
    tbb::task_arena arena(kThreads);
    for (auto _ : state) {
        std::iota(order.begin(), order.end(), 0);
        arena.execute(
            [&] { tbb::parallel_sort(order.begin(), order.end(), ByKey(k.data(), lessKey)); });
        benchmark::DoNotOptimize(order.data());
    }
}

void chunksTbb(benchmark::State& state) {
    tbb::task_arena arena(kThreads);
    const int n = count(state);
    for (auto _ : state)
        arena.execute([&] { tbb::parallel_for(0, n, [](int i) { benchmark::DoNotOptimize(i); }); });
}
#else
constexpr qxbench::Fn sortTbb = nullptr;
constexpr qxbench::Fn chunksTbb = nullptr;
#endif

const bool registered = [] {
    qxbench::registerSides("smp_sort", "indices",
                           {{"qx", &sortQx}, {"std", &sortStd}, {"tbb", sortTbb}}, {10000000},
                           true);
    qxbench::registerSides("smp_sort_one_thread", "indices",
                           {{"qx", &sortQxOneThread}, {"std", &sortStd}}, {10000000}, true);
    qxbench::registerSides("chunk_alg", "empty", {{"qx", &chunksQx}, {"tbb", chunksTbb}}, {10000},
                           true);
    return true;
}();

}  // namespace
