// Rectangle packing against stb_rect_pack (Debian libstb-dev, benchmarks
// only), on the same 1,000 random rectangles (sides 2 to 100):
//
//     pack/rects/<qx|stb>/1000
//         qx:  qxUtil::pack(rects, false) on the built-in pool: the whole
//              search for the enclosing square, which it returns
//         stb: stbrp_init_target and stbrp_pack_rects (its default skyline
//              heuristic) into a strip as wide as the square of the total
//              area (or the widest rectangle) and high enough for anything
//
// Each side also reports a "fill" counter: the rectangles' total area over
// the area that encloses them, the square qx returns and the bounding box of
// stb's placement (its strip's unused height left out).

#include "Components/Base/Utility/qxPack.h"

#include "bench_register.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#if defined(QXBASE_BENCH_HAVE_STB)
#    define STB_RECT_PACK_IMPLEMENTATION
#    include <stb_rect_pack.h>
#endif

namespace {

using qxUtil::IntRange2d;

int count(const benchmark::State& state) {
    return static_cast<int>(state.range(0));
}

const std::vector<IntRange2d>& input(int n) {
    static std::vector<IntRange2d> rects;
    if (static_cast<int>(rects.size()) != n) {
        std::mt19937 rng(12345);
        std::uniform_int_distribution<int> side(2, 100);
        rects.clear();
        for (int i = 0; i < n; ++i) rects.push_back(IntRange2d(0, 0, side(rng), side(rng)));
    }
    return rects;
}

double totalArea(const std::vector<IntRange2d>& rects) {
    double a = 0;
    for (const IntRange2d& r : rects) a += static_cast<double>(r.lengthX) * r.lengthY;
    return a;
}

void packQx(benchmark::State& state) {
    const std::vector<IntRange2d>& given = input(count(state));
    IntRange2d area;
    for (auto _ : state) {
        qx::vector<IntRange2d> rects(given.begin(), given.end());
        area = qxUtil::pack(rects, false);
        benchmark::DoNotOptimize(rects.data());
    }
    state.counters["fill"] = totalArea(given) / (static_cast<double>(area.lengthX) * area.lengthY);
}

#if defined(QXBASE_BENCH_HAVE_STB)
void packStb(benchmark::State& state) {
    const std::vector<IntRange2d>& given = input(count(state));
    int width = static_cast<int>(std::ceil(std::sqrt(totalArea(given))));
    for (const IntRange2d& r : given) width = std::max(width, r.lengthX);
    std::vector<stbrp_node> nodes(static_cast<size_t>(width));
    std::vector<stbrp_rect> rects(given.size());
    for (auto _ : state) {
        for (size_t i = 0; i < given.size(); ++i) {
            rects[i].id = static_cast<int>(i);
            rects[i].w = given[i].lengthX;
            rects[i].h = given[i].lengthY;
        }
        stbrp_context context;
        stbrp_init_target(&context, width, 1 << 30, nodes.data(), static_cast<int>(nodes.size()));
        if (!stbrp_pack_rects(&context, rects.data(), static_cast<int>(rects.size())))
            state.SkipWithError("stb_rect_pack left rectangles out");
        benchmark::DoNotOptimize(rects.data());
    }
    int right = 0, bottom = 0;
    for (const stbrp_rect& r : rects) {
        right = std::max(right, r.x + r.w);
        bottom = std::max(bottom, r.y + r.h);
    }
    state.counters["fill"] = totalArea(given) / (static_cast<double>(right) * bottom);
}
#    define QX_STB &packStb
#else
#    define QX_STB nullptr
#endif

const bool g_registered = [] {
    qxbench::registerSides("pack", "rects", {{"qx", &packQx}, {"stb", QX_STB}}, {1000});
    return true;
}();

}  // namespace
