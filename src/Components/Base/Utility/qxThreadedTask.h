// qxUtil::ThreadedTask and the queue that runs trees of them.
//
// A task names the tasks that must run before it (preExecute(0), (1), ...
// until null) and the tasks that run after it (postExecute(i)); the queue
// runs a task's pre tasks, each with everything it names in turn, then the
// task's own execute, then its post tasks. The queue owns every task it is
// given or is handed by preExecute and postExecute, and deletes each once it
// has run or has been dropped by cancellation.
//
// The library owns no thread: until a host installs a multi-threaded queue
// (the companion library qxbase_threads has one), ThreadedTaskQueue::get()
// is the built-in queue, which runs a tree depth first on the calling thread.
//
//     struct Load : qxUtil::ThreadedTask {
//         void execute(int) override { ... }
//     };
//     struct Merge : qxUtil::ThreadedTask {
//         ThreadedTask* preExecute(int i) override { return i < 4 ? new Load(i) : nullptr; }
//         void execute(int) override { ... }   // after the four loads
//     };
//     qxUtil::ThreadedTaskQueue::get().run(new Merge);
#ifndef QXBASE_COMPONENTS_BASE_UTILITY_QXTHREADEDTASK_H
#define QXBASE_COMPONENTS_BASE_UTILITY_QXTHREADEDTASK_H

#include "qxDefs.h"

#include <atomic>

namespace qxUtil {

class Progress;

class QX_API ThreadedTask {
public:
    ThreadedTask();
    ThreadedTask(const ThreadedTask&) = default;
    ThreadedTask& operator=(const ThreadedTask&) = default;
    // The queue deletes tasks through it.
    virtual ~ThreadedTask();

    // The i-th task to run before this one (i = 0, 1, ...), null when there
    // are no more. Each returned task is handed to the queue. A queue may
    // ask for all of them before it runs the first. The default has none.
    virtual ThreadedTask* preExecute(int i);
    // This task's own work, on the thread with this index. Default: nothing.
    virtual void execute(int threadIndex);
    // The i-th task to run after this one, null when there are no more.
    virtual ThreadedTask* postExecute(int i);

    // Skips this task's own execute; its pre and post tasks still run.
    void setNoExecute() { m_noExecute = true; }
    bool getNoExecute() const { return m_noExecute; }
    // Once the queue meets a task that is not cancellable, it stops
    // answering cancelled() until it is reset.
    void setNoCancel() { m_noCancel = true; }
    bool isCancellable() const { return !m_noCancel; }

    // The installed thread pool's thread count.
    static int getNumThreads();

private:
    bool m_noExecute;
    bool m_noCancel;
};

// An engine that runs task trees.
class QX_API ThreadedTaskQueue {
public:
    ThreadedTaskQueue() = default;
    // An engine that goes while installed uninstalls itself first.
    virtual ~ThreadedTaskQueue();
    ThreadedTaskQueue(const ThreadedTaskQueue&) = delete;
    ThreadedTaskQueue& operator=(const ThreadedTaskQueue&) = delete;

    virtual void requestStop() = 0;
    // Runs task and its tree, and returns whether task itself was run
    // (false when cancellation dropped it). Takes ownership of task.
    virtual bool run(ThreadedTask* task) = 0;
    virtual void markIdle() = 0;
    // Clears a stop request, turns cancellation back on and forgets the
    // progress object.
    virtual void reset() = 0;
    virtual int numThreads() = 0;
    // Not owned; the queue asks it whether to cancel.
    virtual void setProgress(Progress* p) = 0;
    virtual bool cancelled() = 0;

    // The installed queue, else the built-in single-threaded one.
    static ThreadedTaskQueue& get();
    static ThreadedTaskQueue& getSingleThreaded();
    // Not owned; null returns to the built-in queue.
    static void install(ThreadedTaskQueue* queue);

private:
    static std::atomic<ThreadedTaskQueue*> s_taskQueue;
};

// The built-in queue: one thread, the caller's, depth first. For each task:
// drop it when cancelled; a task that is not cancellable turns cancellation
// off; run its pre tasks in order (stopping after one that was dropped),
// then its execute unless it is marked noExecute or the queue is cancelled,
// then its post tasks in the same way; delete it. Stop requests and the idle
// mark are only recorded.
class QX_API SimpleQueue : public ThreadedTaskQueue {
public:
    SimpleQueue();
    ~SimpleQueue() override;

    void requestStop() override { m_stopRequested = true; }
    bool run(ThreadedTask* task) override;
    void markIdle() override { m_idle = true; }
    void reset() override;
    int numThreads() override { return 1; }
    void setProgress(Progress* p) override { m_progress = p; }
    // The progress object's answer while cancellation is on; else false.
    bool cancelled() override;

    bool stopRequested() const { return m_stopRequested; }
    bool idle() const { return m_idle; }

private:
    bool process(ThreadedTask* task);

    bool m_stopRequested;
    bool m_idle;
    bool m_cancelEnabled;
    Progress* m_progress;
};

}  // namespace qxUtil

#endif
