// The ordered associative templates qx::set, qx::multiset, qx::map and
// qx::multimap over the library's RBTreeImpl, and the ordering qx::less<K>.
// Searching is compiled here per key type with the comparison inline; the
// structural work (linking, rebalancing, erasing) is done by the library.
#ifndef QXBASE_CONTAINERS_QXTREE_H
#define QXBASE_CONTAINERS_QXTREE_H

#include "containers/qxRBTreeImpl.h"
#include "containers/qxVector.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <new>
#include <stdexcept>
#include <tuple>
#include <type_traits>
#include <utility>

namespace qx {

// The default ordering: operator<, as the standard containers order keys
// (pointers, C strings included, compare by address).
template <class K>
struct less {
    bool operator()(const K& a, const K& b) const { return a < b; }
};

template <class K, class Cmp>
class set;
template <class K, class Cmp>
class multiset;
template <class K, class V, class Cmp>
class map;
template <class K, class V, class Cmp>
class multimap;

// A tree's header is the end node that its nodes point back at, so a tree
// cannot be moved bytewise (qx::vector refuses it).
template <class K, class Cmp>
struct is_relocatable<set<K, Cmp>> : std::false_type {};
template <class K, class Cmp>
struct is_relocatable<multiset<K, Cmp>> : std::false_type {};
template <class K, class V, class Cmp>
struct is_relocatable<map<K, V, Cmp>> : std::false_type {};
template <class K, class V, class Cmp>
struct is_relocatable<multimap<K, V, Cmp>> : std::false_type {};

namespace detail {

// The value type of sets, which store keys only.
struct TreeNoValue {};

// Node layout and element operations for a set (IsMap false: the element is
// the key) or a map (the element is std::pair<const K, V>, whose first member
// is the key at offset 32 and whose second is the value). Comparators are
// stateless: the record is shared by every tree of the type, so Cmp is
// default-constructed where it is needed.
template <class K, class V, bool IsMap, class Cmp>
struct TreeNodeOps {
    using Node = RBTreeImpl::Node;
    using value_type = std::conditional_t<IsMap, std::pair<const K, V>, K>;

    static constexpr size_t alignUp(size_t n, size_t a) { return (n + a - 1) / a * a; }

    static_assert(alignof(value_type) <= 16, "tree elements are aligned to at most 16 bytes");
    static_assert(std::is_default_constructible<Cmp>::value, "comparators must be stateless");

    static constexpr size_t kKey = RBTreeImpl::kKeyOffset;
    static constexpr size_t kValue = IsMap ? kKey + alignUp(sizeof(K), alignof(V)) : kKey;
    static constexpr size_t kAlign = alignof(value_type) < 8 ? 8 : alignof(value_type);
    static constexpr size_t kNodeSize = alignUp(kKey + sizeof(value_type), kAlign);
    static_assert(kNodeSize <= INT_MAX, "element too large");

    static constexpr bool layoutMatches() {
        if constexpr (IsMap && std::is_standard_layout<value_type>::value)
            return offsetof(value_type, second) == kValue - kKey;
        return true;
    }
    static_assert(layoutMatches(), "std::pair layout differs from the node layout");

    static value_type* element(const Node* n) {
        return std::launder(reinterpret_cast<value_type*>(
            const_cast<char*>(reinterpret_cast<const char*>(n)) + kKey));
    }
    static void* raw(Node* n) { return reinterpret_cast<char*>(n) + kKey; }
    static const K& keyOf(const value_type& v) {
        if constexpr (IsMap)
            return v.first;
        else
            return v;
    }
    static const K& key(const Node* n) { return keyOf(*element(n)); }
    static bool less(const K& a, const K& b) { return Cmp()(a, b); }

    // --- the record's element operations ---------------------------------

    static constexpr bool kKeyCopy = std::is_copy_constructible<K>::value;
    static constexpr bool kMapCopy = IsMap && std::is_copy_constructible<V>::value;
    static constexpr bool kMapDefault = IsMap && std::is_default_constructible<V>::value;
    static constexpr bool kKeyTrivial = std::is_trivially_destructible<K>::value;
    static constexpr bool kValueTrivial = !IsMap || std::is_trivially_destructible<V>::value;

