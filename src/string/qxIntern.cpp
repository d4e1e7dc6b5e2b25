#include "string/qxIntern.h"

#include "containers/qxBlockAllocator.h"
#include "containers/qxHash.h"

#include <cstddef>
#include <cstdint>
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
unsigned hashOf(const char* p, unsigned n) {
    return qx::hashfunction(reinterpret_cast<const unsigned char*>(p), static_cast<int>(n));
}
unsigned hashOf(const WChar* p, unsigned n) {
    return qx::hashfunction(p, static_cast<int>(n));
}

// Whether two texts of n units are equal. Texts to intern are mostly short;
// from 8 to 32 bytes two overlapping fixed-size compares, which the compiler
// turns into a few loads, beat the call to memcmp.
template <class Unit>
inline bool sameUnits(const Unit* a, const Unit* b, unsigned n) {
    const std::size_t bytes = std::size_t{n} * sizeof(Unit);
    const char* x = reinterpret_cast<const char*>(a);
    const char* y = reinterpret_cast<const char*>(b);
    if (bytes >= 16 && bytes <= 32)
        return std::memcmp(x, y, 16) == 0 && std::memcmp(x + bytes - 16, y + bytes - 16, 16) == 0;
    if (bytes >= 8 && bytes < 16)
        return std::memcmp(x, y, 8) == 0 && std::memcmp(x + bytes - 8, y + bytes - 8, 8) == 0;
    return std::memcmp(x, y, bytes) == 0;
}

// An open-addressed table (linear probing, power-of-two size) of records.
// Interning a known text is the hot path, so a slot keeps next to the record
// pointer all that a probe and a constant hit need: the hash, the length, a
// pointer to the text itself and whether the record is constant. Such a hit
// reads one slot and then the text, not the record or the string object in
// between (a chain of dependent cache misses when the table is large).
// Records sit in block-allocated nodes that never move, so handles point
// straight at them; the node also keeps the hash, so removing a record needs
// no hashing.
template <class S>
class InternTable {
public:
    using Record = InternalString<S>;
    using Unit =
        std::remove_const_t<std::remove_pointer_t<decltype(std::declval<const S&>().data())>>;

    class Slot {
    public:
        Record* record() const { return reinterpret_cast<Record*>(m_record & ~kConstantBit); }
        // Mirrors record()->isConstant.
        bool constant() const { return (m_record & kConstantBit) != 0; }

    private:
        friend class InternTable;
        // Records are at least 8-aligned, which leaves the low bit free.
        static constexpr std::uintptr_t kConstantBit = 1;

        const Unit* text;         // the record's text, which never changes
        std::uintptr_t m_record;  // 0 in a free slot
        unsigned hash;
        unsigned length;
    };

    InternTable() : m_nodes(sizeof(Node), kNodesInBlock) { grow(kMinCapacity); }
    ~InternTable() {
        for (unsigned i = 0; i < m_capacity; ++i)
            if (m_slots[i].m_record) destroy(m_slots[i].record());
        delete[] m_slots;
    }
    InternTable(const InternTable&) = delete;
    InternTable& operator=(const InternTable&) = delete;

    int size() const { return m_count; }

    // The slot holding the text, or null.
    Slot* find(unsigned h, const Unit* p, unsigned n) const {
        for (unsigned i = home(h);; i = (i + 1) & m_mask) {
            Slot& s = m_slots[i];
            if (!s.m_record) return nullptr;
            if (s.hash == h && s.length == n && sameUnits(s.text, p, n)) return &s;
        }
    }

    void makeConstant(Slot& s) {
        s.record()->isConstant = true;
        s.m_record |= Slot::kConstantBit;
    }

    // A new record for a text known to be missing, with refCount 0.
    Record* insert(unsigned h, const Unit* p, unsigned n, bool constant) {
        if (std::uint64_t{m_count + 1u} * kLoadDen > std::uint64_t{m_capacity} * kLoadNum) {
            if (m_capacity > kMaxCapacity / 2) throw std::bad_alloc();
            grow(m_capacity * 2);
        }
        Node* node = static_cast<Node*>(m_nodes.alloc());
        ::new (static_cast<void*>(node)) Node();
        try {
            // assign copies every unit, embedded NULs too.
            node->value.assign(p, n);
        } catch (...) {
            node->~Node();
            m_nodes.free(node);
            throw;
        }
        node->hash = h;
        node->isConstant = constant;
        Slot& s = m_slots[freeSlot(h)];
        s.text = node->value.data();
        s.m_record = reinterpret_cast<std::uintptr_t>(static_cast<Record*>(node)) |
                     (constant ? Slot::kConstantBit : 0);
        s.hash = h;
        s.length = n;
        ++m_count;
        return node;
    }

