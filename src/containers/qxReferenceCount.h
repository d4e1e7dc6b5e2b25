// Intrusive, non-atomic reference counting: qx::ReferenceCount is the base of
// the library's shared objects, qx::Reference<T> the pointer that holds them.
#ifndef QXBASE_CONTAINERS_QXREFERENCECOUNT_H
#define QXBASE_CONTAINERS_QXREFERENCECOUNT_H

#include "qxDefs.h"

#include <utility>

namespace qx {

// Created with count 0; deletes itself on the unref() that brings the count
// back to 0. Counts are plain ints: objects shared between threads need their
// owner's locking.
class QX_API ReferenceCount {
public:
    // A copy starts unreferenced, and assignment keeps each object's own count.
    ReferenceCount(const ReferenceCount&) : m_refs(0) {}
    ReferenceCount& operator=(const ReferenceCount&) { return *this; }
    virtual ~ReferenceCount();

    void ref() const { ++m_refs; }
    void unref() const {
        if (--m_refs == 0) destroy();
    }
    int refs() const { return m_refs; }

protected:
    ReferenceCount() : m_refs(0) {}

private:
    // Out of line: the deletion stays in the library, and compilers that
    // cannot follow the count do not warn about uses after it in callers.
    void destroy() const;

    mutable int m_refs;
};

// Holds a T derived from ReferenceCount: ref() when it takes a pointer,
// unref() when it lets one go.
template <class T>
class Reference {
public:
    Reference() noexcept : m_p(nullptr) {}
    Reference(T* p) : m_p(p) {  // NOLINT: implicit, like a raw pointer
        if (m_p) m_p->ref();
    }
    Reference(const Reference& o) : Reference(o.m_p) {}
    template <class U>
    Reference(const Reference<U>& o) : Reference(o.get()) {}
    Reference(Reference&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    ~Reference() {
        if (m_p) m_p->unref();
    }

    Reference& operator=(const Reference& o) {
        reset(o.m_p);
        return *this;
    }
    Reference& operator=(Reference&& o) noexcept {
        if (this != &o) {
            T* old = std::exchange(m_p, std::exchange(o.m_p, nullptr));
            if (old) old->unref();
        }
        return *this;
    }
    Reference& operator=(T* p) {
        reset(p);
        return *this;
    }

    // Takes p first, then lets the old pointer go: safe when both are the same.
    void reset(T* p = nullptr) {
        if (p) p->ref();
        T* old = std::exchange(m_p, p);
        if (old) old->unref();
    }

    T* get() const noexcept { return m_p; }
    T& operator*() const { return *m_p; }
    T* operator->() const noexcept { return m_p; }
    explicit operator bool() const noexcept { return m_p != nullptr; }

    void swap(Reference& o) noexcept { std::swap(m_p, o.m_p); }

private:
    T* m_p;
};

template <class T, class U>
bool operator==(const Reference<T>& a, const Reference<U>& b) {
    return a.get() == b.get();
}
template <class T, class U>
bool operator!=(const Reference<T>& a, const Reference<U>& b) {
    return a.get() != b.get();
}

}  // namespace qx

#endif
