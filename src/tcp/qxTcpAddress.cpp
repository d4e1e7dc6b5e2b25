#include "tcp/qxTcpAddress.h"

#include "os/sys/qxSysApp.h"
#include "os/sys/qxSysSocket.h"
#include "tcp/qxTcpPrivate.h"

#include <climits>
#include <cstdio>

namespace qxTCP {

using qxString::IString;
using qxUtil::Error;

namespace {

constexpr int kIPv4 = 1;
constexpr int kIPv6 = 2;

const char* startupFailureText(int code) {
    switch (code) {
        case 10014:
            return "internal application error";
        case 10036:
            return "operation in progress";
        case 10067:
            return "internal limits exceeded";
        case 10091:
            return "system not ready";
        case 10092:
            return "version 2.2 not supported";
        default:
            return "unknown error";
    }
}

int startSocketLayer() {
    if (const int rc = qx::sys::socketStartup()) {
        std::printf("Cannot initialize Windows Sockets: %s", startupFailureText(rc));
        std::fflush(stdout);
        return 0;
    }
    int families = 0;
    for (const bool ipv6 : {false, true}) {
        const qx::sys::SocketHandle h = qx::sys::openStreamSocket(ipv6);
        if (h == qx::sys::kInvalidSocket) continue;
        families |= ipv6 ? kIPv6 : kIPv4;
        qx::sys::closeSocket(h);
    }
    if ((families & kIPv6) && qx::sys::getEnv8("QX_IPV6_ONLY"))
        families = kIPv6;
    else if ((families & kIPv4) && qx::sys::getEnv8("QX_IPV4_ONLY"))
        families = kIPv4;
    return families;
}

// Once for the process, also when several threads ask first at once.
int families() {
    static const int s_families = startSocketLayer();
    return s_families;
}

// atoi as the Windows runtime has it: leading white space, a sign, digits,
// saturating at the int range instead of overflowing.
int portNumber(const char* text) {
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    long long v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        v = v * 10 + (*p - '0');
        if (v > static_cast<long long>(INT_MAX) + 1) v = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) return v > INT_MAX ? INT_MIN : -static_cast<int>(v);
    return v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

// Host name look-up in IPv4: from a name to numbers (forward), or from
// numbers to a name (reverse). output changes only on success, and then to
// the first answer (it stays as it was when there is none).
Error lookUp(const IString& input, IString& output, bool reverse) {
    addrinfo* list = nullptr;
    if (const int code = qx::sys::getAddrInfo(input.asUTF8(), nullptr, 4, false, reverse, &list))
        return Error(code == qx::sys::kWsaHostNotFound ? 3 : 1, socketErrorText(code));
    bool found = false, notFound = false;
    char buf[1025];
    for (const addrinfo* e = list; e; e = qx::sys::nextAddrInfo(e)) {
        buf[0] = '\0';
        const int code = qx::sys::nameInfo(e, !reverse, buf, sizeof buf);
        if (code == qx::sys::kWsaHostNotFound) {
            notFound = true;
        } else if (!found) {
            output = IString(buf, qxString::EncodingUTF8);
            found = true;
        }
    }
    qx::sys::freeAddrInfo(list);
    if (!found && notFound) return Error(3, socketErrorText(qx::sys::kWsaHostNotFound));
    return Error();
}

struct HostNameCache {
    IString name;
    bool fetched = false;
};

}  // namespace

void startSockets() {
    families();
}

const IString& loopbackText(bool ipv6) {
    static const IString v4(QX_W("127.0.0.1"));
    static const IString v6(QX_W("::1"));
    return ipv6 ? v6 : v4;
}

static HostNameCache& hostNameCache() {
    static HostNameCache cache;
    return cache;
}

void touchHostNameCache() {
    hostNameCache();
}

bool isIPv4Usable() {
    return (families() & kIPv4) != 0;
}

bool isIPv6Usable() {
    return (families() & kIPv6) != 0;
}

Address::Address(const IString& spec)
    : m_numbersAndDotsCached(false), m_nameCached(false), m_isLocalLoopback(false), m_port(-1) {
    if (spec.empty()) throw Error(2, "qxTCP::Address: empty address or incorectly formed address");
    const unsigned colon = spec.find(qx::WChar(':'));
    if (colon != IString::npos && spec.find(qx::WChar(':'), colon + 1) == IString::npos)
        parse(spec.substr(0, colon), portNumber(spec.substr(colon + 1).asUTF8()));
    else
        parse(spec, -1);
}

Address::Address(const IString& host, int port)
    : m_numbersAndDotsCached(false), m_nameCached(false), m_isLocalLoopback(false), m_port(-1) {
    parse(host, port);
}

Address::Address(const Address& other) = default;
Address::Address(Address&& other) noexcept = default;
Address& Address::operator=(const Address& other) = default;
Address& Address::operator=(Address&& other) noexcept = default;
Address::~Address() = default;

void Address::parse(const IString& host, int port) {
    m_port = port;
    m_isLocalLoopback = false;
    startSockets();
    if (host.empty()) throw Error(2, "qxTCP::Address: empty address specified");
    if (qx::sys::parseIPv4(host.asUTF8())) {
        m_numbersAndDotsCached = true;
        m_nameCached = false;
        m_numbersAndDots = host;
        m_isLocalLoopback = qxString::equal(host, loopbackText(false));
    } else {
        // Names, IPv6 literals, and 255.255.255.255, which inet_addr cannot
        // tell from a failure.
        m_nameCached = true;
        m_numbersAndDotsCached = false;
        m_name = host;
    }
}

bool Address::operator==(const Address& other) const {
    if (m_port != other.m_port) return false;
    if (m_numbersAndDotsCached && other.m_numbersAndDotsCached)
        return qxString::equal(m_numbersAndDots, other.m_numbersAndDots);
    return qxString::equal(m_name, other.m_name);
}

qx::pair<IString, Error> Address::getName() {
    Error e;
    if (!m_nameCached) {
        e = lookUp(m_numbersAndDots, m_name, true);
        if (!e) m_nameCached = true;
    }
    return {m_name, e};
}

qx::pair<IString, Error> Address::getNumbersAndDots() {
    Error e;
    if (!m_numbersAndDotsCached) {
        e = lookUp(m_name, m_numbersAndDots, false);
        if (!e) m_numbersAndDotsCached = true;
    }
    return {m_numbersAndDots, e};
}

Error Address::resolve() {
    return m_numbersAndDotsCached ? lookUp(m_numbersAndDots, m_name, true)
                                  : lookUp(m_name, m_numbersAndDots, false);
}

addrinfo* Address::getAddrInfo(bool passive) const {
    const char* host = m_numbersAndDotsCached ? m_numbersAndDots.asUTF8()
                       : m_nameCached         ? m_name.asUTF8()
                                              : nullptr;
    char service[16] = "0";
    if (hasAssignedPort()) std::snprintf(service, sizeof service, "%d", m_port);
    addrinfo* list = nullptr;
    qx::sys::getAddrInfo(host, service, 0, passive, false, &list);
    return list;
}

IString& Address::localhostName() {
    HostNameCache& cache = hostNameCache();
    if (!cache.fetched) {
        cache.fetched = true;
        startSockets();
        char buf[256];
        if (qx::sys::hostName(buf, sizeof buf) == 0)
            cache.name = IString(buf, qxString::EncodingUTF8);
    }
    return cache.name;
}

}  // namespace qxTCP
