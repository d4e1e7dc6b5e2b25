// String interning: intern() and intern_dynamic() map equal texts to one
// process-wide record and hand out one-pointer handles to it, so that texts
// used as keys or identifiers compare by record identity.
//
// Constant records (made by intern) live until deleteStringTables(); dynamic
// records (only ever made by intern_dynamic) are reference counted by their
// DynamicCString/DynamicIString handles and removed with the last one.
// There is one table for 8-bit and one for wide texts, created on first use.
//
// The tables are not locked unless the application installs hooks with
// sharedStringThreading() before any thread interns; the hooks must lock one
// (non-recursive) mutex and change counters atomically.
#ifndef QXBASE_STRING_QXINTERN_H
#define QXBASE_STRING_QXINTERN_H

#include "qxDefs.h"
#include "string/qxString.h"

#include <type_traits>

namespace qxString {

// One interned text. refCount counts the dynamic handles that hold the
// record; isConstant is set once the text was interned with intern().
template <class S>
struct InternalString {
    S value;
    int refCount;
    bool isConstant;
};

// One more / one fewer dynamic reference; the last one removes a record that
// is not constant. Null is ignored.
QX_API void increaseStringRef(InternalString<CString>* r);
QX_API void increaseStringRef(InternalString<IString>* r);
QX_API void decreaseStringRef(InternalString<CString>* r);
QX_API void decreaseStringRef(InternalString<IString>* r);

namespace detail {

// What every handle offers: access to the text (the handle must not be
// null) and comparison by identity, also between the constant and the
// dynamic handle of one string type.
template <class S>
class InternHandle {
public:
    using Record = InternalString<S>;

    constexpr InternHandle() noexcept : m_record(nullptr) {}

    bool isNull() const noexcept { return m_record == nullptr; }
    explicit operator bool() const noexcept { return m_record != nullptr; }
    const S& str() const { return m_record->value; }
    const S& operator*() const { return m_record->value; }
    const S* operator->() const { return &m_record->value; }
    Record* record() const noexcept { return m_record; }

    friend bool operator==(const InternHandle& a, const InternHandle& b) noexcept {
        return a.m_record == b.m_record;
    }
    friend bool operator!=(const InternHandle& a, const InternHandle& b) noexcept {
        return a.m_record != b.m_record;
    }

protected:
    explicit constexpr InternHandle(Record* r) noexcept : m_record(r) {}

    Record* m_record;
};

template <class S>
class ConstantHandle : public InternHandle<S> {
public:
    using Record = InternalString<S>;

    constexpr ConstantHandle() noexcept = default;
    explicit constexpr ConstantHandle(Record* r) noexcept : InternHandle<S>(r) {}
};

// Owns one reference of its record.
template <class S>
class DynamicHandle : public InternHandle<S> {
public:
    using Record = InternalString<S>;

    constexpr DynamicHandle() noexcept = default;
    DynamicHandle(const DynamicHandle& o) noexcept : InternHandle<S>(o.m_record) {
        if (this->m_record) increaseStringRef(this->m_record);
    }
    DynamicHandle(DynamicHandle&& o) noexcept : InternHandle<S>(o.m_record) {
        o.m_record = nullptr;
    }
    ~DynamicHandle() {
        if (this->m_record) decreaseStringRef(this->m_record);
    }
    DynamicHandle& operator=(DynamicHandle o) noexcept {
        swap(o);
        return *this;
    }
    void swap(DynamicHandle& o) noexcept {
        Record* r = this->m_record;
        this->m_record = o.m_record;
        o.m_record = r;
    }

    // A handle that takes over one reference the caller already holds.
    static DynamicHandle adopt(Record* r) noexcept { return DynamicHandle(r); }

protected:
    explicit DynamicHandle(Record* r) noexcept : InternHandle<S>(r) {}
};

}  // namespace detail

class ConstantCString : public detail::ConstantHandle<CString> {
public:
    using ConstantHandle::ConstantHandle;
};
class ConstantIString : public detail::ConstantHandle<IString> {
public:
    using ConstantHandle::ConstantHandle;
};
class DynamicCString : public detail::DynamicHandle<CString> {
public:
    DynamicCString() noexcept = default;
    DynamicCString(detail::DynamicHandle<CString>&& h) noexcept
        : detail::DynamicHandle<CString>(std::move(h)) {}
};
class DynamicIString : public detail::DynamicHandle<IString> {
public:
    DynamicIString() noexcept = default;
    DynamicIString(detail::DynamicHandle<IString>&& h) noexcept
        : detail::DynamicHandle<IString>(std::move(h)) {}
};

// A null text pointer gives a null handle and touches no table.
QX_API ConstantCString intern(const CString& s);
QX_API ConstantCString intern(const char* s);
QX_API ConstantIString intern(const IString& s);
QX_API ConstantIString intern(const WChar* s);
QX_API DynamicCString intern_dynamic(const CString& s);
QX_API DynamicCString intern_dynamic(const char* s);
QX_API DynamicIString intern_dynamic(const IString& s);
QX_API DynamicIString intern_dynamic(const WChar* s);

// Records in each table; 0 before its first use.
QX_API int numInternedCStrings();
QX_API int numInternedIStrings();

// Destroys both tables and every record. Only when no handle is in use any
// more (at shutdown): every handle still held then points to freed memory.
// Interning afterwards starts fresh tables.
QX_API void deleteStringTables();

// The lock pair runs around every table access; the counter hooks change a
// reference count atomically and decrement returns the new value. Install
// them (any may be null) before the first interning.
using InternLockHook = void (*)();
using InternCountHook = int (*)(int& counter);
QX_API void sharedStringThreading(InternLockHook lockHook, InternLockHook unlockHook,
                                  InternCountHook incrementHook, InternCountHook decrementHook);

// Handles ordered by their texts (less), not by identity. Not for null
// handles.
struct ConstantCStringSort {
    bool operator()(const ConstantCString& a, const ConstantCString& b) const {
        return less(*a, *b);
    }
};
struct ConstantIStringSort {
    bool operator()(const ConstantIString& a, const ConstantIString& b) const {
        return less(*a, *b);
    }
};
struct DynamicCStringSort {
    bool operator()(const DynamicCString& a, const DynamicCString& b) const { return less(*a, *b); }
};
struct DynamicIStringSort {
    bool operator()(const DynamicIString& a, const DynamicIString& b) const { return less(*a, *b); }
};

}  // namespace qxString

namespace qx {

// Handles hash by identity, the record's address, as they compare: keys of
// a qx::hash_map cost no look at their text. (Dependent on H, so the
// pointer hash of the hash-table header is found where the map is used.)
template <class H>
struct hash<H, std::enable_if_t<
                   std::is_base_of<qxString::detail::InternHandle<qxString::CString>, H>::value ||
                   std::is_base_of<qxString::detail::InternHandle<qxString::IString>, H>::value>> {
    unsigned int operator()(const H& h) const {
        using Pointer = std::conditional_t<sizeof(H) != 0, const void*, H>;
        return qx::hash<Pointer>()(static_cast<Pointer>(h.record()));
    }
};

}  // namespace qx

#endif
