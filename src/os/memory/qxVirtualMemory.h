// The process's address space, region by region: qxOS::VirtualMemoryIterator
// and the two questions asked before a large allocation, how large the
// largest region is and whether a free one of a given size exists.
//
//     for (qxOS::VirtualMemoryIterator it; it.valid(); it.next())
//         print(it.getSize(), it.getState());
//
// Regions follow one another from the lowest application address up; the
// last one, which reaches the top of the application's range, is never
// reported (valid() turns false first). On Linux the regions come from
// /proc/self/maps: each mapping is a region, committed or (allowing no
// access at all) reserved, and each gap between mappings a free one.
#ifndef QXBASE_OS_MEMORY_QXVIRTUALMEMORY_H
#define QXBASE_OS_MEMORY_QXVIRTUALMEMORY_H

#include "qxDefs.h"

#include <cstdint>

namespace qxOS {

// How an iterator walks. This base walks nothing and answers state 3 (not
// supported): what a platform without a walk gets.
class QX_API VirtualMemoryIteratorImpl : public qx::ImplBase {
public:
    ~VirtualMemoryIteratorImpl() override;
    virtual void reset();
    virtual void next();
    virtual bool valid() const;
    virtual uint64_t size() const;
    virtual int state() const;
};

class QX_API VirtualMemoryIterator {
public:
    enum State { kFree = 0, kCommitted = 1, kReserved = 2, kNotSupported = 3 };

    // At the first region of the address space.
    VirtualMemoryIterator();
    // Walks with impl, which it owns and resets.
    explicit VirtualMemoryIterator(VirtualMemoryIteratorImpl* impl);
    ~VirtualMemoryIterator();
    VirtualMemoryIterator(const VirtualMemoryIterator&) = delete;
    VirtualMemoryIterator& operator=(const VirtualMemoryIterator&) = delete;

    // Back to the first region, the one at the lowest application address.
    void reset();
    // On to the region after the current one.
    void next();
    // False once the region after the current one would start at or beyond
    // the highest application address.
    bool valid() const;
    // The current region's size in bytes and its State.
    uint64_t getSize() const;
    int getState() const;

private:
    VirtualMemoryIteratorImpl* m_impl;
    bool m_owned;
};

// The size of the largest region, of any state (0 where the address space
// cannot be walked).
QX_API uint64_t GetMaxFreeMemBlockSize();
// Whether a free region of at least size bytes exists (true where the address
// space cannot be walked: nothing says no).
QX_API bool IsMemBlockFree(uint64_t size);
// The same with a walk of the caller's, which they reset first.
QX_API uint64_t GetMaxFreeMemBlockSize(VirtualMemoryIterator& it);
QX_API bool IsMemBlockFree(uint64_t size, VirtualMemoryIterator& it);

}  // namespace qxOS

#endif
