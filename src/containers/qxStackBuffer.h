// Internal: a growable array of trivially copyable units that lives on the
// stack while it is short and in one heap block beyond, for text built in a
// single call. The content is always followed by a zero unit.
#ifndef QXBASE_CONTAINERS_QXSTACKBUFFER_H
#define QXBASE_CONTAINERS_QXSTACKBUFFER_H

#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace qx {

template <class T, size_t N>
class StackBuffer {
public:
    StackBuffer() { m_data[0] = T(); }
    ~StackBuffer() {
        if (m_data != m_stack) std::free(m_data);
    }
    StackBuffer(const StackBuffer&) = delete;
    StackBuffer& operator=(const StackBuffer&) = delete;

    T* data() { return m_data; }
    const T* data() const { return m_data; }
    size_t size() const { return m_size; }
    // Units that fit, the closing zero included.
    size_t capacity() const { return m_capacity; }
    T operator[](size_t i) const { return m_data[i]; }
    // The caller wrote the content itself (and its zero).
    void setSize(size_t n) { m_size = n; }

    // Room for n units in all; the content is kept. False when memory runs
    // out, the content unchanged.
    bool reserve(size_t n) {
        if (n <= m_capacity) return true;
        T* p = static_cast<T*>(std::malloc(n * sizeof(T)));
        if (!p) return false;
        std::memcpy(p, m_data, (m_size + 1) * sizeof(T));
        if (m_data != m_stack) std::free(m_data);
        m_data = p;
        m_capacity = n;
        return true;
    }
    bool append(const T* s, size_t n) {
        if (m_size + n + 1 > m_capacity && !reserve(2 * (m_size + n + 1))) return false;
        std::memcpy(m_data + m_size, s, n * sizeof(T));
        m_size += n;
        m_data[m_size] = T();
        return true;
    }

private:
    T m_stack[N];
    T* m_data = m_stack;
    size_t m_size = 0;
    size_t m_capacity = N;
};

}  // namespace qx

#endif
