#include "os/memory/qxFSAllocator.h"

#include "containers/qxOutOfMemory.h"
#include "containers/qxVector.h"

#include <cstdlib>
#include <cstring>

namespace qxOS {

class FSAllocatorImpl : public qx::ImplBase {
public:
    FSAllocatorImpl(uint64_t elementSize, uint64_t blockSize)
        : m_lazy(false),
          m_slotSize(elementSize < 8 ? 8 : elementSize),
          m_blockSize(blockSize < m_slotSize ? m_slotSize : blockSize),
          m_numFree(0),
          m_current(kNone),
          m_capacity(m_blockSize / m_slotSize) {}

    ~FSAllocatorImpl() override { freeAll(); }

    void* alloc() {
        if (m_numFree == 0)
            addBlock();
        else if (m_current == kNone)
            chooseCurrent();
        Block& b = m_blocks[m_current];
        char* slot = b.freeHead;
        if (slot)
            std::memcpy(&b.freeHead, slot, sizeof(char*));
        else
            slot = b.address + m_slotSize * b.bumped++;
        --m_numFree;
        if (!b.freeHead && b.bumped == m_capacity) m_current = kNone;
        return slot;
    }

    void free(void* p) {
        char* const slot = static_cast<char*>(p);
        int owner = m_current;
        if (owner == kNone || slot < m_blocks[owner].address ||
            slot >= m_blocks[owner].address + m_blockSize)
            owner = findOwner(slot);
        Block& b = m_blocks[owner];
        std::memcpy(slot, &b.freeHead, sizeof(char*));
        b.freeHead = slot;
        ++m_numFree;
        if (m_current == kNone) m_current = owner;
    }

    void freeAll() {
        for (const Block& b : m_blocks) std::free(b.address);
        m_blocks.clear();  // keeps the table's storage for the next blocks
        m_current = kNone;
        m_numFree = 0;
    }

    bool m_lazy;
    const uint64_t m_slotSize;
    const uint64_t m_blockSize;
    int m_numFree;
    // The block allocated from, as its position in the table, or kNone.
    int m_current;

    struct Block {
        char* address;
        char* freeHead;   // the block's freed slots, each linking to the next
        uint64_t bumped;  // slots ever carved from the untouched tail
    };
    qx::vector<Block> m_blocks;  // ascending addresses

private:
    static constexpr int kNone = -1;

    // A new block, placed in address order and made current.
    void addBlock() {
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
        m_current = lo;
        m_numFree += static_cast<int>(m_capacity);
    }

    // The first block with a slot left; while slots are free there is one.
    void chooseCurrent() {
        for (int i = 0; i < m_blocks.size(); ++i)
            if (m_blocks[i].freeHead || m_blocks[i].bumped < m_capacity) {
                m_current = i;
                return;
            }
    }

    // The first block whose end lies beyond slot.
    int findOwner(const char* slot) const {
        int lo = 0, hi = m_blocks.size();
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (m_blocks[mid].address + m_blockSize > slot)
                hi = mid;
            else
                lo = mid + 1;
        }
        return lo;
    }

    const uint64_t m_capacity;  // slots in a block
};

FSAllocator::FSAllocator(uint64_t elementSize, uint64_t blockSize)
    : m_impl(new FSAllocatorImpl(elementSize, blockSize)), m_owned(true) {}

FSAllocator::~FSAllocator() {
    if (m_owned) delete m_impl;
}

void* FSAllocator::alloc() {
    return m_impl->alloc();
}

void FSAllocator::free(void* p) {
    m_impl->free(p);
}

void FSAllocator::freeAll() {
    m_impl->freeAll();
}

void FSAllocator::setLazy() {
    m_impl->m_lazy = true;
}

uint64_t FSAllocator::slotSize() const {
    return m_impl->m_slotSize;
}

int FSAllocator::numBlocks() const {
    return m_impl->m_blocks.size();
}

int FSAllocator::numFree() const {
    return m_impl->m_numFree;
}

}  // namespace qxOS
