// The built-in single-threaded engines, exactly: the partition rule, the
// order of calls, progress and cancellation through thread 0, and the depth
// first task queue. What every engine must agree on is in tests/threads.
#include "Components/Base/Utility/qxOrdering.h"
#include "Components/Base/Utility/qxProgress.h"
#include "Components/Base/Utility/qxThreadPool.h"
#include "Components/Base/Utility/qxThreadedTask.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using namespace qxUtil;

TEST(ThreadedAlg, Partition) {
    const auto parts = [](int n, int count) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += "[" + std::to_string(ThreadedAlgBase::getBeginIndex(i, n, count)) + "," +
                 std::to_string(ThreadedAlgBase::getEndIndex(i, n, count)) + ")";
        return s;
    };
    EXPECT_EQ(parts(3, 10), "[0,4)[4,7)[7,10)");
    EXPECT_EQ(parts(3, 9), "[0,3)[3,6)[6,9)");
    EXPECT_EQ(parts(3, 2), "[0,1)[1,2)[2,2)");
    EXPECT_EQ(parts(2, 5), "[0,3)[3,5)");
    EXPECT_EQ(parts(1, 0), "[0,0)");
    EXPECT_EQ(ThreadedAlgBase::getEndIndex(0, 0, 7), 7);  // no parts: one part
}

struct Recorder : ThreadedChunkAlg {
    void initialize(int n) override {
        log += "i" + std::to_string(n);
        setNumChunks(setTo);
    }
    void execute(int c, int t, int n) override {
        log += " " + std::to_string(c) + "/" + std::to_string(t) + "/" + std::to_string(n);
        setNumChunks(0);  // read once: too late to matter
    }
    void finalize() override { log += " f"; }
    std::string log;
    int setTo = 3;
};

TEST(ThreadedAlg, BuiltInPool) {
    ThreadPool& pool = ThreadPool::get();
    EXPECT_EQ(&pool, &ThreadPool::getSingleThreadedPool());
    EXPECT_EQ(pool.numThreads(), 1);
    EXPECT_EQ(ThreadedTask::getNumThreads(), 1);
    Recorder r;
    EXPECT_EQ(r.getNumChunks(), 100);
    pool.run(r);
    EXPECT_EQ(r.log, "i1 0/0/1 1/0/1 2/0/1 f");

    struct PerThread : ThreadedAlg {
        void initialize(int n) override { log += "i" + std::to_string(n); }
        void execute(int t, int n) override {
            log += " " + std::to_string(t) + "/" + std::to_string(n);
        }
        void finalize() override { log += " f"; }
        std::string log;
    } a;
    pool.run(a);
    EXPECT_EQ(a.log, "i1 0/1 f");
    // Installing the built-in pool by name is installing none.
    ThreadPool::install(&ThreadPool::getSingleThreadedPool());
    EXPECT_EQ(&ThreadPool::get(), &pool);
}

struct Plain : ThreadedAlg {
    void execute(int, int) override {}
};

TEST(ThreadedAlg, ProgressAndCancellationGoThroughThreadZero) {
    Progress p;
    int checks = 0;
    bool cancelOnCheck = false;
    qxRTB::SignalClient client;
    p.getSigCheckCancel().connect(client, [&](Progress& x) {
        ++checks;
        if (cancelOnCheck) x.cancel();
    });
    Plain a;
    EXPECT_FALSE(a.cancelled(0));  // no progress: never cancelled
    a.setProgress(&p);
    EXPECT_EQ(a.getProgress(0), &p);
    EXPECT_EQ(a.getProgress(1), nullptr);
    a.updateProgress(1, 0.5);
    EXPECT_EQ(p.get(), 0.0);
    a.updateProgress(0, 0.25);
    EXPECT_EQ(p.get(), 0.25);

    EXPECT_FALSE(a.cancelled(0));
    EXPECT_EQ(checks, 1);
    cancelOnCheck = true;
    EXPECT_FALSE(a.cancelled(1));  // other threads only read the flag
    EXPECT_EQ(checks, 1);
    EXPECT_TRUE(a.cancelled(0));
    EXPECT_TRUE(a.cancelled(1));
    Plain copy(a);  // copies the progress and the flag
    EXPECT_TRUE(copy.cancelled(3));
    EXPECT_EQ(copy.getProgress(0), &p);
}

// A task that logs its work and deletion, with pre and post tasks given as
// texts of names.
struct Named : ThreadedTask {
    Named(std::string n, std::string& log, std::string pres = "", std::string posts = "")
        : name(std::move(n)), log(log), pres(std::move(pres)), posts(std::move(posts)) {}
    ~Named() override { log += "~" + name + " "; }
    ThreadedTask* preExecute(int i) override { return child(pres, i); }
    void execute(int t) override {
        log += name + std::to_string(t) + " ";
        if (onExecute) onExecute();
    }
    ThreadedTask* postExecute(int i) override { return child(posts, i); }
    ThreadedTask* child(const std::string& names, int i) {
        return i < static_cast<int>(names.size()) ? new Named(names.substr(i, 1), log) : nullptr;
    }
    std::string name, &log, pres, posts;
    std::function<void()> onExecute;
};

