#include "os/memory/qxMemoryIOStream.h"

#include "os/memory/qxMoveableMemory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace qxOS {

using qxUtil::Error;

namespace {

constexpr uint64_t kDefaultBlockSize = 4096;

Error noBlockMemory() {
    return Error(2, "Cannot get memory for a stream block");
}

}  // namespace

// --- blocks -------------------------------------------------------------------

MemoryIOStream::Block::Block(uint64_t size, MoveableAllocator* allocator)
    : m_size(size), m_data(nullptr), m_chunk(nullptr) {
    if (size == 0) return;
    if (allocator)
        m_chunk = allocator->allocate(size);
    else
        m_data = std::malloc(static_cast<size_t>(size));
}

MemoryIOStream::Block::~Block() {
    if (m_chunk)
        delete m_chunk;  // back to its allocator
    else
        std::free(m_data);
}

void* MemoryIOStream::Block::map() {
    if (m_chunk && !m_data) m_data = m_chunk->map();
    return m_data;
}

void MemoryIOStream::Block::unmap() {
    if (m_chunk && m_data) {
        m_chunk->unmap();
        m_data = nullptr;
    }
}

// --- the stream ---------------------------------------------------------------

MemoryIOStream::MemoryIOStream() : MemoryIOStream(kDefaultBlockSize, nullptr) {}

MemoryIOStream::MemoryIOStream(uint64_t blockSize, MoveableAllocator* allocator)
    : m_blockSize(blockSize ? blockSize : kDefaultBlockSize),
      m_openForRead(false),
      m_openForWrite(false),
      m_offset(0),
      m_cursor(m_blocks.end()),
      m_allocator(allocator) {}

MemoryIOStream::~MemoryIOStream() {
    m_blocks.clear();
}

void MemoryIOStream::openForWrite() {
    if (m_openForRead || m_openForWrite) close();
    m_blocks.clear();
    m_openForWrite = true;
    m_offset = 0;
}

void MemoryIOStream::openForRead() {
    if (m_openForRead || m_openForWrite) close();
    m_cursor = m_blocks.begin();
    m_openForRead = true;
    m_offset = 0;
}

void MemoryIOStream::close() {
    if (m_openForWrite && !m_blocks.empty()) m_blocks.back()->reduceSize(m_offset);
    if (!m_blocks.empty()) m_blocks.back()->unmap();
    // A read stopped inside another block leaves that one mapped otherwise.
    if (m_openForRead && m_cursor != m_blocks.end()) (*m_cursor)->unmap();
    m_openForRead = m_openForWrite = false;
    m_offset = 0;
}

Error MemoryIOStream::write(const void* buffer, size_t n, size_t* done) {
    if (!m_openForWrite) return Error(1, "Stream not open for write");
    if (done) *done = n;
    const char* from = static_cast<const char*>(buffer);
    size_t left = n;
    while (left > 0) {
        if (m_blocks.empty() || m_offset == m_blocks.back()->getSize()) {
            if (!m_blocks.empty()) m_blocks.back()->unmap();
            qx::Reference<Block> block(new Block(m_blockSize, m_allocator));
            if (!block->map()) {
                // The last block stays full, as written; nothing half-made
                // joins the stream.
                if (done) *done = n - left;
                return noBlockMemory();
            }
            m_blocks.push_back(std::move(block));
            m_offset = 0;
        }
        Block& last = *m_blocks.back();
        char* to = static_cast<char*>(last.map());
        if (!to) {
            if (done) *done = n - left;
            return noBlockMemory();
        }
        const size_t count = static_cast<size_t>(std::min<uint64_t>(left, last.getSize() - m_offset));
        std::memcpy(to + m_offset, from, count);
        from += count;
        left -= count;
        m_offset += count;
    }
    return Error();
}

Error MemoryIOStream::read(void* buffer, size_t n, size_t* done) {
    if (!m_openForRead) return Error(1, "Stream is not open for read");
    char* to = static_cast<char*>(buffer);
    size_t copied = 0;
    Error error;
    while (copied < n && m_cursor != m_blocks.end()) {
        Block& block = **m_cursor;
        if (m_offset < block.getSize()) {
            const char* data = static_cast<const char*>(block.map());
            if (!data) {
                error = noBlockMemory();
                break;
            }
            const size_t count =
                static_cast<size_t>(std::min<uint64_t>(n - copied, block.getSize() - m_offset));
            std::memcpy(to + copied, data + m_offset, count);
            copied += count;
            m_offset += count;
        } else {
            block.unmap();
            ++m_cursor;
            m_offset = 0;
        }
    }
    if (done) *done = copied;
    if (error) return error;
    return copied > 0 ? Error() : Error(1, "EOF");
}

uint64_t MemoryIOStream::getSize() const {
    uint64_t total = 0;
    for (const auto& block : m_blocks) total += block->getSize();
    return total;
}

void MemoryIOStream::setBlocks(BlockList& list) {
    m_blocks.clear();
    m_blocks.swap(list);
    m_cursor = m_blocks.end();
}

void MemoryIOStream::releaseBlocks(BlockList& list) {
    m_blocks.swap(list);
    m_blocks.clear();
    m_cursor = m_blocks.end();
}

}  // namespace qxOS
