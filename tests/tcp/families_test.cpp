// The socket layer limited to one family by QX_IPV6_ONLY or QX_IPV4_ONLY.
// Built twice, with QX_TEST_ONLY_FAMILY 6 or 4: the start-up reads the
// variable once per process.
#include "tcp/qxTcpServer.h"

#include "env_var.h"
#include "tcp_test_util.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace {

using namespace tcptest;

constexpr bool kIPv6Only = QX_TEST_ONLY_FAMILY == 6;

// Set before anything starts the socket layer, and kept for the process.
void limitFamilies() {
    static EnvVar s_only(kIPv6Only ? "QX_IPV6_ONLY" : "QX_IPV4_ONLY", "1");
}

TEST(Families, OnlyTheChosenFamilyIsUsed) {
    limitFamilies();
    if (kIPv6Only) {
        // Without IPv6 the variable cannot take IPv4 away.
        if (!qxTCP::isIPv6Usable()) GTEST_SKIP() << "no IPv6 here";
        EXPECT_FALSE(qxTCP::isIPv4Usable());
    } else {
        EXPECT_TRUE(qxTCP::isIPv4Usable());
        EXPECT_FALSE(qxTCP::isIPv6Usable());
    }

    qxTCP::Server server(-1, 4);
    server.setLoopbackOnly();
    const Error listened = server.listen();
    if (kIPv6Only && listened) GTEST_SKIP() << "no IPv6 loopback here";
    ASSERT_FALSE(listened) << listened.message();
    EXPECT_GT(server.getPort(), 0);
    const qxTCP::SocketImpl* v4 = server.getListeningSocketImplIPv4();
    const qxTCP::SocketImpl* v6 = server.getListeningSocketImplIPv6();
    EXPECT_EQ(kIPv6Only, v6 && v6->handle != qxTCP::kInvalidSocketHandle);
    EXPECT_EQ(!kIPv6Only, v4 && v4->handle != qxTCP::kInvalidSocketHandle);

    // 127.0.0.1 reaches the server either way: with IPv6 alone through ::1.
    qxTCP::ClientSocket loop(Address(Address::localhost, server.getPort()));
    ASSERT_FALSE(loop.connect());
    std::unique_ptr<qxTCP::Socket> peer(server.accept(forever()).first);
    ASSERT_TRUE(peer);
    ASSERT_FALSE(loop.write("one family"));
    CString got;
    ASSERT_FALSE(peer->read(got));
    EXPECT_STREQ("one family", got.c_str());
    // The local end is IPv6 (no IPv4 address to give) or IPv4.
    EXPECT_EQ(kIPv6Only ? 1 : 0, loop.localAddress().second.num());

    if (kIPv6Only) {
        // A name has no candidate at all.
        qxTCP::ClientSocket named(Address(IString(QX_W("localhost")), server.getPort()));
        const Error e = named.connect();
        EXPECT_EQ(2, e.num());
        EXPECT_STREQ("connect() failed: No useable protocol families found.", e.message());
    }
}

}  // namespace
