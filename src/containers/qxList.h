// qx::list<T>: the typed front of qx::ListImpl. The algorithms live in the
// library; this header holds the element operations for T, the comparison
// helpers the library calls back, and the inline fast paths.
#ifndef QXBASE_CONTAINERS_QXLIST_H
#define QXBASE_CONTAINERS_QXLIST_H

#include "containers/qxListImpl.h"
#include "containers/qxVector.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <initializer_list>
#include <iterator>
#include <new>
#include <type_traits>
#include <utility>

namespace qx {

template <class T>
class list;

// The list object is its own sentinel: its first and last nodes point back at
// it, so it cannot be moved bytewise (qx::vector refuses it).
template <class T>
struct is_relocatable<list<T>> : std::false_type {};

namespace detail {

// operator<, as the standard containers order elements.
struct ListLess {
    template <class T>
    bool operator()(const T& a, const T& b) const {
        return a < b;
    }
};

// The element operations a ListImpl::TypeUtil record points to, and the
// find, equality and merge helpers the library's calls take: compiled per T,
// with the comparison inline.
template <class T>
struct ListElementOps {
    using Node = ListImpl::Node;
    static_assert(alignof(T) <= ListImpl::kElementOffset,
                  "qx::list elements are aligned to at most 16 bytes");
    static_assert(sizeof(T) <= INT_MAX - ListImpl::kElementOffset, "element too large");

    static constexpr bool kTrivialDestroy = std::is_trivially_destructible<T>::value;
    static constexpr bool kCopyable = std::is_copy_constructible<T>::value;

    // Only copyable types get a copying body, so that move-only element types
    // instantiate the record without touching a deleted constructor.
    static void copyElement(void* dst, const void* src) {
        if constexpr (kCopyable) ::new (dst) T(*static_cast<const T*>(src));
    }
    static void destroyElement(void* p) { static_cast<T*>(p)->~T(); }

    static constexpr ListImpl::TypeUtil typeUtil = {
        static_cast<unsigned int>(ListImpl::kElementOffset + sizeof(T)),
        ListImpl::kElementOffset,
        kCopyable ? &copyElement : nullptr,
        kTrivialDestroy ? nullptr : &destroyElement,
    };

    static void* raw(Node* n) { return reinterpret_cast<char*>(n) + ListImpl::kElementOffset; }
    static T* element(Node* n) { return std::launder(static_cast<T*>(raw(n))); }
    static const T* element(const Node* n) { return element(const_cast<Node*>(n)); }

    // The first node from `from` whose element equals *value, or end.
    static Node* findFrom(const Node* from, const Node* end, const void* value) {
        const T& v = *static_cast<const T*>(value);
        while (from != end && !(*element(from) == v)) from = from->next;
        return const_cast<Node*>(from);
    }
    static Node* findInList(const ListImpl& list, const void* value) {
        return findFrom(list.begin(), list.end(), value);
    }
    static bool equal(const void* a, const void* b) {
        return *static_cast<const T*>(a) == *static_cast<const T*>(b);
    }

