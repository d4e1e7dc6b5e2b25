// qx::HashTableImpl: the one compiled implementation behind the hash-set and
// hash-map templates. Nodes are chained in buckets; the bucket count comes from
// a fixed table of primes; hash values are computed by the caller.
#ifndef QXBASE_CONTAINERS_QXHASHTABLEIMPL_H
#define QXBASE_CONTAINERS_QXHASHTABLEIMPL_H

#include "containers/qxBlockAllocator.h"
#include "containers/qxVectorImpl.h"
#include "qxDefs.h"

namespace qx {

class QX_API HashTableImpl {
public:
    // Element operations and node layout for one key (and value) type. The
    // element starts at dataOffset (16); sets have valueOffset == keyOffset and
    // no value entries. Destroy entries and constructValue may be null.
    struct TypeUtil {
        int nodeSize;
        int hasValue;
        int dataOffset;
        int keyOffset;
        int valueOffset;
        bool (*keyEqual)(const void* a, const void* b);
        void (*copyKey)(void* dst, const void* src);
        void (*copyValue)(void* dst, const void* src);
        void (*constructValue)(void* dst);
        void (*destroyKey)(void* p);
        void (*destroyValue)(void* p);
    };

    struct QX_API HashNodeImpl {
        unsigned long long hash;  // as the caller computed it
        HashNodeImpl* next;       // next node of the same bucket
        // the element follows at dataOffset

        // The following node in iteration order, null at the end.
        HashNodeImpl* nextItem(const HashTableImpl& table) {
            return next ? next : table.headAfter(hash);
        }
        const HashNodeImpl* nextItem(const HashTableImpl& table) const {
            return next ? next : table.headAfter(hash);
        }
    };

    static constexpr int kNodeHeaderBytes = 16;
    static constexpr int kMaxBucketCount = 1610612741;

    explicit HashTableImpl(const TypeUtil* typeUtil);
    ~HashTableImpl();
    HashTableImpl(const HashTableImpl&) = delete;
    HashTableImpl& operator=(const HashTableImpl&) = delete;

    // Room for n elements at the maximum load factor; never shrinks.
    void rehash(int n);

    // The _noresize insertions need buckets: call rehash(size() + 1) first.
    HashNodeImpl* insert_unique_noresize(unsigned long long hash, const void* key,
                                         const void* value);
    HashNodeImpl* insert_non_unique_noresize(unsigned long long hash, const void* key,
                                             const void* value);
    // Links a node the caller took from allocateNode() and constructed, with
    // its hash set, under the same rules as the insertions above. With unique
    // set and an equal key present, nothing is linked and the existing node is
    // returned: the caller frees its own with freeNode().
    HashNodeImpl* insertNode_noresize(HashNodeImpl* node, bool unique);

    // Map element access: the node for key, created (value default-constructed
    // when the record can) when missing.
    HashNodeImpl* get(unsigned long long hash, const void* key);

    HashNodeImpl* findNode(unsigned long long hash, const void* key);
    const HashNodeImpl* findNode(unsigned long long hash, const void* key) const;
    int count(unsigned long long hash, const void* key) const;

    void eraseNode(HashNodeImpl* node);
    int eraseKey(unsigned long long hash, const void* key);
    void clear();
    void copy(const HashTableImpl* other);
    void swap(HashTableImpl& other) noexcept;

    HashNodeImpl* allocateNode() { return static_cast<HashNodeImpl*>(m_allocator.alloc()); }
    void freeNode(HashNodeImpl* node);

    HashNodeImpl* firstNode();
    const HashNodeImpl* firstNode() const;

    int size() const { return m_count; }
    int bucket_count() const { return m_buckets.size(); }
    int bucketNum(unsigned long long hash) const {
        return static_cast<int>(hash % static_cast<unsigned long long>(m_buckets.size()));
    }
    static int bucketNum(unsigned long long hash, int n) {
        return static_cast<int>(hash % static_cast<unsigned long long>(n));
    }
    int bucket_size(int i) const;
    int max_bucket_size() const;
    static int max_bucket_count() { return kMaxBucketCount; }
    // 0 while the table has no buckets.
    float load_factor() const;
    float max_load_factor() const { return m_maxLoadFactor; }
    void max_load_factor(float f);
    void setNumElementsInBlock(int n) { m_allocator.setNumElementsInBlock(n); }

    const TypeUtil* typeUtil() const { return m_typeUtil; }

protected:
    HashNodeImpl** bucketArray() const { return static_cast<HashNodeImpl**>(m_buckets.data()); }

    VectorImpl m_buckets;  // node pointers, one chain head per bucket
    const TypeUtil* m_typeUtil;
    int m_count;
    float m_maxLoadFactor;
    BlockAllocator m_allocator;

private:
    HashNodeImpl* headAfter(unsigned long long hash) const;
    HashNodeImpl* newNode(unsigned long long hash, const void* key, const void* value,
                          bool defaultValue);
    void linkAtHead(HashNodeImpl* node);
    void link(HashNodeImpl* node, bool unique, HashNodeImpl** existing);

    void* keyPtrOfNode(const HashNodeImpl* n) const {
        return const_cast<char*>(reinterpret_cast<const char*>(n)) + m_typeUtil->keyOffset;
    }
    void* valuePtrOfNode(const HashNodeImpl* n) const {
        return const_cast<char*>(reinterpret_cast<const char*>(n)) + m_typeUtil->valueOffset;
    }
    void* dataPtrOfNode(const HashNodeImpl* n) const {
        return const_cast<char*>(reinterpret_cast<const char*>(n)) + m_typeUtil->dataOffset;
    }
};

}  // namespace qx

#endif
