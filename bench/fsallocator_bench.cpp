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

#include "alloc_bench.h"
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

const bool g_registered = [] {
    qxbench::registerSides(
        "fsalloc_batch", "32B",
        {{"qx", &qxbench::allocBatch<QxSlots>}, {"std", &qxbench::allocBatch<MallocSlots>}},
        {1000});
    qxbench::registerSides(
        "fsalloc_alternate", "32B",
        {{"qx", &qxbench::allocAlternate<QxSlots>}, {"std", &qxbench::allocAlternate<MallocSlots>}},
        {1000});
    return true;
}();

}  // namespace
