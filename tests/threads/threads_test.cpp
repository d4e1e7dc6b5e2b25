// Every engine against the same contracts: the built-in ones and the
// companion library's with 1, 2 and 8 threads. Algorithms give the same
// results, every call the contracts promise happens exactly once and in an
// order the dependencies allow, cancellation and exceptions leave nothing
// running and nothing behind, and runs nest and come from several threads.
#include "qxThreads.h"

#include "Components/Base/Utility/qxOrdering.h"
#include "Components/Base/Utility/qxProgress.h"
#include "os/app/qxSysInfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <numeric>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace qxUtil;

// 0: the built-in engines; n: the companion's, with n threads.
class Engines : public testing::TestWithParam<int> {
protected:
    void SetUp() override {
        if (GetParam() > 0) engines.reset(new ThreadEngines(GetParam()));
        ThreadedTaskQueue::get().reset();
    }
    void TearDown() override {
        ThreadedTaskQueue::get().reset();
        engines.reset();
        EXPECT_EQ(&ThreadPool::get(), &ThreadPool::getSingleThreadedPool());
        EXPECT_EQ(&ThreadedTaskQueue::get(), &ThreadedTaskQueue::getSingleThreaded());
    }
    static int threads() { return ThreadPool::get().numThreads(); }
    std::unique_ptr<ThreadEngines> engines;
};

INSTANTIATE_TEST_SUITE_P(, Engines, testing::Values(0, 1, 2, 8),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param ? "threads" + std::to_string(info.param)
                                               : std::string("builtin");
                         });

// Each of count threads waits here for the others: proof that they run at
// the same time. False instead of a hang when they never all arrive.
class Rendezvous {
public:
    explicit Rendezvous(int count) : m_count(count) {}
    bool meet() {
        m_arrived.fetch_add(1);
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (m_arrived.load() < m_count) {
            if (std::chrono::steady_clock::now() > giveUp) return false;
            std::this_thread::yield();
        }
        return true;
    }

private:
    const int m_count;
    std::atomic<int> m_arrived{0};
};

// --- the pool ------------------------------------------------------------------

struct Census : ThreadedAlg {
    explicit Census(int n) : n(n), counts(n) {}
    void check(bool ok) {
        if (!ok) bad = true;
    }
    void initialize(int numThreads) override {
        check(numThreads == n && executed.load() == 0);
        ++initialized;
    }
    void execute(int t, int numThreads) override {
        check(numThreads == n && t >= 0 && t < n && finalized == 0);
        if (t < 0 || t >= n) return;
        if (t == 0) caller = std::this_thread::get_id();
        counts[t].fetch_add(1);
        if (meet) check(meet->meet());
        executed.fetch_add(1);
    }
    void finalize() override {
        ++finalized;
        check(executed.load() == n);
        for (auto& c : counts) check(c.load() == 1);
    }
    const int n;
    std::vector<std::atomic<int>> counts;
    std::atomic<int> executed{0};
    std::atomic<bool> bad{false};
    int initialized = 0, finalized = 0;
    std::thread::id caller;
    Rendezvous* meet = nullptr;
};

TEST_P(Engines, ThreadedAlgRunsEachThreadOnceBetweenInitializeAndFinalize) {
    // Back to back, so a run that returns before its workers are done, or
    // a worker that misses a run, shows.
    for (int round = 0; round < 300; ++round) {
        Census a(threads());
        ThreadPool::get().run(a);
        ASSERT_FALSE(a.bad) << "round " << round;
        ASSERT_EQ(a.initialized, 1);
        ASSERT_EQ(a.finalized, 1);
        ASSERT_EQ(a.caller, std::this_thread::get_id());  // thread 0 is the caller
    }
    // Every thread index at once, each on a thread of its own.
    Rendezvous all(threads());
    Census a(threads());
    a.meet = &all;
    ThreadPool::get().run(a);
    EXPECT_FALSE(a.bad);
}