    // Merges `second` into `first`, both ordered by the Compare at ctx. Runs
    // of `second` that go before one node of `first` move in one relink, and
    // a `second` that starts no earlier than `first` ends is appended whole.
    // Equal elements of `first` stay ahead. A throwing comparison leaves both
    // lists whole, with their sizes right.
    template <class Compare>
    static void merge(ListImpl& first, ListImpl& second, const void* ctx) {
        Compare& comp = *const_cast<Compare*>(static_cast<const Compare*>(ctx));
        Node* const endA = first.end();
        Node* const endB = second.end();
        Node* a = first.begin();
        Node* b = second.begin();
        if (b == endB) return;
        int& sizeA = first.getReferenceToSize();
        int& sizeB = second.getReferenceToSize();
        int moved = 0;
        try {
            if (a != endA && comp(*element(b), *element(endA->prev))) {
                for (; a != endA; a = a->next) {
                    if (!comp(*element(b), *element(a))) continue;
                    Node* run = b->next;
                    int n = 1;
                    while (run != endB && comp(*element(run), *element(a))) run = run->next, ++n;
                    ListImpl::sTransferNodes(a, b, run);
                    moved += n;
                    b = run;
                    if (b == endB) break;
                }
            }
        } catch (...) {
            sizeA += moved;
            sizeB -= moved;
            throw;
        }
        ListImpl::sTransferNodes(endA, b, endB);
        sizeA += sizeB;
        sizeB = 0;
    }
};

}  // namespace detail

// Doubly linked list over the library's ListImpl. Sizes are int. Nodes never
// move: iterators and references stay valid until their element is erased,
// also across splice, merge, sort and reverse. Elements may be aligned to at
// most 16 bytes.
template <class T>
class list : private ListImpl {
    using Ops = detail::ListElementOps<T>;
    using Node = ListImpl::Node;

public:
    using value_type = T;
    using size_type = int;
    using difference_type = std::ptrdiff_t;
    using reference = T&;
    using const_reference = const T&;
    using pointer = T*;
    using const_pointer = const T*;

    template <bool Const>
    class Iterator {
    public:
        using iterator_category = std::bidirectional_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = std::conditional_t<Const, const T*, T*>;
        using reference = std::conditional_t<Const, const T&, T&>;

        Iterator() noexcept : m_node(nullptr) {}
        template <bool C = Const, class = std::enable_if_t<C>>
        Iterator(const Iterator<false>& o) noexcept : m_node(o.m_node) {}

        reference operator*() const { return *Ops::element(m_node); }
        pointer operator->() const { return Ops::element(m_node); }
        Iterator& operator++() {
            m_node = m_node->next;
            return *this;
        }
        Iterator operator++(int) {
            Iterator old = *this;
            m_node = m_node->next;
            return old;
        }
        Iterator& operator--() {
            m_node = m_node->prev;
            return *this;
        }
        Iterator operator--(int) {
            Iterator old = *this;
            m_node = m_node->prev;
            return old;
        }
        friend bool operator==(const Iterator& a, const Iterator& b) {
            return a.m_node == b.m_node;
        }
        friend bool operator!=(const Iterator& a, const Iterator& b) {
            return a.m_node != b.m_node;
        }

    private:
        friend class list;
        template <bool>
        friend class Iterator;
        explicit Iterator(Node* n) noexcept : m_node(n) {}
        Node* m_node;
    };
    using iterator = Iterator<false>;
    using const_iterator = Iterator<true>;
    using reverse_iterator = std::reverse_iterator<iterator>;
    using const_reverse_iterator = std::reverse_iterator<const_iterator>;

    // The one element-operations record for T.
    static constexpr const ListImpl::TypeUtil& s_typeUtil = Ops::typeUtil;

    // --- construction and assignment -------------------------------------

    list() noexcept : ListImpl(&Ops::typeUtil) {}
    explicit list(int n) : list() { resize(n); }
    list(int n, const T& value) : list() { insert(end(), n, value); }
    template <class It, class = std::enable_if_t<detail::IsIterator<It>::value>>
    list(It first, It last) : list() {
        insert(end(), first, last);
    }
    list(std::initializer_list<T> il) : list() { insert(end(), il.begin(), il.end()); }
    list(const list& other) : ListImpl(other.impl()) { requireCopyable(); }
    // Constant time: the nodes are relinked to this sentinel.
    list(list&& other) noexcept : ListImpl(std::move(other.impl())) {}
    ~list() = default;

    // Copying reuses this list's nodes.
    list& operator=(const list& other) {
        requireCopyable();
        ListImpl::copy(other.impl());
        return *this;
    }
    // Constant time apart from destroying this list's own elements.
    list& operator=(list&& other) noexcept {
        ListImpl::operator=(std::move(other.impl()));
        return *this;
    }
    list& operator=(std::initializer_list<T> il) {
        assign(il.begin(), il.end());
        return *this;
    }

