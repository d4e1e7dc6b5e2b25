#include "qxbase.h"

#include <gtest/gtest.h>

#include "tracked.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <list>
#include <memory>
#include <random>
#include <set>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

using qx::ListImpl;
using Node = ListImpl::Node;

static_assert(!qx::is_relocatable<qx::list<int>>::value, "a list is its own sentinel");
static_assert(std::is_same<std::iterator_traits<qx::list<int>::iterator>::iterator_category,
                           std::bidirectional_iterator_tag>::value,
              "bidirectional");
static_assert(std::is_nothrow_move_constructible<qx::list<int>>::value, "O(1) move");

using qxtest::CopyFailure;
using qxtest::g_copyBudget;
using qxtest::g_live;
using qxtest::Tracked;

int valueOf(int v) {
    return v;
}
int valueOf(const Tracked& t) {
    return t.value();
}

template <class L>
std::vector<int> values(const L& l) {
    std::vector<int> r;
    for (const auto& x : l) r.push_back(valueOf(x));
    return r;
}

// The link invariants: the list object is the sentinel, next and prev mirror
// each other, and both directions visit size nodes.
::testing::AssertionResult linksOk(const ListImpl& l) {
    const Node* end = l.end();
    if (static_cast<const void*>(end) != static_cast<const void*>(&l))
        return ::testing::AssertionFailure() << "end() is not the list object";
    int forward = 0, backward = 0;
    for (const Node* n = end; n->next != end; n = n->next, ++forward) {
        if (n->next->prev != n) return ::testing::AssertionFailure() << "prev of " << forward;
        if (forward > l.size()) return ::testing::AssertionFailure() << "longer than size";
    }
    if (end->next->prev != end) return ::testing::AssertionFailure() << "last node's next";
    for (const Node* n = end->prev; n != end && backward <= l.size(); n = n->prev) ++backward;
    if (forward != l.size() || backward != l.size())
        return ::testing::AssertionFailure()
               << "size " << l.size() << ", walked " << forward << " and " << backward;
    return ::testing::AssertionSuccess();
}

template <class L>
std::vector<const void*> addresses(const L& l) {
    std::vector<const void*> r;
    for (const auto& x : l) r.push_back(&x);
    return r;
}

// --- ListImpl driven directly, as a typed front end outside the library would

// An int at offset 16 in 20-byte nodes, with operations that count calls.
struct Counting {
    static inline int copies, destroys;
    static void copy(void* d, const void* s) { ++copies, std::memcpy(d, s, 4); }
    static void destroy(void* p) { ++destroys, *static_cast<int*>(p) = INT_MIN; }
};
const ListImpl::TypeUtil kCounting = {20, 16, Counting::copy, Counting::destroy};
const ListImpl::TypeUtil kNoDestroy = {20, 16, Counting::copy, nullptr};

// Exposes the protected node-level calls.
class RawList : public ListImpl {
public:
    using ListImpl::append;
    using ListImpl::destructNode;
    using ListImpl::freeNode;
    using ListImpl::ListImpl;
    static int at(const Node* n) {
        return *reinterpret_cast<const int*>(reinterpret_cast<const char*>(n) + 16);
    }
    std::vector<int> ints() const {
        std::vector<int> r;
        for (const Node* n = begin(); n != end(); n = n->next) r.push_back(at(n));
        return r;
    }
    void add(std::initializer_list<int> vs) {
        for (int v : vs) append(&v);
    }
};