    static bool keyLess(const void* a, const void* b) {
        return less(*static_cast<const K*>(a), *static_cast<const K*>(b));
    }
    // Copying bodies exist only for copyable types, so move-only keys and
    // values instantiate the record; the templates refuse to copy them.
    static void copyKey(void* dst, const void* src) {
        if constexpr (kKeyCopy) ::new (dst) K(*static_cast<const K*>(src));
    }
    static void copyValue(void* dst, const void* src) {
        if constexpr (kMapCopy) ::new (dst) V(*static_cast<const V*>(src));
    }
    static void constructValue(void* dst) {
        if constexpr (kMapDefault) ::new (dst) V();
    }
    static void destroyKey(void* p) { static_cast<K*>(p)->~K(); }
    static void destroyValue(void* p) {
        if constexpr (IsMap) static_cast<V*>(p)->~V();
    }

    static void destroyElement(Node* n) {
        if constexpr (!std::is_trivially_destructible<value_type>::value) element(n)->~value_type();
    }
    // Right subtrees recursively, the left spine iteratively: the recursion
    // is bounded by the height.
    static void destroyAll(RBTreeImpl* tree, Node* n) {
        while (n) {
            destroyAll(tree, n->right);
            Node* left = n->left;
            destroyElement(n);
            tree->freeNode(n);
            n = left;
        }
    }

    // --- searching, comparison inline -------------------------------------

    static Node* lowerBound(const RBTreeImpl* tree, const K& k) {
        Node* y = tree->end();
        for (Node* x = tree->root(); x;) {
            if (!less(key(x), k)) {
                y = x;
                x = x->left;
            } else {
                x = x->right;
            }
        }
        return y;
    }
    static Node* upperBound(const RBTreeImpl* tree, const K& k) {
        Node* y = tree->end();
        for (Node* x = tree->root(); x;) {
            if (less(k, key(x))) {
                y = x;
                x = x->left;
            } else {
                x = x->right;
            }
        }
        return y;
    }
    // The node with an equal key, or the header.
    static Node* find(const RBTreeImpl* tree, const K& k) {
        Node* n = lowerBound(tree, k);
        return n == tree->end() || less(k, key(n)) ? tree->end() : n;
    }

    // A node with an equal key, or the header. The descent stops at the
    // first equal key it meets, which in a tree of distinct keys is the only
    // one; it does not go on down to a leaf as the lower bound must.
    static Node* findEqual(const RBTreeImpl* tree, const K& k) {
        for (Node* x = tree->root(); x;) {
            if (less(k, key(x)))
                x = x->left;
            else if (less(key(x), k))
                x = x->right;
            else
                return x;
        }
        return tree->end();
    }

    static Node* lowerBoundOf(const RBTreeImpl* tree, const void* k) {
        return lowerBound(tree, *static_cast<const K*>(k));
    }
    static Node* upperBoundOf(const RBTreeImpl* tree, const void* k) {
        return upperBound(tree, *static_cast<const K*>(k));
    }
    // Kept out of line: compiled on its own the loop picks the child with a
    // conditional move, while inlined into a caller that branches on the
    // result it becomes a branch per level. The turns of a descent are coin
    // flips for the branch predictor, which on trees larger than the cache
    // costs more than waiting for the key.
    __attribute__((noinline)) static bool findInsertParent(RBTreeImpl* tree, const void* kp,
                                                           Node** parent) {
        const K& k = *static_cast<const K*>(kp);
        Node* y = tree->end();
        bool goLeft = true;
        for (Node* x = tree->root(); x;) {
            y = x;
            goLeft = less(k, key(x));
            x = goLeft ? x->left : x->right;
        }
        *parent = y;
        return goLeft;
    }

