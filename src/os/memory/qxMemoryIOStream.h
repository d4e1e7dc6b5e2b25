// qxOS::MemoryIOStream: a byte stream in memory, written once as a sequence
// of fixed-size blocks and then read back from the start. Given a
// MoveableAllocator, its blocks are moveable chunks, and a stream of any
// size has only the block being read or written mapped.
#ifndef QXBASE_OS_MEMORY_QXMEMORYIOSTREAM_H
#define QXBASE_OS_MEMORY_QXMEMORYIOSTREAM_H

#include "containers/qxList.h"
#include "containers/qxReferenceCount.h"
#include "diagnostics/qxIOStream.h"
#include "qxDefs.h"

#include <cstdint>

namespace qxOS {

class MoveableAllocator;
class MoveableChunk;

class QX_API MemoryIOStream : public IOStream {
public:
    // One block of a stream, shared through references. Not copyable: two
    // blocks would own one storage.
    class QX_API Block : public qx::ReferenceCount {
    public:
        // size 0 holds nothing. With an allocator the storage is a moveable
        // chunk (none when the allocator refuses) and stays unmapped until
        // map(); without one it is a heap block (none when the heap is out of
        // memory).
        Block(uint64_t size, MoveableAllocator* allocator);
        ~Block() override;
        Block(const Block&) = delete;
        Block& operator=(const Block&) = delete;

        uint64_t getSize() const { return m_size; }
        void* getData() const { return m_data; }
        void reduceSize(uint64_t n) { m_size = n; }
        // The data's address, mapping a moveable block's chunk when needed;
        // null for a block without storage or one that cannot be mapped.
        void* map();
        void unmap();

    private:
        uint64_t m_size;
        void* m_data;
        MoveableChunk* m_chunk;
    };
    using BlockList = qx::list<qx::Reference<Block>>;

    // Blocks of 4096 bytes on the heap.
    MemoryIOStream();
    // Blocks of blockSize bytes (4096 for 0), moveable when allocator is not
    // null; the allocator is not owned and must outlive the blocks.
    MemoryIOStream(uint64_t blockSize, MoveableAllocator* allocator);
    ~MemoryIOStream() override;
    MemoryIOStream(const MemoryIOStream&) = delete;
    MemoryIOStream& operator=(const MemoryIOStream&) = delete;

    // Closes the stream if it is open, empties it, and opens it for writing.
    void openForWrite();
    // Closes the stream if it is open, and opens it for reading from the
    // start.
    void openForRead();
    // After writing, the last block keeps only the bytes written; the last
    // block is unmapped.
    void close();

    // Error 1 "Stream not open for write" unless open for writing. Error 2
    // when a new block cannot be had or mapped: *done then tells how many
    // bytes went in, and the stream holds exactly those.
    qxUtil::Error write(const void* buffer, size_t n, size_t* done) override;
    // Error 1 "Stream is not open for read" unless open for reading; error
    // 1 "EOF" when nothing could be read (also for n == 0). A moveable block
    // that cannot be mapped ends the read there with error 2.
    qxUtil::Error read(void* buffer, size_t n, size_t* done) override;

    // The sum of the blocks' sizes.
    uint64_t getSize() const;
    const BlockList& getBlocks() const { return m_blocks; }
    // Drops the stream's blocks and adopts those of list, which is left
    // empty. Meant for a closed stream.
    void setBlocks(BlockList& list);
    // Hands the stream's blocks to list (whose previous blocks are
    // released); the stream is left empty. Meant for a closed stream.
    void releaseBlocks(BlockList& list);

private:
    BlockList m_blocks;
    uint64_t m_blockSize;
    bool m_openForRead;
    bool m_openForWrite;
    uint64_t m_offset;
    BlockList::iterator m_cursor;
    MoveableAllocator* m_allocator;
};

}  // namespace qxOS

#endif
