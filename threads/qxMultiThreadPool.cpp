#include "qxBeacon.h"
#include "qxThreads.h"
#include "qxThreadsCommon.h"

#include <algorithm>
#include <atomic>
#include <exception>
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

class ChunkJob final : public Job {
public:
    ChunkJob(ThreadedChunkAlg& alg, int chunks, int numThreads, const std::atomic<bool>& failed)
        : m_alg(alg), m_chunks(chunks), m_numThreads(numThreads), m_failed(failed) {}

    void work(int threadIndex) override {
        int first = m_next.load(std::memory_order_relaxed);
        while (first < m_chunks && !m_failed.load(std::memory_order_relaxed)) {
            // Guided: big runs while there is plenty left, single chunks at
            // the end, so that threads finish close together; few enough
            // grabs that the shared counter is not the cost.
            const int take = std::max(1, (m_chunks - first) / (4 * m_numThreads));
            if (!m_next.compare_exchange_weak(first, first + take, std::memory_order_relaxed))
                continue;
            for (int c = first; c < first + take; ++c) m_alg.execute(c, threadIndex, m_numThreads);
            first = m_next.load(std::memory_order_relaxed);
        }
    }

private:
    ThreadedChunkAlg& m_alg;
    const int m_chunks;
    const int m_numThreads;
    const std::atomic<bool>& m_failed;
    // On a line of its own: the threads take turns writing it, and should
    // not take the fields above with it each time.
    alignas(64) std::atomic<int> m_next{0};
};

}  // namespace

class MultiThreadPool::Impl {
public:
    explicit Impl(int numThreads) : m_numThreads(numThreads) {
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
            ChunkJob job(alg, chunks, m_numThreads, m_failed);
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
