// Win32 backend of the socket layer: Windows Sockets 2 as it is.
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysSocket.h"

#include <cstring>

// winsock2.h must come before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace qx {
namespace sys {

static_assert(sizeof(SOCKET) == sizeof(SocketHandle), "a SOCKET fits the handle type");
static_assert(INVALID_SOCKET == kInvalidSocket, "the invalid handle has all bits set");

namespace {

inline SOCKET sockOf(SocketHandle h) {
    return static_cast<SOCKET>(h);
}

int setIntOption(SocketHandle h, int level, int name, int value) {
    return ::setsockopt(sockOf(h), level, name, reinterpret_cast<const char*>(&value),
                        sizeof value) == 0
               ? 0
               : -1;
}

SocketHandle openSocket(int family, int type, int protocol) {
    // Not inherited by child processes: the counterpart of close-on-exec.
    SOCKET s = ::WSASocketA(family, type, protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
    if (s == INVALID_SOCKET && ::WSAGetLastError() == WSAEINVAL) {
        // Systems without the flag: make the socket, then clear inheritance.
        s = ::WSASocketA(family, type, protocol, nullptr, 0, 0);
        if (s != INVALID_SOCKET)
            ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    }
    return static_cast<SocketHandle>(s);
}

}  // namespace

int socketStartup() {
    WSADATA data;
    return ::WSAStartup(MAKEWORD(2, 2), &data);
}

int socketError() {
    return ::WSAGetLastError();
}

SocketHandle openStreamSocket(bool ipv6) {
    return openSocket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP);
}

SocketHandle openSocketFor(const addrinfo* entry) {
    return openSocket(entry->ai_family, entry->ai_socktype, entry->ai_protocol);
}

int closeSocket(SocketHandle h) {
    if (::closesocket(sockOf(h)) == 0) return 0;
    if (::WSAGetLastError() != WSAEWOULDBLOCK) return -1;
    // A non-blocking socket cannot linger in closesocket: let the close go
    // on in the background instead of keeping the socket open.
    setLinger(h, false, 0);
    return ::closesocket(sockOf(h)) == 0 ? 0 : -1;
}

int shutdownSocket(SocketHandle h, int how) {
    const int mode = how == 0 ? SD_RECEIVE : how == 1 ? SD_SEND : SD_BOTH;
    return ::shutdown(sockOf(h), mode) == 0 ? 0 : -1;
}

int receiveBytes(SocketHandle h, void* buf, int len) {
    const int n = ::recv(sockOf(h), static_cast<char*>(buf), len, 0);
    return n == SOCKET_ERROR ? -1 : n;
}

int sendBytes(SocketHandle h, const void* buf, int len) {
    const int n = ::send(sockOf(h), static_cast<const char*>(buf), len, 0);
    return n == SOCKET_ERROR ? -1 : n;
}

int setLinger(SocketHandle h, bool on, int seconds) {
    linger l;
    l.l_onoff = on ? 1 : 0;
    l.l_linger = static_cast<u_short>(seconds);
    return ::setsockopt(sockOf(h), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l),
                        sizeof l) == 0
               ? 0
               : -1;
}

int setNoDelay(SocketHandle h, bool on) {
    return setIntOption(h, IPPROTO_TCP, TCP_NODELAY, on ? 1 : 0);
}

int setNonBlocking(SocketHandle h, bool on) {
    u_long mode = on ? 1 : 0;
    return ::ioctlsocket(sockOf(h), FIONBIO, &mode) == 0 ? 0 : -1;
}

int connectTo(SocketHandle h, const addrinfo* entry) {
    return ::connect(sockOf(h), entry->ai_addr, static_cast<int>(entry->ai_addrlen)) == 0 ? 0 : -1;
}

