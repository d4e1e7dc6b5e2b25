// qxTCP::Socket and ClientSocket: messages, raw transfers, failures of the
// peer, closing, the C stream view and the addresses of a connection.
#include "tcp/qxTcpServer.h"
#include "tcp/qxTcpSocket.h"

#include "os/sys/qxSysSocket.h"
#include "tcp_test_util.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace tcptest;

// Reads exactly n raw bytes from s.
std::string readRaw(qxTCP::Socket& s, size_t n, Error* err = nullptr) {
    std::string bytes(n, '\0');
    size_t done = 0;
    const Error e = s.read(&bytes[0], n, &done);
    if (err) *err = e;
    bytes.resize(done);
    return bytes;
}

void writeRaw(qxTCP::Socket& s, const std::string& bytes) {
    size_t done = 0;
    const Error e = s.write(bytes.data(), bytes.size(), &done);
    ASSERT_FALSE(e) << e.message();
    ASSERT_EQ(bytes.size(), done);
}

TEST(Socket, MessagesRoundTripWithTheirLengthPrefix) {
    Pair p;
    ASSERT_TRUE(p.ok());
    qxTCP::Socket& a = *p.client;
    qxTCP::Socket& b = *p.peer;

    // The largest message goes out behind FF FF.
    const CString largest(65535u, 'x');
    ASSERT_FALSE(a.write(largest));
    EXPECT_EQ(std::string("\xFF\xFF"), readRaw(b, 2));
    EXPECT_EQ(std::string(65535, 'x'), readRaw(b, 65535));

    // One byte more is refused before anything is sent: the next message
    // is the first thing the peer sees.
    const Error tooLong = a.write(CString(65536u, 'y'));
    EXPECT_EQ(3, tooLong.num());
    EXPECT_STREQ("buffer passed to Socket::write() is too long", tooLong.message());
    ASSERT_FALSE(a.write("next"));
    EXPECT_EQ(std::string("\0\4next", 6), readRaw(b, 6));

    // An empty message is the prefix alone and reads back empty.
    ASSERT_FALSE(a.write(CString()));
    ASSERT_FALSE(a.write(static_cast<const char*>(nullptr)));
    writeRaw(a, std::string("\0\3abc", 5));
    CString got("stale");
    ASSERT_FALSE(b.read(got));
    EXPECT_TRUE(got.empty());
    ASSERT_FALSE(b.read(got));
    EXPECT_TRUE(got.empty());
    // The payload was not taken by the empty messages.
    ASSERT_FALSE(b.read(got));
    EXPECT_STREQ("abc", got.c_str());

    // Wide text travels as UTF-8; the text ends at its first NUL byte.
    const IString wideText("Caf\xC3\xA9 \xE2\x98\x85", qxString::EncodingUTF8);
    ASSERT_FALSE(a.write(wideText));
    writeRaw(a, std::string("\0\5ab\0cd", 7));
    IString back;
    ASSERT_FALSE(b.read(back));
    EXPECT_TRUE(qxString::equal(wideText, back));
    ASSERT_FALSE(b.read(got));
    EXPECT_STREQ("ab", got.c_str());
    EXPECT_EQ(2u, got.length());

    // The other way, as IOStream.
    qxOS::IOStream& stream = b;
    size_t done = 0;
    ASSERT_FALSE(stream.write("\0\2ok", 4, &done));
    EXPECT_EQ(4u, done);
    ASSERT_FALSE(a.read(got));
    EXPECT_STREQ("ok", got.c_str());
}

