#include "os/app/qxSysInfo.h"

#include "os/app/qxAppEnvironment.h"
#include "os/sys/qxSysApp.h"
#include "os/sys/qxSysFile.h"
#include "os/sys/qxSysInfo.h"
#include "string/qxString.h"

#include <cstdlib>
#include <cstring>

namespace qxOS {

namespace {

char* copyText(const char* text) {
    const size_t n = std::strlen(text) + 1;
    char* copy = static_cast<char*>(std::malloc(n));
    if (copy) std::memcpy(copy, text, n);
    return copy;
}

// Publishes a heap text once: the first writer wins, a later one frees its
// copy and takes the winner's.
const char* publish(std::atomic<char*>& slot, char* text) {
    char* expected = nullptr;
    if (slot.compare_exchange_strong(expected, text)) return text;
    std::free(text);
    return expected;
}

// The count, or the variable's number when that is at least 1 and lower.
unsigned overridden(const char* variable, unsigned count) {
    int value = 0;
    if (GetEnv(qxString::IString(variable), value, 0) && value >= 1 &&
        static_cast<unsigned>(value) < count)
        return static_cast<unsigned>(value);
    return count;
}

}  // namespace

SysInfo::SysInfo()
    : m_pageSize(getPageSize()),
      m_totalPhysicalMemory(0),
      m_hostname(nullptr),
      m_username(nullptr),
      m_numCPUs(0),
      m_numPhysicalCPUs(0) {}

SysInfo::~SysInfo() {
    std::free(m_hostname.load());
    std::free(m_username.load());
}

uint64_t SysInfo::getPageSize() {
    return qx::sys::pageSize();
}

uint64_t SysInfo::totalPhysicalMemory() const {
    uint64_t kb = m_totalPhysicalMemory.load(std::memory_order_relaxed);
    if (kb == 0) {
        uint64_t bytes = 0;
        qx::sys::physicalMemory(&bytes, nullptr);
        kb = bytes / 1024;
        m_totalPhysicalMemory.store(kb, std::memory_order_relaxed);
    }
    return kb;
}

uint64_t SysInfo::availPhysicalMemory() const {
    uint64_t bytes = 0;
    qx::sys::physicalMemory(nullptr, &bytes);
    return bytes / 1024;
}

void SysInfo::getSwapInfo(uint64_t* total, uint64_t* avail) const {
    uint64_t totalBytes = 0, availBytes = 0;
    qx::sys::virtualMemory(total ? &totalBytes : nullptr, avail ? &availBytes : nullptr);
    if (total) *total = totalBytes / 1024;
    if (avail) *avail = availBytes / 1024;
}

uint64_t SysInfo::totalVirtualMemory() const {
    uint64_t total = 0;
    getSwapInfo(&total, nullptr);
    return total;
}

uint64_t SysInfo::availVirtualMemory() const {
    uint64_t avail = 0;
    getSwapInfo(nullptr, &avail);
    return avail;
}

unsigned SysInfo::numCPUs() const {
    uint32_t n = m_numCPUs.load(std::memory_order_relaxed);
    if (n == 0) {
        n = overridden("QX_NUM_CPUS", qx::sys::processorCount());
        m_numCPUs.store(n, std::memory_order_relaxed);
    }
    return n;
}

unsigned SysInfo::numPhysicalCPUs() const {
    uint32_t n = m_numPhysicalCPUs.load(std::memory_order_relaxed);
    if (n == 0) {
        // The logical count (at least 1) unless the variable lowers it: the
        // system's core topology is not consulted, so with the variable
        // unset both counts agree.
        const unsigned logical = numCPUs();
        n = overridden("QX_NUM_PHYS_CPUS", logical ? logical : 1);
        m_numPhysicalCPUs.store(n, std::memory_order_relaxed);
    }
    return n;
}

const char* SysInfo::hostname() const {
    if (const char* name = m_hostname.load(std::memory_order_acquire)) return name;
    char buf[16];
    const char* name = qx::sys::computerName(buf, sizeof buf) ? buf : "unknown";
    char* copy = copyText(name);
    return copy ? publish(m_hostname, copy) : "unknown";
}

const char* SysInfo::username() const {
    if (const char* name = m_username.load(std::memory_order_acquire)) return name;
    const char* value = qx::sys::getEnv8("USERNAME");
    if (!value) value = qx::sys::getEnv8("USER");
    if (!value) return nullptr;
    char* copy = copyText(value);
    return copy ? publish(m_username, copy) : nullptr;
}

int SysInfo::getProcessID() const {
    return static_cast<int>(qx::sys::processId());
}

SysInfo& sysInfo() {
    static SysInfo instance;
    return instance;
}

}  // namespace qxOS