int bindListener(SocketHandle h, bool ipv6, bool loopbackOnly, int port) {
    if (ipv6) {
        if (setIntOption(h, IPPROTO_IPV6, IPV6_V6ONLY, 1) != 0) return -1;
        sockaddr_in6 a;
        std::memset(&a, 0, sizeof a);
        a.sin6_family = AF_INET6;
        a.sin6_addr = loopbackOnly ? in6addr_loopback : in6addr_any;
        a.sin6_port = htons(static_cast<u_short>(port));
        return ::bind(sockOf(h), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 ? 0 : -1;
    }
    sockaddr_in a;
    std::memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(loopbackOnly ? INADDR_LOOPBACK : INADDR_ANY);
    a.sin_port = htons(static_cast<u_short>(port));
    return ::bind(sockOf(h), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 ? 0 : -1;
}

int listenOn(SocketHandle h, int backlog) {
    return ::listen(sockOf(h), backlog) == 0 ? 0 : -1;
}

int boundPort(SocketHandle h, bool ipv6, int* port) {
    sockaddr_in6 a;
    int len = ipv6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in);
    if (::getsockname(sockOf(h), reinterpret_cast<sockaddr*>(&a), &len) != 0) return -1;
    *port = ntohs(ipv6 ? a.sin6_port : reinterpret_cast<sockaddr_in*>(&a)->sin_port);
    return 0;
}

int addressIPv4(SocketHandle h, bool peer, char* text, size_t cap, int* port) {
    sockaddr_in a;
    int len = sizeof a;
    const int rc = peer ? ::getpeername(sockOf(h), reinterpret_cast<sockaddr*>(&a), &len)
                        : ::getsockname(sockOf(h), reinterpret_cast<sockaddr*>(&a), &len);
    if (rc != 0) return -1;
    const char* numbers = ::inet_ntoa(a.sin_addr);
    if (!numbers || std::strlen(numbers) >= cap) {
        ::WSASetLastError(WSAEFAULT);
        return -1;
    }
    std::strcpy(text, numbers);
    *port = ntohs(a.sin_port);
    return 0;
}

SocketHandle acceptOn(SocketHandle h) {
    char peer[128];
    int len = sizeof peer;
    const SOCKET s = ::accept(sockOf(h), reinterpret_cast<sockaddr*>(peer), &len);
    if (s != INVALID_SOCKET)
        ::SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    return static_cast<SocketHandle>(s);
}

int getAddrInfo(const char* host, const char* service, int family, bool passive, bool numericHost,
                addrinfo** list) {
    addrinfo hints;
    std::memset(&hints, 0, sizeof hints);
    hints.ai_family = family == 4 ? AF_INET : family == 6 ? AF_INET6 : AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = (passive ? AI_PASSIVE : 0) | (numericHost ? AI_NUMERICHOST : 0);
    *list = nullptr;
    const int code = ::getaddrinfo(host, service, &hints, list);
    if (code) {
        *list = nullptr;
        ::WSASetLastError(code);
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
    const int code =
        ::getnameinfo(entry->ai_addr, static_cast<socklen_t>(entry->ai_addrlen), buf,
                      static_cast<DWORD>(cap), nullptr, 0, numericHost ? NI_NUMERICHOST : 0);
    if (code) ::WSASetLastError(code);
    return code;
}

bool parseIPv4(const char* text) {
    return text && ::inet_addr(text) != INADDR_NONE;
}

int hostName(char* buf, size_t cap) {
    return ::gethostname(buf, static_cast<int>(cap)) == 0 ? 0 : -1;
}

int waitReadable(SocketHandle* handles, int count, const WaitTime* timeout) {
    if (count > FD_SETSIZE) {
        ::WSASetLastError(WSAEINVAL);
        return -1;
    }
    fd_set set;
    set.fd_count = 0;
    for (int i = 0; i < count; ++i) set.fd_array[set.fd_count++] = sockOf(handles[i]);
    timeval tv;
    if (timeout) {
        // Negative parts wait not at all (what select makes of them anyway).
        tv.tv_sec = timeout->seconds < 0 ? 0 : timeout->seconds;
        tv.tv_usec = timeout->microseconds < 0 ? 0 : timeout->microseconds;
    }
    const int ready = ::select(0, &set, nullptr, nullptr, timeout ? &tv : nullptr);
    if (ready == SOCKET_ERROR) return -1;
    for (u_int i = 0; i < set.fd_count; ++i)
        handles[i] = static_cast<SocketHandle>(set.fd_array[i]);
    return static_cast<int>(set.fd_count);
}

int socketDescriptor(SocketHandle h, int* fd) {
    *fd = ::_open_osfhandle(static_cast<intptr_t>(h), _O_RDWR);
    return *fd < 0 ? static_cast<int>(::GetLastError()) : 0;
}

std::FILE* socketStream(int fd) {
    return ::_fdopen(fd, "rb+");
}

int closeDescriptor(int fd) {
    return ::_close(fd);
}

}  // namespace sys
}  // namespace qx