    // The assign forms reuse the existing nodes front to back, freeing the
    // ones left over or adding the ones missing.
    void assign(int n, const T& value) {
        requireCopyable();
        if constexpr (std::is_copy_assignable<T>::value) {
            // value may be one of ours: it is only assigned to, never
            // destroyed, until the surplus nodes go.
            Node* node = ListImpl::begin();
            for (; node != ListImpl::end() && n > 0; node = node->next, --n)
                *Ops::element(node) = value;
            if (n > 0)
                insert(end(), n, value);
            else
                ListImpl::erase(node, ListImpl::end());
        } else {
            list built(n, value);
            swap(built);
        }
    }
    template <class It, class = std::enable_if_t<detail::IsIterator<It>::value>>
    void assign(It first, It last) {
        if constexpr (isListIterator<It>()) {
            requireCopyable();
            ListImpl::assign(first.m_node, last.m_node);
        } else if constexpr (isElementPointer<It>()) {
            requireCopyable();
            ListImpl::assign(static_cast<const void*>(first), static_cast<const void*>(last),
                             static_cast<int>(sizeof(T)), &Ops::copyElement);
        } else if constexpr (std::is_assignable<T&, decltype(*first)>::value) {
            Node* node = ListImpl::begin();
            for (; node != ListImpl::end() && first != last; node = node->next, ++first)
                *Ops::element(node) = *first;
            if (first != last)
                insert(end(), first, last);
            else
                ListImpl::erase(node, ListImpl::end());
        } else {
            list built(first, last);
            swap(built);
        }
    }
    void assign(std::initializer_list<T> il) { assign(il.begin(), il.end()); }

    // The implementation object, for code that works with ListImpl directly.
    ListImpl& impl() noexcept { return *this; }
    const ListImpl& impl() const noexcept { return *this; }

    // --- size and access -------------------------------------------------

    int size() const noexcept { return m_size; }
    bool empty() const noexcept { return m_size == 0; }
    static constexpr int max_size() noexcept { return INT_MAX; }

    T& front() { return *Ops::element(m_head.next); }
    const T& front() const { return *Ops::element(m_head.next); }
    T& back() { return *Ops::element(m_head.prev); }
    const T& back() const { return *Ops::element(m_head.prev); }

    iterator begin() noexcept { return iterator(m_head.next); }
    const_iterator begin() const noexcept { return const_iterator(m_head.next); }
    const_iterator cbegin() const noexcept { return begin(); }
    iterator end() noexcept { return iterator(&m_head); }
    const_iterator end() const noexcept { return const_iterator(const_cast<Node*>(&m_head)); }
    const_iterator cend() const noexcept { return end(); }
    reverse_iterator rbegin() noexcept { return reverse_iterator(end()); }
    const_reverse_iterator rbegin() const noexcept { return const_reverse_iterator(end()); }
    reverse_iterator rend() noexcept { return reverse_iterator(begin()); }
    const_reverse_iterator rend() const noexcept { return const_reverse_iterator(begin()); }

    // The first element equal to value, or end().
    iterator find(const T& value) { return iterator(ListImpl::find(&value, &Ops::findInList)); }
    const_iterator find(const T& value) const {
        return const_iterator(ListImpl::find(&value, &Ops::findInList));
    }

    // --- adding ----------------------------------------------------------
    // Each element is constructed in its node before the node is linked, so
    // a throwing constructor leaves the list unchanged; range inserts are all
    // or nothing.

    void push_back(const T& value) { emplace_back(value); }
    void push_back(T&& value) { emplace_back(std::move(value)); }
    void push_front(const T& value) { emplace_front(value); }
    void push_front(T&& value) { emplace_front(std::move(value)); }

    template <class... Args>
    T& emplace_back(Args&&... args) {
        Node* node = newNode(std::forward<Args>(args)...);
        ListImpl::append(node);
        return *Ops::element(node);
    }
    template <class... Args>
    T& emplace_front(Args&&... args) {
        Node* node = newNode(std::forward<Args>(args)...);
        ListImpl::prepend(node);
        return *Ops::element(node);
    }
    template <class... Args>
    iterator emplace(const_iterator pos, Args&&... args) {
        Node* node = newNode(std::forward<Args>(args)...);
        ListImpl::insert(pos.m_node, node);
        return iterator(node);
    }

