// qx::vector<T>: the typed front of qx::VectorImpl. The algorithms live in the
// library; this header holds only the element operations for T and the
// inline fast paths.
#ifndef QXBASE_CONTAINERS_QXVECTOR_H
#define QXBASE_CONTAINERS_QXVECTOR_H

#include "containers/qxVectorImpl.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <list>
#include <map>
#include <new>
#include <set>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>

namespace qx {

// Whether a T may be moved to another address byte by byte (it keeps no
// pointer into itself and registers its address nowhere). Most types may;
// specialise this as std::false_type for one that may not, and qx::vector
// will refuse it at compile time.
template <class T>
struct is_relocatable : std::true_type {};

// The standard library's short-string buffer and node-based containers point
// into their own object (libstdc++), so they cannot be relocated bytewise.
template <class C, class Tr, class A>
struct is_relocatable<std::basic_string<C, Tr, A>> : std::false_type {};
template <class T, class A>
struct is_relocatable<std::list<T, A>> : std::false_type {};
template <class K, class V, class C, class A>
struct is_relocatable<std::map<K, V, C, A>> : std::false_type {};
template <class K, class V, class C, class A>
struct is_relocatable<std::multimap<K, V, C, A>> : std::false_type {};
template <class K, class C, class A>
struct is_relocatable<std::set<K, C, A>> : std::false_type {};
template <class K, class C, class A>
struct is_relocatable<std::multiset<K, C, A>> : std::false_type {};
template <class K, class V, class H, class E, class A>
struct is_relocatable<std::unordered_map<K, V, H, E, A>> : std::false_type {};
template <class K, class V, class H, class E, class A>
struct is_relocatable<std::unordered_multimap<K, V, H, E, A>> : std::false_type {};
template <class K, class H, class E, class A>
struct is_relocatable<std::unordered_set<K, H, E, A>> : std::false_type {};
template <class K, class H, class E, class A>
struct is_relocatable<std::unordered_multiset<K, H, E, A>> : std::false_type {};

namespace detail {

// The element operations a VectorImpl::TypeUtil record points to. Range
// operations that throw destroy what they constructed before passing the
// exception on, so the vector never counts a half-built element.
template <class T>
struct VectorElementOps {
    // The copying bodies exist only for copyable types, so move-only element
    // types instantiate the record without touching a deleted constructor.
    static void copyOne(void* dst, const void* src) {
        if constexpr (std::is_copy_constructible<T>::value)
            ::new (dst) T(*static_cast<const T*>(src));
    }

    static void copyRange(void* dst, const void* src, int n) {
        if constexpr (std::is_trivially_copyable<T>::value) {
            std::memcpy(dst, src, static_cast<size_t>(n) * sizeof(T));
        } else if constexpr (std::is_copy_constructible<T>::value) {
            T* d = static_cast<T*>(dst);
            const T* s = static_cast<const T*>(src);
            int i = 0;
            try {
                for (; i < n; ++i) ::new (static_cast<void*>(d + i)) T(s[i]);
            } catch (...) {
                destroyRange(d, i);
                throw;
            }
        }
    }

    static void destroyOne(void* p) { static_cast<T*>(p)->~T(); }

    static void destroyRange(void* p, int n) {
        T* q = static_cast<T*>(p);
        for (int i = 0; i < n; ++i) q[i].~T();
    }

    static long long difference(const void* a, const void* b) {
        return (static_cast<const char*>(a) - static_cast<const char*>(b)) /
               static_cast<long long>(sizeof(T));
    }

    // Value-initialises n elements (zero for scalars and trivial types).
    static void valueInitRange(void* p, int n) {
        if constexpr (std::is_trivial<T>::value) {
            std::memset(p, 0, static_cast<size_t>(n) * sizeof(T));
        } else {
            T* q = static_cast<T*>(p);
            int i = 0;
            try {
                for (; i < n; ++i) ::new (static_cast<void*>(q + i)) T();
            } catch (...) {
                destroyRange(q, i);
                throw;
            }
        }
    }

    static constexpr bool kTrivialDestroy = std::is_trivially_destructible<T>::value;
    static constexpr bool kCopyable = std::is_copy_constructible<T>::value;