struct ChunkCensus : ThreadedChunkAlg {
    ChunkCensus(int chunks, int threads) : chunks(chunks), threads(threads), counts(chunks) {}
    void check(bool ok) {
        if (!ok) bad = true;
    }
    void initialize(int n) override {
        check(n == threads);
        setNumChunks(chunks);  // the count is read after initialize
    }
    void execute(int c, int t, int n) override {
        check(c >= 0 && c < chunks && t >= 0 && t < n && n == threads && !finalized);
        if (c >= 0 && c < chunks) counts[c].fetch_add(1);
        if (t == 0) check(std::this_thread::get_id() == caller);
        // Uneven chunks: the first ones cost far more.
        volatile std::uint64_t sink = 0;
        for (int i = 0; i < (c < chunks / 8 ? 2000 : 10); ++i) sink = sink + i;
    }
    void finalize() override {
        finalized = true;
        for (auto& c : counts) check(c.load() == 1);
    }
    const int chunks, threads;
    std::vector<std::atomic<int>> counts;
    std::atomic<bool> bad{false};
    bool finalized = false;
    std::thread::id caller = std::this_thread::get_id();
};

TEST_P(Engines, ChunkAlgRunsEachChunkOnce) {
    for (int chunks : {0, 1, 2, 3, 7, 100, 1000, 10007}) {
        for (int round = 0; round < (chunks == 1000 ? 50 : 1); ++round) {
            ChunkCensus a(chunks, threads());
            ThreadPool::get().run(a);
            ASSERT_FALSE(a.bad) << chunks << " chunks, round " << round;
            ASSERT_TRUE(a.finalized);
        }
    }
}

// Thread n - 1 asks for cancellation after a while; thread 0 passes it on
// through the progress object; everyone stops.
TEST_P(Engines, ThreadZeroCarriesCancellationToTheOthers) {
    struct Work : ThreadedAlg {
        void execute(int t, int n) override {
            running.fetch_add(1);
            for (int unit = 0;; ++unit) {
                if (t == n - 1 && unit == 1000) request = true;
                if (cancelled(t)) break;
                if (t != 0) std::this_thread::yield();
            }
            running.fetch_sub(1);
        }
        std::atomic<bool> request{false};
        std::atomic<int> running{0};
    } work;
    Progress progress;
    qxRTB::SignalClient client;
    std::thread::id asked;
    progress.getSigCheckCancel().connect(client, [&](Progress& p) {
        asked = std::this_thread::get_id();
        if (work.request) p.cancel();
    });
    work.setProgress(&progress);
    ThreadPool::get().run(work);
    EXPECT_EQ(work.running.load(), 0);
    EXPECT_TRUE(work.cancelled(1));
    EXPECT_EQ(asked, std::this_thread::get_id());
}

// --- the parallel sort -----------------------------------------------------------

bool lessInt(const int& a, const int& b) {
    return a < b;
}

std::vector<int> shuffled(int n, unsigned seed, int modulo = 0) {
    std::vector<int> v(static_cast<size_t>(n));
    std::iota(v.begin(), v.end(), 0);
    std::shuffle(v.begin(), v.end(), std::mt19937(seed));
    if (modulo)
        for (int& x : v) x %= modulo;
    return v;
}

TEST_P(Engines, SortGivesTheSameOrderEverywhere) {
    for (int n : {0, 1, 2, 3, 5, 64, 1001, 200000}) {
        // Distinct keys: one right answer.
        const std::vector<int> keys = shuffled(n, 7u + n);
        std::vector<int> want(keys.size());
        for (int i = 0; i < n; ++i) want[keys[i]] = i;
        Ordering order;
        ASSERT_TRUE(order.sort(keys.data(), n, lessInt));
        ASSERT_EQ(order.size(), n);
        ASSERT_TRUE(std::equal(want.begin(), want.end(), order.get())) << n << " keys";

        // Many equal keys: sorted keys, and a permutation.
        const std::vector<int> dup = shuffled(n, 11u + n, 17);
        ASSERT_TRUE(order.sort(dup.data(), n, [](const int& a, const int& b) { return a > b; }));
        std::vector<int> seen(order.get(), order.get() + n);
        for (int i = 1; i < n; ++i) ASSERT_GE(dup[seen[i - 1]], dup[seen[i]]);
        std::sort(seen.begin(), seen.end());
        for (int i = 0; i < n; ++i) ASSERT_EQ(seen[i], i);
    }
}

