#include "qxThreads.h"
#include "qxThreadsCommon.h"

#include "Components/Base/Utility/qxProgress.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace qxUtil {

namespace {

// Which queue's work this thread is doing, and as which thread index:
// always, on a worker; during a run, on its caller (index 0).
struct QueueThread {
    const MultiThreadedTaskQueue::Impl* queue;
    int index;
};
thread_local QueueThread tl_queue = {nullptr, 0};

class QueueScope {
public:
    explicit QueueScope(const MultiThreadedTaskQueue::Impl* queue) : m_previous(tl_queue) {
        tl_queue = {queue, 0};
    }
    ~QueueScope() { tl_queue = m_previous; }
    QueueScope(const QueueScope&) = delete;
    QueueScope& operator=(const QueueScope&) = delete;

private:
    QueueThread m_previous;
};

// A task in a running tree. pending counts the children of the phase it is
// in: its pre tasks, then its post tasks.
struct Node {
    Node(ThreadedTask* t, Node* p) : task(t), parent(p) {}
    ThreadedTask* task;
    Node* const parent;
    std::atomic<int> pending{0};
    bool inPosts = false;
};

// How often the caller asks the progress object while it waits.
constexpr std::chrono::milliseconds kPollInterval(10);

}  // namespace

class MultiThreadedTaskQueue::Impl {
public:
    explicit Impl(int numThreads) : m_numThreads(numThreads) {
        detail::startWorkers(
            m_workers, numThreads, [this](int t) { workerLoop(t); }, [this] { stopWorkers(); });
    }

    ~Impl() { stopWorkers(); }

    int numThreads() const { return m_numThreads; }

    bool run(ThreadedTask* task) {
        if (!task) return false;
        if (tl_queue.queue == this) return runHere(task, tl_queue.index);
        const std::lock_guard<std::mutex> turn(m_turn);
        const QueueScope scope(this);
        m_idle.store(false, std::memory_order_relaxed);
        std::unique_lock<std::mutex> lock(m_lock);
        m_running = true;
        m_rootDone = false;
        m_ready.push_back(new Node(task, nullptr));
        while (!m_rootDone) {
            if (!m_ready.empty()) {
                Node* n = m_ready.front();
                m_ready.pop_front();
                lock.unlock();
                process(n, 0);
                lock.lock();
            } else if (wantsPolling()) {
                lock.unlock();
                isCancelled(0);
                lock.lock();
                if (m_ready.empty() && !m_rootDone) m_wake.wait_for(lock, kPollInterval);
            } else {
                m_wake.wait(lock);
            }
        }
        m_running = false;
        const bool processed = m_rootProcessed;
        std::exception_ptr error;
        std::swap(error, m_error);
        m_failed.store(false, std::memory_order_relaxed);
        lock.unlock();
        if (error) std::rethrow_exception(error);
        return processed;
    }

    // Cancelled for the thread with this index (-1: a thread that must not
    // touch the progress object).
    bool isCancelled(int threadIndex) {
        if (m_failed.load(std::memory_order_relaxed)) return true;
        if (!m_cancelEnabled.load(std::memory_order_relaxed)) return false;
        if (threadIndex == 0 && !m_cancelled.load(std::memory_order_relaxed)) {
            Progress* progress = m_progress.load(std::memory_order_relaxed);
            if (progress && progress->cancelled())
                m_cancelled.store(true, std::memory_order_relaxed);
        }
        return m_cancelled.load(std::memory_order_relaxed) ||
               m_stopRequested.load(std::memory_order_relaxed);
    }

    // The index of the calling thread for isCancelled.
    int callerIndex() {
        if (tl_queue.queue == this) return tl_queue.index;
        const std::lock_guard<std::mutex> lock(m_lock);
        return m_running ? -1 : 0;
    }

    void reset() {
        m_stopRequested.store(false, std::memory_order_relaxed);
        m_cancelEnabled.store(true, std::memory_order_relaxed);
        m_cancelled.store(false, std::memory_order_relaxed);
        m_progress.store(nullptr, std::memory_order_relaxed);
    }

    void setProgress(Progress* p) {
        m_progress.store(p, std::memory_order_relaxed);
        m_cancelled.store(false, std::memory_order_relaxed);
    }

    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_idle{true};

private:
    // --- a tree on many threads ---

    void process(Node* n, int t) {
        if (isCancelled(t)) {
            delete n->task;
            complete(n, false, t);
            return;
        }
        if (!n->task->isCancellable()) m_cancelEnabled.store(false, std::memory_order_relaxed);
        if (handOut(n, false, t) || executeAndHandOutPosts(n, t)) return;
        delete n->task;
        complete(n, true, t);
    }

    // Runs n's own work, then hands out its post tasks; false when it has
    // none (n is then finished).
    bool executeAndHandOutPosts(Node* n, int t) {
        if (!n->task->getNoExecute() && !isCancelled(t)) guarded([&] { n->task->execute(t); });
        return handOut(n, true, t);
    }

