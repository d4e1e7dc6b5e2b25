// Helpers of the TCP tests: a connected pair on loopback, and whether IPv6
// loopback works here.
#ifndef QXBASE_TESTS_TCP_TCP_TEST_UTIL_H
#define QXBASE_TESTS_TCP_TCP_TEST_UTIL_H

#include "tcp/qxTcpServer.h"
#include "tcp/qxTcpSocket.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace tcptest {

using qxString::CString;
using qxString::IString;
using qxTCP::Address;
using qxUtil::Error;
using qxUtil::Interval;

// A zero interval: accept and wait block as long as it takes.
inline Interval forever() {
    return Interval();
}

inline std::string text(const IString& s) {
    return s.asUTF8();
}

// A client connected to a loopback server, and the server's side of it.
struct Pair {
    qxTCP::Server server{-1, 16};
    std::unique_ptr<qxTCP::ClientSocket> client;
    std::unique_ptr<qxTCP::Socket> peer;

    explicit Pair(const IString& host = IString(QX_W("127.0.0.1"))) {
        server.setLoopbackOnly();
        const Error listened = server.listen();
        EXPECT_FALSE(listened) << listened.message();
        client = std::make_unique<qxTCP::ClientSocket>(Address(host, server.getPort()));
        const Error connected = client->connect();
        EXPECT_FALSE(connected) << connected.message();
        // The connection is complete in the backlog: this does not wait.
        qx::pair<qxTCP::Socket*, Error> r = server.accept(forever());
        EXPECT_FALSE(r.second) << r.second.message();
        peer.reset(r.first);
    }
    bool ok() const {
        return client && peer && client->getImpl()->handle != qxTCP::kInvalidSocketHandle;
    }
};

// Whether a server can listen on ::1 here (the tests that need it skip
// otherwise, and say so).
inline bool haveIPv6Loopback() {
    if (!qxTCP::isIPv6Usable()) return false;
    qxTCP::Server probe;
    probe.setLoopbackOnly();
    if (probe.listen()) return false;
    const qxTCP::SocketImpl* v6 = probe.getListeningSocketImplIPv6();
    return v6 && v6->handle != qxTCP::kInvalidSocketHandle;
}

}  // namespace tcptest

#define QX_REQUIRE_IPV6()                                                          \
    do {                                                                           \
        if (!tcptest::haveIPv6Loopback()) GTEST_SKIP() << "no IPv6 loopback here"; \
    } while (0)

#endif
