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

unsigned processorCoreCount() {
    DWORD_PTR processMask = 0, systemMask = 0;
    if (!GetProcessAffinityMask(GetCurrentProcess(), &processMask, &systemMask)) return 0;
    DWORD bytes = 0;
    GetLogicalProcessorInformation(nullptr, &bytes);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0) return 0;
    std::vector<SYSTEM_LOGICAL_PROCESSOR_INFORMATION> info(
        bytes / sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION) + 1);
    if (!GetLogicalProcessorInformation(info.data(), &bytes)) return 0;
    unsigned cores = 0;
    for (size_t i = 0; i < bytes / sizeof(SYSTEM_LOGICAL_PROCESSOR_INFORMATION); ++i)
        if (info[i].Relationship == RelationProcessorCore &&
            (info[i].ProcessorMask & processMask) != 0)
            ++cores;
    return cores;
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
