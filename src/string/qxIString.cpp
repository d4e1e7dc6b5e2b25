#include "string/qxString.h"

#include "os/sys/qxSysText.h"
#include "string/qxStringBuffer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace qxString {

namespace {

using Buf = detail::Buffer<detail::IStringRep, WChar, 7>;
using detail::ConversionExact;
using detail::ConversionLossy;
using detail::ConversionUnknown;

int compareUnits16(const WChar* a, unsigned na, const WChar* b, unsigned nb, bool noCase) {
    const unsigned n = na < nb ? na : nb;
    for (unsigned i = 0; i < n; ++i) {
        WChar x = a[i], y = b[i];
        if (noCase) {
            x = qx::sys::wideToLower(x);
            y = qx::sys::wideToLower(y);
        }
        if (x != y) return x < y ? -1 : 1;
    }
    return na < nb ? -1 : na > nb ? 1 : 0;
}

inline Encoding normalized(Encoding e) {
    return e == EncodingUTF8 ? EncodingUTF8 : EncodingMultibyte;
}

char* cacheText(detail::IStringRep* r) {
    return r->cacheHeap ? r->cacheHeap : r->cacheInline;
}

// Room for n bytes and the NUL in the 8-bit cache.
char* cacheRoom(detail::IStringRep* r, unsigned n) {
    if (n > r->cacheCapacity) {
        const unsigned cap = (n | 15) > detail::kMaxLength ? detail::kMaxLength : (n | 15);
        char* p = static_cast<char*>(std::realloc(r->cacheHeap, size_t(cap) + 1));
        if (!p) throw std::bad_alloc();
        r->cacheHeap = p;
        r->cacheCapacity = cap;
    }
    return cacheText(r);
}

}  // namespace

const detail::EmptyRep<detail::IStringRep> IString::s_emptyRep = {};

unsigned IString::lengthOf(const WChar* s) {
    size_t n = 0;
    while (s[n]) ++n;
    return checkedLength(n);
}

IString::IString(const IString& s) : String(s), m_rep(emptyRep()) {
    // Up to the first NUL unit, as for any text pointer.
    const unsigned n = s.length() ? lengthOf(s.data()) : 0;
    if (n) m_rep = Buf::make(s.data(), n, "qxString::IString");
}

IString::IString(WChar c) : m_rep(Buf::make(&c, 1, "qxString::IString")) {}

IString::IString(unsigned n, WChar c) : m_rep(emptyRep()) {
    if (!n) return;
    if (n > detail::kMaxLength) detail::throwLength("qxString::IString");
    m_rep = Buf::allocate(n | 7);
    for (unsigned i = 0; i < n; ++i) units()[i] = c;
    units()[n] = 0;
    m_rep->length = n;
}

IString::IString(const WChar* s) : m_rep(emptyRep()) {
    if (s && *s) m_rep = Buf::make(s, lengthOf(s), "qxString::IString");
}

IString::IString(const WChar* s, int n) : m_rep(emptyRep()) {
    if (n < 0) detail::throwLength("qxString::IString");
    if (s && n) m_rep = Buf::make(s, static_cast<unsigned>(n), "qxString::IString");
}

IString::IString(const char* s, Encoding e, bool* ok) : m_rep(emptyRep()) {
    convertFromMultibyte(s, e, ok);
}

IString::IString(const CString& s, Encoding e, bool* ok) : m_rep(emptyRep()) {
    convertFromMultibyte(s.asChar(), e, ok);
}

IString::IString(char c, Encoding e, bool* ok) : m_rep(emptyRep()) {
    convertFromMultibyte(CString(c).asChar(), e, ok);
}

IString::IString(unsigned n, char c, Encoding e, bool* ok) : m_rep(emptyRep()) {
    convertFromMultibyte(CString(n, c).asChar(), e, ok);
}

IString::~IString() {
    if (!Buf::isShared(m_rep)) std::free(m_rep->cacheHeap);
    Buf::release(m_rep);
}

IString& IString::assign(const char* s, Encoding e, bool* ok) {
    IString t(s, e, ok);
    return assign(t);
}

IString& IString::assign(const CString& s, Encoding e, bool* ok) {
    IString t(s, e, ok);
    return assign(t);
}

unsigned IString::reserve(unsigned n) {
    Buf::reserve(m_rep, n, "qxString::IString::reserve");
    return capacity();
}

bool IString::isAscii() const {
    const WChar* p = units();
    for (unsigned i = 0, n = length(); i < n; ++i)
        if (p[i] >= 0x80) return false;
    return true;
}

