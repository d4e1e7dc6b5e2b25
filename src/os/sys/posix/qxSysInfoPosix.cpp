// POSIX backend of the machine and process information: sysconf, sysinfo,
// /proc and /sys, uname, and UUIDs from the kernel's random pool.
#include "os/sys/qxSysInfo.h"
#include "os/sys/qxSysRandom.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qx {
namespace sys {

namespace {

// A small text file such as those of /proc and /sys, NUL-terminated in buf;
// false when it cannot be read.
bool readSmallFile(const char* path, char* buf, size_t cap) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    size_t used = 0;
    while (used + 1 < cap) {
        const ssize_t n = ::read(fd, buf + used, cap - 1 - used);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        used += static_cast<size_t>(n);
    }
    ::close(fd);
    buf[used] = '\0';
    return used > 0;
}

// The value in kB after "<key>:" in a /proc file of such lines.
bool procKilobytes(const char* path, const char* key, uint64_t* kb) {
    char text[8192];
    if (!readSmallFile(path, text, sizeof text)) return false;
    const size_t keyLen = std::strlen(key);
    for (const char* line = text; *line;) {
        if (std::strncmp(line, key, keyLen) == 0 && line[keyLen] == ':') {
            *kb = std::strtoull(line + keyLen + 1, nullptr, 10);
            return true;
        }
        const char* next = std::strchr(line, '\n');
        if (!next) break;
        line = next + 1;
    }
    return false;
}

// The CPU set of this process, grown until the kernel's mask fits; null
// when it cannot be read. Free with CPU_FREE.
cpu_set_t* affinity(size_t* size, int* cpus) {
    for (int n = 1024; n <= (1 << 20); n *= 2) {
        cpu_set_t* set = CPU_ALLOC(n);
        if (!set) return nullptr;
        const size_t bytes = CPU_ALLOC_SIZE(n);
        CPU_ZERO_S(bytes, set);
        if (::sched_getaffinity(0, bytes, set) == 0) {
            *size = bytes;
            *cpus = n;
            return set;
        }
        CPU_FREE(set);
        if (errno != EINVAL) return nullptr;
    }
    return nullptr;
}

}  // namespace

uint64_t pageSize() {
    const long size = ::sysconf(_SC_PAGESIZE);
    return size > 0 ? static_cast<uint64_t>(size) : 0;
}

bool physicalMemory(uint64_t* total, uint64_t* avail) {
    struct sysinfo info;
    if (::sysinfo(&info) != 0) {
        if (total) *total = 0;
        if (avail) *avail = 0;
        return false;
    }
    const uint64_t unit = info.mem_unit ? info.mem_unit : 1;
    if (total) *total = static_cast<uint64_t>(info.totalram) * unit;
    if (avail) {
        // MemAvailable counts the caches the kernel would give back, as
        // Windows' available figure does; free memory alone would not.
        uint64_t kb = 0;
        *avail = procKilobytes("/proc/meminfo", "MemAvailable", &kb)
                     ? kb * 1024
                     : (static_cast<uint64_t>(info.freeram) + info.bufferram) * unit;
    }
    return true;
}

bool virtualMemory(uint64_t* total, uint64_t* avail) {
    uint64_t size = (uint64_t{1} << 47) - pageSize();
    struct rlimit limit;
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        limit.rlim_cur < size)
        size = limit.rlim_cur;
    uint64_t mappedKb = 0;
    const bool known = procKilobytes("/proc/self/status", "VmSize", &mappedKb);
    const uint64_t mapped = mappedKb * 1024;
    if (total) *total = known ? size : 0;
    if (avail) *avail = known && mapped < size ? size - mapped : 0;
    return known;
}

unsigned processorCount() {
    size_t bytes = 0;
    int cpus = 0;
    if (cpu_set_t* set = affinity(&bytes, &cpus)) {
        const int n = CPU_COUNT_S(bytes, set);
        CPU_FREE(set);
        if (n > 0) return static_cast<unsigned>(n);
    }
    const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<unsigned>(online) : 0;
}

bool computerName(char* buf, size_t cap) {
    struct utsname names;
    if (!buf || cap == 0 || ::uname(&names) != 0) return false;
    const size_t len = std::strlen(names.nodename);
    if (len == 0 || len + 1 > cap) return false;
    std::memcpy(buf, names.nodename, len + 1);
    return true;
}

bool createUuid(uint32_t words[4]) {
    if (!secureRandom(words, 16)) return false;
    // Version 4 in the top bits of the time_hi_and_version field (the high
    // half of word 1), variant 10 in the top bits of clock_seq_hi (the low
    // byte of word 2), where UuidCreate has them.
    words[1] = (words[1] & 0x0FFFFFFFu) | 0x40000000u;
    words[2] = (words[2] & ~0xC0u) | 0x80u;
    return true;
}

}  // namespace sys
}  // namespace qx
