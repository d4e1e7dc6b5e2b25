// Mapped files and moveable memory against plain system calls and malloc:
//
//     memmap_read/bytes/<qx|std>/1073741824
//         every 64-bit word of a 1 GiB file (in the page cache) summed
//         through MemMapFile (map, sum, unmap) against read() of the whole
//         file into one buffer and the same sum
//     chunk_alloc_free/100B/<qx|std>/1000
//         1000 chunks of 100 bytes from a MoveableAllocator, then deleted,
//         against 1000 malloc(100) and free
//     chunk_map/cached/<qx|std|call>/1
//         map() and unmap() of a chunk whose region is mapped and cached,
//         writing one byte through the address, against writing the byte
//         through a plain pointer, and an empty call that is not inlined
//
// The files live in a scratch directory under the system's temporary
// directory, removed at the end.

#include "os/memory/qxMemMapFile.h"
#include "os/memory/qxMoveableMemory.h"

#include "bench_register.h"
#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qxString::IString;

constexpr uint64_t kFileBytes = uint64_t{1} << 30;
constexpr int kChunks = 1000;

using qxbench::windowsShape;

const fs::path& scratch() {
    return qxbench::scratchDirectory();
}

const fs::path& bigFile() {
    static const fs::path path = [] {
        const fs::path p = scratch() / "big.bin";
        std::ofstream out(p, std::ios::binary);
        std::vector<uint64_t> block(1 << 17);
        for (uint64_t i = 0; i < kFileBytes / (block.size() * 8); ++i) {
            for (size_t k = 0; k < block.size(); ++k) block[k] = i * 131 + k;
            out.write(reinterpret_cast<const char*>(block.data()),
                      static_cast<std::streamsize>(block.size() * 8));
        }
        return p;
    }();
    return path;
}

uint64_t sum(const uint64_t* p, uint64_t words) {
    uint64_t s = 0;
    for (uint64_t i = 0; i < words; ++i) s += p[i];
    return s;
}

void readQx(benchmark::State& state) {
    const IString name = windowsShape(bigFile());
    for (auto _ : state) {
        qxOS::MemMapFile file(name, kFileBytes, 0);
        auto m = file.map();
        if (!m.first) {
            state.SkipWithError("map failed");
            break;
        }
        benchmark::DoNotOptimize(sum(static_cast<const uint64_t*>(m.first), kFileBytes / 8));
        file.unmap();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
}

void readStd(benchmark::State& state) {
    const std::string name = bigFile().string();
    std::vector<uint64_t> buffer(kFileBytes / 8);
    for (auto _ : state) {
        const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
        char* at = reinterpret_cast<char*>(buffer.data());
        uint64_t left = kFileBytes;
        while (left > 0) {
            const ssize_t n = ::read(fd, at, left);
            if (n <= 0) break;
            at += n;
            left -= static_cast<uint64_t>(n);
        }
        ::close(fd);
        if (left) state.SkipWithError("short read");
        benchmark::DoNotOptimize(sum(buffer.data(), kFileBytes / 8));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileBytes));
}

// One MoveableMemory with its files in the scratch directory.
qxOS::MoveableMemory& memory() {
    static qxOS::MoveableMemory m;
    static const bool ready = m.initializeFiles(windowsShape(scratch()), IString("bench"));
    static_cast<void>(ready);
    return m;
}

void allocQx(benchmark::State& state) {
    qxOS::MoveableAllocator alloc(memory());
    std::vector<qxOS::MoveableChunk*> chunks(kChunks);
    for (auto _ : state) {
        for (auto& c : chunks) c = alloc.allocate(100);
        benchmark::DoNotOptimize(chunks.data());
        for (auto* c : chunks) delete c;
    }
    state.SetItemsProcessed(state.iterations() * kChunks);
}

void allocStd(benchmark::State& state) {
    std::vector<void*> blocks(kChunks);
    for (auto _ : state) {
        for (auto& b : blocks) b = std::malloc(100);
        benchmark::DoNotOptimize(blocks.data());
        for (void* b : blocks) std::free(b);
    }
    state.SetItemsProcessed(state.iterations() * kChunks);
}

void mapQx(benchmark::State& state) {
    qxOS::MoveableAllocator alloc(memory());
    qxOS::MoveableChunk* c = alloc.allocate(100);
    c->map();
    c->unmap();  // the region stays mapped, cached
    for (auto _ : state) {
        char* p = static_cast<char*>(c->map());
        *p = 1;
        c->unmap();
        benchmark::ClobberMemory();
    }
    delete c;
}

void mapStd(benchmark::State& state) {
    std::vector<char> block(100);
    char* p = block.data();
    benchmark::DoNotOptimize(p);
    for (auto _ : state) {
        *p = 1;
        benchmark::ClobberMemory();
    }
}

[[gnu::noinline]] void nothing(char* p) {
    benchmark::DoNotOptimize(p);
}

void mapCall(benchmark::State& state) {
    char c = 0;
    for (auto _ : state) {
        nothing(&c);
        benchmark::ClobberMemory();
    }
}

const bool registered = [] {
    using qxbench::registerSides;
    registerSides("memmap_read", "bytes", {{"qx", &readQx}, {"std", &readStd}},
                  {static_cast<int64_t>(kFileBytes)});
    registerSides("chunk_alloc_free", "100B", {{"qx", &allocQx}, {"std", &allocStd}}, {kChunks});
    registerSides("chunk_map", "cached", {{"qx", &mapQx}, {"std", &mapStd}, {"call", &mapCall}}, {1});
    return true;
}();

}  // namespace