TEST(ListImplRaw, LayoutAndAddingForms) {
    RawList l(&kNoDestroy);
    EXPECT_TRUE(linksOk(l));
    void* p = l.appendAndReturnPtr();
    EXPECT_EQ(static_cast<char*>(p) - reinterpret_cast<char*>(l.begin()), 16);
    *static_cast<int*>(p) = 2;
    *static_cast<int*>(l.prependAndReturnPtr()) = 1;
    l.append([](void* e) { *static_cast<int*>(e) = 4; });
    const int three = 3, zero = 0;
    l.insert(l.end()->prev, &three);
    l.prepend(&zero, [](void* d, const void* s) { *static_cast<int*>(d) = *(const int*)s - 1; });
    EXPECT_EQ(l.ints(), (std::vector<int>{-1, 1, 2, 3, 4}));
    const int arr[] = {7, 8, 9};
    Node* firstNew = l.insert(l.begin(), arr, arr + 3, 4, Counting::copy);
    EXPECT_EQ(firstNew, l.begin());
    Node* none = l.begin()->next;
    EXPECT_EQ(l.insert(none, arr, arr, 4, Counting::copy), none);
    l.append(static_cast<const ListImpl&>(l));  // the whole list, onto itself
    EXPECT_EQ(l.size(), 16);
    EXPECT_TRUE(linksOk(l));

    // Pointer lists store the pointer itself.
    static const ListImpl::TypeUtil kPtr = {24, 16, nullptr, nullptr};
    ListImpl ptrs(&kPtr);
    ptrs.appendAndAssignPtr(&arr[1]);
    ptrs.prependAndAssignPtr(&arr[0]);
    ptrs.insertAndAssignPtr(ptrs.end(), &arr[2]);
    std::vector<const void*> got;
    for (Node* n = ptrs.begin(); n != ptrs.end(); n = n->next)
        got.push_back(*reinterpret_cast<const void**>(reinterpret_cast<char*>(n) + 16));
    EXPECT_EQ(got, (std::vector<const void*>{arr, arr + 1, arr + 2}));
}

TEST(ListImplRaw, EraseUnlinkAndDestroyCounts) {
    for (const ListImpl::TypeUtil* rec : {&kNoDestroy, &kCounting}) {
        const int per = rec->destroyElement ? 1 : 0;
        Counting::destroys = 0;
        RawList l(rec);
        l.add({0, 1, 2, 3, 4, 5, 6, 7});
        Node* x = l.begin()->next;
        EXPECT_EQ(l.erase(x, x), x);
        Node* three = x->next->next;
        EXPECT_EQ(l.erase(x, three), three);  // 1 and 2
        Node* taken = l.begin();
        Node* after = l.unlink(taken);
        EXPECT_EQ(after, l.begin());
        l.append(taken);
        l.eraseFront();
        l.eraseBack();
        EXPECT_EQ(l.ints(), (std::vector<int>{4, 5, 6, 7}));
        EXPECT_EQ(Counting::destroys, 4 * per);
        taken = l.end()->prev;
        l.unlink(taken);
        l.destructNode(taken);
        l.freeNode(taken);
        const int five = 5;
        l.erase(&five, [](const Node* from, const Node* end, const void* v) {
            while (from != end && RawList::at(from) < *static_cast<const int*>(v))
                from = from->next;
            return const_cast<Node*>(from);
        });  // every element from 5 up
        EXPECT_EQ(l.ints(), (std::vector<int>{4}));
        EXPECT_EQ(l.erase(l.begin(), l.end()), l.end());
        EXPECT_TRUE(l.empty());
        EXPECT_TRUE(linksOk(l));
        EXPECT_EQ(Counting::destroys, 8 * per);
    }
}

// --- qx::list<T> against std::list<T>, step by step

template <class T>
class ListModel : public ::testing::Test {};
using ElementTypes = ::testing::Types<int, Tracked>;
TYPED_TEST_SUITE(ListModel, ElementTypes);

