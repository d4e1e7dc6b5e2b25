// qxTCP::Socket, a connected stream socket that is also a qxOS::IOStream,
// and qxTCP::ClientSocket, which connects to an Address.
//
// String messages travel as a 2-byte big-endian length and then the bytes
// (wide text as UTF-8), at most 65535 bytes. A message is two writes, the
// length and the text: for request-and-answer traffic switch no-delay on
// (setNoDelay), or the system may hold the second write back until the peer
// acknowledges the first.
#ifndef QXBASE_TCP_QXTCPSOCKET_H
#define QXBASE_TCP_QXTCPSOCKET_H

#include "Components/Base/Utility/qxInterval.h"
#include "diagnostics/qxError.h"
#include "diagnostics/qxIOStream.h"
#include "qxDefs.h"
#include "string/qxString.h"
#include "tcp/qxTcpAddress.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace qxTCP {

// The system's socket handle (a SOCKET on Windows, a descriptor elsewhere);
// all bits set when there is none.
using SocketHandle = std::uintptr_t;
constexpr SocketHandle kInvalidSocketHandle = ~SocketHandle(0);

// A socket's state. The handle comes first, so that code which only has the
// implementation can reach the system's socket.
struct SocketImpl {
    SocketHandle handle = kInvalidSocketHandle;
    Address* localAddress = nullptr;   // owned; filled by localAddress()
    Address* remoteAddress = nullptr;  // owned; given to a ClientSocket
    bool connected = false;            // accepted by a server
    bool throwMode = false;
    qxUtil::Interval timeout;  // of wait() and dataAvailable(); zero: no limit
    int shutState = 0;         // 1 receiving shut, 2 sending shut, 3 closed
    int fd = -1;               // C runtime descriptor, made by getCStream
    std::FILE* stream = nullptr;
};

// One thread at a time. Errors: 1 a system call failed, 2 no socket or no
// usable family, 3 a string too long to send, 4 the connection was closed,
// refused or is unreachable.
class QX_API Socket : public qxOS::IOStream {
public:
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    // close(3), its result ignored.
    ~Socket() override;

    // Blocks until size bytes arrived (at most 2147483647 a call): error 4
    // "connection closed" when the peer closes first, 1 with the system's
    // text on failure; *done (may be null) counts what arrived either way. A
    // non-blocking socket stops with success when nothing more is there.
    // Throws the error instead in throw mode.
    qxUtil::Error read(void* buf, size_t size, size_t* done) override;
    // Sends size bytes (at most 2147483647 a call): error 1 "send() failed:
    // ..." on failure, *done counting what went; a non-blocking socket stops
    // with success when the system takes no more. Throws in throw mode.
    qxUtil::Error write(const void* buf, size_t size, size_t* done) override;

    // One message: the length, then the bytes. Error 3 (thrown in throw
    // mode) for 65536 bytes or more, and nothing is sent. A null text is
    // empty.
    qxUtil::Error write(const qxString::CString& s);
    qxUtil::Error write(const qxString::IString& s);
    qxUtil::Error write(const char* s);
    // One message into s, which changes only on success and ends at the
    // first NUL byte of the text.
    qxUtil::Error read(qxString::CString& s);
    qxUtil::Error read(qxString::IString& s);

    // Waits until data (or the end of the stream) can be read, or the
    // timeout passes: success either way, error 1 when the wait fails.
    qxUtil::Error wait();
    // Whether data (or the end of the stream) can be read within the
    // timeout; false without a socket. A zero timeout waits as long as it
    // takes.
    bool dataAvailable() const;
    void setTimeout(const qxUtil::Interval& timeout);
    const qxUtil::Interval& getTimeout() const;

    void setThrowMode(bool on);
    bool getThrowMode() const;
    // TCP_NODELAY: small writes leave at once.
    qxUtil::Error setNoDelay(bool on);
    // For good: there is no way back to blocking mode.
    qxUtil::Error setNonBlocking();
    // True for sockets accepted by a server.
    bool connected() const;

    // how: 1 stops receiving, 2 stops sending, 3 (or the second of the two)
    // closes the socket and its C stream. Without a socket, success.
    qxUtil::Error close(int how);

    // This end's and the peer's IPv4 address, asked once and kept (an IPv6
    // connection gives error 1). The peer's is known for accepted sockets
    // and, as given, for client sockets; otherwise error 4.
    qx::pair<const Address*, qxUtil::Error> localAddress();
    qx::pair<const Address*, qxUtil::Error> remoteAddress();

    // A C stream on the socket ("rb+"), made once; the socket owns it and
    // closes it with the socket.
    qx::pair<std::FILE*, qxUtil::Error> getCStream();
    qxUtil::Error getCStream(std::FILE*& stream);

    SocketImpl* getImpl() const { return m_impl; }

protected:
    // No socket yet; starts the socket layer.
    Socket();
    // Takes over a connected or listening handle.
    explicit Socket(SocketHandle handle);

private:
    // The checked raw transfers, before throw mode has its say.
    qxUtil::Error receive(void* buf, size_t size, size_t* done);
    qxUtil::Error send(const void* buf, size_t size, size_t* done);
    qxUtil::Error writeMessage(const char* text, size_t length);
    qx::pair<const Address*, qxUtil::Error> askAddress(bool peer, Address*& cache);

    SocketImpl* m_impl;
};

// A socket that connects to an address, trying every protocol family and
// every address the name resolves to in turn.
class QX_API ClientSocket : public Socket {
public:
    // Nothing is connected yet.
    explicit ClientSocket(const Address& address);
    ~ClientSocket() override;

    // Candidates: the address itself when IPv4 may be used, and ::1 on the
    // same port after 127.0.0.1 when IPv6 may be used. Each failed attempt
    // is reported on stdout ("Connection failed: ..."). Error 4 for a refused
    // connection or an unreachable network, 2 otherwise. Connecting again
    // closes the earlier connection first.
    qxUtil::Error connect();
};

}  // namespace qxTCP

#endif
