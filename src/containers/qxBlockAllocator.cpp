#include "containers/qxBlockAllocator.h"

#include <cstdlib>
#include <utility>

#include "containers/qxOutOfMemory.h"

namespace qx {

BlockAllocator::BlockAllocator(unsigned long long elementSize, int elementsInBlock)
    : m_blocks(nullptr),
      m_freeList(nullptr),
      m_elementSize(elementSize < 8 ? 8 : elementSize),
      m_elementsInBlock(0),
      m_blockBytes(kHeaderBytes),
      m_numCarved(0),
      m_numFreed(0),
      m_lazy(false) {
    setNumElementsInBlock(elementsInBlock);
}

BlockAllocator::~BlockAllocator() {
    freeEverything();
}

void* BlockAllocator::allocFromNewBlock() {
    if (m_elementsInBlock < 1) {
        // A block must hold at least one slot.
        m_elementsInBlock = 1;
        m_blockBytes = m_elementSize + kHeaderBytes;
    }
    char* block = static_cast<char*>(std::malloc(m_blockBytes));
    if (!block) detail::outOfMemory(m_blockBytes, "allocator blocks");
    const int used = 1;
    std::memcpy(block, &used, sizeof(int));
    std::memcpy(block + 8, &m_blocks, sizeof(void*));
    m_blocks = block;
    ++m_numCarved;
    return block + kHeaderBytes;
}

void BlockAllocator::freeEverything() {
    char* block = static_cast<char*>(m_blocks);
    while (block) {
        char* previous;
        std::memcpy(&previous, block + 8, sizeof(void*));
        std::free(block);
        block = previous;
    }
    m_blocks = nullptr;
    m_freeList = nullptr;
    m_numCarved = 0;
    m_numFreed = 0;
}

void BlockAllocator::setNumElementsInBlock(int n) {
    if (m_numCarved != 0) return;  // nothing allocated or freed yet
    m_elementsInBlock = n;
    m_blockBytes = m_elementSize * static_cast<unsigned long long>(n < 0 ? 0 : n) + kHeaderBytes;
}

void BlockAllocator::swap(BlockAllocator& other) noexcept {
    std::swap(m_blocks, other.m_blocks);
    std::swap(m_freeList, other.m_freeList);
    std::swap(m_elementSize, other.m_elementSize);
    std::swap(m_elementsInBlock, other.m_elementsInBlock);
    std::swap(m_blockBytes, other.m_blockBytes);
    std::swap(m_numCarved, other.m_numCarved);
    std::swap(m_numFreed, other.m_numFreed);
    std::swap(m_lazy, other.m_lazy);
}

}  // namespace qx
