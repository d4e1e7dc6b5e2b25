// qxUtil::ThreadPool and the data-parallel work it runs: a ThreadedAlg is
// called once per thread, a ThreadedChunkAlg once per chunk.
//
// The library owns no thread. A host installs a multi-threaded pool with
// ThreadPool::install (the companion library qxbase_threads has one); until
// then ThreadPool::get() is the built-in pool, which runs everything on the
// calling thread.
//
//     struct Double : qxUtil::ThreadedChunkAlg {
//         int* v; int n;
//         void execute(int chunk, int threadIndex, int) override {
//             if (cancelled(threadIndex)) return;
//             const int end = getEndIndex(chunk, getNumChunks(), n);
//             for (int i = getBeginIndex(chunk, getNumChunks(), n); i < end; ++i) v[i] *= 2;
//         }
//     };
//     Double d{...};
//     qxUtil::ThreadPool::get().run(d);
#ifndef QXBASE_COMPONENTS_BASE_UTILITY_QXTHREADPOOL_H
#define QXBASE_COMPONENTS_BASE_UTILITY_QXTHREADPOOL_H

#include "qxDefs.h"

#include <atomic>

namespace qxUtil {

class Progress;

// What every threaded algorithm shares: an optional progress object, which
// only thread 0 touches (progress objects are not thread-safe), and the
// cancelled flag through which thread 0 tells the others.
class QX_API ThreadedAlgBase {
public:
    ThreadedAlgBase();
    ThreadedAlgBase(const ThreadedAlgBase& other);
    ThreadedAlgBase& operator=(const ThreadedAlgBase& other);
    virtual ~ThreadedAlgBase();

    // Not owned; null (the default) reports nothing and is never cancelled.
    void setProgress(Progress* p) { m_progress = p; }
    // The progress object for thread 0, null for every other thread.
    Progress* getProgress(int threadIndex) const { return threadIndex == 0 ? m_progress : nullptr; }
    // Thread 0 sets the progress object to fraction; other threads report
    // nothing.
    void updateProgress(int threadIndex, double fraction);
    // Thread 0 asks the progress object and raises the flag when it says
    // so; every thread then answers the flag. Once raised it stays raised.
    bool cancelled(int threadIndex);

    // Part i of count items split into n parts: the first count % n parts
    // get one item more than the others. For 10 items in 3 parts:
    // [0, 4), [4, 7), [7, 10). An n below 1 counts as one part.
    static int getBeginIndex(int i, int n, int count) {
        if (n < 1) n = 1;
        const int q = count / n, r = count % n;
        return i < r ? (q + 1) * i : q * i + r;
    }
    static int getEndIndex(int i, int n, int count) { return getBeginIndex(i + 1, n, count); }

private:
    Progress* m_progress;
    // Written by thread 0 and read by the others while they run, hence
    // atomic; relaxed, as nothing is published through it.
    std::atomic<bool> m_cancelled;
};

// Work split by thread: execute runs once for every thread index.
class QX_API ThreadedAlg : public ThreadedAlgBase {
public:
    ~ThreadedAlg() override;
    // Once, on the calling thread, before any execute.
    virtual void initialize(int numThreads);
    // The work of one thread; possibly concurrent with the other threads'.
    virtual void execute(int threadIndex, int numThreads) = 0;
    // Once, on the calling thread, after every execute has returned.
    virtual void finalize();
};

// Work split into chunks: execute runs once for every chunk, on whichever
// thread takes it, with that thread's index.
class QX_API ThreadedChunkAlg : public ThreadedAlgBase {
public:
    ThreadedChunkAlg();
    ~ThreadedChunkAlg() override;
    // Once, before any execute; may still change the chunk count, which the
    // pool reads after it.
    virtual void initialize(int numThreads);
    virtual void execute(int chunkIndex, int threadIndex, int numThreads) = 0;
    // Once, after every execute has returned.
    virtual void finalize();

    int getNumChunks() const { return m_numChunks; }
    // 100 by default; 0 or less runs no chunk.
    void setNumChunks(int n) { m_numChunks = n; }

private:
    int m_numChunks;
};

// An engine that runs threaded algorithms. A pool must call initialize
// once, then execute for every thread index (every chunk index, each
// exactly once) possibly concurrently, then finalize once after all of
// them have returned, and return from run after finalize.
class QX_API ThreadPool {
public:
    // At least one thread.
    explicit ThreadPool(int numThreads);
    // An engine that goes while installed uninstalls itself first.
    virtual ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    virtual void run(ThreadedChunkAlg& alg) = 0;
    virtual void run(ThreadedAlg& alg) = 0;

    int numThreads() const { return m_numThreads; }

    // The installed pool, else the built-in single-threaded one.
    static ThreadPool& get();
    static ThreadPool& getSingleThreadedPool();
    // Not owned; null returns to the built-in pool. Install before parallel
    // work starts, and never swap out a pool while it runs something.
    static void install(ThreadPool* pool);

private:
    int m_numThreads;
    static std::atomic<ThreadPool*> s_threadPool;
};

// The built-in pool: one thread, the caller's. Costs nothing beyond the
// calls themselves.
class QX_API SimpleThreadPool : public ThreadPool {
public:
    SimpleThreadPool();
    ~SimpleThreadPool() override;
    // initialize(1), execute(c, 0, 1) for every chunk in order, finalize().
    void run(ThreadedChunkAlg& alg) override;
    // initialize(1), execute(0, 1), finalize().
    void run(ThreadedAlg& alg) override;
};

}  // namespace qxUtil

#endif