WChar* IString::copyAsWChar() const {
    const size_t n = asWCharStoreSize();
    WChar* p = static_cast<WChar*>(std::malloc(n));
    if (!p) throw std::bad_alloc();
    std::memcpy(p, units(), n);
    return p;
}

// The cached 8-bit copy. A build without a status request leaves the
// status unknown, so the next request that asks for one converts again.
const char* IString::convertToMultibyte(Encoding e, bool* ok) const {
    Rep* r = m_rep;
    // An empty text converts exactly to nothing; answering directly keeps
    // the shared empty record untouched.
    if (r->length == 0) {
        if (ok) *ok = true;
        return "";
    }
    e = normalized(e);
    if (ok && r->conversionStatus == ConversionUnknown) r->cacheStale = true;
    if (!r->cacheStale && r->cachedEncoding == e) {
        if (ok) *ok = r->conversionStatus == ConversionExact;
        return cacheText(r);
    }
    if (ok) *ok = false;
    r->conversionStatus = ConversionUnknown;
    const WChar* src = units();
    const unsigned n = e == EncodingUTF8 ? WCStoUTF8(src, r->length, nullptr, 0, nullptr)
                                         : WCStoMBS(src, r->length, nullptr, 0, nullptr);
    if (n == 0) {
        cacheText(r)[0] = 0;
        r->cacheLength = 0;
        r->conversionStatus = ConversionLossy;
    } else {
        char* out = cacheRoom(r, n);
        bool status = false;
        bool* statusPtr = ok ? &status : nullptr;
        unsigned got = e == EncodingUTF8 ? WCStoUTF8(src, r->length, out, n + 1, statusPtr)
                                         : WCStoMBS(src, r->length, out, n + 1, statusPtr);
        if (got > n) got = n;
        out[got] = 0;
        r->cacheLength = got;
        if (ok) {
            *ok = status;
            r->conversionStatus = status ? ConversionExact : ConversionLossy;
        }
    }
    r->cachedEncoding = e;
    r->cacheStale = false;
    return cacheText(r);
}

unsigned IString::asMultibyteStoreSize(Encoding e) const {
    convertToMultibyte(e, nullptr);
    return length() ? m_rep->cacheLength + 1 : 1;
}

char* IString::copyAsMultibyte(Encoding e, bool* ok) const {
    const char* text = convertToMultibyte(e, ok);
    const size_t n = length() ? m_rep->cacheLength : 0;
    char* p = static_cast<char*>(std::malloc(n + 1));
    if (!p) throw std::bad_alloc();
    std::memcpy(p, text, n);
    p[n] = 0;
    return p;
}

CString IString::convertToCString() const {
    return CString(asMultibyte(EncodingMultibyte, nullptr));
}

// Only ever called on a new, empty string: the converting constructors, and
// the assignments through a temporary.
void IString::convertFromMultibyte(const char* s, Encoding e, bool* ok) {
    if (ok) *ok = false;
    const size_t len = s ? std::strlen(s) : 0;
    if (len == 0) {
        erase(0, npos);
        if (ok) *ok = true;
        return;
    }
    const unsigned slen = checkedLength(len);
    const bool utf8 = normalized(e) == EncodingUTF8;
    const unsigned n = utf8 ? UTF8toWCS(s, slen, nullptr, 0, false, nullptr)
                            : MBStoWCS(s, slen, nullptr, 0, nullptr);
    if (n == 0) return;
    Rep* r = Buf::allocate(n | 7);
    const unsigned got = utf8 ? UTF8toWCS(s, slen, Buf::chars(r), n + 1, false, ok)
                              : MBStoWCS(s, slen, Buf::chars(r), n + 1, ok);
    if (got == 0) {
        std::free(r);
        return;
    }
    Buf::chars(r)[got] = 0;
    r->length = got;
    Buf::release(m_rep);
    m_rep = r;
}

IString& IString::appendUnits(const WChar* s, unsigned n) {
    if (n) {
        Buf::splice(m_rep, length(), 0, s, n, "qxString::IString::append");
        markStale();
    }
    return *this;
}

IString& IString::assignUnits(const WChar* s, unsigned n) {
    if (!s) n = 0;
    Buf::splice(m_rep, 0, length(), s, n, "qxString::IString::assign");
    markStale();
    return *this;
}