TYPED_TEST(ListModel, RandomOperationsMatchStdList) {
    using T = TypeParam;
    const int liveBefore = g_live;
    {
        std::mt19937 rng(12345);
        auto rnd = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
        qx::list<T> q[2];
        std::list<int> m[2];
        auto nth = [](auto& c, int i) { return std::next(c.begin(), i); };
        auto pos = [&](int k, int& i) {  // the same random position in both
            i = rnd(static_cast<int>(m[k].size()) + 1);
            return nth(q[k], i);
        };
        for (int step = 0; step < 6000; ++step) {
            const int k = rnd(2), o = 1 - k;
            qx::list<T>& a = q[k];
            std::list<int>& ma = m[k];
            const int v = rnd(50);
            int i = 0, j = 0;
            // Adding is drawn more often than removing, so that sizes wander
            // up to a few hundred; past that the size-making cases pause.
            const int draw = rnd(a.size() > 300 ? 18 : 28);
            const int op = draw < 22 ? draw : draw - 22;
            if (op == 0) a.push_back(T(v)), ma.push_back(v);
            if (op == 1) a.push_front(T(v)), ma.push_front(v);
            if (op == 2) {
                auto it = a.emplace(pos(k, i), v);
                EXPECT_EQ(valueOf(*it), v);
                ma.insert(nth(ma, i), v);
            } else if (op == 3) {
                const int n = rnd(8);
                a.insert(pos(k, i), n, T(v));
                ma.insert(nth(ma, i), n, v);
            } else if (op == 4) {  // an array, another list's range, or a generic range
                const std::vector<T> src = {T(v), T(v + 1), T(v + 2)};
                auto at = pos(k, i);
                auto mit = nth(ma, i);
                if (rnd(2)) {
                    a.insert(at, src.data(), src.data() + 3);
                } else {
                    const std::list<T> s(src.begin(), src.end());
                    a.insert(at, s.begin(), s.end());
                }
                ma.insert(mit, {v, v + 1, v + 2});
            } else if (op == 5) {
                auto it = pos(k, j);
                auto first = nth(q[o], rnd(q[o].size() + 1));
                const int n = static_cast<int>(std::distance(first, q[o].end()));
                auto mfirst = std::prev(m[o].end(), n);
                a.insert(it, first, q[o].end());
                ma.insert(nth(ma, j), mfirst, m[o].end());
            }
            if (op == 6 && !ma.empty()) a.pop_front(), ma.pop_front();
            if (op == 7 && !ma.empty()) a.pop_back(), ma.pop_back();
            if (op == 8 && !ma.empty()) {
                i = rnd(static_cast<int>(ma.size()));
                auto next = a.erase(nth(a, i));
                ma.erase(nth(ma, i));
                EXPECT_EQ(std::distance(a.begin(), next), i);
            } else if (op == 9) {
                i = rnd(static_cast<int>(ma.size()) + 1);
                j = i + rnd(static_cast<int>(ma.size()) - i + 1);
                a.erase(nth(a, i), nth(a, j));
                ma.erase(nth(ma, i), nth(ma, j));
            } else if (op == 10) {  // whole, one element, or a range of the other list
                const int form = rnd(3);
                auto at = pos(k, i);
                auto mat = nth(ma, i);
                if (form == 0) {
                    a.splice(at, q[o]), ma.splice(mat, m[o]);
                } else if (!m[o].empty()) {
                    const int f = rnd(static_cast<int>(m[o].size()));
                    const int l =
                        form == 1 ? f + 1 : f + rnd(static_cast<int>(m[o].size()) - f + 1);
                    if (form == 1)
                        a.splice(at, q[o], nth(q[o], f));
                    else
                        a.splice(at, q[o], nth(q[o], f), nth(q[o], l));
                    ma.splice(mat, m[o], nth(m[o], f), nth(m[o], l));
                }
            } else if (op == 11 && !ma.empty()) {  // within the list, outside the range
                const int n = static_cast<int>(ma.size());
                const int f = rnd(n), l = f + 1 + rnd(n - f);
                const int at = rnd(n - (l - f) + 1);
                const int p = at < f ? at : at + (l - f);
                a.splice(nth(a, p), a, nth(a, f), nth(a, l));
                ma.splice(nth(ma, p), ma, nth(ma, f), nth(ma, l));
                i = rnd(n), j = rnd(n + 1);  // one node, possibly before itself
                a.splice(nth(a, j), a, nth(a, i));
                ma.splice(nth(ma, j), ma, nth(ma, i));
            } else if (op == 12) {
                const int before = static_cast<int>(ma.size());
                ma.remove(v % 10);
                EXPECT_EQ(a.remove(T(v % 10)), before - static_cast<int>(ma.size()));
            } else if (op == 13) {
                auto sevens = [](const auto& x) { return valueOf(x) % 7 == 0; };
                a.remove_if(sevens), ma.remove_if(sevens);
            } else if (op == 14 && rnd(2)) {
                a.unique(), ma.unique();
            } else if (op == 14) {  // of equivalent neighbours the later stays, unlike std::list
                a.unique([](const T& x, const T& y) { return valueOf(x) / 4 == valueOf(y) / 4; });
                for (auto it = ma.begin(); it != ma.end() && std::next(it) != ma.end();)
                    it = *it / 4 == *std::next(it) / 4 ? ma.erase(it) : std::next(it);
            } else if (op == 15) {
                a.sort(), ma.sort();
                q[o].sort(), m[o].sort();
                a.merge(q[o]), ma.merge(m[o]);
            } else if (op == 16) {
                a.sort([](const T& x, const T& y) { return valueOf(y) < valueOf(x); });
                ma.sort([](int x, int y) { return y < x; });
            } else if (op == 19) {
                const int n = rnd(2 * a.size() + 2);
                if (rnd(2))
                    a.resize(n), ma.resize(n, valueOf(T()));
                else
                    a.resize(n, T(v)), ma.resize(n, v);
            } else if (op == 20 && rnd(2)) {
                a = q[o], ma = m[o];
            } else if (op == 20) {
                i = rnd(2 * a.size() + 2), a.assign(i, T(v)), ma.assign(i, v);
            } else if (op == 21) {
                qx::list<T> moved(std::move(a));
                a = std::move(moved);
            }
            if (op == 17) a.reverse(), ma.reverse();
            if (op == 18) a.swap(q[o]), ma.swap(m[o]);
            for (int s = 0; s < 2; ++s) {
                ASSERT_TRUE(linksOk(q[s].impl())) << "step " << step << ", operation " << op;
                ASSERT_EQ(values(q[s]), std::vector<int>(m[s].begin(), m[s].end()))
                    << "step " << step << ", operation " << op;
            }
        }
    }
    EXPECT_EQ(g_live, liveBefore);
}

