// Platform layer: the process's address space, region by region, as
// VirtualQuery describes it.
#ifndef QXBASE_OS_SYS_QXSYSVIRTUALMEMORY_H
#define QXBASE_OS_SYS_QXSYSVIRTUALMEMORY_H

#include <cstdint>

namespace qx {
namespace sys {

// Region states, Win32's MEM_COMMIT, MEM_RESERVE and MEM_FREE.
enum : uint32_t { kMemCommit = 0x1000, kMemReserve = 0x2000, kMemFree = 0x10000 };

// A run of pages of one state from base on.
struct MemoryRegion {
    uint64_t base;
    uint64_t size;
    uint32_t state;
};

// GetSystemInfo's lowest and highest addresses an application can use (the
// highest is the last byte, not one past it). POSIX: the kernel's lowest
// mappable address (vm.mmap_min_addr, 64 KiB when it cannot be read, as on
// Windows) and the last byte below the top page of the 47-bit user space.
void applicationAddressRange(uint64_t* lowest, uint64_t* highest);

// VirtualQuery: the region that holds address, from address's page on, up
// to where the state (or, on Windows, the protection or allocation) changes.
// False when address lies beyond the application's range or the system
// cannot say. POSIX: read from /proc/self/maps at the call. A mapping is
// committed, or reserved when it allows no access at all (PROT_NONE, as
// guard pages and reservations are made); the gap between two mappings, and
// above the last up to the top of the range, is free. Mappings split where
// the kernel lists them apart (different protections or files), not where
// Windows would.
bool queryMemoryRegion(uint64_t address, MemoryRegion* region);

}  // namespace sys
}  // namespace qx

#endif
