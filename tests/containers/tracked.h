// An element type for container tests: it owns heap memory and counts live
// objects, so leaks and double destroys show as a count mismatch (also under
// Wine, which runs no sanitizer), and its copies can be made to throw. It
// keeps no pointer to itself, so it may be relocated bytewise.
#ifndef QXBASE_TESTS_CONTAINERS_TRACKED_H
#define QXBASE_TESTS_CONTAINERS_TRACKED_H

#include <climits>
#include <utility>

namespace qxtest {

struct CopyFailure {};
inline int g_live = 0;        // Tracked objects currently constructed
inline int g_copyBudget = 0;  // when > 0, the copy that brings it down to 0 throws

struct Tracked {
    int* p;
    Tracked(int v = -1) : p(new int(v)) { ++g_live; }  // NOLINT: implicit
    Tracked(const Tracked& o)
        : p(g_copyBudget > 0 && --g_copyBudget == 0 ? throw CopyFailure() : new int(*o.p)) {
        ++g_live;
    }
    Tracked(Tracked&& o) noexcept : p(std::exchange(o.p, nullptr)) { ++g_live; }
    Tracked& operator=(Tracked o) noexcept { return std::swap(p, o.p), *this; }
    ~Tracked() { delete p, --g_live; }
    int value() const { return p ? *p : INT_MIN; }
    bool operator==(const Tracked& o) const { return value() == o.value(); }
    bool operator<(const Tracked& o) const { return value() < o.value(); }
};

}  // namespace qxtest

#endif