// --- ordering

struct Keyed {
    int key, seq;
};

TEST(ListSort, StableKeepsNodesAndMatchesStdSort) {
    std::mt19937 rng(7);
    for (int n : {0, 1, 2, 3, 31, 32, 33, 100, 1000, 20000}) {
        for (int pattern = 0; pattern < 3; ++pattern) {  // random, ascending, descending
            qx::list<Keyed> l;
            std::vector<Keyed> ref;
            for (int i = 0; i < n; ++i) {
                const int key = pattern == 0 ? static_cast<int>(rng() % 16)
                                             : (pattern == 1 ? i / 3 : (n - i) / 3);
                l.push_back({key, i});
                ref.push_back({key, i});
            }
            std::set<const void*> nodes;
            for (const Keyed& k : l) nodes.insert(&k);
            l.sort([](const Keyed& a, const Keyed& b) { return a.key < b.key; });
            std::stable_sort(ref.begin(), ref.end(),
                             [](const Keyed& a, const Keyed& b) { return a.key < b.key; });
            ASSERT_TRUE(linksOk(l.impl()));
            std::vector<std::pair<int, int>> got, want;
            for (const Keyed& k : l) got.emplace_back(k.key, k.seq), nodes.erase(&k);
            for (const Keyed& k : ref) want.emplace_back(k.key, k.seq);
            EXPECT_EQ(got, want) << n << " elements, pattern " << pattern;
            EXPECT_TRUE(nodes.empty());
        }
    }
}

TEST(ListSort, MergeIsStableAndEmptiesTheOther) {
    qx::list<Keyed> a = {{1, 0}, {2, 1}, {2, 2}, {5, 3}}, b = {{0, 4}, {2, 5}, {5, 6}, {9, 7}};
    const Keyed* b0 = &b.front();
    auto byKey = [](const Keyed& x, const Keyed& y) { return x.key < y.key; };
    a.merge(b, byKey);
    std::vector<int> seq;
    for (const Keyed& k : a) seq.push_back(k.seq);
    EXPECT_EQ(seq, (std::vector<int>{4, 0, 1, 2, 5, 3, 6, 7}));
    EXPECT_EQ(&a.front(), b0);
    EXPECT_TRUE(b.empty());
    EXPECT_TRUE(linksOk(a.impl()) && linksOk(b.impl()));
    a.merge(a, byKey);  // itself: nothing
    EXPECT_EQ(a.size(), 8);
}

