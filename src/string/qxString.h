// The library's two string types: CString (8-bit characters) and IString
// (16-bit UTF-16 units, with a cached 8-bit copy of itself), both derived
// from the abstract String.
//
// Strings are values: every copy copies the text, nothing is shared. Each
// object holds one pointer to a record that carries the length, the
// capacity and the text (always NUL-terminated, embedded NULs allowed), so
// a short text costs one block and nothing else, and the object can be moved
// bitwise (qx::vector<CString> relocates with memcpy). Positions and lengths
// are unsigned 32-bit; npos (0xFFFFFFFF) means "not found" or "to the end".
//
// Bad positions raise std::out_of_range, lengths beyond maxSize() raise
// std::length_error, and allocation failure raises std::bad_alloc. at() and
// operator[] check nothing.
#ifndef QXBASE_STRING_QXSTRING_H
#define QXBASE_STRING_QXSTRING_H

#include "containers/qxHash.h"
#include "qxDefs.h"
#include "string/qxEncoding.h"
#include "string/qxFormat.h"

#include <cstdarg>
#include <cstring>
#include <iosfwd>
#include <string_view>
#include <type_traits>

namespace qxString {

class CString;
class IString;

class QX_API String {
public:
    static constexpr unsigned npos = 0xFFFFFFFFu;

    String() {}
    String(const String&) {}
    String& operator=(const String&) { return *this; }
    virtual ~String() = 0;

    virtual bool isEmpty() const;
    // An empty string counts as null; there is no other null state.
    virtual bool isNull() const;
    virtual unsigned length() const = 0;
    virtual unsigned first() const;
    virtual unsigned last() const;
    virtual unsigned capacity() const = 0;
    virtual unsigned reserve(unsigned n) = 0;
    virtual unsigned maxSize() const = 0;

protected:
    bool doBoundsCheck(unsigned pos) const { return pos < length(); }
    // The count is compared with the length, not with the room after pos.
    bool doBoundsCheck(unsigned pos, unsigned n) const {
        return pos < length() && (n == npos || n <= length());
    }
};

namespace detail {

// Header of a string record; the text follows it directly.
struct CStringRep {
    unsigned length;
    unsigned capacity;  // 0 only in the shared empty record, which is never written
};

enum ConversionStatus : int { ConversionUnknown = 0, ConversionExact = 1, ConversionLossy = 2 };

struct IStringRep {
    unsigned length;
    unsigned capacity;  // 0 only in the shared empty record, which is never written
    bool cacheStale;
    Encoding cachedEncoding;
    ConversionStatus conversionStatus;
    unsigned cacheLength;
    unsigned cacheCapacity;
    char* cacheHeap;  // null while the cache fits cacheInline
    char cacheInline[16];
};

template <class Rep>
struct EmptyRep {
    Rep rep;
    WChar nul[4];
};

}  // namespace detail

class QX_API CString : public String {
public:
    static constexpr unsigned npos = 0xFFFFFFFFu;

    CString() noexcept : m_rep(emptyRep()) {}
    CString(const CString& s);
    CString(CString&& s) noexcept : m_rep(s.m_rep) { s.m_rep = emptyRep(); }
    explicit CString(char c);
    CString(unsigned n, char c);
    CString(const char* s);         // null gives an empty string
    CString(const char* s, int n);  // exactly n bytes, NULs included; n < 0 throws
    explicit CString(std::string_view v);
    ~CString() override;

    CString& operator=(const CString& s) {
        if (this != &s) assign(s);
        return *this;
    }
    CString& operator=(CString&& s) noexcept {
        swapReps(s);
        return *this;
    }
    CString& operator=(const char* s) { return assign(s); }
    CString& assign(const CString& s) { return assignChars(s.data(), s.length()); }
    CString& assign(const char* s) { return assignChars(s, s ? lengthOf(s) : 0); }
    CString& assign(const char* s, unsigned n) { return assignChars(s, n); }

    unsigned length() const final { return m_rep->length; }
    unsigned capacity() const final { return m_rep->capacity ? m_rep->capacity : kInline; }
    unsigned reserve(unsigned n) final;
    unsigned maxSize() const final { return 0xFFFFFFFEu; }