    iterator insert(const_iterator pos, const T& value) { return emplace(pos, value); }
    iterator insert(const_iterator pos, T&& value) { return emplace(pos, std::move(value)); }
    iterator insert(const_iterator pos, int n, const T& value) {
        requireCopyable();
        if (n <= 0) return iterator(pos.m_node);
        list built;
        for (int i = 0; i < n; ++i) built.emplace_back(value);
        Node* first = built.m_head.next;
        ListImpl::splice(pos.m_node, built.impl());
        return iterator(first);
    }
    // Another qx::list's nodes (also this list's own) and arrays of T are
    // copied by the library; other ranges are built aside and spliced in.
    template <class It, class = std::enable_if_t<detail::IsIterator<It>::value>>
    iterator insert(const_iterator pos, It first, It last) {
        if constexpr (isListIterator<It>()) {
            requireCopyable();
            return iterator(ListImpl::insert(pos.m_node, first.m_node, last.m_node));
        } else if constexpr (isElementPointer<It>()) {
            requireCopyable();
            return iterator(ListImpl::insert(pos.m_node, static_cast<const void*>(first),
                                             static_cast<const void*>(last),
                                             static_cast<int>(sizeof(T)), &Ops::copyElement));
        } else {
            list built;
            for (; first != last; ++first) built.emplace_back(*first);
            if (built.empty()) return iterator(pos.m_node);
            Node* firstNew = built.m_head.next;
            ListImpl::splice(pos.m_node, built.impl());
            return iterator(firstNew);
        }
    }
    iterator insert(const_iterator pos, std::initializer_list<T> il) {
        return insert(pos, il.begin(), il.end());
    }

    // --- removing --------------------------------------------------------

    void pop_front() { drop(m_head.next); }
    void pop_back() { drop(m_head.prev); }
    iterator erase(const_iterator pos) { return iterator(drop(pos.m_node)); }
    iterator erase(const_iterator first, const_iterator last) {
        return iterator(ListImpl::erase(first.m_node, last.m_node));
    }
    void clear() noexcept { ListImpl::clear(); }

    // New elements are value-initialised (zero for scalars); the list
    // changes only once they all exist.
    void resize(int n) {
        resizeWith(n, [](list& l) { l.emplace_back(); });
    }
    void resize(int n, const T& value) {
        requireCopyable();
        resizeWith(n, [&value](list& l) { l.emplace_back(value); });
    }

    // Each returns the number of elements removed.
    int remove(const T& value) {
        const int before = m_size;
        ListImpl::erase(&value, &Ops::findFrom);
        return before - m_size;
    }
    template <class Pred>
    int remove_if(Pred pred) {
        const int before = m_size;
        for (Node* node = m_head.next; node != &m_head;) {
            Node* next = node->next;
            if (pred(*Ops::element(node))) drop(node);
            node = next;
        }
        return before - m_size;
    }
    // Of each run of adjacent elements that compare equal, the last stays
    // (its iterators remain valid); pred is called on each adjacent pair.
    int unique() {
        const int before = m_size;
        ListImpl::unique(&Ops::equal);
        return before - m_size;
    }
    template <class Pred>
    int unique(Pred pred) {
        const int before = m_size;
        if (m_size < 2) return 0;
        Node* a = m_head.next;
        for (Node* b = a->next; b != &m_head; b = b->next) {
            if (pred(*Ops::element(a), *Ops::element(b))) drop(a);
            a = b;
        }
        return before - m_size;
    }

    // --- splicing, merging and ordering ----------------------------------

    void splice(const_iterator pos, list& other) { ListImpl::splice(pos.m_node, other.impl()); }
    void splice(const_iterator pos, list&& other) { splice(pos, other); }
    void splice(const_iterator pos, list& other, const_iterator it) {
        ListImpl::splice(pos.m_node, other.impl(), it.m_node);
    }
    void splice(const_iterator pos, list&& other, const_iterator it) { splice(pos, other, it); }
    // Counts the moved elements when other is another list.
    void splice(const_iterator pos, list& other, const_iterator first, const_iterator last) {
        ListImpl::splice(pos.m_node, other.impl(), first.m_node, last.m_node);
    }
    void splice(const_iterator pos, list&& other, const_iterator first, const_iterator last) {
        splice(pos, other, first, last);
    }

