#include "os/files/qxFilename.h"

#include "containers/qxStackBuffer.h"
#include "os/sys/qxSysFile.h"

#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <new>

namespace qxOS {

using qx::WChar;
using qxString::IString;

struct FilenameParts {
    const IString* source;
    IString prefix;
    IString dirname;
    IString basename;
    IString baseTrunk;
    IString baseSuffix;
    WChar separator;
};

namespace {

constexpr WChar kBackslash = '\\';
constexpr unsigned kNone = 0xFFFFFFFFu;

// Path text being cleaned: on the stack while short, one heap block beyond.
class PathBuffer : public qx::StackBuffer<WChar, 264> {
public:
    explicit PathBuffer(const IString& s) { append(s.data(), s.length()); }

    void append(const WChar* s, unsigned n) {
        if (!StackBuffer::append(s, n)) throw std::bad_alloc();
    }
    void push(WChar c) { append(&c, 1); }
    void setSize(unsigned n) {
        StackBuffer::setSize(n);
        data()[n] = 0;
    }
    unsigned size() const { return static_cast<unsigned>(StackBuffer::size()); }

    unsigned find(WChar c, unsigned from, unsigned end) const {
        for (unsigned i = from; i < end; ++i)
            if ((*this)[i] == c) return i;
        return kNone;
    }
    unsigned rfind(WChar c, unsigned end) const {
        for (unsigned i = end; i-- > 0;)
            if ((*this)[i] == c) return i;
        return kNone;
    }

