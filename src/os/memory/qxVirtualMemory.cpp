#include "os/memory/qxVirtualMemory.h"

#include "os/sys/qxSysVirtualMemory.h"

namespace qxOS {

VirtualMemoryIteratorImpl::~VirtualMemoryIteratorImpl() = default;

void VirtualMemoryIteratorImpl::reset() {}

void VirtualMemoryIteratorImpl::next() {}

bool VirtualMemoryIteratorImpl::valid() const {
    return false;
}

uint64_t VirtualMemoryIteratorImpl::size() const {
    return 0;
}

int VirtualMemoryIteratorImpl::state() const {
    return VirtualMemoryIterator::kNotSupported;
}

namespace {

// The walk of VirtualQuery, which the platform layer answers on every
// target: each region queried at the address where the one before it ends.
class VirtualMemoryIteratorWin32Impl : public VirtualMemoryIteratorImpl {
public:
    void reset() override {
        qx::sys::applicationAddressRange(&m_lowest, &m_highest);
        query(m_lowest);
    }
    void next() override { query(m_next); }
    bool valid() const override { return m_next < m_highest; }
    uint64_t size() const override { return m_region.size; }
    int state() const override {
        if (m_region.state & qx::sys::kMemFree) return VirtualMemoryIterator::kFree;
        if (m_region.state & qx::sys::kMemCommit) return VirtualMemoryIterator::kCommitted;
        return VirtualMemoryIterator::kReserved;
    }

private:
    void query(uint64_t address) {
        if (qx::sys::queryMemoryRegion(address, &m_region) && m_region.size != 0) {
            m_next = address + m_region.size;
            return;
        }
        // Nothing more to be learnt: an empty region, and the walk ends.
        m_region = qx::sys::MemoryRegion{address, 0, 0};
        m_next = m_highest;
    }

    uint64_t m_lowest = 0;
    uint64_t m_highest = 0;
    qx::sys::MemoryRegion m_region{0, 0, 0};
    uint64_t m_next = 0;
};

}  // namespace

VirtualMemoryIterator::VirtualMemoryIterator()
    : VirtualMemoryIterator(new VirtualMemoryIteratorWin32Impl) {}

VirtualMemoryIterator::VirtualMemoryIterator(VirtualMemoryIteratorImpl* impl)
    : m_impl(impl), m_owned(true) {
    m_impl->reset();
}

VirtualMemoryIterator::~VirtualMemoryIterator() {
    if (m_owned) delete m_impl;
}

void VirtualMemoryIterator::reset() {
    m_impl->reset();
}

void VirtualMemoryIterator::next() {
    m_impl->next();
}

bool VirtualMemoryIterator::valid() const {
    return m_impl->valid();
}

uint64_t VirtualMemoryIterator::getSize() const {
    return m_impl->size();
}

int VirtualMemoryIterator::getState() const {
    return m_impl->state();
}

uint64_t GetMaxFreeMemBlockSize(VirtualMemoryIterator& it) {
    it.reset();
    if (it.getState() == VirtualMemoryIterator::kNotSupported) return 0;
    // Every region counts, whatever its state.
    uint64_t largest = 0;
    for (; it.valid(); it.next())
        if (it.getSize() > largest) largest = it.getSize();
    return largest;
}

bool IsMemBlockFree(uint64_t size, VirtualMemoryIterator& it) {
    it.reset();
    if (it.getState() == VirtualMemoryIterator::kNotSupported) return true;
    for (; it.valid(); it.next())
        if (it.getState() == VirtualMemoryIterator::kFree && it.getSize() >= size) return true;
    return false;
}

uint64_t GetMaxFreeMemBlockSize() {
    VirtualMemoryIterator it;
    return GetMaxFreeMemBlockSize(it);
}

bool IsMemBlockFree(uint64_t size) {
    VirtualMemoryIterator it;
    return IsMemBlockFree(size, it);
}

}  // namespace qxOS
