#include "qxThreads.h"

#include <memory>

namespace qxUtil {

ThreadEngines::ThreadEngines(int numThreads) : m_pool(nullptr), m_queue(nullptr) {
    std::unique_ptr<MultiThreadPool> pool(new MultiThreadPool(numThreads));
    m_queue = new MultiThreadedTaskQueue(numThreads);
    m_pool = pool.release();
    ThreadPool::install(m_pool);
    ThreadedTaskQueue::install(m_queue);
}

ThreadEngines::~ThreadEngines() {
    uninstall();
}

void ThreadEngines::uninstall() {
    // Each engine leaves its slot as it goes, if it still holds it.
    delete m_queue;
    delete m_pool;
    m_queue = nullptr;
    m_pool = nullptr;
}

}  // namespace qxUtil
