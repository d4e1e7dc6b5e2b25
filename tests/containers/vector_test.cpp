#include "qxbase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <iterator>
#include <list>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using qx::VectorImpl;

struct CopyFailure {};
int g_live = 0;        // Tracked objects currently constructed
int g_copyBudget = 0;  // when > 0, the copy that brings it down to 0 throws

// Owns heap memory and counts live objects, so leaks and double destroys show
// as a count mismatch (and as errors under the sanitizers). It keeps no pointer
// to itself, so it may be relocated bytewise.
struct Tracked {
    int* p;
    Tracked() : Tracked(-1) {}
    Tracked(int v) : p(new int(v)) { ++g_live; }
    Tracked(const Tracked& o) {
        if (g_copyBudget > 0 && --g_copyBudget == 0) throw CopyFailure();
        p = new int(*o.p);
        ++g_live;
    }
    Tracked(Tracked&& o) noexcept : p(std::exchange(o.p, nullptr)) { ++g_live; }
    Tracked& operator=(Tracked o) noexcept {
        std::swap(p, o.p);
        return *this;
    }
    ~Tracked() {
        delete p;
        --g_live;
    }
    int value() const { return p ? *p : INT_MIN; }
    bool operator==(const Tracked& o) const { return value() == o.value(); }
};

template <class V>
std::vector<int> valuesOf(const V& v) {
    std::vector<int> r;
    for (const auto& t : v) r.push_back(t.value());
    return r;
}

// Element operations on 4-byte ints that count every call, for driving
// VectorImpl directly as a typed front end outside the library would.
// reset() clears the call counts; constructed and destroyed are running totals.
struct Counting {
    static inline int copyOnes, copyRanges, destroyOnes, destroyRanges, constructed, destroyed,
        inits;
    static void reset() { copyOnes = copyRanges = destroyOnes = destroyRanges = 0, inits = 0; }
    static int calls() { return copyOnes + copyRanges + destroyOnes + destroyRanges + inits; }
    static void copyOne(void* d, const void* s) { ++copyOnes, ++constructed, std::memcpy(d, s, 4); }
    static void copyRange(void* d, const void* s, int n) {
        ++copyRanges, constructed += n, std::memcpy(d, s, n * 4u);
    }
    static void destroyOne(void*) { ++destroyOnes, ++destroyed; }
    static void destroyRange(void*, int n) { ++destroyRanges, destroyed += n; }
    static long long diff(const void* a, const void* b) {
        return (static_cast<const char*>(a) - static_cast<const char*>(b)) / 4;
    }
    static void init(void* p, int n) {  // 100, 101, ...
        ++inits, constructed += n;
        for (int i = 0; i < n; ++i) static_cast<int*>(p)[i] = 100 + i;
    }
};
const VectorImpl::TypeUtil kCounting = {Counting::copyOne,    Counting::copyRange,
                                        Counting::destroyOne, Counting::destroyRange,
                                        Counting::diff,       4};
const VectorImpl::TypeUtil kNullDestroy = {Counting::copyOne, Counting::copyRange, nullptr,
                                           nullptr,           Counting::diff,      4};

// Exposes the storage and the protected setCapacity.
class RawVec : public VectorImpl {
public:
    using VectorImpl::setCapacity;
    using VectorImpl::VectorImpl;
    int* ints() const { return static_cast<int*>(m_data); }
    std::vector<int> values() const { return std::vector<int>(ints(), ints() + m_size); }
};

// Capacities seen while adding 300 elements one at a time.
template <class V, class Add>
std::vector<int> growthSteps(V& v, Add add) {
    std::vector<int> steps;
    for (int i = 0; i < 300; ++i) {
        add(v, i);
        if (steps.empty() || steps.back() != v.capacity()) steps.push_back(v.capacity());
    }
    return steps;
}

TEST(VectorCapacity, SingleElementGrowthFollowsThePolicy) {
    const std::vector<int> policy = {8, 16, 24, 32, 64, 128, 256, 512};
    int pool[300];
    qx::vector<int> a, b;
    qx::vector<int*> c, d;
    RawVec e(&kNullDestroy);
    EXPECT_EQ(growthSteps(a, [](auto& v, int i) { v.push_back(i); }), policy);
    EXPECT_EQ(growthSteps(b, [](auto& v, int i) { v.insert(v.begin(), i); }), policy);
    EXPECT_EQ(growthSteps(c, [&](auto& v, int i) { v.push_back(&pool[i]); }), policy);
    EXPECT_EQ(growthSteps(d, [&](auto& v, int i) { v.insert(v.begin(), &pool[i]); }), policy);
    EXPECT_EQ(growthSteps(e, [](auto& v, int i) { v.append(&i); }), policy);
    for (int i = 0; i < 300; ++i) {
        ASSERT_EQ(b[i], 299 - i);
        ASSERT_EQ(d[i], &pool[299 - i]);
        ASSERT_EQ(e.ints()[i], i);
    }
}

