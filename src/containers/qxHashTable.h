// The hash-table templates: qx::hash_set, qx::hash_multiset, qx::hash_map and
// qx::hash_multimap over the library's HashTableImpl, and the hash trait
// qx::hash<K> that picks the library's hash function for a key type.
#ifndef QXBASE_CONTAINERS_QXHASHTABLE_H
#define QXBASE_CONTAINERS_QXHASHTABLE_H

#include "containers/qxHash.h"
#include "containers/qxHashTableImpl.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

namespace qx {

// qx::hash<K> (declared with the hash functions): integers, enumerations and
// pointers through the word hash (as one 32-bit word, or two for 64-bit
// values, low word first), byte strings through the buffer hash.

template <class K>
struct hash<K, std::enable_if_t<std::is_integral<K>::value || std::is_enum<K>::value ||
                                std::is_pointer<K>::value>> {
    unsigned int operator()(K key) const {
        unsigned long long v;
        if constexpr (std::is_pointer<K>::value)
            v = reinterpret_cast<std::uintptr_t>(key);
        else
            v = static_cast<unsigned long long>(key);
        // The word hash of one or two words, written out: a final pass of r
        // words runs only the last r steps of the cycle, which leaves
        // S3[0] ^ w for one word and (S3[1] ^ hi) - (S2[0] ^ lo) for two.
        // Inline, a lookup need not call into the library to hash its key.
        const unsigned int lo = static_cast<unsigned int>(v);
        if constexpr (sizeof(K) <= 4) {
            return 0x8DEFC240u ^ lo;
        } else {
            const unsigned int hi = static_cast<unsigned int>(v >> 32);
            return (0x25FA5D9Fu ^ hi) - (0x1F201094u ^ lo);
        }
    }
};

template <class Tr, class A>
struct hash<std::basic_string<char, Tr, A>> {
    unsigned int operator()(const std::basic_string<char, Tr, A>& s) const {
        return hashfunction(s.data(), s.data() + s.size());
    }
};

template <>
struct hash<std::string_view> {
    unsigned int operator()(std::string_view s) const {
        return hashfunction(s.data(), s.data() + s.size());
    }
};

namespace detail {

constexpr size_t alignUp(size_t n, size_t a) {
    return (n + a - 1) / a * a;
}

// The value type of sets, which store keys only.
struct NoValue {};

// Node layout and element operations for a set (IsMap false: the element is
// the key) or a map (the element is qx::pair<const K, V>).
template <class K, class V, bool IsMap, class Eq>
struct HashNodeOps {
    using value_type = std::conditional_t<IsMap, pair<const K, V>, K>;
    static_assert(alignof(value_type) <= 16, "hash-table elements are aligned to at most 16 bytes");

    static constexpr size_t kData = HashTableImpl::kNodeHeaderBytes;
    // Two data members: the value follows the key at the value's alignment.
    static constexpr size_t kValue = IsMap ? kData + alignUp(sizeof(K), alignof(V)) : kData;
    static constexpr size_t kAlign = alignof(value_type) < 8 ? 8 : alignof(value_type);
    static constexpr size_t kNodeSize = alignUp(kData + sizeof(value_type), kAlign);

    static bool keyEqual(const void* a, const void* b) {
        return Eq()(*static_cast<const K*>(a), *static_cast<const K*>(b));
    }
    static void copyKey(void* dst, const void* src) { ::new (dst) K(*static_cast<const K*>(src)); }
    static void copyValue(void* dst, const void* src) {
        if constexpr (IsMap && std::is_copy_constructible<V>::value)
            ::new (dst) V(*static_cast<const V*>(src));
    }
    static void constructValue(void* dst) {
        if constexpr (IsMap && std::is_default_constructible<V>::value) ::new (dst) V();
    }
    static void destroyKey(void* p) { static_cast<K*>(p)->~K(); }
    static void destroyValue(void* p) {
        if constexpr (IsMap) static_cast<V*>(p)->~V();
    }

