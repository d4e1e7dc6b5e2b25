// Emitting a qxRTB::SignalArg<int> against the hand-made alternative, a
// std::vector<std::function<void(int)>> walked in a loop, with the same
// receivers on both sides. Names pair up as
//
//     signal_emit/int/<qx|std>/<connections>         plain functions
//     signal_emit_lambda/int/<qx|std>/<connections>  function objects
//
// With no connections there is a third side, "call": one call of an empty
// function that is not inlined, the least a notification can cost.
//
// The signal and the vector are reached through pointers the compiler must
// assume escaped, and memory is clobbered after every emission, so that
// neither side's emptiness test or list walk is hoisted out of the loop.

#include "rtb/qxSignal.h"

#include "bench_register.h"

#include <benchmark/benchmark.h>

#include <functional>
#include <vector>

namespace {

int g_sum = 0;

[[gnu::noinline]] void receive(int v) {
    g_sum += v;
}

[[gnu::noinline]] void nothing(int) {
    benchmark::ClobberMemory();
}

auto lambda() {
    return [](int v) { g_sum += v; };
}

int count(const benchmark::State& state) {
    return static_cast<int>(state.range(0));
}

template <bool Lambda>
void emitQx(benchmark::State& state) {
    qxRTB::SignalArg<int> signal;
    for (int i = 0; i < count(state); ++i) {
        if (Lambda)
            signal.connect(lambda());
        else
            signal.connect(&receive);
    }
    qxRTB::SignalArg<int>* s = &signal;
    benchmark::DoNotOptimize(s);
    int v = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(v);
        s->emit(v);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * count(state));
}

template <bool Lambda>
void emitStd(benchmark::State& state) {
    std::vector<std::function<void(int)>> fns;
    for (int i = 0; i < count(state); ++i) {
        if (Lambda)
            fns.emplace_back(lambda());
        else
            fns.emplace_back(&receive);
    }
    std::vector<std::function<void(int)>>* p = &fns;
    benchmark::DoNotOptimize(p);
    int v = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(v);
        for (auto& f : *p) f(v);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * count(state));
}

void callOnce(benchmark::State& state) {
    int v = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(v);
        nothing(v);
        benchmark::ClobberMemory();
    }
}

const bool g_registered = [] {
    qxbench::registerSides("signal_emit", "int", {{"qx", &emitQx<false>}, {"std", &emitStd<false>}},
                           {1, 10});
    qxbench::registerSides("signal_emit", "int",
                           {{"qx", &emitQx<false>}, {"std", &emitStd<false>}, {"call", &callOnce}},
                           {0});
    qxbench::registerSides("signal_emit_lambda", "int",
                           {{"qx", &emitQx<true>}, {"std", &emitStd<true>}}, {10});
    return true;
}();

}  // namespace