TEST(VectorCapacity, MultiElementOperationsSizeExactly) {
    qx::vector<int> v(8, 1);
    v.reserve(5);
    EXPECT_EQ(v.capacity(), 8);
    v.insert(v.begin() + 2, 3, 7);
    EXPECT_EQ(v.capacity(), 11);
    const int more[] = {1, 2, 3, 4};
    v.insert(v.begin(), more, more + 4);
    EXPECT_EQ(v.capacity(), 15);
    const std::list<int> listed(5, 9);  // not contiguous: built aside, then one gap
    v.insert(v.end(), listed.begin(), listed.end());
    EXPECT_EQ(v.capacity(), 20);
    v.resize(23);
    EXPECT_EQ(v.capacity(), 23);

    qx::vector<int> a;
    a.assign(v.begin(), v.begin() + 23);
    EXPECT_EQ(a.capacity(), 23);
    a.assign(more, more + 2);
    EXPECT_EQ(a.capacity(), 23);

    qx::vector<int> big(10), two(2, 5);
    big.reserve(64);
    big.impl().append(two.impl());
    EXPECT_EQ(big.capacity(), 12);
    big = two;
    EXPECT_EQ(big.capacity(), 2);
}

TEST(VectorCapacity, StorageIsReleasedOnlyOnRequest) {
    qx::vector<int> v;
    for (int i = 0; i < 40; ++i) v.push_back(i);
    v.erase(v.begin() + 3);
    v.erase(v.begin(), v.begin() + 10);
    v.pop_back();
    v.resize(3);
    v.clear();
    EXPECT_EQ(v.capacity(), 64);

    const qx::vector<int> empty, emptyFill(0, 4);
    EXPECT_EQ(emptyFill.data(), nullptr);
    v = empty;
    EXPECT_EQ(v.data(), nullptr);
    v.reserve(10);
    v.impl().append(empty.impl());
    EXPECT_EQ(v.data(), nullptr);
    v.push_back(1);
    v.shrink_to_fit();
    EXPECT_EQ(v.capacity(), 1);
    v.clear();
    v.shrink_to_fit();
    EXPECT_EQ(v.data(), nullptr);

    Counting::destroyed = 0;
    RawVec r(5, Counting::init, &kCounting);
    r.setCapacity(20);
    EXPECT_EQ(r.values(), (std::vector<int>{100, 101, 102, 103, 104}));
    EXPECT_EQ(r.setCapacity(0), nullptr);
    EXPECT_EQ(Counting::destroyed + r.size() + r.capacity(), 5);
}

TEST(VectorImplRaw, NullAndNoOpDestroyEntriesBothWork) {
    for (const VectorImpl::TypeUtil* rec : {&kNullDestroy, &kCounting}) {
        const bool counting = rec->destroyOne != nullptr;
        Counting::reset();
        Counting::constructed = Counting::destroyed = 0;
        {
            RawVec v(rec);
            const int five = 5;
            for (int i = 0; i < 10; ++i) v.append(&i);
            EXPECT_EQ(v.erase(v.ints() + 1), v.ints() + 1);
            EXPECT_EQ(v.erase(v.ints() + 2, v.ints() + 5), v.ints() + 2);
            void* const afterLast = v.erase(v.ints() + 5);
            EXPECT_EQ(afterLast, v.ints() + v.size());
            v.eraseBack();
            EXPECT_EQ(v.values(), (std::vector<int>{0, 2, 6, 7}));
            EXPECT_EQ(Counting::destroyOnes, counting ? 3 : 0);
            EXPECT_EQ(Counting::destroyRanges, counting ? 1 : 0);
            v.setSize(2, static_cast<VectorImpl::InitRangeFn>(nullptr));
            v.clear();
            EXPECT_EQ(v.capacity(), 16);
            v.append(&five);
        }
        EXPECT_EQ(Counting::destroyed, counting ? Counting::constructed : 0);
    }
}