struct BuiltInQueue : testing::Test {
    void SetUp() override { queue.reset(); }
    void TearDown() override { queue.reset(); }
    ThreadedTaskQueue& queue = ThreadedTaskQueue::get();
    std::string log;
};

TEST_F(BuiltInQueue, PreTasksThenTheTaskThenPostTasks) {
    EXPECT_EQ(&queue, &ThreadedTaskQueue::getSingleThreaded());
    EXPECT_EQ(queue.numThreads(), 1);
    auto& simple = static_cast<SimpleQueue&>(queue);
    EXPECT_TRUE(simple.idle());
    EXPECT_TRUE(queue.run(new Named("T", log, "AB", "C")));
    EXPECT_EQ(log, "A0 ~A B0 ~B T0 C0 ~C ~T ");
    EXPECT_FALSE(simple.idle());
    queue.markIdle();
    queue.requestStop();  // recorded only
    EXPECT_TRUE(simple.idle() && simple.stopRequested());
    log.clear();
    auto* t = new Named("T", log, "A", "B");
    t->setNoExecute();
    EXPECT_TRUE(queue.run(t));
    EXPECT_EQ(log, "A0 ~A B0 ~B ~T ");
    EXPECT_FALSE(queue.run(nullptr));
    queue.reset();
    EXPECT_FALSE(simple.stopRequested());
}

TEST_F(BuiltInQueue, CancellationDropsWhatIsLeft) {
    Progress p;
    queue.setProgress(&p);
    // B cancels: C is dropped, which ends the loop over T's pre tasks; T's
    // own work is skipped and its post task dropped.
    struct Canceller : Named {
        using Named::Named;
        ThreadedTask* preExecute(int i) override {
            Named* n = static_cast<Named*>(Named::preExecute(i));
            if (n && n->name == "B") n->onExecute = [this] { progress->cancel(); };
            return n;
        }
        Progress* progress = nullptr;
    };
    auto* c = new Canceller("T", log, "ABC", "D");
    c->progress = &p;
    EXPECT_TRUE(queue.run(c));
    EXPECT_EQ(log, "A0 ~A B0 ~B ~C ~D ~T ");
    EXPECT_TRUE(queue.cancelled());
    log.clear();
    EXPECT_FALSE(queue.run(new Named("X", log, "A")));  // dropped at once
    EXPECT_EQ(log, "~X ");
    queue.reset();  // forgets the progress object
    EXPECT_FALSE(queue.cancelled());
}

TEST_F(BuiltInQueue, ATaskThatCannotBeCancelledTurnsCancellationOff) {
    Progress p;
    queue.setProgress(&p);
    auto* t = new Named("T", log, "AB");
    t->setNoCancel();
    EXPECT_FALSE(t->isCancellable());
    p.cancel();
    EXPECT_FALSE(queue.run(t));  // cancelled before the task was looked at
    log.clear();
    Progress q;
    queue.setProgress(&q);
    t = new Named("T", log, "AB");
    t->setNoCancel();
    t->onExecute = [&] { EXPECT_FALSE(queue.cancelled()); };
    auto* a = new Named("U", log, "A");
    a->onExecute = [&] { q.cancel(); };
    struct Pair : ThreadedTask {
        ThreadedTask* preExecute(int i) override {
            return i == 0 ? first : i == 1 ? second : nullptr;
        }
        ThreadedTask *first, *second;
    };
    auto* pair = new Pair;
    pair->first = t;
    pair->second = a;
    EXPECT_TRUE(queue.run(pair));
    EXPECT_EQ(log, "A0 ~A B0 ~B T0 ~T A0 ~A U0 ~U ");
    EXPECT_FALSE(queue.cancelled());
    queue.reset();
    queue.setProgress(&q);
    EXPECT_TRUE(queue.cancelled());
}

TEST(Ordering, BuiltInSortsDirectly) {
    const double keys[] = {0.5, -1.0, 3.0, 0.5, 2.0};
    Ordering order;
    EXPECT_EQ(order.size(), 0);
    EXPECT_TRUE(order.sort(
        keys, 5, +[](const double& a, const double& b) { return a < b; }));
    ASSERT_EQ(order.size(), 5);
    EXPECT_EQ(order[0], 1);
    EXPECT_TRUE((order[1] == 0 && order[2] == 3) || (order[1] == 3 && order[2] == 0));
    EXPECT_EQ(order[3], 4);
    EXPECT_EQ(order[4], 2);
    Ordering copy(order), assigned;
    assigned = order;
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(copy[i] == order[i] && assigned[i] == order[i]);
    EXPECT_NE(copy.get(), order.get());
    EXPECT_TRUE(order.sort(
        keys, 0, +[](const double& a, const double& b) { return a < b; }));
    EXPECT_EQ(order.size(), 0);
    // A cancelled progress stops it before it starts: the identity.
    Progress p;
    p.cancel();
    EXPECT_FALSE(order.sort(
        keys, 5, +[](const double& a, const double& b) { return a < b; }, &p));
    for (int i = 0; i < 5; ++i) EXPECT_EQ(order[i], i);
}

}  // namespace
