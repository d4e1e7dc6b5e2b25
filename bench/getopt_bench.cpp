// The command-line parser:
//
//     getopt_parse/args/qx/<arguments>
//         initialize with N arguments, then getOpt to the end, against a table
//         of 50 options (flags, integer, string and two-integer arguments).
//         No competitor: what counts is how the time grows from 1,000 to
//         100,000 arguments (see README.md).
//     getopt_find/prefix/<qx|std>/<options>
//         findOption of each option's shortest unique prefix among N declared
//         options, against std::map<std::string, int>::find of the full name.
//
// Names are identifier-like, 4 to 14 lower-case letters and '_'.

#include "os/app/qxGetOpt.h"

#include "bench_register.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

using qxOS::GetOpt;
using qxString::IString;

// n distinct names; none is a prefix of another, so each has a prefix that
// selects it alone.
std::vector<std::string> names(int n, unsigned seed) {
    std::mt19937 rng(seed);
    std::set<std::string> seen;
    std::vector<std::string> out;
    while (static_cast<int>(out.size()) < n) {
        std::string s;
        const int len = 4 + static_cast<int>(rng() % 11);
        for (int i = 0; i < len; ++i) s += "abcdefghijklmnopqrstuvwxyz_"[rng() % (i ? 27 : 26)];
        const auto next = seen.lower_bound(s);
        const bool prefixOfNext = next != seen.end() && next->compare(0, s.size(), s) == 0;
        const bool nextOfPrefix =
            next != seen.begin() && s.compare(0, std::prev(next)->size(), *std::prev(next)) == 0;
        if (prefixOfNext || nextOfPrefix) continue;
        seen.insert(s);
        out.push_back(s);
    }
    return out;
}

const char* const kTypes[] = {nullptr, "int", "string", "int int"};

void declare(GetOpt& p, const std::vector<std::string>& table) {
    for (size_t i = 0; i < table.size(); ++i) p.addOption(table[i].c_str(), kTypes[i % 4]);
}

// Exactly n arguments: option words with their arguments, a flag last when
// only one place is left.
qx::vector<IString> commandLine(const std::vector<std::string>& table, int n) {
    std::mt19937 rng(7);
    qx::vector<IString> args;
    while (args.size() < n) {
        size_t i = rng() % table.size();
        const int slots = i % 4 == 3 ? 2 : i % 4 == 0 ? 0 : 1;
        if (args.size() + 1 + slots > n) i = 0;  // a flag
        args.push_back(IString(("-" + table[i]).c_str()));
        switch (i % 4) {
            case 1:
                args.push_back(IString(std::to_string(rng() % 100000).c_str()));
                break;
            case 2:
                args.push_back(IString(("value_" + std::to_string(rng() % 1000)).c_str()));
                break;
            case 3:
                args.push_back(IString(std::to_string(rng() % 640).c_str()));
                args.push_back(IString(std::to_string(rng() % 480).c_str()));
                break;
            default:
                break;
        }
    }
    return args;
}

void parseQx(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<std::string> table = names(50, 1);
    GetOpt p;
    declare(p, table);
    const qx::vector<IString> args = commandLine(table, n);
    for (auto _ : state) {
        p.initialize(args);
        int taken = 0;
        while (const GetOpt::result* r = p.getOpt()) taken += 1 + p.getNumArguments(r);
        if (taken != n || p.hasErrors()) {
            state.SkipWithError("the command line did not parse");
            break;
        }
        benchmark::DoNotOptimize(taken);
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// The lookups in an order unrelated to the declaration order.
std::vector<int> lookupOrder(int n) {
    std::vector<int> order(n);
    for (int i = 0; i < n; ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(5));
    return order;
}

void findQx(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<std::string> table = names(n, 2);
    GetOpt p;
    declare(p, table);
    std::vector<qxString::CString> prefixes;
    for (int i : lookupOrder(n)) {
        prefixes.push_back(p.getOptionShortestName(p.getOption(i)));
        if (p.findOption(prefixes.back().c_str()) != i) {
            state.SkipWithError("no unique prefix");
            return;
        }
    }
    for (auto _ : state)
        for (const qxString::CString& s : prefixes)
            benchmark::DoNotOptimize(p.findOption(s.c_str()));
    state.SetItemsProcessed(state.iterations() * n);
}

void findStd(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<std::string> table = names(n, 2);
    std::map<std::string, int> map;
    for (int i = 0; i < n; ++i) map.emplace(table[i], i);
    std::vector<std::string> keys;
    for (int i : lookupOrder(n)) keys.push_back(table[i]);
    for (auto _ : state)
        for (const std::string& s : keys) benchmark::DoNotOptimize(map.find(s));
    state.SetItemsProcessed(state.iterations() * n);
}

const int kRegistered = [] {
    qxbench::registerSides("getopt_parse", "args", {{"qx", parseQx}}, {1000, 100000});
    qxbench::registerSides("getopt_find", "prefix", {{"qx", findQx}, {"std", findStd}}, {1000});
    return 0;
}();

}  // namespace