struct Item {
    int key, tag;
};

TEST_P(Engines, MergeKeepsPartZeroFirstOnEqualKeys) {
    if (threads() < 2) GTEST_SKIP() << "the merge needs two threads";
    std::mt19937 rng(3);
    for (int n = 2; n < 300; n += 1 + n / 8) {
        std::vector<Item> items(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) items[i] = {static_cast<int>(rng() % 5), i};
        const auto byKey = [](const Item& a, const Item& b) { return a.key < b.key; };
        const int half = (n + 1) / 2;
        std::stable_sort(items.begin(), items.begin() + half, byKey);
        std::stable_sort(items.begin() + half, items.end(), byKey);
        std::vector<Item> want(items.size());
        std::merge(items.begin(), items.begin() + half, items.begin() + half, items.end(),
                   want.begin(), byKey);  // stable: the first range first
        SMPSortMerge<Item, decltype(byKey)> merge(items.data(), items.data() + n, byKey);
        ThreadPool::get().run(merge);
        for (int i = 0; i < n; ++i)
            ASSERT_TRUE(items[i].key == want[i].key && items[i].tag == want[i].tag)
                << n << " items, at " << i;
    }
}

TEST_P(Engines, SortReportsOnTheCallingThreadAndStopsWhenCancelled) {
    const std::vector<int> keys = shuffled(300000, 5);
    Progress progress;
    qxRTB::SignalClient client;
    std::vector<double> values;
    bool elsewhere = false;
    int checks = 0;
    const std::thread::id caller = std::this_thread::get_id();
    progress.getSigUpdate().connect(client, [&](Progress& p) {
        elsewhere |= std::this_thread::get_id() != caller;
        values.push_back(p.get());
    });
    progress.getSigCheckCancel().connect(client, [&](Progress&) {
        elsewhere |= std::this_thread::get_id() != caller;
        ++checks;
    });
    Ordering order;
    ASSERT_TRUE(order.sort(keys.data(), 300000, lessInt, &progress));
    EXPECT_FALSE(elsewhere);
    ASSERT_FALSE(values.empty());
    EXPECT_EQ(values.back(), 1.0);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_GT(values.size(), 10u);  // not only at the end
    for (int i = 1; i < 300000; ++i) ASSERT_LT(keys[order[i - 1]], keys[order[i]]);

    // Cancelled at each of its questions in turn: false, and still a
    // permutation.
    const int asked = checks;
    for (int cancelAt = 1; cancelAt <= asked; ++cancelAt) {
        Progress p;
        checks = 0;
        p.getSigCheckCancel().connect(client, [&](Progress& x) {
            elsewhere |= std::this_thread::get_id() != caller;
            if (++checks == cancelAt) x.cancel();
        });
        EXPECT_FALSE(order.sort(keys.data(), 300000, lessInt, &p)) << "question " << cancelAt;
        std::vector<int> seen(order.get(), order.get() + 300000);
        std::sort(seen.begin(), seen.end());
        for (int i = 0; i < 300000; ++i) ASSERT_EQ(seen[i], i);
    }
    EXPECT_FALSE(elsewhere);
}

// --- task trees --------------------------------------------------------------------

