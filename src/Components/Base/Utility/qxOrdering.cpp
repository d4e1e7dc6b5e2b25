#include "Components/Base/Utility/qxOrdering.h"

#include "containers/qxOutOfMemory.h"

#include <cstdlib>
#include <cstring>

namespace qxUtil {

Ordering::Ordering() : m_indices(nullptr), m_size(0) {}

Ordering::~Ordering() {
    std::free(m_indices);
}

Ordering::Ordering(const Ordering& other) : m_indices(nullptr), m_size(0) {
    *this = other;
}

Ordering& Ordering::operator=(const Ordering& other) {
    if (this == &other) return *this;
    if (m_size != other.m_size) {
        std::free(m_indices);
        m_indices = nullptr;
        m_size = other.m_size;
        if (m_size)
            m_indices = static_cast<int*>(qx::detail::checkedRealloc(
                nullptr, sizeof(int) * static_cast<size_t>(m_size), "qxUtil::Ordering"));
    }
    if (m_size) std::memcpy(m_indices, other.m_indices, sizeof(int) * static_cast<size_t>(m_size));
    return *this;
}

void Ordering::resize(size_t n) {
    if (n != static_cast<size_t>(m_size)) {
        std::free(m_indices);
        m_indices = nullptr;
        m_size = static_cast<int>(n);
        if (n)
            m_indices = static_cast<int*>(
                qx::detail::checkedRealloc(nullptr, sizeof(int) * n, "qxUtil::Ordering"));
    }
    for (int i = 0; i < m_size; ++i) m_indices[i] = i;
}

}  // namespace qxUtil
