#include "string/qxFormatEngine.h"

#include "string/qxEncoding.h"

#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

namespace qx {
namespace format {

namespace {

constexpr unsigned kNpos = 0xFFFFFFFFu;

// Output bounded by the buffer; counts everything, writes what fits and
// keeps the last cell for the NUL.
template <class Ch>
class Sink {
public:
    Sink(Ch* buf, size_t size)
        : m_p(buf), m_end(size ? buf + size - 1 : buf), m_count(0), m_nul(size > 0) {}

    void put(Ch c) {
        if (m_p < m_end) *m_p++ = c;
        ++m_count;
    }
    void put(const Ch* s, size_t n) {
        const size_t room = static_cast<size_t>(m_end - m_p);
        const size_t k = n < room ? n : room;
        if (k) std::memcpy(m_p, s, k * sizeof(Ch));
        m_p += k;
        m_count += n;
    }
    // ASCII text (digits, signs, "(null)") in either unit.
    void putAscii(const char* s, size_t n) {
        if constexpr (std::is_same<Ch, char>::value) {
            put(s, n);
        } else {
            const size_t room = static_cast<size_t>(m_end - m_p);
            const size_t k = n < room ? n : room;
            for (size_t i = 0; i < k; ++i)
                m_p[i] = static_cast<Ch>(static_cast<unsigned char>(s[i]));
            m_p += k;
            m_count += n;
        }
    }
    void fill(Ch c, size_t n) {
        const size_t room = static_cast<size_t>(m_end - m_p);
        const size_t k = n < room ? n : room;
        for (size_t i = 0; i < k; ++i) m_p[i] = c;
        m_p += k;
        m_count += n;
    }
    Result finish() {
        if (m_nul) *m_p = 0;
        return {true, m_count};
    }

private:
    Ch* m_p;
    Ch* m_end;
    size_t m_count;
    bool m_nul;
};

enum class Len { None, HH, H, L, LL, BigL, I, I32, I64, Z, J, T, W };

struct Spec {
    bool left = false, plus = false, space = false, alt = false, zero = false;
    size_t width = 0;
    int prec = -1;  // -1: none
    Len len = Len::None;
};

// A scratch buffer on the stack, on the heap when it must be larger.
template <class T, size_t N>
class Scratch {
public:
    explicit Scratch(size_t n) : m_heap(nullptr), m_data(m_stack) {
        if (n > N) {
            m_heap = static_cast<T*>(std::malloc(n * sizeof(T)));
            m_data = m_heap;
        }
    }
    ~Scratch() { std::free(m_heap); }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    T* data() const { return m_data; }

private:
    T m_stack[N];
    T* m_heap;
    T* m_data;
};

template <class Ch>
void pad(Sink<Ch>& out, const Spec& sp, size_t len, bool before) {
    if (sp.width > len && sp.left != before) out.fill(static_cast<Ch>(' '), sp.width - len);
}

// n units padded to the width; the precision has been applied already.
template <class Ch>
void emitPadded(Sink<Ch>& out, const Spec& sp, const Ch* s, size_t n) {
    pad(out, sp, n, true);
    out.put(s, n);
    pad(out, sp, n, false);
}

// 8-bit text into 8-bit output: the precision counts bytes.
void emitText(Sink<char>& out, const Spec& sp, const char* s, size_t n) {
    if (sp.prec >= 0 && static_cast<size_t>(sp.prec) < n) n = static_cast<size_t>(sp.prec);
    emitPadded(out, sp, s, n);
}

inline bool isHighSurrogate(WChar c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
inline bool isLowSurrogate(WChar c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Wide text into wide output: the precision counts UTF-16 units, and a
// surrogate pair that does not fit whole is left out rather than halved.
template <class Ch>
void emitWideText(Sink<Ch>& out, const Spec& sp, const Ch* s, size_t n) {
    if (sp.prec >= 0 && static_cast<size_t>(sp.prec) < n) {
        n = static_cast<size_t>(sp.prec);
        if (n > 0 && isHighSurrogate(static_cast<WChar>(s[n - 1])) &&
            isLowSurrogate(static_cast<WChar>(s[n])))
            --n;
    }
    emitPadded(out, sp, s, n);
}

// The locale's bytes for the character at *s (a surrogate pair is one
// character) into m, advancing *s past it: their number, 0 at the end of
// the text, -1 when the locale cannot write the character.
int narrowNext(const WChar** s, char (&m)[16]) {
    const WChar* p = *s;
    if (!*p) return 0;
    const size_t units = isHighSurrogate(p[0]) && isLowSurrogate(p[1]) ? 2 : 1;
    const WChar one[3] = {p[0], units == 2 ? p[1] : WChar(0), 0};
    bool ok = false;
    const unsigned n = qxString::WCStoMBS(one, kNpos, m, sizeof m, &ok);
    if (!ok || n == 0) return -1;
    *s = p + units;
    return static_cast<int>(n);
}

// Wide text into 8-bit output with a precision, which counts bytes of the
// locale's encoding: characters are converted one at a time and only those
// that fit whole are written, never part of one. As C asks of %.Nls, the
// text after the cut is not converted, so it cannot make the call fail.
bool emitNarrowedPrefix(Sink<char>& out, const Spec& sp, const WChar* s) {
    const size_t limit = static_cast<size_t>(sp.prec);
    char m[16];
    size_t len = 0;
    for (const WChar* p = s; len < limit;) {
        const int k = narrowNext(&p, m);
        if (k < 0) return false;
        if (k == 0 || static_cast<size_t>(k) > limit - len) break;
        len += static_cast<size_t>(k);
    }
    // The length is needed before the text for the padding in front of it,
    // so the characters are converted a second time as they are written.
    pad(out, sp, len, true);
    const WChar* p = s;
    for (size_t done = 0; done < len;) {
        const int k = narrowNext(&p, m);
        if (k <= 0) break;  // cannot happen: the same characters converted before
        out.put(m, static_cast<size_t>(k));
        done += static_cast<size_t>(k);
    }
    pad(out, sp, len, false);
    return true;
}

template <class Ch>
void emitAsciiText(Sink<Ch>& out, const Spec& sp, const char* s, size_t n) {
    if (sp.prec >= 0 && static_cast<size_t>(sp.prec) < n) n = static_cast<size_t>(sp.prec);
    pad(out, sp, n, true);
    out.putAscii(s, n);
    pad(out, sp, n, false);
}

// Sign or prefix, zeros, then the body, padded to the width: zeros after the
// prefix when asked for, blanks otherwise.
template <class Ch>
void emitNumber(Sink<Ch>& out, const Spec& sp, const char* prefix, size_t prefixLen, size_t zeros,
                const char* body, size_t n, bool zeroPad) {
    const size_t len = prefixLen + zeros + n;
    if (zeroPad && !sp.left && sp.width > len) {
        out.putAscii(prefix, prefixLen);
        out.fill(static_cast<Ch>('0'), zeros + sp.width - len);
        out.putAscii(body, n);
        return;
    }
    pad(out, sp, len, true);
    out.putAscii(prefix, prefixLen);
    out.fill(static_cast<Ch>('0'), zeros);
    out.putAscii(body, n);
    pad(out, sp, len, false);
}

unsigned long long readUnsigned(Len len, Args& a) {
    switch (len) {
        case Len::HH:
            return static_cast<unsigned char>(va_arg(a.ap, int));
        case Len::H:
            return static_cast<unsigned short>(va_arg(a.ap, int));
        case Len::L:
            return va_arg(a.ap, unsigned long);
        case Len::LL:
        case Len::BigL:
        case Len::I64:
            return va_arg(a.ap, unsigned long long);
        case Len::I:
        case Len::Z:
            return va_arg(a.ap, size_t);
        case Len::T:
            return static_cast<size_t>(va_arg(a.ap, ptrdiff_t));
        case Len::J:
            return va_arg(a.ap, uintmax_t);
        case Len::I32:
        case Len::None:
        case Len::W:
            break;
    }
    return va_arg(a.ap, unsigned);
}

long long readSigned(Len len, Args& a) {
    switch (len) {
        case Len::HH:
            return static_cast<signed char>(va_arg(a.ap, int));
        case Len::H:
            return static_cast<short>(va_arg(a.ap, int));
        case Len::L:
            return va_arg(a.ap, long);
        case Len::LL:
        case Len::BigL:
        case Len::I64:
            return va_arg(a.ap, long long);
        case Len::I:
        case Len::T:
            return va_arg(a.ap, ptrdiff_t);
        case Len::Z:
            return static_cast<long long>(va_arg(a.ap, size_t));
        case Len::J:
            return va_arg(a.ap, intmax_t);
        case Len::I32:
        case Len::None:
        case Len::W:
            break;
    }
    return va_arg(a.ap, int);
}

template <class Ch>
void emitInteger(Sink<Ch>& out, const Spec& sp, char conv, Args& a) {
    const bool isSigned = conv == 'd' || conv == 'i';
    bool neg = false;
    unsigned long long mag;
    if (isSigned) {
        const long long v = readSigned(sp.len, a);
        neg = v < 0;
        mag = neg ? 0ull - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
    } else {
        mag = readUnsigned(sp.len, a);
    }
    const unsigned base = conv == 'o' ? 8 : (conv == 'x' || conv == 'X') ? 16 : 10;
    const char* digitSet = conv == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
    char buf[32];
    char* end = buf + sizeof(buf);
    char* d = end;
    if (!(sp.prec == 0 && mag == 0)) {
        unsigned long long m = mag;
        do {
            *--d = digitSet[m % base];
            m /= base;
        } while (m);
    }
    if (sp.alt && base == 8 && (d == end || *d != '0')) *--d = '0';
    const size_t n = static_cast<size_t>(end - d);
    char prefix[2];
    size_t prefixLen = 0;
    if (isSigned && (neg || sp.plus || sp.space))
        prefix[prefixLen++] = neg ? '-' : sp.plus ? '+' : ' ';
    if (sp.alt && base == 16 && mag != 0) {
        prefix[prefixLen++] = '0';
        prefix[prefixLen++] = conv;
    }
    const size_t zeros = sp.prec > 0 && static_cast<size_t>(sp.prec) > n ? sp.prec - n : 0;
    emitNumber(out, sp, prefix, prefixLen, zeros, d, n, sp.zero && sp.prec < 0);
}

// Exponent of the scientific text "d[.ddd]e±XX" in [s, end) (not
// NUL-terminated).
int exponentOf(const char* s, const char* end) {
    const char* e = static_cast<const char*>(std::memchr(s, 'e', static_cast<size_t>(end - s)));
    if (!e) return 0;
    const bool neg = e[1] == '-';
    int x = 0;
    for (const char* p = e + 2; p < end; ++p) x = x * 10 + (*p - '0');
    return neg ? -x : x;
}

// %#g: prec significant digits, trailing zeros kept, a decimal point always.
char* alternateGeneral(char* first, char* last, double v, int prec) {
    const std::to_chars_result sci =
        std::to_chars(first, last, v, std::chars_format::scientific, prec - 1);
    if (sci.ec != std::errc()) return nullptr;
    const int x = exponentOf(first, sci.ptr);
    char* end = sci.ptr;
    if (x >= -4 && x < prec) {
        const std::to_chars_result fix =
            std::to_chars(first, last, v, std::chars_format::fixed, prec - 1 - x);
        if (fix.ec != std::errc()) return nullptr;
        end = fix.ptr;
        if (!std::memchr(first, '.', static_cast<size_t>(end - first))) *end++ = '.';
    } else if (prec == 1) {
        // "de+XX": the point goes after the one digit.
        std::memmove(first + 2, first + 1, static_cast<size_t>(end - first - 1));
        first[1] = '.';
        ++end;
    }
    return end;
}

template <class Ch>
bool emitFloat(Sink<Ch>& out, const Spec& sp, char conv, Args& a) {
    const double v =
        sp.len == Len::BigL ? static_cast<double>(va_arg(a.ap, long double)) : va_arg(a.ap, double);
    const bool upper = conv >= 'A' && conv <= 'Z';
    const char kind = static_cast<char>(upper ? conv - 'A' + 'a' : conv);
    const bool neg = std::signbit(v);
    const double mag = std::fabs(v);
    char sign[3];
    size_t signLen = 0;
    if (neg || sp.plus || sp.space) sign[signLen++] = neg ? '-' : sp.plus ? '+' : ' ';
    if (!std::isfinite(mag)) {
        const char* word = std::isnan(mag) ? (upper ? "NAN" : "nan") : (upper ? "INF" : "inf");
        emitNumber(out, sp, sign, signLen, 0, word, 3, false);
        return true;
    }
    const int prec = sp.prec < 0 ? 6 : sp.prec;
    // Fixed notation of the largest double has 309 digits before the point.
    const size_t cap = static_cast<size_t>(prec) + 340;
    Scratch<char, 512> scratch(cap + 2);
    char* first = scratch.data();
    if (!first) return false;
    char* last = first + cap;
    char* end = nullptr;
    std::to_chars_result r{};
    switch (kind) {
        case 'f':
            r = std::to_chars(first, last, mag, std::chars_format::fixed, prec);
            end = r.ec == std::errc() ? r.ptr : nullptr;
            break;
        case 'e':
            r = std::to_chars(first, last, mag, std::chars_format::scientific, prec);
            end = r.ec == std::errc() ? r.ptr : nullptr;
            break;
        case 'g':
            if (sp.alt) {
                end = alternateGeneral(first, last, mag, prec == 0 ? 1 : prec);
            } else {
                r = std::to_chars(first, last, mag, std::chars_format::general,
                                  prec == 0 ? 1 : prec);
                end = r.ec == std::errc() ? r.ptr : nullptr;
            }
            break;
        default:  // 'a'
            r = sp.prec < 0 ? std::to_chars(first, last, mag, std::chars_format::hex)
                            : std::to_chars(first, last, mag, std::chars_format::hex, sp.prec);
            end = r.ec == std::errc() ? r.ptr : nullptr;
            sign[signLen++] = '0';
            sign[signLen++] = upper ? 'X' : 'x';
            break;
    }
    if (!end) return false;
    if (sp.alt && kind != 'g' && !std::memchr(first, '.', static_cast<size_t>(end - first))) {
        // '#' keeps the point even without digits after it.
        char* at = first;
        while (at < end && *at != 'e' && *at != 'p') ++at;
        std::memmove(at + 1, at, static_cast<size_t>(end - at));
        *at = '.';
        ++end;
    }
    const char point = *std::localeconv()->decimal_point;
    for (char* c = first; c < end; ++c) {
        if (*c == '.' && point && point != '.')
            *c = point;
        else if (upper && *c >= 'a' && *c <= 'z')
            *c = static_cast<char>(*c - 'a' + 'A');
    }
    emitNumber(out, sp, sign, signLen, 0, first, static_cast<size_t>(end - first), sp.zero);
    return true;
}

// Text of one string argument, converted to the output's unit when the
// argument is of the other width.
template <class Ch>
bool emitString(Sink<Ch>& out, const Spec& sp, bool wideArg, Args& a) {
    constexpr bool wideOut = !std::is_same<Ch, char>::value;
    if (wideArg) {
        const WChar* s = va_arg(a.ap, const WChar*);
        if (!s) {
            emitAsciiText(out, sp, "(null)", 6);
            return true;
        }
        if constexpr (wideOut) {
            size_t n = 0;
            while (s[n]) ++n;
            emitWideText(out, sp, reinterpret_cast<const Ch*>(s), n);
        } else {
            if (sp.prec >= 0) return emitNarrowedPrefix(out, sp, s);
            bool ok = false;
            const unsigned need = qxString::WCStoMBS(s, kNpos, nullptr, 0, &ok);
            if (!ok) return false;
            Scratch<char, 256> buf(size_t(need) + 1);
            if (!buf.data()) return false;
            const unsigned got = qxString::WCStoMBS(s, kNpos, buf.data(), need + 1, &ok);
            if (!ok || got != need) return false;
            emitPadded(out, sp, buf.data(), got);
        }
    } else {
        const char* s = va_arg(a.ap, const char*);
        if (!s) {
            emitAsciiText(out, sp, "(null)", 6);
            return true;
        }
        if constexpr (!wideOut) {
            emitText(out, sp, s, std::strlen(s));
        } else {
            bool ok = false;
            const unsigned need = qxString::MBStoWCS(s, kNpos, nullptr, 0, &ok);
            if (!ok) return false;
            if (need == 0) {
                static const Ch empty[1] = {0};
                emitPadded(out, sp, empty, 0);
                return true;
            }
            Scratch<WChar, 256> buf(size_t(need) + 1);
            if (!buf.data()) return false;
            const unsigned got = qxString::MBStoWCS(s, kNpos, buf.data(), need + 1, &ok);
            if (!ok || got != need) return false;
            emitWideText(out, sp, reinterpret_cast<const Ch*>(buf.data()), got);
        }
    }
    return true;
}

template <class Ch>
bool emitChar(Sink<Ch>& out, const Spec& sp, bool wideArg, Args& a) {
    constexpr bool wideOut = !std::is_same<Ch, char>::value;
    const int v = va_arg(a.ap, int);
    Ch c;
    if (wideArg == wideOut || v == 0) {
        c = static_cast<Ch>(v);
    } else if constexpr (wideOut) {
        const char text[2] = {static_cast<char>(v), 0};
        WChar w[3];
        bool ok = false;
        if (qxString::MBStoWCS(text, kNpos, w, 3, &ok) != 1 || !ok) return false;
        c = static_cast<Ch>(w[0]);
    } else {
        const WChar text[2] = {static_cast<WChar>(v), 0};
        char m[16];
        bool ok = false;
        const unsigned n = qxString::WCStoMBS(text, kNpos, m, sizeof(m), &ok);
        if (!ok || n == 0) return false;
        // Written whole: the precision has no effect on a character.
        emitPadded(out, sp, m, n);
        return true;
    }
    pad(out, sp, 1, true);
    out.put(c);
    pad(out, sp, 1, false);
    return true;
}

template <class Ch>
void emitPointer(Sink<Ch>& out, const Spec& sp, Args& a) {
    std::uintptr_t v = reinterpret_cast<std::uintptr_t>(va_arg(a.ap, void*));
    char digits[2 * sizeof(void*)];
    for (size_t i = sizeof(digits); i-- > 0; v >>= 4) digits[i] = "0123456789ABCDEF"[v & 15];
    Spec plain = sp;
    plain.prec = -1;
    emitAsciiText(out, plain, digits, sizeof(digits));
}

inline size_t findPercent(const char* p) {
    const char* q = std::strchr(p, '%');
    return q ? static_cast<size_t>(q - p) : std::strlen(p);
}

inline size_t findPercent(const WChar* p) {
    size_t n = 0;
    while (p[n] && p[n] != '%') ++n;
    return n;
}

template <class Ch>
Result run(Ch* buf, size_t size, const Ch* fmt, Args& a) {
    constexpr bool wideFormat = !std::is_same<Ch, char>::value;
    Sink<Ch> out(buf, size);
    // A failure still leaves the output so far NUL-terminated.
    auto failed = [&out] {
        out.finish();
        return Result{false, 0};
    };
    const Ch* p = fmt;
    for (;;) {
        const size_t lit = findPercent(p);
        out.put(p, lit);
        p += lit;
        if (!*p) break;
        ++p;  // the '%'
        if (*p == '%') {
            out.put(static_cast<Ch>('%'));
            ++p;
            continue;
        }
        Spec sp;
        for (;; ++p) {
            if (*p == '-')
                sp.left = true;
            else if (*p == '+')
                sp.plus = true;
            else if (*p == ' ')
                sp.space = true;
            else if (*p == '#')
                sp.alt = true;
            else if (*p == '0')
                sp.zero = true;
            else
                break;
        }
        if (*p == '*') {
            const int w = va_arg(a.ap, int);
            if (w < 0) sp.left = true;
            sp.width = w < 0 ? 0u - static_cast<unsigned>(w) : static_cast<unsigned>(w);
            ++p;
        } else {
            for (; *p >= '0' && *p <= '9'; ++p)
                sp.width =
                    sp.width < (SIZE_MAX - 9) / 10 ? sp.width * 10 + unsigned(*p - '0') : SIZE_MAX;
        }
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                const int pr = va_arg(a.ap, int);
                sp.prec = pr < 0 ? -1 : pr;
                ++p;
            } else {
                long long pr = 0;
                for (; *p >= '0' && *p <= '9'; ++p)
                    pr = pr < INT_MAX / 10 ? pr * 10 + (*p - '0') : INT_MAX;
                sp.prec = static_cast<int>(pr);
            }
        }
        switch (*p) {
            case 'h':
                sp.len = p[1] == 'h' ? Len::HH : Len::H;
                p += sp.len == Len::HH ? 2 : 1;
                break;
            case 'l':
                sp.len = p[1] == 'l' ? Len::LL : Len::L;
                p += sp.len == Len::LL ? 2 : 1;
                break;
            case 'L':
                sp.len = Len::BigL, ++p;
                break;
            case 'I':
                if (p[1] == '3' && p[2] == '2')
                    sp.len = Len::I32, p += 3;
                else if (p[1] == '6' && p[2] == '4')
                    sp.len = Len::I64, p += 3;
                else
                    sp.len = Len::I, ++p;
                break;
            case 'z':
                sp.len = Len::Z, ++p;
                break;
            case 'j':
                sp.len = Len::J, ++p;
                break;
            case 't':
                sp.len = Len::T, ++p;
                break;
            case 'w':
                sp.len = Len::W, ++p;
                break;
            default:
                break;
        }
        const Ch conv = *p;
        if (!conv) return failed();  // the format ends inside a conversion
        ++p;
        // The letter of the format's own width is native; h and l/w force
        // 8-bit and wide arguments.
        auto wideArgument = [&](Ch native) {
            if (sp.len == Len::H || sp.len == Len::HH) return false;
            if (sp.len == Len::L || sp.len == Len::W) return true;
            return (conv == native) == wideFormat;
        };
        switch (conv) {
            case 'd':
            case 'i':
            case 'u':
            case 'o':
            case 'x':
            case 'X':
                emitInteger(out, sp, static_cast<char>(conv), a);
                break;
            case 's':
            case 'S':
                if (!emitString(out, sp, wideArgument(static_cast<Ch>('s')), a)) return failed();
                break;
            case 'c':
            case 'C':
                if (!emitChar(out, sp, wideArgument(static_cast<Ch>('c')), a)) return failed();
                break;
            case 'p':
                emitPointer(out, sp, a);
                break;
            case 'e':
            case 'E':
            case 'f':
            case 'F':
            case 'g':
            case 'G':
            case 'a':
            case 'A':
                if (!emitFloat(out, sp, static_cast<char>(conv), a)) return failed();
                break;
            default:
                return failed();  // unknown conversions and %n
        }
    }
    return out.finish();
}

}  // namespace

Result formatChars(char* buf, size_t size, const char* fmt, Args& args) {
    return run(buf, size, fmt, args);
}

Result formatWide(WChar* buf, size_t size, const WChar* fmt, Args& args) {
    return run(buf, size, fmt, args);
}

void swapStringLetters(WChar* f) {
    WChar* p = f;
    while ((p = [](WChar* q) {
        while (*q && *q != '%') ++q;
        return *q ? q : nullptr;
    }(p))) {
        ++p;
        if (*p == '%') {
            ++p;
            continue;
        }
        if (*p == '-') ++p;
        while (*p >= '0' && *p <= '9') ++p;
        if (*p == '.') ++p;
        while (*p >= '0' && *p <= '9') ++p;
        switch (*p) {
            case 's':
                *p++ = 'S';
                break;
            case 'S':
                *p++ = 's';
                break;
            case 'c':
                *p++ = 'C';
                break;
            case 'C':
                *p++ = 'c';
                break;
            default:
                break;  // the search goes on from this character
        }
    }
}

}  // namespace format
}  // namespace qx