// What happened to each task of a tree, in one clock: start and end of its
// execute, its deletion.
struct TreeLog {
    struct Entry {
        int parent = -1;
        bool post = false, noExecute = false;
        int start = -1, end = -1, deleted = -1;
        std::atomic<int> executes{0}, deletions{0};
    };
    TreeLog() : entries(4096) {}
    std::atomic<int> clock{0}, next{0}, live{0};
    std::atomic<bool> badThread{false};
    std::vector<Entry> entries;
};

// A task whose children are decided by where it sits in the tree, so that
// every engine builds the same tree whatever order it asks in.
struct TreeTask : ThreadedTask {
    TreeTask(TreeLog& log, std::uint32_t seed, int depth, int parent, bool post)
        : log(log), seed(seed), depth(depth), id(log.next.fetch_add(1)) {
        std::mt19937 rng(seed);
        // A root always has children; below it, up to three pre and two post
        // tasks, four levels down.
        numPre = depth == 0 ? 3 : depth < 4 ? static_cast<int>(rng() % 4) : 0;
        numPost = depth == 0 ? 2 : depth < 4 ? static_cast<int>(rng() % 3) : 0;
        TreeLog::Entry& e = log.entries.at(id);
        e.parent = parent;
        e.post = post;
        e.noExecute = rng() % 10 == 0;
        if (e.noExecute) setNoExecute();
        log.live.fetch_add(1);
    }
    ~TreeTask() override {
        log.entries[id].deleted = log.clock.fetch_add(1);
        log.entries[id].deletions.fetch_add(1);
        log.live.fetch_sub(1);
    }
    ThreadedTask* preExecute(int i) override {
        return i < numPre ? new TreeTask(log, seed * 31 + i + 1, depth + 1, id, false) : nullptr;
    }
    ThreadedTask* postExecute(int i) override {
        return i < numPost ? new TreeTask(log, seed * 37 + i + 101, depth + 1, id, true) : nullptr;
    }
    void execute(int t) override {
        TreeLog::Entry& e = log.entries[id];
        e.start = log.clock.fetch_add(1);
        log.badThread = log.badThread || t < 0 || t >= ThreadedTaskQueue::get().numThreads();
        volatile int sink = 0;
        for (int i = 0; i < 5000; ++i) sink = sink + i;
        e.executes.fetch_add(1);
        e.end = log.clock.fetch_add(1);
    }
    TreeLog& log;
    const std::uint32_t seed;
    const int depth, id;
    int numPre, numPost;
};

// Checks a run tree: each task ran once (unless marked not to) and was
// deleted once; a pre task and everything below it finished before its
// parent started; a post task's subtree started after its parent ended;
// nothing was deleted before what hangs below it.
void checkTree(const TreeLog& log) {
    const int n = log.next.load();
    EXPECT_EQ(log.live.load(), 0);
    EXPECT_FALSE(log.badThread.load());
    for (int x = 0; x < n; ++x) {
        const TreeLog::Entry& e = log.entries[x];
        ASSERT_EQ(e.deletions.load(), 1) << "task " << x;
        ASSERT_EQ(e.executes.load(), e.noExecute ? 0 : 1) << "task " << x;
        for (int child = x, a = e.parent; a >= 0; child = a, a = log.entries[a].parent) {
            const TreeLog::Entry& up = log.entries[a];
            ASSERT_LT(e.deleted, up.deleted) << x << " under " << a;
            if (up.noExecute) continue;
            if (log.entries[child].post) {
                if (!e.noExecute) {
                    ASSERT_GT(e.start, up.end) << x << " after " << a;
                }
            } else {
                ASSERT_LT(e.deleted, up.start) << x << " before " << a;
            }
        }
    }
}

TEST_P(Engines, TaskTreesRunEachTaskOnceInDependencyOrder) {
    for (std::uint32_t seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
        TreeLog log;
        EXPECT_TRUE(ThreadedTaskQueue::get().run(new TreeTask(log, seed, 0, -1, false)));
        checkTree(log);
        ASSERT_GT(log.next.load(), 40) << "seed " << seed;
        ASSERT_FALSE(HasFatalFailure()) << "seed " << seed;
    }
}

