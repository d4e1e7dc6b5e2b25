// Parses arbitrary bytes as a URL and checks:
//  - decode(encode(x)) gives x back, for every text;
//  - the encoded path, query and reference are encode() of the plain ones;
//  - the parsed parts rebuild a text that parses to the same parts (a file
//    URL as "file://" and its path, an empty local path as the empty text;
//    any other as protocol, "://", authority, path, '?', query, '#' and
//    reference, both delimiters always written so that an empty query or
//    reference reads back as the empty one, and the '/' of a path that
//    followed "://" directly written as the '\' they were);
//  - every answer can be asked, and the separator helpers are idempotent.
#include "os/files/qxURL.h"

#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>

namespace {

using fuzzcheck::expect;
using qxOS::URL;
using qxString::CString;

bool same(const CString& a, const CString& b) {
    return a.compare(b) == 0;
}

void expectSameParts(const URL& a, const URL& b) {
    expect(same(a.getProtocol(), b.getProtocol()), "protocol differs after a rebuild");
    expect(same(a.getAuthority(), b.getAuthority()), "authority differs after a rebuild");
    expect(same(a.getHost(), b.getHost()), "host differs after a rebuild");
    expect(a.getPort() == b.getPort(), "port differs after a rebuild");
    expect(same(a.getPath(false), b.getPath(false)), "path differs after a rebuild");
    expect(same(a.getQuery(false), b.getQuery(false)), "query differs after a rebuild");
    expect(same(a.getRef(false), b.getRef(false)), "reference differs after a rebuild");
}

CString rebuild(const URL& u) {
    const CString path = u.getPath(false);
    if (u.isLocalFile()) {
        if (path.empty()) return CString();
        CString text("file://");
        text.append(path);
        return text;
    }
    CString text = u.getProtocol();
    text.append("://");
    text.append(u.getAuthority());
    // A path that does not start with '/' began right after "://" with a
    // '#' (a query follows): no '/' came after "://" then, or it would have
    // ended an authority. Its '/' were '\' and are written so again.
    const bool noSlash = !path.empty() && path[0] != '/';
    for (const char c : path) text.append(noSlash && c == '/' ? '\\' : c);
    text.append('?');
    text.append(u.getQuery(false));
    text.append('#');
    text.append(u.getRef(false));
    return text;
}

void askEverything(const URL& u) {
    for (const bool encoded : {false, true}) {
        u.getName(encoded);
        u.getFullURL(encoded);
        u.getDirname(encoded);
        u.getCanonicalPath(encoded);
        u.dirname(encoded);
        u.basename(encoded);
        u.baseSuffix(encoded);
        u.baseTrunk(encoded);
    }
    u.getSeparator();
    u.isAbsolute();
    u.isAbsolutePath();
    u.IsIMan();
    u.hasIllegalCharacters();
}

void checkSeparators(const CString& text, char sep) {
    const CString d = URL::removeDuplicateSeparators(text, sep);
    expect(same(URL::removeDuplicateSeparators(d, sep), d), "removeDuplicateSeparators twice");
    const CString t = URL::removeTrailingSeparators(d, sep);
    expect(same(URL::removeTrailingSeparators(t, sep), t), "removeTrailingSeparators twice");
    expect(t.length() <= d.length() && d.length() <= text.length(), "a separator helper grew");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const CString text(reinterpret_cast<const char*>(data), static_cast<int>(size));

    expect(same(URL::decode(URL::encode(text)), text), "decode(encode(x)) is not x");
    URL::decode(text);
    URL::hasIllegalCharacters(text);
    checkSeparators(text, '\\');
    checkSeparators(text, '/');

    const URL u(text);
    expect(same(u.getPath(true), URL::encode(u.getPath(false))), "encoded path");
    expect(same(u.getQuery(true), URL::encode(u.getQuery(false))), "encoded query");
    expect(same(u.getRef(true), URL::encode(u.getRef(false))), "encoded reference");
    askEverything(u);

    const URL again(rebuild(u));
    expectSameParts(u, again);
    if (!u.isLocalFile()) expect(u.comparePath(again), "a rebuilt URL names another path");

    URL copy(u);
    expectSameParts(u, copy);
    expect(same(copy.dirname(false), u.dirname(false)), "a copy splits its path otherwise");
    return 0;
}
