#include "string/qxIntern.h"

#include "containers/qxHash.h"
#include "containers/qxHashTableImpl.h"

#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace qxString {

namespace {

InternLockHook s_lockHook = nullptr;
InternLockHook s_unlockHook = nullptr;
InternCountHook s_incrementHook = nullptr;
InternCountHook s_decrementHook = nullptr;

// Holds the lock hooks for a scope.
class HookLock {
public:
    HookLock() {
        if (s_lockHook) s_lockHook();
    }
    ~HookLock() {
        if (s_unlockHook) s_unlockHook();
    }
    HookLock(const HookLock&) = delete;
    HookLock& operator=(const HookLock&) = delete;
};

// Counts change through the hooks outside the lock, so with hooks installed
// the count is read atomically too.
inline int loadCount(const int& count) {
    return __atomic_load_n(&count, __ATOMIC_ACQUIRE);
}

// The hash of a record is the string's own hash function over its text.
unsigned long long hashOf(const char* p, unsigned n) {
    return qx::hashfunction(reinterpret_cast<const unsigned char*>(p), static_cast<int>(n));
}
unsigned long long hashOf(const WChar* p, unsigned n) {
    return qx::hashfunction(p, static_cast<int>(n));
}

// A hash table of records: each node holds one InternalString after the
// node header. Records never move while they are in the table, so handles
// point straight at them. Keys are compared as whole records (their texts);
// lookups by text go through find(), which needs no record to compare with.
template <class S>
class InternTable : public qx::HashTableImpl {
public:
    using Record = InternalString<S>;
    using Unit =
        std::remove_const_t<std::remove_pointer_t<decltype(std::declval<const S&>().data())>>;
    using Node = qx::HashTableImpl::HashNodeImpl;

    InternTable() : qx::HashTableImpl(&kTypeUtil) {}

    static Record* recordOf(Node* n) {
        return std::launder(
            reinterpret_cast<Record*>(reinterpret_cast<char*>(n) + kNodeHeaderBytes));
    }
    static Node* nodeOf(Record* r) {
        return reinterpret_cast<Node*>(reinterpret_cast<char*>(r) - kNodeHeaderBytes);
    }

    Record* find(unsigned long long h, const Unit* p, unsigned n) const {
        if (m_count == 0) return nullptr;
        // Hashes are 32-bit, so the bucket needs no 64-bit division.
        const unsigned b = static_cast<unsigned>(h) % static_cast<unsigned>(bucket_count());
        for (Node* node = bucketArray()[b]; node; node = node->next) {
            if (node->hash != h) continue;
            const S& v = recordOf(node)->value;
            if (v.length() == n && std::memcmp(v.data(), p, n * sizeof(Unit)) == 0)
                return recordOf(node);
        }
        return nullptr;
    }

    // A new record for a text known to be missing: refCount 0, not constant.
    Record* insert(unsigned long long h, const Unit* p, unsigned n) {
        rehash(m_count + 1);
        Node* node = allocateNode();
        Record* r = ::new (static_cast<void*>(recordOf(node))) Record();
        try {
            // assign copies every unit, embedded NULs too.
            r->value.assign(p, n);
        } catch (...) {
            r->~Record();
            m_allocator.free(node);
            throw;
        }
        node->hash = h;
        node->next = nullptr;
        insertNode_noresize(node, true);
        return r;
    }

    // Whether r is linked into the table (by identity).
    bool holds(Record* r) const {
        const Node* target = nodeOf(r);
        for (Node* node = bucketArray()[bucketNum(target->hash)]; node; node = node->next)
            if (node == target) return true;
        return false;
    }

    // Takes r out of the table without destroying it; release() does that.
    void unlink(Record* r) {
        Node* target = nodeOf(r);
        Node** slot = &bucketArray()[bucketNum(target->hash)];
        while (*slot != target) slot = &(*slot)->next;
        *slot = target->next;
        --m_count;
    }
    void release(Record* r) { freeNode(nodeOf(r)); }
    void erase(Record* r) { eraseNode(nodeOf(r)); }

private:
    static bool keyEqual(const void* a, const void* b) {
        const S& x = static_cast<const Record*>(a)->value;
        const S& y = static_cast<const Record*>(b)->value;
        return x.length() == y.length() &&
               std::memcmp(x.data(), y.data(), x.length() * sizeof(Unit)) == 0;
    }
    static void copyRecord(void* dst, const void* src) {
        const Record* from = static_cast<const Record*>(src);
        Record* to = ::new (dst) Record();
        to->value.assign(from->value.data(), from->value.length());
        to->refCount = from->refCount;
        to->isConstant = from->isConstant;
    }
    static void destroyRecord(void* p) { static_cast<Record*>(p)->~Record(); }