    char& at(unsigned i) { return chars()[i]; }
    char at(unsigned i) const { return chars()[i]; }
    char& operator[](unsigned i) { return chars()[i]; }
    char operator[](unsigned i) const { return chars()[i]; }
    bool isAscii() const;

    const char* asChar() const { return chars(); }
    const char* asMultibyte() const { return chars(); }
    unsigned asCharStoreSize() const { return length() + 1; }
    unsigned asMultibyteStoreSize() const { return length() + 1; }
    // A block from the C heap holding the text and its NUL; release it with free.
    char* copyAsChar() const;
    char* copyAsMultibyte() const { return copyAsChar(); }

    virtual CString& append(const CString& s) { return appendChars(s.data(), s.length()); }
    // The pointer and character forms append the bytes directly rather than
    // through a temporary string and the virtual form.
    CString& append(char c) {
        const unsigned len = m_rep->length;
        if (len < m_rep->capacity) {
            chars()[len] = c;
            chars()[len + 1] = 0;
            m_rep->length = len + 1;
            return *this;
        }
        return appendSlow(&c, 1);
    }
    CString& append(const char* s) { return s ? appendChars(s, lengthOf(s)) : *this; }
    CString& append(const char* s, unsigned n) { return appendChars(s, n); }

    CString& insert(unsigned pos, const CString& s) {
        return splice("insert", pos, 0, s.data(), s.length());
    }
    CString& insert(unsigned pos, const char* s) {
        return splice("insert", pos, 0, s, s ? lengthOf(s) : 0);
    }
    CString& insert(unsigned pos, char c) { return splice("insert", pos, 0, &c, 1); }
    CString& prepend(const CString& s) { return insert(0, s); }
    CString& prepend(const char* s) { return insert(0, s); }
    CString& prepend(char c) { return insert(0, c); }
    void erase(unsigned pos = 0, unsigned n = npos);
    CString& remove(unsigned pos = 0, unsigned n = npos) {
        erase(pos, n);
        return *this;
    }
    CString& replace(unsigned pos, unsigned n, const CString& s) {
        return splice("replace", pos, n, s.data(), s.length());
    }
    CString& replace(unsigned pos, unsigned n, const char* s) {
        return splice("replace", pos, n, s, s ? lengthOf(s) : 0);
    }
    CString& replace(unsigned pos, unsigned n, char c) { return splice("replace", pos, n, &c, 1); }
    CString& strip(char c);
    CString& rstrip(char c);
    CString& stripSpaces();
    CString& rstripSpaces();
    CString& toLowerCase();
    CString& toUpperCase();
    void swap(CString& s) noexcept { swapReps(s); }
    CString substr(unsigned pos = 0, unsigned n = npos) const;

    unsigned find(const CString& s, unsigned pos = 0) const {
        return findChars(s.data(), s.length(), pos);
    }
    unsigned find(char c, unsigned pos = 0) const { return findChars(&c, 1, pos); }
    unsigned find(const char* s, unsigned pos = 0) const {
        return findChars(s, s ? lengthOf(s) : 0, pos);
    }
    unsigned find(bool (*pred)(char), unsigned pos = 0) const;
    unsigned rfind(const CString& s, unsigned pos = npos) const {
        return rfindChars(s.data(), s.length(), pos);
    }
    unsigned rfind(char c, unsigned pos = npos) const { return rfindChars(&c, 1, pos); }
    unsigned rfind(const char* s, unsigned pos = npos) const {
        return rfindChars(s, s ? lengthOf(s) : 0, pos);
    }
    unsigned rfind(bool (*pred)(char), unsigned pos = npos) const;

    // Bytes compared as unsigned values; the sign of the first difference,
    // else the shorter string is less (-1/1); embedded NULs take part.
    int compare(const CString& s) const { return compareChars(s.data(), s.length()); }
    int compare(const char* s) const {
        return s ? compareChars(s, lengthOf(s)) : compareChars("", 0);
    }
    int compareNoCase(const CString& s) const;
    // strcoll of the two NUL-terminated texts under the current locale.
    int collate(const CString& s) const;
    int collateNoCase(const CString& s) const;