    // Copying entries are null for move-only types; the vector's copying
    // members refuse such types at compile time before they could be called.
    static constexpr VectorImpl::TypeUtil typeUtil = {
        kCopyable ? &copyOne : nullptr,
        kCopyable ? &copyRange : nullptr,
        kTrivialDestroy ? nullptr : &destroyOne,
        kTrivialDestroy ? nullptr : &destroyRange,
        &difference,
        static_cast<int>(sizeof(T)),
    };
};

template <class It, class = void>
struct IsIterator : std::false_type {};
template <class It>
struct IsIterator<It, std::void_t<typename std::iterator_traits<It>::iterator_category>>
    : std::true_type {};

}  // namespace detail

// Contiguous growable array over the library's VectorImpl. Counts and indices
// are int. T must be bitwise relocatable (see qx::is_relocatable): storage
// grows by realloc, which moves elements byte by byte.
template <class T>
class vector : private VectorImpl {
    static_assert(is_relocatable<T>::value,
                  "qx::vector moves its elements bytewise; this element type keeps pointers into "
                  "itself and cannot be stored in it");
    static_assert(sizeof(T) <= INT_MAX, "element too large");

    using Ops = detail::VectorElementOps<T>;
    static constexpr bool kPointer = std::is_pointer<T>::value;

public:
    using value_type = T;
    using size_type = int;
    using difference_type = std::ptrdiff_t;
    using reference = T&;
    using const_reference = const T&;
    using pointer = T*;
    using const_pointer = const T*;
    using iterator = T*;
    using const_iterator = const T*;
    using reverse_iterator = std::reverse_iterator<iterator>;
    using const_reverse_iterator = std::reverse_iterator<const_iterator>;

    // The one element-operations record for T.
    static constexpr const VectorImpl::TypeUtil& s_typeUtil = Ops::typeUtil;

    // --- construction and assignment -------------------------------------

    vector() noexcept : VectorImpl(&Ops::typeUtil) {}
    explicit vector(int n) : VectorImpl(n, &Ops::valueInitRange, &Ops::typeUtil) {}
    vector(int n, const T& value)
        : VectorImpl(n, static_cast<const void*>(&value), &Ops::typeUtil) {
        requireCopyable();
    }
    template <class It, class = std::enable_if_t<detail::IsIterator<It>::value>>
    vector(It first, It last) : VectorImpl(&Ops::typeUtil) {
        assign(first, last);
    }
    vector(std::initializer_list<T> il) : VectorImpl(&Ops::typeUtil) {
        assign(il.begin(), il.end());
    }
    vector(const vector& other) : VectorImpl(other.impl()) { requireCopyable(); }
    vector(vector&& other) noexcept : VectorImpl(std::move(other.impl())) {}
    ~vector() = default;

    vector& operator=(const vector& other) {
        requireCopyable();
        VectorImpl::copy(other.impl());
        return *this;
    }
    vector& operator=(vector&& other) noexcept {
        VectorImpl::operator=(std::move(other.impl()));
        return *this;
    }
    vector& operator=(std::initializer_list<T> il) {
        assign(il.begin(), il.end());
        return *this;
    }

    void assign(int n, const T& value) {
        requireCopyable();
        T copy(value);  // value may be one of our own elements
        clear();
        VectorImpl::setSize(n, static_cast<const void*>(&copy));
    }
    template <class It, class = std::enable_if_t<detail::IsIterator<It>::value>>
    void assign(It first, It last) {
        if constexpr (std::is_convertible<It, const T*>::value) {
            requireCopyable();
            const T* f = first;
            const T* l = last;
            if (!overlaps(f)) {
                VectorImpl::assign(static_cast<const void*>(f), static_cast<const void*>(l));
                return;
            }
        }
        vector built;
        for (; first != last; ++first) built.emplace_back(*first);
        swap(built);
    }
    void assign(std::initializer_list<T> il) { assign(il.begin(), il.end()); }

    // The implementation object, for code that works with VectorImpl directly.
    VectorImpl& impl() noexcept { return *this; }
    const VectorImpl& impl() const noexcept { return *this; }

    // --- size and access -------------------------------------------------

    using VectorImpl::capacity;
    using VectorImpl::size;
    bool empty() const noexcept { return m_size == 0; }
    static constexpr int max_size() noexcept { return INT_MAX; }

