#include "qxbase.h"

#include <gtest/gtest.h>

#include "tracked.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

using qx::HashTableImpl;
using Node = HashTableImpl::HashNodeImpl;
using Pairs = std::vector<std::pair<int, int>>;

// Element operations on an int key at 16 and an int value at 20 that count
// their calls. Destroyed keys are poisoned so that later use shows.
struct Ops {
    static inline int copies, inits, keyDrops, valueDrops;
    static void reset() { copies = inits = keyDrops = valueDrops = 0; }
    static bool eq(const void* a, const void* b) { return !std::memcmp(a, b, 4); }
    static void copy(void* d, const void* s) { ++copies, std::memcpy(d, s, 4); }
    static void init(void* d) { ++inits, *static_cast<int*>(d) = -7; }
    static void dropKey(void* p) { ++keyDrops, *static_cast<int*>(p) = INT_MIN; }
    static void dropValue(void*) { ++valueDrops; }
    static int at(const Node* n, int offset) {
        return *reinterpret_cast<const int*>(reinterpret_cast<const char*>(n) + offset);
    }
};
const HashTableImpl::TypeUtil kMap = {
    24, 1, 16, 16, 20, Ops::eq, Ops::copy, Ops::copy, Ops::init, Ops::dropKey, Ops::dropValue};
// A set: its value shares the key's place, so dropValue must never run.
const HashTableImpl::TypeUtil kSet = {
    24, 0, 16, 16, 16, Ops::eq, Ops::copy, nullptr, nullptr, Ops::dropKey, Ops::dropValue};

// The caller's side of an insertion: room first, then the _noresize call. A
// key is its own hash, which puts k and k + 7 in one bucket of 7.
Node* put(HashTableImpl& t, int key, int value = 0, bool multi = false) {
    t.rehash(t.size() + 1);
    const void* v = t.typeUtil()->hasValue ? &value : nullptr;
    const auto h = static_cast<unsigned long long>(key);
    return multi ? t.insert_non_unique_noresize(h, &key, v) : t.insert_unique_noresize(h, &key, v);
}
std::vector<const Node*> nodes(const HashTableImpl& t) {
    std::vector<const Node*> r;
    for (const Node* n = t.firstNode(); n; n = n->nextItem(t)) r.push_back(n);
    return r;
}
Pairs contents(const HashTableImpl& t) {
    Pairs r;
    for (const Node* n : nodes(t))
        r.emplace_back(Ops::at(n, 16), t.typeUtil()->hasValue ? Ops::at(n, 20) : 0);
    std::sort(r.begin(), r.end());
    return r;
}

TEST(HashTableImpl, BucketCountsFollowThePrimeTable) {
    HashTableImpl t(&kMap), u(&kMap), v(&kMap);
    int k = 3;
    EXPECT_EQ(t.findNode(3, &k), nullptr);  // no buckets to look in
    EXPECT_EQ(t.count(3, &k) + t.eraseKey(3, &k) + t.max_bucket_size(), 0);
    EXPECT_EQ(t.load_factor(), 0.0f);
    std::vector<int> seen;
    for (int i = 1; i <= 8; ++i) seen.push_back(t.bucket_count()), put(t, i);
    EXPECT_EQ(t.load_factor(), 8.0f / 13.0f);
    t.max_load_factor(0.25f);  // room for 32 at once
    u.max_load_factor(0.5f);
    u.rehash(100);            // room for 200
    u.max_load_factor(4.0f);  // never shrinks
    v.max_load_factor(10.0f);
    v.rehash(1);  // wants no bucket at all, still gets the smallest array
    seen.insert(seen.end(), {t.bucket_count(), u.bucket_count(), v.bucket_count()});
    v.rehash(130);  // a prime target is taken as it is
    seen.push_back(v.bucket_count());
    EXPECT_EQ(seen, (std::vector<int>{0, 7, 7, 7, 7, 7, 7, 7, 53, 389, 7, 13}));
    EXPECT_EQ(HashTableImpl::max_bucket_count(), 1610612741);
}

