// Debug timing and channels, each next to what it is measured against:
//
//     stopwatch/start_stop/<qx|std>/0
//         StopWatch::start then stop (the run's seconds added up as a
//         double), against two std::chrono::steady_clock::now() calls whose
//         difference is added up the same way
//     channel_print/3args/<disabled|enabled>/3
//         DebugChannel::print with a format and three arguments on a channel
//         that is off, against the same call on a channel that is on while
//         the first output stream is closed (so nothing is formatted or
//         written either: the call reaches the stream and stops there)
//
// ratios.py pairs qx with std and disabled with enabled.

#include "diagnostics/qxAppOutput.h"
#include "diagnostics/qxDebug.h"
#include "diagnostics/qxStopWatch.h"

#include "bench_register.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

// --- StopWatch -----------------------------------------------------------------

void qxStartStop(benchmark::State& state) {
    qxOS::StopWatch watch;
    for (auto _ : state) {
        watch.start();
        benchmark::DoNotOptimize(watch.stop());
    }
}

void stdStartStop(benchmark::State& state) {
    double accumulated = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const auto end = std::chrono::steady_clock::now();
        accumulated += std::chrono::duration<double>(end - start).count();
        benchmark::DoNotOptimize(accumulated);
    }
}

// --- DebugChannel --------------------------------------------------------------

void channelPrint(benchmark::State& state, bool on) {
    if (qxOS::AppOutput::getInstance().ok()) {
        state.SkipWithError("the first output stream is open");
        return;
    }
    qxOS::DebugChannel channel;
    channel.enable(on);
    // The channel's address escapes: its switch is read again every time.
    benchmark::DoNotOptimize(&channel);
    int line = 0;
    for (auto _ : state) {
        channel.print("%d %s %.3f\n", ++line, "name", 1.5);
        benchmark::ClobberMemory();
    }
}

void disabledPrint(benchmark::State& state) {
    channelPrint(state, false);
}

void enabledPrint(benchmark::State& state) {
    channelPrint(state, true);
}

// --- registration ----------------------------------------------------------------

const bool registered = [] {
    qxbench::registerSides("stopwatch", "start_stop",
                           {{"qx", &qxStartStop}, {"std", &stdStartStop}}, {0});
    qxbench::registerSides("channel_print", "3args",
                           {{"disabled", &disabledPrint}, {"enabled", &enabledPrint}}, {3});
    return true;
}();

}  // namespace
