// Internal: a counter that threads wait on to change, spinning for a moment
// before they sleep, so that work handed out in quick succession is picked
// up without a trip through the scheduler, and idle threads cost nothing.
#ifndef QXBASE_THREADS_QXBEACON_H
#define QXBASE_THREADS_QXBEACON_H

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace qxUtil {
namespace detail {

class Beacon {
public:
    uint64_t value() const { return m_value.load(std::memory_order_seq_cst); }

    // Moves the value on (what was written before is visible to whoever sees
    // the new value) and wakes the sleepers.
    void advance() {
        m_value.fetch_add(1, std::memory_order_seq_cst);
        // Paired with the sleeper's increment then load, both sequentially
        // consistent: either the sleeper sees the new value or this sees the
        // sleeper, whose wait then holds the lock until it sleeps.
        if (m_sleepers.load(std::memory_order_seq_cst) > 0) {
            std::lock_guard<std::mutex> lock(m_lock);
            m_wake.notify_all();
        }
    }

    // Returns the value once it differs from seen.
    uint64_t waitChange(uint64_t seen) {
        for (int i = 0; i < kSpins; ++i) {
            const uint64_t v = m_value.load(std::memory_order_acquire);
            if (v != seen) return v;
            // A few plain looks, then give the processor to anyone who
            // wants it: there may be more threads than processors.
            if (i >= kLooks) std::this_thread::yield();
        }
        std::unique_lock<std::mutex> lock(m_lock);
        m_sleepers.fetch_add(1, std::memory_order_seq_cst);
        uint64_t v;
        while ((v = m_value.load(std::memory_order_seq_cst)) == seen) m_wake.wait(lock);
        m_sleepers.fetch_sub(1, std::memory_order_relaxed);
        return v;
    }

private:
    static constexpr int kLooks = 64;
    static constexpr int kSpins = kLooks + 256;

    std::atomic<uint64_t> m_value{0};
    std::atomic<int> m_sleepers{0};
    std::mutex m_lock;
    std::condition_variable m_wake;
};

}  // namespace detail
}  // namespace qxUtil

#endif
