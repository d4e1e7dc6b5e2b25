// Path cleaning and splitting: qxOS::Filename against std::filesystem::path's
// lexically_normal() and its filename()/stem()/extension()/parent_path(), on
// the same typical paths (20 to 200 characters; drives, servers, relative
// names, "..", doubled and mixed separators). Each iteration handles every
// path once; the argument is the number of paths.
#include "qxbase.h"

#include "bench_register.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

using qxOS::Filename;
using qxString::IString;

const std::vector<std::string>& samplePaths() {
    static const std::vector<std::string> paths = {
        "C:\\Projects\\layout\\boards\\main.brd",
        "C:/Projects/layout//boards/../boards/rev2/main.brd",
        "\\\\fileserver\\share\\libraries\\parts\\resistors\\smd_0603.lib",
        "relative\\dir\\file.txt",
        "..\\..\\shared\\settings\\user.cfg",
        "D:\\very\\long\\path\\to\\some\\deeply\\nested\\folder\\structure\\that\\keeps\\going"
        "\\and\\going\\until\\it\\reaches\\the\\final\\component\\report.final.pdf",
        "C:\\Users\\designer\\AppData\\Local\\Temp\\session-1234\\scratch\\part.tmp",
        "a/b/c/d/e/f/g/h/i/j/k/l/m/n/o/p/q/r/s/t/u/v/w/x/y/z.dat",
        "C:\\Program Files\\Design Suite\\plugins\\\\importers\\step\\reader.dll",
        "project\\output\\gerbers\\..\\drill\\..\\gerbers\\top_copper.gbr",
        "E:\\archive\\2026\\12\\06\\backup.tar.gz",
        "\\\\server\\eng\\teams\\hardware\\reviews\\checklist.docx",
        "C:\\tmp\\x\\",
        "models/3d/packages/qfn/qfn-48_7x7mm_p0.5mm_ep5.6x5.6mm.step",
        "C:\\a\\b\\..\\..\\c\\d\\..\\e\\f\\g\\..\\h\\i\\j.k",
        "docs\\manual\\chapter-07\\figures\\routing-example-large.png",
    };
    return paths;
}

struct QxInputs {
    std::vector<IString> paths;
    QxInputs() {
        for (const std::string& p : samplePaths())
            paths.push_back(IString(p.c_str(), qxString::EncodingUTF8));
    }
};

// The same paths as the standard library sees them here: '/' separates.
struct StdInputs {
    std::vector<std::filesystem::path> paths;
    StdInputs() {
        for (std::string p : samplePaths()) {
            for (char& c : p)
                if (c == '\\') c = '/';
            paths.emplace_back(p);
        }
    }
};

void qxCanonicalize(benchmark::State& state) {
    const QxInputs in;
    for (auto _ : state)
        for (const IString& p : in.paths) {
            const Filename f(p);
            benchmark::DoNotOptimize(f.name().data());
        }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(in.paths.size()));
}

void stdCanonicalize(benchmark::State& state) {
    const StdInputs in;
    for (auto _ : state)
        for (const std::filesystem::path& p : in.paths) {
            const std::filesystem::path n = p.lexically_normal();
            benchmark::DoNotOptimize(n.native().data());
        }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(in.paths.size()));
}

void qxSplit(benchmark::State& state) {
    const QxInputs in;
    for (auto _ : state)
        for (const IString& p : in.paths) {
            const Filename f(p);
            benchmark::DoNotOptimize(f.dirname().data());
            benchmark::DoNotOptimize(f.basename().data());
            benchmark::DoNotOptimize(f.baseTrunk().data());
            benchmark::DoNotOptimize(f.baseSuffix().data());
        }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(in.paths.size()));
}

void stdSplit(benchmark::State& state) {
    const StdInputs in;
    for (auto _ : state)
        for (const std::filesystem::path& p : in.paths) {
            const std::filesystem::path n = p.lexically_normal();
            const std::filesystem::path dir = n.parent_path();
            const std::filesystem::path base = n.filename();
            const std::filesystem::path stem = n.stem();
            const std::filesystem::path ext = n.extension();
            benchmark::DoNotOptimize(dir.native().data());
            benchmark::DoNotOptimize(base.native().data());
            benchmark::DoNotOptimize(stem.native().data());
            benchmark::DoNotOptimize(ext.native().data());
        }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(in.paths.size()));
}

const bool g_registered = [] {
    const int n = static_cast<int>(samplePaths().size());
    qxbench::registerSides("path_canonicalize", "mixed",
                           {{"qx", &qxCanonicalize}, {"std", &stdCanonicalize}}, {n});
    qxbench::registerSides("path_split", "mixed", {{"qx", &qxSplit}, {"std", &stdSplit}}, {n});
    return true;
}();

}  // namespace