    // printf-style formatting into the string (see qxFormat.h for the
    // conversions), from a first buffer of start characters (256 without
    // one) grown as needed. Returns the new length, or npos, leaving the
    // text as it was, for a failed or empty output.
    unsigned format(const char* fmt, ...);
    unsigned format(unsigned start, const char* fmt, ...);
    unsigned format(const CString* fmt, ...);
    unsigned format(unsigned start, const CString* fmt, ...);
    unsigned vformat(const char* fmt, va_list args);
    // The checked forms (qxFormat.h), chosen whenever arguments follow the
    // format, which may also be a QX_FORMAT literal.
    template <class F, class... A,
              std::enable_if_t<qx::format::isFormat<F, char, CString>, int> = 0>
    unsigned format(F&& fmt, A&&... args) {
        qx::format::checkLiteral<false, F, A...>();
        return (this->*static_cast<unsigned (CString::*)(const char*, ...)>(&CString::format))(
            qx::format::formatText(fmt), qx::format::passArg(std::forward<A>(args))...);
    }
    template <class F, class... A,
              std::enable_if_t<qx::format::isFormat<F, char, CString>, int> = 0>
    unsigned format(unsigned start, F&& fmt, A&&... args) {
        qx::format::checkLiteral<false, F, A...>();
        using Plain = unsigned (CString::*)(unsigned, const char*, ...);
        return (this->*static_cast<Plain>(&CString::format))(
            start, qx::format::formatText(fmt), qx::format::passArg(std::forward<A>(args))...);
    }

    // What C++ code expects of a string.
    const char* c_str() const { return chars(); }
    const char* data() const { return chars(); }
    char* data() { return chars(); }
    unsigned size() const { return m_rep->length; }
    bool empty() const { return m_rep->length == 0; }
    void clear() { erase(0, npos); }
    const char* begin() const { return chars(); }
    const char* end() const { return chars() + m_rep->length; }
    operator std::string_view() const { return std::string_view(chars(), m_rep->length); }
    CString& operator+=(const CString& s) { return append(s); }
    CString& operator+=(const char* s) { return append(s); }
    CString& operator+=(char c) { return append(c); }
    CString& operator+=(std::string_view v) {
        return appendChars(v.data(), checkedLength(v.size()));
    }

private:
    static constexpr unsigned kInline = 15;
    using Rep = detail::CStringRep;

    static const detail::EmptyRep<Rep> s_emptyRep;
    static Rep* emptyRep() noexcept { return const_cast<Rep*>(&s_emptyRep.rep); }
    char* chars() const { return reinterpret_cast<char*>(m_rep + 1); }
    static unsigned lengthOf(const char* s) { return checkedLength(std::strlen(s)); }
    static unsigned checkedLength(size_t n) {
        if (n > 0xFFFFFFFEu) throwTooLong();
        return static_cast<unsigned>(n);
    }
    [[noreturn]] static void throwTooLong();
    void swapReps(CString& s) noexcept {
        Rep* r = m_rep;
        m_rep = s.m_rep;
        s.m_rep = r;
    }

    CString& appendChars(const char* s, unsigned n) {
        const unsigned len = m_rep->length;
        if (n && n <= m_rep->capacity - len) {
            std::memmove(chars() + len, s, n);
            chars()[len + n] = 0;
            m_rep->length = len + n;
            return *this;
        }
        return n ? appendSlow(s, n) : *this;
    }
    CString& appendSlow(const char* s, unsigned n);
    CString& assignChars(const char* s, unsigned n);
    CString& splice(const char* what, unsigned pos, unsigned n, const char* s, unsigned sn);
    unsigned findChars(const char* s, unsigned n, unsigned pos) const;
    unsigned rfindChars(const char* s, unsigned n, unsigned pos) const;
    int compareChars(const char* s, unsigned n) const {
        const unsigned len = m_rep->length;
        const int r = std::memcmp(chars(), s, len < n ? len : n);
        return r ? r : len < n ? -1 : len > n ? 1 : 0;
    }

    Rep* m_rep;

    friend class IString;
};

class QX_API IString : public String {
public:
    static constexpr unsigned npos = 0xFFFFFFFFu;

