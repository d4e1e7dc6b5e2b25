// Path cleaning and splitting, qxOS::Filename against std::filesystem::path,
// one typical path per case (20 to 200 characters):
//
//     path_canonicalize/<case>/<qx|std>/<length>
//         Filename from an IString (the canonical name) against
//         lexically_normal()
//     path_split/<case>/<qx|std>/<length>
//         the same plus dirname, basename, baseTrunk and baseSuffix, against
//         lexically_normal() plus parent_path, filename, stem and extension
//
// Both sides get their input built beforehand: ours an IString of the path
// as written, std a path of the same text with '/' separators, the form it
// splits on here.
#include "os/files/qxFilename.h"

#include "bench_register.h"

#include <benchmark/benchmark.h>

#include <cstddef>
#include <filesystem>
#include <string>
#include <utility>

namespace {

using qxOS::Filename;
using qxString::IString;

struct Case {
    const char* name;
    const char* path;
};

const Case kCases[] = {
    {"drive", "C:\\Projects\\layout\\boards\\main.brd"},
    {"server", "\\\\fileserver\\share\\libraries\\parts\\resistors\\smd_0603.lib"},
    {"relative", "docs\\manual\\chapter-07\\figures\\routing-example-large.png"},
    {"dotdot", "project\\output\\gerbers\\..\\drill\\..\\gerbers\\top_copper.gbr"},
    {"doubled", "C:\\Program Files\\Design Suite\\plugins\\\\importers\\step\\\\reader.dll\\"},
    {"mixed", "C:/Projects/layout//boards/../boards\\rev2/main.brd"},
    {"short", "..\\shared\\user.cfg"},
    {"long",
     "D:\\very\\long\\path\\to\\some\\deeply\\nested\\folder\\structure\\that\\keeps\\going"
     "\\and\\going\\until\\it\\reaches\\the\\final\\component\\of\\a\\rather\\long\\name"
     "\\report.final.pdf"},
};

IString qxInput(const Case& c) {
    return IString(c.path, qxString::EncodingUTF8);
}

std::filesystem::path stdInput(const Case& c) {
    std::string p = c.path;
    for (char& ch : p)
        if (ch == '\\') ch = '/';
    return std::filesystem::path(p);
}

template <size_t I>
void qxCanonicalize(benchmark::State& state) {
    const IString in = qxInput(kCases[I]);
    for (auto _ : state) {
        const Filename f(in);
        benchmark::DoNotOptimize(f.name().data());
    }
}

template <size_t I>
void stdCanonicalize(benchmark::State& state) {
    const std::filesystem::path in = stdInput(kCases[I]);
    for (auto _ : state) {
        const std::filesystem::path n = in.lexically_normal();
        benchmark::DoNotOptimize(n.native().data());
    }
}

template <size_t I>
void qxSplit(benchmark::State& state) {
    const IString in = qxInput(kCases[I]);
    for (auto _ : state) {
        const Filename f(in);
        benchmark::DoNotOptimize(f.basename().data());
        benchmark::DoNotOptimize(f.baseTrunk().data());
        benchmark::DoNotOptimize(f.baseSuffix().data());
        benchmark::DoNotOptimize(f.dirname().data());
    }
}

template <size_t I>
void stdSplit(benchmark::State& state) {
    const std::filesystem::path in = stdInput(kCases[I]);
    for (auto _ : state) {
        const std::filesystem::path n = in.lexically_normal();
        const std::filesystem::path base = n.filename();
        const std::filesystem::path stem = n.stem();
        const std::filesystem::path ext = n.extension();
        const std::filesystem::path dir = n.parent_path();
        benchmark::DoNotOptimize(base.native().data());
        benchmark::DoNotOptimize(stem.native().data());
        benchmark::DoNotOptimize(ext.native().data());
        benchmark::DoNotOptimize(dir.native().data());
    }
}

template <size_t... I>
bool registerAll(std::index_sequence<I...>) {
    const auto one = [](const Case& c, qxbench::Fn qc, qxbench::Fn sc, qxbench::Fn qs,
                        qxbench::Fn ss) {
        const int len = static_cast<int>(std::char_traits<char>::length(c.path));
        qxbench::registerSides("path_canonicalize", c.name, {{"qx", qc}, {"std", sc}}, {len});
        qxbench::registerSides("path_split", c.name, {{"qx", qs}, {"std", ss}}, {len});
    };
    (one(kCases[I], &qxCanonicalize<I>, &stdCanonicalize<I>, &qxSplit<I>, &stdSplit<I>), ...);
    return true;
}

const bool g_registered = registerAll(std::make_index_sequence<sizeof kCases / sizeof kCases[0]>());

}  // namespace
