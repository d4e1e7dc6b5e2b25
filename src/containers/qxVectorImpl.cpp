#include "containers/qxVectorImpl.h"

#include "containers/qxOutOfMemory.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace qx {

namespace {

[[noreturn]] void vectorTooLarge(long long count) {
    std::fprintf(stderr, "qxbase: vector of %lld elements exceeds the element count limit %d\n",
                 count, INT_MAX);
    std::fflush(stderr);
    std::abort();
}

int checkedCount(long long n) {
    if (n > INT_MAX) vectorTooLarge(n);
    return static_cast<int>(n);
}

}  // namespace

// ---------------------------------------------------------------------------
// Storage

// Byte sizes are computed in size_t, so the only limit is the int range of
// the element count.
void VectorImpl::resizeStorage(int n) {
    size_t bytes = static_cast<size_t>(n) * static_cast<size_t>(m_typeUtil->elementSize);
    m_data = detail::checkedRealloc(m_data, bytes, "vector storage");
    m_capacity = n;
}

// Linear steps of 8 up to 32 elements, doubling after that.
void VectorImpl::growStorage() {
    long long grown = static_cast<long long>(m_capacity) + (m_capacity < 32 ? 8 : m_capacity);
    if (grown > INT_MAX) {
        if (m_capacity == INT_MAX) vectorTooLarge(grown);
        grown = INT_MAX;
    }
    resizeStorage(static_cast<int>(grown));
}

void VectorImpl::freeStorage() {
    if (!m_data) return;
    if (m_size > 0 && m_typeUtil->destroyRange) m_typeUtil->destroyRange(m_data, m_size);
    std::free(m_data);
}

void* VectorImpl::setCapacity(int n) {
    if (n == 0) {
        freeStorage();
        m_data = nullptr;
        m_size = 0;
        m_capacity = 0;
        return nullptr;
    }
    resizeStorage(n);
    return m_data;
}

void VectorImpl::destruct(void* p) {
    if (m_typeUtil->destroyOne) m_typeUtil->destroyOne(p);
}

void VectorImpl::destructRange(void* p, int n) {
    if (n > 0 && m_typeUtil->destroyRange) m_typeUtil->destroyRange(p, n);
}

// ---------------------------------------------------------------------------
// Construction

VectorImpl::VectorImpl(const TypeUtil* typeUtil) {
    initialize(typeUtil);
}

VectorImpl::VectorImpl(int n, InitRangeFn init, const TypeUtil* typeUtil) {
    initialize(n, init, typeUtil);
}

VectorImpl::VectorImpl(int n, const void* value, const TypeUtil* typeUtil) {
    initialize(n, value, typeUtil);
}

VectorImpl::VectorImpl(const VectorImpl& other) {
    initialize(other);
}

VectorImpl::VectorImpl(VectorImpl&& other) noexcept
    : m_data(other.m_data),
      m_size(other.m_size),
      m_capacity(other.m_capacity),
      m_typeUtil(other.m_typeUtil) {
    other.m_data = nullptr;
    other.m_size = 0;
    other.m_capacity = 0;
}

VectorImpl& VectorImpl::operator=(const VectorImpl& other) {
    copy(other);
    return *this;
}

VectorImpl& VectorImpl::operator=(VectorImpl&& other) noexcept {
    if (this != &other) {
        freeStorage();
        m_data = other.m_data;
        m_size = other.m_size;
        m_capacity = other.m_capacity;
        other.m_data = nullptr;
        other.m_size = 0;
        other.m_capacity = 0;
    }
    return *this;
}

VectorImpl::~VectorImpl() {
    freeStorage();
}

void VectorImpl::initialize(const TypeUtil* typeUtil) {
    m_data = nullptr;
    m_size = 0;
    m_capacity = 0;
    m_typeUtil = typeUtil;
}

void VectorImpl::initialize(int n, InitRangeFn init, const TypeUtil* typeUtil) {
    initialize(typeUtil);
    if (n < 1) return;
    resizeStorage(n);
    if (init) {
        try {
            init(m_data, n);
        } catch (...) {
            setCapacity(0);
            throw;
        }
    }
    m_size = n;
}