TEST(Socket, APeerThatClosesMidMessageEndsTheReadWithWhatArrived) {
    {
        // The prefix announces 100 bytes; 40 come, then the end.
        Pair p;
        ASSERT_TRUE(p.ok());
        writeRaw(*p.peer, std::string("\0\x64", 2) + std::string(40, 'z'));
        ASSERT_FALSE(p.peer->close(3));
        EXPECT_EQ(std::string("\0\x64", 2), readRaw(*p.client, 2));
        Error err;
        EXPECT_EQ(std::string(40, 'z'), readRaw(*p.client, 100, &err));
        EXPECT_EQ(4, err.num());
        EXPECT_STREQ("connection closed", err.message());
    }
    {
        // The same through the message reader: the string stays as it was.
        Pair p;
        ASSERT_TRUE(p.ok());
        writeRaw(*p.peer, std::string("\0\x64", 2) + std::string(40, 'z'));
        p.peer.reset();
        CString got("before");
        EXPECT_EQ(4, p.client->read(got).num());
        EXPECT_STREQ("before", got.c_str());
    }
    {
        // Half a length prefix.
        Pair p;
        ASSERT_TRUE(p.ok());
        writeRaw(*p.peer, std::string(1, '\0'));
        p.peer.reset();
        CString got;
        EXPECT_EQ(4, p.client->read(got).num());
        // Nothing more: every further read ends at once, also in throw mode.
        size_t done = 7;
        char c;
        EXPECT_EQ(4, p.client->read(&c, 1, &done).num());
        EXPECT_EQ(0u, done);
        p.client->setThrowMode(true);
        try {
            p.client->read(got);
            ADD_FAILURE() << "no exception in throw mode";
        } catch (const Error& e) {
            EXPECT_EQ(4, e.num());
        }
        EXPECT_THROW(p.client->write(CString(70000u, 'q')), Error);
    }
}

TEST(Socket, AResetConnectionIsASystemFailure) {
    Pair p;
    ASSERT_TRUE(p.ok());
    // The peer goes away abruptly: lingering for no time makes its close a
    // reset (the library's own close would say goodbye first).
    qxTCP::SocketImpl* impl = p.peer->getImpl();
    const qxTCP::SocketHandle h = impl->handle;
    impl->handle = qxTCP::kInvalidSocketHandle;
    ASSERT_EQ(0, qx::sys::setLinger(h, true, 0));
    ASSERT_EQ(0, qx::sys::closeSocket(h));
    Error err;
    EXPECT_EQ("", readRaw(*p.client, 10, &err));
    // Windows and Linux report the reset; Wine makes it the end of the
    // stream.
    EXPECT_TRUE(err.num() == 1 || err.num() == 4) << err.num() << ' ' << err.message();
    EXPECT_STRNE("", err.message());
    // Sending fails too (sooner or later: the first send may still go).
    Error sent;
    for (int i = 0; i < 100 && !sent; ++i) sent = p.client->write("x");
    EXPECT_EQ(1, sent.num());
    EXPECT_EQ(0, std::strncmp("send() failed: ", sent.message(), 15)) << sent.message();
    // Nor does the C stream's write raise a signal that would end the
    // process: it fails like any write.
    std::FILE* stream = p.client->getCStream().first;
    ASSERT_NE(nullptr, stream);
    std::fputs("gone", stream);
    EXPECT_NE(0, std::fflush(stream));
}

TEST(Socket, ConnectFailuresSayWhy) {
    int port;
    {
        qxTCP::Server gone;
        gone.setLoopbackOnly();
        ASSERT_FALSE(gone.listen());
        port = gone.getPort();
    }
    // Refused on every candidate: error 4.
    qxTCP::ClientSocket refused(Address(Address::localhost, port));
    const Error e = refused.connect();
    EXPECT_EQ(4, e.num());
    EXPECT_EQ(0, std::strncmp("connect() failed: ", e.message(), 18)) << e.message();
    EXPECT_EQ(qxTCP::kInvalidSocketHandle, refused.getImpl()->handle);

    // A name that does not resolve is the only candidate: error 2.
    qxTCP::ClientSocket nowhere(Address(IString(QX_W("nosuchhost.invalid")), 80));
    const Error n = nowhere.connect();
    EXPECT_EQ(2, n.num());
    EXPECT_EQ(0, std::strncmp("getaddrinfo failed: ", n.message(), 20)) << n.message();

    // Operations that need a socket say there is none.
    EXPECT_EQ(2, refused.setNoDelay(true).num());
    EXPECT_STREQ("No socket has been created", refused.setNoDelay(true).message());
    EXPECT_EQ(2, refused.localAddress().second.num());
    EXPECT_EQ(2, refused.getCStream().second.num());
    EXPECT_STREQ("socket is not connected", refused.getCStream().second.message());
    EXPECT_FALSE(refused.dataAvailable());
    EXPECT_EQ(1, refused.wait().num());
    EXPECT_FALSE(refused.close(3));
    EXPECT_EQ(1, refused.setNonBlocking().num());
}

