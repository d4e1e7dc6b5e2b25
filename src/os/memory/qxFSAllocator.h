// qxOS::FSAllocator: slots of one fixed size carved from large heap blocks,
// given back in any order, and all released at once by freeAll().
//
//     qxOS::FSAllocator nodes(sizeof(Node), 64 * 1024);
//     Node* n = new (nodes.alloc()) Node;
//     ...
//     nodes.free(n);        // or forget it: freeAll() takes everything back
//
// Each block keeps a list of its freed slots and a count of the slots carved
// from its untouched tail. The blocks are kept in ascending address order,
// so free() finds a slot's block by binary search when it is not the block
// currently allocated from. Blocks go back to the heap only on freeAll() or
// destruction.
//
// Nothing is checked: a pointer given to free() must come from this
// allocator's alloc() and be freed once. Not for several threads at once.
#ifndef QXBASE_OS_MEMORY_QXFSALLOCATOR_H
#define QXBASE_OS_MEMORY_QXFSALLOCATOR_H

#include "containers/qxVector.h"
#include "qxDefs.h"

#include <cstdint>
#include <cstring>

namespace qxOS {

// The allocator's state; the common cases of alloc and free run inline,
// block changes in the library.
class QX_API FSAllocatorImpl : public qx::ImplBase {
public:
    FSAllocatorImpl(uint64_t elementSize, uint64_t blockSize);
    ~FSAllocatorImpl() override;
    FSAllocatorImpl(const FSAllocatorImpl&) = delete;
    FSAllocatorImpl& operator=(const FSAllocatorImpl&) = delete;

    struct Block {
        char* address;
        char* freeHead;   // the block's freed slots, each linking to the next
        uint64_t bumped;  // slots ever carved from the untouched tail
    };

    void* alloc() {
        Block* const b = m_current;
        if (!b) return allocChoosingBlock();
        return takeSlot(b);
    }

    void free(void* p) {
        char* const slot = static_cast<char*>(p);
        Block* b = m_current;
        if (!holds(b, slot)) b = holds(m_lastOwner, slot) ? m_lastOwner : findOwner(slot);
        std::memcpy(slot, &b->freeHead, sizeof(char*));
        b->freeHead = slot;
        ++m_numFree;
        if (!m_current) m_current = b;
    }

    void freeAll();

    bool m_lazy;
    const uint64_t m_slotSize;
    const uint64_t m_blockSize;
    int m_numFree;
    // The block allocated from, or null when none is chosen. A record of
    // m_blocks, which moves only when a block is added, and that makes the
    // new block current.
    Block* m_current;
    qx::vector<Block> m_blocks;  // ascending addresses

private:
    bool holds(const Block* b, const char* slot) const {
        return b && slot >= b->address && slot < b->address + m_blockSize;
    }
    void* takeSlot(Block* b) {
        char* slot = b->freeHead;
        if (slot)
            std::memcpy(&b->freeHead, slot, sizeof(char*));
        else
            slot = b->address + m_slotSize * b->bumped++;
        --m_numFree;
        if (!b->freeHead && b->bumped == m_capacity) m_current = nullptr;
        return slot;
    }
    // No current block: a new one when no slot is free, else the first
    // block with a slot.
    void* allocChoosingBlock();
    // The block holding slot, the first whose end lies beyond it, by binary
    // search; remembered in m_lastOwner.
    Block* findOwner(const char* slot);

    const uint64_t m_capacity;  // slots in a block
    // The block findOwner found last, or null, asked before it searches:
    // slots tend to come back in runs from one block. The answer is the one
    // the search would give.
    Block* m_lastOwner;
};

class QX_API FSAllocator {
public:
    // Slots of elementSize bytes, raised to 8 (a free slot holds a link),
    // and not rounded further: a size that is not a multiple of the element's
    // alignment gives unaligned slots. Blocks of blockSize bytes, raised to
    // one slot when smaller.
    FSAllocator(uint64_t elementSize, uint64_t blockSize);
    // Releases every block.
    ~FSAllocator();
    FSAllocator(const FSAllocator&) = delete;
    FSAllocator& operator=(const FSAllocator&) = delete;

    // A slot; never null (running out of heap stops the process with a
    // message).
    void* alloc() { return m_impl->alloc(); }
    // Gives back a slot of this allocator.
    void free(void* p) { m_impl->free(p); }
    // Releases every block at once: every slot handed out becomes invalid.
    void freeAll() { m_impl->freeAll(); }
    // Marks the allocator lazy; nothing here reads the mark.
    void setLazy() { m_impl->m_lazy = true; }

    // The size of a slot, the number of blocks held, and the number of
    // slots that alloc() can hand out without a new block.
    uint64_t slotSize() const { return m_impl->m_slotSize; }
    int numBlocks() const { return m_impl->m_blocks.size(); }
    int numFree() const { return m_impl->m_numFree; }

private:
    FSAllocatorImpl* m_impl;
    bool m_owned;
};

}  // namespace qxOS

#endif