TEST(HashTableImpl, InsertionsAndLookups) {
    HashTableImpl t(&kMap);
    Ops::reset();
    Node* a = put(t, 5, 50);
    EXPECT_EQ(put(t, 5, 99), a);  // unique: the first one stays, nothing copied
    EXPECT_EQ(Ops::copies, 2);
    int five = 5, one = 1;
    EXPECT_EQ(t.findNode(12, &five), nullptr);  // same bucket, other hash: no match
    EXPECT_EQ(t.count(12, &five) + t.eraseKey(12, &five), 0);

    // Multi: a new equal key goes right after the first one, others at the head.
    Node* a1 = put(t, 1, 10, true);
    Node* b1 = put(t, 8, 80, true);
    Node* a2 = put(t, 1, 11, true);
    Node* b2 = put(t, 8, 81, true);
    Node* a3 = put(t, 1, 12, true);
    EXPECT_EQ(nodes(t), (std::vector<const Node*>{b1, b2, a1, a3, a2, a}));
    EXPECT_EQ(t.count(1, &one), 3);
    EXPECT_EQ(t.max_bucket_size(), 5);
    EXPECT_EQ(t.bucket_size(5), 1);
    Ops::reset();
    EXPECT_EQ(t.eraseKey(1, &one), 3);
    EXPECT_EQ(Ops::keyDrops + Ops::valueDrops, 6);
    EXPECT_EQ(contents(t), (Pairs{{5, 50}, {8, 80}, {8, 81}}));
}

TEST(HashTableImpl, GetClearAndDestroy) {
    Ops::reset();
    {
        HashTableImpl t(&kMap), set(&kSet);
        int k = 4;
        Node* n = t.get(4, &k);  // makes room itself, unlike the _noresize insertions
        EXPECT_EQ(t.get(4, &k), n);
        EXPECT_EQ(Ops::at(n, 20), -7);
        EXPECT_EQ(Ops::inits, 1);
        for (int i = 0; i < 20; ++i) put(t, i, i), put(set, i);
        t.eraseNode(t.firstNode());
        t.eraseNode(nullptr);
        t.clear();
        EXPECT_EQ(t.size(), 0);
        EXPECT_EQ(t.bucket_count(), 29);  // the buckets stay
        EXPECT_EQ(t.firstNode(), nullptr);
        EXPECT_EQ(Ops::keyDrops + Ops::valueDrops, 2 * 20);
        put(t, 3, 30);
        EXPECT_EQ(contents(t), (Pairs{{3, 30}}));
    }
    EXPECT_EQ(Ops::keyDrops, 20 + 1 + 20);
    EXPECT_EQ(Ops::valueDrops, 20 + 1);
}

TEST(HashTableImpl, CopyAndSwap) {
    HashTableImpl src(&kMap), dst(&kMap), set(&kSet);
    src.max_load_factor(2.0f);
    for (int i = 0; i < 30; ++i) put(src, i % 12, i, true);
    put(dst, 100, 1);
    dst.copy(&src);
    dst.copy(&dst);
    EXPECT_EQ(contents(dst), contents(src));
    EXPECT_EQ(dst.max_load_factor(), 2.0f);

    put(set, 3);
    const int buckets = dst.bucket_count();
    set.swap(dst);  // the records go along too
    EXPECT_EQ(contents(set), contents(src));
    EXPECT_EQ(contents(dst), (Pairs{{3, 0}}));
    EXPECT_EQ(set.bucket_count(), buckets);
    EXPECT_EQ(set.max_load_factor(), 2.0f);
    EXPECT_EQ(dst.max_load_factor(), 1.0f);
}

TEST(HashTables, TraitAndWideKeys) {
    EXPECT_EQ(qx::hash<std::string>()("abc"), 0x81DF57C8u);
    qx::hash_set<unsigned long long> s{1, 1 + (1ull << 32), 1 + (2ull << 32), 1};
    EXPECT_EQ(s.size(), 3);
}

template <class K, class It>
std::vector<std::pair<K, int>> sorted(It first, It last) {
    std::vector<std::pair<K, int>> r;
    for (; first != last; ++first) r.emplace_back(first->first, first->second);
    std::sort(r.begin(), r.end());
    return r;
}