    IString() noexcept : m_rep(emptyRep()) {}
    // Copies the other's text up to its first NUL unit; the 8-bit copy is
    // not copied.
    IString(const IString& s);
    IString(IString&& s) noexcept : m_rep(s.m_rep) { s.m_rep = emptyRep(); }
    explicit IString(WChar c);
    IString(unsigned n, WChar c);
    IString(const WChar* s);         // null gives an empty string
    IString(const WChar* s, int n);  // exactly n units, NULs included; n < 0 throws
    // From 8-bit text in encoding e (a UTF-8 byte-order mark is skipped); a
    // failed conversion leaves the string empty and *ok false.
    explicit IString(const char* s, Encoding e = EncodingMultibyte, bool* ok = nullptr);
    explicit IString(const CString& s, Encoding e = EncodingMultibyte, bool* ok = nullptr);
    explicit IString(char c, Encoding e = EncodingMultibyte, bool* ok = nullptr);
    IString(unsigned n, char c, Encoding e = EncodingMultibyte, bool* ok = nullptr);
    // From a view of 16-bit units: std::u16string_view, or the view of
    // qx::WChar where that is another type.
    template <class Ch,
              class = std::enable_if_t<sizeof(Ch) == 2 && (std::is_same<Ch, WChar>::value ||
                                                           std::is_same<Ch, char16_t>::value)>>
    explicit IString(std::basic_string_view<Ch> v) : IString() {
        assignUnits(reinterpret_cast<const WChar*>(v.data()), checkedLength(v.size()));
    }
    ~IString() override;

    IString& operator=(const IString& s) {
        if (this != &s) assign(s);
        return *this;
    }
    IString& operator=(IString&& s) noexcept {
        swapReps(s);
        markStale();
        s.markStale();
        return *this;
    }
    IString& operator=(const WChar* s) { return assign(s); }
    // Copies every unit, embedded NULs included.
    IString& assign(const IString& s) { return assignUnits(s.data(), s.length()); }
    IString& assign(const WChar* s) { return assignUnits(s, s ? lengthOf(s) : 0); }
    IString& assign(const WChar* s, unsigned n) { return assignUnits(s, n); }
    IString& assign(const char* s, Encoding e, bool* ok = nullptr);
    IString& assign(const CString& s, Encoding e, bool* ok = nullptr);

    unsigned length() const final { return m_rep->length; }
    unsigned capacity() const final { return m_rep->capacity ? m_rep->capacity : kInline; }
    unsigned reserve(unsigned n) final;
    unsigned maxSize() const final { return 0xFFFFFFFEu; }

    // Writing through these references leaves the 8-bit copy as it was.
    WChar& at(unsigned i) { return units()[i]; }
    WChar at(unsigned i) const { return units()[i]; }
    WChar& operator[](unsigned i) { return units()[i]; }
    WChar operator[](unsigned i) const { return units()[i]; }
    bool isAscii() const;

    const WChar* asWChar() const { return units(); }
    const WChar* asUnicode() const { return units(); }
    // Bytes, not characters: 2 * (length() + 1).
    unsigned asWCharStoreSize() const { return 2 * (length() + 1); }
    unsigned asUnicodeStoreSize() const { return asWCharStoreSize(); }
    WChar* copyAsWChar() const;

    // The text converted to e, from a cache rebuilt only after the text
    // changed or another encoding was asked for. The pointer stays valid
    // until the string is next modified, converted to another encoding or
    // destroyed. *ok tells whether every character converted.
    const char* asMultibyte(Encoding e, bool* ok = nullptr) const {
        return convertToMultibyte(e, ok);
    }
    unsigned asMultibyteStoreSize(Encoding e) const;
    const char* asUTF8(bool* ok = nullptr) const { return convertToMultibyte(EncodingUTF8, ok); }
    unsigned asUTF8StoreSize() const { return asMultibyteStoreSize(EncodingUTF8); }
    const char* asChar() const { return convertToMultibyte(EncodingMultibyte, nullptr); }
    char* copyAsMultibyte(Encoding e, bool* ok = nullptr) const;
    operator CString() const { return convertToCString(); }
    CString convertToCString() const;

    virtual IString& append(const IString& s) { return appendUnits(s.data(), s.length()); }
    IString& append(WChar c) { return appendUnits(&c, 1); }
    IString& append(const WChar* s) { return s ? appendUnits(s, lengthOf(s)) : *this; }
    IString& append(const WChar* s, unsigned n) { return appendUnits(s, n); }

