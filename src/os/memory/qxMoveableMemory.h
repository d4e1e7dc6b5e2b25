// Moveable memory: large amounts of data kept in scratch files and mapped
// into the address space only while somebody looks at them.
//
// qxOS::MoveableMemory hands out regions (MoveableMapping) carved out of
// 128 MiB scratch files in a directory the application names (a region of
// more than 32 MiB gets a file of its own). qxOS::MoveableAllocator hands out
// small chunks (MoveableChunk) carved out of 1 MiB regions of a
// MoveableMemory; a chunk is mapped and unmapped explicitly, its region
// stays mapped while any of its chunks is, and one idle region per
// allocator stays mapped as a cache.
//
// Scratch files are named "<prefix>-<process id>-<uuid>" and removed when
// their last region goes; the temporary-directory clean-up recognises the
// names that a process which died left behind.
//
// Lifetimes: destroying a MoveableMemory or a MoveableAllocator never takes
// anything from under its users. Regions and chunks still in use keep their
// scratch files, and what manages them, until the last of them is released;
// then the last file goes. An allocator keeps its source memory's
// bookkeeping alive in the same way.
//
// Nothing here is locked: a MoveableMemory or MoveableAllocator, with its
// regions and chunks, is used by one thread at a time.
#ifndef QXBASE_OS_MEMORY_QXMOVEABLEMEMORY_H
#define QXBASE_OS_MEMORY_QXMOVEABLEMEMORY_H

#include "containers/qxReferenceCount.h"
#include "qxDefs.h"
#include "string/qxString.h"

#include <cstddef>
#include <cstdint>

namespace qxOS {

namespace detail {
struct MMChunk;
}

class MoveableMemImpl;
class AllocatorImpl;

// A region: a window of a scratch file, mapped on request.
class QX_API MoveableMapping : public qx::ReferenceCount {
public:
    ~MoveableMapping() override;
    // The region's size in bytes (requests up to 32 MiB are rounded up to
    // 64 KiB).
    virtual uint64_t getSize() const = 0;
    // The region's address, mapping it when it is not mapped; null when the
    // system refuses.
    virtual void* map() = 0;
    virtual void unmap() = 0;
    // The current address, or null while unmapped.
    virtual void* getPtr() const = 0;
    // Writes the bytes [from, to) back to the file; faults pages in ahead of
    // use (see FileMapping). Nothing while unmapped.
    virtual void flush(uint64_t from, uint64_t to) = 0;
    virtual void load(uint64_t from, uint64_t to) = 0;

protected:
    MoveableMapping() = default;
};

class QX_API MoveableMemory {
public:
    struct Stats {
        uint64_t granularity;     // the system's allocation granularity
        uint64_t numFiles;        // scratch files
        uint64_t fileBytes;       // their bytes
        uint64_t numAllocations;  // regions in use
        uint64_t allocatedBytes;  // their bytes
        uint64_t mappedBytes;     // bytes of regions mapped now
    };

    MoveableMemory();
    ~MoveableMemory();
    MoveableMemory(const MoveableMemory&) = delete;
    MoveableMemory& operator=(const MoveableMemory&) = delete;

    // Where scratch files go, and how their names start. False for an empty
    // directory or prefix, or a directory that does not exist or is no
    // directory; until a call succeeds every allocation fails.
    bool initializeFiles(const qxString::IString& directory, const qxString::IString& prefix);

    // A region of at least size bytes, unmapped; null for size 0, before
    // initializeFiles, or when no scratch file can be had (a full disk, a
    // directory gone or not writable).
    qx::Reference<MoveableMapping> allocate(uint64_t size);

    // Releases the spare scratch file (one empty 128 MiB file is kept for
    // the next request), then counts.
    Stats getStats();

private:
    friend class AllocatorImpl;
    MoveableMemImpl* m_impl;
    bool m_owned;
};

// A chunk of a MoveableAllocator. Made only by the allocator; `delete chunk`
// gives it back (unmapping it first).
class QX_API MoveableChunk {
public:
    ~MoveableChunk();
    MoveableChunk(const MoveableChunk&) = delete;
    MoveableChunk& operator=(const MoveableChunk&) = delete;

    // Chunks come only from an allocator: new gives null and delete leaves
    // the storage to the allocator.
    static void* operator new(std::size_t) noexcept { return nullptr; }
    static void operator delete(void*) noexcept {}

    // The chunk's address, mapping its region when needed; null when the
    // system refuses the mapping.
    void* map();
    void unmap();
    bool isMapped() const;
    // The bytes the chunk holds: the request rounded up to 32 bytes (or as
    // asked above 256 KiB).
    uint64_t getSize() const;

private:
    friend class AllocatorImpl;
    MoveableChunk(detail::MMChunk* chunk, AllocatorImpl* owner) : m_chunk(chunk), m_owner(owner) {}

    detail::MMChunk* m_chunk;
    AllocatorImpl* m_owner;
};

class QX_API MoveableAllocator {
public:
    // Regions come from source, which must be initialised before the first
    // allocation.
    explicit MoveableAllocator(MoveableMemory& source);
    explicit MoveableAllocator(MoveableMemory* source);
    ~MoveableAllocator();
    MoveableAllocator(const MoveableAllocator&) = delete;
    MoveableAllocator& operator=(const MoveableAllocator&) = delete;

    // A chunk of at least size bytes, unmapped; null for size 0 or when no
    // region can be had.
    MoveableChunk* allocate(uint64_t size);
    // Chunks handed out and not yet deleted.
    int getNumAllocated() const;
    // Unmaps the idle region kept mapped as a cache, if any.
    void unmapCachedMappings();

private:
    AllocatorImpl* m_impl;
    bool m_owned;
};

}  // namespace qxOS

#endif
