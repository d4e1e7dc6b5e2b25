// qxTCP::Server, listening on one port on IPv6 and IPv4 at once, and the
// readiness waits over several sockets: qxTCP::WaitReadable and
// qxTCP::waitReadable.
#ifndef QXBASE_TCP_QXTCPSERVER_H
#define QXBASE_TCP_QXTCPSERVER_H

#include "Components/Base/Utility/qxInterval.h"
#include "containers/qxVector.h"
#include "diagnostics/qxError.h"
#include "qxDefs.h"
#include "tcp/qxTcpSocket.h"

namespace qxTCP {

// A socket a server listens on: invalid until bound.
class QX_API ListeningSocket : public Socket {
public:
    explicit ListeningSocket(SocketHandle handle);
    ~ListeningSocket() override;
};

// A connection a server accepted (connected() is true).
class QX_API ServerSocket : public Socket {
public:
    explicit ServerSocket(SocketHandle handle);
    ~ServerSocket() override;
};

class ServerImpl;

// One thread at a time. Errors: 1 a system call failed, 2 no protocol
// family can be used, 3 the address is in use.
class QX_API Server {
public:
    // port -1 lets the system choose. Nothing is opened yet.
    explicit Server(int port = -1, int backlog = 1);
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;
    ~Server();

    // Listen on the loopback addresses only, from the next listen on.
    void setLoopbackOnly();
    // Listens on IPv6 and IPv4 (those the process may use) on the same port.
    // A failing IPv6 bind is hidden while IPv4 remains. When the system
    // chooses the port and it turns out taken for IPv4, the pair is tried
    // again with a fresh port a few times. A listen that fails leaves the
    // server idle.
    qxUtil::Error listen();
    // The next connection, waiting at most timeout (zero: as long as it
    // takes); listens first if the server is idle. A null socket with
    // success means the time ran out. The caller deletes the socket.
    qx::pair<Socket*, qxUtil::Error> accept(const qxUtil::Interval& timeout);
    qxUtil::Error accept(Socket** socket, const qxUtil::Interval& timeout);
    // Always false.
    bool connectionPending();
    // The requested port, or after listening the port bound when it could
    // be read back.
    int getPort() const;
    SocketImpl* getListeningSocketImplIPv4() const;
    SocketImpl* getListeningSocketImplIPv6() const;
    // Closes the listening sockets; the next accept listens again.
    void shutdown();

private:
    qxUtil::Error isBindError(int bindResult);
    void listenIpv6And4(qxUtil::Error& err);
    void listenOnce(qxUtil::Error& err, bool* retry);

    ServerImpl* m_impl;
};

class WaitReadableImpl;

// A set of at most 64 sockets and servers to wait on. wait() leaves only
// the ready ones in the set: reset() and add them again before the next wait
// on all of them. One thread at a time.
class QX_API WaitReadable {
public:
    WaitReadable();
    // A view of other's set, not a copy: it must not outlive other.
    WaitReadable(const WaitReadable& other);
    WaitReadable(WaitReadable&& other);
    WaitReadable& operator=(const WaitReadable&) = delete;
    ~WaitReadable();

    void reset();
    // A handle already in the set, or past the 64th, is not added again.
    void add(const Socket& s);
    // The server's listening sockets that have a handle, IPv4 first.
    void add(const Server& s);
    // Success also when the time ran out (zero: no limit); error 1 with the
    // system's text when the wait fails (for instance on an empty set).
    qxUtil::Error wait(qxUtil::Interval timeout);
    bool isReadable(const Socket& s) const;
    bool isReadable(const Server& s) const;

private:
    WaitReadableImpl* m_impl;
    bool m_owned;
};

// Waits until one of sockets (at most the first 64 distinct ones; null
// entries are skipped) is readable or the time runs out, then appends to
// readable, in the order of sockets, each that is: twice for a socket
// listed twice. readable is not cleared first. Error(1, "select() failed")
// when the wait fails.
QX_API qxUtil::Error waitReadable(const qx::vector<Socket*>& sockets, qx::vector<Socket*>& readable,
                                  qxUtil::Interval timeout);

}  // namespace qxTCP

#endif
