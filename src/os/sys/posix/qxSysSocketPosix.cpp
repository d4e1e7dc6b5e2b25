// POSIX backend of the socket layer: BSD sockets answering as Winsock does.
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysSocket.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qx {
namespace sys {

namespace {

thread_local int t_socketError = 0;

// A descriptor as the handle type carries it, and back.
inline int fdOf(SocketHandle h) {
    return h > static_cast<SocketHandle>(INT_MAX) ? -1 : static_cast<int>(h);
}
inline SocketHandle handleOf(int fd) {
    return fd < 0 ? kInvalidSocket : static_cast<SocketHandle>(fd);
}

// Records the Winsock number for errno and returns -1. A bad descriptor is
// WSAENOTSOCK, as Windows calls a handle that names no socket.
int failErrno(int err) {
    t_socketError = err == EBADF ? kWsaENotSock : winsockFromErrno(err);
    return -1;
}
int fail() {
    return failErrno(errno);
}
int failWith(int code) {
    t_socketError = code;
    return -1;
}

// Windows Sockets numbers for getaddrinfo's and getnameinfo's codes.
int winsockFromGai(int rc) {
    switch (rc) {
        case 0:
            return 0;
        case EAI_NONAME:
            return kWsaHostNotFound;
        case EAI_AGAIN:
            return 11002;  // WSATRY_AGAIN
        case EAI_FAIL:
            return 11003;  // WSANO_RECOVERY
#ifdef EAI_NODATA
        case EAI_NODATA:
            return 11004;  // WSANO_DATA
#endif
#ifdef EAI_ADDRFAMILY
        case EAI_ADDRFAMILY:
            return 11004;
#endif
        case EAI_FAMILY:
            return 10047;  // WSAEAFNOSUPPORT
        case EAI_SOCKTYPE:
            return 10044;  // WSAESOCKTNOSUPPORT
        case EAI_SERVICE:
            return kWsaETypeNotFound;
        case EAI_BADFLAGS:
            return kWsaEInval;
        case EAI_MEMORY:
            return kErrorNotEnoughMemory;  // WSA_NOT_ENOUGH_MEMORY
        case EAI_OVERFLOW:
            return kWsaEFault;
        case EAI_SYSTEM:
            return winsockFromErrno(errno);
        default:
            return kWsaHostNotFound;
    }
}

int setIntOption(SocketHandle h, int level, int name, int value) {
    if (::setsockopt(fdOf(h), level, name, &value, sizeof value) != 0) return fail();
    return 0;
}

long long nowMicroseconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

// One part of an inet_addr text: decimal, octal after a 0, hex after 0x.
// Advances p; false when no digits of the base follow or the value passes
// 32 bits.
bool ipv4Part(const char*& p, unsigned long long* value) {
    unsigned base = 10;
    if (*p < '0' || *p > '9') return false;
    if (*p == '0') {
        base = 8;
        ++p;
        if (*p == 'x' || *p == 'X') {
            base = 16;
            ++p;
            if (!std::isxdigit(static_cast<unsigned char>(*p))) return false;
        }
    }
    unsigned long long v = 0;
    for (;; ++p) {
        unsigned d;
        const char c = *p;
        if (c >= '0' && c <= '9')
            d = static_cast<unsigned>(c - '0');
        else if (base == 16 && c >= 'a' && c <= 'f')
            d = static_cast<unsigned>(c - 'a' + 10);
        else if (base == 16 && c >= 'A' && c <= 'F')
            d = static_cast<unsigned>(c - 'A' + 10);
        else
            break;
        if (d >= base) return false;  // 8 or 9 in an octal part
        v = v * base + d;
        if (v > 0xFFFFFFFFull) return false;
    }
    *value = v;
    return true;
}

bool isAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Windows lingers in closesocket until what was written has been
// delivered; Linux also waits for the peer to acknowledge the goodbye, which
// the peer may hold back for its delayed-acknowledgement time (40 ms). So
// the data alone is waited for here, and the close then goes on in the
// background; when the linger time runs out first, the connection is reset,
// as Windows does.
void lingerAsWindowsDoes(int fd) {
    linger l;
    socklen_t len = sizeof l;
    if (::getsockopt(fd, SOL_SOCKET, SO_LINGER, &l, &len) != 0 || !l.l_onoff || l.l_linger <= 0)
        return;
    const long long deadline = nowMicroseconds() + static_cast<long long>(l.l_linger) * 1000000;
    bool delivered = false;
    for (;;) {
        // Only a connection with data or its FIN in flight has anything to
        // deliver (a refused one still counts its SYN as queued).
        tcp_info info;
        len = sizeof info;
        if (::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &len) != 0) break;
        const int state = info.tcpi_state;
        const bool finSent =
            state == TCP_FIN_WAIT1 || state == TCP_CLOSING || state == TCP_LAST_ACK;
        int queued = 0;  // written but not yet acknowledged, a sent FIN included
        if ((!finSent && state != TCP_ESTABLISHED && state != TCP_CLOSE_WAIT) ||
            ::ioctl(fd, TIOCOUTQ, &queued) != 0 || queued <= (finSent ? 1 : 0)) {
            delivered = true;
            break;
        }
        if (nowMicroseconds() >= deadline) break;
        ::poll(nullptr, 0, 1);
    }
    l.l_onoff = delivered ? 0 : 1;
    l.l_linger = 0;
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
}

// close with the linger of Windows. The descriptor is gone even when close
// reports EINTR: never retried.
int closeLingering(int fd) {
    lingerAsWindowsDoes(fd);
    if (::close(fd) != 0 && errno != EINTR) return -1;
    return 0;
}

// A C stream over a socket: reads are recv, writes send without SIGPIPE.
ssize_t cookieRead(void* cookie, char* buf, size_t size) {
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(cookie));
    ssize_t n;
    do n = ::recv(fd, buf, size, 0);
    while (n < 0 && errno == EINTR);
    return n;
}
ssize_t cookieWrite(void* cookie, const char* buf, size_t size) {
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(cookie));
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::send(fd, buf + done, size - done, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            return done ? static_cast<ssize_t>(done) : -1;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(done);
}
int cookieClose(void* cookie) {
    return closeLingering(static_cast<int>(reinterpret_cast<intptr_t>(cookie)));
}

}  // namespace

