// Win32 backend of the machine and process information.
#include "os/sys/qxSysInfo.h"

#include <windows.h>

#include <rpc.h>

#include <cstring>
#include <vector>

namespace qx {
namespace sys {

namespace {

bool memoryStatus(MEMORYSTATUSEX* status) {
    status->dwLength = sizeof *status;
    return GlobalMemoryStatusEx(status) != 0;
}

}  // namespace

uint64_t pageSize() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}

bool physicalMemory(uint64_t* total, uint64_t* avail) {
    MEMORYSTATUSEX status;
    const bool ok = memoryStatus(&status);
    if (total) *total = ok ? status.ullTotalPhys : 0;
    if (avail) *avail = ok ? status.ullAvailPhys : 0;
    return ok;
}

bool virtualMemory(uint64_t* total, uint64_t* avail) {
    MEMORYSTATUSEX status;
    const bool ok = memoryStatus(&status);
    if (total) *total = ok ? status.ullTotalVirtual : 0;
    if (avail) *avail = ok ? status.ullAvailVirtual : 0;
    return ok;
}

unsigned processorCount() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
}

bool computerName(char* buf, size_t cap) {
    if (!buf || cap == 0) return false;
    DWORD size = static_cast<DWORD>(cap);
    return GetComputerNameA(buf, &size) != 0;
}

bool createUuid(uint32_t words[4]) {
    UUID uuid;
    const RPC_STATUS status = UuidCreate(&uuid);
    // LOCAL_ONLY is what older systems answer for a UUID that is unique
    // on this machine only; a random one is that and more.
    if (status != RPC_S_OK && status != RPC_S_UUID_LOCAL_ONLY) return false;
    static_assert(sizeof uuid == 16, "UUID is 16 bytes");
    std::memcpy(words, &uuid, sizeof uuid);
    return true;
}

}  // namespace sys
}  // namespace qx