    IString& insert(unsigned pos, const IString& s) {
        return splice("insert", pos, 0, s.data(), s.length());
    }
    IString& insert(unsigned pos, const WChar* s) {
        return splice("insert", pos, 0, s, s ? lengthOf(s) : 0);
    }
    IString& insert(unsigned pos, WChar c) { return splice("insert", pos, 0, &c, 1); }
    IString& prepend(const IString& s) { return insert(0, s); }
    IString& prepend(const WChar* s) { return insert(0, s); }
    IString& prepend(WChar c) { return insert(0, c); }
    void erase(unsigned pos = 0, unsigned n = npos);
    IString& remove(unsigned pos = 0, unsigned n = npos) {
        erase(pos, n);
        return *this;
    }
    IString& replace(unsigned pos, unsigned n, const IString& s) {
        return splice("replace", pos, n, s.data(), s.length());
    }
    IString& replace(unsigned pos, unsigned n, const WChar* s) {
        return splice("replace", pos, n, s, s ? lengthOf(s) : 0);
    }
    IString& replace(unsigned pos, unsigned n, WChar c) { return splice("replace", pos, n, &c, 1); }
    // Replaces every occurrence of what, scanning forward; replaced text is
    // never searched again.
    IString& replace(const IString& what, const IString& with);
    IString& strip(WChar c);
    IString& rstrip(WChar c);
    IString& stripSpaces();
    IString& rstripSpaces();
    IString& toLowerCase();
    IString& toUpperCase();
    void swap(IString& s) noexcept {
        swapReps(s);
        markStale();
        s.markStale();
    }
    // Built from a text pointer, so the result ends at the first NUL unit.
    IString substr(unsigned pos = 0, unsigned n = npos) const;
    void substr(IString& out, unsigned pos, unsigned n = npos) const;

    // printf-style formatting, as for CString, with a wide format (%s still
    // takes 8-bit text and %S wide) or an 8-bit one converted from the
    // locale's encoding first.
    unsigned format(const WChar* fmt, ...);
    unsigned format(unsigned start, const WChar* fmt, ...);
    unsigned format(const IString* fmt, ...);
    unsigned format(unsigned start, const IString* fmt, ...);
    unsigned format(const char* fmt, ...);
    unsigned format(unsigned start, const char* fmt, ...);
    unsigned vformat(const WChar* fmt, va_list args);
    unsigned vformat(const char* fmt, va_list args);
    // The checked forms, as for CString; every format is read as a wide one.
    template <class F, class... A,
              std::enable_if_t<qx::format::isFormat<F, char, WChar, IString>, int> = 0>
    unsigned format(F&& fmt, A&&... args) {
        qx::format::checkLiteral<true, F, A...>();
        const auto text = qx::format::formatText(fmt);
        using Plain = unsigned (IString::*)(decltype(text), ...);
        return (this->*static_cast<Plain>(&IString::format))(
            text, qx::format::passArg(std::forward<A>(args))...);
    }
    template <class F, class... A,
              std::enable_if_t<qx::format::isFormat<F, char, WChar, IString>, int> = 0>
    unsigned format(unsigned start, F&& fmt, A&&... args) {
        qx::format::checkLiteral<true, F, A...>();
        const auto text = qx::format::formatText(fmt);
        using Plain = unsigned (IString::*)(unsigned, decltype(text), ...);
        return (this->*static_cast<Plain>(&IString::format))(
            start, text, qx::format::passArg(std::forward<A>(args))...);
    }

    unsigned find(const IString& s, unsigned pos = 0) const {
        return findUnits(s.data(), s.length(), pos);
    }
    unsigned find(WChar c, unsigned pos = 0) const { return findUnits(&c, 1, pos); }
    unsigned find(const WChar* s, unsigned pos = 0) const {
        return findUnits(s, s ? lengthOf(s) : 0, pos);
    }
    unsigned find(bool (*pred)(WChar), unsigned pos = 0) const;
    unsigned rfind(const IString& s, unsigned pos = npos) const {
        return rfindUnits(s.data(), s.length(), pos);
    }
    unsigned rfind(WChar c, unsigned pos = npos) const { return rfindUnits(&c, 1, pos); }
    unsigned rfind(const WChar* s, unsigned pos = npos) const {
        return rfindUnits(s, s ? lengthOf(s) : 0, pos);
    }
    unsigned rfind(bool (*pred)(WChar), unsigned pos = npos) const;
    unsigned findAny(const IString& set, unsigned pos = 0) const;
    unsigned rfindAny(const IString& set, unsigned pos = npos) const;