// Random operations on a qx table and on the standard one; after each step the
// contents, and the run of the key just used, must agree.
template <class Q, class S, bool Multi, class MakeKey>
void compareWithModel(unsigned seed, MakeKey makeKey) {
    using K = typename Q::key_type;
    Q q;
    S s;
    std::mt19937 rng(seed);
    for (int step = 0; step < 3000; ++step) {
        const K k = makeKey(static_cast<int>(rng() % 200));
        const int v = static_cast<int>(rng() % 1000), op = static_cast<int>(rng() % 7);
        if (op < 3) {
            const bool fresh = Multi || !s.count(k);
            const typename Q::value_type e(k, v);
            auto r = op ? q.insert(e) : q.emplace(k, v);
            EXPECT_TRUE(r.first->first == k && r.second == fresh);
            s.emplace(k, v);
        } else if (op == 3) {
            EXPECT_EQ(q.erase(k), static_cast<int>(s.erase(k)));
        } else if (auto it = q.find(k); op == 4 && it != q.end()) {  // one, by iterator
            auto r = s.equal_range(k);
            s.erase(
                std::find_if(r.first, r.second, [&](auto& e) { return e.second == it->second; }));
            const auto next = std::next(it);
            EXPECT_EQ(q.erase(it), next);
        } else if (op == 5) {  // all of a key, as a range
            auto r = q.equal_range(k);
            EXPECT_EQ(q.erase(r.first, r.second), r.second);
            s.erase(k);
        } else if (op == 6) {
            Q copy(q);
            q = std::move(copy);
        }
        const auto qr = q.equal_range(k);
        const auto sr = s.equal_range(k);
        ASSERT_EQ(sorted<K>(qr.first, qr.second), sorted<K>(sr.first, sr.second)) << step;
        ASSERT_EQ(q.count(k), static_cast<int>(s.count(k)));
        ASSERT_EQ(sorted<K>(q.begin(), q.end()), sorted<K>(s.begin(), s.end())) << step;
    }
    EXPECT_GT(q.bucket_count(), 97);
}

TEST(HashTables, MatchTheStandardContainers) {
    compareWithModel<qx::hash_multimap<int, int>, std::unordered_multimap<int, int>, true>(
        12345, [](int n) { return n; });
    compareWithModel<qx::hash_map<std::string, int>, std::unordered_map<std::string, int>, false>(
        777, [](int n) { return std::string(n % 23, '*') + std::to_string(n); });
}

using qxtest::CopyFailure;
using qxtest::g_copyBudget;
using qxtest::g_live;
using qxtest::Tracked;
struct TrackedHash {
    unsigned operator()(const Tracked& t) const { return qx::hash<int>()(t.value()); }
};
using TMap = qx::hash_map<Tracked, Tracked, TrackedHash>;

Pairs snapshot(const TMap& m) {
    Pairs r;
    for (const auto& e : m) r.emplace_back(e.first.value(), e.second.value());
    std::sort(r.begin(), r.end());
    return r;
}

TEST(HashTables, EveryElementIsDestroyedOnceEvenWhenCopiesThrow) {
    {
        TMap m;
        for (int i = 0; i < 50; ++i) m.emplace(Tracked(i), Tracked(10 * i));
        EXPECT_FALSE(m.emplace(Tracked(3), Tracked(0)).second);  // its node goes again
        m[Tracked(60)];
        m.erase(m.find(Tracked(6)));
        EXPECT_EQ(m.erase(Tracked(5)), 1);
        EXPECT_EQ(g_live, 98);
        {
            TMap copy(m), assigned, moved;
            assigned[Tracked(1)];
            assigned = copy;
            moved = std::move(copy);
            EXPECT_EQ(snapshot(assigned), snapshot(m));
            EXPECT_EQ(g_live, 98 * 3);
        }
        const auto before = snapshot(m);
        const auto* slot = &*m.find(7);
        m.erase(7);  // its node is next in line, for every insertion below
        const TMap::value_type v(Tracked(100), Tracked(1));
        for (int budget : {1, 2}) {  // the key's copy, then the value's
            g_copyBudget = budget;
            EXPECT_THROW(m.insert(v), CopyFailure);
            g_copyBudget = budget;
            EXPECT_THROW(m.emplace(v), CopyFailure);
        }
        g_copyBudget = 1;
        EXPECT_THROW(m[Tracked(200)], CopyFailure);
        g_copyBudget = 5;
        EXPECT_THROW(TMap copy(m), CopyFailure);    // the partial copy is taken down
        EXPECT_EQ(&*m.emplace(7, 70).first, slot);  // failed insertions gave it back
        EXPECT_EQ(g_live, 100);
        EXPECT_EQ(snapshot(m), before);
        EXPECT_EQ(m.at(7).value(), 70);
        EXPECT_THROW(m.at(5), std::out_of_range);
    }
    EXPECT_EQ(g_live, 0);
}

}  // namespace
