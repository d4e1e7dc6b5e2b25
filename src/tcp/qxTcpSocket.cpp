#include "tcp/qxTcpSocket.h"

#include "os/sys/qxSysError.h"
#include "os/sys/qxSysSocket.h"
#include "tcp/qxTcpPrivate.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

namespace qxTCP {

using qxString::CString;
using qxString::IString;
using qxUtil::Error;
namespace sys = qx::sys;

namespace {

constexpr size_t kMaxTransfer = INT_MAX;
constexpr size_t kMaxMessage = 65535;

// A message that did not go, or come, whole on a non-blocking socket.
Error partialMessage() {
    return Error(1, qxUtil::systemErrorText(sys::kWsaEWouldBlock));
}

}  // namespace

Socket::Socket() : m_impl(new SocketImpl) {
    startSockets();
}

Socket::Socket(SocketHandle handle) : Socket() {
    m_impl->handle = handle;
}

Socket::~Socket() {
    close(3);
    delete m_impl->localAddress;
    delete m_impl->remoteAddress;
    delete m_impl;
}

Error Socket::receive(void* buf, size_t size, size_t* done) {
    const SocketImpl& s = *m_impl;
    const size_t want = size < kMaxTransfer ? size : kMaxTransfer;
    char* pos = static_cast<char*>(buf);
    size_t remaining = want;
    Error err;
    // Windows refuses to receive once receiving was shut; Linux would report
    // the end of the stream instead. Answer as Windows does everywhere.
    if (remaining && s.handle != kInvalidSocketHandle && (s.shutState & 1))
        err = Error(1, qxUtil::systemErrorText(sys::kWsaEShutdown));
    while (!err && remaining > 0) {
        const int n = sys::receiveBytes(s.handle, pos, static_cast<int>(remaining));
        if (n > 0) {
            pos += n;
            remaining -= static_cast<size_t>(n);
        } else if (n == 0) {
            err = Error(4, "connection closed");
        } else {
            const int code = sys::socketError();
            if (code == sys::kWsaEIntr) continue;
            if (code == sys::kWsaEWouldBlock) break;
            err = Error(1, socketErrorText(code));
        }
    }
    if (done) *done = want - remaining;
    return err;
}

Error Socket::send(const void* buf, size_t size, size_t* done) {
    const SocketImpl& s = *m_impl;
    const size_t want = size < kMaxTransfer ? size : kMaxTransfer;
    const char* pos = static_cast<const char*>(buf);
    size_t remaining = want;
    Error err;
    // As for receiving: Windows' answer once sending was shut.
    if (remaining && s.handle != kInvalidSocketHandle && (s.shutState & 2))
        err = Error(1, "send() failed: %S", qxUtil::systemErrorText(sys::kWsaEShutdown).asWChar());
    while (!err && remaining > 0) {
        const int n = sys::sendBytes(s.handle, pos, static_cast<int>(remaining));
        if (n > 0) {
            pos += n;
            remaining -= static_cast<size_t>(n);
        } else if (n == 0) {
            break;  // taken nothing: no progress to wait for
        } else {
            const int code = sys::socketError();
            if (code != sys::kWsaEWouldBlock)
                err = Error(1, "send() failed: %S", socketErrorText(code).asWChar());
            break;
        }
    }
    if (done) *done = want - remaining;
    return err;
}

Error Socket::read(void* buf, size_t size, size_t* done) {
    Error err = receive(buf, size, done);
    if (err && m_impl->throwMode) throw err;
    return err;
}

Error Socket::write(const void* buf, size_t size, size_t* done) {
    Error err = send(buf, size, done);
    if (err && m_impl->throwMode) throw err;
    return err;
}

Error Socket::writeMessage(const char* text, size_t length) {
    if (length > kMaxMessage) {
        Error err(3, "buffer passed to Socket::write() is too long");
        if (m_impl->throwMode) throw err;
        return err;
    }
    const unsigned char prefix[2] = {static_cast<unsigned char>(length >> 8),
                                     static_cast<unsigned char>(length & 0xFF)};
    size_t done = 0;
    Error err = write(prefix, 2, &done);
    if (!err && done < 2) return partialMessage();
    if (err || length == 0) return err;
    err = write(text, length, &done);
    if (!err && done < length) return partialMessage();
    return err;
}

Error Socket::write(const CString& s) {
    return writeMessage(s.data(), s.length());
}

Error Socket::write(const IString& s) {
    const char* text = s.asUTF8();
    return writeMessage(text, std::strlen(text));
}

Error Socket::write(const char* s) {
    return s ? writeMessage(s, std::strlen(s)) : writeMessage("", 0);
}

Error Socket::read(CString& s) {
    unsigned char prefix[2];
    size_t done = 0;
    Error err = read(prefix, 2, &done);
    if (err) return err;
    if (done < 2) return partialMessage();
    const size_t length = static_cast<size_t>(prefix[0]) << 8 | prefix[1];
    char small[4096];
    std::unique_ptr<char[]> large;
    char* buf = small;
    if (length >= sizeof small) {
        large.reset(new char[length + 1]);
        buf = large.get();
    }
    if (length) {
        err = read(buf, length, &done);
        if (err) return err;
        if (done < length) return partialMessage();
    }
    buf[length] = '\0';
    s.assign(buf);  // up to the first NUL
    return err;
}

Error Socket::read(IString& s) {
    CString text;
    Error err = read(text);
    if (!err) s.assign(text, qxString::EncodingUTF8);
    return err;
}

Error Socket::wait() {
    SocketHandle h = m_impl->handle;
    sys::WaitTime storage;
    if (sys::waitReadable(&h, 1, waitTime(m_impl->timeout, storage)) < 0) return socketFailure(1);
    return Error();
}

bool Socket::dataAvailable() const {
    SocketHandle h = m_impl->handle;
    if (h == kInvalidSocketHandle) return false;
    sys::WaitTime storage;
    return sys::waitReadable(&h, 1, waitTime(m_impl->timeout, storage)) > 0;
}

void Socket::setTimeout(const qxUtil::Interval& timeout) {
    m_impl->timeout = timeout;
}

const qxUtil::Interval& Socket::getTimeout() const {
    return m_impl->timeout;
}

void Socket::setThrowMode(bool on) {
    m_impl->throwMode = on;
}

bool Socket::getThrowMode() const {
    return m_impl->throwMode;
}

Error Socket::setNoDelay(bool on) {
    if (m_impl->handle == kInvalidSocketHandle) return Error(2, "No socket has been created");
    if (sys::setNoDelay(m_impl->handle, on) != 0)
        return Error(1, "setsockopt() failed: %S", socketErrorText().asWChar());
    return Error();
}

Error Socket::setNonBlocking() {
    if (sys::setNonBlocking(m_impl->handle, true) != 0)
        return Error(1, "setNonBlocking() failed: %S", socketErrorText().asWChar());
    return Error();
}

bool Socket::connected() const {
    return m_impl->connected;
}

Error Socket::close(int how) {
    SocketImpl& s = *m_impl;
    if (s.handle == kInvalidSocketHandle) return Error();
    Error err;
    if (((s.shutState | how) & 3) == 3) {
        if (s.stream) std::fflush(s.stream);
        // Shut what is still open: sending (1), receiving (0), or both (2).
        const int open = (s.shutState & 1) ? 1 : (s.shutState & 2) ? 0 : 2;
        if (sys::shutdownSocket(s.handle, open) != 0) err = socketFailure(1);
        if (s.stream) {
            // Closes the descriptor and the socket with it.
            if (std::fclose(s.stream) != 0 && !err)
                err = Error(1, "fclose() on socket stream failed");
        } else if (s.fd != -1) {
            if (sys::closeDescriptor(s.fd) != 0 && !err)
                err = Error(1, "_close() of C file descriptor failed");
        } else if (sys::closeSocket(s.handle) != 0 && !err) {
            err = socketFailure(1);
        }
        s.stream = nullptr;
        s.fd = -1;
        s.handle = kInvalidSocketHandle;
        s.shutState = 3;
    } else if ((how & 1) && !(s.shutState & 1)) {
        if (sys::shutdownSocket(s.handle, 0) != 0)
            err = Error(1, "shutdown(socket,0) failed: %S", socketErrorText().asWChar());
        s.shutState |= 1;
    } else if ((how & 2) && !(s.shutState & 2)) {
        if (s.stream) std::fflush(s.stream);
        if (sys::shutdownSocket(s.handle, 1) != 0)
            err = Error(1, "shutdown(socket,1) failed: %S", socketErrorText().asWChar());
        s.shutState |= 2;
    }
    return err;
}

qx::pair<const Address*, Error> Socket::askAddress(bool peer, Address*& cache) {
    char text[64];
    int port = 0;
    if (sys::addressIPv4(m_impl->handle, peer, text, sizeof text, &port) != 0)
        return {nullptr, socketFailure(1)};
    cache = new Address(IString(text, qxString::EncodingUTF8), port);
    return {cache, Error()};
}

qx::pair<const Address*, Error> Socket::localAddress() {
    if (m_impl->localAddress) return {m_impl->localAddress, Error()};
    if (m_impl->handle == kInvalidSocketHandle)
        return {nullptr, Error(2, "No socket has been created")};
    return askAddress(false, m_impl->localAddress);
}

qx::pair<const Address*, Error> Socket::remoteAddress() {
    if (m_impl->remoteAddress) return {m_impl->remoteAddress, Error()};
    if (!m_impl->connected) return {nullptr, Error(4, "Socket not connected")};
    return askAddress(true, m_impl->remoteAddress);
}

qx::pair<std::FILE*, Error> Socket::getCStream() {
    SocketImpl& s = *m_impl;
    if (s.stream) return {s.stream, Error()};
    if (s.handle == kInvalidSocketHandle) return {nullptr, Error(2, "socket is not connected")};
    // A descriptor left by an earlier failed attempt is used again.
    if (s.fd == -1) {
        int fd = -1;
        if (const int code = sys::socketDescriptor(s.handle, &fd))
            return {nullptr, Error(1, "_open_osfhandle() failed for  socket: %S",
                                   qxUtil::systemErrorText(code).asWChar())};
        s.fd = fd;
    }
    s.stream = sys::socketStream(s.fd);
    if (!s.stream) return {nullptr, Error(1, "_fdopen() failed for socket file descriptor")};
    return {s.stream, Error()};
}

Error Socket::getCStream(std::FILE*& stream) {
    qx::pair<std::FILE*, Error> r = getCStream();
    if (!r.second) stream = r.first;
    return r.second;
}

ClientSocket::ClientSocket(const Address& address) {
    getImpl()->remoteAddress = new Address(address);
}

ClientSocket::~ClientSocket() = default;

Error ClientSocket::connect() {
    SocketImpl& s = *getImpl();
    // A second connect replaces the first connection.
    if (s.handle != kInvalidSocketHandle) close(3);
    s.shutState = 0;
    delete s.localAddress;
    s.localAddress = nullptr;

    const Address& remote = *s.remoteAddress;
    std::optional<Address> loopbackV6;
    const Address* candidates[2];
    int count = 0;
    if (isIPv4Usable()) candidates[count++] = &remote;
    if (remote.isLocalLoopback() && isIPv6Usable()) {
        loopbackV6.emplace(loopbackText(true), remote.getPort());
        candidates[count++] = &*loopbackV6;
    }
    Error running;
    if (count == 0) running = Error(2, "connect() failed: No useable protocol families found.");

    SocketHandle connected = kInvalidSocketHandle;
    for (int i = 0; i < count && connected == kInvalidSocketHandle; ++i) {
        addrinfo* list = candidates[i]->getAddrInfo(false);
        if (!list) {
            if (i == count - 1)
                return Error(2, "getaddrinfo failed: %S", socketErrorText().asWChar());
            continue;
        }
        for (const addrinfo* e = list; e; e = sys::nextAddrInfo(e)) {
            const SocketHandle h = sys::openSocketFor(e);
            if (h == kInvalidSocketHandle) continue;
            if (sys::setLinger(h, true, kLingerSeconds) != 0) {
                running =
                    Error(2, "Could not set LINGER socket option: %S", socketErrorText().asWChar());
                sys::closeSocket(h);
                continue;
            }
            if (sys::connectTo(h, e) == 0) {
                connected = h;
                break;
            }
            const int code = sys::socketError();
            running = Error(code == sys::kWsaENetUnreach || code == sys::kWsaEConnRefused ? 4 : 2,
                            "connect() failed: %S", socketErrorText(code).asWChar());
            std::printf("Connection failed: %s\n", running.message());
            std::fflush(stdout);
            sys::closeSocket(h);
        }
        sys::freeAddrInfo(list);
    }
    if (connected != kInvalidSocketHandle) {
        s.handle = connected;
        return Error();
    }
    if (!running) running = Error(2, "connect() failed: %S", socketErrorText().asWChar());
    return running;
}

}  // namespace qxTCP