    // Units compared as unsigned values: exactly -1, 0 or 1.
    int compare(const IString& s) const { return compareUnits(s.data(), s.length()); }
    int compare(const WChar* s) const { return compareUnits(s, s ? lengthOf(s) : 0); }
    int compareNoCase(const IString& s) const;
    int collate(const IString& s) const;
    int collateNoCase(const IString& s) const;

    // What C++ code expects of a string.
    const WChar* c_str() const { return units(); }
    const WChar* data() const { return units(); }
    unsigned size() const { return m_rep->length; }
    bool empty() const { return m_rep->length == 0; }
    void clear() { erase(0, npos); }
    const WChar* begin() const { return units(); }
    const WChar* end() const { return units() + m_rep->length; }
    std::basic_string_view<WChar> view() const { return {units(), m_rep->length}; }
    std::u16string_view u16view() const {
        return {reinterpret_cast<const char16_t*>(units()), m_rep->length};
    }
    IString& operator+=(const IString& s) { return append(s); }
    IString& operator+=(const WChar* s) { return append(s); }
    IString& operator+=(WChar c) { return append(c); }

private:
    static constexpr unsigned kInline = 7;
    using Rep = detail::IStringRep;

    static const detail::EmptyRep<Rep> s_emptyRep;
    static Rep* emptyRep() noexcept { return const_cast<Rep*>(&s_emptyRep.rep); }
    WChar* units() const { return reinterpret_cast<WChar*>(m_rep + 1); }
    static unsigned lengthOf(const WChar* s);
    static unsigned checkedLength(size_t n) { return CString::checkedLength(n); }
    void swapReps(IString& s) noexcept {
        Rep* r = m_rep;
        m_rep = s.m_rep;
        s.m_rep = r;
    }
    void markStale() noexcept {
        if (m_rep->capacity) {
            m_rep->cacheStale = true;
            m_rep->conversionStatus = detail::ConversionUnknown;
        }
    }

    IString& appendUnits(const WChar* s, unsigned n);
    IString& assignUnits(const WChar* s, unsigned n);
    IString& splice(const char* what, unsigned pos, unsigned n, const WChar* s, unsigned sn);
    unsigned findUnits(const WChar* s, unsigned n, unsigned pos) const;
    unsigned rfindUnits(const WChar* s, unsigned n, unsigned pos) const;
    int compareUnits(const WChar* s, unsigned n) const;
    const char* convertToMultibyte(Encoding e, bool* ok) const;
    void convertFromMultibyte(const char* s, Encoding e, bool* ok);