    static constexpr int kNodeSize =
        static_cast<int>((kNodeHeaderBytes + sizeof(Record) + 7) / 8 * 8);
    static const TypeUtil kTypeUtil;
};

template <class S>
const qx::HashTableImpl::TypeUtil InternTable<S>::kTypeUtil = {
    kNodeSize,   0,       kNodeHeaderBytes, kNodeHeaderBytes, kNodeHeaderBytes, &keyEqual,
    &copyRecord, nullptr, nullptr,          &destroyRecord,   nullptr,
};

InternTable<CString>* s_cStringTable = nullptr;
InternTable<IString>* s_iStringTable = nullptr;

InternTable<CString>*& tablePointer(const CString*) {
    return s_cStringTable;
}
InternTable<IString>*& tablePointer(const IString*) {
    return s_iStringTable;
}

template <class S>
InternTable<S>& table() {
    InternTable<S>*& t = tablePointer(static_cast<const S*>(nullptr));
    if (!t) t = new InternTable<S>();
    return *t;
}

template <class S>
void increaseRef(InternalString<S>* r) {
    if (!r) return;
    if (s_incrementHook)
        s_incrementHook(r->refCount);
    else
        ++r->refCount;
}

// The record of a text, created when missing, with the lock held. A record
// whose last dynamic reference is being released (count 0, not constant)
// is not revived: its releasing thread may be about to free it. It is taken
// out of the table, left to that thread, and a fresh record takes its place.
template <class S, class Unit>
InternalString<S>* lookup(const Unit* p, unsigned n, bool constant) {
    const unsigned long long h = hashOf(p, n);
    InternTable<S>& t = table<S>();
    InternalString<S>* r = t.find(h, p, n);
    if (r && !constant && !r->isConstant && loadCount(r->refCount) == 0) {
        t.unlink(r);
        r = nullptr;
    }
    if (!r) r = t.insert(h, p, n);
    if (constant) {
        if (!r->isConstant) r->isConstant = true;  // no store on the usual hit
    } else {
        increaseRef(r);
    }
    return r;
}

template <class S, class Unit>
InternalString<S>* internText(const Unit* p, unsigned n, bool constant) {
    HookLock lock;
    return lookup<S>(p, n, constant);
}

template <class S>
void decreaseRef(InternalString<S>* r) {
    if (!r) return;
    const int left = s_decrementHook ? s_decrementHook(r->refCount) : --r->refCount;
    if (left != 0 || r->isConstant) return;
    HookLock lock;
    // Another thread may have interned the text again meanwhile: made it
    // constant, or replaced this record by a fresh one.
    if (loadCount(r->refCount) != 0 || r->isConstant) return;
    InternTable<S>& t = table<S>();
    if (t.holds(r))
        t.erase(r);
    else
        t.release(r);
}

template <class S>
void deleteTable() {
    InternTable<S>*& t = tablePointer(static_cast<const S*>(nullptr));
    if (!t) return;
    t->clear();
    delete t;
    t = nullptr;
}

template <class S>
int countOf() {
    const InternTable<S>* t = tablePointer(static_cast<const S*>(nullptr));
    return t ? t->size() : 0;
}

unsigned unitsOf(const WChar* s) {
    unsigned n = 0;
    while (s[n]) ++n;
    return n;
}

}  // namespace

void increaseStringRef(InternalString<CString>* r) {
    increaseRef(r);
}
void increaseStringRef(InternalString<IString>* r) {
    increaseRef(r);
}
void decreaseStringRef(InternalString<CString>* r) {
    decreaseRef(r);
}
void decreaseStringRef(InternalString<IString>* r) {
    decreaseRef(r);
}

ConstantCString intern(const CString& s) {
    return ConstantCString(internText<CString>(s.data(), s.length(), true));
}
ConstantCString intern(const char* s) {
    if (!s) return ConstantCString();
    return ConstantCString(internText<CString>(s, static_cast<unsigned>(std::strlen(s)), true));
}
ConstantIString intern(const IString& s) {
    return ConstantIString(internText<IString>(s.data(), s.length(), true));
}
ConstantIString intern(const WChar* s) {
    if (!s) return ConstantIString();
    return ConstantIString(internText<IString>(s, unitsOf(s), true));
}

DynamicCString intern_dynamic(const CString& s) {
    return detail::DynamicHandle<CString>::adopt(internText<CString>(s.data(), s.length(), false));
}
DynamicCString intern_dynamic(const char* s) {
    if (!s) return DynamicCString();
    return detail::DynamicHandle<CString>::adopt(
        internText<CString>(s, static_cast<unsigned>(std::strlen(s)), false));
}
DynamicIString intern_dynamic(const IString& s) {
    return detail::DynamicHandle<IString>::adopt(internText<IString>(s.data(), s.length(), false));
}
DynamicIString intern_dynamic(const WChar* s) {
    if (!s) return DynamicIString();
    return detail::DynamicHandle<IString>::adopt(internText<IString>(s, unitsOf(s), false));
}

int numInternedCStrings() {
    return countOf<CString>();
}
int numInternedIStrings() {
    return countOf<IString>();
}

void deleteStringTables() {
    HookLock lock;
    deleteTable<CString>();
    deleteTable<IString>();
}

void sharedStringThreading(InternLockHook lockHook, InternLockHook unlockHook,
                           InternCountHook incrementHook, InternCountHook decrementHook) {
    s_lockHook = lockHook;
    s_unlockHook = unlockHook;
    s_incrementHook = incrementHook;
    s_decrementHook = decrementHook;
}

}  // namespace qxString
