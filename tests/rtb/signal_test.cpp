#include "qxbase.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using qxRTB::Connection;
using qxRTB::SignalArg;
using Log = std::vector<std::string>;

Log g_log;  // what the connections under test did, in order

Log take() {
    return std::exchange(g_log, {});
}

// Logs its name when called, then runs its action; logs "~name" when the
// connection holding it is freed.
struct Probe {
    std::string name;
    std::function<void()> action;
    std::shared_ptr<int> last = std::make_shared<int>();  // copies share it

    void operator()(int) const {
        g_log.push_back(name);
        if (action) action();
    }
    ~Probe() {
        if (last.use_count() == 1) g_log.push_back("~" + name);
    }
};

Connection* probe(const SignalArg<int>& s, std::string name, std::function<void()> action = {}) {
    return s.connect(Probe{std::move(name), std::move(action)});
}

void plain(int v) {
    g_log.push_back("plain " + std::to_string(v));
}
void plainVoid() {
    g_log.push_back("void");
}

struct Receiver : qxRTB::SignalClient {
    int sum = 0;
    void add(int v) { sum += v; }
    void three(const char* s, int a, double b) const {
        g_log.push_back(s + std::to_string(a) + std::to_string(static_cast<int>(b)));
    }
};

class Signal : public ::testing::Test {
protected:
    void SetUp() override { g_log.clear(); }  // the last test's destructors wrote to it
};

TEST_F(Signal, CallsNewestFirstWithTheArguments) {
    SignalArg<int> s;
    Receiver r;
    s.connect(&plain);
    s.connect(&r, &Receiver::add);
    bool once = true;
    probe(s, "C", [&] {
        if (std::exchange(once, false)) probe(s, "new");  // not called by this run
    });
    s.emit(5);
    s(2);
    EXPECT_EQ(take(), (Log{"C", "plain 5", "new", "C", "plain 2"}));
    EXPECT_EQ(r.sum, 7);

    qxRTB::SignalVoid v;
    Connection* g = v.connect(&plainVoid);
    EXPECT_EQ(v.findGlobalCallback(&plainVoid), g);
    v();
    qxRTB::Signal2Args<int, std::string&> two;
    two.connect([](int n, std::string& out) { out.append(static_cast<size_t>(n), 'x'); });
    std::string out;
    two.emit(3, out);
    EXPECT_EQ(out, "xxx");
    qxRTB::Signal3Args<const char*, int, double> three;
    const Receiver& cr = r;
    three.connect(&cr, &Receiver::three);  // a const member of a const client
    three("a", 1, 2.5);
    EXPECT_EQ(take(), (Log{"void", "a12"}));
    EXPECT_EQ(r.numConnections(), 2);
}

TEST_F(Signal, ChangesDuringARun) {
    SignalArg<int> s;
    Connection* self = nullptr;
    Connection* a = probe(s, "A");
    Connection* b = probe(s, "B");
    self = probe(s, "self", [&] {
        s.disconnect(self);  // counted until the run leaves it
        g_log.push_back(std::to_string(s.numConnections()));
    });
    probe(s, "D", [&] { s.disconnect(std::exchange(b, nullptr)); });  // the one after next
    s.emit(0);
    EXPECT_EQ(take(), (Log{"D", "~B", "self", "3", "~self", "A"}));

    bool stop = true;
    probe(s, "E", [&] {
        if (std::exchange(stop, false)) {
            s.block();  // stops the rest of this run
            s.block();
        }
    });
    s.emit(0);
    s.unblock();
    EXPECT_TRUE(s.isBlocked());  // blocks nest
    s.emit(0);
    s.unblock();
    s.block(a);
    s.block(a);
    s.unblock(a);
    EXPECT_TRUE(s.isBlocked(a));
    s.emit(0);
    s.unblock(a);
    s.emit(0);
    EXPECT_EQ(take(), (Log{"E", "E", "D", "E", "D", "A"}));

    // Handles of another signal, or none: blocked, and left alone.
    SignalArg<int> other;
    Connection* foreign = probe(other, "F");
    EXPECT_TRUE(s.isBlocked(foreign));
    EXPECT_TRUE(s.isBlocked(nullptr));
    s.disconnect(foreign);
    s.disconnect(nullptr);
    s.block(foreign);
    EXPECT_FALSE(other.isBlocked(foreign));
    EXPECT_EQ(other.numConnections(), 1);
    EXPECT_EQ(s.numConnections(), 3);
}

TEST_F(Signal, ClientsAndSignalsTearDownBothHalves) {
    auto s1 = std::make_unique<SignalArg<int>>();
    SignalArg<int> s2;
    {
        Receiver r;
        s1->connect(&r, &Receiver::add);
        s2.connect(&r, &Receiver::add);
        s2.connect(r, [](int v) { g_log.push_back("tied " + std::to_string(v)); });
        probe(s2, "free");
        EXPECT_EQ(r.numConnections(), 3);
        EXPECT_FALSE(Receiver(r).isConnected());  // connections are not copied
        s1.reset();
        EXPECT_EQ(r.numConnections(), 2);
        s2.emit(2);
        EXPECT_EQ(r.sum, 2);
    }
    s2.emit(3);
    EXPECT_EQ(take(), (Log{"free", "tied 2", "free"}));
    EXPECT_EQ(s2.numConnections(), 1);

    // Clients destroyed by their own callbacks; the run goes on.
    struct SelfDeleting : qxRTB::SignalClient {
        void go(int) { delete this; }
    };
    s2.connect(new SelfDeleting, &SelfDeleting::go);
    s2.connect(new SelfDeleting, &SelfDeleting::go);
    s2.emit(4);
    EXPECT_EQ(take(), (Log{"free"}));
    EXPECT_EQ(s2.numConnections(), 1);
}