    static constexpr RBTreeImpl::TypeUtil typeUtil = {
        static_cast<int>(kNodeSize),
        static_cast<int>(kKey),
        static_cast<int>(kValue),
        &keyLess,
        &copyKey,
        kMapCopy ? &copyValue : nullptr,
        kMapDefault ? &constructValue : nullptr,
        kKeyTrivial ? nullptr : &destroyKey,
        kValueTrivial ? nullptr : &destroyValue,
        &destroyAll,
        &lowerBoundOf,
        &upperBoundOf,
        &findInsertParent,
    };
};

// Everything the four templates share. Multi trees keep equal keys in
// insertion order.
template <class K, class V, bool IsMap, bool Multi, class Cmp>
class TreeBase : private RBTreeImpl {
protected:
    using Ops = TreeNodeOps<K, V, IsMap, Cmp>;
    using Node = RBTreeImpl::Node;
    using InsertPos = RBTreeImpl::InsertPos;

public:
    using key_type = K;
    using value_type = typename Ops::value_type;
    using size_type = int;  // the library counts in int, as qx::vector does
    using difference_type = std::ptrdiff_t;
    using key_compare = Cmp;
    using reference = value_type&;
    using const_reference = const value_type&;
    using pointer = value_type*;
    using const_pointer = const value_type*;

    template <bool Const>
    class Iterator {
    public:
        using iterator_category = std::bidirectional_iterator_tag;
        using value_type = typename Ops::value_type;
        using difference_type = std::ptrdiff_t;
        using pointer = std::conditional_t<Const, const value_type*, value_type*>;
        using reference = std::conditional_t<Const, const value_type&, value_type&>;

        Iterator() noexcept : m_node(nullptr) {}
        template <bool C = Const, class = std::enable_if_t<C>>
        Iterator(const Iterator<false>& o) noexcept : m_node(o.m_node) {}

        reference operator*() const { return *Ops::element(m_node); }
        pointer operator->() const { return Ops::element(m_node); }
        Iterator& operator++() {
            m_node = m_node->next();
            return *this;
        }
        Iterator operator++(int) {
            Iterator old = *this;
            m_node = m_node->next();
            return old;
        }
        Iterator& operator--() {
            m_node = m_node->prev();
            return *this;
        }
        Iterator operator--(int) {
            Iterator old = *this;
            m_node = m_node->prev();
            return old;
        }
        friend bool operator==(const Iterator& a, const Iterator& b) {
            return a.m_node == b.m_node;
        }
        friend bool operator!=(const Iterator& a, const Iterator& b) {
            return a.m_node != b.m_node;
        }

        // The node, for code that works with RBTreeImpl.
        Node* node() const noexcept { return m_node; }

    private:
        friend class TreeBase;
        template <bool>
        friend class Iterator;
        explicit Iterator(Node* n) noexcept : m_node(n) {}
        Node* m_node;
    };
    // Set elements are keys: never changed in place.
    using iterator = std::conditional_t<IsMap, Iterator<false>, Iterator<true>>;
    using const_iterator = Iterator<true>;
    using reverse_iterator = std::reverse_iterator<iterator>;
    using const_reverse_iterator = std::reverse_iterator<const_iterator>;
    // What the unique trees' insert returns.
    using insert_return = std::conditional_t<Multi, iterator, std::pair<iterator, bool>>;

    TreeBase() noexcept : RBTreeImpl(&Ops::typeUtil) {}
    TreeBase(const TreeBase& o) : RBTreeImpl(o) { requireCopyable(); }
    // Cheap: the new tree takes the nodes and the blocks.
    TreeBase(TreeBase&& o) noexcept : RBTreeImpl(&Ops::typeUtil) { RBTreeImpl::swap(o); }
    template <class It, class = typename std::iterator_traits<It>::iterator_category>
    TreeBase(It first, It last) : TreeBase() {
        insert(first, last);
    }
    TreeBase(std::initializer_list<value_type> il) : TreeBase() { insert(il); }

    TreeBase& operator=(const TreeBase& o) {
        requireCopyable();
        RBTreeImpl::copy(o);
        return *this;
    }
    TreeBase& operator=(TreeBase&& o) noexcept {
        RBTreeImpl::operator=(std::move(o));
        return *this;
    }
    TreeBase& operator=(std::initializer_list<value_type> il) {
        clear();
        insert(il);
        return *this;
    }

