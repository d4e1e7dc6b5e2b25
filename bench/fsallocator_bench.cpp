// The fixed-size allocator against malloc and free, 32-byte objects:
//
//     fsalloc_batch/32B/<qx|std>/1000      1000 allocations, each touched,
//                                          then 1000 frees in allocation order
//     fsalloc_alternate/32B/<qx|std>/1000  1000 rounds of allocate, touch, free
//
// qx is an FSAllocator with 4 KiB blocks (128 slots each, so a batch spans
// eight blocks and frees outside the current block search the table). The
// allocator lives across iterations: after the first one, both sides recycle.

#include "os/memory/qxFSAllocator.h"

#include "bench_register.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

namespace {

constexpr int kObjectBytes = 32;
constexpr int kBlockBytes = 4096;

struct QxSlots {
    qxOS::FSAllocator allocator{kObjectBytes, kBlockBytes};
    void* alloc() { return allocator.alloc(); }
    void free(void* p) { allocator.free(p); }
};
struct MallocSlots {
    void* alloc() { return std::malloc(kObjectBytes); }
    void free(void* p) { std::free(p); }
};

int count(const benchmark::State& state) {
    return static_cast<int>(state.range(0));
}

template <class A>
void batch(benchmark::State& state) {
    const int n = count(state);
    A a;
    std::vector<void*> slots(static_cast<size_t>(n));
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

template <class A>
void alternate(benchmark::State& state) {
    const int n = count(state);
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

const bool g_registered = [] {
    qxbench::registerSides("fsalloc_batch", "32B",
                           {{"qx", &batch<QxSlots>}, {"std", &batch<MallocSlots>}}, {1000});
    qxbench::registerSides("fsalloc_alternate", "32B",
                           {{"qx", &alternate<QxSlots>}, {"std", &alternate<MallocSlots>}}, {1000});
    return true;
}();

}  // namespace