    static constexpr bool kMapCopy = IsMap && std::is_copy_constructible<V>::value;
    static constexpr bool kMapDefault = IsMap && std::is_default_constructible<V>::value;
    static constexpr bool kKeyTrivial = std::is_trivially_destructible<K>::value;
    static constexpr bool kValueTrivial = !IsMap || std::is_trivially_destructible<V>::value;

    static constexpr HashTableImpl::TypeUtil typeUtil = {
        static_cast<int>(kNodeSize),
        IsMap ? 1 : 0,
        static_cast<int>(kData),
        static_cast<int>(kData),
        static_cast<int>(kValue),
        &keyEqual,
        &copyKey,
        kMapCopy ? &copyValue : nullptr,
        kMapDefault ? &constructValue : nullptr,
        kKeyTrivial ? nullptr : &destroyKey,
        kValueTrivial ? nullptr : &destroyValue,
    };

    static value_type* element(const HashTableImpl::HashNodeImpl* n) {
        return std::launder(reinterpret_cast<value_type*>(
            const_cast<char*>(reinterpret_cast<const char*>(n)) + kData));
    }
    static const K& keyOf(const value_type& v) {
        if constexpr (IsMap)
            return v.first;
        else
            return v;
    }
};

// Everything the four templates share. Multi tables keep equal keys adjacent.
template <class K, class V, bool IsMap, bool Multi, class H, class Eq>
class HashTableBase : private HashTableImpl {
protected:
    using Ops = HashNodeOps<K, V, IsMap, Eq>;
    using Node = HashTableImpl::HashNodeImpl;

public:
    using key_type = K;
    using value_type = typename Ops::value_type;
    using size_type = int;
    using difference_type = std::ptrdiff_t;
    using hasher = H;
    using key_equal = Eq;
    using reference = value_type&;
    using const_reference = const value_type&;

    template <bool Const>
    class Iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = typename Ops::value_type;
        using difference_type = std::ptrdiff_t;
        using pointer = std::conditional_t<Const, const value_type*, value_type*>;
        using reference = std::conditional_t<Const, const value_type&, value_type&>;

        Iterator() noexcept : m_node(nullptr), m_table(nullptr) {}
        template <bool C = Const, class = std::enable_if_t<C>>
        Iterator(const Iterator<false>& o) noexcept : m_node(o.m_node), m_table(o.m_table) {}

        reference operator*() const { return *Ops::element(m_node); }
        pointer operator->() const { return Ops::element(m_node); }
        Iterator& operator++() {
            m_node = m_node->nextItem(*m_table);
            return *this;
        }
        Iterator operator++(int) {
            Iterator old = *this;
            ++*this;
            return old;
        }
        friend bool operator==(const Iterator& a, const Iterator& b) {
            return a.m_node == b.m_node;
        }
        friend bool operator!=(const Iterator& a, const Iterator& b) {
            return a.m_node != b.m_node;
        }

    private:
        friend class HashTableBase;
        template <bool>
        friend class Iterator;
        Iterator(Node* n, const HashTableImpl* t) noexcept : m_node(n), m_table(t) {}
        Node* m_node;
        const HashTableImpl* m_table;
    };
    using iterator = std::conditional_t<IsMap, Iterator<false>, Iterator<true>>;
    using const_iterator = Iterator<true>;

    HashTableBase() : HashTableImpl(&Ops::typeUtil) {}
    HashTableBase(const HashTableBase& o) : HashTableImpl(&Ops::typeUtil) {
        static_assert(std::is_copy_constructible<value_type>::value, "elements are not copyable");
        HashTableImpl::copy(&o);
    }
    HashTableBase(HashTableBase&& o) noexcept : HashTableImpl(&Ops::typeUtil) { swap(o); }
    HashTableBase& operator=(const HashTableBase& o) {
        static_assert(std::is_copy_constructible<value_type>::value, "elements are not copyable");
        HashTableImpl::copy(&o);
        return *this;
    }
    HashTableBase& operator=(HashTableBase&& o) noexcept {
        if (this != &o) {
            HashTableImpl::clear();
            swap(o);
        }
        return *this;
    }

    // --- size and buckets ------------------------------------------------

