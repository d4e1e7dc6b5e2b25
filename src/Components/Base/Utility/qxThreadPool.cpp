#include "Components/Base/Utility/qxThreadPool.h"

#include "Components/Base/Utility/qxProgress.h"

namespace qxUtil {

// --- ThreadedAlgBase -----------------------------------------------------------

ThreadedAlgBase::ThreadedAlgBase() : m_progress(nullptr), m_cancelled(false) {}

ThreadedAlgBase::ThreadedAlgBase(const ThreadedAlgBase& other)
    : m_progress(other.m_progress),
      m_cancelled(other.m_cancelled.load(std::memory_order_relaxed)) {}

ThreadedAlgBase& ThreadedAlgBase::operator=(const ThreadedAlgBase& other) {
    m_progress = other.m_progress;
    m_cancelled.store(other.m_cancelled.load(std::memory_order_relaxed), std::memory_order_relaxed);
    return *this;
}

ThreadedAlgBase::~ThreadedAlgBase() = default;

void ThreadedAlgBase::updateProgress(int threadIndex, double fraction) {
    if (threadIndex == 0 && m_progress) m_progress->set(fraction);
}

bool ThreadedAlgBase::cancelled(int threadIndex) {
    if (threadIndex == 0 && m_progress && m_progress->cancelled())
        m_cancelled.store(true, std::memory_order_relaxed);
    return m_cancelled.load(std::memory_order_relaxed);
}

// --- the algorithms' defaults ----------------------------------------------------

ThreadedAlg::~ThreadedAlg() = default;
void ThreadedAlg::initialize(int) {}
void ThreadedAlg::finalize() {}

ThreadedChunkAlg::ThreadedChunkAlg() : m_numChunks(100) {}
ThreadedChunkAlg::~ThreadedChunkAlg() = default;
void ThreadedChunkAlg::initialize(int) {}
void ThreadedChunkAlg::finalize() {}

// --- ThreadPool ----------------------------------------------------------------------

std::atomic<ThreadPool*> ThreadPool::s_threadPool{nullptr};

ThreadPool::ThreadPool(int numThreads) : m_numThreads(numThreads < 1 ? 1 : numThreads) {}

ThreadPool::~ThreadPool() {
    ThreadPool* self = this;
    s_threadPool.compare_exchange_strong(self, nullptr);
}

ThreadPool& ThreadPool::get() {
    ThreadPool* installed = s_threadPool.load(std::memory_order_acquire);
    return installed ? *installed : getSingleThreadedPool();
}

ThreadPool& ThreadPool::getSingleThreadedPool() {
    // Made when the library loads (see qxStartup.cpp), or earlier by a
    // static constructor that asks first.
    static SimpleThreadPool s_singleThreaded;
    return s_singleThreaded;
}

void ThreadPool::install(ThreadPool* pool) {
    // The built-in pool installed by name is the same as none.
    if (pool == &getSingleThreadedPool()) pool = nullptr;
    s_threadPool.store(pool, std::memory_order_release);
}

// --- the built-in pool -----------------------------------------------------------------

SimpleThreadPool::SimpleThreadPool() : ThreadPool(1) {}
SimpleThreadPool::~SimpleThreadPool() = default;

void SimpleThreadPool::run(ThreadedChunkAlg& alg) {
    alg.initialize(1);
    const int chunks = alg.getNumChunks();
    for (int c = 0; c < chunks; ++c) alg.execute(c, 0, 1);
    alg.finalize();
}

void SimpleThreadPool::run(ThreadedAlg& alg) {
    alg.initialize(1);
    alg.execute(0, 1);
    alg.finalize();
}

}  // namespace qxUtil