TEST_F(Signal, DestroyingTheSignalInANestedRun) {
    auto s = std::make_unique<SignalArg<int>>();
    Receiver r;
    s->connect(&r, &Receiver::add);
    probe(*s, "never");
    probe(*s, "nest", [&] { s->emit(0); });
    int calls = 0;
    probe(*s, "kill", [&] {
        if (++calls == 2) s.reset();  // both runs end; their items go as they leave
    });
    s->emit(0);
    EXPECT_EQ(take(), (Log{"kill", "nest", "kill", "~never", "~kill", "~nest"}));
    EXPECT_FALSE(r.isConnected());
}

// Runs an action when it is freed: a walk over the list that frees it must
// then still find the next item alive.
struct Dying final : qxRTB::FunctionArg<int> {
    Dying(std::function<void()> onCall, std::function<void()> onDeath, void* object = nullptr)
        : onCall(std::move(onCall)), onDeath(std::move(onDeath)), object(object) {}
    void call(int) override {
        if (onCall) onCall();
    }
    bool isInstance(void* o) override { return o == object; }
    ~Dying() override { onDeath(); }
    std::function<void()> onCall, onDeath;
    void* object;
};

TEST_F(Signal, AFreedCallableMayRemoveTheNextConnection) {
    SignalArg<int> s;  // an emission leaving an item that removed itself
    probe(s, "tail");
    Connection* mid = probe(s, "mid");
    Connection* self = nullptr;
    self = s.addCallback(new Dying([&] { s.disconnect(self); }, [&] { s.disconnect(mid); }));
    s.emit(0);
    EXPECT_EQ(take(), (Log{"~mid", "tail"}));

    SignalArg<int> t;  // disconnectInstance freeing the bound item
    int object = 0;
    Connection* victim = probe(t, "victim");
    t.addCallback(new Dying(
        {}, [&] { t.disconnect(victim); }, &object));
    t.disconnectInstance(&object);
    EXPECT_EQ(take(), (Log{"~victim"}));
    EXPECT_FALSE(t.isConnected());

    // A signal's teardown freeing an item whose callable destroys the client
    // of the next one.
    auto u = std::make_unique<SignalArg<int>>();
    probe(*u, "last");
    Receiver* client = new Receiver;
    u->connect(client, &Receiver::add);
    u->addCallback(new Dying({}, [client] { delete client; }));
    u.reset();
    EXPECT_EQ(take(), (Log{"~last"}));
}

SignalArg<int>* g_signal = nullptr;

void removesItself(int) {
    Connection* me = g_signal->findGlobalCallback(&removesItself);
    g_signal->disconnect(me);
    EXPECT_EQ(g_signal->findGlobalCallback(&removesItself), me);  // pending, still found
    g_log.push_back("global");
}

struct Finder : qxRTB::SignalClient {
    SignalArg<int>* s = nullptr;
    void removeOne(int) {
        s->disconnect(s->findInstance(this));
        EXPECT_EQ(s->findInstance(this), nullptr);  // pending: skipped
        g_log.push_back("member");
    }
    void removeAll(int) {
        s->disconnectInstance(this);
        g_log.push_back("all");
    }
};

TEST_F(Signal, FindingAndRemovingByObjectOrFunction) {
    SignalArg<int> s;
    g_signal = &s;
    Receiver r;
    Finder f;
    f.s = &s;
    Connection* g = s.connect(&plain);
    Connection* first = s.connect(&r, &Receiver::add);
    EXPECT_EQ(s.findInstance(&r), first);
    Connection* second = s.connect(&r, &Receiver::add);
    EXPECT_EQ(s.findInstance(&r), second);
    EXPECT_EQ(s.findInstance(&f), nullptr);
    EXPECT_EQ(s.findGlobalCallback(&plain), g);
    EXPECT_EQ(s.findGlobalCallback(&removesItself), nullptr);
    s.connect(&removesItself);
    s.connect(&f, &Finder::removeOne);
    s.emit(1);
    EXPECT_EQ(take(), (Log{"member", "global", "plain 1"}));
    EXPECT_EQ(s.numConnections(), 3);
    EXPECT_FALSE(f.isConnected());

    // Every connection of one object, from one of them or another callback.
    s.connect(&f, &Finder::removeAll);
    s.connect(&f, &Finder::removeAll);
    s.connect([&](int) { s.disconnectInstance(&r); });
    s.emit(1);
    EXPECT_EQ(take(), (Log{"all", "plain 1"}));
    EXPECT_EQ(r.sum, 2);
    EXPECT_EQ(r.numConnections() + f.numConnections(), 0);
    EXPECT_EQ(s.numConnections(), 2);
}

TEST_F(Signal, PointerSignals) {
    static_assert(
        std::is_same<qxUtil::PointerSignal, qxRTB::Signal3Args<const char*, void*, int>>::value);
    qxUtil::PointerSignal* all[] = {
        &qxUtil::getPointerAcquireSignal(), &qxUtil::getPointerReleaseSignal(),
        &qxUtil::getPointerInitSignal(), &qxUtil::getPointerDeleteSignal()};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(all[i]->isConnected());  // the library connects nothing
        for (int j = 0; j < i; ++j) EXPECT_NE(all[i], all[j]);
    }
    int seen = 0;
    Connection* c = all[1]->connect([&](const char* what, void* p, int n) {
        if (std::string(what) == "block" && p == &seen) seen = n;
    });
    qxUtil::getPointerReleaseSignal().emit("block", &seen, 7);
    EXPECT_EQ(seen, 7);
    all[1]->disconnect(c);
}

}  // namespace