    // Both lists sorted by the same order; other ends empty. Stable: of equal
    // elements, this list's come first.
    void merge(list& other) { merge(other, detail::ListLess()); }
    void merge(list&& other) { merge(other, detail::ListLess()); }
    template <class Compare>
    void merge(list& other, Compare comp) {
        if (&other == this) return;
        ListImpl::merge(other.impl(), &comp, &Ops::template merge<Compare>);
    }
    template <class Compare>
    void merge(list&& other, Compare comp) {
        merge(other, std::move(comp));
    }

    // Stable, and only links change: elements are neither copied nor moved.
    // A throwing comparison leaves every element in the list, in no
    // particular order.
    void sort() { sort(detail::ListLess()); }
    template <class Compare>
    void sort(Compare comp) {
        ListImpl::sort(&comp, &Ops::template merge<Compare>);
    }

    void reverse() noexcept { ListImpl::reverse(); }
    void swap(list& other) noexcept { ListImpl::swap(other.impl()); }

private:
    static void requireCopyable() {
        static_assert(Ops::kCopyable, "this qx::list operation copies elements");
    }

    template <class It>
    static constexpr bool isListIterator() {
        return std::is_same<It, iterator>::value || std::is_same<It, const_iterator>::value;
    }
    // A pointer to T itself: a pointer to a type derived from T would step by
    // the wrong size.
    template <class It>
    static constexpr bool isElementPointer() {
        return std::is_pointer<It>::value &&
               std::is_same<std::remove_cv_t<std::remove_pointer_t<It>>, T>::value;
    }

    // A node holding a new element, not yet linked.
    template <class... Args>
    Node* newNode(Args&&... args) {
        Node* node = ListImpl::allocateNode();
        if constexpr (std::is_nothrow_constructible<T, Args&&...>::value) {
            ::new (Ops::raw(node)) T(std::forward<Args>(args)...);
        } else {
            try {
                ::new (Ops::raw(node)) T(std::forward<Args>(args)...);
            } catch (...) {
                ListImpl::freeNode(node);
                throw;
            }
        }
        return node;
    }

    // Unlinks, destroys and frees one node; returns the one after it.
    Node* drop(Node* node) noexcept {
        Node* next = ListImpl::unlink(node);
        if constexpr (!Ops::kTrivialDestroy) Ops::element(node)->~T();
        ListImpl::freeNode(node);
        return next;
    }

    template <class AddOne>
    void resizeWith(int n, AddOne addOne) {
        if (n < m_size) {
            // From whichever end is nearer to the first node to go.
            Node* node;
            if (n <= m_size / 2) {
                node = m_head.next;
                for (int i = 0; i < n; ++i) node = node->next;
            } else {
                node = &m_head;
                for (int i = m_size; i > n; --i) node = node->prev;
            }
            ListImpl::erase(node, &m_head);
        } else if (n > m_size) {
            list built;
            for (int i = m_size; i < n; ++i) addOne(built);
            ListImpl::splice(&m_head, built.impl());
        }
    }
};

template <class T>
bool operator==(const list<T>& a, const list<T>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}
template <class T>
bool operator!=(const list<T>& a, const list<T>& b) {
    return !(a == b);
}
template <class T>
bool operator<(const list<T>& a, const list<T>& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}
template <class T>
bool operator>(const list<T>& a, const list<T>& b) {
    return b < a;
}
template <class T>
bool operator<=(const list<T>& a, const list<T>& b) {
    return !(b < a);
}
template <class T>
bool operator>=(const list<T>& a, const list<T>& b) {
    return !(a < b);
}

template <class T>
void swap(list<T>& a, list<T>& b) noexcept {
    a.swap(b);
}

}  // namespace qx

#endif