TEST(Socket, WaitingGivesUpAfterTheTimeout) {
    Pair p;
    ASSERT_TRUE(p.ok());
    qxTCP::Socket& c = *p.client;
    EXPECT_TRUE(c.getTimeout().isZero());
    c.setTimeout(Interval(0.02));
    EXPECT_FALSE(c.dataAvailable());
    EXPECT_FALSE(c.wait());  // the time ran out: still success
    ASSERT_FALSE(p.peer->write("ping"));
    c.setTimeout(Interval());  // no limit: returns once the data is there
    EXPECT_TRUE(c.dataAvailable());
    EXPECT_FALSE(c.wait());
    // The end of the stream counts as readable too.
    CString got;
    ASSERT_FALSE(c.read(got));
    p.peer.reset();
    EXPECT_TRUE(c.dataAvailable());

    // A non-blocking socket returns what is there, also nothing.
    Pair q;
    ASSERT_TRUE(q.ok());
    ASSERT_FALSE(q.client->setNonBlocking());
    EXPECT_FALSE(q.client->setNoDelay(true));
    EXPECT_FALSE(q.client->setNoDelay(false));
    char buf[8];
    size_t done = 99;
    EXPECT_FALSE(q.client->read(buf, sizeof buf, &done));
    EXPECT_EQ(0u, done);
    writeRaw(*q.peer, "abc");
    q.client->setTimeout(Interval());
    ASSERT_TRUE(q.client->dataAvailable());
    EXPECT_FALSE(q.client->read(buf, sizeof buf, &done));
    EXPECT_EQ(3u, done);
}

TEST(Socket, ClosingInStagesEndsInACompleteClose) {
    Pair p;
    ASSERT_TRUE(p.ok());
    qxTCP::Socket& c = *p.client;
    EXPECT_FALSE(c.close(1));
    EXPECT_EQ(1, c.getImpl()->shutState);
    // Receiving is refused once shut, the same way on every target.
    char ch;
    size_t done = 5;
    EXPECT_EQ(1, c.read(&ch, 1, &done).num());
    EXPECT_EQ(0u, done);
    // Sending still works.
    ASSERT_FALSE(c.write("bye"));
    CString got;
    ASSERT_FALSE(p.peer->read(got));
    EXPECT_STREQ("bye", got.c_str());

    EXPECT_FALSE(c.close(2));
    EXPECT_EQ(3, c.getImpl()->shutState);
    EXPECT_EQ(qxTCP::kInvalidSocketHandle, c.getImpl()->handle);
    EXPECT_FALSE(c.close(3));  // nothing left to do
    EXPECT_EQ(4, p.peer->read(got).num());

    // Sending shut first: the peer sees the end, and our sends are refused.
    Pair q;
    ASSERT_TRUE(q.ok());
    EXPECT_FALSE(q.client->close(2));
    EXPECT_EQ(4, q.peer->read(got).num());
    const Error sent = q.client->write("late");
    EXPECT_EQ(1, sent.num());
    EXPECT_EQ(0, std::strncmp("send() failed: ", sent.message(), 15));
    // Receiving still works.
    ASSERT_FALSE(q.peer->write("still"));
    ASSERT_FALSE(q.client->read(got));
    EXPECT_STREQ("still", got.c_str());
    EXPECT_FALSE(q.client->close(1));
    EXPECT_EQ(qxTCP::kInvalidSocketHandle, q.client->getImpl()->handle);
}

