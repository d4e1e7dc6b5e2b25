#include "os/memory/qxFSAllocator.h"

#include "containers/qxOutOfMemory.h"

#include <cstdlib>

namespace qxOS {

FSAllocatorImpl::FSAllocatorImpl(uint64_t elementSize, uint64_t blockSize)
    : m_lazy(false),
      m_slotSize(elementSize < 8 ? 8 : elementSize),
      m_blockSize(blockSize < m_slotSize ? m_slotSize : blockSize),
      m_numFree(0),
      m_current(nullptr),
      m_capacity(m_blockSize / m_slotSize),
      m_lastOwner(nullptr) {}

FSAllocatorImpl::~FSAllocatorImpl() {
    freeAll();
}

void FSAllocatorImpl::freeAll() {
    for (const Block& b : m_blocks) std::free(b.address);
    m_blocks.clear();  // keeps the table's storage for the next blocks
    m_current = nullptr;
    m_lastOwner = nullptr;
    m_numFree = 0;
}

void* FSAllocatorImpl::allocChoosingBlock() {
    if (m_numFree == 0) {
        // A new block, placed in address order.
        char* const address = static_cast<char*>(std::malloc(m_blockSize));
        if (!address) qx::detail::outOfMemory(m_blockSize, "fixed-size allocator blocks");
        int lo = 0, hi = m_blocks.size();  // the first block above the new one
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (m_blocks[mid].address > address)
                hi = mid;
            else
                lo = mid + 1;
        }
        m_blocks.insert(m_blocks.begin() + lo, Block{address, nullptr, 0});
        m_current = &m_blocks[lo];
        m_lastOwner = nullptr;  // the records may have moved
        m_numFree += static_cast<int>(m_capacity);
    } else {
        // While slots are free, some block has one.
        for (Block& b : m_blocks)
            if (b.freeHead || b.bumped < m_capacity) {
                m_current = &b;
                break;
            }
    }
    return takeSlot(m_current);
}

FSAllocatorImpl::Block* FSAllocatorImpl::findOwner(const char* slot) {
    Block* const blocks = m_blocks.data();
    int lo = 0, hi = m_blocks.size();
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (blocks[mid].address + m_blockSize > slot)
            hi = mid;
        else
            lo = mid + 1;
    }
    m_lastOwner = blocks + lo;
    return m_lastOwner;
}

FSAllocator::FSAllocator(uint64_t elementSize, uint64_t blockSize)
    : m_impl(new FSAllocatorImpl(elementSize, blockSize)), m_owned(true) {}

FSAllocator::~FSAllocator() {
    if (m_owned) delete m_impl;
}

}  // namespace qxOS
