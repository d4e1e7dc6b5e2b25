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

#include "qxDefs.h"

#include <cstdint>

namespace qxOS {

class FSAllocatorImpl;

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
    void* alloc();
    // Gives back a slot of this allocator.
    void free(void* p);
    // Releases every block at once: every slot handed out becomes invalid.
    void freeAll();
    // Marks the allocator lazy; nothing here reads the mark.
    void setLazy();

    // The size of a slot, the number of blocks held, and the number of
    // slots that alloc() can hand out without a new block.
    uint64_t slotSize() const;
    int numBlocks() const;
    int numFree() const;

private:
    FSAllocatorImpl* m_impl;
    bool m_owned;
};

}  // namespace qxOS

#endif
