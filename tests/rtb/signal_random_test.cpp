// Random sequences of connecting, disconnecting, blocking, unblocking and
// destroying clients and signals, run at the top level and from inside
// callbacks (nested emissions included), against a model made of vectors of
// connection numbers. Both worlds log every call, every freed callable,
// every query's answer and, after each action, every list with its pending
// marks and block counts; the logs must agree entry for entry.
#include "qxbase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using qxRTB::Connection;
using Log = std::vector<std::string>;

constexpr int kSlots = 3;       // signals, clients and object tags
constexpr int kMaxDepth = 3;    // of nested emissions
constexpr int kMaxListed = 12;  // connections a signal may gather
char g_tags[kSlots];            // the objects connections may be bound to

enum Kind {
    Emit,
    Connect,
    Disconnect,
    BlockConn,
    UnblockConn,
    BlockSig,
    UnblockSig,
    KillSig,
    KillClient,
    DisconnectTag,
    Query,
    KindCount
};

struct Action {
    int kind, slot, client, tag;  // client and tag may be -1
    unsigned conn;
};

Action randomAction(std::mt19937& rng, bool topLevel) {
    // The top level emits and connects more, so that lists fill up between
    // the destructions.
    static const int inside[KindCount] = {3, 6, 6, 2, 2, 1, 3, 1, 1, 1, 4};
    static const int top[KindCount] = {12, 14, 6, 2, 2, 1, 3, 1, 1, 1, 4};
    const int* weights = topLevel ? top : inside;
    int r = static_cast<int>(rng() % (topLevel ? 47 : 30)), kind = 0;
    while (r >= weights[kind]) r -= weights[kind++];
    auto any = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    return Action{kind, any(kSlots), any(kSlots + 1) - 1, any(kSlots + 1) - 1,
                  static_cast<unsigned>(rng())};
}

// What connection k does on its n-th call: a function of the seed only, so
// both worlds run the same script as long as they agree.
std::vector<Action> script(std::uint64_t seed, int k, int n) {
    std::mt19937 rng(static_cast<std::uint32_t>(seed * 1000003u + k * 7919u + n));
    std::vector<Action> actions(rng() % 3);
    for (Action& a : actions) a = randomAction(rng, false);
    return actions;
}

// In a callback often the caller itself, else one of the 16 newest.
int pick(const Action& a, int count, int self) {
    if (count == 0) return -1;
    if (self >= 0 && a.conn % 4 == 0) return self;
    return count - 1 - static_cast<int>((a.conn >> 8) % static_cast<unsigned>(std::min(count, 16)));
}

// One action on either world. The connection it names may belong to another
// signal, or to no list any more while an emission still holds it.
template <class W>
void apply(W& w, const Action& a, int depth, int self) {
    const int s = a.slot, k = pick(a, w.count(), self);
    const bool usable = k >= 0 && !w.freed(k);  // the handle may be passed
    if (!w.alive(s)) return;
    switch (a.kind) {
        case Emit:
            if (depth < kMaxDepth) w.emit(s, depth + 1);
            break;
        case Connect:
            if (w.num(s) < kMaxListed) w.connect(s, a.client, a.tag);
            break;
        case Disconnect:
            if (usable) w.disconnect(s, k);
            break;
        case BlockConn:
        case UnblockConn:
            if (usable && (a.kind == BlockConn || w.isBlocked(s, k)))
                w.block(s, k, a.kind == BlockConn ? 1 : -1);
            break;
        case BlockSig:
        case UnblockSig:
            if (a.kind == BlockSig || w.sigBlocked(s)) w.blockSig(s, a.kind == BlockSig ? 1 : -1);
            break;
        case KillSig:
            w.killSig(s);
            break;
        case KillClient:
            if (a.client >= 0) w.killClient(a.client);
            break;
        case DisconnectTag:
            if (a.tag >= 0) w.disconnectTag(s, a.tag);
            break;
        case Query:
            w.log.push_back("query " + std::to_string(w.find(s, a.tag)) + " " +
                            std::to_string(w.num(s)) + " " +
                            std::to_string(usable ? w.isBlocked(s, k) : -1));
            break;
    }
}

template <class W>
void called(W& w, int k, int depth, int n) {
    w.log.push_back("call " + std::to_string(k) + " at " + std::to_string(depth));
    for (const Action& a : script(w.seed, k, n)) {
        apply(w, a, depth, k);
        w.log.push_back(w.dump());  // pending marks show only during a run
    }
}

// --- the library ------------------------------------------------------------------

struct Real;

struct Probe final : qxRTB::FunctionArg<int> {
    Probe(Real& w, int id, int tag) : w(w), id(id), tag(tag) {}
    void call(int depth) override;
    bool isInstance(void* object) override { return tag >= 0 && object == &g_tags[tag]; }
    ~Probe() override;
    Real& w;
    int id, tag, calls = 0;
};

