// Platform layer: the machine and the process: memory, processors, the
// computer's name and new UUIDs (the process identifier is in qxSysFile.h).
#ifndef QXBASE_OS_SYS_QXSYSINFO_H
#define QXBASE_OS_SYS_QXSYSINFO_H

#include <cstddef>
#include <cstdint>

namespace qx {
namespace sys {

// The page size in bytes: GetSystemInfo's, sysconf(_SC_PAGESIZE); 0 when
// the system cannot say.
uint64_t pageSize();

// Physical memory in bytes, in total and available now (either pointer may
// be null): GlobalMemoryStatusEx. POSIX: sysinfo's total and
// /proc/meminfo's MemAvailable (sysinfo's free and buffer memory on
// kernels without it). False, with zeros, when the system cannot say.
bool physicalMemory(uint64_t* total, uint64_t* avail);

// The process's user-mode virtual address space in bytes, its whole size
// and what is not yet reserved: GlobalMemoryStatusEx's ullTotalVirtual and
// ullAvailVirtual. POSIX: the 47-bit user space less its top page (or
// RLIMIT_AS when that is lower), and that less the mapped size (VmSize).
bool virtualMemory(uint64_t* total, uint64_t* avail);

// Logical processors: GetSystemInfo's count. POSIX: the CPUs this process
// may run on (sched_getaffinity), as nproc counts them; the system's online
// count only when the set cannot be read.
unsigned processorCount();

// GetComputerNameA into buf of cap bytes: false when the name and its NUL
// do not fit or the system cannot say. POSIX: uname's node name, by the same
// rule (as gethostname fails on a short buffer); Windows answers the
// upper-case NetBIOS name, POSIX the host name as it is.
bool computerName(char* buf, size_t cap);

// A new version 4 (random) UUID, as the four 32-bit words that hold the
// 16 bytes of Windows' UUID structure in memory: UuidCreate. POSIX: 16 bytes
// of the secure random source with the version (4) and variant (10) bits
// set where UuidCreate puts them. False when the source failed.
bool createUuid(uint32_t words[4]);

}  // namespace sys
}  // namespace qx

#endif