// A task made of two functions; counts itself in live.
struct FnTask : ThreadedTask {
    FnTask(std::atomic<int>& live, std::function<void(int)> run = nullptr,
           std::vector<ThreadedTask*> pres = {}, std::vector<ThreadedTask*> posts = {})
        : live(live), run(std::move(run)), pres(std::move(pres)), posts(std::move(posts)) {
        ++live;
    }
    ~FnTask() override {
        // Whatever was never handed out is still ours.
        for (size_t i = handedPre; i < pres.size(); ++i) delete pres[i];
        for (size_t i = handedPost; i < posts.size(); ++i) delete posts[i];
        --live;
    }
    ThreadedTask* preExecute(int i) override {
        if (i >= static_cast<int>(pres.size())) return nullptr;
        handedPre = static_cast<size_t>(i) + 1;
        return pres[i];
    }
    ThreadedTask* postExecute(int i) override {
        if (i >= static_cast<int>(posts.size())) return nullptr;
        handedPost = static_cast<size_t>(i) + 1;
        return posts[i];
    }
    void execute(int t) override {
        if (run) run(t);
    }
    std::atomic<int>& live;
    std::function<void(int)> run;
    std::vector<ThreadedTask*> pres, posts;
    size_t handedPre = 0, handedPost = 0;
};

TEST_P(Engines, SiblingsRunAtTheSameTime) {
    if (ThreadedTaskQueue::get().numThreads() < 2) GTEST_SKIP() << "one thread";
    std::atomic<int> live{0};
    Rendezvous both(2);
    std::atomic<int> met{0};
    const auto meet = [&](int) { met += both.meet(); };
    EXPECT_TRUE(ThreadedTaskQueue::get().run(
        new FnTask(live, nullptr, {new FnTask(live, meet), new FnTask(live, meet)})));
    EXPECT_EQ(met.load(), 2);
    EXPECT_EQ(live.load(), 0);
}

// A first task asks for cancellation and waits until the queue says so;
// everything else depends on it, so nothing else may run, and everything
// must be deleted by the time run returns.
TEST_P(Engines, CancellationMidRunDropsTheRestAndLeavesNothing) {
    ThreadedTaskQueue& queue = ThreadedTaskQueue::get();
    Progress progress;
    qxRTB::SignalClient client;
    std::atomic<bool> request{false};
    bool elsewhere = false;
    const std::thread::id caller = std::this_thread::get_id();
    progress.getSigCheckCancel().connect(client, [&](Progress& p) {
        elsewhere |= std::this_thread::get_id() != caller;
        if (request) p.cancel();
    });
    queue.setProgress(&progress);
    std::atomic<int> live{0}, ran{0};
    const auto count = [&](int) { ++ran; };
    std::vector<ThreadedTask*> posts;
    for (int i = 0; i < 50; ++i) posts.push_back(new FnTask(live, count));
    auto* first = new FnTask(live, [&](int) {
        request = true;
        while (!ThreadedTaskQueue::get().cancelled()) std::this_thread::yield();
    });
    auto* middle = new FnTask(live, count, {first}, posts);
    std::vector<ThreadedTask*> rootPosts;
    for (int i = 0; i < 50; ++i) rootPosts.push_back(new FnTask(live, count));
    EXPECT_TRUE(queue.run(new FnTask(live, count, {middle}, rootPosts)));
    EXPECT_EQ(ran.load(), 0);
    EXPECT_EQ(live.load(), 0);
    EXPECT_FALSE(elsewhere);
    EXPECT_TRUE(queue.cancelled());
    // Dropped at once from now on.
    EXPECT_FALSE(queue.run(new FnTask(live, count)));
    EXPECT_EQ(live.load(), 0);
}