    void storeInto(IString& out) const { out.assign(data(), size()); }
};

// The character the duplicate and ".." patterns are made of: the backslash
// for a backslash separator, '/' for any other.
inline WChar patternChar(WChar sep) {
    return sep == kBackslash ? kBackslash : WChar('/');
}

void replaceForeign(PathBuffer& b, WChar sep) {
    const WChar other = sep == '/' ? kBackslash : WChar('/');
    WChar* d = b.data();
    for (unsigned i = 0; i < b.size(); ++i)
        if (d[i] == other) d[i] = sep;
}

// Dropping the first of every adjacent pair, from index 1 so that a leading
// pair survives, is what erasing at each match and searching again from
// there amounts to, in one pass.
void dropDuplicates(PathBuffer& b, WChar sep) {
    const WChar pc = patternChar(sep);
    WChar* d = b.data();
    const unsigned n = b.size();
    unsigned o = n >= 2 ? 1 : 0;
    for (unsigned i = o; i < n; ++i) {
        if (d[i] == pc && i + 1 < n && d[i + 1] == pc) continue;
        d[o++] = d[i];
    }
    b.setSize(o);
}

void dropTrailing(PathBuffer& b, WChar sep) {
    unsigned n = b.size();
    if (n == 3 && b[1] == ':' && b[2] == sep) return;  // a drive root
    if (n > 2 && b[0] == sep && b[1] == sep && b.find(sep, 2, n) == b.rfind(sep, n))
        return;  // a bare server with its one trailing separator
    while (n > 1 && b[n - 1] == sep) --n;
    b.setSize(n);
}

bool matchesDotDot(const PathBuffer& b, unsigned i, WChar pc) {
    return i + 4 <= b.size() && b[i] == pc && b[i + 1] == '.' && b[i + 2] == '.' && b[i + 3] == pc;
}

void resolveDotDot(PathBuffer& b, WChar sep) {
    const WChar pc = patternChar(sep);
    // Each round shortens the text. A match can never start before the
    // point where the previous round joined head and tail, so the search
    // resumes there.
    unsigned from = 0;
    for (;;) {
        unsigned p = kNone;
        for (unsigned i = from; i + 4 <= b.size(); ++i)
            if (matchesDotDot(b, i, pc)) {
                p = i;
                break;
            }
        if (p == kNone) return;
        WChar* d = b.data();
        const unsigned tail = p + 4;
        const unsigned tailLen = b.size() - tail;
        const unsigned cut = b.rfind(sep, p);
        if (cut != kNone) {
            std::memmove(d + cut + 1, d + tail, tailLen * sizeof(WChar));
            b.setSize(cut + 1 + tailLen);
            from = cut;
        } else if (p == 2 && d[0] == '.' && d[1] == '.') {
            return;  // "..\..\x" has nothing left to resolve
        } else if (p == 1 && d[0] == '.') {
            d[1] = '.';
            d[2] = sep;
            std::memmove(d + 3, d + tail, tailLen * sizeof(WChar));
            b.setSize(3 + tailLen);
            from = 0;
        } else {
            // The leading component, drive prefix and all, goes.
            std::memmove(d, d + tail, tailLen * sizeof(WChar));
            b.setSize(tailLen);
            from = 0;
        }
    }
}

void cleanSteps(PathBuffer& b, WChar sep) {
    dropDuplicates(b, sep);
    dropTrailing(b, sep);
    resolveDotDot(b, sep);
}

IString subText(const IString& s, unsigned pos, unsigned n) {
    return IString(s.data() + pos, static_cast<int>(n));
}

unsigned findUnit(const IString& s, WChar c, unsigned from) {
    for (unsigned i = from; i < s.length(); ++i)
        if (s[i] == c) return i;
    return kNone;
}

unsigned rfindUnit(const IString& s, WChar c) {
    for (unsigned i = s.length(); i-- > 0;)
        if (s[i] == c) return i;
    return kNone;
}

void split(const IString& name, WChar sep, FilenameParts& p) {
    const unsigned n = name.length();
    if (n == 0) return;
    IString rest;
    bool server = false;
    bool restIsName = true;
    if (n >= 2 && name[1] == ':') {
        p.prefix = subText(name, 0, 2);
        rest = subText(name, 2, n - 2);
        restIsName = false;
    } else if (n >= 2 && name[0] == kBackslash && name[1] == kBackslash) {
        restIsName = false;
        const unsigned i = findUnit(name, kBackslash, 2);
        const unsigned j = i == kNone || i + 1 == n ? kNone : findUnit(name, kBackslash, i + 1);
        if (j == kNone) {
            p.prefix = name;
        } else {
            p.prefix = subText(name, 0, j);
            if (j + 1 < n) {
                rest = subText(name, j + 1, n - j - 1);
                server = true;
            }
        }
    }
    const IString& r = restIsName ? name : rest;
    const unsigned rn = r.length();
    if (rn == 1 && r[0] == sep) {
        p.dirname = r;
    } else {
        const unsigned k = rfindUnit(r, sep);
        if (k == 0) {
            p.dirname = IString(sep);
            if (rn > 1) p.basename = subText(r, 1, rn - 1);
        } else if (k != kNone) {
            p.dirname = subText(r, 0, k);
            if (k + 1 < rn) p.basename = subText(r, k + 1, rn - k - 1);
        } else {
            p.basename = r;
        }
    }
    if (server && !p.dirname.empty()) {
        IString d;
        d.assign(p.prefix);  // the copy constructor would stop at a NUL unit
        d.append(kBackslash);
        d.append(p.dirname);
        p.dirname.swap(d);
    } else if (!p.prefix.empty()) {
        IString d;
        d.assign(p.prefix);  // the copy constructor would stop at a NUL unit
        d.append(p.dirname);
        p.dirname.swap(d);
    }
    const IString& b = p.basename;
    const unsigned bn = b.length();
    if (bn == 0 || (bn == 1 && b[0] == '.')) return;
    const unsigned dot = rfindUnit(b, '.');
    if (dot == 0) {
        p.baseSuffix = subText(b, 1, bn - 1);
    } else if (dot == kNone) {
        p.baseTrunk = b;
    } else {
        p.baseTrunk = subText(b, 0, dot);
        if (dot + 1 < bn) p.baseSuffix = subText(b, dot + 1, bn - dot - 1);
    }
}

}  // namespace

Filename::Filename() : m_separator(separator()), m_parts(nullptr) {}

Filename::Filename(const Filename& other) : m_separator(separator()), m_name(), m_parts(nullptr) {
    m_name.assign(other.m_name);
}

Filename::Filename(Filename&& other) noexcept
    : m_separator(separator()), m_name(std::move(other.m_name)), m_parts(nullptr) {
    other.dropParts();
}

Filename::Filename(const IString& path) : m_separator(separator()), m_parts(nullptr) {
    canonicalize(path, m_separator, m_name);
}

Filename::Filename(const IString& path, WChar sep) : m_separator(sep), m_parts(nullptr) {
    canonicalize(path, sep, m_name);
}

Filename::Filename(const qxString::CString& path, char sep)
    : m_separator(static_cast<unsigned char>(sep)), m_parts(nullptr) {
    canonicalize(IString(path, qxString::EncodingMultibyte), m_separator, m_name);
}

Filename::Filename(const char* path, char sep)
    : m_separator(static_cast<unsigned char>(sep)), m_parts(nullptr) {
    canonicalize(IString(path ? path : "", qxString::EncodingMultibyte), m_separator, m_name);
}

Filename::Filename(const IString& dir, const IString& base)
    : m_separator(separator()), m_parts(nullptr) {
    assign(dir, base);
}

Filename::Filename(const Filename& dir, const Filename& base)
    : m_separator(separator()), m_parts(nullptr) {
    assign(dir.name(), base.name());
}

Filename::~Filename() {
    dropParts();
}

Filename& Filename::operator=(const Filename& other) {
    if (this != &other) {
        dropParts();
        m_separator = other.m_separator;
        m_name.assign(other.m_name);
    }
    return *this;
}

Filename& Filename::operator=(Filename&& other) noexcept {
    if (this != &other) {
        dropParts();
        other.dropParts();
        m_separator = other.m_separator;
        m_name.swap(other.m_name);
    }
    return *this;
}

Filename& Filename::operator=(const IString& path) {
    assign(path);
    return *this;
}

// The arguments may be this name's own parts (f = f.dirname()): they are
// read into the buffer before the parts go.
void Filename::assign(const IString& path) {
    PathBuffer b(path);
    dropParts();
    replaceForeign(b, m_separator);
    cleanSteps(b, m_separator);
    b.storeInto(m_name);
}

void Filename::assign(const IString& dir, const IString& base) {
    // Always joined with the default separator; '/' in either part stays.
    const WChar s = separator();
    PathBuffer b(dir);
    if (!base.empty()) {
        // "C:" joined with "x" is "C:x", relative to that drive.
        if (!dir.empty() && !(dir.length() == 2 && dir[1] == ':')) b.push(s);
        b.append(base.data(), base.length());
    }
    dropParts();
    cleanSteps(b, s);
    b.storeInto(m_name);
}

void Filename::dropParts() {
    delete m_parts;
    m_parts = nullptr;
}

const FilenameParts& Filename::parts() const {
    if (!m_parts) {
        FilenameParts* p = new FilenameParts();
        p->source = &m_name;
        p->separator = m_separator;
        split(m_name, m_separator, *p);
        m_parts = p;
    }
    return *m_parts;
}

const IString& Filename::prefix() const {
    return parts().prefix;
}
const IString& Filename::dirname() const {
    return parts().dirname;
}
const IString& Filename::basename() const {
    return parts().basename;
}
const IString& Filename::baseTrunk() const {
    return parts().baseTrunk;
}
const IString& Filename::baseSuffix() const {
    return parts().baseSuffix;
}

qx::vector<IString> Filename::components() const {
    const FilenameParts& p = parts();
    qx::vector<IString> v;
    v.reserve(5);
    // Assigned, not copy-constructed: a copy would end at an embedded NUL.
    for (const IString* part : {&p.prefix, &p.dirname, &p.basename, &p.baseTrunk, &p.baseSuffix})
        v.emplace_back().assign(*part);
    return v;
}

bool Filename::isAbsolute() const {
    const unsigned n = m_name.length();
    if (n >= 2 && m_name[0] == kBackslash && m_name[1] == kBackslash) return true;
    return n >= 3 && m_name[1] == ':' && m_name[2] == kBackslash;
}

void Filename::canonicalize(const IString& in, WChar sep, IString& out) {
    PathBuffer b(in);
    replaceForeign(b, sep);
    cleanSteps(b, sep);
    b.storeInto(out);
}

void Filename::removeDuplicateSeparators(IString& s, WChar sep) {
    PathBuffer b(s);
    dropDuplicates(b, sep);
    if (b.size() != s.length()) b.storeInto(s);
}

void Filename::removeTrailingSeparators(IString& s, WChar sep) {
    PathBuffer b(s);
    dropTrailing(b, sep);
    if (b.size() != s.length()) b.storeInto(s);
}

void Filename::removeSlashDotDotSlash(IString& s, WChar sep) {
    PathBuffer b(s);
    resolveDotDot(b, sep);
    if (b.size() != s.length()) b.storeInto(s);
}

IString Filename::join(const IString& a, const IString& b) {
    // Taken over, not copied: a copy would end at an embedded NUL unit.
    Filename f(a, b);
    IString joined;
    joined.swap(f.m_name);
    return joined;
}

IString Filename::join(const IString& a, const IString& b, const IString& c) {
    return join(join(a, b), c);
}

IString Filename::join(const IString& a, const IString& b, const IString& c, const IString& d) {
    return join(join(a, b), join(c, d));
}

bool Filename::makeDir() const {
    if (m_name.empty() || m_name.length() >= static_cast<unsigned>(maxLength())) return false;
    return qx::sys::makeDirectory(m_name.asWChar()) == 0;
}

bool Filename::setCwd() {
    if (m_name.empty() || m_name.length() >= static_cast<unsigned>(maxLength())) return false;
    return qx::sys::setCurrentDirectory(m_name.asWChar()) == 0;
}

void Filename::getCwd() {
    WChar buf[260];
    const size_t n = qx::sys::currentDirectory(buf, sizeof buf / sizeof buf[0]);
    *this = Filename(IString(buf, static_cast<int>(n)));
}

IString Filename::nativeName() const {
    IString out;
    out.assign(m_name);
    if (out.empty()) return out;
    const unsigned n =
        static_cast<unsigned>(qx::sys::nativeSpelling(m_name.data(), m_name.length(), &out[0]));
    out.erase(n);
    return out;
}

}  // namespace qxOS

