// qxTCP::Server and the readiness waits.
#include "tcp/qxTcpServer.h"

#include "os/sys/qxSysSocket.h"
#include "tcp_test_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace tcptest;
using qxTCP::Server;
using qxTCP::Socket;

int boundPort(const qxTCP::SocketImpl* impl, bool ipv6) {
    int port = -1;
    if (!impl || impl->handle == qxTCP::kInvalidSocketHandle) return -1;
    EXPECT_EQ(0, qx::sys::boundPort(impl->handle, ipv6, &port));
    return port;
}

std::string boundAddress(const qxTCP::SocketImpl* impl) {
    char text[64] = "";
    int port = 0;
    EXPECT_EQ(0, qx::sys::addressIPv4(impl->handle, false, text, sizeof text, &port));
    return text;
}

TEST(Server, AcceptTimesOutWithANullSocketAndSuccess) {
    Server server;
    EXPECT_EQ(-1, server.getPort());
    EXPECT_EQ(nullptr, server.getListeningSocketImplIPv4());
    // accept listens first.
    const qx::pair<Socket*, Error> r = server.accept(Interval(0.01));
    EXPECT_EQ(nullptr, r.first);
    EXPECT_FALSE(r.second) << r.second.message();
    const int port = server.getPort();
    EXPECT_GT(port, 0);
    // IPv4 and IPv6 on the same port (whichever families exist here).
    EXPECT_EQ(port, boundPort(server.getListeningSocketImplIPv4(), false));
    const int v6 = boundPort(server.getListeningSocketImplIPv6(), true);
    if (v6 != -1) {
        EXPECT_EQ(port, v6);
    }
    // Not loopback-only: the any-address.
    EXPECT_EQ("0.0.0.0", boundAddress(server.getListeningSocketImplIPv4()));

    Socket* s = reinterpret_cast<Socket*>(&server);
    EXPECT_FALSE(server.accept(&s, Interval(0.01)));
    EXPECT_EQ(nullptr, s);
}

TEST(Server, LoopbackOnlyBindsTheLoopbackAddresses) {
    Server server;
    server.setLoopbackOnly();
    ASSERT_FALSE(server.listen());
    EXPECT_EQ("127.0.0.1", boundAddress(server.getListeningSocketImplIPv4()));
    qxTCP::ClientSocket v4(Address(Address::localhost, server.getPort()));
    ASSERT_FALSE(v4.connect());
    std::unique_ptr<Socket> a(server.accept(forever()).first);
    EXPECT_TRUE(a);
    if (!haveIPv6Loopback()) return;
    qxTCP::ClientSocket v6(Address(Address::localhostV6, server.getPort()));
    ASSERT_FALSE(v6.connect());
    std::unique_ptr<Socket> b(server.accept(forever()).first);
    EXPECT_TRUE(b);
}

TEST(Server, APortInUseGivesErrorThree) {
    Server first;
    first.setLoopbackOnly();
    ASSERT_FALSE(first.listen());
    Server second(first.getPort(), 4);
    second.setLoopbackOnly();
    const Error e = second.listen();
    EXPECT_EQ(3, e.num()) << e.message();
    EXPECT_EQ(0, std::strncmp("bind() failed: ", e.message(), 15)) << e.message();
    // A failed listen leaves nothing listening; accept tries again.
    EXPECT_EQ(nullptr, second.getListeningSocketImplIPv4());
    EXPECT_EQ(3, second.accept(Interval(0.01)).second.num());
    // Once the port is free, the second server gets it.
    first.shutdown();
    ASSERT_FALSE(second.listen());
    EXPECT_EQ(first.getPort(), second.getPort());
}

TEST(Server, AZeroTimeoutWaitsForTheClient) {
    Server server(-1, 4);
    server.setLoopbackOnly();
    ASSERT_FALSE(server.listen());
    const int port = server.getPort();
    EXPECT_FALSE(server.connectionPending());
    Error clientError;
    std::thread client([port, &clientError] {
        qxTCP::ClientSocket c(Address(Address::localhost, port));
        clientError = c.connect();
        if (!clientError) clientError = c.write("from the thread");
        CString done;
        c.read(done);  // until the server closes
    });
    qx::pair<Socket*, Error> r = server.accept(forever());
    EXPECT_FALSE(server.connectionPending());
    ASSERT_NE(nullptr, r.first) << r.second.message();
    std::unique_ptr<Socket> s(r.first);
    CString got;
    EXPECT_FALSE(s->read(got));
    EXPECT_STREQ("from the thread", got.c_str());
    s.reset();
    client.join();
    EXPECT_FALSE(clientError) << clientError.message();

    // After shutdown the next accept listens again, on the same port.
    server.shutdown();
    EXPECT_EQ(nullptr, server.getListeningSocketImplIPv4());
    EXPECT_EQ(nullptr, server.accept(Interval(0.01)).first);
    EXPECT_EQ(port, server.getPort());
    EXPECT_NE(nullptr, server.getListeningSocketImplIPv4());
}

