#include "qxbase.h"

#include <gtest/gtest.h>

#include "tracked.h"

#include <algorithm>
#include <climits>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

using qx::RBTreeImpl;
using Node = RBTreeImpl::Node;

// --- the invariant checker --------------------------------------------------------

struct Checker {
    const RBTreeImpl& t;
    std::string fault;
    int visited = 0;

    const void* key(const Node* n) const {
        return reinterpret_cast<const char*>(n) + t.typeUtil()->keyOffset;
    }
    // Black height of the subtree at n, checking links and colours on the way.
    int blackHeight(const Node* n, const Node* parent) {
        if (!n || !fault.empty()) return 1;
        if (++visited > t.size()) return fault = "more nodes than size()", 1;
        if (n->parent != parent) fault = "broken parent link";
        if (n->colour != RBTreeImpl::kRed && n->colour != RBTreeImpl::kBlack) fault = "bad colour";
        if (n->colour == RBTreeImpl::kRed && parent->colour == RBTreeImpl::kRed) fault = "red-red";
        const int l = blackHeight(n->left, n), r = blackHeight(n->right, n);
        if (l != r) fault = "unequal black heights";
        return l + (n->colour == RBTreeImpl::kBlack);
    }
    std::string run() {
        const Node* h = t.end();
        if (h->colour != RBTreeImpl::kRed) return "header not red";
        if (!t.root())
            return t.size() == 0 && t.begin() == h && t.rightmost() == h ? "" : "bad empty header";
        if (t.root()->colour != RBTreeImpl::kBlack) return "red root";
        blackHeight(t.root(), h);
        if (!fault.empty()) return fault;
        if (visited != t.size()) return "size() is not the node count";
        if (t.begin() != RBTreeImpl::sFindLeftMost(t.root())) return "bad leftmost";
        if (t.rightmost() != RBTreeImpl::sFindRightMost(t.root())) return "bad rightmost";
        // Both walks visit every node, keys never decrease.
        int steps = 0;
        for (const Node* n = t.begin(); n != h; n = n->next(), ++steps)
            if (steps > t.size() ||
                (n->next() != h && t.typeUtil()->keyLess(key(n->next()), key(n))))
                return "in-order walk out of order";
        for (const Node* n = h; n != t.begin(); n = n->prev(), --steps)
            if (steps < 0) return "backward walk too long";
        return steps == 0 && t.sDistanceBetween(t.begin(), h) == t.size() ? "" : "walks differ";
    }
};

