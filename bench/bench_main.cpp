// Entry point of qxbase_bench.
//
// By default the C allocator is put into a fixed steady state before any
// benchmark runs. glibc otherwise adapts its mmap and trim thresholds to the
// largest blocks freed so far, so whether a large buffer comes from fresh
// (page-faulting) memory depended on which benchmarks happened to run before:
// the same benchmark could differ twentyfold between runs, mostly for the side
// that allocates new blocks on growth. With fixed thresholds every block up to
// 32 MiB comes from the heap and freed memory is kept, as in a long-running
// process whose heap has warmed up.
//
// --qx_default_malloc leaves the allocator's defaults alone.

#include <benchmark/benchmark.h>

#include <cstring>

#if defined(__GLIBC__)
#    include <malloc.h>
#endif

namespace {

bool takeFlag(int& argc, char** argv, const char* flag) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], flag) == 0) {
            for (int j = i; j < argc; ++j) argv[j] = argv[j + 1];
            --argc;
            return true;
        }
    }
    return false;
}

void steadyAllocator() {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);  // glibc's upper limit on 64-bit
    mallopt(M_TRIM_THRESHOLD, 1024 * 1024 * 1024);
    benchmark::AddCustomContext("malloc", "steady (mmap threshold 32 MiB, no trimming)");
#endif
}

}  // namespace

int main(int argc, char** argv) {
    if (takeFlag(argc, argv, "--qx_default_malloc"))
        benchmark::AddCustomContext("malloc", "default");
    else
        steadyAllocator();

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