TEST(VectorImplRaw, FillAndSetSize) {
    Counting::reset();
    const int seven = 7;
    RawVec v(3, &seven, &kCounting), none(0, &seven, &kCounting);
    EXPECT_EQ(v.values(), (std::vector<int>{7, 7, 7}));
    EXPECT_EQ(v.capacity(), 3);
    EXPECT_EQ(none.ints(), nullptr);
    EXPECT_EQ(Counting::calls(), 3);

    Counting::reset();
    v.setSize(3, &seven);
    v.setSize(3, Counting::init);
    EXPECT_EQ(Counting::calls(), 0);
    v.setSize(5, Counting::init);
    v.setSize(6, &seven);
    EXPECT_EQ(v.values(), (std::vector<int>{7, 7, 7, 100, 101, 7}));
    EXPECT_EQ(v.capacity(), 6);
    Counting::destroyed = 0;
    v.setSize(0, &seven);  // one range destroy over all six, storage kept
    EXPECT_EQ(Counting::destroyed, 6);
    EXPECT_EQ(Counting::calls(), 3);
    EXPECT_EQ(v.capacity(), 6);
}

TEST(VectorImplRaw, CopyAndAppendWithItself) {
    RawVec v(&kCounting);
    for (int i = 0; i < 3; ++i) v.append(&i);
    int* const data = v.ints();
    Counting::reset();
    v.copy(v);
    EXPECT_EQ(v.ints(), data);
    EXPECT_EQ(Counting::calls(), 0);

    v.append(v);
    EXPECT_EQ(v.values(), (std::vector<int>{0, 1, 2, 0, 1, 2}));
    EXPECT_EQ(v.capacity(), 6);
    EXPECT_EQ(Counting::copyRanges, 1);
    v.copy(RawVec(&kCounting));
    EXPECT_EQ(v.ints(), nullptr);
    EXPECT_EQ(Counting::destroyRanges, 1);
}

TEST(VectorImplRaw, InsertAndSwap) {
    RawVec v(&kCounting), w(&kCounting);
    for (int i = 0; i < 8; ++i) v.append(&i);
    Counting::reset();
    const int x = 42, src[] = {-1, -2};
    v.insert(v.ints() + 1, 3, &x);
    EXPECT_EQ(v.capacity(), 11);
    EXPECT_EQ(Counting::copyOnes, 3);
    v.insert(v.ints() + v.size(), src, src + 2);
    EXPECT_EQ(v.capacity(), 13);
    void* gap = v.insert(v.ints(), &x, [](void* d, const void*) { *static_cast<int*>(d) = -9; });
    EXPECT_EQ(gap, v.ints());
    EXPECT_EQ(v.capacity(), 21);
    const std::vector<int> expected = {-9, 0, 42, 42, 42, 1, 2, 3, 4, 5, 6, 7, -1, -2};
    EXPECT_EQ(v.values(), expected);

    v.swap(w);
    EXPECT_EQ(w.values(), expected);
    EXPECT_EQ(w.capacity(), 21);
    v.append(&x);
    EXPECT_EQ(v.values(), std::vector<int>{42});
    EXPECT_EQ(v.capacity(), 8);
}

template <class T>
T makeValue(int i) {
    static int pool[1000];
    if constexpr (std::is_pointer<T>::value)
        return &pool[i];
    else
        return T(i);
}

