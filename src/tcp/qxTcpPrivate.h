// What the TCP classes share inside the library.
#ifndef QXBASE_TCP_QXTCPPRIVATE_H
#define QXBASE_TCP_QXTCPPRIVATE_H

#include "Components/Base/Utility/qxInterval.h"
#include "diagnostics/qxError.h"
#include "os/sys/qxSysSocket.h"
#include "string/qxString.h"
#include "tcp/qxTcpSocket.h"

namespace qxTCP {

static_assert(kInvalidSocketHandle == qx::sys::kInvalidSocket, "one invalid handle");

// Starts the socket layer once for the process (see isIPv4Usable).
void startSockets();

// The texts behind Address::localhost and Address::localhostV6, and the
// cache of the host name, built on first use (at the latest when the
// library loads).
const qxString::IString& loopbackText(bool ipv6);
void touchHostNameCache();

// Seconds a closing connection may linger to deliver what it still holds.
constexpr int kLingerSeconds = 2;

// The text of a socket error, by default the calling thread's last one.
// Take the number before anything else runs: fetching a text may change it.
inline qxString::IString socketErrorText(int code = qx::sys::socketError()) {
    return qxUtil::systemErrorText(code);
}
// An error whose whole message is that text.
inline qxUtil::Error socketFailure(int num) {
    return qxUtil::Error(num, socketErrorText());
}

// A timeout as the layer takes it: null for a zero interval (no limit).
inline const qx::sys::WaitTime* waitTime(const qxUtil::Interval& timeout,
                                         qx::sys::WaitTime& storage) {
    if (timeout.isZero()) return nullptr;
    storage.seconds = timeout.seconds();
    storage.microseconds = timeout.microseconds();
    return &storage;
}

}  // namespace qxTCP

#endif
