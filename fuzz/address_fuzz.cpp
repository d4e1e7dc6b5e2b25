// Parses address texts with both Address constructors (no look-ups: the
// parser never asks the network). The input's first byte picks a port for
// the two-argument form, the rest is UTF-8 text (decoded leniently). Checks:
//  - an empty text, and an empty host before a single ':', throw error 2;
//  - a text with exactly one ':' splits there, the port read as the Windows
//    runtime's atoi reads it (saturating); any other text is all host,
//    without port;
//  - the host is numeric exactly when inet_addr would take it (the system's
//    inet_aton here, which agrees but for a lone space) and not the
//    all-ones address; numeric and name are never both known;
//  - only exactly "127.0.0.1" is the loopback; copies compare equal.
#include "tcp/qxTcpAddress.h"

#include "fuzz_check.h"

#include <arpa/inet.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

using fuzzcheck::expect;
using qxString::IString;
using qxTCP::Address;

long long modelAtoi(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    long long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        if ((v = v * 10 + (s[i] - '0')) > 1LL << 40) v = 1LL << 40;
    v = negative ? -v : v;
    return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : v;
}

bool modelNumeric(const std::string& host) {
    const std::string c = host.c_str();  // the parser sees the text up to a NUL
    if (c == " ") return true;
    in_addr a;
    return inet_aton(c.c_str(), &a) != 0 && a.s_addr != 0xFFFFFFFFu;
}

std::string utf8(const IString& s) {
    return s.asUTF8();
}

// Builds the address, or returns the number it threw.
template <class Make>
int build(Make make, Address** out) {
    try {
        *out = make();
        return 0;
    } catch (const qxUtil::Error& e) {
        return e.num();
    }
}

void checkParsed(Address& a, const IString& host, int port) {
    const std::string h = utf8(host);
    expect(a.getPort() == port, "port");
    expect(a.hasAssignedPort() == (port != -1), "assigned port");
    expect(a.isNameCached() != a.isNumbersAndDotsCached(), "both or neither form known");
    expect(a.isNumbersAndDotsCached() == modelNumeric(h), "numeric form unlike inet_addr");
    expect(a.isLocalLoopback() == (a.isNumbersAndDotsCached() && h == "127.0.0.1"),
           "loopback flag");
    const Address copy(a);
    expect(copy == a && !(copy != a), "a copy differs");
    expect(a.isNameCached() ? utf8(a.getName().first) == h : utf8(a.getNumbersAndDots().first) == h,
           "the known form is not the host");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || size > 2048) return 0;
    const int port = static_cast<int>(data[0]) * 257 - 1;
    const IString spec(std::string(reinterpret_cast<const char*>(data + 1), size - 1).c_str(),
                       qxString::EncodingUTF8);

    // One argument.
    Address* a = nullptr;
    const int thrown = build([&] { return new Address(spec); }, &a);
    unsigned colons = 0, at = 0;
    for (unsigned i = 0; i < spec.length(); ++i)
        if (spec[i] == ':' && colons++ == 0) at = i;
    if (spec.empty()) {
        expect(thrown == 2, "an empty text was taken");
    } else if (colons == 1) {
        const IString host = spec.substr(0, at);
        expect(thrown == (host.empty() ? 2 : 0), "host:port");
        if (a) checkParsed(*a, host, static_cast<int>(modelAtoi(utf8(spec.substr(at + 1)))));
    } else {
        expect(thrown == 0, "a whole-host text was refused");
        if (a) checkParsed(*a, spec, -1);
    }
    delete a;

    // Host and port.
    Address* b = nullptr;
    const int thrownB = build([&] { return new Address(spec, port); }, &b);
    expect(thrownB == (spec.empty() ? 2 : 0), "two-argument form");
    if (b) checkParsed(*b, spec, port);
    delete b;
    return 0;
}
