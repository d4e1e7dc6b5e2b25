// POSIX backend of the address-space queries: /proc/self/maps, whose gaps
// are the free regions.
#include "os/sys/qxSysInfo.h"
#include "os/sys/qxSysVirtualMemory.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qx {
namespace sys {

namespace {

uint64_t lowestAddress() {
    static const uint64_t lowest = [] {
        uint64_t v = 0x10000;
        if (std::FILE* f = std::fopen("/proc/sys/vm/mmap_min_addr", "re")) {
            unsigned long long read = 0;
            if (std::fscanf(f, "%llu", &read) == 1) v = read;
            std::fclose(f);
        }
        return v;
    }();
    return lowest;
}

uint64_t pageMask() {
    const uint64_t page = pageSize();
    return page ? ~(page - 1) : ~uint64_t{0xFFF};
}

}  // namespace

void applicationAddressRange(uint64_t* lowest, uint64_t* highest) {
    const uint64_t page = pageSize();
    *lowest = lowestAddress();
    *highest = (uint64_t{1} << 47) - (page ? page : 0x1000) - 1;
}

bool queryMemoryRegion(uint64_t address, MemoryRegion* region) {
    uint64_t lowest, highest;
    applicationAddressRange(&lowest, &highest);
    if (address > highest) return false;
    std::FILE* maps = std::fopen("/proc/self/maps", "re");
    if (!maps) return false;
    const uint64_t base = address & pageMask();
    // The free region that reaches the top unless a mapping comes first.
    *region = MemoryRegion{base, highest + 1 - base, kMemFree};
    // Lines are "start-end perms offset device inode path", in ascending
    // order; reading stops at the first that ends above base.
    char line[512];
    bool lineStart = true;
    while (std::fgets(line, sizeof line, maps)) {
        const bool wasStart = lineStart;
        lineStart = line[0] && line[std::strlen(line) - 1] == '\n';
        if (!wasStart) continue;  // the rest of a long path
        char* p;
        const uint64_t start = std::strtoull(line, &p, 16);
        if (*p != '-') continue;
        uint64_t end = std::strtoull(p + 1, &p, 16);
        if (end <= base) continue;
        if (end > highest + 1) end = highest + 1;
        if (start <= base) {
            const bool noAccess = p[0] == ' ' && p[1] == '-' && p[2] == '-' && p[3] == '-';
            *region = MemoryRegion{base, end - base, noAccess ? kMemReserve : kMemCommit};
        } else if (start <= highest) {
            region->size = start - base;
        }
        break;
    }
    std::fclose(maps);
    return true;
}

}  // namespace sys
}  // namespace qx
