// qx::VectorImpl: the one compiled implementation of the contiguous growable
// array. It handles elements as raw memory; everything it needs to know about
// the element type comes from a constant TypeUtil record of element operations.
#ifndef QXBASE_CONTAINERS_QXVECTORIMPL_H
#define QXBASE_CONTAINERS_QXVECTORIMPL_H

#include "qxDefs.h"

namespace qx {

class QX_API VectorImpl {
public:
    // Element operations for one element type. One constant record per type,
    // never copied or freed; the vector only points to it. Destroy entries may
    // be null (nothing to do).
    struct TypeUtil {
        void (*copyOne)(void* dst, const void* src);
        void (*copyRange)(void* dst, const void* src, int n);
        void (*destroyOne)(void* p);
        void (*destroyRange)(void* p, int n);
        long long (*difference)(const void* a, const void* b);  // (a - b) / elementSize
        int elementSize;
    };

    using InitOneFn = void (*)(void* p);
    using InitRangeFn = void (*)(void* p, int n);
    using CopyOneFn = void (*)(void* dst, const void* src);
    using CopyRangeFn = void (*)(void* dst, const void* src, int n);
    using DifferenceFn = long long (*)(const void* a, const void* b);

    // Construction. The initialize() forms do the same on an object that holds
    // no storage (fresh memory or a moved-from vector); they release nothing.
    explicit VectorImpl(const TypeUtil* typeUtil);
    VectorImpl(int n, InitRangeFn init, const TypeUtil* typeUtil);
    VectorImpl(int n, const void* value, const TypeUtil* typeUtil);
    VectorImpl(const VectorImpl& other);
    VectorImpl(VectorImpl&& other) noexcept;
    VectorImpl& operator=(const VectorImpl& other);
    VectorImpl& operator=(VectorImpl&& other) noexcept;
    ~VectorImpl();

    void initialize(const TypeUtil* typeUtil);
    void initialize(int n, InitRangeFn init, const TypeUtil* typeUtil);
    void initialize(int n, const void* value, const TypeUtil* typeUtil);
    void initialize(const VectorImpl& other);

    int size() const { return m_size; }
    int capacity() const { return m_capacity; }
    // Start of the element storage (null when none is held); positions passed
    // to insert and erase are element pointers from here to data + size.
    void* data() const { return m_data; }
    const TypeUtil* typeUtil() const { return m_typeUtil; }

    // Appending: each returns the new last element.
    void* appendAndReturnPtr() { return append(); }
    void* append(InitOneFn init);
    void* append(const void* value);
    void* append(const void* value, CopyOneFn copyFn);
    void appendAndAssignPtr(const void* p);
    void append(const VectorImpl& other);

    // Inserting before pos; each returns the new element.
    void* insertAndReturnPtr(void* pos) { return insert(pos); }
    void* insert(void* pos, InitOneFn init);
    void* insert(void* pos, const void* value);
    void* insert(void* pos, const void* value, CopyOneFn copyFn);
    void insertAndAssignPtr(void* pos, const void* p);
    void insert(void* pos, int n, const void* value);
    void insert(void* pos, const void* first, const void* last);
    void insert(void* pos, const void* first, const void* last, DifferenceFn diff,
                CopyRangeFn copyRangeFn);

    // Erasing; each returns the position that now holds the following element.
    void* erase(void* pos);
    void* erase(void* first, void* last);
    void eraseBack();
    void clear();

    // Sizing and whole-vector operations.
    void reserve(int n);
    void setSize(int n, InitRangeFn init);
    void setSize(int n, const void* value);
    void assign(const void* first, const void* last);
    void assign(const void* first, const void* last, DifferenceFn diff, CopyRangeFn copyRangeFn);
    void copy(const VectorImpl& other);
    void swap(VectorImpl& other) noexcept;

protected:
    void* append();
    void* insert(void* pos);
    void* growByOne();
    void growByOneAndAssignPtr(const void* p);
    void* setCapacity(int n);
    void freeStorage();
    void destruct(void* p);
    void destructRange(void* p, int n);

    // Opens a gap of n raw slots at pos (size + n, storage sized exactly when
    // it must grow) and returns it, for callers that construct in place.
    void* insertGap(void* pos, int n);
    // Closes a gap of n raw slots at pos again (nothing is destroyed).
    void removeGap(void* pos, int n);

    char* bytes() const { return static_cast<char*>(m_data); }
    int elementSize() const { return m_typeUtil->elementSize; }

    void* m_data;
    int m_size;
    int m_capacity;
    const TypeUtil* m_typeUtil;

private:
    void growStorage();
    void resizeStorage(int n);
    void* gapAt(void* pos, int n);
};

}  // namespace qx

#endif