void VectorImpl::initialize(int n, const void* value, const TypeUtil* typeUtil) {
    initialize(typeUtil);
    if (n < 1) return;
    resizeStorage(n);
    try {
        setSize(n, value);
    } catch (...) {
        setCapacity(0);
        throw;
    }
}

void VectorImpl::initialize(const VectorImpl& other) {
    initialize(other.m_typeUtil);
    try {
        append(other);
    } catch (...) {
        setCapacity(0);
        throw;
    }
}

// ---------------------------------------------------------------------------
// Appending

void* VectorImpl::append() {
    if (m_size >= m_capacity) growStorage();
    return bytes() + static_cast<size_t>(m_size++) * elementSize();
}

// The element is counted only once it is constructed, so a throwing
// constructor leaves the vector as it was.
void* VectorImpl::append(InitOneFn init) {
    if (m_size >= m_capacity) growStorage();
    void* slot = bytes() + static_cast<size_t>(m_size) * elementSize();
    if (init) init(slot);
    ++m_size;
    return slot;
}

void* VectorImpl::append(const void* value) {
    return append(value, m_typeUtil->copyOne);
}

void* VectorImpl::append(const void* value, CopyOneFn copyFn) {
    if (m_size >= m_capacity) growStorage();
    void* slot = bytes() + static_cast<size_t>(m_size) * elementSize();
    copyFn(slot, value);
    ++m_size;
    return slot;
}

void VectorImpl::appendAndAssignPtr(const void* p) {
    if (m_size >= m_capacity) growStorage();
    std::memcpy(bytes() + static_cast<size_t>(m_size) * sizeof(void*), &p, sizeof(void*));
    ++m_size;
}

void VectorImpl::append(const VectorImpl& other) {
    const int count = other.m_size;  // read before anything changes: other may be *this
    const int newSize = checkedCount(static_cast<long long>(m_size) + count);
    if (newSize == 0) {
        setCapacity(0);
        return;
    }
    resizeStorage(newSize);
    if (count > 0) {
        // other.m_data is read after the resize, so appending to itself works.
        m_typeUtil->copyRange(bytes() + static_cast<size_t>(m_size) * elementSize(), other.m_data,
                              count);
    }
    m_size = newSize;
}

void* VectorImpl::growByOne() {
    growStorage();
    return m_data;
}

void VectorImpl::growByOneAndAssignPtr(const void* p) {
    growStorage();
    std::memcpy(bytes() + static_cast<size_t>(m_size - 1) * sizeof(void*), &p, sizeof(void*));
}

// ---------------------------------------------------------------------------
// Inserting

// Positions are kept as byte offsets across a possible move of the storage.
void* VectorImpl::insert(void* pos) {
    const size_t es = elementSize();
    const size_t offset = static_cast<char*>(pos) - bytes();
    if (m_size >= m_capacity) growStorage();
    char* gap = bytes() + offset;
    std::memmove(gap + es, gap, m_size * es - offset);
    ++m_size;
    return gap;
}

void* VectorImpl::gapAt(void* pos, int n) {
    if (n <= 0) return pos;
    const size_t es = elementSize();
    const size_t offset = static_cast<char*>(pos) - bytes();
    const int newSize = checkedCount(static_cast<long long>(m_size) + n);
    if (newSize > m_capacity) resizeStorage(newSize);
    char* gap = bytes() + offset;
    std::memmove(gap + n * es, gap, m_size * es - offset);
    m_size = newSize;
    return gap;
}

void* VectorImpl::insertGap(void* pos, int n) {
    return gapAt(pos, n);
}

void VectorImpl::removeGap(void* pos, int n) {
    if (n <= 0) return;
    const size_t es = elementSize();
    char* gap = static_cast<char*>(pos);
    char* end = bytes() + static_cast<size_t>(m_size) * es;
    std::memmove(gap, gap + n * es, end - (gap + n * es));
    m_size -= n;
}

void* VectorImpl::insert(void* pos, InitOneFn init) {
    void* gap = insert(pos);
    if (init) {
        try {
            init(gap);
        } catch (...) {
            removeGap(gap, 1);
            throw;
        }
    }
    return gap;
}

