// Splitting text, next to the same cuts made with std::string:
//
//     split_lines/csv/<qx|std>/<bytes>
//         qxUtil::splitMultiLines against a std::string scan for CR/LF into
//         std::vector<std::string>
//     split_fields/csv/<qx|std>/<bytes>
//         qxUtil::split(s, ',', false, false) against std::string::find(',')
//
// The text is comma-separated records of 5 fields, about 40 bytes a line. The
// 1 MB and 10 MB sizes show that the cost per byte does not grow with the
// input (the qx GB/s column).

#include "string/qxString.h"
#include "Components/Base/Utility/qxTextUtil.h"

#include "bench_register.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

const std::string& csvText(size_t bytes) {
    static std::map<size_t, std::string> texts;
    std::string& t = texts[bytes];
    if (t.empty()) {
        static const char* const words[] = {"alpha", "beta", "gamma", "ok", "failed", "pending"};
        std::mt19937 rng(7);
        char line[128];
        while (t.size() < bytes) {
            const int n = std::snprintf(line, sizeof line, "%u,%s,%u.%02u,%s %s,%u\n",
                                        static_cast<unsigned>(rng() % 100000), words[rng() % 6],
                                        static_cast<unsigned>(rng() % 1000),
                                        static_cast<unsigned>(rng() % 100), words[rng() % 6],
                                        words[rng() % 6], static_cast<unsigned>(rng() % 10));
            t.append(line, static_cast<size_t>(n));
        }
        t.resize(bytes);
    }
    return t;
}

qxString::CString csvCString(size_t bytes) {
    const std::string& t = csvText(bytes);
    return qxString::CString(t.data(), static_cast<int>(t.size()));
}

void finish(benchmark::State& state, size_t bytes) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
}

void linesQx(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(state.range(0));
    const qxString::CString text = csvCString(bytes);
    for (auto _ : state) {
        qx::vector<qxString::CString> lines = qxUtil::splitMultiLines(text);
        benchmark::DoNotOptimize(lines.data());
    }
    finish(state, bytes);
}

void linesStd(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(state.range(0));
    const std::string& text = csvText(bytes);
    for (auto _ : state) {
        std::vector<std::string> lines;
        size_t start = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == '\n' || text[i] == '\r') {
                lines.emplace_back(text, start, i - start);
                start = i + 1;
            }
        }
        lines.emplace_back(text, start, text.size() - start);
        benchmark::DoNotOptimize(lines.data());
    }
    finish(state, bytes);
}

void fieldsQx(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(state.range(0));
    const qxString::CString text = csvCString(bytes);
    for (auto _ : state) {
        qx::vector<qxString::CString> fields = qxUtil::split(text, ',', false, false);
        benchmark::DoNotOptimize(fields.data());
    }
    finish(state, bytes);
}

void fieldsStd(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(state.range(0));
    const std::string& text = csvText(bytes);
    for (auto _ : state) {
        std::vector<std::string> fields;
        size_t start = 0;
        for (size_t p; (p = text.find(',', start)) != std::string::npos; start = p + 1)
            fields.emplace_back(text, start, p - start);
        if (start < text.size()) fields.emplace_back(text, start, text.size() - start);
        benchmark::DoNotOptimize(fields.data());
    }
    finish(state, bytes);
}

const int kRegistered = [] {
    const std::initializer_list<int> sizes = {1 << 20, 10 << 20};
    qxbench::registerSides("split_lines", "csv", {{"qx", linesQx}, {"std", linesStd}}, sizes);
    qxbench::registerSides("split_fields", "csv", {{"qx", fieldsQx}, {"std", fieldsStd}}, sizes);
    return 0;
}();

}  // namespace
