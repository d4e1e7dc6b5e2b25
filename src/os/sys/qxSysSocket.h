// Platform layer: stream sockets, name look-ups and readiness waits.
//
// The layer answers as Windows Sockets 2 does, with its error numbers. The
// Win32 backend calls the real API; the POSIX backend uses BSD sockets with
// these differences taken care of:
//  - every socket is close-on-exec (Win32: not inherited by children);
//  - sends never raise SIGPIPE (MSG_NOSIGNAL, also under the C stream view);
//  - every wait is a poll, so descriptors above 1023 work, yet a set holds
//    what the caller gives it, like a Winsock set (the caller keeps the limit);
//  - errno values and getaddrinfo's EAI_* codes become Winsock numbers
//    (socketError), and their text comes from errorText as for any number.
#ifndef QXBASE_OS_SYS_QXSYSSOCKET_H
#define QXBASE_OS_SYS_QXSYSSOCKET_H

#include "qxDefs.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

struct addrinfo;

namespace qx {
namespace sys {

// A SOCKET on Windows, a descriptor elsewhere; all bits set when none.
using SocketHandle = std::uintptr_t;
constexpr SocketHandle kInvalidSocket = ~SocketHandle(0);

// The Windows Sockets numbers the library's branches depend on.
enum SocketErrorNumber : int {
    kWsaEIntr = 10004,
    kWsaEFault = 10014,
    kWsaEInval = 10022,
    kWsaEWouldBlock = 10035,
    kWsaENotSock = 10038,
    kWsaEAddrInUse = 10048,
    kWsaENetUnreach = 10051,
    kWsaEConnReset = 10054,
    kWsaEShutdown = 10058,
    kWsaENotConn = 10057,
    kWsaETypeNotFound = 10109,
    kWsaHostNotFound = 11001,
};

// WSAStartup for version 2.2: 0, or the code it failed with. POSIX has
// nothing to start: always 0.
int socketStartup();

// The Windows Sockets number of the calling thread's last failed call of
// this layer (WSAGetLastError).
int socketError();

// A stream socket of the family, TCP, not inherited by child processes;
// kInvalidSocket on failure.
SocketHandle openStreamSocket(bool ipv6);
// A socket of an address list entry's family, type and protocol.
SocketHandle openSocketFor(const addrinfo* entry);
// closesocket: 0 or -1.
QX_API int closeSocket(SocketHandle h);
// how: 0 receiving, 1 sending, 2 both (SD_RECEIVE, SD_SEND, SD_BOTH).
int shutdownSocket(SocketHandle h, int how);

// recv and send of at most len bytes, flags 0: the count (0 from receive at
// the end of the stream), or -1. Sends never raise SIGPIPE; an interrupted
// call fails with kWsaEIntr.
int receiveBytes(SocketHandle h, void* buf, int len);
int sendBytes(SocketHandle h, const void* buf, int len);

// Options: 0 or -1.
QX_API int setLinger(SocketHandle h, bool on, int seconds);
int setNoDelay(SocketHandle h, bool on);
// ioctlsocket(FIONBIO).
int setNonBlocking(SocketHandle h, bool on);

// connect to an entry's address: 0 or -1. POSIX: a connect interrupted by
// a signal is waited for, as Windows never interrupts one.
int connectTo(SocketHandle h, const addrinfo* entry);
// Binds a listening socket to the any-address or the loopback address of its
// family on port (0: the system chooses). An IPv6 socket takes IPv6 only
// (the Windows default, set here on every target), so that IPv4 can bind the
// same port. POSIX also lets the port be bound while old connections on it
// linger in TIME_WAIT, as Windows does. 0 or -1.
int bindListener(SocketHandle h, bool ipv6, bool loopbackOnly, int port);
int listenOn(SocketHandle h, int backlog);
// The port a socket of the family is bound to (getsockname): 0 or -1.
QX_API int boundPort(SocketHandle h, bool ipv6, int* port);
// getsockname (peer: getpeername) into a 16-byte IPv4 socket address: the
// numbers and dots (inet_ntoa) into text and the port. An IPv6 socket does
// not fit: -1 with kWsaEFault, on POSIX as on Windows.
QX_API int addressIPv4(SocketHandle h, bool peer, char* text, size_t cap, int* port);
// accept, with room for a 128-byte peer address; the new socket is not
// inherited by child processes. kInvalidSocket on failure.
SocketHandle acceptOn(SocketHandle h);

// getaddrinfo with hints: family (0 unspecified, 4 IPv4, 6 IPv6), stream
// type, AI_PASSIVE and AI_NUMERICHOST as asked. host or service may be
// null. 0 with *list set, or the Windows Sockets number (kWsaHostNotFound
// for a name that does not resolve), which socketError then also gives.
int getAddrInfo(const char* host, const char* service, int family, bool passive, bool numericHost,
                addrinfo** list);
void freeAddrInfo(addrinfo* list);
const addrinfo* nextAddrInfo(const addrinfo* entry);
// getnameinfo of an entry's address, no service, NI_NUMERICHOST when
// numericHost: 0 with the host in buf, or the Windows Sockets number.
int nameInfo(const addrinfo* entry, bool numericHost, char* buf, size_t cap);

// Whether inet_addr takes text as an IPv4 address, that is, gives anything
// but INADDR_NONE (so never for 255.255.255.255). POSIX follows the Windows
// parser: one to four parts of decimal, octal (0...) or hex (0x...),
// the last part filling the bytes left, then the end or ASCII white space
// followed by anything; a single space alone reads as 0.0.0.0.
bool parseIPv4(const char* text);

// gethostname into buf of cap bytes: 0 or -1.
int hostName(char* buf, size_t cap);

// A wait's limit; null where no limit is meant. A negative part waits not
// at all, as Windows' select does.
struct WaitTime {
    int seconds;
    int microseconds;
};

// select for readability over count handles (the end of a stream and a
// failed connection count as readable). The ready handles move to the front
// in their order; returns how many (0 when the time ran out), or -1: with
// kWsaEInval for an empty set and kWsaENotSock for a handle that is no
// socket (kInvalidSocket included), on every target. POSIX: poll, resumed
// with the time left after a signal.
int waitReadable(SocketHandle* handles, int count, const WaitTime* timeout);

// The C runtime's view of a socket. socketDescriptor gives the descriptor
// that stands for it (_open_osfhandle with _O_RDWR; POSIX: the socket
// itself): 0, or the system's number for the failure. socketStream opens a
// "rb+" stream on it (_fdopen; POSIX: a stream whose reads and writes are
// recv and send, closing the socket with the stream); null on failure.
// closeDescriptor is _close.
int socketDescriptor(SocketHandle h, int* fd);
std::FILE* socketStream(int fd);
int closeDescriptor(int fd);

}  // namespace sys
}  // namespace qx

#endif