TEST(Socket, TheCStreamIsMadeOnceAndClosedWithTheSocket) {
    Pair p;
    ASSERT_TRUE(p.ok());
    const qx::pair<std::FILE*, Error> first = p.client->getCStream();
    ASSERT_FALSE(first.second) << first.second.message();
    ASSERT_NE(nullptr, first.first);
    std::FILE* again = nullptr;
    EXPECT_FALSE(p.client->getCStream(again));
    EXPECT_EQ(first.first, again);

    std::fputs("line one\n", first.first);
    std::fflush(first.first);
    EXPECT_EQ("line one\n", readRaw(*p.peer, 9));
    writeRaw(*p.peer, "line two\n");
    char buf[32];
    ASSERT_NE(nullptr, std::fgets(buf, sizeof buf, first.first));
    EXPECT_STREQ("line two\n", buf);

    EXPECT_FALSE(p.client->close(3));
    EXPECT_EQ(nullptr, p.client->getImpl()->stream);

    // What is still buffered goes out with the close. (A stream that has
    // read may not write before a positioning call, which a socket has not:
    // this one only writes.)
    Pair q;
    ASSERT_TRUE(q.ok());
    std::FILE* out = q.client->getCStream().first;
    ASSERT_NE(nullptr, out);
    std::fputs("tail", out);
    const Error closed = q.client->close(3);
    EXPECT_FALSE(closed) << closed.message();
    Error err;
    EXPECT_EQ("tail", readRaw(*q.peer, 10, &err));
    EXPECT_EQ(4, err.num());
}

TEST(Socket, AddressesOfAConnection) {
    Pair p;
    ASSERT_TRUE(p.ok());
    const qx::pair<const Address*, Error> local = p.client->localAddress();
    ASSERT_FALSE(local.second) << local.second.message();
    EXPECT_EQ("127.0.0.1", text(Address(*local.first).getNumbersAndDots().first));
    EXPECT_GT(local.first->getPort(), 0);
    EXPECT_EQ(local.first, p.client->localAddress().first);  // kept

    // A client's peer is the address it was given; an accepted socket's is
    // asked of the system: the client's own end.
    EXPECT_FALSE(p.client->connected());
    EXPECT_EQ(p.server.getPort(), p.client->remoteAddress().first->getPort());
    EXPECT_TRUE(p.peer->connected());
    const qx::pair<const Address*, Error> remote = p.peer->remoteAddress();
    ASSERT_FALSE(remote.second) << remote.second.message();
    EXPECT_TRUE(*remote.first == *local.first);
}

TEST(Socket, ConnectTriesIPv6LoopbackAndOtherNames) {
    // By name: the first address that answers.
    {
        Pair byName(IString(QX_W("localhost")));
        ASSERT_TRUE(byName.ok());
        ASSERT_FALSE(byName.client->write("hello"));
        CString got;
        ASSERT_FALSE(byName.peer->read(got));
        EXPECT_STREQ("hello", got.c_str());
        // Connecting again replaces the connection.
        ASSERT_FALSE(byName.client->connect());
        std::unique_ptr<qxTCP::Socket> second(byName.server.accept(forever()).first);
        ASSERT_TRUE(second);
        EXPECT_EQ(4, byName.peer->read(got).num());
        ASSERT_FALSE(byName.client->write("again"));
        ASSERT_FALSE(second->read(got));
        EXPECT_STREQ("again", got.c_str());
    }
    QX_REQUIRE_IPV6();
    Pair v6(Address::localhostV6);
    ASSERT_TRUE(v6.ok());
    ASSERT_FALSE(v6.client->write("six"));
    CString got;
    ASSERT_FALSE(v6.peer->read(got));
    EXPECT_STREQ("six", got.c_str());
    // An IPv6 end has no IPv4 address to give.
    EXPECT_EQ(1, v6.client->localAddress().second.num());
}

}  // namespace
