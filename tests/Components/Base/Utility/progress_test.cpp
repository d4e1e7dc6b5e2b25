// Progress trees (scaling through nested phases, finishing, captions,
// cancellation and which object the signals carry) and the idle-task
// registry (turns, the cursor, removal from inside a step).
#include "Components/Base/Utility/qxIdleTask.h"
#include "Components/Base/Utility/qxProgress.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using qxUtil::Progress;

// Records every emission of a root's four signals, with the object carried;
// a client, so that it disconnects when it goes before the progress does.
struct Listener : qxRTB::SignalClient {
    explicit Listener(Progress& p) {
        p.getSigUpdate().connect(*this, [this](Progress& x) { log.push_back({'u', &x, x.get()}); });
        p.getSigCaption().connect(*this, [this](Progress& x) { log.push_back({'c', &x, 0}); });
        p.getSigCheckCancel().connect(*this, [this](Progress& x) {
            log.push_back({'k', &x, 0});
            if (cancelOnCheck) x.cancel();
        });
        p.getSigDestroy().connect(*this, [this](Progress& x) { log.push_back({'d', &x, x.get()}); });
    }
    struct Event {
        char kind;
        Progress* from;
        double value;
    };
    std::string kinds() const {
        std::string s;
        for (const Event& e : log) s += e.kind;
        return s;
    }
    std::vector<Event> log;
    bool cancelOnCheck = false;
};

TEST(Progress, RootValuesAndSignals) {
    Progress p;
    EXPECT_EQ(p.get(), 0.0);
    EXPECT_STREQ(p.getCaption(), "");
    Listener l(p);
    EXPECT_FALSE(p.cancelled());
    p.set(1.5);
    EXPECT_EQ(p.get(), 1.0);
    p.set(1.0);  // no change still tells the listeners
    p.set(-0.5);
    EXPECT_EQ(p.get(), -0.5);
    p.setCaption("copying");
    EXPECT_STREQ(p.getCaption(), "copying");
    EXPECT_EQ(l.kinds(), "kuuuc");
    for (const auto& e : l.log) EXPECT_EQ(e.from, &p);

    // A listener that cancels: true from then on, without asking again.
    l.cancelOnCheck = true;
    EXPECT_TRUE(p.cancelled());
    EXPECT_TRUE(p.cancelled());
    EXPECT_EQ(l.kinds(), "kuuuck");
}

TEST(Progress, SubPhasesScaleIntoTheParent) {
    Progress p;
    Listener l(p);
    {
        Progress s;
        p.subPhase(0.25, s);
        s.set(0.5);
        EXPECT_EQ(p.get(), 0.125);
        EXPECT_EQ(s.get(), 0.125);  // a sub-phase reads the overall value
        s.setCaption("step");
        EXPECT_STREQ(p.getCaption(), "step");
    }
    EXPECT_EQ(p.get(), 0.25);  // finishing fills the share
    {
        Progress s;
        p.subPhase(0.75, s);
        s.set(0.5);
        EXPECT_EQ(p.get(), 0.625);
    }
    EXPECT_EQ(p.get(), 1.0);
    // Every emission carries the root's object, whoever reported.
    EXPECT_EQ(l.kinds(), "ucuuu");
    for (const auto& e : l.log) EXPECT_EQ(e.from, &p);
}

TEST(Progress, NestedPhasesMultiplyAndClamp) {
    Progress p;
    Progress outer, inner;
    p.subPhase(0.4, outer);
    outer.subPhase(0.5, inner);
    inner.set(1.0);
    EXPECT_DOUBLE_EQ(p.get(), 0.2);
    inner.set(0.5);  // back down: the change is negative
    EXPECT_DOUBLE_EQ(p.get(), 0.1);
    // A value past 1 is clamped where it is stored, not in the change
    // passed up: inner 1.0, outer 0.25 + 0.75 = 1.0, root 0.1 + 0.3.
    inner.set(2.0);
    EXPECT_DOUBLE_EQ(p.get(), 0.4);
    outer.set(0.5);  // outer goes from 1.0 to 0.5: root moves by -0.2
    EXPECT_DOUBLE_EQ(p.get(), 0.2);
    // Rebinding finishes the phase first: inner fills up to 1.0 (already
    // there), then reports into the new parent.
    Progress other;
    other.subPhase(1.0, inner);
    inner.set(0.5);
    EXPECT_DOUBLE_EQ(other.get(), 0.5);
    EXPECT_DOUBLE_EQ(p.get(), 0.2);
}

