// TCP on loopback, each side talking to a peer of its own kind on a second
// thread, in the same run:
//
//     tcp_pingpong/64B/<qx|std|asio>/10000
//         10^4 round trips of a 64-byte message framed by a 2-byte length:
//         qxTCP::Socket's write and read of a CString, against the same
//         exchange written with raw blocking calls (send the length, send
//         the bytes; recv the length, recv the bytes), and asio's blocking
//         sockets (one gather write of length and bytes, two reads). The
//         side "gather" is the raw exchange with the message sent in one
//         writev: what the two writes of the framing cost. No-delay is on
//         everywhere.
//     tcp_stream/1MiB/<qx|std|asio>/1024
//         1 GiB written in 1 MiB writes and read in 1 MiB reads, then a
//         one-byte answer, so that the time covers delivery.
//
// Wall-clock time (the work is split between two threads that mostly wait
// for each other); ratios.py compares these rows by real time. The CPU
// time reported is the whole process's, both threads together.
#include "tcp/qxTcpServer.h"
#include "tcp/qxTcpSocket.h"

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#ifdef QXBASE_BENCH_HAVE_ASIO
#    include <asio.hpp>
#endif

namespace {

constexpr int kRoundTrips = 10000;
constexpr int kMessageBytes = 64;
constexpr size_t kChunk = 1 << 20;
constexpr int kChunks = 1024;  // 1 GiB

const qxString::CString& message() {
    static const qxString::CString m(static_cast<unsigned>(kMessageBytes), 'm');
    return m;
}

// Runs one iteration at a time until the state says stop or an iteration
// fails; then stop() ends the peer thread, which is joined either way.
template <class Iteration, class Stop>
void run(benchmark::State& state, std::thread& peer, Iteration iteration, Stop stop) {
    for (auto _ : state)
        if (!iteration()) {
            state.SkipWithError("the exchange failed");
            break;
        }
    stop();
    peer.join();
}

// --- qxTCP -----------------------------------------------------------------

struct QxPair {
    qxTCP::Server server{-1, 4};
    std::unique_ptr<qxTCP::ClientSocket> client;
    std::unique_ptr<qxTCP::Socket> peer;

    bool connect() {
        server.setLoopbackOnly();
        if (server.listen()) return false;
        client = std::make_unique<qxTCP::ClientSocket>(
            qxTCP::Address(qxTCP::Address::localhost, server.getPort()));
        if (client->connect()) return false;
        peer.reset(server.accept(qxUtil::Interval()).first);
        return peer && !client->setNoDelay(true) && !peer->setNoDelay(true);
    }
};

void qxPingPong(benchmark::State& state) {
    QxPair p;
    if (!p.connect()) return state.SkipWithError("no connection");
    std::thread echo([&p] {
        qxString::CString m;
        while (!p.peer->read(m) && !p.peer->write(m)) {
        }
    });
    qxString::CString back;
    run(
        state, echo,
        [&] {
            for (int i = 0; i < kRoundTrips; ++i)
                if (p.client->write(message()) || p.client->read(back)) return false;
            return true;
        },
        [&] { p.client->close(3); });
}

void qxStream(benchmark::State& state) {
    QxPair p;
    if (!p.connect()) return state.SkipWithError("no connection");
    std::thread sink([&p] {
        std::vector<char> buf(kChunk);
        size_t done;
        for (;;) {
            for (int i = 0; i < kChunks; ++i)
                if (p.peer->read(buf.data(), kChunk, &done)) return;
            if (p.peer->write("k", 1, &done)) return;
        }
    });
    std::vector<char> buf(kChunk, 's');
    size_t done;
    run(
        state, sink,
        [&] {
            for (int i = 0; i < kChunks; ++i)
                if (p.client->write(buf.data(), kChunk, &done)) return false;
            return !p.client->read(buf.data(), 1, &done);
        },
        [&] { p.client->close(3); });
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kChunk) * kChunks);
}

// --- raw blocking calls ----------------------------------------------------

