#include "qxBeacon.h"
#include "qxThreads.h"
#include "qxThreadsCommon.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace qxUtil {

namespace {

// The pool whose work this thread is doing: always, on a worker; during a
// run, on its caller. A run that finds its own pool here is nested.
thread_local const MultiThreadPool::Impl* tl_pool = nullptr;

class PoolScope {
public:
    explicit PoolScope(const MultiThreadPool::Impl* pool) : m_previous(tl_pool) { tl_pool = pool; }
    ~PoolScope() { tl_pool = m_previous; }
    PoolScope(const PoolScope&) = delete;
    PoolScope& operator=(const PoolScope&) = delete;

private:
    const MultiThreadPool::Impl* m_previous;
};

// One run's work for each thread.
class Job {
public:
    virtual void work(int threadIndex) = 0;

protected:
    ~Job() = default;
};

class AlgJob final : public Job {
public:
    AlgJob(ThreadedAlg& alg, int numThreads) : m_alg(alg), m_numThreads(numThreads) {}
    void work(int threadIndex) override { m_alg.execute(threadIndex, m_numThreads); }

private:
    ThreadedAlg& m_alg;
    int m_numThreads;
};

// Each thread starts with its own share of the chunks and takes runs of
// them from the front of it; a thread whose share is used up takes the back
// half of the largest share left. Shares are one word each, on a line of
// their own, so a thread touches another's only to take from it: a line
// that moves between processors costs about as much as sixty chunks that do
// nothing (70 ns against 1.2 ns on a 2-processor VM), and a counter shared
// by all, as a first version had, kept half of a second thread's time.
struct alignas(64) Share {
    std::atomic<uint64_t> range;  // [begin, end) as begin << 32 | end
};

class ChunkJob final : public Job {
public:
    // shares: one for each thread, reused from run to run.
    ChunkJob(ThreadedChunkAlg& alg, int chunks, int numThreads, Share* shares,
             const std::atomic<bool>& failed)
        : m_alg(alg), m_numThreads(numThreads), m_shares(shares), m_failed(failed) {
        for (int t = 0; t < numThreads; ++t)
            m_shares[t].range.store(pack(ThreadedAlgBase::getBeginIndex(t, numThreads, chunks),
                                         ThreadedAlgBase::getEndIndex(t, numThreads, chunks)),
                                    std::memory_order_relaxed);
    }

    void work(int threadIndex) override {
        int first, last;
        while (!m_failed.load(std::memory_order_relaxed) &&
               (takeOwn(threadIndex, &first, &last) || takeOther(threadIndex, &first, &last)))
            for (int c = first; c < last; ++c) m_alg.execute(c, threadIndex, m_numThreads);
    }

private:
    static uint64_t pack(int begin, int end) {
        return static_cast<uint64_t>(static_cast<uint32_t>(begin)) << 32 |
               static_cast<uint32_t>(end);
    }
    static int begin(uint64_t range) { return static_cast<int>(range >> 32); }
    static int end(uint64_t range) { return static_cast<int>(range & 0xffffffffu); }

    // A run from the front of the thread's own share: a quarter of it, so
    // that what a slow run holds up stays small against what is left.
    bool takeOwn(int t, int* first, int* last) {
        std::atomic<uint64_t>& share = m_shares[t].range;
        uint64_t r = share.load(std::memory_order_relaxed);
        for (;;) {
            const int b = begin(r), e = end(r);
            if (b >= e) return false;
            const int take = std::max(1, (e - b) / 4);
            if (share.compare_exchange_weak(r, pack(b + take, e), std::memory_order_relaxed)) {
                *first = b;
                *last = b + take;
                return true;
            }
        }
    }

    // Moves the back half of the largest share left into the thread's own
    // (empty) share, and takes a run from it.
    bool takeOther(int t, int* first, int* last) {
        for (;;) {
            int victim = -1, most = 0;
            uint64_t seen = 0;
            for (int v = 0; v < m_numThreads; ++v) {
                const uint64_t r = m_shares[v].range.load(std::memory_order_relaxed);
                if (v != t && end(r) - begin(r) > most) {
                    most = end(r) - begin(r);
                    victim = v;
                    seen = r;
                }
            }
            if (victim < 0) return false;
            const int b = begin(seen), e = end(seen), middle = b + (e - b) / 2;
            if (m_shares[victim].range.compare_exchange_strong(seen, pack(b, middle),
                                                               std::memory_order_relaxed)) {
                m_shares[t].range.store(pack(middle, e), std::memory_order_relaxed);
                return takeOwn(t, first, last);
            }
        }
    }

    ThreadedChunkAlg& m_alg;
    const int m_numThreads;
    Share* const m_shares;
    const std::atomic<bool>& m_failed;
};

}  // namespace