TEST(Progress, BindingATreeAsASubPhaseEndsIt) {
    Progress p;
    Progress s;
    Listener own(s);
    p.subPhase(0.5, s);
    ASSERT_EQ(own.kinds(), "d");
    EXPECT_EQ(own.log[0].from, &s);
    s.set(1.0);
    EXPECT_EQ(p.get(), 0.5);
    EXPECT_EQ(own.kinds(), "d");  // its old listeners hear nothing more
}

TEST(Progress, RootGoneFirst) {
    auto* p = new Progress;
    Listener l(*p);
    Progress s;
    p->subPhase(0.5, s);
    delete p;
    EXPECT_EQ(l.kinds(), "d");
    // The tree above has finished: no value is pushed, and with the root's
    // object gone nothing is emitted (which would carry a dead object).
    s.set(0.5);
    EXPECT_EQ(l.kinds(), "d");
}

// --- idle tasks -----------------------------------------------------------------

struct Task : qxUtil::IdleTask {
    Task(std::string n, std::string& log, int steps = 1000) : name(std::move(n)), log(log), steps(steps) {}
    ~Task() override { log += "~" + name; }
    void run() override {
        log += name;
        if (action) action();
        if (--steps == 0) setFinished();
    }
    std::string name;
    std::string& log;
    int steps;
    std::function<void()> action;
};

struct Registry : testing::Test {
    void SetUp() override {
        conn = qxUtil::getIdleTasks().sigChanged.connect([this] {
            log += qxUtil::getIdleTasks().hasTasks() ? "+" : "-";
        });
    }
    void TearDown() override {
        qxUtil::getIdleTasks().sigChanged.disconnect(conn);
        EXPECT_FALSE(qxUtil::getIdleTasks().hasTasks());
    }
    qxRTB::SignalBase::connectionItem* conn = nullptr;
    std::string log;
};

TEST_F(Registry, TurnsAndTheCursor) {
    qxUtil::IdleTasks& r = qxUtil::getIdleTasks();
    r.runNext();  // nothing to do
    qx::Reference<Task> a(new Task("A", log)), b(new Task("B", log)), c(new Task("C", log));
    r.add(a);
    r.add(a);
    r.add(b);
    r.add(c);
    EXPECT_EQ(a->refs(), 3);  // the caller's, the list's and the index's
    for (int i = 0; i < 4; ++i) r.runNext();
    EXPECT_EQ(log, "+ABCA");
    // The cursor is on B: removing B makes C next.
    r.remove(b);
    r.remove(b);
    r.runNext();
    EXPECT_EQ(log, "+ABCAC");
    r.remove(a);
    r.remove(c);
    EXPECT_EQ(log, "+ABCAC-");
    EXPECT_EQ(a->refs(), 1);
}

TEST_F(Registry, FinishingAndRemovingFromInsideAStep) {
    qxUtil::IdleTasks& r = qxUtil::getIdleTasks();
    {
        qx::Reference<Task> a(new Task("A", log, 2)), b(new Task("B", log)), c(new Task("C", log));
        r.add(a);
        r.add(b);
        r.add(c);
        // B removes itself and C during its step.
        b->action = [&r, self = b.get(), other = c.get()] {
            r.remove(self);
            r.remove(other);
        };
    }  // the registry holds the only references now
    r.runNext();
    r.runNext();
    EXPECT_EQ(log, "+AB~C~B");
    r.runNext();  // A's second and last step: finished, dropped and deleted
    EXPECT_EQ(log, "+AB~C~BA-~A");
    EXPECT_FALSE(r.hasTasks());
}

}  // namespace
