#include "containers/qxHashTableImpl.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

namespace qx {

namespace {

const int kPrimes[] = {
    7,         13,        29,        53,        97,         193,      389,      769,
    1543,      3079,      6151,      12289,     24593,      49157,    98317,    196613,
    393241,    786433,    1572869,   3145739,   6291469,    12582917, 25165843, 50331653,
    100663319, 201326611, 402653189, 805306457, 1610612741,
};

// The bucket array is a vector of node pointers.
void copyPointer(void* dst, const void* src) {
    std::memcpy(dst, src, sizeof(void*));
}
void copyPointers(void* dst, const void* src, int n) {
    std::memcpy(dst, src, static_cast<size_t>(n) * sizeof(void*));
}
long long pointerDistance(const void* a, const void* b) {
    return (static_cast<const char*>(a) - static_cast<const char*>(b)) /
           static_cast<long long>(sizeof(void*));
}
void clearPointers(void* p, int n) {
    std::memset(p, 0, static_cast<size_t>(n) * sizeof(void*));
}

const VectorImpl::TypeUtil kBucketOps = {
    copyPointer, copyPointers, nullptr, nullptr, pointerDistance, static_cast<int>(sizeof(void*)),
};

}  // namespace

using HashNodeImpl = HashTableImpl::HashNodeImpl;
static_assert(sizeof(HashNodeImpl) == HashTableImpl::kNodeHeaderBytes, "node header layout");

HashTableImpl::HashTableImpl(const TypeUtil* typeUtil)
    : m_buckets(&kBucketOps),
      m_typeUtil(typeUtil),
      m_count(0),
      m_maxLoadFactor(1.0f),
      m_allocator(static_cast<unsigned long long>(typeUtil->nodeSize), 10) {}

HashTableImpl::~HashTableImpl() {
    clear();
}

void HashTableImpl::rehash(int n) {
    const float wanted = static_cast<float>(n) / m_maxLoadFactor;
    int target = 0;
    if (wanted >= 2147483648.0f)
        target = INT_MAX;
    else if (wanted > 0)  // also false for NaN
        target = static_cast<int>(wanted);
    // A load factor above n would leave a table without buckets to insert
    // into; such a table still gets the smallest bucket array.
    if (target < 1 && n > 0 && m_buckets.size() == 0) target = 1;
    const int current = m_buckets.size();
    if (target <= current) return;

    const int* end = kPrimes + sizeof(kPrimes) / sizeof(kPrimes[0]);
    const int* p = std::lower_bound(kPrimes, end, target);  // bisection
    const int newCount = p == end ? kMaxBucketCount : *p;
    if (newCount <= current) return;

    VectorImpl fresh(newCount, clearPointers, &kBucketOps);
    HashNodeImpl** to = static_cast<HashNodeImpl**>(fresh.data());
    HashNodeImpl** from = bucketArray();
    for (int i = 0; i < current; ++i) {
        while (HashNodeImpl* node = from[i]) {
            from[i] = node->next;
            const unsigned long long b = node->hash % static_cast<unsigned long long>(newCount);
            node->next = to[b];
            to[b] = node;
        }
    }
    m_buckets.swap(fresh);  // the old array goes with `fresh`
}

// A node with its key constructed and its value copied from `value`, or
// default-constructed when `value` is null and defaultValue is set (when the
// record can); nothing is left behind when a constructor throws.
HashNodeImpl* HashTableImpl::newNode(unsigned long long hash, const void* key, const void* value,
                                     bool defaultValue) {
    HashNodeImpl* node = allocateNode();
    try {
        m_typeUtil->copyKey(keyPtrOfNode(node), key);
    } catch (...) {
        m_allocator.free(node);
        throw;
    }
    try {
        if (value)
            m_typeUtil->copyValue(valuePtrOfNode(node), value);
        else if (defaultValue && m_typeUtil->constructValue)
            m_typeUtil->constructValue(valuePtrOfNode(node));
    } catch (...) {
        if (m_typeUtil->destroyKey) m_typeUtil->destroyKey(keyPtrOfNode(node));
        m_allocator.free(node);
        throw;
    }
    node->hash = hash;
    node->next = nullptr;
    return node;
}

void HashTableImpl::linkAtHead(HashNodeImpl* node) {
    HashNodeImpl*& head = bucketArray()[bucketNum(node->hash)];
    node->next = head;
    head = node;
    ++m_count;
}

// Links node into its bucket: after the first equal key for a multi table,
// at the head otherwise. For a unique table with an equal key present, sets
// *existing and links nothing. Equality here is the key comparison alone.
void HashTableImpl::link(HashNodeImpl* node, bool unique, HashNodeImpl** existing) {
    HashNodeImpl*& head = bucketArray()[bucketNum(node->hash)];
    const void* key = keyPtrOfNode(node);
    for (HashNodeImpl* n = head; n; n = n->next) {
        if (m_typeUtil->keyEqual(keyPtrOfNode(n), key)) {
            if (unique) {
                *existing = n;
                return;
            }
            node->next = n->next;
            n->next = node;
            ++m_count;
            return;
        }
    }
    linkAtHead(node);
}

HashNodeImpl* HashTableImpl::insert_unique_noresize(unsigned long long hash, const void* key,
                                                    const void* value) {
    for (HashNodeImpl* n = bucketArray()[bucketNum(hash)]; n; n = n->next)
        if (m_typeUtil->keyEqual(keyPtrOfNode(n), key)) return n;
    HashNodeImpl* node = newNode(hash, key, value, false);
    linkAtHead(node);
    return node;
}

HashNodeImpl* HashTableImpl::insert_non_unique_noresize(unsigned long long hash, const void* key,
                                                        const void* value) {
    HashNodeImpl* node = newNode(hash, key, value, false);
    link(node, false, nullptr);
    return node;
}

HashNodeImpl* HashTableImpl::insertNode_noresize(HashNodeImpl* node, bool unique) {
    HashNodeImpl* existing = nullptr;
    link(node, unique, &existing);
    return existing ? existing : node;
}

HashNodeImpl* HashTableImpl::get(unsigned long long hash, const void* key) {
    if (HashNodeImpl* found = findNode(hash, key)) return found;
    rehash(m_count + 1);
    HashNodeImpl* node = newNode(hash, key, nullptr, true);
    linkAtHead(node);
    return node;
}

const HashNodeImpl* HashTableImpl::findNode(unsigned long long hash, const void* key) const {
    if (m_count == 0) return nullptr;
    for (const HashNodeImpl* n = bucketArray()[bucketNum(hash)]; n; n = n->next)
        if (n->hash == hash && m_typeUtil->keyEqual(keyPtrOfNode(n), key)) return n;
    return nullptr;
}

HashNodeImpl* HashTableImpl::findNode(unsigned long long hash, const void* key) {
    return const_cast<HashNodeImpl*>(static_cast<const HashTableImpl*>(this)->findNode(hash, key));
}

int HashTableImpl::count(unsigned long long hash, const void* key) const {
    if (m_count == 0) return 0;
    int k = 0;
    for (const HashNodeImpl* n = bucketArray()[bucketNum(hash)]; n; n = n->next)
        if (n->hash == hash && m_typeUtil->keyEqual(keyPtrOfNode(n), key)) ++k;
    return k;
}

void HashTableImpl::freeNode(HashNodeImpl* node) {
    if (m_typeUtil->destroyKey) m_typeUtil->destroyKey(keyPtrOfNode(node));
    // Sets share the key's place with the value: only maps destroy a value.
    if (m_typeUtil->hasValue && m_typeUtil->destroyValue)
        m_typeUtil->destroyValue(valuePtrOfNode(node));
    m_allocator.free(node);
}

void HashTableImpl::eraseNode(HashNodeImpl* node) {
    if (!node) return;
    HashNodeImpl** slot = &bucketArray()[bucketNum(node->hash)];
    while (*slot != node) slot = &(*slot)->next;
    *slot = node->next;
    freeNode(node);
    --m_count;
}

// One pass over the bucket, erasing the matches in chain order.
int HashTableImpl::eraseKey(unsigned long long hash, const void* key) {
    if (m_count == 0) return 0;
    int erased = 0;
    HashNodeImpl** slot = &bucketArray()[bucketNum(hash)];
    while (HashNodeImpl* n = *slot) {
        if (n->hash == hash && m_typeUtil->keyEqual(keyPtrOfNode(n), key)) {
            *slot = n->next;
            freeNode(n);
            --m_count;
            ++erased;
        } else {
            slot = &n->next;
        }
    }
    return erased;
}

void HashTableImpl::clear() {
    if (m_count >= 1) {
        HashNodeImpl** buckets = bucketArray();
        for (int i = 0, n = m_buckets.size(); i < n; ++i) {
            while (HashNodeImpl* node = buckets[i]) {
                buckets[i] = node->next;
                freeNode(node);
            }
        }
    }
    m_count = 0;
}

void HashTableImpl::copy(const HashTableImpl* other) {
    if (other == this) return;  // copying a table onto itself keeps it as it is
    clear();
    m_maxLoadFactor = other->m_maxLoadFactor;
    rehash(other->m_count);
    const bool hasValue = m_typeUtil->hasValue != 0;
    for (const HashNodeImpl* n = other->firstNode(); n; n = n->nextItem(*other))
        insert_non_unique_noresize(n->hash, other->keyPtrOfNode(n),
                                   hasValue ? other->valuePtrOfNode(n) : nullptr);
}

void HashTableImpl::swap(HashTableImpl& other) noexcept {
    m_buckets.swap(other.m_buckets);
    std::swap(m_typeUtil, other.m_typeUtil);
    std::swap(m_count, other.m_count);
    std::swap(m_maxLoadFactor, other.m_maxLoadFactor);
    m_allocator.swap(other.m_allocator);
}

HashNodeImpl* HashTableImpl::headAfter(unsigned long long hash) const {
    HashNodeImpl** buckets = bucketArray();
    for (int i = bucketNum(hash) + 1, n = m_buckets.size(); i < n; ++i)
        if (buckets[i]) return buckets[i];
    return nullptr;
}

const HashNodeImpl* HashTableImpl::firstNode() const {
    HashNodeImpl** buckets = bucketArray();
    for (int i = 0, n = m_buckets.size(); i < n; ++i)
        if (buckets[i]) return buckets[i];
    return nullptr;
}

HashNodeImpl* HashTableImpl::firstNode() {
    return const_cast<HashNodeImpl*>(static_cast<const HashTableImpl*>(this)->firstNode());
}

int HashTableImpl::bucket_size(int i) const {
    int k = 0;
    for (const HashNodeImpl* n = bucketArray()[i]; n; n = n->next) ++k;
    return k;
}

int HashTableImpl::max_bucket_size() const {
    int longest = 0;
    for (int i = 0, n = m_buckets.size(); i < n; ++i) longest = std::max(longest, bucket_size(i));
    return longest;
}

float HashTableImpl::load_factor() const {
    const int buckets = m_buckets.size();
    return buckets ? static_cast<float>(m_count) / static_cast<float>(buckets) : 0.0f;
}

void HashTableImpl::max_load_factor(float f) {
    m_maxLoadFactor = f;
    rehash(m_count);
}

}  // namespace qx
