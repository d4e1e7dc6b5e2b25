// 200 clients at once, 1,000 messages each, through one server: every
// message arrives once, whole and in order, and comes back the same.
#include "tcp/qxTcpServer.h"

#include "tcp_test_util.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tcptest;

constexpr int kClients = 200;
constexpr int kMessages = 1000;
// A set holds at most 64 sockets: the server's side is served by several
// threads, each waiting on its share.
constexpr int kThreads = 4;
constexpr int kPerThread = kClients / kThreads;

// Message m of client c: "c:m:" and then a filler that depends on both,
// 0 to 2999 bytes of it.
std::string message(int c, int m) {
    char head[32];
    std::snprintf(head, sizeof head, "%d:%d:", c, m);
    std::string s = head;
    const int filler = (c * 7919 + m * 104729) % 3000;
    for (int i = 0; i < filler; ++i) s += static_cast<char>('a' + (c + m + i) % 26);
    return s;
}

struct Counters {
    std::atomic<int> echoed{0};
    std::atomic<int> received{0};
    std::atomic<int> faults{0};
    std::atomic<int> closed{0};
};

// Serves its share of connections: each message must be the next of its
// client, whole; it goes back unchanged.
void serve(std::vector<std::unique_ptr<qxTCP::Socket>> sockets, Counters& n) {
    std::vector<int> clientOf(sockets.size(), -1), next(sockets.size(), 0);
    size_t open = sockets.size();
    while (open > 0) {
        qxTCP::WaitReadable set;
        for (auto& s : sockets)
            if (s) set.add(*s);
        // A wait this long means the exchange is stuck: stop, and fail.
        if (set.wait(Interval(60.0))) break;
        bool any = false;
        for (size_t i = 0; i < sockets.size(); ++i) {
            if (!sockets[i] || !set.isReadable(*sockets[i])) continue;
            any = true;
            CString got;
            const Error e = sockets[i]->read(got);
            if (e) {
                if (e.num() != 4 || next[i] != kMessages) ++n.faults;
                sockets[i].reset();
                --open;
                ++n.closed;
                continue;
            }
            int c = -1, m = -1;
            if (std::sscanf(got.c_str(), "%d:%d:", &c, &m) != 2 ||
                (clientOf[i] != -1 && c != clientOf[i]) || m != next[i] ||
                message(c, m) != got.c_str()) {
                ++n.faults;
            }
            clientOf[i] = c;
            ++next[i];
            ++n.received;
            if (sockets[i]->write(got)) ++n.faults;
        }
        if (!any) break;
    }
    if (open > 0) ++n.faults;
}

// Drives its share of clients in lockstep: message m to each, then each
// echo back.
void drive(int first, int port, Counters& n) {
    std::vector<std::unique_ptr<qxTCP::ClientSocket>> clients;
    for (int c = first; c < first + kPerThread; ++c) {
        clients.push_back(std::make_unique<qxTCP::ClientSocket>(Address(Address::localhost, port)));
        if (clients.back()->connect() || clients.back()->setNoDelay(true)) {
            ++n.faults;
            return;
        }
    }
    for (int m = 0; m < kMessages; ++m) {
        for (int k = 0; k < kPerThread; ++k)
            if (clients[k]->write(CString(message(first + k, m).c_str()))) ++n.faults;
        for (int k = 0; k < kPerThread; ++k) {
            CString back;
            if (clients[k]->read(back) || message(first + k, m) != back.c_str())
                ++n.faults;
            else
                ++n.echoed;
        }
        if (n.faults) return;
    }
}

TEST(Load, TwoHundredClientsAThousandMessagesEach) {
    qxTCP::Server server(-1, kClients);
    server.setLoopbackOnly();
    ASSERT_FALSE(server.listen());
    Counters n;
    std::vector<std::thread> drivers;
    for (int t = 0; t < kThreads; ++t)
        drivers.emplace_back(drive, t * kPerThread, server.getPort(), std::ref(n));

    std::vector<std::thread> servers;
    std::vector<std::unique_ptr<qxTCP::Socket>> share;
    for (int i = 0; i < kClients && !n.faults; ++i) {
        qx::pair<qxTCP::Socket*, Error> r = server.accept(Interval(60.0));
        if (!r.first) {
            ADD_FAILURE() << "accept: " << r.second.message();
            ++n.faults;
            break;
        }
        share.emplace_back(r.first);
        if (share.back()->setNoDelay(true)) ++n.faults;
        if (share.size() == kPerThread) {
            servers.emplace_back(serve, std::move(share), std::ref(n));
            share.clear();
        }
    }
    // Whatever came in is served; whatever did not is refused, so that no
    // driver waits for an answer that cannot come.
    if (!share.empty()) servers.emplace_back(serve, std::move(share), std::ref(n));
    server.shutdown();
    for (std::thread& t : drivers) t.join();
    for (std::thread& t : servers) t.join();
    EXPECT_EQ(0, n.faults.load());
    EXPECT_EQ(kClients * kMessages, n.received.load());
    EXPECT_EQ(kClients * kMessages, n.echoed.load());
    EXPECT_EQ(kClients, n.closed.load());
}

}  // namespace