struct TestSignal : qxRTB::SignalArg<int> {
    std::string dump() const {
        std::string out = "[" + std::to_string(blockCount) + "]";
        for (const Connection* c = head; c; c = c->next)
            out += " " + std::to_string(static_cast<const Probe*>(c->callback)->id) +
                   (c->destroyPending ? "p/" : "/") + std::to_string(c->blockCount);
        return out;
    }
};

struct Real {
    std::uint64_t seed = 0;
    Log log;
    std::unique_ptr<TestSignal> sigs[kSlots];
    std::unique_ptr<qxRTB::SignalClient> clients[kSlots];
    std::vector<Connection*> handles;
    std::vector<char> gone;

    int count() const { return static_cast<int>(handles.size()); }
    bool freed(int k) const { return gone[k]; }
    bool alive(int s) const { return sigs[s] != nullptr; }
    int num(int s) const { return sigs[s]->numConnections(); }
    void connect(int s, int c, int tag) {
        auto* f = new Probe(*this, count(), tag);
        gone.push_back(0);
        handles.push_back(c >= 0 && clients[c] ? sigs[s]->addCallback(f, *clients[c])
                                               : sigs[s]->addCallback(f));
    }
    void disconnect(int s, int k) { sigs[s]->disconnect(handles[k]); }
    void block(int s, int k, int by) {
        by > 0 ? sigs[s]->block(handles[k]) : sigs[s]->unblock(handles[k]);
    }
    bool isBlocked(int s, int k) { return sigs[s]->isBlocked(handles[k]); }
    void blockSig(int s, int by) { by > 0 ? sigs[s]->block() : sigs[s]->unblock(); }
    bool sigBlocked(int s) const { return sigs[s]->isBlocked(); }
    void killSig(int s) { sigs[s].reset(); }
    void killClient(int c) { clients[c].reset(); }
    void disconnectTag(int s, int tag) { sigs[s]->disconnectInstance(&g_tags[tag]); }
    int find(int s, int tag) {
        const Connection* c = tag >= 0 ? sigs[s]->findInstance(&g_tags[tag]) : nullptr;
        return c ? static_cast<const Probe*>(c->callback)->id : -1;
    }
    void emit(int s, int depth) { sigs[s]->emit(depth); }
    void revive() {
        for (int i = 0; i < kSlots; ++i) {
            if (!sigs[i]) sigs[i] = std::make_unique<TestSignal>();
            if (!clients[i]) clients[i] = std::make_unique<qxRTB::SignalClient>();
        }
    }
    std::string dump() const {
        std::string out;
        for (int i = 0; i < kSlots; ++i)
            out += (sigs[i] ? sigs[i]->dump() : "-") +
                   (clients[i] ? " c" + std::to_string(clients[i]->numConnections()) : " -") + "; ";
        return out;
    }
};

void Probe::call(int depth) {
    called(w, id, depth, calls++);
}
Probe::~Probe() {
    w.gone[id] = 1;
    w.log.push_back("free " + std::to_string(id));
}

// --- the model --------------------------------------------------------------------

struct Model {
    struct Conn {
        int sig, tag, client;  // client -1 once the client-side half is gone
        int lock = 0, block = 0, calls = 0;
        bool pending = false, listed = true, freed = false;
    };
    std::uint64_t seed = 0;
    Log log;
    bool sigAlive[kSlots] = {}, clientAlive[kSlots] = {};
    int sigBlock[kSlots] = {};
    std::vector<int> lists[kSlots], halves[kSlots];  // newest first
    std::vector<Conn> conns;

