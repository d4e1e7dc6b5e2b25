// qxOS::SysInfo: the machine and the process: memory, processors, page size,
// host and user names, with environment overrides for the processor counts.
#ifndef QXBASE_OS_APP_QXSYSINFO_H
#define QXBASE_OS_APP_QXSYSINFO_H

#include "qxDefs.h"

#include <atomic>
#include <cstdint>

namespace qxOS {

// Nothing here fails: what the system cannot tell reads as 0 ("unknown" for
// the host name). Cached values are filled on first use without a lock
// (atomically, so threads that ask at once agree and nothing leaks); the
// shared instance is sysInfo(), but a fresh object reads everything afresh.
class QX_API SysInfo {
public:
    SysInfo();
    ~SysInfo();
    SysInfo(const SysInfo&) = delete;
    SysInfo& operator=(const SysInfo&) = delete;

    // Bytes; the member was read at construction.
    static uint64_t getPageSize();
    uint64_t pageSize() const { return m_pageSize; }

    // KiB (bytes / 1024, truncated). The total is cached, the available
    // amount read each time.
    uint64_t totalPhysicalMemory() const;
    uint64_t availPhysicalMemory() const;

    // The process's virtual address space in KiB: its size and what is not
    // yet reserved. Either pointer may be null. Read each time.
    void getSwapInfo(uint64_t* total, uint64_t* avail) const;
    uint64_t totalVirtualMemory() const;
    uint64_t availVirtualMemory() const;

    // Logical processors, lowered by QX_NUM_CPUS; the processors to count as
    // physical: numCPUs() (at least 1), lowered by QX_NUM_PHYS_CPUS. A variable counts
    // only when its number is at least 1 and below the count it would
    // replace: it can only lower a count. Cached.
    unsigned numCPUs() const;
    unsigned numPhysicalCPUs() const;

    // The computer's name, read into a 16-byte buffer: "unknown" when it
    // does not fit or the system cannot say. Cached.
    const char* hostname() const;
    // USERNAME, else USER, else null; cached once found.
    const char* username() const;

    int getProcessID() const;

private:
    uint64_t m_pageSize;
    mutable std::atomic<uint64_t> m_totalPhysicalMemory;
    mutable std::atomic<char*> m_hostname;
    mutable std::atomic<char*> m_username;
    mutable std::atomic<uint32_t> m_numCPUs;
    mutable std::atomic<uint32_t> m_numPhysicalCPUs;
};

// The process-wide instance, made on the first call.
QX_API SysInfo& sysInfo();

}  // namespace qxOS

#endif