TEST_P(Engines, ATaskThatCannotBeCancelledKeepsTheRunGoing) {
    ThreadedTaskQueue& queue = ThreadedTaskQueue::get();
    // The progress object says yes once the run has begun; the root turns
    // cancellation off before anyone asks.
    Progress progress;
    qxRTB::SignalClient client;
    std::atomic<bool> begun{false};
    progress.getSigCheckCancel().connect(client, [&](Progress& p) {
        if (begun) p.cancel();
    });
    queue.setProgress(&progress);
    std::atomic<int> live{0}, ran{0};
    std::atomic<bool> sawCancel{false};
    const auto work = [&](int) {
        begun = true;
        if (ThreadedTaskQueue::get().cancelled()) sawCancel = true;
        ++ran;
    };
    std::vector<ThreadedTask*> pres;
    for (int i = 0; i < 20; ++i) pres.push_back(new FnTask(live, work));
    auto* root = new FnTask(live, work, pres, {new FnTask(live, work)});
    root->setNoCancel();
    EXPECT_TRUE(queue.run(root));
    EXPECT_EQ(ran.load(), 22);
    EXPECT_FALSE(sawCancel);
    EXPECT_FALSE(queue.cancelled());
    EXPECT_TRUE(progress.cancelled());  // it would have said yes
    queue.reset();
    queue.setProgress(&progress);
    EXPECT_TRUE(queue.cancelled());
    EXPECT_EQ(live.load(), 0);
}

// --- exceptions, nesting and several callers --------------------------------------------

TEST_P(Engines, ExceptionsReachTheCallerAndLeaveTheEngineUsable) {
    struct Thrower : ThreadedChunkAlg {
        void execute(int c, int, int) override {
            if (c == 37) throw std::runtime_error("chunk 37");
        }
        void finalize() override { finalized = true; }
        bool finalized = false;
    } thrower;
    EXPECT_THROW(ThreadPool::get().run(thrower), std::runtime_error);
    EXPECT_FALSE(thrower.finalized);
    ChunkCensus after(100, threads());
    ThreadPool::get().run(after);
    EXPECT_FALSE(after.bad);

    std::atomic<int> live{0}, ran{0};
    std::vector<ThreadedTask*> pres;
    for (int i = 0; i < 30; ++i)
        pres.push_back(new FnTask(live, [&, i](int) {
            if (i == 7) throw std::runtime_error("task 7");
            ++ran;
        }));
    EXPECT_THROW(ThreadedTaskQueue::get().run(new FnTask(live, nullptr, pres)), std::runtime_error);
    EXPECT_EQ(live.load(), 0);
    EXPECT_TRUE(ThreadedTaskQueue::get().run(new FnTask(live, [&](int) { ++ran; })));
    EXPECT_EQ(live.load(), 0);
}

TEST_P(Engines, RunsNest) {
    // A chunk algorithm whose chunks sort: the pool runs inside itself.
    struct Sorts : ThreadedChunkAlg {
        void execute(int c, int, int) override {
            const std::vector<int> keys = shuffled(5000, 100u + c);
            Ordering order;
            order.sort(keys.data(), 5000, lessInt);
            for (int i = 0; i < 5000; ++i)
                if (keys[order[i]] != i) bad = true;
        }
        std::atomic<bool> bad{false};
    } sorts;
    sorts.setNumChunks(16);
    ThreadPool::get().run(sorts);
    EXPECT_FALSE(sorts.bad);

    // Tasks that run trees of their own, and a threaded algorithm.
    std::atomic<int> live{0}, ran{0};
    std::vector<ThreadedTask*> pres;
    for (int i = 0; i < 8; ++i)
        pres.push_back(new FnTask(live, [&](int) {
            TreeLog log;
            ThreadedTaskQueue::get().run(new TreeTask(log, 9, 1, -1, false));
            checkTree(log);
            Census a(threads());
            ThreadPool::get().run(a);
            EXPECT_FALSE(a.bad);
            ++ran;
        }));
    EXPECT_TRUE(ThreadedTaskQueue::get().run(new FnTask(live, nullptr, pres)));
    EXPECT_EQ(ran.load(), 8);
    EXPECT_EQ(live.load(), 0);
}

