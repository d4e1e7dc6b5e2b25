#include "tcp/qxTcpServer.h"

#include "os/sys/qxSysSocket.h"
#include "tcp/qxTcpPrivate.h"

namespace qxTCP {

using qxUtil::Error;
namespace sys = qx::sys;

namespace {

// Handles in one wait, as in a Windows fd_set.
constexpr int kSetLimit = 64;
// Fresh port pairs tried when the system's choice for IPv6 is taken on IPv4.
constexpr int kPortAttempts = 8;

// A set of distinct handles, at most kSetLimit.
struct HandleSet {
    int count = 0;
    SocketHandle handles[kSetLimit];

    bool contains(SocketHandle h) const {
        for (int i = 0; i < count; ++i)
            if (handles[i] == h) return true;
        return false;
    }
    void add(SocketHandle h) {
        if (count < kSetLimit && !contains(h)) handles[count++] = h;
    }
    // Leaves only the ready handles; -1 when the wait failed (set unchanged).
    int wait(const qxUtil::Interval& timeout) {
        SocketHandle ready[kSetLimit];
        for (int i = 0; i < count; ++i) ready[i] = handles[i];
        sys::WaitTime storage;
        const int n = sys::waitReadable(ready, count, waitTime(timeout, storage));
        if (n < 0) return -1;
        for (int i = 0; i < n; ++i) handles[i] = ready[i];
        count = n;
        return n;
    }
};

SocketHandle handleOf(const Socket* s) {
    return s->getImpl()->handle;
}

}  // namespace

ListeningSocket::ListeningSocket(SocketHandle handle) : Socket(handle) {}
ListeningSocket::~ListeningSocket() = default;

ServerSocket::ServerSocket(SocketHandle handle) : Socket(handle) {
    getImpl()->connected = true;
}
ServerSocket::~ServerSocket() = default;

class ServerImpl : public qx::ImplBase {
public:
    int port;
    int backlog;
    ListeningSocket* ipv4Listener = nullptr;
    ListeningSocket* ipv6Listener = nullptr;
    qx::vector<SocketHandle> handles;  // listening ones, IPv6 first
    bool loopbackOnly = false;

    ServerImpl(int p, int b) : port(p), backlog(b) {}
    ~ServerImpl() override { dropListeners(); }