    // --- size ----------------------------------------------------------------

    int size() const noexcept { return m_size; }
    bool empty() const noexcept { return m_size == 0; }
    static constexpr int max_size() noexcept { return INT_MAX; }
    void clear() noexcept { RBTreeImpl::clear(); }
    void swap(TreeBase& o) noexcept { RBTreeImpl::swap(o); }
    key_compare key_comp() const { return key_compare(); }

    // The implementation object, for code that works with RBTreeImpl.
    RBTreeImpl& impl() noexcept { return *this; }
    const RBTreeImpl& impl() const noexcept { return *this; }

    // --- iteration -----------------------------------------------------------

    iterator begin() noexcept { return iterator(RBTreeImpl::begin()); }
    const_iterator begin() const noexcept { return const_iterator(RBTreeImpl::begin()); }
    const_iterator cbegin() const noexcept { return begin(); }
    iterator end() noexcept { return iterator(RBTreeImpl::end()); }
    const_iterator end() const noexcept { return const_iterator(RBTreeImpl::end()); }
    const_iterator cend() const noexcept { return end(); }
    reverse_iterator rbegin() noexcept { return reverse_iterator(end()); }
    const_reverse_iterator rbegin() const noexcept { return const_reverse_iterator(end()); }
    const_reverse_iterator crbegin() const noexcept { return rbegin(); }
    reverse_iterator rend() noexcept { return reverse_iterator(begin()); }
    const_reverse_iterator rend() const noexcept { return const_reverse_iterator(begin()); }
    const_reverse_iterator crend() const noexcept { return rend(); }

    // --- lookup --------------------------------------------------------------

    iterator find(const K& k) { return iterator(locate(k)); }
    const_iterator find(const K& k) const { return const_iterator(locate(k)); }
    bool contains(const K& k) const { return locate(k) != RBTreeImpl::end(); }
    int count(const K& k) const {
        if constexpr (Multi)
            return sDistanceBetween(Ops::lowerBound(this, k), Ops::upperBound(this, k));
        else
            return contains(k) ? 1 : 0;
    }
    iterator lower_bound(const K& k) { return iterator(Ops::lowerBound(this, k)); }
    const_iterator lower_bound(const K& k) const {
        return const_iterator(Ops::lowerBound(this, k));
    }
    iterator upper_bound(const K& k) { return iterator(Ops::upperBound(this, k)); }
    const_iterator upper_bound(const K& k) const {
        return const_iterator(Ops::upperBound(this, k));
    }
    std::pair<iterator, iterator> equal_range(const K& k) {
        const auto r = rangeOf(k);
        return {iterator(r.first), iterator(r.second)};
    }
    std::pair<const_iterator, const_iterator> equal_range(const K& k) const {
        const auto r = rangeOf(k);
        return {const_iterator(r.first), const_iterator(r.second)};
    }

    // --- inserting -----------------------------------------------------------
    // Unique trees return the element with that key and whether it is new
    // (nothing is copied, moved or constructed for a key already present);
    // multi trees return the new element. A hint is the element the new one
    // should go before; a good hint makes the insertion constant time, a bad
    // one costs one search.

    insert_return insert(const value_type& v) { return insertValue(v); }
    insert_return insert(value_type&& v) { return insertValue(std::move(v)); }
    iterator insert(const_iterator hint, const value_type& v) {
        return iterator(insertAt(hint.m_node, v).first);
    }
    iterator insert(const_iterator hint, value_type&& v) {
        return iterator(insertAt(hint.m_node, std::move(v)).first);
    }
    // Each element hinted at the end: a sorted range inserts in linear time.
    template <class It, class = typename std::iterator_traits<It>::iterator_category>
    void insert(It first, It last) {
        for (; first != last; ++first) emplace_hint(end(), *first);
    }
    void insert(std::initializer_list<value_type> il) { insert(il.begin(), il.end()); }