    T* data() noexcept { return static_cast<T*>(m_data); }
    const T* data() const noexcept { return static_cast<const T*>(m_data); }

    T& operator[](int i) { return data()[i]; }
    const T& operator[](int i) const { return data()[i]; }
    T& at(int i) { return data()[checkIndex(i)]; }
    const T& at(int i) const { return data()[checkIndex(i)]; }
    T& front() { return data()[0]; }
    const T& front() const { return data()[0]; }
    T& back() { return data()[m_size - 1]; }
    const T& back() const { return data()[m_size - 1]; }

    iterator begin() noexcept { return data(); }
    const_iterator begin() const noexcept { return data(); }
    const_iterator cbegin() const noexcept { return data(); }
    iterator end() noexcept { return data() + m_size; }
    const_iterator end() const noexcept { return data() + m_size; }
    const_iterator cend() const noexcept { return data() + m_size; }
    reverse_iterator rbegin() noexcept { return reverse_iterator(end()); }
    const_reverse_iterator rbegin() const noexcept { return const_reverse_iterator(end()); }
    reverse_iterator rend() noexcept { return reverse_iterator(begin()); }
    const_reverse_iterator rend() const noexcept { return const_reverse_iterator(begin()); }

    // --- adding ----------------------------------------------------------

    void push_back(const T& value) { emplace_back(value); }
    void push_back(T&& value) { emplace_back(std::move(value)); }

    template <class... Args>
    T& emplace_back(Args&&... args) {
        if constexpr (kPointer) {
            T p(std::forward<Args>(args)...);
            if (m_size < m_capacity)
                data()[m_size++] = p;
            else
                VectorImpl::appendAndAssignPtr(p);
            return back();
        } else {
            // The count is read once and written after the element: an int
            // element store may alias the int fields, and this order lets the
            // compiler keep the count in a register across a loop of appends.
            const int n = m_size;
            if (n < m_capacity) {
                T* slot = data() + n;
                ::new (static_cast<void*>(slot)) T(std::forward<Args>(args)...);
                m_size = n + 1;
                return *slot;
            }
            return emplaceBackGrowing(std::forward<Args>(args)...);
        }
    }

    iterator insert(const_iterator pos, const T& value) { return emplace(pos, value); }
    iterator insert(const_iterator pos, T&& value) { return emplace(pos, std::move(value)); }

    template <class... Args>
    iterator emplace(const_iterator pos, Args&&... args) {
        // Built first: the arguments may refer to elements that the gap moves.
        Relocated tmp(std::forward<Args>(args)...);
        T* gap = mut(pos);
        if (m_size < m_capacity) {
            // Room left: open the gap here; elements are relocatable, so a
            // byte move is all it takes.
            std::memmove(static_cast<void*>(gap + 1), static_cast<const void*>(gap),
                         static_cast<size_t>(end() - gap) * sizeof(T));
            ++m_size;
        } else if constexpr (kPointer) {
            const int index = static_cast<int>(gap - begin());
            VectorImpl::insertAndAssignPtr(gap, *tmp.object());
            return begin() + index;
        } else {
            gap = static_cast<T*>(VectorImpl::insert(gap));
        }
        return tmp.moveTo(gap);
    }

    iterator insert(const_iterator pos, int n, const T& value) {
        requireCopyable();
        const int index = static_cast<int>(pos - begin());
        if (overlaps(&value)) {
            T copy(value);
            VectorImpl::insert(mut(pos), n, static_cast<const void*>(&copy));
        } else {
            VectorImpl::insert(mut(pos), n, static_cast<const void*>(&value));
        }
        return begin() + index;
    }

    template <class It, class = std::enable_if_t<detail::IsIterator<It>::value>>
    iterator insert(const_iterator pos, It first, It last) {
        const int index = static_cast<int>(pos - begin());
        if constexpr (std::is_convertible<It, const T*>::value) {
            requireCopyable();
            const T* f = first;
            const T* l = last;
            if (f == l) return begin() + index;
            if (!overlaps(f)) {
                VectorImpl::insert(mut(pos), static_cast<const void*>(f),
                                   static_cast<const void*>(l));
                return begin() + index;
            }
        }
        // Build the new elements aside, then relocate them into one gap.
        vector built;
        for (; first != last; ++first) built.emplace_back(*first);
        if (built.m_size > 0) {
            void* gap = VectorImpl::insertGap(mut(pos), built.m_size);
            std::memcpy(gap, built.m_data, static_cast<size_t>(built.m_size) * sizeof(T));
            built.m_size = 0;  // relocated, not destroyed
        }
        return begin() + index;
    }
    iterator insert(const_iterator pos, std::initializer_list<T> il) {
        return insert(pos, il.begin(), il.end());
    }