TEST_P(Engines, SeveralCallersTakeTurns) {
    if (GetParam() == 0) GTEST_SKIP() << "the built-in engines are for one thread";
    std::atomic<bool> bad{false};
    const auto caller = [&](unsigned seed) {
        for (int round = 0; round < 20; ++round) {
            const std::vector<int> keys = shuffled(20000, seed + round);
            Ordering order;
            order.sort(keys.data(), 20000, lessInt);
            for (int i = 0; i < 20000; ++i) bad = bad || keys[order[i]] != i;
            TreeLog log;
            ThreadedTaskQueue::get().run(new TreeTask(log, seed, 2, -1, false));
            bad = bad || log.live.load() != 0;
        }
    };
    std::thread other(caller, 1000u);
    caller(2000u);
    other.join();
    EXPECT_FALSE(bad);
}

// --- installing --------------------------------------------------------------------------

TEST(ThreadEngines, InstallSizeAndUninstall) {
    {
        ThreadEngines engines;  // sized from the machine
        EXPECT_EQ(&ThreadPool::get(), &engines.pool());
        EXPECT_EQ(&ThreadedTaskQueue::get(), &engines.queue());
        EXPECT_EQ(engines.pool().numThreads(), static_cast<int>(qxOS::sysInfo().numPhysicalCPUs()));
        // The test's environment lowers the core count to one.
        const char* cores = std::getenv("QX_NUM_PHYS_CPUS");
        if (cores && std::string(cores) == "1") {
            EXPECT_EQ(engines.pool().numThreads(), 1);
        }
        EXPECT_EQ(engines.queue().numThreads(), static_cast<int>(qxOS::sysInfo().numCPUs()));
        EXPECT_EQ(ThreadedTask::getNumThreads(), engines.pool().numThreads());
        engines.uninstall();
        EXPECT_FALSE(engines.installed());
        EXPECT_EQ(&ThreadPool::get(), &ThreadPool::getSingleThreadedPool());
        engines.uninstall();
    }
    {
        // Engines installed by hand leave their slots when they go.
        MultiThreadPool pool(3);
        ThreadPool::install(&pool);
        {
            MultiThreadedTaskQueue queue(300);
            EXPECT_EQ(queue.numThreads(), MultiThreadPool::kMaxThreads);
            ThreadedTaskQueue::install(&queue);
        }
        EXPECT_EQ(&ThreadedTaskQueue::get(), &ThreadedTaskQueue::getSingleThreaded());
        EXPECT_EQ(&ThreadPool::get(), &pool);
    }
    EXPECT_EQ(&ThreadPool::get(), &ThreadPool::getSingleThreadedPool());
}

TEST(ThreadEngines, AStopRequestDropsWhatHasNotStarted) {
    MultiThreadedTaskQueue queue(2);
    std::atomic<int> live{0}, ran{0};
    std::vector<ThreadedTask*> posts;
    for (int i = 0; i < 10; ++i) posts.push_back(new FnTask(live, [&](int) { ++ran; }));
    EXPECT_TRUE(queue.run(new FnTask(
        live, [&](int) { queue.requestStop(); }, {}, posts)));
    EXPECT_EQ(ran.load(), 0);
    EXPECT_EQ(live.load(), 0);
    EXPECT_TRUE(queue.stopRequested() && queue.cancelled());
    queue.markIdle();
    EXPECT_TRUE(queue.idle());
    queue.reset();
    EXPECT_FALSE(queue.cancelled());
    EXPECT_TRUE(queue.run(new FnTask(live, [&](int) { ++ran; }, {}, {})));
    EXPECT_EQ(ran.load(), 1);
}

}  // namespace