int socketStartup() {
    return 0;
}

int socketError() {
    return t_socketError;
}

SocketHandle openStreamSocket(bool ipv6) {
    const int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) fail();
    return handleOf(fd);
}

SocketHandle openSocketFor(const addrinfo* entry) {
    const int fd =
        ::socket(entry->ai_family, entry->ai_socktype | SOCK_CLOEXEC, entry->ai_protocol);
    if (fd < 0) fail();
    return handleOf(fd);
}

int closeSocket(SocketHandle h) {
    const int fd = fdOf(h);
    if (fd < 0) return failWith(kWsaENotSock);
    return closeLingering(fd) == 0 ? 0 : fail();
}

int shutdownSocket(SocketHandle h, int how) {
    const int mode = how == 0 ? SHUT_RD : how == 1 ? SHUT_WR : SHUT_RDWR;
    if (::shutdown(fdOf(h), mode) != 0) return fail();
    return 0;
}

int receiveBytes(SocketHandle h, void* buf, int len) {
    const ssize_t n = ::recv(fdOf(h), buf, static_cast<size_t>(len), 0);
    if (n < 0) return fail();
    return static_cast<int>(n);
}

int sendBytes(SocketHandle h, const void* buf, int len) {
    const ssize_t n = ::send(fdOf(h), buf, static_cast<size_t>(len), MSG_NOSIGNAL);
    if (n >= 0) return static_cast<int>(n);
    // Linux says EPIPE where Windows reports the connection reset (a send
    // after this side shut its sending is caught before it gets here).
    return errno == EPIPE ? failWith(kWsaEConnReset) : fail();
}

int setLinger(SocketHandle h, bool on, int seconds) {
    linger l;
    l.l_onoff = on ? 1 : 0;
    l.l_linger = seconds;
    if (::setsockopt(fdOf(h), SOL_SOCKET, SO_LINGER, &l, sizeof l) != 0) return fail();
    return 0;
}

int setNoDelay(SocketHandle h, bool on) {
    return setIntOption(h, IPPROTO_TCP, TCP_NODELAY, on ? 1 : 0);
}