    void dropListeners() {
        delete ipv4Listener;
        delete ipv6Listener;
        ipv4Listener = ipv6Listener = nullptr;
        handles.clear();
    }
};

Server::Server(int port, int backlog) : m_impl(new ServerImpl(port, backlog)) {}

Server::~Server() {
    delete m_impl;
}

void Server::setLoopbackOnly() {
    m_impl->loopbackOnly = true;
}

Error Server::isBindError(int bindResult) {
    if (bindResult == 0) return Error();
    const int code = sys::socketError();
    return Error(code == sys::kWsaEAddrInUse ? 3 : 1, "bind() failed: %S",
                 socketErrorText(code).asWChar());
}

Error Server::listen() {
    Error err;
    listenIpv6And4(err);
    if (err) m_impl->dropListeners();
    return err;
}

void Server::listenIpv6And4(Error& err) {
    const int requested = m_impl->port;
    for (int attempt = 1;; ++attempt) {
        bool retry = false;
        err = Error();
        listenOnce(err, &retry);
        if (!retry || attempt == kPortAttempts) return;
        m_impl->port = requested;
    }
}

// One try of listen; *retry when the port the system chose for IPv6 was
// taken on IPv4 (a connection lingering on it is enough).
void Server::listenOnce(Error& err, bool* retry) {
    ServerImpl& s = *m_impl;
    s.dropListeners();
    s.ipv4Listener = new ListeningSocket(kInvalidSocketHandle);
    s.ipv6Listener = new ListeningSocket(kInvalidSocketHandle);

    SocketHandle h4 = isIPv4Usable() ? sys::openStreamSocket(false) : kInvalidSocketHandle;
    const SocketHandle h6 = isIPv6Usable() ? sys::openStreamSocket(true) : kInvalidSocketHandle;
    if (h4 == kInvalidSocketHandle && h6 == kInvalidSocketHandle) {
        err = Error(2, "listen() failed: No useable protocol families found.");
        return;
    }
    // What is not handed to a listener by the end is closed here.
    struct Pending {
        SocketHandle& h;
        ~Pending() {
            if (h != kInvalidSocketHandle) sys::closeSocket(h);
        }
    } pendingV4{h4};

    const int requested = s.port;
    const bool systemChooses = requested == -1 || requested == 0;
    int port = requested == -1 ? 0 : requested;
    bool readBack = false;

    if (h6 != kInvalidSocketHandle) {
        const Error bound = isBindError(sys::bindListener(h6, true, s.loopbackOnly, port));
        if (!bound) {
            s.ipv6Listener->getImpl()->handle = h6;
            s.handles.push_back(h6);
            if (sys::listenOn(h6, s.backlog) != 0) {
                err = socketFailure(1);
                return;
            }
            int bound6 = 0;
            if (sys::boundPort(h6, true, &bound6) != 0) {
                err =
                    Error(1, "Cannot get listening socket address:%s", socketErrorText().asChar());
                return;
            }
            s.port = port = bound6;
            readBack = true;
        } else {
            sys::closeSocket(h6);
            if (h4 == kInvalidSocketHandle) {
                err = bound;
                return;
            }
        }
    }
    if (h4 == kInvalidSocketHandle) return;

    // The same port for IPv4, also when the system chose it for IPv6.
    err = isBindError(sys::bindListener(h4, false, s.loopbackOnly, port));
    if (err) {
        *retry = readBack && systemChooses && err.num() == 3;
        return;
    }
    s.ipv4Listener->getImpl()->handle = h4;
    s.handles.push_back(h4);
    h4 = kInvalidSocketHandle;
    if (sys::listenOn(s.ipv4Listener->getImpl()->handle, s.backlog) != 0) {
        err = socketFailure(1);
        return;
    }
    if (!readBack && requested == -1) {
        const qx::pair<const Address*, Error> local = s.ipv4Listener->localAddress();
        if (local.second) {
            err = Error(1, "Cannot get listening socket address: %s", local.second.message());
            return;
        }
        s.port = local.first->getPort();
    }
}

qx::pair<Socket*, Error> Server::accept(const qxUtil::Interval& timeout) {
    ServerImpl& s = *m_impl;
    if (s.handles.empty())
        if (Error err = listen()) return {nullptr, err};
    HandleSet set;
    for (SocketHandle h : s.handles) set.add(h);
    const int ready = set.wait(timeout);
    if (ready < 0) return {nullptr, socketFailure(1)};
    if (ready == 0) return {nullptr, Error()};
    SocketHandle chosen = kInvalidSocketHandle;
    for (SocketHandle h : s.handles)
        if (set.contains(h)) {
            chosen = h;
            break;
        }
    const SocketHandle h = sys::acceptOn(chosen);
    if (h == kInvalidSocketHandle) return {nullptr, socketFailure(1)};
    if (sys::setLinger(h, true, kLingerSeconds) != 0) {
        const Error err = socketFailure(1);
        sys::closeSocket(h);  // not handed out
        return {nullptr, err};
    }
    return {new ServerSocket(h), Error()};
}

Error Server::accept(Socket** socket, const qxUtil::Interval& timeout) {
    const qx::pair<Socket*, Error> r = accept(timeout);
    *socket = r.first;
    return r.second;
}

bool Server::connectionPending() {
    return false;
}

int Server::getPort() const {
    return m_impl->port;
}

SocketImpl* Server::getListeningSocketImplIPv4() const {
    return m_impl->ipv4Listener ? m_impl->ipv4Listener->getImpl() : nullptr;
}

SocketImpl* Server::getListeningSocketImplIPv6() const {
    return m_impl->ipv6Listener ? m_impl->ipv6Listener->getImpl() : nullptr;
}

void Server::shutdown() {
    m_impl->dropListeners();
}

class WaitReadableImpl : public qx::ImplBase {
public:
    HandleSet set;
    SocketHandle maxHandle = kInvalidSocketHandle;  // the largest handle added
};

WaitReadable::WaitReadable() : m_impl(new WaitReadableImpl), m_owned(true) {}

WaitReadable::WaitReadable(const WaitReadable& other) : m_impl(other.m_impl), m_owned(false) {}

WaitReadable::WaitReadable(WaitReadable&& other) : m_impl(other.m_impl), m_owned(false) {}

WaitReadable::~WaitReadable() {
    if (m_owned) delete m_impl;
}

void WaitReadable::reset() {
    m_impl->set.count = 0;
    m_impl->maxHandle = kInvalidSocketHandle;
}

void WaitReadable::add(const Socket& s) {
    const SocketHandle h = handleOf(&s);
    m_impl->set.add(h);
    if (m_impl->maxHandle == kInvalidSocketHandle || m_impl->maxHandle < h) m_impl->maxHandle = h;
}

void WaitReadable::add(const Server& s) {
    for (const SocketImpl* l : {s.getListeningSocketImplIPv4(), s.getListeningSocketImplIPv6()}) {
        if (!l || l->handle == kInvalidSocketHandle) continue;
        m_impl->set.add(l->handle);
        if (m_impl->maxHandle == kInvalidSocketHandle || m_impl->maxHandle < l->handle)
            m_impl->maxHandle = l->handle;
    }
}

Error WaitReadable::wait(qxUtil::Interval timeout) {
    if (m_impl->set.wait(timeout) < 0) return socketFailure(1);
    return Error();
}

bool WaitReadable::isReadable(const Socket& s) const {
    return m_impl->set.contains(handleOf(&s));
}

bool WaitReadable::isReadable(const Server& s) const {
    for (const SocketImpl* l : {s.getListeningSocketImplIPv4(), s.getListeningSocketImplIPv6()})
        if (l && l->handle != kInvalidSocketHandle && m_impl->set.contains(l->handle)) return true;
    return false;
}

Error waitReadable(const qx::vector<Socket*>& sockets, qx::vector<Socket*>& readable,
                   qxUtil::Interval timeout) {
    HandleSet set;
    for (Socket* s : sockets)
        if (s) set.add(handleOf(s));
    if (set.wait(timeout) < 0) return Error(1, "select() failed");
    for (Socket* s : sockets)
        if (s && set.contains(handleOf(s))) readable.push_back(s);
    return Error();
}

}  // namespace qxTCP