struct RawPair {
    int client = -1, peer = -1;
    ~RawPair() {
        if (client >= 0) ::close(client);
        if (peer >= 0) ::close(peer);
    }
    bool connect() {
        const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        const bool ok = ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                        ::listen(listener, 4) == 0 &&
                        ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len) == 0 &&
                        (client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) >= 0 &&
                        ::connect(client, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                        (peer = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC)) >= 0;
        ::close(listener);
        const int one = 1;
        return ok && ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) == 0 &&
               ::setsockopt(peer, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one) == 0;
    }
};

bool sendAll(int fd, const void* buf, size_t n) {
    const char* p = static_cast<const char*>(buf);
    while (n > 0) {
        const ssize_t k = ::send(fd, p, n, MSG_NOSIGNAL);
        if (k <= 0) return false;
        p += k;
        n -= static_cast<size_t>(k);
    }
    return true;
}

bool recvAll(int fd, void* buf, size_t n) {
    char* p = static_cast<char*>(buf);
    while (n > 0) {
        const ssize_t k = ::recv(fd, p, n, 0);
        if (k <= 0) return false;
        p += k;
        n -= static_cast<size_t>(k);
    }
    return true;
}

bool rawSendMessage(int fd, const char* text, size_t n) {
    const unsigned char prefix[2] = {static_cast<unsigned char>(n >> 8),
                                     static_cast<unsigned char>(n)};
    return sendAll(fd, prefix, 2) && sendAll(fd, text, n);
}

bool rawRecvMessage(int fd, char* text, size_t* n) {
    unsigned char prefix[2];
    if (!recvAll(fd, prefix, 2)) return false;
    *n = static_cast<size_t>(prefix[0]) << 8 | prefix[1];
    return recvAll(fd, text, *n);
}

// The whole message in one system call.
bool gatherSendMessage(int fd, const char* text, size_t n) {
    unsigned char prefix[2] = {static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(n)};
    iovec parts[2] = {{prefix, 2}, {const_cast<char*>(text), n}};
    const ssize_t k = ::writev(fd, parts, 2);
    return k == static_cast<ssize_t>(n + 2) ||
           (k >= 0 &&
            (k < 2 ? sendAll(fd, prefix + k, 2 - static_cast<size_t>(k)) && sendAll(fd, text, n)
                   : sendAll(fd, text + (k - 2), n - static_cast<size_t>(k - 2))));
}

template <bool (*Send)(int, const char*, size_t)>
void rawPingPong(benchmark::State& state) {
    RawPair p;
    if (!p.connect()) return state.SkipWithError("no connection");
    std::thread echo([&p] {
        char m[65536];
        size_t n;
        while (rawRecvMessage(p.peer, m, &n) && Send(p.peer, m, n)) {
        }
    });
    char back[65536];
    size_t n;
    run(
        state, echo,
        [&] {
            for (int i = 0; i < kRoundTrips; ++i)
                if (!Send(p.client, message().data(), message().length()) ||
                    !rawRecvMessage(p.client, back, &n))
                    return false;
            return true;
        },
        [&] { ::shutdown(p.client, SHUT_RDWR); });
}

void rawStream(benchmark::State& state) {
    RawPair p;
    if (!p.connect()) return state.SkipWithError("no connection");
    std::thread sink([&p] {
        std::vector<char> buf(kChunk);
        for (;;) {
            for (int i = 0; i < kChunks; ++i)
                if (!recvAll(p.peer, buf.data(), kChunk)) return;
            if (!sendAll(p.peer, "k", 1)) return;
        }
    });
    std::vector<char> buf(kChunk, 's');
    run(
        state, sink,
        [&] {
            for (int i = 0; i < kChunks; ++i)
                if (!sendAll(p.client, buf.data(), kChunk)) return false;
            return recvAll(p.client, buf.data(), 1);
        },
        [&] { ::shutdown(p.client, SHUT_RDWR); });
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kChunk) * kChunks);
}

// --- asio ------------------------------------------------------------------

#ifdef QXBASE_BENCH_HAVE_ASIO
using asio::ip::tcp;