    // Asks n for its pre (or post) tasks and queues them; false when there
    // are none.
    bool handOut(Node* n, bool posts, int t) {
        std::vector<ThreadedTask*> tasks;
        if (!isCancelled(t)) {
            guarded([&] {
                for (int i = 0;; ++i) {
                    ThreadedTask* next = posts ? n->task->postExecute(i) : n->task->preExecute(i);
                    if (!next) break;
                    tasks.push_back(next);
                }
            });
        }
        if (tasks.empty()) return false;
        n->inPosts = posts;
        n->pending.store(static_cast<int>(tasks.size()), std::memory_order_relaxed);
        {
            const std::lock_guard<std::mutex> lock(m_lock);
            for (ThreadedTask* task : tasks) m_ready.push_back(new Node(task, n));
        }
        if (tasks.size() == 1)
            m_wake.notify_one();
        else
            m_wake.notify_all();
        return true;
    }

    // n is finished (its task deleted): tells its parent, and goes on with
    // each ancestor whose phase this ends.
    void complete(Node* n, bool processed, int t) {
        for (;;) {
            Node* parent = n->parent;
            delete n;
            if (!parent) {
                {
                    const std::lock_guard<std::mutex> lock(m_lock);
                    m_rootProcessed = processed;
                    m_rootDone = true;
                }
                m_wake.notify_all();
                return;
            }
            // The children's work happens before the parent's next step.
            if (parent->pending.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
            if (!parent->inPosts && executeAndHandOutPosts(parent, t)) return;
            delete parent->task;
            n = parent;
            processed = true;
        }
    }

    // Runs f; an exception cancels the rest of the tree and is kept for the
    // caller of run.
    template <class F>
    void guarded(F f) {
        try {
            f();
        } catch (...) {
            const std::lock_guard<std::mutex> lock(m_lock);
            if (!m_failed.load(std::memory_order_relaxed)) m_error = std::current_exception();
            m_failed.store(true, std::memory_order_relaxed);
        }
    }

    // The caller waits with a time-out only when there is something to ask.
    bool wantsPolling() const {
        return m_progress.load(std::memory_order_relaxed) &&
               m_cancelEnabled.load(std::memory_order_relaxed) &&
               !m_cancelled.load(std::memory_order_relaxed);
    }

    void workerLoop(int t) {
        tl_queue = {this, t};
        std::unique_lock<std::mutex> lock(m_lock);
        for (;;) {
            m_wake.wait(lock, [this] { return m_stopping || !m_ready.empty(); });
            if (m_stopping) return;
            Node* n = m_ready.front();
            m_ready.pop_front();
            lock.unlock();
            process(n, t);
            lock.lock();
        }
    }

    void stopWorkers() {
        {
            const std::lock_guard<std::mutex> lock(m_lock);
            m_stopping = true;
        }
        m_wake.notify_all();
        for (std::thread& t : m_workers) t.join();
        m_workers.clear();
    }

    // --- a tree run from inside a task: depth first, on this thread ---

    bool runHere(ThreadedTask* task, int t) {
        const std::unique_ptr<ThreadedTask> owned(task);
        if (isCancelled(t)) return false;
        if (!task->isCancellable()) m_cancelEnabled.store(false, std::memory_order_relaxed);
        for (int i = 0;; ++i) {
            ThreadedTask* pre = task->preExecute(i);
            if (!pre || !runHere(pre, t)) break;
        }
        if (!task->getNoExecute() && !isCancelled(t)) task->execute(t);
        for (int i = 0;; ++i) {
            ThreadedTask* post = task->postExecute(i);
            if (!post || !runHere(post, t)) break;
        }
        return true;
    }

    const int m_numThreads;
    std::vector<std::thread> m_workers;
    std::mutex m_turn;  // one run at a time

    std::mutex m_lock;  // guards what follows, up to the atomics
    std::condition_variable m_wake;
    std::deque<Node*> m_ready;
    bool m_stopping = false;
    bool m_running = false;
    bool m_rootDone = false;
    bool m_rootProcessed = false;
    std::exception_ptr m_error;

    std::atomic<bool> m_failed{false};
    std::atomic<bool> m_cancelEnabled{true};
    std::atomic<bool> m_cancelled{false};
    std::atomic<Progress*> m_progress{nullptr};
};

MultiThreadedTaskQueue::MultiThreadedTaskQueue(int numThreads)
    : m_impl(new Impl(detail::engineSize(numThreads, &qxOS::SysInfo::numCPUs))) {}

MultiThreadedTaskQueue::~MultiThreadedTaskQueue() {
    if (&ThreadedTaskQueue::get() == this) ThreadedTaskQueue::install(nullptr);
    delete m_impl;
}

void MultiThreadedTaskQueue::requestStop() {
    m_impl->m_stopRequested.store(true, std::memory_order_relaxed);
}

bool MultiThreadedTaskQueue::run(ThreadedTask* task) {
    return m_impl->run(task);
}

void MultiThreadedTaskQueue::markIdle() {
    m_impl->m_idle.store(true, std::memory_order_relaxed);
}

void MultiThreadedTaskQueue::reset() {
    m_impl->reset();
}

int MultiThreadedTaskQueue::numThreads() {
    return m_impl->numThreads();
}

void MultiThreadedTaskQueue::setProgress(Progress* p) {
    m_impl->setProgress(p);
}

bool MultiThreadedTaskQueue::cancelled() {
    return m_impl->isCancelled(m_impl->callerIndex());
}

bool MultiThreadedTaskQueue::stopRequested() const {
    return m_impl->m_stopRequested.load(std::memory_order_relaxed);
}

bool MultiThreadedTaskQueue::idle() const {
    return m_impl->m_idle.load(std::memory_order_relaxed);
}

}  // namespace qxUtil