IString& IString::splice(const char* what, unsigned pos, unsigned n, const WChar* s, unsigned sn) {
    const unsigned len = length();
    if (pos > len) detail::throwOutOfRange(what);
    const unsigned del = n < len - pos ? n : len - pos;
    Buf::splice(m_rep, pos, del, s, sn, what);
    markStale();
    return *this;
}

void IString::erase(unsigned pos, unsigned n) {
    const unsigned len = length();
    if (len == 0) return;
    if (pos > len) detail::throwOutOfRange("qxString::IString::erase");
    Buf::cut(m_rep, pos, n < len - pos ? n : len - pos);
    markStale();
}

IString& IString::replace(const IString& what, const IString& with) {
    const unsigned wn = what.length();
    unsigned p = find(what, 0);
    while (p != npos) {
        replace(p, wn, with);
        const unsigned q = p + with.length();
        if (q >= length()) break;
        p = find(what, q);
    }
    return *this;
}

IString& IString::strip(WChar c) {
    Buf::stripLeading(m_rep, [c](WChar x) { return x == c; });
    markStale();
    return *this;
}

IString& IString::rstrip(WChar c) {
    Buf::stripTrailing(m_rep, [c](WChar x) { return x == c; });
    markStale();
    return *this;
}

IString& IString::stripSpaces() {
    Buf::stripLeading(m_rep, [](WChar x) { return qxString::isSpace(x); });
    markStale();
    return *this;
}

IString& IString::rstripSpaces() {
    Buf::stripTrailing(m_rep, [](WChar x) { return qxString::isSpace(x); });
    markStale();
    return *this;
}

IString& IString::toLowerCase() {
    WChar* p = units();
    for (unsigned i = 0, n = length(); i < n; ++i) p[i] = qx::sys::wideToLower(p[i]);
    markStale();
    return *this;
}

IString& IString::toUpperCase() {
    WChar* p = units();
    for (unsigned i = 0, n = length(); i < n; ++i) p[i] = qx::sys::wideToUpper(p[i]);
    markStale();
    return *this;
}

IString IString::substr(unsigned pos, unsigned n) const {
    IString r;
    substr(r, pos, n);
    return r;
}

void IString::substr(IString& out, unsigned pos, unsigned n) const {
    const unsigned len = length();
    if (pos > len) detail::throwOutOfRange("qxString::IString::substr");
    const unsigned cnt = n < len - pos ? n : len - pos;
    const WChar* p = units() + pos;
    unsigned k = 0;
    while (k < cnt && p[k]) ++k;  // ends at the first NUL unit
    if (&out == this) {
        IString t(p, static_cast<int>(k));
        out.swap(t);
    } else {
        out.assignUnits(p, k);
    }
}

unsigned IString::find(bool (*pred)(WChar), unsigned pos) const {
    return Buf::findIf(m_rep, pred, pos);
}

unsigned IString::rfind(bool (*pred)(WChar), unsigned pos) const {
    return Buf::rfindIf(m_rep, pred, pos);
}

unsigned IString::findAny(const IString& set, unsigned pos) const {
    if (set.length() == 0) return npos;
    const WChar* sb = set.data();
    const unsigned sn = set.length();
    return Buf::findIf(
        m_rep, [sb, sn](WChar c) { return std::find(sb, sb + sn, c) != sb + sn; }, pos);
}

unsigned IString::rfindAny(const IString& set, unsigned pos) const {
    if (set.length() == 0) return npos;
    const WChar* sb = set.data();
    const unsigned sn = set.length();
    return Buf::rfindIf(
        m_rep, [sb, sn](WChar c) { return std::find(sb, sb + sn, c) != sb + sn; }, pos);
}

unsigned IString::findUnits(const WChar* s, unsigned n, unsigned pos) const {
    return Buf::find(m_rep, s, n, pos);
}

unsigned IString::rfindUnits(const WChar* s, unsigned n, unsigned pos) const {
    return Buf::rfind(m_rep, s, n, pos);
}

int IString::compareUnits(const WChar* s, unsigned n) const {
    return compareUnits16(units(), length(), s, n, false);
}

int IString::compareNoCase(const IString& s) const {
    return compareUnits16(units(), length(), s.units(), s.length(), true);
}

int IString::collate(const IString& s) const {
    return qx::sys::collateWide(units(), s.units());
}

int IString::collateNoCase(const IString& s) const {
    IString a(*this), b(s);
    a.toLowerCase();
    b.toLowerCase();
    return qx::sys::collateWide(a.units(), b.units());
}

}  // namespace qxString
