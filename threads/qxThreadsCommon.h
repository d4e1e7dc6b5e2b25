// Internal: what the pool and the queue share about their workers.
#ifndef QXBASE_THREADS_QXTHREADSCOMMON_H
#define QXBASE_THREADS_QXTHREADSCOMMON_H

#include "os/app/qxSysInfo.h"
#include "qxThreads.h"

#include <algorithm>
#include <thread>
#include <vector>

namespace qxUtil {
namespace detail {

// The requested thread count, or the machine's count when none is asked
// for; between 1 and kMaxThreads.
inline int engineSize(int requested, unsigned (qxOS::SysInfo::*machine)() const) {
    const long n = requested >= 1 ? requested : static_cast<long>((qxOS::sysInfo().*machine)());
    return static_cast<int>(std::clamp(n, 1L, static_cast<long>(MultiThreadPool::kMaxThreads)));
}

// Starts workers 1 .. numThreads - 1, each running loop(index). When the
// system refuses one, stop() ends those already started and the error goes
// on to the caller.
template <class Loop, class Stop>
void startWorkers(std::vector<std::thread>& workers, int numThreads, Loop loop, Stop stop) {
    try {
        workers.reserve(static_cast<size_t>(numThreads - 1));
        for (int t = 1; t < numThreads; ++t) workers.emplace_back(loop, t);
    } catch (...) {
        stop();
        throw;
    }
}

}  // namespace detail
}  // namespace qxUtil

#endif