    // --- removing --------------------------------------------------------

    void pop_back() {
        --m_size;
        if constexpr (!Ops::kTrivialDestroy) data()[m_size].~T();
    }
    iterator erase(const_iterator pos) {
        T* p = mut(pos);
        if constexpr (!Ops::kTrivialDestroy) p->~T();
        std::memmove(static_cast<void*>(p), static_cast<const void*>(p + 1),
                     static_cast<size_t>(end() - (p + 1)) * sizeof(T));
        --m_size;
        return p;
    }
    iterator erase(const_iterator first, const_iterator last) {
        return static_cast<T*>(VectorImpl::erase(mut(first), mut(last)));
    }
    void clear() noexcept {
        if constexpr (Ops::kTrivialDestroy)
            m_size = 0;
        else
            VectorImpl::clear();
    }

    // --- sizing ----------------------------------------------------------

    void reserve(int n) { VectorImpl::reserve(n); }
    void shrink_to_fit() {
        if (m_capacity > m_size) VectorImpl::setCapacity(m_size);
    }
    void resize(int n) { VectorImpl::setSize(n, &Ops::valueInitRange); }
    void resize(int n, const T& value) {
        requireCopyable();
        if (overlaps(&value)) {
            T copy(value);
            VectorImpl::setSize(n, static_cast<const void*>(&copy));
        } else {
            VectorImpl::setSize(n, static_cast<const void*>(&value));
        }
    }
    void swap(vector& other) noexcept { VectorImpl::swap(other.impl()); }

private:
    static void requireCopyable() {
        static_assert(Ops::kCopyable, "this qx::vector operation copies elements");
    }

    int checkIndex(int i) const {
        if (static_cast<unsigned>(i) >= static_cast<unsigned>(m_size))
            throw std::out_of_range("qx::vector::at: index out of range");
        return i;
    }

    bool overlaps(const T* p) const noexcept {
        std::less<const T*> lt;
        return !lt(p, data()) && lt(p, data() + m_size);
    }

    T* mut(const_iterator p) noexcept { return const_cast<T*>(p); }

    // An element built in raw memory before it has its place, then moved there
    // bytewise: safe because T is relocatable, and the arguments it was built
    // from may live in storage that the growth is about to move.
    struct Relocated {
        alignas(T) unsigned char bytes[sizeof(T)];
        template <class... Args>
        explicit Relocated(Args&&... args) {
            ::new (static_cast<void*>(bytes)) T(std::forward<Args>(args)...);
        }
        T* object() { return std::launder(reinterpret_cast<T*>(bytes)); }
        T* moveTo(T* slot) {
            std::memcpy(static_cast<void*>(slot), bytes, sizeof(T));
            return slot;
        }
    };

    template <class... Args>
    T& emplaceBackGrowing(Args&&... args) {
        Relocated tmp(std::forward<Args>(args)...);
        VectorImpl::growByOne();
        T* slot = tmp.moveTo(data() + m_size);
        ++m_size;
        return *slot;
    }
};

template <class T>
bool operator==(const vector<T>& a, const vector<T>& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}
template <class T>
bool operator!=(const vector<T>& a, const vector<T>& b) {
    return !(a == b);
}
template <class T>
bool operator<(const vector<T>& a, const vector<T>& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}
template <class T>
bool operator>(const vector<T>& a, const vector<T>& b) {
    return b < a;
}
template <class T>
bool operator<=(const vector<T>& a, const vector<T>& b) {
    return !(b < a);
}
template <class T>
bool operator>=(const vector<T>& a, const vector<T>& b) {
    return !(a < b);
}

template <class T>
void swap(vector<T>& a, vector<T>& b) noexcept {
    a.swap(b);
}

}  // namespace qx

#endif