    int size() const noexcept { return m_count; }
    bool empty() const noexcept { return m_count == 0; }
    static constexpr int max_size() noexcept { return INT_MAX; }
    using HashTableImpl::bucket_count;
    using HashTableImpl::bucket_size;
    using HashTableImpl::load_factor;
    using HashTableImpl::max_bucket_count;
    using HashTableImpl::max_bucket_size;
    using HashTableImpl::max_load_factor;
    using HashTableImpl::rehash;
    void reserve(int n) { HashTableImpl::rehash(n); }
    void clear() noexcept { HashTableImpl::clear(); }
    void swap(HashTableBase& o) noexcept { HashTableImpl::swap(o); }

    // The implementation object, for code that works with HashTableImpl.
    HashTableImpl& impl() noexcept { return *this; }
    const HashTableImpl& impl() const noexcept { return *this; }

    // --- iteration -------------------------------------------------------

    iterator begin() noexcept { return iterator(HashTableImpl::firstNode(), this); }
    const_iterator begin() const noexcept { return cbegin(); }
    const_iterator cbegin() const noexcept {
        return const_iterator(const_cast<Node*>(HashTableImpl::firstNode()), this);
    }
    iterator end() noexcept { return iterator(nullptr, this); }
    const_iterator end() const noexcept { return cend(); }
    const_iterator cend() const noexcept { return const_iterator(nullptr, this); }

    // --- lookup ----------------------------------------------------------

    iterator find(const K& key) { return iterator(findKey(key), this); }
    const_iterator find(const K& key) const { return const_iterator(findKey(key), this); }
    bool contains(const K& key) const { return findKey(key) != nullptr; }
    int count(const K& key) const {
        if constexpr (Multi)
            return HashTableImpl::count(hashOf(key), &key);
        else
            return findKey(key) ? 1 : 0;
    }
    // Equal keys are adjacent: the run starting at the first one.
    std::pair<iterator, iterator> equal_range(const K& key) {
        auto r = rangeOf(key);
        return {iterator(r.first, this), iterator(r.second, this)};
    }
    std::pair<const_iterator, const_iterator> equal_range(const K& key) const {
        auto r = rangeOf(key);
        return {const_iterator(r.first, this), const_iterator(r.second, this)};
    }

    // --- inserting -------------------------------------------------------

    // Unique tables: the element with that key and whether it was inserted.
    // Multi tables: the new element, and true.
    std::pair<iterator, bool> insert(const value_type& v) {
        static_assert(std::is_copy_constructible<value_type>::value, "elements are not copyable");
        const K& key = Ops::keyOf(v);
        const unsigned long long h = hashOf(key);
        HashTableImpl::rehash(m_count + 1);
        const void* value = valuePtr(v);
        const int before = m_count;
        Node* n = Multi ? HashTableImpl::insert_non_unique_noresize(h, &key, value)
                        : HashTableImpl::insert_unique_noresize(h, &key, value);
        return {iterator(n, this), m_count != before};
    }
    std::pair<iterator, bool> insert(value_type&& v) { return emplace(std::move(v)); }
    template <class It>
    void insert(It first, It last) {
        for (; first != last; ++first) emplace(*first);
    }
    void insert(std::initializer_list<value_type> il) { insert(il.begin(), il.end()); }

    // Builds the element in a new node, then links it (or, for a key already
    // present in a unique table, drops it again).
    template <class... Args>
    std::pair<iterator, bool> emplace(Args&&... args) {
        Node* node = HashTableImpl::allocateNode();
        value_type* v;
        try {
            v = ::new (static_cast<void*>(Ops::element(node)))
                value_type(std::forward<Args>(args)...);
        } catch (...) {
            m_allocator.free(node);
            throw;
        }
        try {
            node->hash = hashOf(Ops::keyOf(*v));
        } catch (...) {
            v->~value_type();
            m_allocator.free(node);
            throw;
        }
        node->next = nullptr;
        HashTableImpl::rehash(m_count + 1);
        Node* linked = HashTableImpl::insertNode_noresize(node, !Multi);
        if (linked != node) {
            HashTableImpl::freeNode(node);
            return {iterator(linked, this), false};
        }
        return {iterator(node, this), true};
    }

