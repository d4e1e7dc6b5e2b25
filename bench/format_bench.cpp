// Formatting: the printf engine through its bounded entry point and through
// CString::format, each next to what it is measured against:
//
//     snprintf/<case>/<qx|std>/<output length>
//         OL_snprintf against glibc's snprintf into a 256-byte stack buffer
//     cformat/<case>/<qx|std|fmt>/<output length>
//         CString::format against std::string filled by snprintf (a stack
//         buffer first, a second pass straight into the string when it does
//         not fit) and against fmt::format (when libfmt is available)
//     cformat_scale/<str|width>/<qx|std|fmt>/<output bytes>
//         the same for 1 KB to 100 KB results: "%s" of a long string and
//         "%0*d" with a large width; bytes processed are the output bytes,
//         so the time per byte is the inverse of the reported throughput
//
// The cases: str_int "%s=%d"; mixed "%08.3f %-10s %I64d" (glibc and fmt get
// the equivalent "%08.3f %-10s %lld" / "{:08.3f} {:<10} {}"); long_literal,
// 200 characters of text around one %d.
//
// ratios.py pairs qx with std and adds a qx/fmt column.

#include "string/qxFormat.h"
#include "string/qxString.h"

#include "bench_register.h"

#include <benchmark/benchmark.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#if defined(QXBASE_BENCH_HAVE_FMT)
#    include <fmt/format.h>
#endif

namespace {

using QxStr = qxString::CString;

// --- inputs ---------------------------------------------------------------------

#define QX_LONG_HEAD                                                                           \
    "The nightly build finished on all runners and the packaging step uploaded the archives; " \
    "the number of warnings reported by the compiler today is "
#define QX_LONG_TAIL ", see the attached log for the details."

const char kLongFmt[] = QX_LONG_HEAD "%d" QX_LONG_TAIL;
#if defined(QXBASE_BENCH_HAVE_FMT)
const char kLongFmtFmt[] = QX_LONG_HEAD "{}" QX_LONG_TAIL;
#endif

struct Inputs {
    const char* key = "timeout";
    int value = 30;
    double real = 3.14159265;
    const char* name = "name";
    long long big = 1234567890123LL;
};

Inputs inputs() {
    Inputs in;
    benchmark::DoNotOptimize(in);
    return in;
}

// --- OL_snprintf against snprintf -------------------------------------------------

enum class Case { StrInt, Mixed, LongLiteral };

template <Case C>
int qxSnprintf(char* buf, size_t size, const Inputs& in) {
    switch (C) {
        case Case::StrInt:
            return OL_snprintf(buf, size, "%s=%d", in.key, in.value);
        case Case::Mixed:
            return OL_snprintf(buf, size, "%08.3f %-10s %I64d", in.real, in.name, in.big);
        case Case::LongLiteral:
            return OL_snprintf(buf, size, kLongFmt, in.value);
    }
    return -1;
}

template <Case C>
int stdSnprintf(char* buf, size_t size, const Inputs& in) {
    switch (C) {
        case Case::StrInt:
            return std::snprintf(buf, size, "%s=%d", in.key, in.value);
        case Case::Mixed:
            return std::snprintf(buf, size, "%08.3f %-10s %lld", in.real, in.name, in.big);
        case Case::LongLiteral:
            return std::snprintf(buf, size, kLongFmt, in.value);
    }
    return -1;
}

template <Case C, bool Qx>
void snprintfBench(benchmark::State& state) {
    const Inputs in = inputs();
    char buf[256];
    for (auto _ : state) {
        const int n = Qx ? qxSnprintf<C>(buf, sizeof buf, in) : stdSnprintf<C>(buf, sizeof buf, in);
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(buf);
    }
}

// --- CString::format against std::string and fmt --------------------------------------

// snprintf into a std::string: a stack buffer first, then, when the output is
// longer, a second pass straight into the resized string.
__attribute__((format(printf, 2, 3))) void stdFormat(std::string& s, const char* fmt, ...) {
    char buf[256];
    va_list ap;
    va_start(ap, fmt);
    va_list again;
    va_copy(again, ap);
    const int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n >= 0 && static_cast<size_t>(n) < sizeof buf) {
        s.assign(buf, static_cast<size_t>(n));
    } else if (n >= 0) {
        s.resize(static_cast<size_t>(n));
        std::vsnprintf(&s[0], static_cast<size_t>(n) + 1, fmt, again);
    }
    va_end(again);
}

template <Case C>
void qxFormat(QxStr& s, const Inputs& in) {
    switch (C) {
        case Case::StrInt:
            s.format("%s=%d", in.key, in.value);
            break;
        case Case::Mixed:
            s.format("%08.3f %-10s %I64d", in.real, in.name, in.big);
            break;
        case Case::LongLiteral:
            s.format(kLongFmt, in.value);
            break;
    }
}

