// Local files against std::filesystem, on the same files in the same run:
//
//     file_copy/bytes/<qx|std>/268435456
//         qxOS::fileCopy of a 256 MiB file (replacing the copy) against
//         std::filesystem::copy_file with overwrite_existing
//     dir_walk/files/<qx|std>/20000
//         qxOS::DirectoryIterator over a tree of 20,000 files (20 x 10
//         directories of 100 files each), counting files and directories,
//         against recursive_directory_iterator asking is_directory() of
//         each entry
//
// The files live in one scratch directory under the system's temporary
// directory, made on first use and removed at exit. Both sides find the
// source in the page cache: the first repetition warms it.
#include "os/files/qxFileOps.h"
#include "os/files/qxFilename.h"

#include "bench_register.h"
#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using qxString::IString;

constexpr int kCopyBytes = 256 << 20;
constexpr int kWalkFiles = 20000;

using qxbench::windowsShape;

const fs::path& scratch() {
    return qxbench::scratchDirectory();
}

const fs::path& copySource() {
    static const fs::path source = [] {
        const fs::path p = scratch() / "source.bin";
        std::ofstream out(p, std::ios::binary);
        std::vector<char> block(1 << 20);
        for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 131 + 7);
        for (int i = 0; i < kCopyBytes / static_cast<int>(block.size()); ++i) {
            block[0] = static_cast<char>(i);
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
        }
        return p;
    }();
    return source;
}

void qxCopy(benchmark::State& state) {
    const qxOS::Filename from(windowsShape(copySource()));
    const qxOS::Filename to(windowsShape(scratch() / "copy_qx.bin"));
    for (auto _ : state)
        if (qxOS::fileCopy(from, to, true)) state.SkipWithError("fileCopy failed");
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kCopyBytes));
}

void stdCopy(benchmark::State& state) {
    const fs::path from = copySource();
    const fs::path to = scratch() / "copy_std.bin";
    for (auto _ : state) fs::copy_file(from, to, fs::copy_options::overwrite_existing);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kCopyBytes));
}

const fs::path& walkRoot() {
    static const fs::path root = [] {
        const fs::path r = scratch() / "tree";
        for (int a = 0; a < 20; ++a)
            for (int b = 0; b < 10; ++b) {
                const fs::path d = r / ("dir" + std::to_string(a)) / ("sub" + std::to_string(b));
                fs::create_directories(d);
                for (int f = 0; f < kWalkFiles / 200; ++f)
                    std::ofstream(d / ("file" + std::to_string(f) + ".dat"));
            }
        return r;
    }();
    return root;
}

void qxWalk(benchmark::State& state) {
    const IString root = windowsShape(walkRoot());
    for (auto _ : state) {
        int files = 0, dirs = 0;
        for (qxOS::DirectoryIterator it(root); it.valid(); it.next())
            ++(it.onDirectory() ? dirs : files);
        if (files != kWalkFiles) state.SkipWithError("wrong count");
        benchmark::DoNotOptimize(dirs);
    }
    state.SetItemsProcessed(state.iterations() * kWalkFiles);
}

void stdWalk(benchmark::State& state) {
    const fs::path root = walkRoot();
    for (auto _ : state) {
        int files = 0, dirs = 0;
        for (const fs::directory_entry& e : fs::recursive_directory_iterator(root))
            ++(e.is_directory() ? dirs : files);
        if (files != kWalkFiles) state.SkipWithError("wrong count");
        benchmark::DoNotOptimize(dirs);
    }
    state.SetItemsProcessed(state.iterations() * kWalkFiles);
}

const bool g_registered = [] {
    qxbench::registerSides("file_copy", "bytes", {{"qx", qxCopy}, {"std", stdCopy}}, {kCopyBytes});
    qxbench::registerSides("dir_walk", "files", {{"qx", qxWalk}, {"std", stdWalk}}, {kWalkFiles});
    return true;
}();

}  // namespace
