// The two allocation patterns the fixed-size allocators are timed on, for any
// side A with alloc() and free(void*). The allocator lives across
// iterations: after the first one, every side recycles.
#ifndef QXBASE_BENCH_ALLOC_BENCH_H
#define QXBASE_BENCH_ALLOC_BENCH_H

#include <benchmark/benchmark.h>

#include <cstddef>
#include <vector>

namespace qxbench {

// n allocations, each slot touched, then n frees in allocation order.
template <class A>
void allocBatch(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    A a;
    std::vector<void*> slots(static_cast<std::size_t>(n));
    for (auto _ : state) {
        for (int i = 0; i < n; ++i) {
            void* p = a.alloc();
            *static_cast<int*>(p) = i;
            slots[i] = p;
        }
        benchmark::DoNotOptimize(slots.data());
        benchmark::ClobberMemory();
        for (int i = 0; i < n; ++i) a.free(slots[i]);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// n allocate-touch-free rounds: the slot just freed is the next one handed out.
template <class A>
void allocAlternate(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    A a;
    for (auto _ : state) {
        for (int i = 0; i < n; ++i) {
            void* p = a.alloc();
            *static_cast<int*>(p) = i;
            benchmark::DoNotOptimize(p);
            a.free(p);
        }
    }
    state.SetItemsProcessed(state.iterations() * n);
}

}  // namespace qxbench

#endif
