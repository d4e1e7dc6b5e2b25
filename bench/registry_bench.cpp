// Registry reads and writes on Linux's store of hive files:
//
//     registry_read/dword/<qx|std>/10000
//         qxRegistry::getValue of a DWORD by name, chosen at random, from a
//         key of 10,000 values while the file does not change, against
//         std::map<std::string, std::string>::find on the same names and
//         data, copying the bytes out
//     registry_write/dword/<qx|std>/<values in the hive>
//         qxRegistry::setValue of one DWORD into a key of that many values
//         (a locked rewrite of the whole hive file: serialised, written to a
//         temporary file, synced and renamed over), against writing a file
//         of the same size in place with fwrite and fsync
//
// The hives live in a scratch directory under the system's temporary
// directory ($QX_REGISTRY_DIR is pointed there), removed at exit.
#include "os/app/qxRegistry.h"

#include "bench_register.h"
#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using qxString::IString;

constexpr int kReadValues = 10000;

std::string valueName(int i) {
    return "value" + std::to_string(i * 7919 % 1000003);
}

// A key of n DWORD values, alone in a registry directory of its own. The
// hive file is written here in one go (a foreign file, as the registry
// editor exports one): through the registry it would take n rewrites.
std::unique_ptr<qxRegistry> keyOf(int n) {
    const fs::path dir = qxbench::scratchDirectory() / ("registry" + std::to_string(n));
    if (!fs::exists(dir / "HKEY_CURRENT_USER.reg")) {
        fs::create_directories(dir);
        std::string text =
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_CURRENT_USER\\Software\\bench]\r\n";
        char line[64];
        for (int i = 0; i < n; ++i) {
            std::snprintf(line, sizeof line, "\"%s\"=dword:%08x\r\n", valueName(i).c_str(), i);
            text += line;
        }
        std::string bytes("\xFF\xFE", 2);
        for (char c : text) bytes.append({c, '\0'});
        std::FILE* f = std::fopen((dir / "HKEY_CURRENT_USER.reg").c_str(), "wb");
        if (f) {
            std::fwrite(bytes.data(), 1, bytes.size(), f);
            std::fclose(f);
        }
    }
    // The directory is taken when the key is opened.
    ::setenv("QX_REGISTRY_DIR", dir.c_str(), 1);
    return std::make_unique<qxRegistry>(IString(QX_W("HKEY_CURRENT_USER\\Software\\bench")));
}

// The names looked up, in a random order both sides share.
const std::vector<int>& lookupOrder() {
    static const std::vector<int> order = [] {
        std::vector<int> o(4096);
        std::mt19937 random(42);
        for (int& i : o) i = static_cast<int>(random() % kReadValues);
        return o;
    }();
    return order;
}

void qxRead(benchmark::State& state) {
    static std::unique_ptr<qxRegistry> key;
    if (!key) {
        try {
            key = keyOf(kReadValues);
        } catch (const qxUtil::Error& e) {
            state.SkipWithError(e.message());
            return;
        }
    }
    std::vector<IString> names;
    for (int i : lookupOrder()) names.emplace_back(valueName(i).c_str());
    for (const IString& n : names) (void)n.asChar();  // the 8-bit form, cached as a caller's is
    qxRegistryValue value;
    size_t at = 0;
    for (auto _ : state) {
        key->getValue(names[at], value);
        benchmark::DoNotOptimize(value.getDataPtr());
        at = (at + 1) % names.size();
    }
}

void stdRead(benchmark::State& state) {
    std::map<std::string, std::string> parsed;
    for (int i = 0; i < kReadValues; ++i) {
        const unsigned n = static_cast<unsigned>(i);
        parsed[valueName(i)] = std::string(reinterpret_cast<const char*>(&n), 4);
    }
    std::vector<std::string> names;
    for (int i : lookupOrder()) names.push_back(valueName(i));
    std::string value;
    size_t at = 0;
    for (auto _ : state) {
        const auto it = parsed.find(names[at]);
        if (it != parsed.end()) value = it->second;
        benchmark::DoNotOptimize(value.data());
        at = (at + 1) % names.size();
    }
}

void qxWrite(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::unique_ptr<qxRegistry> key;
    try {
        key = keyOf(n);
    } catch (const qxUtil::Error& e) {
        state.SkipWithError(e.message());
        return;
    }
    unsigned i = 0;
    const IString name(QX_W("changing"));
    for (auto _ : state) {
        qxRegistryValue v(IString(), qxRegistryValue::DWord, ++i);
        key->setValue(name, v);
    }
}

void stdWrite(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    keyOf(n);
    struct stat st;
    const fs::path hive =
        qxbench::scratchDirectory() / ("registry" + std::to_string(n)) / "HKEY_CURRENT_USER.reg";
    const size_t size = ::stat(hive.c_str(), &st) == 0 ? static_cast<size_t>(st.st_size) : 1;
    const std::vector<char> bytes(size, 'x');
    const std::string path = (qxbench::scratchDirectory() / "in_place.bin").string();
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        bool ok = f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        if (f) {
            ok = std::fflush(f) == 0 && ::fsync(::fileno(f)) == 0 && ok;
            ok = std::fclose(f) == 0 && ok;
        }
        if (!ok) state.SkipWithError("write in place failed");
    }
}

const bool g_registered = [] {
    qxbench::registerSides("registry_read", "dword", {{"qx", qxRead}, {"std", stdRead}},
                           {kReadValues});
    qxbench::registerSides("registry_write", "dword", {{"qx", qxWrite}, {"std", stdWrite}},
                           {100, 1000, 10000});
    return true;
}();

}  // namespace