namespace {

using qxOS::Filename;
using qxString::IString;

IString fromMultibyte(const char* s) {
    return IString(s ? s : "", qxString::EncodingMultibyte);
}

void copyOut(const IString& s, char* out) {
    if (!out) return;
    const char* text = s.asMultibyte(qxString::EncodingMultibyte);
    std::strcpy(out, text ? text : "");
}

}  // namespace

extern "C" {

void qxOS_FilenameBasename(const char* path, char* out) {
    copyOut(Filename(fromMultibyte(path)).basename(), out);
}

void qxOS_FilenameDirname(const char* path, char* out) {
    copyOut(Filename(fromMultibyte(path)).dirname(), out);
}

void qxOS_FilenameBaseTrunk(const char* path, char* out) {
    copyOut(Filename(fromMultibyte(path)).baseTrunk(), out);
}

void qxOS_FilenameBaseSuffix(const char* path, char* out) {
    copyOut(Filename(fromMultibyte(path)).baseSuffix(), out);
}

void qxOS_FilenamePrefix(const char* path, char* out) {
    copyOut(Filename(fromMultibyte(path)).prefix(), out);
}

void qxOS_FilenameJoin(const char* dir, const char* base, char* out) {
    copyOut(Filename::join(fromMultibyte(dir), fromMultibyte(base)), out);
}

int qxOS_FilenameMakeDir(const char* path) {
    return Filename(fromMultibyte(path)).makeDir() ? 1 : 0;
}
}