TEST(ListSort, AThrowingComparisonLosesNothing) {
    const int liveBefore = g_live;
    {
        qx::list<Tracked> l;
        for (int i = 0; i < 500; ++i) l.emplace_back((i * 37) % 101);
        qx::list<Tracked> other = {Tracked(3), Tracked(1000)};
        int budget = 0;
        auto failing = [&budget](const Tracked& a, const Tracked& b) {
            if (--budget == 0) throw CopyFailure();
            return a < b;
        };
        for (int at : {1, 50, 700, 3000}) {
            budget = at;
            EXPECT_THROW(l.sort(failing), CopyFailure);
            ASSERT_TRUE(linksOk(l.impl()));
            EXPECT_EQ(l.size(), 500);
        }
        budget = 3;
        l.sort();
        EXPECT_THROW(l.merge(other, failing), CopyFailure);
        EXPECT_TRUE(linksOk(l.impl()) && linksOk(other.impl()));
        EXPECT_EQ(l.size() + other.size(), 502);
        std::vector<int> all = values(l);
        std::sort(all.begin(), all.end());
        EXPECT_EQ(std::count(all.begin(), all.end(), 0), 5);
    }
    EXPECT_EQ(g_live, liveBefore);
}

// --- node identity: splice, assign, move

TEST(ListNodes, SpliceMovesNodesAndKeepsIterators) {
    qx::list<int> a = {1, 2, 3}, b = {10, 20, 30, 40};
    auto it20 = std::next(b.begin());
    const int* p20 = &*it20;
    a.splice(a.end(), b, it20);  // one node
    EXPECT_EQ(&a.back(), p20);
    a.splice(a.begin(), b, std::next(b.begin()), b.end());  // a range: 30 40
    a.splice(std::next(a.begin()), b);                      // the rest: 10
    EXPECT_EQ(values(a), (std::vector<int>{30, 10, 40, 1, 2, 3, 20}));
    EXPECT_TRUE(b.empty());
    a.splice(a.end(), b);  // empty: nothing
    auto first = a.begin();
    a.splice(first, a, first);  // before itself
    a.splice(std::next(first), a, first);
    EXPECT_EQ(values(a), (std::vector<int>{30, 10, 40, 1, 2, 3, 20}));
    a.splice(a.begin(), a, std::prev(a.end()));
    a.splice(a.end(), std::move(a), a.begin(), std::next(a.begin(), 2));
    EXPECT_EQ(values(a), (std::vector<int>{10, 40, 1, 2, 3, 20, 30}));
    EXPECT_EQ(*it20, 20);
    EXPECT_TRUE(linksOk(a.impl()) && linksOk(b.impl()));
}

TEST(ListNodes, AssignAndCopyReuseNodes) {
    qx::list<Tracked> l = {Tracked(1), Tracked(2), Tracked(3), Tracked(4), Tracked(5)};
    const auto before = addresses(l);
    const qx::list<Tracked> two = {Tracked(8), Tracked(9)};
    l = two;
    EXPECT_EQ(addresses(l), std::vector<const void*>(before.begin(), before.begin() + 2));
    const Tracked arr[] = {Tracked(1), Tracked(2), Tracked(3)};
    l.assign(arr, arr + 3);
    EXPECT_EQ(addresses(l)[1], before[1]);
    const std::vector<Tracked> vec = {Tracked(6), Tracked(7)};
    l.assign(vec.begin(), vec.end());
    l.assign(4, l.front());  // the value lives in the first node
    EXPECT_EQ(values(l), (std::vector<int>{6, 6, 6, 6}));
    EXPECT_EQ(addresses(l)[0], before[0]);
    l.assign(two.begin(), two.end());  // another list's nodes, then itself
    const auto& self = l;
    l = self;
    EXPECT_EQ(addresses(l), std::vector<const void*>(before.begin(), before.begin() + 2));
    l.assign({Tracked(5)});
    EXPECT_EQ(values(l), (std::vector<int>{5}));
    EXPECT_TRUE(linksOk(l.impl()));

    qx::list<int> u = {1, 1, 2, 3, 3, 3};  // of equal neighbours the later node stays
    const auto un = addresses(u);
    u.unique();
    EXPECT_EQ(addresses(u), (std::vector<const void*>{un[1], un[2], un[5]}));
}