// Random operations on two qx::vectors and two std::vector models, compared
// after every step.
template <class T>
void runDifferential(unsigned seed) {
    const int liveBefore = g_live;
    std::mt19937 rng(seed);
    auto rnd = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    qx::vector<T> v[2];
    std::vector<T> m[2];
    for (int step = 0; step < 3000; ++step) {
        const int w = rnd(2);
        qx::vector<T>& a = v[w];
        std::vector<T>& ma = m[w];
        if (a.size() > 300) a.clear(), ma.clear();  // keeps the sizes bounded
        const int pos = rnd(a.size() + 1), n = rnd(20);
        const T value = makeValue<T>(rnd(1000));
        std::vector<T> src;
        for (int i = rnd(12); i > 0; --i) src.push_back(makeValue<T>(rnd(1000)));
        qx::vector<T>& b = v[1 - w];
        std::vector<T>& mb = m[1 - w];
        const int p = a.empty() ? 0 : pos % a.size(), k = std::min(n, a.size() - pos);
        const std::function<void()> ops[] = {
            [&] { a.push_back(value), ma.push_back(value); },
            [&] {
                const auto it = a.insert(a.begin() + pos, value);  // may move the storage
                EXPECT_EQ(it - a.begin(), pos);
                ma.insert(ma.begin() + pos, value);
            },
            [&] { a.insert(a.begin() + pos, n, value), ma.insert(ma.begin() + pos, n, value); },
            [&] {
                a.insert(a.begin() + pos, src.data(), src.data() + src.size());
                ma.insert(ma.begin() + pos, src.begin(), src.end());
            },
            [&] {
                a.insert(a.begin() + pos, src.begin(), src.end());
                ma.insert(ma.begin() + pos, src.begin(), src.end());
            },
            [&] {
                if (a.empty()) return;
                EXPECT_EQ(a.erase(a.begin() + p), a.begin() + p);
                ma.erase(ma.begin() + p);
            },
            [&] {
                EXPECT_EQ(a.erase(a.begin() + pos, a.begin() + pos + k), a.begin() + pos);
                ma.erase(ma.begin() + pos, ma.begin() + pos + k);
            },
            [&] { a.empty() ? void() : (a.pop_back(), ma.pop_back()); },
            [&] { a.resize(pos + n), ma.resize(pos + n); },
            [&] { a.resize(pos + n, value), ma.resize(pos + n, value); },
            [&] { a.reserve(rnd(300)); },
            [&] { a.clear(), ma.clear(); },
            [&] { a.assign(n, value), ma.assign(n, value); },
            [&] { a.assign(src.data(), src.data() + src.size()), ma = src; },
            [&] { a.assign(src.begin(), src.end()), ma = src; },
            [&] { a = b, ma = mb; },
            [&] { std::swap(a, b), ma.swap(mb); },  // move construct and assign
            [&] {
                a.swap(b), ma.swap(mb), a.shrink_to_fit();
                EXPECT_EQ(a.capacity(), a.size());
            },
            [&] {
                qx::vector<T> c(b);
                a = std::move(c);
                EXPECT_TRUE(c.empty());
                ma = mb;
            },
        };
        const int op = rnd(std::size(ops));
        SCOPED_TRACE(testing::Message() << "step " << step << " op " << op);
        ops[op]();
        for (int i = 0; i < 2; ++i) {
            ASSERT_EQ(v[i].size(), static_cast<int>(m[i].size()));
            ASSERT_GE(v[i].capacity(), v[i].size());
            ASSERT_TRUE(std::equal(m[i].begin(), m[i].end(), v[i].begin()));
        }
        if (std::is_same<T, Tracked>::value) {
            const size_t held = v[0].size() + v[1].size() + m[0].size() + m[1].size();
            ASSERT_EQ(static_cast<size_t>(g_live - liveBefore), held + 1 + src.size());
        }
    }
}

TEST(VectorDifferential, TrivialTypes) {
    runDifferential<int>(1234u);
    runDifferential<int*>(5678u);
}
TEST(VectorDifferential, OwningType) {
    const int live = g_live;
    runDifferential<Tracked>(9012u);
    EXPECT_EQ(g_live, live);
}

// Runs op on a vector holding 0 .. size-1 with the k-th copy failing, for
// k = 1, 2, ... until op succeeds; each failure must leave the vector as it
// was. Returns the number of failures, that is the copies op makes.
template <class Op>
int throwsLeavingVectorUnchanged(int size, Op op) {
    std::vector<int> expected;
    for (int i = 0; i < size; ++i) expected.push_back(i);
    for (int k = 1;; ++k) {
        qx::vector<Tracked> v;
        v.reserve(8);
        for (int i = 0; i < size; ++i) v.emplace_back(i);
        const int live = g_live;
        g_copyBudget = k;
        try {
            op(v);
            g_copyBudget = 0;
            return k - 1;
        } catch (const CopyFailure&) {
            g_copyBudget = 0;
            EXPECT_EQ(valuesOf(v), expected) << "copy " << k;
            EXPECT_EQ(g_live, live) << "copy " << k;
        }
    }
}

TEST(VectorExceptions, ThrowingCopyLeavesVectorUnchanged) {
    using V = qx::vector<Tracked>;
    const Tracked value(99);
    const std::vector<Tracked> src = {Tracked(-1), Tracked(-2), Tracked(-3)};
    for (int size : {5, 8}) {  // with room, and at full capacity
        SCOPED_TRACE(size);
        auto copies = [size](auto op) { return throwsLeavingVectorUnchanged(size, op); };
        EXPECT_EQ(copies([&](V& v) { v.push_back(value); }), 1);
        EXPECT_EQ(copies([&](V& v) { v.insert(v.begin() + 2, value); }), 1);
        EXPECT_EQ(copies([&](V& v) { v.insert(v.begin() + 2, 3, value); }), 3);
        EXPECT_EQ(copies([&](V& v) { v.insert(v.begin() + 2, src.data(), src.data() + 3); }), 3);
        EXPECT_EQ(copies([&](V& v) { v.insert(v.begin() + 2, src.begin(), src.end()); }), 3);
        EXPECT_EQ(copies([&](V& v) { v.resize(size + 3, value); }), 3);
        EXPECT_EQ(copies([&](V& v) { V copy(v); }), size);
    }
}

