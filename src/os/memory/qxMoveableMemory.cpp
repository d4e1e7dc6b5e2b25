#include "os/memory/qxMoveableMemory.h"

#include "os/app/qxSysInfo.h"
#include "os/app/qxUuid.h"
#include "os/files/qxFile.h"
#include "os/files/qxFilename.h"
#include "os/memory/qxMMAllocator.h"
#include "os/memory/qxMemMapFile.h"

#include <new>

namespace qxOS {

using detail::MMAllocator;
using detail::MMBlock;
using detail::MMChunk;
using qxString::IString;

namespace {

constexpr uint64_t kKiB = 1024, kMiB = 1024 * kKiB;

}  // namespace

// --- regions ------------------------------------------------------------------

// A block of the region level: one scratch file.
struct RegionBlock : MMBlock {
    MemoryMappedFile file;
};

class MoveableMemImpl : public MMAllocator, public qx::ImplBase {
public:
    MoveableMemImpl()
        : MMAllocator(32 * kMiB, 64 * kKiB, 128 * kMiB, true),
          m_granularity(FileMapping::getGranularity()) {}
    ~MoveableMemImpl() override { releaseSpare(); }

    bool initializeFiles(const IString& directory, const IString& prefix) {
        if (directory.isEmpty() || prefix.isEmpty()) return false;
        FileStatus status;
        if (File::query(directory, status) || !status.exists() || !status.isDirectory())
            return false;
        m_directory = directory;
        m_prefix = prefix;
        m_filesInitialized = true;
        return true;
    }

    MoveableMemory::Stats stats() {
        releaseSpare();
        return {m_granularity, m_numFiles, m_fileBytes, m_numRegions, m_regionBytes, m_mappedBytes};
    }

    void mapped(int64_t bytes) { m_mappedBytes += static_cast<uint64_t>(bytes); }

    // The handle is gone, or an allocator let go: the object goes once
    // nobody needs it any more.
    void handleGone() {
        m_handleAlive = false;
        stopKeepingSpare();
        deleteWhenUnused();
    }
    void hold() { ++m_holders; }
    void letGo() {
        --m_holders;
        deleteWhenUnused();
    }
    void deleteWhenUnused() {
        if (!m_handleAlive && m_holders == 0 && numAllocations() == 0) delete this;
    }

protected:
    MMBlock* newBlock(uint64_t size) override {
        if (!m_filesInitialized) return nullptr;
        Uuid id;
        if (!id.generate()) return nullptr;
        IString name;
        name.format("%S-%d-%s", m_prefix.asWChar(), sysInfo().getProcessID(), id.asString().c_str());
        RegionBlock* block = new (std::nothrow) RegionBlock;
        if (!block) return nullptr;
        if (!block->file.createFile(Filename::join(m_directory, name), static_cast<int64_t>(size),
                                    true)) {
            delete block;
            return nullptr;
        }
        ++m_numFiles;
        m_fileBytes += size;
        return block;
    }

    void deleteBlock(MMBlock* block) override {
        RegionBlock* region = static_cast<RegionBlock*>(block);
        --m_numFiles;
        m_fileBytes -= static_cast<uint64_t>(region->file.getSize());
        delete region;  // the file goes with it (delete on close)
    }

    void onAllocate(MMChunk* c) override {
        ++m_numRegions;
        m_regionBytes += c->size;
    }
    void onFree(MMChunk* c) override {
        --m_numRegions;
        m_regionBytes -= c->size;
    }

private:
    bool m_filesInitialized = false;
    bool m_handleAlive = true;
    int m_holders = 0;
    uint64_t m_granularity;
    uint64_t m_numFiles = 0;
    uint64_t m_fileBytes = 0;
    uint64_t m_numRegions = 0;
    uint64_t m_regionBytes = 0;
    uint64_t m_mappedBytes = 0;
    IString m_directory;
    IString m_prefix;
};

namespace {

class MappingImpl final : public MoveableMapping {
public:
    MappingImpl(MoveableMemImpl* owner, MMChunk* chunk) : m_owner(owner), m_chunk(chunk) {}
    ~MappingImpl() override {
        unmap();
        m_owner->free(m_chunk);
        m_owner->deleteWhenUnused();
    }

    uint64_t getSize() const override { return m_chunk->size; }

    void* map() override {
        if (m_window) return m_window.getPtr();
        RegionBlock* block = static_cast<RegionBlock*>(m_chunk->block);
        m_window = block->file.map(static_cast<int64_t>(m_chunk->offset), m_chunk->size);
        if (m_window) m_owner->mapped(static_cast<int64_t>(m_chunk->size));
        return m_window.getPtr();
    }

    void unmap() override {
        if (!m_window) return;
        m_window.unmap();
        m_owner->mapped(-static_cast<int64_t>(m_chunk->size));
    }