class MultiThreadPool::Impl {
public:
    explicit Impl(int numThreads) : m_numThreads(numThreads), m_shares(new Share[numThreads]) {
        detail::startWorkers(
            m_workers, numThreads, [this](int t) { workerLoop(t); }, [this] { stopWorkers(); });
    }

    ~Impl() { stopWorkers(); }

    // Runs everything on the calling thread.
    void runAlone(ThreadedAlg& alg) {
        alg.initialize(m_numThreads);
        for (int t = 0; t < m_numThreads; ++t) alg.execute(t, m_numThreads);
        alg.finalize();
    }
    void runAlone(ThreadedChunkAlg& alg) {
        alg.initialize(m_numThreads);
        const int chunks = alg.getNumChunks();
        for (int c = 0; c < chunks; ++c) alg.execute(c, 0, m_numThreads);
        alg.finalize();
    }

    void run(ThreadedAlg& alg) {
        if (tl_pool == this) return runAlone(alg);
        const std::lock_guard<std::mutex> turn(m_turn);
        const PoolScope scope(this);
        alg.initialize(m_numThreads);
        AlgJob job(alg, m_numThreads);
        dispatch(job);
        alg.finalize();
    }

    void run(ThreadedChunkAlg& alg) {
        if (tl_pool == this) return runAlone(alg);
        const std::lock_guard<std::mutex> turn(m_turn);
        const PoolScope scope(this);
        alg.initialize(m_numThreads);
        const int chunks = alg.getNumChunks();
        if (chunks > 1) {
            ChunkJob job(alg, chunks, m_numThreads, m_shares.get(), m_failed);
            dispatch(job);
        } else if (chunks == 1) {
            alg.execute(0, 0, m_numThreads);  // not worth waking anyone
        }
        alg.finalize();
    }

private:
    // Hands job to every worker, does thread 0's part, waits for the rest,
    // and rethrows the first exception any of them threw.
    void dispatch(Job& job) {
        m_job = &job;
        m_pending.store(m_numThreads - 1, std::memory_order_relaxed);
        m_start.advance();
        work(job, 0);
        // The last worker's advance may belong to the previous run, so the
        // count decides, looked at after each change (both in one order
        // with the workers' decrement and advance).
        uint64_t seen = m_finished.value();
        while (m_pending.load(std::memory_order_seq_cst) != 0) seen = m_finished.waitChange(seen);
        if (m_failed.load(std::memory_order_relaxed)) {
            std::exception_ptr error;
            std::swap(error, m_error);
            m_failed.store(false, std::memory_order_relaxed);
            std::rethrow_exception(error);
        }
    }

    void work(Job& job, int threadIndex) {
        try {
            job.work(threadIndex);
        } catch (...) {
            const std::lock_guard<std::mutex> lock(m_errorLock);
            if (!m_failed.load(std::memory_order_relaxed)) m_error = std::current_exception();
            m_failed.store(true, std::memory_order_relaxed);
        }
    }

    void workerLoop(int threadIndex) {
        tl_pool = this;
        uint64_t seen = 0;
        for (;;) {
            seen = m_start.waitChange(seen);
            if (m_stopping.load(std::memory_order_acquire)) return;
            work(*m_job, threadIndex);
            if (m_pending.fetch_sub(1, std::memory_order_seq_cst) == 1) m_finished.advance();
        }
    }

    void stopWorkers() {
        m_stopping.store(true, std::memory_order_release);
        m_start.advance();
        for (std::thread& t : m_workers) t.join();
        m_workers.clear();
    }

    const int m_numThreads;
    const std::unique_ptr<Share[]> m_shares;  // the chunk job's, kept between runs
    std::vector<std::thread> m_workers;
    std::mutex m_turn;  // one run at a time
    detail::Beacon m_start;
    detail::Beacon m_finished;
    Job* m_job = nullptr;  // published by m_start
    std::atomic<int> m_pending{0};
    std::atomic<bool> m_stopping{false};
    std::atomic<bool> m_failed{false};
    std::mutex m_errorLock;
    std::exception_ptr m_error;
};

MultiThreadPool::MultiThreadPool(int numThreads)
    : ThreadPool(detail::engineSize(numThreads, &qxOS::SysInfo::numPhysicalCPUs)),
      m_impl(new Impl(ThreadPool::numThreads())) {}

MultiThreadPool::~MultiThreadPool() {
    // Out of the slot before the workers go.
    if (&ThreadPool::get() == this) ThreadPool::install(nullptr);
    delete m_impl;
}

void MultiThreadPool::run(ThreadedChunkAlg& alg) {
    m_impl->run(alg);
}

void MultiThreadPool::run(ThreadedAlg& alg) {
    m_impl->run(alg);
}

}  // namespace qxUtil