TEST(ListNodes, MoveRelinksTheSentinel) {
    qx::list<int> a = {1, 2, 3};
    const auto nodes = addresses(a);
    qx::list<int> b(std::move(a));
    EXPECT_EQ(addresses(b), nodes);
    EXPECT_TRUE(a.empty());
    EXPECT_TRUE(linksOk(a.impl()) && linksOk(b.impl()));
    a.push_back(9);
    b = std::move(a);
    EXPECT_EQ(values(b), (std::vector<int>{9}));
    EXPECT_TRUE(linksOk(a.impl()) && linksOk(b.impl()));
}

// --- failures and element types

TEST(ListFailure, ThrowingCopiesLeaveTheListWhole) {
    const int liveBefore = g_live;
    {
        qx::list<Tracked> l = {Tracked(1), Tracked(2)};
        const Tracked src[] = {Tracked(7), Tracked(8), Tracked(9)};
        g_copyBudget = 2;
        EXPECT_THROW(l.insert(l.begin(), src, src + 3), CopyFailure);
        g_copyBudget = 2;
        EXPECT_THROW(l.insert(l.end(), 3, src[0]), CopyFailure);
        g_copyBudget = 1;
        EXPECT_THROW(l.push_back(src[0]), CopyFailure);
        EXPECT_EQ(values(l), (std::vector<int>{1, 2}));
        g_copyBudget = 2;
        EXPECT_THROW(qx::list<Tracked> copy(l), CopyFailure);
        g_copyBudget = 2;
        EXPECT_THROW(l.assign(src, src + 3), CopyFailure);  // basic: some new, no leak
        EXPECT_TRUE(linksOk(l.impl()));
        g_copyBudget = 0;
        qx::list<Tracked> r = {Tracked(5), Tracked(1), Tracked(5), Tracked(2), Tracked(5)};
        EXPECT_EQ(r.remove(r.front()), 3);  // the value lives in a node that goes
        EXPECT_EQ(values(r), (std::vector<int>{1, 2}));
    }
    EXPECT_EQ(g_live, liveBefore);
}

TEST(ListElements, MoveOnlyAlignedAndIteration) {
    qx::list<std::unique_ptr<int>> u;
    u.emplace_back(new int(3));
    u.emplace_front(new int(1));
    u.push_back(std::make_unique<int>(2));
    u.sort([](const auto& a, const auto& b) { return *a < *b; });
    qx::list<std::unique_ptr<int>> w(std::move(u));
    w.resize(4);
    EXPECT_EQ(*w.front() + *std::next(w.begin())->get() + *std::prev(w.end(), 2)->get(), 6);
    EXPECT_EQ(w.back(), nullptr);

    struct alignas(16) Wide {
        double d[2];
    };
    qx::list<Wide> wide(5);
    for (const Wide& x : wide) EXPECT_EQ(reinterpret_cast<std::uintptr_t>(&x) % 16, 0u);

    const qx::list<int> c = {1, 2, 3, 4};
    qx::list<int> m(c.begin(), c.end());
    qx::list<int>::const_iterator ci = m.begin();
    EXPECT_TRUE(ci == m.begin() && m.begin() == ci);
    EXPECT_EQ(std::vector<int>(c.rbegin(), c.rend()), (std::vector<int>{4, 3, 2, 1}));
    EXPECT_EQ(*c.find(3), 3);
    EXPECT_EQ(m.find(7), m.end());
    EXPECT_TRUE(m == c && !(m != c) && m <= c);
    m.back() = 5;
    EXPECT_TRUE(c < m && m > c);
    EXPECT_EQ(qx::list<int>(3).size() + qx::list<int>(2, 7).back(), 10);
}

}  // namespace
