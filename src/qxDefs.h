// Basic definitions every qxbase header relies on: the export macros (QX_API
// for the library, QX_THREADS_API for its companion qxbase_threads), the wide
// character unit, qx::pair and qx::ImplBase.
//
// This is the one public header allowed to test the platform; everything else
// that depends on the operating system goes through the internal platform layer.
#ifndef QXBASE_QXDEFS_H
#define QXBASE_QXDEFS_H

#include <utility>

#if defined(_WIN32)
#    if defined(QXBASE_BUILDING)
#        define QX_API __declspec(dllexport)
#    else
#        define QX_API __declspec(dllimport)
#    endif
#    if defined(QXBASE_THREADS_BUILDING)
#        define QX_THREADS_API __declspec(dllexport)
#    else
#        define QX_THREADS_API __declspec(dllimport)
#    endif
#    define QX_WIDE_LITERAL(s) L##s
#else
#    define QX_API __attribute__((visibility("default")))
#    define QX_THREADS_API __attribute__((visibility("default")))
#    define QX_WIDE_LITERAL(s) u##s
#endif

// Wide literal in the library's wide unit: QX_W("text").
#define QX_W(s) QX_WIDE_LITERAL(s)

// 1 where the C runtime lacks the drand48 family and the library exports its
// own under those names (Windows); 0 where the C library has it (see
// Components/Base/Utility/qxRand48.h).
#if defined(_WIN32)
#    define QX_EXPORTS_RAND48 1
#else
#    define QX_EXPORTS_RAND48 0
#endif

namespace qx {

// Wide text is UTF-16 on every target: wchar_t where that is 16 bits (Windows),
// char16_t elsewhere.
#if defined(_WIN32)
using WChar = wchar_t;
#else
using WChar = char16_t;
#endif
static_assert(sizeof(WChar) == 2, "qx::WChar must be a 16-bit unit");

// Plain pair, used for results such as a value together with an error.
template <class A, class B>
struct pair {
    using first_type = A;
    using second_type = B;

    A first;
    B second;

    constexpr pair() : first(), second() {}
    constexpr pair(const A& a, const B& b) : first(a), second(b) {}
    template <class U, class V>
    constexpr pair(U&& a, V&& b) : first(std::forward<U>(a)), second(std::forward<V>(b)) {}
    template <class U, class V>
    constexpr pair(const pair<U, V>& p) : first(p.first), second(p.second) {}
    template <class U, class V>
    constexpr pair(pair<U, V>&& p) : first(std::move(p.first)), second(std::move(p.second)) {}
    template <class U, class V>
    constexpr pair(const std::pair<U, V>& p) : first(p.first), second(p.second) {}
    template <class U, class V>
    constexpr pair(std::pair<U, V>&& p) : first(std::move(p.first)), second(std::move(p.second)) {}

    void swap(pair& o) {
        using std::swap;
        swap(first, o.first);
        swap(second, o.second);
    }
};

template <class A, class B>
constexpr pair<typename std::decay<A>::type, typename std::decay<B>::type> make_pair(A&& a, B&& b) {
    return {std::forward<A>(a), std::forward<B>(b)};
}

template <class A, class B>
constexpr bool operator==(const pair<A, B>& x, const pair<A, B>& y) {
    return x.first == y.first && x.second == y.second;
}
template <class A, class B>
constexpr bool operator!=(const pair<A, B>& x, const pair<A, B>& y) {
    return !(x == y);
}
template <class A, class B>
constexpr bool operator<(const pair<A, B>& x, const pair<A, B>& y) {
    return x.first < y.first || (!(y.first < x.first) && x.second < y.second);
}
template <class A, class B>
constexpr bool operator>(const pair<A, B>& x, const pair<A, B>& y) {
    return y < x;
}
template <class A, class B>
constexpr bool operator<=(const pair<A, B>& x, const pair<A, B>& y) {
    return !(y < x);
}
template <class A, class B>
constexpr bool operator>=(const pair<A, B>& x, const pair<A, B>& y) {
    return !(x < y);
}

// Base of every private implementation object: public classes own one through
// a pointer and delete it through this virtual destructor.
class QX_API ImplBase {
public:
    ImplBase() = default;
    ImplBase(const ImplBase&) = default;
    ImplBase& operator=(const ImplBase&) = default;
    virtual ~ImplBase();
};

}  // namespace qx

#endif
