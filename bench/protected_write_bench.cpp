// Replacing a file of 1 MiB safely against rewriting it in place, both made
// durable, on the same disk in the same run:
//
//     protected_write/bytes/<qx|std>/1048576
//         qxOS::ProtectedWrite (init, the content written to its temporary
//         file with fopen/fwrite/fclose, finalize: flush, backup link,
//         replacing rename, directory sync, clean-up) against fopen "wb",
//         fwrite, fflush, fsync and fclose on the file itself
//
// The files live in a scratch directory under the system's temporary
// directory, removed at exit.
#include "os/files/qxFileOps.h"
#include "os/files/qxProtectedWrite.h"

#include "bench_register.h"
#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using qxString::IString;

constexpr int kBytes = 1 << 20;

const fs::path& scratch() {
    return qxbench::scratchDirectory();
}

const std::vector<char>& bytes() {
    static const std::vector<char> data = [] {
        std::vector<char> v(kBytes);
        for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<char>(i * 131 + i / 4099);
        return v;
    }();
    return data;
}

bool writeAll(std::FILE* f) {
    const std::vector<char>& b = bytes();
    return f && std::fwrite(b.data(), 1, b.size(), f) == b.size();
}

void qxReplace(benchmark::State& state) {
    const fs::path path = scratch() / "protected_qx.bin";
    const qxOS::Filename name(qxbench::windowsShape(path));
    for (auto _ : state) {
        qxOS::ProtectedWrite w(name);
        bool ok = w.init();
        std::FILE* f = ok ? qxOS::fopen(w.getTempFilename().name(), qxString::CString("wb"))
                          : nullptr;
        ok = writeAll(f);
        if (f) ok = std::fclose(f) == 0 && ok;
        if (!ok || !w.finalize()) state.SkipWithError("protected write failed");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kBytes));
}

void stdInPlace(benchmark::State& state) {
    const std::string path = (scratch() / "in_place_std.bin").string();
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        bool ok = writeAll(f);
        if (f) {
            ok = std::fflush(f) == 0 && ::fsync(::fileno(f)) == 0 && ok;
            ok = std::fclose(f) == 0 && ok;
        }
        if (!ok) state.SkipWithError("write in place failed");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kBytes));
}

const bool g_registered = [] {
    qxbench::registerSides("protected_write", "bytes", {{"qx", qxReplace}, {"std", stdInPlace}},
                           {kBytes});
    return true;
}();

}  // namespace
