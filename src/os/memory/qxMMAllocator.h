// The allocator under both levels of moveable memory: requests carved out of
// blocks, best fit from a tree of free chunks, neighbours merged on free.
// Internal: not installed.
#ifndef QXBASE_OS_MEMORY_QXMMALLOCATOR_H
#define QXBASE_OS_MEMORY_QXMMALLOCATOR_H

#include "containers/qxBlockAllocator.h"
#include "containers/qxTree.h"

#include <cstdint>

namespace qxUtil {

// Links of an intrusive doubly linked list.
struct LinkedListNode {
    LinkedListNode* prev = nullptr;
    LinkedListNode* next = nullptr;
};

}  // namespace qxUtil

namespace qxOS {
namespace detail {

struct MMBlock;

// A piece of a block: free, or handed out. A block's chunks cover it
// exactly, in ascending offset order.
struct MMChunk : qxUtil::LinkedListNode {
    uint64_t size = 0;
    MMBlock* block = nullptr;
    uint64_t offset = 0;
    bool free = true;
    bool mapped = false;
    void* user = nullptr;  // the level's object for a chunk handed out

    MMChunk* prevChunk() const { return static_cast<MMChunk*>(prev); }
    MMChunk* nextChunk() const { return static_cast<MMChunk*>(next); }
};

// A level derives its blocks from this.
struct MMBlock {
    virtual ~MMBlock() = default;
    MMChunk* first = nullptr;
    MMChunk* last = nullptr;
    uint64_t size = 0;
};

class MMAllocator {
public:
    // Requests up to maxPooled bytes are rounded up to granularity and
    // carved from blocks of standardBlock bytes; larger ones get a block of
    // their own. keepSpare keeps one empty standard block for the next
    // request instead of releasing it.
    MMAllocator(uint64_t maxPooled, uint64_t granularity, uint64_t standardBlock, bool keepSpare);
    virtual ~MMAllocator();
    MMAllocator(const MMAllocator&) = delete;
    MMAllocator& operator=(const MMAllocator&) = delete;

    // A chunk of at least n bytes, or null (n == 0, or no block to be had).
    MMChunk* allocate(uint64_t n);
    // Gives c back: merged with free neighbours, its block released when it
    // is all free.
    void free(MMChunk* c);

    uint32_t numAllocations() const { return m_numAllocations; }
    uint64_t numBlocks() const { return m_numBlocks; }
    bool hasSpare() const { return m_spare != nullptr; }

    // Checks the structure: every block's chunks cover it in order, no two
    // free chunks are neighbours, and the free tree holds exactly the free
    // chunks. For tests; linear in everything.
    bool checkInvariants(MMBlock* const* blocks, int numBlocks) const;

protected:
    virtual MMBlock* newBlock(uint64_t size) = 0;
    virtual void deleteBlock(MMBlock* block) = 0;
    virtual void onAllocate(MMChunk*) {}
    virtual void onFree(MMChunk*) {}

    // Deletes the spare block, if there is one.
    void releaseSpare();
    // From now on an empty block is released at once.
    void stopKeepingSpare();

private:
    struct FreeOrder {
        bool operator()(const MMChunk* a, const MMChunk* b) const {
            if (a->size != b->size) return a->size < b->size;
            if (a->block != b->block) return a->block < b->block;
            return a->offset < b->offset;
        }
    };

    MMChunk* newChunk(uint64_t size, MMBlock* block, uint64_t offset, bool free);
    void deleteChunk(MMChunk* c);
    void unlink(MMChunk* c);
    void reshape(MMChunk* c, bool inTree, uint64_t offset, uint64_t size);
    // A standard block with one free chunk over all of it, or null.
    MMBlock* standardBlock();
    void releaseBlock(MMBlock* block);

    uint64_t m_maxPooled;
    uint64_t m_granularity;
    uint64_t m_standardBlock;
    bool m_keepSpare;
    uint32_t m_numAllocations = 0;
    uint64_t m_numBlocks = 0;
    qx::set<MMChunk*, FreeOrder> m_free;
    qx::BlockAllocator m_chunks;
    MMBlock* m_spare = nullptr;
};

}  // namespace detail
}  // namespace qxOS

#endif
