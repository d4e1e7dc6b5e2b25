// qxbase_threads: multi-threaded engines for the library's thread pool and
// task queue, over std::thread. The library itself creates no threads; a
// host that wants its threaded algorithms and task trees to run in parallel
// installs these, usually for the whole of main:
//
//     int main(int argc, char** argv) {
//         qxUtil::ThreadEngines engines;     // workers sized from the machine
//         ...                                // ThreadPool::get() is engines.pool()
//     }                                      // built-in engines back, workers joined
//
// Link with qxbase::threads.
//
// In both engines the thread that calls run takes part as thread 0 and
// numThreads() - 1 workers take the other indices, so a progress object,
// which only thread 0 touches, is only touched on the thread that called
// run. Workers are started by the constructor and joined by the destructor,
// which must not be called while a run is going on; between runs they wait
// without using the processor (after a moment of spinning, so that runs in
// quick succession start at once).
#ifndef QXBASE_THREADS_QXTHREADS_H
#define QXBASE_THREADS_QXTHREADS_H

#include "Components/Base/Utility/qxThreadPool.h"
#include "Components/Base/Utility/qxThreadedTask.h"
#include "qxDefs.h"

namespace qxUtil {

// A pool of numThreads threads: the caller of run and numThreads - 1
// workers.
//
// A ThreadedAlg gets execute(t, n) for every thread index t at once. A
// ThreadedChunkAlg's chunks are split into one contiguous share per thread;
// each thread works through its own, a quarter of what is left of it at a
// time, and a thread that runs out takes the back half of the largest share
// left. A thread held up by slow chunks thus gives up the rest of its share.
//
// A run from inside a run of this pool (an algorithm that runs another) is
// done on the calling thread alone, still with every thread index (every
// chunk as thread 0), so that it cannot wait for itself. Runs from several
// threads at once take turns. An exception thrown by initialize, execute or
// finalize reaches the caller of run; the other threads first finish what
// they hold and take no more chunks, and finalize is not called.
class QX_THREADS_API MultiThreadPool : public ThreadPool {
public:
    // numThreads < 1: as many as the machine has processor cores
    // (qxOS::sysInfo().numPhysicalCPUs(), which QX_NUM_CPUS and
    // QX_NUM_PHYS_CPUS can lower). At most kMaxThreads. Throws
    // std::system_error when the system cannot start a thread.
    explicit MultiThreadPool(int numThreads = 0);
    ~MultiThreadPool() override;

    void run(ThreadedChunkAlg& alg) override;
    void run(ThreadedAlg& alg) override;

    // An enumerator, not a static member: nothing to import from the DLL.
    enum { kMaxThreads = 256 };

    class Impl;

private:
    Impl* m_impl;
};

// A task queue of numThreads threads: the caller of run and numThreads - 1
// workers.
//
// Every task that is ready runs on the first free thread: a task's pre tasks
// all at once, its own execute when the last of them has finished with
// everything it named, then its post tasks all at once; a task is finished,
// and deleted, after its post tasks are. A queue asks a task for all its pre
// (or post) tasks before it runs the first.
//
// Cancellation: the progress object is asked by the thread that called run,
// whenever it takes a task and, while it waits for the others, every 10 ms;
// a stop request (requestStop, from any thread) has the same effect. Once
// cancelled, tasks that have not started are deleted without being run or
// asked for pre and post tasks, and run returns when nothing is left
// running. As in the built-in queue, a task that is not cancellable turns
// both off until reset().
//
// A run from inside a task of this queue runs the new tree on the calling
// thread, depth first, as the built-in queue would. Runs from several other
// threads at once take turns. An exception thrown by a task cancels the rest
// of the tree (whatever noCancel says) and reaches the caller of run once
// every task has been deleted.
class QX_THREADS_API MultiThreadedTaskQueue : public ThreadedTaskQueue {
public:
    // numThreads < 1: as many as the machine has logical processors
    // (qxOS::sysInfo().numCPUs(), which QX_NUM_CPUS can lower). At most
    // MultiThreadPool::kMaxThreads. Throws std::system_error when the system
    // cannot start a thread.
    explicit MultiThreadedTaskQueue(int numThreads = 0);
    ~MultiThreadedTaskQueue() override;

    void requestStop() override;
    bool run(ThreadedTask* task) override;
    void markIdle() override;
    // Not while a run is going on.
    void reset() override;
    int numThreads() override;
    void setProgress(Progress* p) override;
    // On the thread running run, or any thread between runs: asks the
    // progress object; on the queue's workers, what it last said.
    bool cancelled() override;

    bool stopRequested() const;
    bool idle() const;

    class Impl;

private:
    Impl* m_impl;
};

// Starts a MultiThreadPool and a MultiThreadedTaskQueue and installs both;
// the destructor (or uninstall()) puts the built-in engines back, if these
// are still the installed ones, and joins the workers.
class QX_THREADS_API ThreadEngines {
public:
    // numThreads < 1: each engine sizes itself from the machine; otherwise
    // both get numThreads threads.
    explicit ThreadEngines(int numThreads = 0);
    ~ThreadEngines();
    ThreadEngines(const ThreadEngines&) = delete;
    ThreadEngines& operator=(const ThreadEngines&) = delete;

    // The built-in engines back, the workers joined; once is enough, and
    // the destructor does it.
    void uninstall();
    bool installed() const { return m_pool != nullptr; }

    // Valid until uninstall().
    MultiThreadPool& pool() { return *m_pool; }
    MultiThreadedTaskQueue& queue() { return *m_queue; }

private:
    MultiThreadPool* m_pool;
    MultiThreadedTaskQueue* m_queue;
};

}  // namespace qxUtil

#endif