// Sources inside the vector being changed, at full capacity so the storage moves.
TEST(VectorAliasing, SourceInsideTheVectorBehavesLikeStdVector) {
    using V = qx::vector<Tracked>;
    auto check = [](auto op, std::vector<int> expected) {
        V v;
        for (int i = 0; i < 8; ++i) v.emplace_back(i * 10);
        op(v);
        EXPECT_EQ(valuesOf(v), expected);
    };
    check([](V& v) { v.push_back(v[0]); }, {0, 10, 20, 30, 40, 50, 60, 70, 0});
    check([](V& v) { v.emplace_back(v[7]); }, {0, 10, 20, 30, 40, 50, 60, 70, 70});
    check([](V& v) { v.insert(v.begin(), v.back()); }, {70, 0, 10, 20, 30, 40, 50, 60, 70});
    check([](V& v) { v.insert(v.begin() + 1, 2, v[1]); }, {0, 10, 10, 10, 20, 30, 40, 50, 60, 70});
    check([](V& v) { v.resize(10, v[0]); }, {0, 10, 20, 30, 40, 50, 60, 70, 0, 0});
    check([](V& v) { v.insert(v.begin() + 1, v.begin(), v.begin() + 3); },
          {0, 0, 10, 20, 10, 20, 30, 40, 50, 60, 70});
    check([](V& v) { v.assign(v.begin() + 6, v.end()); }, {60, 70});
    check([](V& v) { v.assign(3, v[2]); }, {20, 20, 20});
    check([](V& v) { v.impl().append(v.impl()); },
          {0, 10, 20, 30, 40, 50, 60, 70, 0, 10, 20, 30, 40, 50, 60, 70});
}

TEST(VectorStd, AlgorithmsAndComparisons) {
    qx::vector<int> v = {5, 3, 9, 1};
    int sum = 0;
    for (int x : v) sum += x;
    EXPECT_EQ(sum, 18);
    std::sort(v.begin(), v.end());
    EXPECT_EQ(v, (qx::vector<int>{1, 3, 5, 9}));
    EXPECT_EQ(std::find(v.begin(), v.end(), 5) - v.begin(), 2);
    EXPECT_EQ(std::find(v.begin(), v.end(), 4), v.end());
    EXPECT_LT((qx::vector<int>{1, 3}), v);
    EXPECT_LT(v, (qx::vector<int>{1, 3, 6}));
    EXPECT_FALSE(v < v);
    EXPECT_NE(v, (qx::vector<int>{1, 3, 5}));
    EXPECT_EQ(v.at(3), 9);
    EXPECT_THROW(v.at(4), std::out_of_range);
    EXPECT_THROW(v.at(-1), std::out_of_range);
    static_assert(!qx::is_relocatable<std::string>::value, "strings point into themselves");
    static_assert(qx::vector<int>::s_typeUtil.destroyOne == nullptr, "no calls to destroy ints");
}

TEST(VectorStd, MoveOnlyElements) {
    qx::vector<std::unique_ptr<int>> v;
    for (int i = 0; i < 10; ++i) v.push_back(std::make_unique<int>(i));
    v.emplace_back(new int(10));
    auto p = std::make_unique<int>(-1);
    v.insert(v.begin(), std::move(p));
    v.emplace(v.begin() + 1, new int(-2));
    v.erase(v.begin() + 2);
    v.erase(v.begin() + 5, v.begin() + 7);
    v.pop_back();
    qx::vector<std::unique_ptr<int>> w(std::move(v));
    w.resize(10);
    std::vector<int> got;
    for (const auto& q : w) got.push_back(q ? *q : 99);
    EXPECT_EQ(got, (std::vector<int>{-1, -2, 1, 2, 3, 6, 7, 8, 9, 99}));
    EXPECT_EQ(v.size() + v.capacity(), 0);  // moved from: empty and usable
    v.emplace_back(new int(5));
    EXPECT_EQ(*v[0], 5);
}

}  // namespace