    // Whether r is in the table (by identity).
    bool holds(Record* r) const { return slotOf(r) != nullptr; }

    // Takes the record of s out of the table without destroying it;
    // release() does that.
    void unlink(Slot& s) {
        // Backward-shift deletion: later slots of the probe run move up, so
        // no probe ever has to step over a hole.
        unsigned hole = static_cast<unsigned>(&s - m_slots);
        for (unsigned j = (hole + 1) & m_mask; m_slots[j].m_record; j = (j + 1) & m_mask) {
            // The slot at j may fill the hole when the hole lies on its probe
            // path, from its home up to j.
            if (((j - home(m_slots[j].hash)) & m_mask) >= ((j - hole) & m_mask)) {
                m_slots[hole] = m_slots[j];
                hole = j;
            }
        }
        m_slots[hole] = Slot();
        --m_count;
    }
    void release(Record* r) { destroy(r); }
    void erase(Record* r) {
        unlink(*slotOf(r));
        destroy(r);
    }

private:
    // Handles point at the record part of a node.
    struct Node : Record {
        unsigned hash;
    };

    static Node* nodeOf(Record* r) { return static_cast<Node*>(r); }

    // Fibonacci hashing spreads every bit of the hash over the index bits.
    unsigned home(unsigned h) const { return (h * 0x9E3779B9u) >> m_shift; }

    unsigned freeSlot(unsigned h) const {
        unsigned i = home(h);
        while (m_slots[i].m_record) i = (i + 1) & m_mask;
        return i;
    }

    Slot* slotOf(Record* r) const {
        for (unsigned i = home(nodeOf(r)->hash);; i = (i + 1) & m_mask) {
            if (!m_slots[i].m_record) return nullptr;
            if (m_slots[i].record() == r) return &m_slots[i];
        }
    }

    void grow(unsigned capacity) {
        Slot* old = m_slots;
        const unsigned oldCapacity = m_capacity;
        m_slots = new Slot[capacity]();
        m_capacity = capacity;
        m_mask = capacity - 1;
        m_shift = 32;
        for (unsigned c = capacity; c > 1; c >>= 1) --m_shift;  // 32 - log2(capacity)
        for (unsigned k = 0; k < oldCapacity; ++k)
            if (old[k].m_record) m_slots[freeSlot(old[k].hash)] = old[k];
        delete[] old;
    }

    void destroy(Record* r) {
        Node* node = nodeOf(r);
        node->~Node();
        m_nodes.free(node);
    }

    // At most 3/4 full: an unsuccessful probe (every insertion) stays short.
    static constexpr unsigned kLoadNum = 3, kLoadDen = 4;
    static constexpr unsigned kMinCapacity = 16, kMaxCapacity = 1u << 31;
    static constexpr int kNodesInBlock = 64;

    Slot* m_slots = nullptr;
    unsigned m_capacity = 0;
    unsigned m_mask = 0;
    unsigned m_shift = 32;
    int m_count = 0;
    qx::BlockAllocator m_nodes;
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

// A record for a text that is missing, or whose record is being released:
// such a record (count 0, not constant) is not revived, since its releasing
// thread may be about to free it. It is taken out of the table, left to that
// thread, and a fresh record takes its place.
template <class S, class Unit>
[[gnu::noinline]] InternalString<S>* create(typename InternTable<S>::Slot* dying, unsigned h,
                                            const Unit* p, unsigned n, bool constant) {
    InternTable<S>& t = table<S>();
    if (dying) t.unlink(*dying);
    InternalString<S>* r = t.insert(h, p, n, constant);
    if (!constant) increaseRef(r);
    return r;
}

// The record of a text, created when missing. A constant hit reads no more
// than the slot and the text.
template <class S, class Unit>
inline InternalString<S>* internText(const Unit* p, unsigned n, bool constant) {
    // The hash needs no table, so it is computed before taking the lock.
    const unsigned h = hashOf(p, n);
    HookLock lock;
    InternTable<S>* t = tablePointer(static_cast<const S*>(nullptr));
    typename InternTable<S>::Slot* s = t ? t->find(h, p, n) : nullptr;
    if (!s) return create<S>(nullptr, h, p, n, constant);
    InternalString<S>* r = s->record();
    if (constant) {
        if (!s->constant()) t->makeConstant(*s);
    } else {
        if (!r->isConstant && loadCount(r->refCount) == 0) return create<S>(s, h, p, n, false);
        increaseRef(r);
    }
    return r;
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