TEST(WaitReadable, ReportsTheSocketsWithData) {
    Pair p, q;
    ASSERT_TRUE(p.ok() && q.ok());
    qxTCP::WaitReadable set;
    set.add(*p.client);
    set.add(*q.client);
    // Nothing there: the time runs out and nothing is readable.
    EXPECT_FALSE(set.wait(Interval(0.01)));
    EXPECT_FALSE(set.isReadable(*p.client));
    EXPECT_FALSE(set.isReadable(*q.client));

    ASSERT_FALSE(q.peer->write("data"));
    set.reset();
    set.add(*p.client);
    set.add(*q.client);
    set.add(*q.client);  // once only
    ASSERT_FALSE(set.wait(forever()));
    EXPECT_FALSE(set.isReadable(*p.client));
    EXPECT_TRUE(set.isReadable(*q.client));

    // A copy is a view of the same set.
    qxTCP::WaitReadable view(set);
    EXPECT_TRUE(view.isReadable(*q.client));
    view.reset();
    EXPECT_FALSE(set.isReadable(*q.client));

    // An empty set cannot be waited on.
    EXPECT_EQ(1, set.wait(Interval(0.01)).num());
}

TEST(WaitReadable, ServersAreReadableWhenAClientWaits) {
    Server server(-1, 4);
    server.setLoopbackOnly();
    ASSERT_FALSE(server.listen());
    qxTCP::WaitReadable set;
    set.add(server);
    ASSERT_FALSE(set.wait(Interval(0.01)));
    EXPECT_FALSE(set.isReadable(server));
    qxTCP::ClientSocket c(Address(Address::localhost, server.getPort()));
    ASSERT_FALSE(c.connect());
    set.reset();
    set.add(server);
    ASSERT_FALSE(set.wait(forever()));
    EXPECT_TRUE(set.isReadable(server));
    EXPECT_FALSE(server.connectionPending());
    std::unique_ptr<Socket> s(server.accept(forever()).first);
    EXPECT_TRUE(s);
}

TEST(WaitReadable, KeepsTheFirst64Sockets) {
    Server server(-1, 128);
    server.setLoopbackOnly();
    ASSERT_FALSE(server.listen());
    std::vector<std::unique_ptr<qxTCP::ClientSocket>> clients;
    std::vector<std::unique_ptr<Socket>> peers;
    for (int i = 0; i < 70; ++i) {
        clients.push_back(
            std::make_unique<qxTCP::ClientSocket>(Address(Address::localhost, server.getPort())));
        ASSERT_FALSE(clients.back()->connect());
        peers.emplace_back(server.accept(forever()).first);
        ASSERT_TRUE(peers.back());
        ASSERT_FALSE(peers.back()->write("x"));
    }
    for (auto& c : clients) ASSERT_TRUE(c->dataAvailable());  // every one has its byte

    qxTCP::WaitReadable set;
    qx::vector<Socket*> all;
    for (auto& c : clients) {
        set.add(*c);
        all.push_back(c.get());
    }
    ASSERT_FALSE(set.wait(forever()));
    for (int i = 0; i < 70; ++i) EXPECT_EQ(i < 64, set.isReadable(*clients[i])) << i;

    qx::vector<Socket*> readable;
    ASSERT_FALSE(qxTCP::waitReadable(all, readable, forever()));
    ASSERT_EQ(64, readable.size());
    EXPECT_EQ(clients[63].get(), readable[63]);
}

TEST(WaitReadable, TheFunctionAppendsInTheOrderGiven) {
    Pair p, q;
    ASSERT_TRUE(p.ok() && q.ok());
    ASSERT_FALSE(q.peer->write("ready"));
    qx::vector<Socket*> sockets;
    sockets.push_back(p.client.get());
    sockets.push_back(q.client.get());
    sockets.push_back(nullptr);
    sockets.push_back(q.client.get());
    qx::vector<Socket*> readable;
    readable.push_back(p.peer.get());  // kept
    ASSERT_FALSE(qxTCP::waitReadable(sockets, readable, forever()));
    ASSERT_EQ(3, readable.size());
    EXPECT_EQ(p.peer.get(), readable[0]);
    EXPECT_EQ(q.client.get(), readable[1]);
    EXPECT_EQ(q.client.get(), readable[2]);

    // Nothing ready: the time runs out, nothing is added.
    readable.clear();
    qx::vector<Socket*> idle;
    idle.push_back(p.client.get());
    EXPECT_FALSE(qxTCP::waitReadable(idle, readable, Interval(0.01)));
    EXPECT_TRUE(readable.empty());

    // A socket without a handle makes the wait fail.
    qxTCP::ClientSocket none(Address(Address::localhost, 1));
    idle.push_back(&none);
    const Error e = qxTCP::waitReadable(idle, readable, Interval(0.01));
    EXPECT_EQ(1, e.num());
    EXPECT_STREQ("select() failed", e.message());
}

}  // namespace