::testing::AssertionResult valid(const RBTreeImpl& t) {
    Checker checker{t, {}};
    const std::string fault = checker.run();
    if (fault.empty()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << fault;
}

// --- element types ---------------------------------------------------------------------

using qxtest::CopyFailure;
using qxtest::g_copyBudget;
using qxtest::g_live;
using qxtest::Tracked;

// Keys and values long enough to live on the heap.
std::string longText(int n) {
    return "element-" + std::to_string(n) + "-with-heap-storage";
}

// --- fixed cases -------------------------------------------------------------------------

TEST(RBTree, FirstInsertionsLinkAndColourAsExpected) {
    qx::set<int> s;
    for (int k : {3, 1, 2}) s.insert(k);
    const RBTreeImpl& t = s.impl();
    EXPECT_TRUE(valid(t));  // a black root under the header, the rest as the model checks
    EXPECT_EQ(*reinterpret_cast<const int*>(reinterpret_cast<const char*>(t.root()) + 32), 2);
    EXPECT_EQ(t.end()->prev(), t.rightmost());

    // Node layout: key at 32, value at the record's offset, 10 nodes a block.
    qx::map<char, double> m{{'a', 1.5}};
    const RBTreeImpl& mt = m.impl();
    const char* node = reinterpret_cast<const char*>(mt.begin());
    EXPECT_EQ(reinterpret_cast<const char*>(&m.begin()->first), node + 32);
    EXPECT_EQ(reinterpret_cast<const char*>(&m.begin()->second), node + mt.typeUtil()->valueOffset);
    EXPECT_EQ(mt.typeUtil()->valueOffset, 40);
    EXPECT_EQ(mt.allocator().elementsInBlock(), 10);
    EXPECT_EQ(mt.typeUtil()->destroyKey, nullptr);  // trivial types cost no calls
    EXPECT_FALSE((qx::is_relocatable<qx::map<char, double>>::value));
    EXPECT_FALSE(qx::is_relocatable<qx::multiset<int>>::value);
}

TEST(RBTree, UniqueAndEqualKeys) {
    g_copyBudget = 0;
    {
        qx::map<int, Tracked> m;
        auto first = m.emplace(5, 50);
        const std::pair<const int, Tracked> again(5, 99);
        const int live = g_live;
        auto second = m.insert(again);  // an equal key: nothing is copied
        EXPECT_TRUE(first.second);
        EXPECT_FALSE(second.second);
        EXPECT_EQ(second.first, first.first);
        EXPECT_EQ(g_live, live);
        Tracked moved(7);
        EXPECT_FALSE(m.try_emplace(5, std::move(moved)).second);
        EXPECT_EQ(moved.value(), 7);  // try_emplace leaves it alone
        EXPECT_EQ(m.insert(m.begin(), again), first.first);
        EXPECT_EQ(m.at(5).value(), 50);
        EXPECT_THROW(m.at(6), std::out_of_range);
        EXPECT_TRUE(m.insert_or_assign(5, Tracked(51)).second == false && m[5].value() == 51);

        // operator[] inserts one value-initialised element and finds it again,
        // for a key it copies (through the record) and for one it moves.
        qx::map<std::string, int> counts;
        const std::string key = longText(1);
        int* slot = &counts[key];
        EXPECT_EQ(*slot, 0);
        ++counts[longText(1)];
        EXPECT_EQ(slot, &counts[key]);
        ++counts[longText(2)];
        EXPECT_EQ(counts.size(), 2);
        EXPECT_EQ(*slot, 1);
    }
    EXPECT_EQ(g_live, 0);
}

TEST(RBTree, ErasureRelinksNodesAndKeepsTheirMemory) {
    qx::set<int> s;
    std::vector<const int*> where(64);
    for (int k = 0; k < 64; ++k) where[k] = &*s.insert(k).first;
    const RBTreeImpl& t = s.impl();
    // Erasing nodes with two children (the root among them) moves no key.
    while (s.size() > 32) {
        const int k = *reinterpret_cast<const int*>(reinterpret_cast<const char*>(t.root()) + 32);
        s.erase(k);
        where[k] = nullptr;
        ASSERT_TRUE(valid(t));
    }
    for (int k = 0; k < 64; ++k)
        if (where[k]) {
            EXPECT_EQ(&*s.find(k), where[k]);
        }
    // clear() keeps the blocks; new nodes come off the free list.
    EXPECT_EQ(t.allocator().numFreed(), 32);
    s.clear();
    EXPECT_TRUE(valid(t));
    EXPECT_EQ(t.allocator().numFreed(), 64);
    s.insert({1, 2, 3});
    EXPECT_EQ(t.allocator().numFreed(), 61);
    EXPECT_EQ(s.erase(s.begin(), s.end()), s.end());
    EXPECT_TRUE(s.empty() && valid(t));
}

TEST(RBTree, TreesOfMoveOnlyValues) {
    qx::map<int, std::unique_ptr<int>> m;
    for (int i = 0; i < 20; ++i) m.emplace(i, std::make_unique<int>(i * i));
    m.try_emplace(m.end(), 20, new int(400));
    m[21] = std::make_unique<int>(441);
    for (auto it = m.begin(); it != m.end();) it = *it->second % 2 ? m.erase(it) : std::next(it);
    EXPECT_EQ(m.size(), 11);
    qx::map<int, std::unique_ptr<int>> other(std::move(m));
    EXPECT_EQ(*other.at(20), 400);
    EXPECT_TRUE(valid(other.impl()));
}

TEST(RBTree, EveryElementIsDestroyedOnceEvenWhenCopiesThrow) {
    {
        using TMap = qx::map<Tracked, Tracked>;
        TMap m;
        for (int i = 0; i < 40; ++i) m.emplace(i, 10 * i);
        const TMap::value_type v(Tracked(100), Tracked(1));
        const Tracked missing(200);
        TMap target{{1, 1}};
        const int live = g_live;
        for (int budget : {1, 2}) {  // the pair's key copy, then its value copy
            g_copyBudget = budget;
            EXPECT_THROW(m.insert(v), CopyFailure);
            g_copyBudget = budget;
            EXPECT_THROW(m.insert(m.end(), v), CopyFailure);
            g_copyBudget = budget;
            EXPECT_THROW(m.emplace(v), CopyFailure);
        }
        g_copyBudget = 1;
        EXPECT_THROW(m[missing], CopyFailure);
        for (int budget : {1, 2, 30}) {  // a copy failing midway is taken down
            g_copyBudget = budget;
            EXPECT_THROW(TMap copy(m), CopyFailure);
        }
        g_copyBudget = 30;
        EXPECT_THROW(target = m, CopyFailure);
        EXPECT_TRUE(valid(target.impl()));
        EXPECT_EQ(g_live, live - 2 + 2 * target.size());
        EXPECT_EQ(m.size(), 40);
        EXPECT_TRUE(valid(m.impl()));
        g_copyBudget = 0;
    }
    EXPECT_EQ(g_live, 0);
}

// --- random sequences against the standard containers ------------------------------------

template <class T>
struct IsPair : std::false_type {};
template <class A, class B>
struct IsPair<std::pair<A, B>> : std::true_type {};
template <class E>
const auto& keyOf(const E& e) {
    if constexpr (IsPair<E>::value)
        return e.first;
    else
        return e;
}

// The elements in order, as a vector both sides can be compared by.
template <class C>
std::vector<typename C::value_type> contents(const C& c) {
    return {c.begin(), c.end()};
}

// Where the non-unique hinted insertion puts k: directly before h when k
// fits there, directly after h when it fits there, else after all equal keys.
template <class M, class K>
typename M::iterator multiPlace(M& m, typename M::iterator h, const K& k) {
    if (h != m.end()) {
        const bool afterPrev = h == m.begin() || !(k < keyOf(*std::prev(h)));
        if (!(keyOf(*h) < k) && afterPrev) return h;
        const auto a = std::next(h);
        if (keyOf(*h) < k && (a == m.end() || !(keyOf(*a) < k))) return a;
    }
    return m.upper_bound(k);
}

template <class Q, class M, bool Multi, class MakeElement>
void compareWithModel(unsigned seed, int steps, MakeElement make) {
    std::mt19937 rng(seed);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    Q q, side;
    M m, mside;
    auto at = [](auto& c, int i) { return std::next(c.begin(), i); };
    auto index = [](auto& c, auto it) { return static_cast<int>(std::distance(c.begin(), it)); };
    for (int step = 0; step < steps; ++step) {
        const auto e = make(pick(120), step);
        const auto& k = keyOf(e);
        // Mostly insertions, so that trees grow to about a hundred elements.
        const int roll = pick(32);
        const int op = roll < 12 ? roll % 5 : roll < 14 ? 5 : roll < 16 ? 6 : roll - 9;
        if (op <= 4) {  // insert: no hint, good hints, a random hint, emplaced
            const int size = q.size();
            const int h = op == 1   ? index(q, q.lower_bound(k))
                          : op == 2 ? index(q, q.upper_bound(k))
                                    : pick(size + 1);
            typename Q::iterator it;
            if constexpr (Multi) {
                auto mp = op == 0 ? m.upper_bound(k) : multiPlace(m, at(m, h), k);
                const int expected = index(m, mp);
                m.insert(mp, e);
                it = op == 0   ? q.insert(e)
                     : op == 4 ? q.emplace_hint(at(q, h), e)
                               : q.insert(at(q, h), e);
                ASSERT_EQ(index(q, it), expected) << step;
            } else {
                const auto present = q.find(k);
                m.insert(e);
                it = op == 0   ? q.insert(e).first
                     : op == 4 ? q.emplace_hint(at(q, h), e)
                               : q.insert(at(q, h), e);
                ASSERT_TRUE(present == q.end() ? q.size() == size + 1 : it == present) << step;
            }
            ASSERT_FALSE(keyOf(*it) < k || k < keyOf(*it)) << step;
        } else if (op == 5 && step % 2) {
            const auto r = q.emplace(e);
            if constexpr (Multi)
                m.insert(e), (void)r;
            else
                ASSERT_EQ(r.second, m.insert(e).second) << step;
        } else if (op == 5) {  // the library's own insertion, copying through the record
            const void* value = nullptr;
            if constexpr (IsPair<std::decay_t<decltype(e)>>::value) value = &e.second;
            const int size = q.size();
            if constexpr (Multi) {
                q.impl().insertNodeNonUnique(&k, value);
                m.insert(e);
            } else {
                const Node* n = q.impl().insertNodeUnique(&k, value);
                ASSERT_TRUE(n == q.find(k).node()) << step;
                ASSERT_EQ(q.size() == size + 1, m.insert(e).second) << step;
            }
        } else if (op == 6) {
            ASSERT_EQ(q.erase(k), static_cast<int>(m.erase(k))) << step;
        } else if (op == 7 && !m.empty()) {
            const int i = pick(q.size());
            ASSERT_EQ(index(q, q.erase(at(q, i))), index(m, m.erase(at(m, i)))) << step;
        } else if (op == 8 && !m.empty()) {
            const int i = pick(q.size()), j = i + pick(std::min(q.size() - i, 8) + 1);
            q.erase(at(q, i), at(q, j));
            m.erase(at(m, i), at(m, j));
        } else if (op == 9 && pick(4) == 0) {  // erasure during iteration
            const int r = pick(3);
            int i = 0;
            for (auto it = q.begin(); it != q.end(); ++i)
                it = i % 3 == r ? q.erase(it) : std::next(it);
            i = 0;
            for (auto it = m.begin(); it != m.end(); ++i)
                it = i % 3 == r ? m.erase(it) : std::next(it);
        } else if (op == 10) {  // swap with a second tree, itself sometimes empty
            q.swap(side);
            m.swap(mside);
            if (pick(4) == 0) side.clear(), mside.clear();
            ASSERT_TRUE(valid(side.impl())) << step;
        } else if (op == 11) {  // copies, into itself too, and moves
            const Q& self = q;
            q = self;
            Q copy(q);
            side = copy;
            mside = m;
            q = std::move(copy);
            ASSERT_TRUE(copy.empty() && valid(copy.impl()) && valid(side.impl())) << step;
        } else if (op == 12 && pick(20) == 0) {
            q.clear();
            m.clear();
        } else {  // lookups
            const auto& cq = q;
            ASSERT_EQ(index(cq, cq.lower_bound(k)), index(m, m.lower_bound(k))) << step;
            ASSERT_EQ(index(cq, cq.upper_bound(k)), index(m, m.upper_bound(k))) << step;
            const auto r = q.equal_range(k);
            ASSERT_EQ(index(q, r.second) - index(q, r.first), static_cast<int>(m.count(k)));
            ASSERT_EQ(q.count(k), static_cast<int>(m.count(k))) << step;
            ASSERT_EQ(q.contains(k), m.count(k) > 0) << step;
            ASSERT_EQ(q.find(k) == q.end(), m.find(k) == m.end()) << step;
        }
        ASSERT_TRUE(valid(q.impl())) << step << " op " << op;
        ASSERT_EQ(q.size(), static_cast<int>(m.size())) << step;
        ASSERT_EQ(contents(q), contents(m)) << step << " op " << op;
    }
    ASSERT_EQ(contents(side), contents(mside));
    using Elements = decltype(contents(m));  // backwards as well
    ASSERT_EQ(Elements(q.rbegin(), q.rend()), Elements(m.rbegin(), m.rend()));
}

TEST(RBTree, RandomOperationsMatchTheStandardContainers) {
    auto key = [](int k, int) { return k; };
    auto text = [](int k, int) { return longText(k); };
    auto pair = [](int k, int step) { return std::make_pair(k, step); };
    auto textPair = [](int k, int step) { return std::make_pair(longText(k), longText(step)); };
    compareWithModel<qx::set<int>, std::set<int>, false>(1, 3000, key);
    compareWithModel<qx::set<std::string>, std::set<std::string>, false>(2, 2000, text);
    compareWithModel<qx::multiset<int>, std::multiset<int>, true>(3, 3000, key);
    compareWithModel<qx::multiset<std::string>, std::multiset<std::string>, true>(4, 2000, text);
    compareWithModel<qx::map<int, int>, std::map<int, int>, false>(5, 3000, pair);
    compareWithModel<qx::map<std::string, std::string>, std::map<std::string, std::string>, false>(
        6, 2000, textPair);
    // The value tells equal keys apart: their order is checked too.
    compareWithModel<qx::multimap<int, int>, std::multimap<int, int>, true>(7, 4000, pair);
    compareWithModel<qx::multimap<std::string, std::string>,
                     std::multimap<std::string, std::string>, true>(8, 2000, textPair);
    auto tracked = [](int k, int step) { return std::make_pair(Tracked(k), Tracked(step)); };
    compareWithModel<qx::multimap<Tracked, Tracked>, std::multimap<Tracked, Tracked>, true>(
        9, 2000, tracked);
    EXPECT_EQ(g_live, 0);
}

TEST(RBTree, LargeTreesStayBalanced) {
    std::mt19937 rng(99);
    std::vector<int> keys(5000);
    for (int i = 0; i < 5000; ++i) keys[i] = i;
    std::shuffle(keys.begin(), keys.end(), rng);
    qx::multiset<int> up, down, random;
    for (int i = 0; i < 5000; ++i) {
        up.insert(up.end(), i);  // sorted input through the end hint
        down.insert(down.begin(), 4999 - i);
        random.insert(keys[i] / 2);
    }
    for (const auto* t : {&up, &down, &random}) EXPECT_TRUE(valid(t->impl()));
    EXPECT_TRUE(up == down);
    for (int i = 0; i < 5000; ++i) {
        random.erase(random.find(keys[i] / 2));
        if (i % 499 == 0) {
            ASSERT_TRUE(valid(random.impl())) << i;
        }
    }
    EXPECT_TRUE(random.empty() && valid(random.impl()));
}

}  // namespace