    int count() const { return static_cast<int>(conns.size()); }
    bool freed(int k) const { return conns[k].freed; }
    bool alive(int s) const { return sigAlive[s]; }
    int num(int s) const { return static_cast<int>(lists[s].size()); }
    bool listedIn(int s, int k) const { return conns[k].listed && conns[k].sig == s; }
    void connect(int s, int c, int tag) {
        const bool tied = c >= 0 && clientAlive[c];
        conns.push_back(Conn{s, tag, tied ? c : -1});
        if (tied) halves[c].insert(halves[c].begin(), count() - 1);
        lists[s].insert(lists[s].begin(), count() - 1);
    }
    void disconnect(int s, int k) {
        if (listedIn(s, k)) destroy(k);
    }
    void block(int s, int k, int by) {
        if (listedIn(s, k)) conns[k].block += by;
    }
    bool isBlocked(int s, int k) const { return !listedIn(s, k) || conns[k].block > 0; }
    void blockSig(int s, int by) { sigBlock[s] += by; }
    bool sigBlocked(int s) const { return sigBlock[s] > 0; }
    void killSig(int s) {
        if (!std::exchange(sigAlive[s], false)) return;
        sigBlock[s] = 0;
        for (int k : std::exchange(lists[s], {})) {
            conns[k].listed = false;
            destroy(k);
        }
    }
    void killClient(int c) {
        if (!std::exchange(clientAlive[c], false)) return;
        for (int k : std::exchange(halves[c], {})) {
            conns[k].client = -1;
            destroy(k);
        }
    }
    void disconnectTag(int s, int tag) {
        for (int k : std::vector<int>(lists[s]))
            if (conns[k].tag == tag) destroy(k);
    }
    int find(int s, int tag) const {
        for (int k : lists[s])
            if (tag >= 0 && !conns[k].pending && conns[k].tag == tag) return k;
        return -1;
    }
    void revive() {
        for (int i = 0; i < kSlots; ++i) sigAlive[i] = clientAlive[i] = true;
    }
    std::string dump() const {
        std::string out;
        for (int i = 0; i < kSlots; ++i) {
            out += sigAlive[i] ? "[" + std::to_string(sigBlock[i]) + "]" : "-";
            if (sigAlive[i])
                for (int k : lists[i])
                    out += " " + std::to_string(k) + (conns[k].pending ? "p/" : "/") +
                           std::to_string(conns[k].block);
            out += (clientAlive[i] ? " c" + std::to_string(halves[i].size()) : " -") + "; ";
        }
        return out;
    }

    // The client-side half goes first; a locked connection waits for its
    // last unlock.
    void destroy(int k) {
        Conn& c = conns[k];
        if (c.client >= 0) {
            auto& h = halves[std::exchange(c.client, -1)];
            h.erase(std::find(h.begin(), h.end(), k));
        }
        if (c.lock > 0) {
            c.pending = true;
            return;
        }
        if (c.listed) lists[c.sig].erase(std::find(lists[c.sig].begin(), lists[c.sig].end(), k));
        c.listed = false;
        c.freed = true;
        log.push_back("free " + std::to_string(k));
    }
    void unlock(int k) {
        if (--conns[k].lock == 0 && conns[k].pending) destroy(k);
    }
    void emit(int s, int depth) {
        if (lists[s].empty() || sigBlock[s] != 0) return;
        int k = lists[s].front();
        ++conns[k].lock;
        for (;;) {
            if (!conns[k].pending && conns[k].block == 0) called(*this, k, depth, conns[k].calls++);
            int next = -1;  // none either when k's signal is gone
            if (conns[k].listed) {
                auto at = std::find(lists[s].begin(), lists[s].end(), k) + 1;
                if (at != lists[s].end()) next = *at;
            }
            if (next >= 0) ++conns[next].lock;
            unlock(k);
            if (next < 0) return;
            k = next;
            if (sigBlock[s] != 0) return unlock(k);
        }
    }
};

template <class W>
Log run(std::uint64_t seed, int steps) {
    W w;
    w.seed = seed;
    std::mt19937 rng(static_cast<std::uint32_t>(seed));
    for (int i = 0; i < steps; ++i) {
        w.revive();  // every step starts with all signals and clients alive
        apply(w, randomAction(rng, true), 0, -1);
        w.log.push_back(w.dump());
    }
    for (int i = 0; i < kSlots; ++i) {
        w.killClient(i);
        w.killSig(i);
    }
    int left = 0;
    for (int k = 0; k < w.count(); ++k) left += !w.freed(k);
    w.log.push_back("left " + std::to_string(left));
    return std::move(w.log);
}

TEST(SignalRandom, AgreesWithTheModel) {
    std::size_t calls = 0, pending = 0;
    for (std::uint64_t seed = 1; seed <= 50; ++seed) {
        const Log real = run<Real>(seed, 500);
        const Log model = run<Model>(seed, 500);
        const auto diff = std::mismatch(real.begin(), real.end(), model.begin(), model.end());
        ASSERT_TRUE(diff.first == real.end() && diff.second == model.end())
            << "seed " << seed << ", entry " << (diff.first - real.begin()) << ": library \""
            << (diff.first != real.end() ? *diff.first : "(end)") << "\", model \""
            << (diff.second != model.end() ? *diff.second : "(end)") << "\"";
        ASSERT_EQ(real.back(), "left 0");
        for (const std::string& e : real) {
            calls += e.compare(0, 5, "call ") == 0;
            pending += e.find("p/") != std::string::npos;
        }
    }
    // The runs reached the states that matter.
    EXPECT_GT(calls, 10000u);
    EXPECT_GT(pending, 500u);
}

}  // namespace
