#include "qxbase.h"

#include <gtest/gtest.h>

#include "tracked.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <list>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

using qx::VectorImpl;

using qxtest::CopyFailure;
using qxtest::g_copyBudget;
using qxtest::g_live;
using qxtest::Tracked;

template <class V>
std::vector<int> valuesOf(const V& v) {
    std::vector<int> r;
    for (const auto& t : v) r.push_back(t.value());
    return r;
}

// Element operations on 4-byte ints that count calls and elements, for driving
// VectorImpl directly as a typed front end outside the library would.
struct Counting {
    static inline int calls, built, destroyed;
    static constexpr auto diff = qx::vector<int>::s_typeUtil.difference;
    static void copyOne(void* d, const void* s) {  // negative values fail to copy
        if (*static_cast<const int*>(s) < 0) throw CopyFailure();
        ++calls, ++built, std::memcpy(d, s, 4);
    }
    static void copyRange(void* d, const void* s, int n) {
        ++calls, built += n, std::memcpy(d, s, n * 4u);
    }
    static void destroyOne(void*) { ++calls, ++destroyed; }
    static void destroyRange(void*, int n) { ++calls, destroyed += n; }
    static void init(void* p, int n) {  // 100, 101, ...
        ++calls, built += n;
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
}

TEST(VectorCapacity, MultiElementOperationsSizeExactly) {
    qx::vector<int> v(8, 1), a, big(10), two(2, 5);
    std::vector<int> caps;  // the capacity after each step
    auto note = [&](const qx::vector<int>& x) { caps.push_back(x.capacity()); };
    v.reserve(5), note(v);
    v.insert(v.begin() + 2, 3, 7), note(v);
    const int more[] = {1, 2, 3, 4};
    v.insert(v.begin(), more, more + 4), note(v);
    const std::list<int> listed(5, 9);  // not contiguous: built aside, then one gap
    v.insert(v.end(), listed.begin(), listed.end()), note(v);
    v.resize(23), note(v);
    v.push_back(0), note(v);  // one element at a time grows by the policy from any capacity
    a.assign(v.begin(), v.begin() + 23), note(a);
    a.assign(more, more + 2), note(a);
    big.reserve(64);
    big.impl().append(two.impl()), note(big);
    big = two, note(big);
    EXPECT_EQ(caps, (std::vector<int>{8, 11, 15, 20, 23, 31, 23, 23, 12, 2}));
}

TEST(VectorCapacity, StorageIsReleasedOnlyOnRequest) {
    qx::vector<int> v;
    for (int i = 0; i < 40; ++i) v.push_back(i);
    v.erase(v.begin(), v.begin() + 10);
    v.resize(3);
    v.clear();
    EXPECT_EQ(v.capacity(), 64);

    const qx::vector<int> empty;
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
}

TEST(VectorImplRaw, NullAndNoOpDestroyEntriesBothWork) {
    for (const VectorImpl::TypeUtil* rec : {&kNullDestroy, &kCounting}) {
        const bool counting = rec->destroyOne != nullptr;
        Counting::built = Counting::destroyed = 0;
        {
            RawVec v(rec);
            for (int i = 0; i < 10; ++i) v.append(&i);
            EXPECT_EQ(v.erase(v.ints() + 1), v.ints() + 1);
            EXPECT_EQ(v.erase(v.ints() + 2, v.ints() + 5), v.ints() + 2);
            EXPECT_EQ(v.erase(v.ints() + 5), v.ints() + 5);  // the last: now the end
            v.eraseBack();
            EXPECT_EQ(v.values(), (std::vector<int>{0, 2, 6, 7}));
            EXPECT_EQ(Counting::destroyed, counting ? 6 : 0);
            v.setSize(2, static_cast<VectorImpl::InitRangeFn>(nullptr));
            v.clear();
        }
        EXPECT_EQ(Counting::destroyed, counting ? Counting::built : 0);
    }
}

TEST(VectorImplRaw, FillSetSizeInsertAndSelfCopy) {
    Counting::calls = Counting::destroyed = 0;
    const int seven = 7, bad = -1;
    RawVec v(3, &seven, &kCounting), none(0, &seven, &kCounting), r(2, Counting::init, &kCounting);
    EXPECT_EQ(none.ints(), nullptr);
    none.clear();
    int* const data = v.ints();
    v.setSize(3, &seven);
    v.setSize(3, Counting::init);
    v.copy(v);
    EXPECT_EQ(Counting::calls, 4);  // the constructors' only
    EXPECT_EQ(v.ints(), data);

    v.setSize(5, Counting::init);
    v.setSize(6, &seven);
    EXPECT_EQ(v.capacity(), 6);
    void* gap =
        v.insert(v.ints(), &seven, [](void* d, const void*) { *static_cast<int*>(d) = -9; });
    EXPECT_EQ(gap, v.ints());
    EXPECT_EQ(v.capacity(), 14);
    EXPECT_THROW(v.append(&bad), CopyFailure);  // a failed copy leaves the vector as it was
    EXPECT_THROW(v.insert(v.ints() + 1, &bad), CopyFailure);
    v.append(r);
    EXPECT_EQ(v.values(), (std::vector<int>{-9, 7, 7, 7, 100, 101, 7, 100, 101}));
    Counting::calls = 0;
    v.setSize(0, &seven);  // one range destroy over all, storage kept
    EXPECT_EQ(v.capacity(), 9);
    EXPECT_EQ(r.setCapacity(0), nullptr);  // destroys, then frees
    EXPECT_EQ(r.size() + r.capacity(), 0);
    EXPECT_EQ(Counting::calls, 2);
    EXPECT_EQ(Counting::destroyed, 11);
}

template <class T>
T makeValue(int i) {
    static int pool[1000];
    if constexpr (std::is_pointer<T>::value)
        return &pool[i];
    else
        return T(i);
}

// Random operations on two qx::vectors and the same on two std::vectors as the
// model; what each operation returns and the contents are compared every step.
template <class T>
void runDifferential(unsigned seed) {
    const int liveBefore = g_live;
    std::mt19937 rng(seed);
    auto rnd = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto index = [](auto& x, auto it) -> std::ptrdiff_t { return it - x.begin(); };
    qx::vector<T> a, b;
    std::vector<T> ma, mb;
    for (int step = 0; step < 3000; ++step) {
        if (rnd(2)) std::swap(a, b), std::swap(ma, mb);  // by moves; either vector is changed
        if (a.size() > 300) a.clear(), ma.clear();       // keeps the sizes bounded
        const int op = rnd(17), pos = rnd(a.size() + 1), n = rnd(20);
        const int k = std::min(n, a.size() - pos);
        const T value = makeValue<T>(rnd(1000));
        std::vector<T> src;
        for (int i = rnd(12); i > 0; --i) src.push_back(makeValue<T>(rnd(1000)));
        auto apply = [&](auto& x, auto& y) -> std::ptrdiff_t {  // y: the other vector
            const auto at = x.begin() + pos;
            if (op == 0) x.push_back(value);
            if (op == 1) return index(x, x.insert(at, value));  // the storage may move
            if (op == 2) return index(x, x.insert(at, n, value));
            if (op == 3) return index(x, x.insert(at, src.data(), src.data() + src.size()));
            if (op == 4) return index(x, x.insert(at, src.begin(), src.end()));  // built aside
            if (op == 5 && !x.empty()) return index(x, x.erase(x.begin() + pos % x.size()));
            if (op == 6) return index(x, x.erase(at, at + k));
            if (op == 7 && !x.empty()) x.pop_back();
            if (op == 8) x.resize(pos + n);
            if (op == 9) x.resize(pos + n, value);
            if (op == 10) x.reserve(pos + n);
            if (op == 11) x.clear();
            if (op == 12) x.assign(n, value);
            if (op == 13) x.assign(src.data(), src.data() + src.size());
            if (op == 14) x = y;
            if (op == 15) x.swap(y), x.shrink_to_fit();
            if (op == 16) x = std::decay_t<decltype(x)>(y);  // copy, then move
            return -1;
        };
        SCOPED_TRACE(testing::Message() << "step " << step << " op " << op);
        ASSERT_EQ(apply(a, b), apply(ma, mb));
        ASSERT_TRUE(std::equal(ma.begin(), ma.end(), a.begin(), a.end()));
        ASSERT_TRUE(std::equal(mb.begin(), mb.end(), b.begin(), b.end()));
        ASSERT_GE(a.capacity(), a.size());
        if (std::is_same<T, Tracked>::value) {
            const size_t held = a.size() + b.size() + ma.size() + mb.size();
            ASSERT_EQ(static_cast<size_t>(g_live - liveBefore), held + 1 + src.size());
        }
    }
}

TEST(VectorDifferential, TrivialAndOwningTypes) {
    const int live = g_live;
    runDifferential<int>(1234u);
    runDifferential<int*>(5678u);
    runDifferential<Tracked>(9012u);
    EXPECT_EQ(g_live, live);
}

// Runs op on a vector holding 0 .. size-1 with the k-th copy failing, for
// k = 1, 2, ... until op succeeds; each failure must leave the vector as it
// was. Returns the number of failures, that is the copies op makes.
template <class Op>
int throwsLeavingVectorUnchanged(int size, Op op) {
    for (int k = 1;; ++k) {
        qx::vector<Tracked> v;
        v.reserve(8);
        for (int i = 0; i < size; ++i) v.emplace_back(i);
        const std::vector<int> before = valuesOf(v);
        const int live = g_live;
        g_copyBudget = k;
        try {
            op(v);
            g_copyBudget = 0;
            return k - 1;
        } catch (const CopyFailure&) {
            g_copyBudget = 0;
            EXPECT_EQ(valuesOf(v), before) << "copy " << k;
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
    std::sort(v.begin(), v.end());
    EXPECT_EQ(v, (qx::vector<int>{1, 3, 5, 9}));
    EXPECT_TRUE((qx::vector<int>{1, 3}) < v && !(v < v) && v != qx::vector<int>({1, 3, 5}));
    EXPECT_EQ(v.at(3), 9);
    EXPECT_THROW(v.at(4), std::out_of_range);
    EXPECT_THROW(v.at(-1), std::out_of_range);
    static_assert(!qx::is_relocatable<std::string>::value, "strings point into themselves");
    static_assert(qx::vector<int>::s_typeUtil.destroyOne == nullptr, "no calls to destroy ints");
}

TEST(VectorStd, MoveOnlyElements) {
    qx::vector<std::unique_ptr<int>> v;
    for (int i = 0; i < 10; ++i) v.push_back(std::make_unique<int>(i));
    v.insert(v.begin(), std::make_unique<int>(-1));
    v.erase(v.begin() + 2);
    v.erase(v.begin() + 5, v.begin() + 7);
    v.pop_back();
    qx::vector<std::unique_ptr<int>> w(std::move(v));
    w.resize(8);
    std::vector<int> got;
    for (const auto& q : w) got.push_back(q ? *q : 99);
    EXPECT_EQ(got, (std::vector<int>{-1, 0, 2, 3, 4, 7, 8, 99}));
    EXPECT_EQ(v.size() + v.capacity(), 0);  // moved from: empty
}

}  // namespace
