// Identifiers: a new UUID and its text form read back, against the same work
// done directly on the system:
//
//     uuid_roundtrip/v4/qx/1
//         Uuid::generate, asString, and the text parsed into a Uuid
//     uuid_roundtrip/v4/std/1
//         16 bytes from getrandom, formatted with snprintf("%08x-...") and
//         read back with sscanf("%8x-...")
//
// Linux only, as the competitor is the kernel call the library makes there.

#include "os/app/qxUuid.h"

#include "bench_register.h"

#include <benchmark/benchmark.h>

#include <sys/random.h>

#include <cstdint>
#include <cstdio>

namespace {

void qxSide(benchmark::State& state) {
    for (auto _ : state) {
        qxOS::Uuid u;
        u.generate();
        const qxString::CString text = u.asString();
        const qxOS::Uuid back(text);
        benchmark::DoNotOptimize(back.get()[3]);
        if (back != u) state.SkipWithError("round trip failed");
    }
}

void stdSide(benchmark::State& state) {
    for (auto _ : state) {
        uint32_t w[4];
        if (getrandom(w, sizeof w, 0) != static_cast<ssize_t>(sizeof w))
            state.SkipWithError("getrandom failed");
        char text[36];
        std::snprintf(text, sizeof text, "%08x-%08x-%08x-%08x", w[0], w[1], w[2], w[3]);
        unsigned back[4];
        if (std::sscanf(text, "%8x-%8x-%8x-%8x", &back[0], &back[1], &back[2], &back[3]) != 4 ||
            back[3] != w[3])
            state.SkipWithError("round trip failed");
        benchmark::DoNotOptimize(back[3]);
    }
}

const bool registered = [] {
    qxbench::registerSides("uuid_roundtrip", "v4", {{"qx", &qxSide}, {"std", &stdSide}}, {1});
    return true;
}();

}  // namespace
