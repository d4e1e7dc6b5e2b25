// String interning, next to a hash-set lookup of the same texts:
//
//     intern_hit/ident/<qx|absl>/<texts>
//         qxString::intern(const CString&) of texts already interned, against
//         absl::flat_hash_set<std::string>::find on the same texts (when
//         abseil is available)
//     handle_equal/ident/<qx|std>/<texts>
//         comparing two handles of equal texts against comparing the two
//         std::string texts
//
// Texts are identifier-like, 8 to 35 characters; lookups run in an order
// unrelated to the insertion order. Both sides look up copies of the stored
// texts, made in lookup order, in a table that holds exactly those N texts.

#include "string/qxIntern.h"
#include "string/qxString.h"

#include "bench_register.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#if defined(QXBASE_BENCH_HAVE_ABSL)
#    include <absl/container/flat_hash_set.h>
#endif

namespace {

std::vector<std::string> identifiers(int n) {
    static const char* const parts[] = {"net", "pin", "layer", "via", "cell", "inst", "port"};
    std::mt19937 rng(3);
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) {
        std::string s = parts[rng() % 7];
        s += '_';
        s += std::to_string(i);
        while (s.size() < 8 + rng() % 23) {
            s += '/';
            s += parts[rng() % 7];
        }
        out.push_back(s);
    }
    return out;
}

// The texts in lookup order.
std::vector<std::string> shuffled(int n) {
    std::vector<std::string> v = identifiers(n);
    std::shuffle(v.begin(), v.end(), std::mt19937(5));
    return v;
}

void internQx(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    // The tables are process-wide: without this, the 1000-text run would look
    // up its texts among the 100000 a run before it left behind.
    qxString::deleteStringTables();
    for (const std::string& s : identifiers(n)) qxString::intern(s.c_str());
    std::vector<qxString::CString> texts;
    for (const std::string& s : shuffled(n))
        texts.emplace_back(s.data(), static_cast<int>(s.size()));
    for (auto _ : state)
        for (const qxString::CString& s : texts) benchmark::DoNotOptimize(qxString::intern(s));
    state.SetItemsProcessed(state.iterations() * n);
    qxString::deleteStringTables();
}

#if defined(QXBASE_BENCH_HAVE_ABSL)
void internAbsl(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    absl::flat_hash_set<std::string> set;
    for (const std::string& s : identifiers(n)) set.insert(s);
    std::vector<std::string> texts;
    for (const std::string& s : shuffled(n)) texts.emplace_back(s);
    for (auto _ : state)
        for (const std::string& s : texts) benchmark::DoNotOptimize(set.find(s));
    state.SetItemsProcessed(state.iterations() * n);
}
#else
constexpr qxbench::Fn internAbsl = nullptr;
#endif

void handleEqualQx(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    std::vector<qxString::ConstantCString> a, b;
    for (const std::string& s : identifiers(n)) a.push_back(qxString::intern(s.c_str()));
    for (const std::string& s : identifiers(n)) b.push_back(qxString::intern(s.c_str()));
    for (auto _ : state) {
        int equal = 0;
        for (int i = 0; i < n; ++i) equal += a[i] == b[i];
        benchmark::DoNotOptimize(equal);
    }
}

void handleEqualStd(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<std::string> a = identifiers(n), b = identifiers(n);
    for (auto _ : state) {
        int equal = 0;
        for (int i = 0; i < n; ++i) equal += a[i] == b[i];
        benchmark::DoNotOptimize(equal);
    }
}

const int kRegistered = [] {
    qxbench::registerSides("intern_hit", "ident", {{"qx", internQx}, {"absl", internAbsl}},
                           {1000, 100000});
    qxbench::registerSides("handle_equal", "ident",
                           {{"qx", handleEqualQx}, {"std", handleEqualStd}}, {1000});
    return 0;
}();

}  // namespace