    void* getPtr() const override { return m_window.getPtr(); }
    void flush(uint64_t from, uint64_t to) override { m_window.flush(from, to); }
    void load(uint64_t from, uint64_t to) override { m_window.load(from, to); }

private:
    MoveableMemImpl* m_owner;
    MMChunk* m_chunk;
    FileMapping m_window;
};

}  // namespace

MoveableMapping::~MoveableMapping() = default;

MoveableMemory::MoveableMemory() : m_impl(new MoveableMemImpl), m_owned(true) {}

MoveableMemory::~MoveableMemory() {
    if (m_owned) m_impl->handleGone();
}

bool MoveableMemory::initializeFiles(const IString& directory, const IString& prefix) {
    return m_impl->initializeFiles(directory, prefix);
}

qx::Reference<MoveableMapping> MoveableMemory::allocate(uint64_t size) {
    MMChunk* c = m_impl->allocate(size);
    if (!c) return nullptr;
    MappingImpl* mapping = new (std::nothrow) MappingImpl(m_impl, c);
    if (!mapping) {
        m_impl->free(c);
        return nullptr;
    }
    return mapping;
}

MoveableMemory::Stats MoveableMemory::getStats() {
    return m_impl->stats();
}

// --- chunks -------------------------------------------------------------------

// A block of the chunk level: one region.
struct ChunkBlock : MMBlock {
    uint32_t mapCount = 0;
    qx::Reference<MoveableMapping> region;
};

class AllocatorImpl : public MMAllocator, public qx::ImplBase {
public:
    explicit AllocatorImpl(MoveableMemory* source)
        : MMAllocator(256 * kKiB, 32, 1 * kMiB, false),
          m_source(source ? source->m_impl : nullptr),
          m_handles(sizeof(MoveableChunk), 64) {
        if (m_source) m_source->hold();
    }
    ~AllocatorImpl() override {
        uncache();
        recyclePending();
        if (m_source) m_source->letGo();
    }

    MoveableChunk* allocateChunk(uint64_t size) {
        recyclePending();
        MMChunk* c = allocate(size);
        if (!c) return nullptr;
        MoveableChunk* chunk = ::new (m_handles.alloc()) MoveableChunk(c, this);
        c->user = chunk;
        return chunk;
    }

    // The chunk's destructor: back to the allocator. Its storage is reused
    // only from the next call on, once the destructor is over.
    void release(MoveableChunk* chunk) {
        chunkUnmap(chunk->m_chunk);
        recyclePending();
        m_pending = chunk;
        free(chunk->m_chunk);
        deleteWhenUnused();
    }

    void* chunkMap(MMChunk* c) {
        ChunkBlock* block = static_cast<ChunkBlock*>(c->block);
        if (c->mapped) return static_cast<char*>(block->region->getPtr()) + c->offset;
        if (block->mapCount == 0 && m_cached == block) m_cached = nullptr;  // stays mapped
        void* base = block->region->getPtr();
        if (!base) base = block->region->map();
        // A cached block is mapped: a refusal leaves the cache as it was.
        if (!base) return nullptr;
        ++block->mapCount;
        c->mapped = true;
        return static_cast<char*>(base) + c->offset;
    }

    void chunkUnmap(MMChunk* c) {
        if (!c->mapped) return;
        ChunkBlock* block = static_cast<ChunkBlock*>(c->block);
        c->mapped = false;
        if (--block->mapCount == 0) cache(block);
    }

    // Evicts the cached block, unmapping its region.
    void uncache() {
        if (!m_cached) return;
        ChunkBlock* block = m_cached;
        m_cached = nullptr;
        block->region->unmap();
    }

    void handleGone() {
        m_handleAlive = false;
        uncache();
        deleteWhenUnused();
    }

protected:
    MMBlock* newBlock(uint64_t size) override {
        if (!m_source) return nullptr;
        qx::Reference<MoveableMapping> region;
        {
            // Through a stand-in handle: the source's own may be gone.
            MMChunk* c = m_source->allocate(size);
            if (!c) return nullptr;
            region = new (std::nothrow) MappingImpl(m_source, c);
            if (!region) {
                m_source->free(c);
                return nullptr;
            }
        }
        ChunkBlock* block = new (std::nothrow) ChunkBlock;
        if (!block) return nullptr;
        block->region = std::move(region);
        return block;
    }

    void deleteBlock(MMBlock* b) override {
        ChunkBlock* block = static_cast<ChunkBlock*>(b);
        if (m_cached == block) uncache();
        delete block;  // lets the region go
    }

private:
    void cache(ChunkBlock* block) {
        if (m_cached == block) return;
        uncache();
        m_cached = block;
    }

    void recyclePending() {
        if (m_pending) m_handles.free(m_pending);
        m_pending = nullptr;
    }

    void deleteWhenUnused() {
        if (!m_handleAlive && numAllocations() == 0) delete this;
    }

    MoveableMemImpl* m_source;
    qx::BlockAllocator m_handles;
    MoveableChunk* m_pending = nullptr;
    ChunkBlock* m_cached = nullptr;
    bool m_handleAlive = true;
};

MoveableChunk::~MoveableChunk() {
    m_owner->release(this);
}

void* MoveableChunk::map() {
    return m_owner->chunkMap(m_chunk);
}

void MoveableChunk::unmap() {
    m_owner->chunkUnmap(m_chunk);
}

bool MoveableChunk::isMapped() const {
    return m_chunk->mapped;
}

uint64_t MoveableChunk::getSize() const {
    return m_chunk->size;
}

MoveableAllocator::MoveableAllocator(MoveableMemory& source)
    : m_impl(new AllocatorImpl(&source)), m_owned(true) {}

MoveableAllocator::MoveableAllocator(MoveableMemory* source)
    : m_impl(new AllocatorImpl(source)), m_owned(true) {}

MoveableAllocator::~MoveableAllocator() {
    if (m_owned) m_impl->handleGone();
}

MoveableChunk* MoveableAllocator::allocate(uint64_t size) {
    return m_impl->allocateChunk(size);
}

int MoveableAllocator::getNumAllocated() const {
    return static_cast<int>(m_impl->numAllocations());
}

void MoveableAllocator::unmapCachedMappings() {
    m_impl->uncache();
}

}  // namespace qxOS