struct AsioPair {
    asio::io_context io;
    tcp::socket client{io}, peer{io};
    bool connect() {
        asio::error_code ec;
        tcp::acceptor acceptor(io, tcp::endpoint(asio::ip::address_v4::loopback(), 0));
        client.connect(acceptor.local_endpoint(), ec);
        if (!ec) acceptor.accept(peer, ec);
        if (!ec) client.set_option(tcp::no_delay(true), ec);
        if (!ec) peer.set_option(tcp::no_delay(true), ec);
        return !ec;
    }
};

bool asioSendMessage(tcp::socket& s, const char* text, size_t n) {
    const unsigned char prefix[2] = {static_cast<unsigned char>(n >> 8),
                                     static_cast<unsigned char>(n)};
    const std::array<asio::const_buffer, 2> parts = {asio::buffer(prefix), asio::buffer(text, n)};
    asio::error_code ec;
    asio::write(s, parts, ec);
    return !ec;
}

bool asioRecvMessage(tcp::socket& s, char* text, size_t* n) {
    unsigned char prefix[2];
    asio::error_code ec;
    asio::read(s, asio::buffer(prefix), ec);
    if (ec) return false;
    *n = static_cast<size_t>(prefix[0]) << 8 | prefix[1];
    asio::read(s, asio::buffer(text, *n), ec);
    return !ec;
}

void asioPingPong(benchmark::State& state) {
    AsioPair p;
    if (!p.connect()) return state.SkipWithError("no connection");
    std::thread echo([&p] {
        char m[65536];
        size_t n;
        while (asioRecvMessage(p.peer, m, &n) && asioSendMessage(p.peer, m, n)) {
        }
    });
    char back[65536];
    size_t n;
    run(
        state, echo,
        [&] {
            for (int i = 0; i < kRoundTrips; ++i)
                if (!asioSendMessage(p.client, message().data(), message().length()) ||
                    !asioRecvMessage(p.client, back, &n))
                    return false;
            return true;
        },
        [&] {
            asio::error_code ec;
            p.client.shutdown(tcp::socket::shutdown_both, ec);
        });
}

void asioStream(benchmark::State& state) {
    AsioPair p;
    if (!p.connect()) return state.SkipWithError("no connection");
    std::thread sink([&p] {
        std::vector<char> buf(kChunk);
        asio::error_code ec;
        for (;;) {
            for (int i = 0; i < kChunks; ++i)
                if (asio::read(p.peer, asio::buffer(buf), ec), ec) return;
            if (asio::write(p.peer, asio::buffer("k", 1), ec), ec) return;
        }
    });
    std::vector<char> buf(kChunk, 's');
    asio::error_code ec;
    run(
        state, sink,
        [&] {
            for (int i = 0; i < kChunks; ++i)
                if (asio::write(p.client, asio::buffer(buf), ec), ec) return false;
            asio::read(p.client, asio::buffer(buf.data(), 1), ec);
            return !ec;
        },
        [&] { p.client.shutdown(tcp::socket::shutdown_both, ec); });
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kChunk) * kChunks);
}
#else
void (*const asioPingPong)(benchmark::State&) = nullptr;
void (*const asioStream)(benchmark::State&) = nullptr;
#endif

// Each side in turn, in real time (see the top).
void registerPair(
    const char* name, int arg,
    std::initializer_list<std::pair<const char*, void (*)(benchmark::State&)>> sides) {
    for (const auto& side : sides)
        if (side.second)
            benchmark::RegisterBenchmark((std::string(name) + "/" + side.first).c_str(),
                                         side.second)
                ->Arg(arg)
                ->UseRealTime()
                ->MeasureProcessCPUTime()  // both threads' CPU, for where the time goes
                ->Unit(benchmark::kMillisecond);
}

const bool s_registered = [] {
    registerPair("tcp_pingpong/64B", kRoundTrips,
                 {{"qx", qxPingPong},
                  {"std", rawPingPong<rawSendMessage>},
                  {"gather", rawPingPong<gatherSendMessage>},
                  {"asio", asioPingPong}});
    registerPair("tcp_stream/1MiB", kChunks,
                 {{"qx", qxStream}, {"std", rawStream}, {"asio", asioStream}});
    return true;
}();

}  // namespace
