// qxTCP::Address: a host, given by name or in numbers and dots, with an
// optional port and cached look-ups; and which protocol families the
// process may use.
#ifndef QXBASE_TCP_QXTCPADDRESS_H
#define QXBASE_TCP_QXTCPADDRESS_H

#include "diagnostics/qxError.h"
#include "qxDefs.h"
#include "string/qxString.h"

struct addrinfo;

namespace qxTCP {

// Whether IPv4 and IPv6 stream sockets can be used here. The first of these
// queries, of the socket constructors and of the address parsers starts the
// socket layer once for the process: it tries a socket of each family and,
// when both work, keeps only IPv6 if QX_IPV6_ONLY is set, or else only IPv4
// if QX_IPV4_ONLY is set (any value). A failed start-up is reported on
// stdout ("Cannot initialize Windows Sockets: ...") and leaves neither.
QX_API bool isIPv4Usable();
QX_API bool isIPv6Usable();

// A value: copied whole. Only the numbers-and-dots form of IPv4 counts as
// numeric; names and IPv6 literals such as "::1" are kept as names.
class QX_API Address {
public:
    static const qxString::IString& localhost;    // "127.0.0.1"
    static const qxString::IString& localhostV6;  // "::1"

    // "host" or "host:port" (the port read as atoi reads it); a text with two
    // or more ':' (an IPv6 literal) is all host, without port. Throws
    // Error(2, ...) for an empty text or an empty host.
    explicit Address(const qxString::IString& spec);
    // host with port (-1: none). Throws Error(2, ...) for an empty host.
    Address(const qxString::IString& host, int port);
    Address(const Address& other);
    Address(Address&& other) noexcept;
    Address& operator=(const Address& other);
    Address& operator=(Address&& other) noexcept;
    ~Address();

    // Same port and, when both know their numbers, the same numbers;
    // otherwise the same name.
    bool operator==(const Address& other) const;
    bool operator!=(const Address& other) const { return !(*this == other); }

    int getPort() const { return m_port; }
    bool hasAssignedPort() const { return m_port != -1; }
    // Given as exactly "127.0.0.1".
    bool isLocalLoopback() const { return m_isLocalLoopback; }
    bool isNameCached() const { return m_nameCached; }
    bool isNumbersAndDotsCached() const { return m_numbersAndDotsCached; }

    // The name, looked up from the numbers first if need be (IPv4); the
    // name stays empty when the look-up fails (error 3: host not found, 1:
    // other failures, with the system's text).
    qx::pair<qxString::IString, qxUtil::Error> getName();
    // The IPv4 numbers and dots, looked up from the name first if need be.
    qx::pair<qxString::IString, qxUtil::Error> getNumbersAndDots();
    // Looks up the half that is not known and stores both; which halves
    // count as cached does not change.
    qxUtil::Error resolve();

    // getaddrinfo for this host (numbers, else name) and port ("0" without
    // one), any family, stream sockets, AI_PASSIVE when passive. Null on
    // failure; otherwise the caller frees the list with freeaddrinfo.
    addrinfo* getAddrInfo(bool passive) const;

    // This machine's host name, asked once (gethostname) and kept.
    static qxString::IString& localhostName();

private:
    void parse(const qxString::IString& host, int port);

    bool m_numbersAndDotsCached;
    bool m_nameCached;
    bool m_isLocalLoopback;
    qxString::IString m_numbersAndDots;
    qxString::IString m_name;
    int m_port;
};

}  // namespace qxTCP

#endif
