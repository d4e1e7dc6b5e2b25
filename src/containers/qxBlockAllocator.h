// qx::BlockAllocator: equal-sized slots carved out of malloc'ed blocks, freed
// slots recycled last in, first out.
#ifndef QXBASE_CONTAINERS_QXBLOCKALLOCATOR_H
#define QXBASE_CONTAINERS_QXBLOCKALLOCATOR_H

#include "qxDefs.h"

#include <cstring>

namespace qx {

// A block is one malloc of blockBytes: a 16-byte header (the int number of
// slots handed out so far, then the pointer to the previous block) followed by
// the slots. A freed slot holds the free-list link in its first 8 bytes, hence
// slots of at least 8 bytes. Slots are laid out at block + 16 + i * slot size:
// a slot size that is a multiple of the element's alignment (up to 16) keeps
// every slot aligned.
class QX_API BlockAllocator {
public:
    BlockAllocator(unsigned long long elementSize, int elementsInBlock);
    ~BlockAllocator();
    BlockAllocator(const BlockAllocator&) = delete;
    BlockAllocator& operator=(const BlockAllocator&) = delete;

    // A raw slot: the most recently freed one, else the next unused slot of
    // the newest block, else the first slot of a new block.
    void* alloc() {
        if (m_freeList) {
            void* p = m_freeList;
            std::memcpy(&m_freeList, p, sizeof(void*));
            --m_numFreed;
            return p;
        }
        if (m_blocks) {
            char* block = static_cast<char*>(m_blocks);
            int used;
            std::memcpy(&used, block, sizeof(int));
            if (used < m_elementsInBlock) {
                const int next = used + 1;
                std::memcpy(block, &next, sizeof(int));
                ++m_numCarved;
                return block + kHeaderBytes + static_cast<unsigned long long>(used) * m_elementSize;
            }
        }
        return allocFromNewBlock();
    }

    void free(void* p) {
        if (!p) return;
        std::memcpy(p, &m_freeList, sizeof(void*));
        m_freeList = p;
        ++m_numFreed;
    }

    // Releases every block; every slot handed out becomes invalid.
    void freeEverything();
    // Only while nothing has been allocated or freed; ignored otherwise.
    void setNumElementsInBlock(int n);
    void setLazy() { m_lazy = true; }
    bool isLazy() const { return m_lazy; }

    int numAllocated() const { return m_numCarved - m_numFreed; }
    int numFreed() const { return m_numFreed; }
    unsigned long long elementSize() const { return m_elementSize; }
    int elementsInBlock() const { return m_elementsInBlock; }

    void swap(BlockAllocator& other) noexcept;

    static constexpr int kHeaderBytes = 16;

private:
    void* allocFromNewBlock();

    void* m_blocks;
    void* m_freeList;
    unsigned long long m_elementSize;
    int m_elementsInBlock;
    unsigned long long m_blockBytes;
    // Slots ever carved from blocks; those handed out are the carved ones not
    // on the free list. Keeping one counter per path keeps alloc() and free()
    // to a single counter update each.
    int m_numCarved;
    int m_numFreed;
    bool m_lazy;
};

}  // namespace qx

#endif
