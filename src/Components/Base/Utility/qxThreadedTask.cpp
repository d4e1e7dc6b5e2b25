#include "Components/Base/Utility/qxThreadedTask.h"

#include "Components/Base/Utility/qxProgress.h"
#include "Components/Base/Utility/qxThreadPool.h"

#include <memory>

namespace qxUtil {

// --- ThreadedTask ------------------------------------------------------------------

ThreadedTask::ThreadedTask() : m_noExecute(false), m_noCancel(false) {}
ThreadedTask::~ThreadedTask() = default;

ThreadedTask* ThreadedTask::preExecute(int) {
    return nullptr;
}
void ThreadedTask::execute(int) {}
ThreadedTask* ThreadedTask::postExecute(int) {
    return nullptr;
}

int ThreadedTask::getNumThreads() {
    return ThreadPool::get().numThreads();
}

// --- ThreadedTaskQueue -----------------------------------------------------------------

std::atomic<ThreadedTaskQueue*> ThreadedTaskQueue::s_taskQueue{nullptr};

ThreadedTaskQueue::~ThreadedTaskQueue() {
    ThreadedTaskQueue* self = this;
    s_taskQueue.compare_exchange_strong(self, nullptr);
}

ThreadedTaskQueue& ThreadedTaskQueue::get() {
    ThreadedTaskQueue* installed = s_taskQueue.load(std::memory_order_acquire);
    return installed ? *installed : getSingleThreaded();
}

ThreadedTaskQueue& ThreadedTaskQueue::getSingleThreaded() {
    // Made when the library loads (see qxStartup.cpp).
    static SimpleQueue s_singleThreaded;
    return s_singleThreaded;
}

void ThreadedTaskQueue::install(ThreadedTaskQueue* queue) {
    if (queue == &getSingleThreaded()) queue = nullptr;
    s_taskQueue.store(queue, std::memory_order_release);
}

// --- the built-in queue ------------------------------------------------------------------

SimpleQueue::SimpleQueue()
    : m_stopRequested(false), m_idle(true), m_cancelEnabled(true), m_progress(nullptr) {}

SimpleQueue::~SimpleQueue() = default;

bool SimpleQueue::run(ThreadedTask* task) {
    m_idle = false;
    return task && process(task);
}

void SimpleQueue::reset() {
    m_stopRequested = false;
    m_cancelEnabled = true;
    m_progress = nullptr;
}

bool SimpleQueue::cancelled() {
    return m_progress && m_cancelEnabled && m_progress->cancelled();
}

bool SimpleQueue::process(ThreadedTask* task) {
    // Deleted on the way out, also when a task throws.
    const std::unique_ptr<ThreadedTask> owned(task);
    if (cancelled()) return false;
    if (!task->isCancellable()) m_cancelEnabled = false;
    for (int i = 0;; ++i) {
        ThreadedTask* pre = task->preExecute(i);
        if (!pre || !process(pre)) break;
    }
    if (!task->getNoExecute() && !cancelled()) task->execute(0);
    for (int i = 0;; ++i) {
        ThreadedTask* post = task->postExecute(i);
        if (!post || !process(post)) break;
    }
    return true;
}

}  // namespace qxUtil