int setNonBlocking(SocketHandle h, bool on) {
    const int fd = fdOf(h);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0) return fail();
    if (::fcntl(fd, F_SETFL, on ? flags | O_NONBLOCK : flags & ~O_NONBLOCK) != 0) return fail();
    return 0;
}

int connectTo(SocketHandle h, const addrinfo* entry) {
    const int fd = fdOf(h);
    if (::connect(fd, entry->ai_addr, entry->ai_addrlen) == 0) return 0;
    if (errno != EINTR) return fail();
    // The connection goes on in the background: wait for its outcome.
    pollfd p = {fd, POLLOUT, 0};
    while (::poll(&p, 1, -1) < 0)
        if (errno != EINTR) return fail();
    int err = 0;
    socklen_t len = sizeof err;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) return fail();
    return err ? failErrno(err) : 0;
}

int bindListener(SocketHandle h, bool ipv6, bool loopbackOnly, int port) {
    if (setIntOption(h, SOL_SOCKET, SO_REUSEADDR, 1) != 0) return -1;
    int rc;
    if (ipv6) {
        if (setIntOption(h, IPPROTO_IPV6, IPV6_V6ONLY, 1) != 0) return -1;
        sockaddr_in6 a;
        std::memset(&a, 0, sizeof a);
        a.sin6_family = AF_INET6;
        a.sin6_addr = loopbackOnly ? in6addr_loopback : in6addr_any;
        a.sin6_port = htons(static_cast<uint16_t>(port));
        rc = ::bind(fdOf(h), reinterpret_cast<sockaddr*>(&a), sizeof a);
    } else {
        sockaddr_in a;
        std::memset(&a, 0, sizeof a);
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(loopbackOnly ? INADDR_LOOPBACK : INADDR_ANY);
        a.sin_port = htons(static_cast<uint16_t>(port));
        rc = ::bind(fdOf(h), reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    return rc == 0 ? 0 : fail();
}

int listenOn(SocketHandle h, int backlog) {
    if (::listen(fdOf(h), backlog) != 0) return fail();
    return 0;
}

int boundPort(SocketHandle h, bool ipv6, int* port) {
    sockaddr_storage a;
    socklen_t len = ipv6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    if (::getsockname(fdOf(h), reinterpret_cast<sockaddr*>(&a), &len) != 0) return fail();
    if (len > (ipv6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in))) return failWith(kWsaEFault);
    *port = ntohs(ipv6 ? reinterpret_cast<sockaddr_in6*>(&a)->sin6_port
                       : reinterpret_cast<sockaddr_in*>(&a)->sin_port);
    return 0;
}

int addressIPv4(SocketHandle h, bool peer, char* text, size_t cap, int* port) {
    sockaddr_storage a;
    socklen_t len = sizeof(sockaddr_in);
    const int fd = fdOf(h);
    const int rc = peer ? ::getpeername(fd, reinterpret_cast<sockaddr*>(&a), &len)
                        : ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    if (rc != 0) return fail();
    // Linux truncates what does not fit; Windows refuses the short buffer.
    if (len > sizeof(sockaddr_in)) return failWith(kWsaEFault);
    const sockaddr_in* in = reinterpret_cast<const sockaddr_in*>(&a);
    char buf[INET_ADDRSTRLEN];
    if (!::inet_ntop(AF_INET, &in->sin_addr, buf, sizeof buf)) return fail();
    if (std::strlen(buf) >= cap) return failWith(kWsaEFault);
    std::strcpy(text, buf);
    *port = ntohs(in->sin_port);
    return 0;
}

SocketHandle acceptOn(SocketHandle h) {
    sockaddr_storage peer;
    socklen_t len = 128;
    int fd;
    do fd = ::accept4(fdOf(h), reinterpret_cast<sockaddr*>(&peer), &len, SOCK_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) fail();
    return handleOf(fd);
}

int getAddrInfo(const char* host, const char* service, int family, bool passive, bool numericHost,
                addrinfo** list) {
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = family == 4 ? AF_INET : family == 6 ? AF_INET6 : AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = (passive ? AI_PASSIVE : 0) | (numericHost ? AI_NUMERICHOST : 0);
    *list = nullptr;
    const int code = winsockFromGai(::getaddrinfo(host, service, &hints, list));
    if (code) {
        *list = nullptr;
        t_socketError = code;
    }
    return code;
}

void freeAddrInfo(addrinfo* list) {
    if (list) ::freeaddrinfo(list);
}

const addrinfo* nextAddrInfo(const addrinfo* entry) {
    return entry->ai_next;
}

int nameInfo(const addrinfo* entry, bool numericHost, char* buf, size_t cap) {
    const int code = winsockFromGai(::getnameinfo(entry->ai_addr, entry->ai_addrlen, buf,
                                                  static_cast<socklen_t>(cap), nullptr, 0,
                                                  numericHost ? NI_NUMERICHOST : 0));
    if (code) t_socketError = code;
    return code;
}

bool parseIPv4(const char* text) {
    if (!text || !*text) return false;
    if (text[0] == ' ' && text[1] == '\0') return true;  // 0.0.0.0, as Windows has it
    unsigned long long parts[4];
    int n = 0;
    const char* p = text;
    for (;;) {
        if (n == 4 || !ipv4Part(p, &parts[n])) return false;
        ++n;
        if (*p != '.') break;
        ++p;
    }
    if (*p != '\0' && !isAsciiSpace(*p)) return false;
    // Every part but the last is one byte; the last fills the bytes left.
    for (int i = 0; i < n - 1; ++i)
        if (parts[i] > 0xFF) return false;
    const unsigned long long lastMax = 0xFFFFFFFFull >> (8 * (n - 1));
    if (parts[n - 1] > lastMax) return false;
    unsigned long long value = parts[n - 1];
    for (int i = 0; i < n - 1; ++i) value |= parts[i] << (8 * (3 - i));
    return value != 0xFFFFFFFFull;  // INADDR_NONE, the failure value
}

int hostName(char* buf, size_t cap) {
    if (::gethostname(buf, cap) != 0) return fail();
    // A name that does not fit may come back cut short without its NUL.
    if (std::memchr(buf, '\0', cap) == nullptr) return failWith(kWsaEFault);
    return 0;
}

int waitReadable(SocketHandle* handles, int count, const WaitTime* timeout) {
    if (count <= 0) return failWith(kWsaEInval);
    pollfd small[64];
    pollfd* fds = count <= 64 ? small : new pollfd[static_cast<size_t>(count)];
    struct Release {
        pollfd* p;
        pollfd* small;
        ~Release() {
            if (p != small) delete[] p;
        }
    } release{fds, small};
    for (int i = 0; i < count; ++i) {
        fds[i].fd = fdOf(handles[i]);
        fds[i].events = POLLIN;
        fds[i].revents = 0;
        if (fds[i].fd < 0) return failWith(kWsaENotSock);
    }
    long long deadline = 0;
    if (timeout) {
        const long long sec = timeout->seconds < 0 ? 0 : timeout->seconds;
        const long long usec = timeout->microseconds < 0 ? 0 : timeout->microseconds;
        deadline = nowMicroseconds() + sec * 1000000 + usec;
    }
    int ready;
    for (;;) {
        timespec left;
        if (timeout) {
            long long rest = deadline - nowMicroseconds();
            if (rest < 0) rest = 0;
            left.tv_sec = static_cast<time_t>(rest / 1000000);
            left.tv_nsec = static_cast<long>(rest % 1000000) * 1000;
        }
        ready = ::ppoll(fds, static_cast<nfds_t>(count), timeout ? &left : nullptr, nullptr);
        if (ready >= 0) break;
        if (errno != EINTR) return fail();
    }
    int out = 0;
    for (int i = 0; i < count; ++i) {
        if (fds[i].revents & POLLNVAL) return failWith(kWsaENotSock);
        if (fds[i].revents) handles[out++] = handles[i];
    }
    return out;
}

int socketDescriptor(SocketHandle h, int* fd) {
    *fd = fdOf(h);
    return *fd < 0 ? kErrorInvalidHandle : 0;
}

std::FILE* socketStream(int fd) {
    cookie_io_functions_t io;
    io.read = cookieRead;
    io.write = cookieWrite;
    io.seek = nullptr;
    io.close = cookieClose;
    return ::fopencookie(reinterpret_cast<void*>(static_cast<intptr_t>(fd)), "rb+", io);
}

int closeDescriptor(int fd) {
    return closeLingering(fd);
}

}  // namespace sys
}  // namespace qx
