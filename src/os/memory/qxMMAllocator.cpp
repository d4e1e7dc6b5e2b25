#include "os/memory/qxMMAllocator.h"

#include <iterator>
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

// Changes a free chunk's place and size. A chunk in the tree keeps its node
// when its new key still sorts between its neighbours' (the usual case: the
// tail of a block that requests are carved from, or a free run that grows),
// and is taken out and put back otherwise.
void MMAllocator::reshape(MMChunk* c, bool inTree, uint64_t offset, uint64_t size) {
    if (inTree) {
        MMChunk key;
        key.size = size;
        key.block = c->block;
        key.offset = offset;
        const FreeOrder less;
        auto it = m_free.find(c);
        bool keep;
        if (less(&key, c)) {
            keep = it == m_free.begin() || less(*std::prev(it), &key);
        } else {
            const auto next = std::next(it);
            keep = next == m_free.end() || less(&key, *next);
        }
        if (!keep) {
            m_free.erase(it);
            c->offset = offset;
            c->size = size;
            m_free.insert(c);
            return;
        }
    }
    c->offset = offset;
    c->size = size;
    if (!inTree) m_free.insert(c);
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
        bool inTree = it != m_free.end();
        if (inTree) {
            c = *it;
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
            reshape(c, inTree, c->offset + r, c->size - r);
            c = front;
        } else if (inTree) {
            m_free.erase(it);
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

// Takes c out of its block's list and drops its record.
void MMAllocator::unlink(MMChunk* c) {
    MMBlock* block = c->block;
    if (c->prev)
        c->prev->next = c->next;
    else
        block->first = c->nextChunk();
    if (c->next)
        c->next->prev = c->prev;
    else
        block->last = c->prevChunk();
    deleteChunk(c);
}

void MMAllocator::free(MMChunk* c) {
    onFree(c);
    c->free = true;
    c->user = nullptr;
    MMBlock* block = c->block;
    --m_numAllocations;
    MMChunk* lower = c->prevChunk();
    MMChunk* upper = c->nextChunk();
    if (lower && !lower->free) lower = nullptr;
    if (upper && !upper->free) upper = nullptr;

    if (!lower && !upper) {
        if (block->first == c && block->last == c) {
            unlink(c);
            releaseBlock(block);
        } else {
            m_free.insert(c);
        }
        return;
    }
    // A free neighbour takes c's bytes (the lower one, when both are free,
    // also the upper one's), keeping its place in the tree when it can.
    MMChunk* survivor = lower ? lower : upper;
    const uint64_t offset = lower ? lower->offset : c->offset;
    uint64_t size = survivor->size + c->size;
    unlink(c);
    if (lower && upper) {
        size += upper->size;
        m_free.erase(upper);
        unlink(upper);
    }
    if (block->first == survivor && block->last == survivor) {
        m_free.erase(survivor);
        unlink(survivor);
        releaseBlock(block);
        return;
    }
    reshape(survivor, true, offset, size);
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