    // Builds the element in a new node, then links it (or, for a key already
    // present in a unique tree, destroys it again).
    template <class... Args>
    insert_return emplace(Args&&... args) {
        const std::pair<Node*, bool> r = linkBuilt(nullptr, newNode(std::forward<Args>(args)...));
        if constexpr (Multi)
            return iterator(r.first);
        else
            return {iterator(r.first), r.second};
    }
    template <class... Args>
    iterator emplace_hint(const_iterator hint, Args&&... args) {
        return iterator(linkBuilt(hint.m_node, newNode(std::forward<Args>(args)...)).first);
    }

    // --- erasing -------------------------------------------------------------
    // Only the erased elements' iterators become invalid.

    iterator erase(const_iterator pos) {
        Node* n = pos.m_node;
        Node* next = n->next();
        eraseNode(n);
        return iterator(next);
    }
    iterator erase(const_iterator first, const_iterator last) {
        eraseNodesRange(first.m_node, last.m_node);
        return iterator(last.m_node);
    }
    int erase(const K& k) {
        if constexpr (Multi) {
            return eraseNodesMatching(&k);
        } else {
            Node* n = locate(k);
            if (n == RBTreeImpl::end()) return 0;
            eraseNode(n);
            return 1;
        }
    }

    // --- comparison ----------------------------------------------------------

    friend bool operator==(const TreeBase& a, const TreeBase& b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
    }
    friend bool operator!=(const TreeBase& a, const TreeBase& b) { return !(a == b); }
    friend bool operator<(const TreeBase& a, const TreeBase& b) {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
    }
    friend bool operator>(const TreeBase& a, const TreeBase& b) { return b < a; }
    friend bool operator<=(const TreeBase& a, const TreeBase& b) { return !(b < a); }
    friend bool operator>=(const TreeBase& a, const TreeBase& b) { return !(a < b); }

protected:
    static void requireCopyable() {
        static_assert(std::is_copy_constructible<value_type>::value, "elements are not copyable");
    }

    // The node with key k (the first of them in a multi tree), or the header.
    Node* locate(const K& k) const {
        if constexpr (Multi)
            return Ops::find(this, k);
        else
            return Ops::findEqual(this, k);
    }

    std::pair<Node*, Node*> rangeOf(const K& k) const {
        if constexpr (Multi) {
            return {Ops::lowerBound(this, k), Ops::upperBound(this, k)};
        } else {
            Node* n = locate(k);
            return {n, n == RBTreeImpl::end() ? n : n->next()};
        }
    }

    // A node holding a new element; the tree is unchanged if that throws.
    template <class... Args>
    Node* newNode(Args&&... args) {
        Node* n = allocateNode();
        try {
            ::new (Ops::raw(n)) value_type(std::forward<Args>(args)...);
        } catch (...) {
            freeNode(n);
            throw;
        }
        return n;
    }
    void dropNode(Node* n) {
        Ops::destroyElement(n);
        freeNode(n);
    }
    // Links a built node at its place (hint: null for none), or drops it when
    // a unique tree already holds its key; returns the node that holds the
    // key and whether it is n.
    std::pair<Node*, bool> linkBuilt(Node* hint, Node* n) {
        InsertPos pos{};
        Node* existing = nullptr;
        try {
            pos = place(hint, Ops::key(n), &existing);
        } catch (...) {
            dropNode(n);
            throw;
        }
        if (existing) {
            dropNode(n);
            return {existing, false};
        }
        linkNode(n, pos);
        return {n, true};
    }
    // Where key k goes, or (unique trees) the node already holding it.
    InsertPos place(Node* hint, const K& k, Node** existing) {
        InsertPos pos{nullptr, nullptr, nullptr};
        if (hint) {
            if constexpr (Multi)
                pos = findNonUniquePos(hint, &k);
            else
                *existing = findUniquePos(hint, &k, &pos);
            return pos;
        }
        // Without a hint, the library's rule runs inline: the descent, then
        // (unique trees) a look at the in-order neighbour to the left. This
        // spares a call into the library and two indirect calls through the
        // record.
        Node* p;
        const bool goLeft = Ops::findInsertParent(this, &k, &p);
        pos = goLeft ? InsertPos{p, p, nullptr} : InsertPos{nullptr, p, p};
        if constexpr (!Multi) {
            if (goLeft && p == RBTreeImpl::begin()) return pos;  // also an empty tree
            Node* before = goLeft ? p->prev() : p;
            if (!Ops::less(Ops::key(before), k)) *existing = before;
        }
        return pos;
    }