void* VectorImpl::insert(void* pos, const void* value) {
    return insert(pos, value, m_typeUtil->copyOne);
}

void* VectorImpl::insert(void* pos, const void* value, CopyOneFn copyFn) {
    void* gap = insert(pos);
    try {
        copyFn(gap, value);
    } catch (...) {
        removeGap(gap, 1);
        throw;
    }
    return gap;
}

void VectorImpl::insertAndAssignPtr(void* pos, const void* p) {
    void* gap = insert(pos);
    std::memcpy(gap, &p, sizeof(void*));
}

void VectorImpl::insert(void* pos, int n, const void* value) {
    const int es = elementSize();
    char* gap = static_cast<char*>(gapAt(pos, n));
    int done = 0;
    try {
        for (; done < n; ++done) m_typeUtil->copyOne(gap + static_cast<size_t>(done) * es, value);
    } catch (...) {
        destructRange(gap, done);
        removeGap(gap, n);
        throw;
    }
}

void VectorImpl::insert(void* pos, const void* first, const void* last) {
    insert(pos, first, last, m_typeUtil->difference, m_typeUtil->copyRange);
}

void VectorImpl::insert(void* pos, const void* first, const void* last, DifferenceFn diff,
                        CopyRangeFn copyRangeFn) {
    const int n = checkedCount(diff(last, first));
    if (n <= 0) return;
    void* gap = gapAt(pos, n);
    try {
        copyRangeFn(gap, first, n);
    } catch (...) {
        removeGap(gap, n);  // a throwing range copy leaves nothing constructed
        throw;
    }
}

// ---------------------------------------------------------------------------
// Erasing

void* VectorImpl::erase(void* pos) {
    destruct(pos);
    removeGap(pos, 1);
    return pos;
}

void* VectorImpl::erase(void* first, void* last) {
    const int n = static_cast<int>(m_typeUtil->difference(last, first));
    destructRange(first, n);
    removeGap(first, n);
    return first;
}

void VectorImpl::eraseBack() {
    --m_size;
    destruct(bytes() + static_cast<size_t>(m_size) * elementSize());
}

void VectorImpl::clear() {
    destructRange(m_data, m_size);
    m_size = 0;
}

// ---------------------------------------------------------------------------
// Sizing and whole-vector operations

void VectorImpl::reserve(int n) {
    if (n > m_capacity) resizeStorage(n);
}

void VectorImpl::setSize(int n, InitRangeFn init) {
    if (n == m_size) return;
    const size_t es = elementSize();
    if (n > m_size) {
        reserve(n);
        if (init) init(bytes() + m_size * es, n - m_size);
    } else {
        destructRange(bytes() + n * es, m_size - n);
    }
    m_size = n;
}

void VectorImpl::setSize(int n, const void* value) {
    if (n == m_size) return;
    const size_t es = elementSize();
    if (n > m_size) {
        reserve(n);
        char* first = bytes() + m_size * es;
        int done = 0;
        try {
            for (; done < n - m_size; ++done) m_typeUtil->copyOne(first + done * es, value);
        } catch (...) {
            destructRange(first, done);
            throw;
        }
    } else {
        destructRange(bytes() + n * es, m_size - n);
    }
    m_size = n;
}

void VectorImpl::assign(const void* first, const void* last) {
    assign(first, last, m_typeUtil->difference, m_typeUtil->copyRange);
}

void VectorImpl::assign(const void* first, const void* last, DifferenceFn diff,
                        CopyRangeFn copyRangeFn) {
    clear();
    const int n = checkedCount(diff(last, first));
    reserve(n);
    if (n > 0) copyRangeFn(m_data, first, n);
    m_size = n;
}

void VectorImpl::copy(const VectorImpl& other) {
    if (&other == this) return;
    const int old = m_size;
    m_size = 0;
    destructRange(m_data, old);
    append(other);
}

void VectorImpl::swap(VectorImpl& other) noexcept {
    std::swap(m_data, other.m_data);
    std::swap(m_size, other.m_size);
    std::swap(m_capacity, other.m_capacity);
}

}  // namespace qx