template <Case C>
void stdFormatCase(std::string& s, const Inputs& in) {
    switch (C) {
        case Case::StrInt:
            stdFormat(s, "%s=%d", in.key, in.value);
            break;
        case Case::Mixed:
            stdFormat(s, "%08.3f %-10s %lld", in.real, in.name, in.big);
            break;
        case Case::LongLiteral:
            stdFormat(s, kLongFmt, in.value);
            break;
    }
}

template <Case C>
void qxFormatBench(benchmark::State& state) {
    const Inputs in = inputs();
    QxStr s;
    for (auto _ : state) {
        qxFormat<C>(s, in);
        benchmark::DoNotOptimize(s.data());
    }
}

template <Case C>
void stdFormatBench(benchmark::State& state) {
    const Inputs in = inputs();
    std::string s;
    for (auto _ : state) {
        stdFormatCase<C>(s, in);
        benchmark::DoNotOptimize(s.data());
    }
}

#if defined(QXBASE_BENCH_HAVE_FMT)
template <Case C>
void fmtFormatBench(benchmark::State& state) {
    const Inputs in = inputs();
    std::string s;
    for (auto _ : state) {
        switch (C) {
            case Case::StrInt:
                s = fmt::format("{}={}", in.key, in.value);
                break;
            case Case::Mixed:
                s = fmt::format("{:08.3f} {:<10} {}", in.real, in.name, in.big);
                break;
            case Case::LongLiteral:
                s = fmt::format(kLongFmtFmt, in.value);
                break;
        }
        benchmark::DoNotOptimize(s.data());
    }
}
#    define QX_FMT(fn) &fn
#else
#    define QX_FMT(fn) nullptr
#endif

// --- large results ---------------------------------------------------------------------

enum class Big { Str, Width };

template <Big B>
void qxScaleBench(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string text(static_cast<size_t>(n), 'x');
    QxStr s;
    for (auto _ : state) {
        if (B == Big::Str)
            s.format("%s", text.c_str());
        else
            s.format("%0*d", n, 42);
        benchmark::DoNotOptimize(s.data());
    }
    if (s.length() != static_cast<unsigned>(n)) state.SkipWithError("wrong output length");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * n);
}

template <Big B>
void stdScaleBench(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string text(static_cast<size_t>(n), 'x');
    std::string s;
    for (auto _ : state) {
        if (B == Big::Str)
            stdFormat(s, "%s", text.c_str());
        else
            stdFormat(s, "%0*d", n, 42);
        benchmark::DoNotOptimize(s.data());
    }
    if (s.size() != static_cast<size_t>(n)) state.SkipWithError("wrong output length");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * n);
}

#if defined(QXBASE_BENCH_HAVE_FMT)
template <Big B>
void fmtScaleBench(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string text(static_cast<size_t>(n), 'x');
    std::string s;
    for (auto _ : state) {
        if (B == Big::Str)
            s = fmt::format("{}", text.c_str());
        else
            s = fmt::format("{:0{}}", 42, n);
        benchmark::DoNotOptimize(s.data());
    }
    if (s.size() != static_cast<size_t>(n)) state.SkipWithError("wrong output length");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * n);
}
#endif

// --- registration ----------------------------------------------------------------------

using qxbench::Fn;
using qxbench::registerSides;

template <Case C>
int outputLength() {
    char buf[256];
    return stdSnprintf<C>(buf, sizeof buf, Inputs());
}

template <Case C>
void registerCase(const char* name) {
    const int n = outputLength<C>();
    registerSides("snprintf", name,
                  {{"qx", &snprintfBench<C, true>}, {"std", &snprintfBench<C, false>}}, {n});
    registerSides("cformat", name,
                  {{"qx", &qxFormatBench<C>},
                   {"std", &stdFormatBench<C>},
                   {"fmt", QX_FMT(fmtFormatBench<C>)}},
                  {n});
}

template <Big B>
void registerScale(const char* name) {
    registerSides(
        "cformat_scale", name,
        {{"qx", &qxScaleBench<B>}, {"std", &stdScaleBench<B>}, {"fmt", QX_FMT(fmtScaleBench<B>)}},
        {1024, 10 * 1024, 100 * 1024});
}

const bool registered = [] {
    registerCase<Case::StrInt>("str_int");
    registerCase<Case::Mixed>("mixed");
    registerCase<Case::LongLiteral>("long_literal");
    registerScale<Big::Str>("str");
    registerScale<Big::Width>("width");
    return true;
}();

}  // namespace