    // Searches with the key first and builds the node only when it goes in.
    template <class Arg>
    std::pair<Node*, bool> insertAt(Node* hint, Arg&& v) {
        Node* existing = nullptr;
        const InsertPos pos = place(hint, Ops::keyOf(v), &existing);
        if (existing) return {existing, false};
        return {linkNew(pos, std::forward<Arg>(v)), true};
    }
    template <class Arg>
    insert_return insertValue(Arg&& v) {
        const std::pair<Node*, bool> r = insertAt(nullptr, std::forward<Arg>(v));
        if constexpr (Multi)
            return iterator(r.first);
        else
            return {iterator(r.first), r.second};
    }
    template <class... Args>
    Node* linkNew(const InsertPos& pos, Args&&... args) {
        Node* n = newNode(std::forward<Args>(args)...);
        linkNode(n, pos);
        return n;
    }

    // For the map templates.
    using RBTreeImpl::getValuePtr;
    static iterator makeIterator(Node* n) { return iterator(n); }
    static Node* nodeOf(const_iterator it) { return it.m_node; }
};

// What the two map templates add: mapped values, at(), try_emplace and
// insert_or_assign (the last two for unique maps).
template <class K, class V, bool Multi, class Cmp>
class TreeMapBase : public TreeBase<K, V, true, Multi, Cmp> {
    using Base = TreeBase<K, V, true, Multi, Cmp>;
    using Ops = typename Base::Ops;
    using Node = qx::RBTreeImpl::Node;
    using InsertPos = qx::RBTreeImpl::InsertPos;

public:
    using mapped_type = V;
    using typename Base::const_iterator;
    using typename Base::iterator;
    using typename Base::value_type;

    using Base::Base;
    using Base::erase;
    TreeMapBase() = default;

    // Map iterators are not const_iterators: this keeps erase(it) unambiguous.
    iterator erase(iterator pos) { return Base::erase(const_iterator(pos)); }

    // The value for k; std::out_of_range when k is missing (the first one
    // of equal keys in a multimap).
    V& at(const K& k) { return valueAt(k); }
    const V& at(const K& k) const { return const_cast<TreeMapBase*>(this)->valueAt(k); }

protected:
    V& valueAt(const K& k) {
        Node* n = this->locate(k);
        if (n == this->impl().end()) throw std::out_of_range("qx::map::at: key not found");
        return Ops::element(n)->second;
    }

    // Builds the value from args only when k is new.
    template <class Key, class... Args>
    std::pair<iterator, bool> tryEmplace(Node* hint, Key&& k, Args&&... args) {
        Node* existing = nullptr;
        const InsertPos pos = this->place(hint, k, &existing);
        if (existing) return {Base::makeIterator(existing), false};
        Node* n = this->linkNew(pos, std::piecewise_construct,
                                std::forward_as_tuple(std::forward<Key>(k)),
                                std::forward_as_tuple(std::forward<Args>(args)...));
        return {Base::makeIterator(n), true};
    }
};

}  // namespace detail

// Ordered keys, each at most once.
template <class K, class Cmp = less<K>>
class set : public detail::TreeBase<K, detail::TreeNoValue, false, false, Cmp> {
    using Base = detail::TreeBase<K, detail::TreeNoValue, false, false, Cmp>;

public:
    using Base::Base;
    set() = default;
    set(std::initializer_list<K> il) : Base(il) {}
    set& operator=(std::initializer_list<K> il) {
        Base::operator=(il);
        return *this;
    }
};

// Ordered keys; equal keys in insertion order.
template <class K, class Cmp = less<K>>
class multiset : public detail::TreeBase<K, detail::TreeNoValue, false, true, Cmp> {
    using Base = detail::TreeBase<K, detail::TreeNoValue, false, true, Cmp>;

public:
    using Base::Base;
    multiset() = default;
    multiset(std::initializer_list<K> il) : Base(il) {}
    multiset& operator=(std::initializer_list<K> il) {
        Base::operator=(il);
        return *this;
    }
};

// Values by ordered key, each key at most once.
template <class K, class V, class Cmp = less<K>>
class map : public detail::TreeMapBase<K, V, false, Cmp> {
    using Base = detail::TreeMapBase<K, V, false, Cmp>;
    using Node = qx::RBTreeImpl::Node;

public:
    using typename Base::const_iterator;
    using typename Base::iterator;
    using typename Base::value_type;