    Rep* m_rep;
};

// Free comparisons: compare(a, b) against 0.
QX_API bool equal(const CString& a, const CString& b);
QX_API bool equal(const CString& a, const char* b);
QX_API bool notEqual(const CString& a, const CString& b);
QX_API bool less(const CString& a, const CString& b);
QX_API bool lessEqual(const CString& a, const CString& b);
QX_API bool greater(const CString& a, const CString& b);
QX_API bool greaterEqual(const CString& a, const CString& b);
QX_API bool equal(const IString& a, const IString& b);
QX_API bool notEqual(const IString& a, const IString& b);
QX_API bool less(const IString& a, const IString& b);
QX_API bool lessEqual(const IString& a, const IString& b);
QX_API bool greater(const IString& a, const IString& b);
QX_API bool greaterEqual(const IString& a, const IString& b);

QX_API CString plus(const CString& a, const CString& b);
QX_API IString plus(const IString& a, const IString& b);
// a.append(b) through the virtual append.
QX_API CString& plusEqual(CString& a, const CString& b);
QX_API IString& plusEqual(IString& a, const IString& b);
inline void swap(CString& a, CString& b) noexcept {
    a.swap(b);
}
inline void swap(IString& a, IString& b) noexcept {
    a.swap(b);
}

// The buffer hash over the text's bytes (CString) or units (IString).
QX_API unsigned hashfunction(const CString& s);
QX_API unsigned hashfunction(const IString& s);

QX_API std::ostream& operator<<(std::ostream& os, const CString& s);

#define QX_STRING_RELATIONS(T, P)                             \
    inline bool operator==(const T& a, const T& b) {          \
        return a.length() == b.length() && a.compare(b) == 0; \
    }                                                         \
    inline bool operator!=(const T& a, const T& b) {          \
        return !(a == b);                                     \
    }                                                         \
    inline bool operator<(const T& a, const T& b) {           \
        return a.compare(b) < 0;                              \
    }                                                         \
    inline bool operator<=(const T& a, const T& b) {          \
        return a.compare(b) <= 0;                             \
    }                                                         \
    inline bool operator>(const T& a, const T& b) {           \
        return a.compare(b) > 0;                              \
    }                                                         \
    inline bool operator>=(const T& a, const T& b) {          \
        return a.compare(b) >= 0;                             \
    }                                                         \
    inline bool operator==(const T& a, P b) {                 \
        return a.compare(b) == 0;                             \
    }                                                         \
    inline bool operator!=(const T& a, P b) {                 \
        return a.compare(b) != 0;                             \
    }                                                         \
    inline bool operator<(const T& a, P b) {                  \
        return a.compare(b) < 0;                              \
    }                                                         \
    inline bool operator<=(const T& a, P b) {                 \
        return a.compare(b) <= 0;                             \
    }                                                         \
    inline bool operator>(const T& a, P b) {                  \
        return a.compare(b) > 0;                              \
    }                                                         \
    inline bool operator>=(const T& a, P b) {                 \
        return a.compare(b) >= 0;                             \
    }                                                         \
    inline bool operator==(P a, const T& b) {                 \
        return b.compare(a) == 0;                             \
    }                                                         \
    inline bool operator!=(P a, const T& b) {                 \
        return b.compare(a) != 0;                             \
    }                                                         \
    inline bool operator<(P a, const T& b) {                  \
        return b.compare(a) > 0;                              \
    }                                                         \
    inline bool operator<=(P a, const T& b) {                 \
        return b.compare(a) >= 0;                             \
    }                                                         \
    inline bool operator>(P a, const T& b) {                  \
        return b.compare(a) < 0;                              \
    }                                                         \
    inline bool operator>=(P a, const T& b) {                 \
        return b.compare(a) <= 0;                             \
    }                                                         \
    inline T operator+(const T& a, const T& b) {              \
        return plus(a, b);                                    \
    }                                                         \
    inline T operator+(T&& a, const T& b) {                   \
        return std::move(a.append(b));                        \
    }                                                         \
    inline T operator+(const T& a, P b) {                     \
        T r(a);                                               \
        r.append(b);                                          \
        return r;                                             \
    }                                                         \
    inline T operator+(T&& a, P b) {                          \
        return std::move(a.append(b));                        \
    }                                                         \
    inline T operator+(P a, const T& b) {                     \
        T r(a);                                               \
        r.append(b);                                          \
        return r;                                             \
    }

QX_STRING_RELATIONS(CString, const char*)
QX_STRING_RELATIONS(IString, const WChar*)
#undef QX_STRING_RELATIONS

inline CString operator+(const CString& a, char c) {
    CString r(a);
    r.append(c);
    return r;
}
inline IString operator+(const IString& a, WChar c) {
    IString r(a);
    r.append(c);
    return r;
}

}  // namespace qxString

namespace qx {

template <>
struct hash<qxString::CString> {
    unsigned operator()(const qxString::CString& s) const { return qxString::hashfunction(s); }
};
template <>
struct hash<qxString::IString> {
    unsigned operator()(const qxString::IString& s) const { return qxString::hashfunction(s); }
};

}  // namespace qx

// The C entry points: a heap CString the caller owns (CString_delete
// ignores null), and the 8-bit text of an IString in a C-heap block the
// caller releases with free.
extern "C" {
QX_API qxString::CString* CString_create(const char* s);
QX_API void CString_delete(qxString::CString* p);
QX_API char* IStringToTCHARCopy(const qxString::IString& s);
}

#endif
