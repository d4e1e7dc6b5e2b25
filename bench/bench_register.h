// Registration shared by the benchmark files.
#ifndef QXBASE_BENCH_BENCH_REGISTER_H
#define QXBASE_BENCH_BENCH_REGISTER_H

#include <benchmark/benchmark.h>

#include <initializer_list>
#include <string>
#include <utility>

namespace qxbench {

using Fn = void (*)(benchmark::State&);

// Registers "<op>/<element>/<side>/<n>" for every side in turn, for every n,
// so that the sides of one comparison run close together in time and
// ratios.py can pair them. A null function (a competitor not built in) is
// skipped. With realTime, work spread over several threads, the wall-clock
// time is measured (the names get "/real_time").
inline void registerSides(const std::string& op, const std::string& element,
                          std::initializer_list<std::pair<const char*, Fn>> sides,
                          std::initializer_list<int> counts, bool realTime = false) {
    for (int n : counts)
        for (const auto& side : sides)
            if (side.second) {
                benchmark::internal::Benchmark* b = benchmark::RegisterBenchmark(
                    (op + "/" + element + "/" + side.first).c_str(), side.second);
                b->Arg(n);
                if (realTime) b->UseRealTime();
            }
}

}  // namespace qxbench

#endif
