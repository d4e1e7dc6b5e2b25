// Win32 backend of the address-space queries.
#include "os/sys/qxSysVirtualMemory.h"

#include <windows.h>

namespace qx {
namespace sys {

void applicationAddressRange(uint64_t* lowest, uint64_t* highest) {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    *lowest = reinterpret_cast<uintptr_t>(info.lpMinimumApplicationAddress);
    *highest = reinterpret_cast<uintptr_t>(info.lpMaximumApplicationAddress);
}

bool queryMemoryRegion(uint64_t address, MemoryRegion* region) {
    MEMORY_BASIC_INFORMATION info;
    if (VirtualQuery(reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), &info,
                     sizeof info) == 0)
        return false;
    region->base = reinterpret_cast<uintptr_t>(info.BaseAddress);
    region->size = info.RegionSize;
    region->state = info.State;
    return true;
}

}  // namespace sys
}  // namespace qx