    using Base::Base;
    map() = default;
    map(std::initializer_list<value_type> il) : Base(il) {}
    map& operator=(std::initializer_list<value_type> il) {
        Base::operator=(il);
        return *this;
    }

    // The value for k, inserted value-initialised when k is missing.
    V& operator[](const K& k) {
        static_assert(std::is_default_constructible<V>::value, "operator[] default-constructs");
        return *static_cast<V*>(this->getValuePtr(&k));
    }
    V& operator[](K&& k) { return try_emplace(std::move(k)).first->second; }

    // Inserts (k, V(args...)) when k is missing; otherwise touches nothing,
    // not even the arguments.
    template <class... Args>
    std::pair<iterator, bool> try_emplace(const K& k, Args&&... args) {
        return this->tryEmplace(nullptr, k, std::forward<Args>(args)...);
    }
    template <class... Args>
    std::pair<iterator, bool> try_emplace(K&& k, Args&&... args) {
        return this->tryEmplace(nullptr, std::move(k), std::forward<Args>(args)...);
    }
    template <class... Args>
    iterator try_emplace(const_iterator hint, const K& k, Args&&... args) {
        return this->tryEmplace(Base::nodeOf(hint), k, std::forward<Args>(args)...).first;
    }
    template <class... Args>
    iterator try_emplace(const_iterator hint, K&& k, Args&&... args) {
        return this->tryEmplace(Base::nodeOf(hint), std::move(k), std::forward<Args>(args)...)
            .first;
    }

    template <class M>
    std::pair<iterator, bool> insert_or_assign(const K& k, M&& m) {
        auto r = try_emplace(k, std::forward<M>(m));
        if (!r.second) r.first->second = std::forward<M>(m);
        return r;
    }
    template <class M>
    std::pair<iterator, bool> insert_or_assign(K&& k, M&& m) {
        auto r = try_emplace(std::move(k), std::forward<M>(m));
        if (!r.second) r.first->second = std::forward<M>(m);
        return r;
    }
};

// Values by ordered key; equal keys in insertion order.
template <class K, class V, class Cmp = less<K>>
class multimap : public detail::TreeMapBase<K, V, true, Cmp> {
    using Base = detail::TreeMapBase<K, V, true, Cmp>;

public:
    using typename Base::value_type;

    using Base::Base;
    multimap() = default;
    multimap(std::initializer_list<value_type> il) : Base(il) {}
    multimap& operator=(std::initializer_list<value_type> il) {
        Base::operator=(il);
        return *this;
    }
};

template <class K, class Cmp>
void swap(set<K, Cmp>& a, set<K, Cmp>& b) noexcept {
    a.swap(b);
}
template <class K, class Cmp>
void swap(multiset<K, Cmp>& a, multiset<K, Cmp>& b) noexcept {
    a.swap(b);
}
template <class K, class V, class Cmp>
void swap(map<K, V, Cmp>& a, map<K, V, Cmp>& b) noexcept {
    a.swap(b);
}
template <class K, class V, class Cmp>
void swap(multimap<K, V, Cmp>& a, multimap<K, V, Cmp>& b) noexcept {
    a.swap(b);
}

}  // namespace qx

#endif
