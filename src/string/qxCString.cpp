#include "string/qxString.h"

#include "os/sys/qxSysText.h"
#include "string/qxStringBuffer.h"

#include <cstdlib>
#include <cstring>

namespace qxString {

namespace {

using Buf = detail::Buffer<detail::CStringRep, char, 15>;

// Byte order of lower-cased views of both texts: the same answer as
// comparing lower-cased copies, without making them.
int compareNoCaseBytes(const char* a, unsigned na, const char* b, unsigned nb) {
    const unsigned n = na < nb ? na : nb;
    for (unsigned i = 0; i < n; ++i) {
        const int d = static_cast<unsigned char>(qx::sys::charToLower(a[i])) -
                      static_cast<unsigned char>(qx::sys::charToLower(b[i]));
        if (d) return d;
    }
    return na < nb ? -1 : na > nb ? 1 : 0;
}

}  // namespace

const detail::EmptyRep<detail::CStringRep> CString::s_emptyRep = {};

void CString::throwTooLong() {
    detail::throwLength("qxString::CString");
}

CString::CString(const CString& s) : String(s), m_rep(emptyRep()) {
    if (s.length()) m_rep = Buf::make(s.data(), s.length(), "qxString::CString");
}

CString::CString(char c) : m_rep(Buf::make(&c, 1, "qxString::CString")) {}

CString::CString(unsigned n, char c) : m_rep(emptyRep()) {
    if (!n) return;
    if (n > detail::kMaxLength) detail::throwLength("qxString::CString");
    m_rep = Buf::allocate(n | 15);
    std::memset(chars(), c, n);
    chars()[n] = 0;
    m_rep->length = n;
}

CString::CString(const char* s) : m_rep(emptyRep()) {
    if (s && *s) m_rep = Buf::make(s, lengthOf(s), "qxString::CString");
}

CString::CString(const char* s, int n) : m_rep(emptyRep()) {
    if (n < 0) detail::throwLength("qxString::CString");
    if (s && n) m_rep = Buf::make(s, static_cast<unsigned>(n), "qxString::CString");
}

CString::CString(std::string_view v) : m_rep(emptyRep()) {
    if (!v.empty()) m_rep = Buf::make(v.data(), checkedLength(v.size()), "qxString::CString");
}

CString::~CString() {
    Buf::release(m_rep);
}

unsigned CString::reserve(unsigned n) {
    Buf::reserve(m_rep, n, "qxString::CString::reserve");
    return capacity();
}

bool CString::isAscii() const {
    const char* p = chars();
    for (unsigned i = 0, n = length(); i < n; ++i)
        if (static_cast<unsigned char>(p[i]) >= 0x80) return false;
    return true;
}

char* CString::copyAsChar() const {
    const size_t n = size_t(length()) + 1;
    char* p = static_cast<char*>(std::malloc(n));
    if (!p) throw std::bad_alloc();
    std::memcpy(p, chars(), n);
    return p;
}

CString& CString::appendSlow(const char* s, unsigned n) {
    Buf::splice(m_rep, length(), 0, s, n, "qxString::CString::append");
    return *this;
}

CString& CString::assignChars(const char* s, unsigned n) {
    if (!s) n = 0;
    Buf::splice(m_rep, 0, length(), s, n, "qxString::CString::assign");
    return *this;
}

CString& CString::splice(const char* what, unsigned pos, unsigned n, const char* s, unsigned sn) {
    const unsigned len = length();
    if (pos > len) detail::throwOutOfRange(what);
    const unsigned del = n < len - pos ? n : len - pos;
    Buf::splice(m_rep, pos, del, s, sn, what);
    return *this;
}

void CString::erase(unsigned pos, unsigned n) {
    const unsigned len = length();
    if (len == 0) return;
    if (pos > len) detail::throwOutOfRange("qxString::CString::erase");
    Buf::cut(m_rep, pos, n < len - pos ? n : len - pos);
}

CString& CString::strip(char c) {
    Buf::stripLeading(m_rep, [c](char x) { return x == c; });
    return *this;
}

CString& CString::rstrip(char c) {
    Buf::stripTrailing(m_rep, [c](char x) { return x == c; });
    return *this;
}

CString& CString::stripSpaces() {
    Buf::stripLeading(m_rep, [](char x) { return qxString::isSpace(x); });
    return *this;
}

CString& CString::rstripSpaces() {
    Buf::stripTrailing(m_rep, [](char x) { return qxString::isSpace(x); });
    return *this;
}

CString& CString::toLowerCase() {
    char* p = chars();
    for (unsigned i = 0, n = length(); i < n; ++i) p[i] = qx::sys::charToLower(p[i]);
    return *this;
}

CString& CString::toUpperCase() {
    char* p = chars();
    for (unsigned i = 0, n = length(); i < n; ++i) p[i] = qx::sys::charToUpper(p[i]);
    return *this;
}

CString CString::substr(unsigned pos, unsigned n) const {
    const unsigned len = length();
    if (pos > len) detail::throwOutOfRange("qxString::CString::substr");
    return CString(chars() + pos, static_cast<int>(n < len - pos ? n : len - pos));
}

unsigned CString::find(bool (*pred)(char), unsigned pos) const {
    return Buf::findIf(m_rep, pred, pos);
}

unsigned CString::rfind(bool (*pred)(char), unsigned pos) const {
    return Buf::rfindIf(m_rep, pred, pos);
}

unsigned CString::findChars(const char* s, unsigned n, unsigned pos) const {
    const unsigned len = length();
    if (n == 0 || len == 0 || pos >= len || n > len - pos) return npos;
    if (n == 1) {
        const void* p = std::memchr(chars() + pos, s[0], len - pos);
        return p ? static_cast<unsigned>(static_cast<const char*>(p) - chars()) : npos;
    }
    return Buf::find(m_rep, s, n, pos);
}

unsigned CString::rfindChars(const char* s, unsigned n, unsigned pos) const {
    return Buf::rfind(m_rep, s, n, pos);
}

int CString::compareNoCase(const CString& s) const {
    return compareNoCaseBytes(chars(), length(), s.chars(), s.length());
}

int CString::collate(const CString& s) const {
    return qx::sys::collate(chars(), s.chars());
}

int CString::collateNoCase(const CString& s) const {
    CString a(*this), b(s);
    a.toLowerCase();
    b.toLowerCase();
    return qx::sys::collate(a.chars(), b.chars());
}

}  // namespace qxString
