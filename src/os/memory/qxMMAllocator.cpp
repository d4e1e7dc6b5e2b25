#include "os/memory/qxMMAllocator.h"

#include <new>

namespace qxOS {
namespace detail {

MMAllocator::MMAllocator(uint64_t maxPooled, uint64_t granularity, uint64_t standardBlock,
                         bool keepSpare)
    : m_maxPooled(maxPooled),
      m_granularity(granularity),
      m_standardBlock(standardBlock),
      m_keepSpare(keepSpare),
      m_chunks(sizeof(MMChunk), 64) {
    m_free.impl().setNumElementsInBlock(10);
}

// The levels delete an allocator only once nothing is handed out (and after
// releaseSpare), so no block is left; chunk records go with their pool.
MMAllocator::~MMAllocator() = default;

MMChunk* MMAllocator::newChunk(uint64_t size, MMBlock* block, uint64_t offset, bool free) {
    MMChunk* c = ::new (m_chunks.alloc()) MMChunk;
    c->size = size;
    c->block = block;
    c->offset = offset;
    c->free = free;
    return c;
}

void MMAllocator::deleteChunk(MMChunk* c) {
    c->~MMChunk();
    m_chunks.free(c);
}

MMBlock* MMAllocator::standardBlock() {
    MMBlock* block = m_spare;
    if (block) {
        m_spare = nullptr;
    } else {
        block = newBlock(m_standardBlock);
        if (!block) return nullptr;
        block->size = m_standardBlock;
        ++m_numBlocks;
    }
    MMChunk* c = newChunk(block->size, block, 0, true);
    block->first = block->last = c;
    return block;
}

MMChunk* MMAllocator::allocate(uint64_t n) {
    if (n == 0) return nullptr;
    MMChunk* c;
    if (n <= m_maxPooled) {
        const uint64_t r = (n + m_granularity - 1) / m_granularity * m_granularity;
        // Best fit: the smallest free chunk of at least r bytes, the lowest
        // block address and then the lowest offset among equals.
        MMChunk probe;
        probe.size = r;
        const auto it = m_free.lower_bound(&probe);
        if (it != m_free.end()) {
            c = *it;
            m_free.erase(it);
        } else {
            MMBlock* block = standardBlock();
            if (!block) return nullptr;
            c = block->first;
        }
        if (c->size - r > m_granularity) {
            // Split: the front serves the request, the rest stays free.
            MMChunk* front = newChunk(r, c->block, c->offset, false);
            front->prev = c->prev;
            front->next = c;
            if (c->prev)
                c->prev->next = front;
            else
                c->block->first = front;
            c->prev = front;
            c->offset += r;
            c->size -= r;
            m_free.insert(c);
            c = front;
        }
    } else {
        MMBlock* block;
        if (n == m_standardBlock) {
            block = standardBlock();
        } else {
            block = newBlock(n);
            if (block) {
                block->size = n;
                ++m_numBlocks;
                block->first = block->last = newChunk(n, block, 0, true);
            }
        }
        if (!block) return nullptr;
        c = block->first;
    }
    c->free = false;
    ++m_numAllocations;
    onAllocate(c);
    return c;
}

void MMAllocator::free(MMChunk* c) {
    onFree(c);
    c->free = true;
    c->user = nullptr;
    MMBlock* block = c->block;
    if (MMChunk* lower = c->prevChunk(); lower && lower->free) {
        c->offset = lower->offset;
        c->size += lower->size;
        m_free.erase(lower);
        c->prev = lower->prev;
        if (c->prev)
            c->prev->next = c;
        else
            block->first = c;
        deleteChunk(lower);
    }
    if (MMChunk* upper = c->nextChunk(); upper && upper->free) {
        c->size += upper->size;
        m_free.erase(upper);
        c->next = upper->next;
        if (c->next)
            c->next->prev = c;
        else
            block->last = c;
        deleteChunk(upper);
    }
    --m_numAllocations;
    if (block->first == c && block->last == c) {
        deleteChunk(c);
        block->first = block->last = nullptr;
        releaseBlock(block);
    } else {
        m_free.insert(c);
    }
}

void MMAllocator::releaseBlock(MMBlock* block) {
    if (m_keepSpare && !m_spare && block->size == m_standardBlock) {
        m_spare = block;
        return;
    }
    --m_numBlocks;
    deleteBlock(block);
}

void MMAllocator::stopKeepingSpare() {
    m_keepSpare = false;
    releaseSpare();
}

void MMAllocator::releaseSpare() {
    if (!m_spare) return;
    MMBlock* spare = m_spare;
    m_spare = nullptr;
    --m_numBlocks;
    deleteBlock(spare);
}

bool MMAllocator::checkInvariants(MMBlock* const* blocks, int numBlocks) const {
    size_t freeSeen = 0;
    for (int i = 0; i < numBlocks; ++i) {
        const MMBlock* block = blocks[i];
        if (block == m_spare) {
            if (block->first || block->last) return false;
            continue;
        }
        uint64_t at = 0;
        const MMChunk* before = nullptr;
        for (const MMChunk* c = block->first; c; c = c->nextChunk()) {
            if (c->block != block || c->offset != at || c->size == 0 || c->prev != before)
                return false;
            if (c->free) {
                if (before && before->free) return false;
                if (m_free.find(const_cast<MMChunk*>(c)) == m_free.end()) return false;
                ++freeSeen;
            }
            at += c->size;
            before = c;
        }
        if (block->last != before || at != block->size) return false;
    }
    return freeSeen == static_cast<size_t>(m_free.size());
}

}  // namespace detail
}  // namespace qxOS