    // --- erasing ---------------------------------------------------------

    iterator erase(const_iterator pos) {
        Node* n = pos.m_node;
        Node* next = n->nextItem(*this);
        HashTableImpl::eraseNode(n);
        return iterator(next, this);
    }
    iterator erase(const_iterator first, const_iterator last) {
        while (first != last) first = erase(first);
        return iterator(last.m_node, this);
    }
    int erase(const K& key) { return HashTableImpl::eraseKey(hashOf(key), &key); }

protected:
    static unsigned long long hashOf(const K& key) { return H()(key); }

    static const void* valuePtr(const value_type& v) {
        if constexpr (IsMap)
            return &v.second;
        else
            return nullptr;
    }

    // Inline lookup: stored hashes first, then the keys.
    Node* findKey(const K& key) const {
        if (m_count == 0) return nullptr;
        const unsigned long long h = hashOf(key);
        for (Node* n = HashTableImpl::bucketArray()[HashTableImpl::bucketNum(h)]; n; n = n->next)
            if (n->hash == h && Eq()(Ops::keyOf(*Ops::element(n)), key)) return n;
        return nullptr;
    }

    std::pair<Node*, Node*> rangeOf(const K& key) const {
        Node* first = findKey(key);
        if (!first) return {nullptr, nullptr};
        Node* last = first->nextItem(*this);
        if constexpr (Multi)
            while (last && last->hash == first->hash && Eq()(Ops::keyOf(*Ops::element(last)), key))
                last = last->nextItem(*this);
        return {first, last};
    }

    Node* getNode(const K& key) { return HashTableImpl::get(hashOf(key), &key); }
};

template <class K, class V, class H, class Eq, bool Multi>
class HashMapBase : public HashTableBase<K, V, true, Multi, H, Eq> {
    using Base = HashTableBase<K, V, true, Multi, H, Eq>;

public:
    using mapped_type = V;
    using Base::Base;
    using Base::operator=;
    HashMapBase() = default;
    HashMapBase(std::initializer_list<typename Base::value_type> il) { this->insert(il); }

    V& at(const K& key) { return valueAt(key); }
    const V& at(const K& key) const { return const_cast<HashMapBase*>(this)->valueAt(key); }

protected:
    V& valueAt(const K& key) {
        auto* n = this->findKey(key);
        if (!n) throw std::out_of_range("qx::hash_map::at: key not found");
        return Base::Ops::element(n)->second;
    }
};

}  // namespace detail

template <class K, class H = hash<K>, class Eq = std::equal_to<K>>
class hash_set : public detail::HashTableBase<K, detail::NoValue, false, false, H, Eq> {
    using Base = detail::HashTableBase<K, detail::NoValue, false, false, H, Eq>;

public:
    hash_set() = default;
    hash_set(std::initializer_list<K> il) { this->insert(il); }
};

template <class K, class H = hash<K>, class Eq = std::equal_to<K>>
class hash_multiset : public detail::HashTableBase<K, detail::NoValue, false, true, H, Eq> {
public:
    hash_multiset() = default;
    hash_multiset(std::initializer_list<K> il) { this->insert(il); }
};

template <class K, class V, class H = hash<K>, class Eq = std::equal_to<K>>
class hash_map : public detail::HashMapBase<K, V, H, Eq, false> {
public:
    using detail::HashMapBase<K, V, H, Eq, false>::HashMapBase;

    // The value for key, default-constructed and inserted when missing.
    V& operator[](const K& key) {
        static_assert(std::is_default_constructible<V>::value, "operator[] default-constructs");
        return detail::HashNodeOps<K, V, true, Eq>::element(this->getNode(key))->second;
    }
};

template <class K, class V, class H = hash<K>, class Eq = std::equal_to<K>>
class hash_multimap : public detail::HashMapBase<K, V, H, Eq, true> {
public:
    using detail::HashMapBase<K, V, H, Eq, true>::HashMapBase;
};

}  // namespace qx

#endif
