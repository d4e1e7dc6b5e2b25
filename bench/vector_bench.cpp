// qx::vector against std::vector, same operations on the same data in the same
// run. Every benchmark is registered in pairs whose names differ only in the
// implementation part ("qx" or "std"):
//
//     <operation>/<element>/<qx|std>/<element count>
//
// so that ratios.py can pair them up. Elements: int, a pointer (int*), and
// "owned", a 16-byte type that owns a heap block (copying allocates, moving
// steals it, the destructor frees it): the case where relocating storage with
// realloc should beat moving element by element.

#include "containers/qxVector.h"

#include "bench_register.h"

#include <benchmark/benchmark.h>

#include <string>
#include <utility>
#include <vector>

namespace {

// --- element types ----------------------------------------------------------

class Owned {
public:
    explicit Owned(int v) : m_value(new int(v)), m_tag(v) {}
    Owned(const Owned& o) : m_value(o.m_value ? new int(*o.m_value) : nullptr), m_tag(o.m_tag) {}
    Owned(Owned&& o) noexcept : m_value(o.m_value), m_tag(o.m_tag) { o.m_value = nullptr; }
    Owned& operator=(const Owned& o) {
        if (this != &o) {
            int* p = o.m_value ? new int(*o.m_value) : nullptr;
            delete m_value;
            m_value = p;
            m_tag = o.m_tag;
        }
        return *this;
    }
    Owned& operator=(Owned&& o) noexcept {
        if (this != &o) {
            delete m_value;
            m_value = o.m_value;
            m_tag = o.m_tag;
            o.m_value = nullptr;
        }
        return *this;
    }
    ~Owned() { delete m_value; }

private:
    int* m_value;
    long long m_tag;
};
static_assert(sizeof(Owned) == 16, "the non-trivial element is meant to be 16 bytes");

// Targets for the pointer elements: distinct addresses, no allocation per element.
int g_pointees[1024];

// make<T>(i): the i-th value pushed.
template <class T>
T make(int i);
template <>
int make<int>(int i) {
    return i;
}
template <>
int* make<int*>(int i) {
    return &g_pointees[i & 1023];
}
template <>
Owned make<Owned>(int i) {
    return Owned(i);
}

template <class V>
V filled(int n) {
    V v;
    v.reserve(n);
    for (int i = 0; i < n; ++i) v.push_back(make<typename V::value_type>(i));
    return v;
}

int count(const benchmark::State& state) {
    return static_cast<int>(state.range(0));
}

// --- benchmarks ---------------------------------------------------------------
// Each is a template over the vector type, so both sides run the same code.

// n push_backs into an empty vector, growth included; with Reserve, after
// reserve(n): the append fast path plus one allocation.
template <class V, bool Reserve = false>
void pushBack(benchmark::State& state) {
    using T = typename V::value_type;
    const int n = count(state);
    for (auto _ : state) {
        V v;
        if (Reserve) v.reserve(n);
        for (int i = 0; i < n; ++i) v.push_back(make<T>(i));
        benchmark::DoNotOptimize(v.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// The same growth without the per-element allocation that dominates
// push_back/owned: n elements are moved in from a pool built once, and moved
// back before the vector is destroyed (the move-back costs both sides the
// same). What is left is growth itself: realloc against element-wise moves.
template <class V>
void pushBackMoved(benchmark::State& state) {
    using T = typename V::value_type;
    const int n = count(state);
    std::vector<T> pool;
    pool.reserve(n);
    for (int i = 0; i < n; ++i) pool.push_back(make<T>(i));
    for (auto _ : state) {
        V v;
        for (int i = 0; i < n; ++i) v.push_back(std::move(pool[i]));
        for (int i = 0; i < n; ++i) pool[i] = std::move(v[i]);
        benchmark::DoNotOptimize(v.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// Copy construction of an n-element vector.
template <class V>
void copy(benchmark::State& state) {
    const int n = count(state);
    const V source = filled<V>(n);
    for (auto _ : state) {
        V c(source);
        benchmark::DoNotOptimize(c.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// Where in the vector an insert or erase happens.
enum class At { Front, Middle };

int position(At at, int n) {
    return at == At::Front ? 0 : n / 2;
}

// One insert at the front or middle of an n-element vector per iteration; a
// pop_back (cheap next to the shift) keeps the size at n. Capacity for n + 1
// is reserved up front so that no iteration reallocates.
template <class V, At at>
void insert(benchmark::State& state) {
    using T = typename V::value_type;
    const int n = count(state);
    V v = filled<V>(n);
    v.reserve(n + 1);
    const int pos = position(at, n);
    int i = 0;
    for (auto _ : state) {
        v.insert(v.begin() + pos, make<T>(i++));
        v.pop_back();
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(v.data());
    if (static_cast<int>(v.size()) != n) state.SkipWithError("size drifted");
    state.SetItemsProcessed(state.iterations());
}

// One erase at the front or middle of an n-element vector per iteration; a
// push_back (cheap next to the shift) keeps the size at n.
template <class V, At at>
void erase(benchmark::State& state) {
    using T = typename V::value_type;
    const int n = count(state);
    V v = filled<V>(n);
    v.reserve(n + 1);
    const int pos = position(at, n);
    int i = 0;
    for (auto _ : state) {
        v.erase(v.begin() + pos);
        v.push_back(make<T>(i++));
        benchmark::ClobberMemory();
    }
    benchmark::DoNotOptimize(v.data());
    if (static_cast<int>(v.size()) != n) state.SkipWithError("size drifted");
    state.SetItemsProcessed(state.iterations());
}

// --- registration ---------------------------------------------------------------

using qxbench::Fn;

// The qx and std sides of one comparison.
void registerPair(const std::string& op, const std::string& element, Fn ours, Fn theirs,
                  std::initializer_list<int> counts) {
    qxbench::registerSides(op, element, {{"qx", ours}, {"std", theirs}}, counts);
}

template <class T>
void registerGrowth(const std::string& element) {
    registerPair("push_back", element, &pushBack<qx::vector<T>>, &pushBack<std::vector<T>>,
                 {1000, 100000, 1000000});
}

template <At at>
void registerShifts(const std::string& where) {
    registerPair("insert_" + where, "int", &insert<qx::vector<int>, at>,
                 &insert<std::vector<int>, at>, {1000, 10000});
    registerPair("erase_" + where, "int", &erase<qx::vector<int>, at>, &erase<std::vector<int>, at>,
                 {1000, 10000});
}

const bool g_registered = [] {
    registerGrowth<int>("int");
    registerGrowth<int*>("ptr");
    registerGrowth<Owned>("owned");
    registerPair("push_back_moved", "owned", &pushBackMoved<qx::vector<Owned>>,
                 &pushBackMoved<std::vector<Owned>>, {1000, 100000, 1000000});

    registerShifts<At::Front>("front");
    registerShifts<At::Middle>("middle");

    registerPair("copy", "int", &copy<qx::vector<int>>, &copy<std::vector<int>>, {1000, 100000});
    registerPair("copy", "owned", &copy<qx::vector<Owned>>, &copy<std::vector<Owned>>,
                 {1000, 100000});

    registerPair("reserve_fill", "int", &pushBack<qx::vector<int>, true>,
                 &pushBack<std::vector<int>, true>, {1000, 100000, 1000000});
    registerPair("reserve_fill", "ptr", &pushBack<qx::vector<int*>, true>,
                 &pushBack<std::vector<int*>, true>, {1000, 100000, 1000000});
    return true;
}();

}  // namespace
