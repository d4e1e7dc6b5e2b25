#include "os/files/qxURL.h"

#include <climits>
#include <utility>

namespace qxOS {

using qxString::CString;
using qxString::IString;

namespace {

const char kPlatformSeparator = '\\';

CString range(const char* s, unsigned from, unsigned to) {
    return CString(s + from, static_cast<int>(to - from));
}

// Filename's text back in 8-bit form.
CString narrow(const IString& s) {
    return CString(s.asMultibyte(qxString::EncodingMultibyte));
}

// The port text as the Windows runtime's atoi reads it: leading white
// space, a sign, digits; out of range it stops at INT_MAX or INT_MIN (where
// glibc's would wrap), so both targets agree.
int portNumber(const char* s, const char* end) {
    while (s < end && (*s == ' ' || (*s >= '\t' && *s <= '\r'))) ++s;
    bool negative = false;
    if (s < end && (*s == '+' || *s == '-')) negative = *s++ == '-';
    long long value = 0;
    for (; s < end && *s >= '0' && *s <= '9'; ++s) {
        value = value * 10 + (*s - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) break;
    }
    if (negative)
        return value > static_cast<long long>(INT_MAX) ? INT_MIN : -static_cast<int>(value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

enum Rule : unsigned char {
    kNoRule = 0,
    kBackslash = 1,
    kColon = 2,
    kSlash = 4,
    kBrackets = 8,
    kAlways = 16,
};

// What makes each ASCII character illegal. Control characters are ASCII's
// whatever the locale, so that both targets agree; the rest of 8-bit text
// is legal.
struct CharRules {
    unsigned char rule[128];
    constexpr CharRules() : rule{} {
        for (int c = 0; c < 0x20; ++c) rule[c] = kAlways;
        rule[0x7F] = kAlways;
        for (const char* p = " \"#$&+,;<=>?@^`{|}"; *p; ++p) rule[static_cast<int>(*p)] = kAlways;
        rule[static_cast<int>('\\')] = kBackslash;
        rule[static_cast<int>(':')] = kColon;
        rule[static_cast<int>('/')] = kSlash;
        rule[static_cast<int>('[')] = kBrackets;
        rule[static_cast<int>(']')] = kBrackets;
    }
};
constexpr CharRules kCharRules;

bool illegal(const CString& text, unsigned rules) {
    rules |= kAlways;
    for (const char ch : text) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 128 && (kCharRules.rule[c] & rules)) return true;
    }
    return false;
}

bool needsEncoding(char c) {
    return c == ' ' || c == '%' || c == '<' || c == '>';
}

}  // namespace

// --- parsing ---------------------------------------------------------------------

URL::URL(const CString& text)
    : m_port(80), m_trailingSeparator(false), m_fileKind(kNoFiles), m_filesMade(false) {
    m_plain.path.assign("/", 1);
    const char* s = text.data();
    const unsigned n = text.length();
    const unsigned p = text.find("://");

    // No protocol, or one letter of it: a drive such as c://x.
    if (p == CString::npos || p == 1) {
        m_protocol.assign("file", 4);
        m_trailingSeparator = n == 0 || s[n - 1] == kPlatformSeparator;
        parseLocal(text);
        return;
    }
    m_protocol = range(s, 0, p);
    m_protocol.toLowerCase();

    const unsigned start = p + 3;
    if (m_protocol.compare("file") == 0) {
        CString path;
        if (n > start) {
            // "/C:/dir" is the drive path "C:/dir".
            const unsigned from =
                n - start > 2 && s[start] == '/' && s[start + 2] == ':' ? start + 1 : start;
            path = range(s, from, n);
        } else {
            path = m_plain.path;
        }
        parseLocal(path);
        return;
    }

    if (m_protocol.compare("https") == 0)
        m_port = 443;
    else if (m_protocol.compare("telnet") == 0)
        m_port = 23;
    else if (m_protocol.compare("ftp") == 0)
        m_port = 21;

    // The cursor starts on the last '/' of "://": with nothing after it the
    // path is "/".
    unsigned cursor = p + 2;
    bool haveCursor = true;
    if (n > start) {
        const unsigned slash = text.find('/', start);
        if (slash != CString::npos) {
            m_authority = range(s, start, slash);
            cursor = slash;
        } else if (s[start] == '#' || s[start] == '?') {
            cursor = start;
        } else {
            m_authority = range(s, start, n);
            haveCursor = false;
        }
    }
    if (!m_authority.empty()) {
        m_authority.toLowerCase();
        const unsigned colon = m_authority.find(':');
        if (colon == CString::npos) {
            m_host = m_authority;
        } else {
            const char* a = m_authority.data();
            const unsigned an = m_authority.length();
            if (colon != 0) m_host = range(a, 0, colon);
            if (colon != an - 1) m_port = portNumber(a + colon + 1, a + an);
        }
    }
    if (!haveCursor) {
        encodeAllInfo();
        return;
    }

    unsigned q = text.find('?', cursor);
    if (q == CString::npos) q = text.find('#', cursor);
    m_plain.path = canonicalize(range(s, cursor, q == CString::npos ? n : q), '/');
    m_fileKind = kSlashFiles;
    if (q != CString::npos) {
        if (s[q] == '?') {
            const unsigned hash = text.find('#', q + 1);
            m_plain.query = range(s, q + 1, hash == CString::npos ? n : hash);
            q = hash;
        }
        if (q != CString::npos && q + 1 < n) m_plain.ref = range(s, q + 1, n);
    }
    encodeAllInfo();
}

void URL::parseLocal(const CString& path) {
    m_plain.path =
        removeTrailingSeparators(canonicalize(path, kPlatformSeparator), kPlatformSeparator);
    m_fileKind = kLocalFiles;
    encodeAllInfo();
}

void URL::encodeAllInfo() {
    m_encoded.path = encode(m_plain.path);
    m_encoded.query = encode(m_plain.query);
    m_encoded.ref = encode(m_plain.ref);
}

const Filename& URL::file(bool encoded) const {
    if (!m_filesMade) {
        m_filesMade = true;
        if (m_fileKind == kLocalFiles) {
            m_encodedFile = Filename(m_encoded.path, kPlatformSeparator);
            m_plainFile = Filename(m_plain.path, kPlatformSeparator);
        } else if (m_fileKind == kSlashFiles) {
            m_encodedFile = Filename(removeTrailingSeparators(m_encoded.path, '/'), '/');
            m_plainFile = Filename(removeTrailingSeparators(m_plain.path, '/'), '/');
        }
    }
    return encoded ? m_encodedFile : m_plainFile;
}

// --- copies ----------------------------------------------------------------------

// Filename's copy constructor would give the names the default separator;
// assignment keeps theirs.
URL::URL(const URL& other)
    : m_encoded(other.m_encoded),
      m_plain(other.m_plain),
      m_host(other.m_host),
      m_authority(other.m_authority),
      m_protocol(other.m_protocol),
      m_port(other.m_port),
      m_trailingSeparator(other.m_trailingSeparator),
      m_fileKind(other.m_fileKind),
      m_filesMade(other.m_filesMade) {
    m_encodedFile = other.m_encodedFile;
    m_plainFile = other.m_plainFile;
}

URL::URL(URL&& other) noexcept
    : m_encoded(std::move(other.m_encoded)),
      m_plain(std::move(other.m_plain)),
      m_host(std::move(other.m_host)),
      m_authority(std::move(other.m_authority)),
      m_protocol(std::move(other.m_protocol)),
      m_port(other.m_port),
      m_trailingSeparator(other.m_trailingSeparator),
      m_fileKind(other.m_fileKind),
      m_filesMade(other.m_filesMade) {
    m_encodedFile = std::move(other.m_encodedFile);
    m_plainFile = std::move(other.m_plainFile);
}

URL& URL::operator=(const URL& other) {
    if (this != &other) {
        URL copy(other);
        *this = std::move(copy);
    }
    return *this;
}

URL& URL::operator=(URL&& other) noexcept {
    if (this != &other) {
        m_encoded = std::move(other.m_encoded);
        m_plain = std::move(other.m_plain);
        m_host = std::move(other.m_host);
        m_authority = std::move(other.m_authority);
        m_protocol = std::move(other.m_protocol);
        m_port = other.m_port;
        m_trailingSeparator = other.m_trailingSeparator;
        m_fileKind = other.m_fileKind;
        m_filesMade = other.m_filesMade;
        m_encodedFile = std::move(other.m_encodedFile);
        m_plainFile = std::move(other.m_plainFile);
    }
    return *this;
}

URL::~URL() = default;

// --- answers ---------------------------------------------------------------------

char URL::getSeparator() const {
    return isLocalFile() ? kPlatformSeparator : '/';
}

CString URL::getName(bool encoded) const {
    const CString& path = info(encoded).path;
    if (isLocalFile()) {
        if (!m_trailingSeparator) return removeDuplicateSeparators(path, '/');
        CString name(path);
        name.append(kPlatformSeparator);
        return removeDuplicateSeparators(name, kPlatformSeparator);
    }
    CString name(m_protocol);
    name.append("://", 3);
    name.append(m_authority);
    name.append(path);
    return name;
}

CString URL::getFullURL(bool encoded) const {
    const _info& i = info(encoded);
    CString url(m_protocol);
    url.append("://", 3);
    url.append(m_authority);
    url.append(i.path);
    if (!i.query.empty()) {
        url.append('?');
        url.append(i.query);
    }
    if (!i.ref.empty()) {
        url.append('#');
        url.append(i.ref);
    }
    return url;
}

CString URL::getDirname(bool encoded) const {
    const CString dir = narrow(file(encoded).dirname());
    if (isLocalFile()) {
        CString name(dir);
        name.append(kPlatformSeparator);
        return removeDuplicateSeparators(name, kPlatformSeparator);
    }
    CString name(m_protocol);
    name.append("://", 3);
    name.append(m_authority);
    if (!dir.empty()) {
        name.append(dir);
        if (dir[dir.length() - 1] != '/') name.append('/');
    }
    return name;
}

CString URL::getCanonicalPath(bool encoded) const {
    return canonicalize(info(encoded).path, getSeparator());
}

CString URL::dirname(bool encoded) const {
    return narrow(file(encoded).dirname());
}

CString URL::basename(bool encoded) const {
    return narrow(file(encoded).basename());
}

CString URL::baseSuffix(bool encoded) const {
    return narrow(file(encoded).baseSuffix());
}

CString URL::baseTrunk(bool encoded) const {
    return narrow(file(encoded).baseTrunk());
}

bool URL::isAbsolute() const {
    return file(false).isAbsolute();
}

bool URL::isAbsolutePath() const {
    return !isLocalFile() || isAbsolute();
}

bool URL::isLocalFile() const {
    return m_protocol.compare("file") == 0;
}

bool URL::IsIMan() const {
    return m_protocol.compare("iman") == 0;
}

bool URL::comparePath(const URL& other) const {
    const CString mine = getName(false), theirs = other.getName(false);
    return isLocalFile() ? mine.compareNoCase(theirs) == 0 : mine.compare(theirs) == 0;
}

bool URL::hasIllegalCharacters() const {
    return illegal(m_encoded.path, kBrackets) || illegal(m_host, kBackslash | kColon | kSlash) ||
           illegal(m_protocol, kBackslash | kColon | kSlash | kBrackets);
}

bool URL::hasIllegalCharacters(const CString& text) {
    return illegal(text, kNoRule);
}

// --- encoding --------------------------------------------------------------------

char URL::asciiHexit2decimalHexit(char c) {
    if (c >= '0' && c <= '9') return static_cast<char>(c - '0');
    if (c >= 'A' && c <= 'F') return static_cast<char>(c - 'A' + 10);
    if (c >= 'a' && c <= 'f') return static_cast<char>(c - 'a' + 10);
    return 0;
}

char URL::decimalHexit2asciiHexit(char d) {
    if (d >= 0 && d <= 9) return static_cast<char>('0' + d);
    if (d >= 10 && d <= 15) return static_cast<char>('A' + d - 10);
    return 0;
}

CString URL::encode(const CString& text) {
    unsigned extra = 0;
    for (const char c : text)
        if (needsEncoding(c)) extra += 2;
    if (extra == 0) return text;
    CString out;
    out.reserve(text.length() + extra);
    for (const char c : text) {
        if (!needsEncoding(c)) {
            out.append(c);
            continue;
        }
        const unsigned char u = static_cast<unsigned char>(c);
        out.append('%');
        out.append(decimalHexit2asciiHexit(static_cast<char>(u >> 4)));
        out.append(decimalHexit2asciiHexit(static_cast<char>(u & 0xF)));
    }
    return out;
}

CString URL::decode(const CString& text) {
    const char* s = text.data();
    const unsigned n = text.length();
    if (text.find('%') == CString::npos) return text;
    CString out;
    out.reserve(n);
    for (unsigned i = 0; i < n; ++i) {
        if (s[i] != '%') {
            out.append(s[i]);
            continue;
        }
        if (n - i < 3) break;
        out.append(static_cast<char>(asciiHexit2decimalHexit(s[i + 1]) * 16 +
                                     asciiHexit2decimalHexit(s[i + 2])));
        i += 2;
    }
    return out;
}

CString URL::decode(const IString& text) {
    return decode(CString(text.asMultibyte(qxString::EncodingMultibyte)));
}

CString URL::decode(const char* text) {
    return decode(CString(text));
}

// --- separators ------------------------------------------------------------------

CString URL::removeDuplicateSeparators(const CString& text, char separator) {
    const char* s = text.data();
    const unsigned n = text.length();
    // Nothing to do unless two separators meet past the start.
    unsigned i = 1;
    while (i + 1 < n && !(s[i] == separator && s[i + 1] == separator)) ++i;
    if (i + 1 >= n) return text;
    CString out(s, static_cast<int>(i + 1));
    for (++i; i < n; ++i)
        if (s[i] != separator || s[i - 1] != separator) out.append(s[i]);
    return out;
}

CString URL::removeTrailingSeparators(const CString& text, char separator) {
    const char* s = text.data();
    const unsigned n = text.length();
    if (n == 3 && s[1] == ':' && s[2] == separator) return text;
    if (n > 2 && s[0] == separator && s[1] == separator) {
        const unsigned first = text.find(separator, 2);
        if (first != CString::npos && first == text.rfind(separator)) return text;
    }
    unsigned end = n;
    while (end > 1 && s[end - 1] == separator) --end;
    return end == n ? text : CString(s, static_cast<int>(end));
}

CString URL::canonicalize(const CString& text, char separator) const {
    const char other = separator == '/' ? '\\' : '/';
    if (text.find(other) == CString::npos) return removeDuplicateSeparators(text, separator);
    CString out(text);
    char* c = out.data();
    for (unsigned i = 0, n = out.length(); i < n; ++i)
        if (c[i] == other) c[i] = separator;
    return removeDuplicateSeparators(out, separator);
}

}  // namespace qxOS

extern "C" {

bool isAbsolutePath(const char* text) {
    return qxOS::URL(qxString::CString(text)).isAbsolutePath();
}

bool isLocalFile(const char* text) {
    return qxOS::URL(qxString::CString(text)).isLocalFile();
}

}  // extern "C"
