#include "string/qxEncoding.h"

#include "os/sys/qxSysText.h"
#include "string/qxUtf8Codec.h"

#include <climits>
#include <cstring>

namespace qxString {

namespace {

constexpr unsigned kNpos = 0xFFFFFFFFu;

inline void setOk(bool* ok, bool v) {
    if (ok) *ok = v;
}

inline size_t wideLength(const WChar* s) {
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

// Results are 32-bit; anything larger cannot be reported and counts as a
// failure.
inline unsigned narrowCount(size_t n) {
    return n > 0xFFFFFFFEu ? 0 : static_cast<unsigned>(n);
}

// Lenient multibyte to wide: each byte that starts no valid character
// becomes the wide replacement character. Produces at most limit units
// (a surrogate pair is never split); with dst, fills the rest of
// dst[0, limit] with NUL units. Returns the units produced.
size_t lenientMbToWide(const char* src, size_t limit, WChar* dst) {
    const WChar repl = getDefaultWChar();
    const size_t curMax = static_cast<size_t>(qx::sys::mbCurMax());
    size_t avail = std::strlen(src) + 1;  // never look past the NUL
    size_t out = 0;
    while (out < limit) {
        WChar units[2];
        int nu = 1;
        const int r = qx::sys::mbCharToWide(units, src, avail < curMax ? avail : curMax, &nu);
        if (r == 0) break;
        size_t step = 1;
        if (r < 0) {
            units[0] = repl;
            nu = 1;
        } else {
            step = static_cast<size_t>(r);
        }
        if (out + static_cast<size_t>(nu) > limit) break;
        if (dst) {
            dst[out] = units[0];
            if (nu == 2) dst[out + 1] = units[1];
        }
        out += static_cast<size_t>(nu);
        src += step;
        avail -= step;
    }
    if (dst)
        for (size_t i = out; i <= limit; ++i) dst[i] = 0;
    return out;
}

// The letter-like symbols of East Asian character sets, as inclusive
// ranges in ascending order (178 code points in all).
struct Range {
    unsigned short lo, hi;
};
constexpr Range kLetterLike[] = {
    {0x2103, 0x2103}, {0x2116, 0x2116}, {0x2121, 0x2121}, {0x2190, 0x2193}, {0x21D2, 0x21D2},
    {0x21D4, 0x21D4}, {0x2200, 0x2200}, {0x2202, 0x2203}, {0x2207, 0x2208}, {0x220B, 0x220B},
    {0x2211, 0x2211}, {0x221A, 0x221A}, {0x221D, 0x2220}, {0x2225, 0x2225}, {0x2227, 0x222C},
    {0x222E, 0x222E}, {0x2234, 0x2235}, {0x223D, 0x223D}, {0x2252, 0x2252}, {0x2260, 0x2261},
    {0x2266, 0x2267}, {0x226A, 0x226B}, {0x2282, 0x2283}, {0x2286, 0x2287}, {0x22A5, 0x22A5},
    {0x22BF, 0x22BF}, {0x2312, 0x2312}, {0x2460, 0x2473}, {0x2500, 0x2503}, {0x250C, 0x250C},
    {0x250F, 0x2510}, {0x2513, 0x2514}, {0x2517, 0x2518}, {0x251B, 0x251D}, {0x2520, 0x2520},
    {0x2523, 0x2525}, {0x2528, 0x2528}, {0x252B, 0x252C}, {0x252F, 0x2530}, {0x2533, 0x2534},
    {0x2537, 0x2538}, {0x253B, 0x253C}, {0x253F, 0x253F}, {0x2542, 0x2542}, {0x254B, 0x254B},
    {0x25A0, 0x25A1}, {0x25B2, 0x25B3}, {0x25BC, 0x25BD}, {0x25C6, 0x25C7}, {0x25CB, 0x25CB},
    {0x25CE, 0x25CF}, {0x25EF, 0x25EF}, {0x2605, 0x2606}, {0x2640, 0x2640}, {0x2642, 0x2642},
    {0x266A, 0x266A}, {0x266D, 0x266D}, {0x266F, 0x266F}, {0x3005, 0x3005}, {0x3012, 0x3013},
    {0x309B, 0x309E}, {0x30FC, 0x30FE}, {0x3231, 0x3232}, {0x3239, 0x3239}, {0x32A4, 0x32A8},
    {0x3303, 0x3303}, {0x330D, 0x330D}, {0x3314, 0x3314}, {0x3318, 0x3318}, {0x3322, 0x3323},
    {0x3326, 0x3327}, {0x332B, 0x332B}, {0x3336, 0x3336}, {0x333B, 0x333B}, {0x3349, 0x334A},
    {0x334D, 0x334D}, {0x3351, 0x3351}, {0x3357, 0x3357}, {0x337B, 0x337E}, {0x338E, 0x338F},
    {0x339C, 0x339E}, {0x33A1, 0x33A1}, {0x33C4, 0x33C4}, {0x33CD, 0x33CD}, {0xFF04, 0xFF04},
    {0xFF0B, 0xFF0B}, {0xFF1C, 0xFF1E}, {0xFF3E, 0xFF3E}, {0xFF40, 0xFF40}, {0xFF5C, 0xFF5C},
    {0xFF5E, 0xFF5E}, {0xFFE0, 0xFFE5},
};

using qx::sys::CharClass;

inline bool narrow(char c, CharClass k) {
    return qx::sys::isCharClass(c, k);
}
inline bool wide(WChar c, CharClass k) {
    return qx::sys::isWideClass(c, k);
}

}  // namespace

unsigned MBStoWCS(const char* src, unsigned srcLen, WChar* dst, unsigned dstSize, bool* ok) {
    setOk(ok, true);
    if (!src) return 0;
    const size_t len = std::strlen(src);
    // A length only vouches for the text: the whole NUL-terminated text is
    // converted, and a shorter length is refused.
    if (srcLen != kNpos && srcLen < len) return 0;
    size_t count = qx::sys::mbsToWide(nullptr, src, 0);
    const bool rejected = count == qx::sys::kConvertError;
    if (rejected) {
        count = lenientMbToWide(src, srcLen == kNpos ? len : srcLen, nullptr);
        setOk(ok, false);
    }
    if (!dst) return narrowCount(count);
    if (count >= dstSize) return 0;  // room for the NUL is required
    if (!rejected) {
        const size_t r = qx::sys::mbsToWide(dst, src, dstSize);
        if (r != qx::sys::kConvertError) return narrowCount(r);
    }
    lenientMbToWide(src, count, dst);
    setOk(ok, false);
    return narrowCount(count);
}

unsigned WCStoMBS(const WChar* src, unsigned srcLen, char* dst, unsigned dstSize, bool* ok) {
    setOk(ok, true);
    if (!src) return 0;
    const size_t len = wideLength(src);
    if (srcLen != kNpos && srcLen < len) return 0;
    size_t count = qx::sys::wideToMbs(nullptr, src, 0);
    const bool rejected = count == qx::sys::kConvertError;
    if (rejected) {
        // One byte per unit: the lenient conversion below narrows unit by unit.
        count = len;
        setOk(ok, false);
    }
    if (!dst) return narrowCount(count);
    if (count >= dstSize) return 0;
    if (!rejected) {
        const size_t r = qx::sys::wideToMbs(dst, src, dstSize);
        if (r != qx::sys::kConvertError) return narrowCount(r);
    }
    // Only characters the locale writes as one byte survive; in a locale
    // with double-byte characters that replaces representable ones too.
    const char repl = getDefaultMBChar();
    char buf[MB_LEN_MAX > 16 ? MB_LEN_MAX : 16];
    const size_t units = count < len ? count : len;
    for (size_t i = 0; i < units; ++i)
        dst[i] = qx::sys::wideCharToMb(buf, src[i]) == 1 ? buf[0] : repl;
    dst[units] = 0;
    setOk(ok, false);
    return narrowCount(units);
}

unsigned UTF8toWCS(const char* src, unsigned srcLen, WChar* dst, unsigned dstSize, bool keepBOM,
                   bool* ok) {
    setOk(ok, false);
    if (!src) return 0;
    if (srcLen == 0 || (srcLen == kNpos && src[0] == 0)) {
        setOk(ok, true);
        return 0;
    }
    const int bom = keepBOM ? 0 : detectUTF8BOM(src, static_cast<int>(srcLen));
    const char* p = src + bom;
    // With npos the terminating NUL is part of the text: counted and written.
    const size_t n = srcLen == kNpos ? std::strlen(p) + 1 : srcLen - static_cast<unsigned>(bom);
    bool invalid = false;
    const size_t count = qx::utf8::toUtf16(p, n, dst, dst ? dstSize : 0, &invalid);
    setOk(ok, !invalid && count != 0);
    if (count == 0 || count > 0xFFFFFFFEu) {
        setOk(ok, false);
        return 0;
    }
    if (!dst) return static_cast<unsigned>(count);
    return count > dstSize ? 0 : static_cast<unsigned>(count);
}

unsigned WCStoUTF8(const WChar* src, unsigned srcLen, char* dst, unsigned dstSize, bool* ok) {
    setOk(ok, false);
    if (!src) return 0;
    if (srcLen == 0 || (srcLen == kNpos && src[0] == 0)) {
        setOk(ok, true);
        return 0;
    }
    const size_t n = srcLen == kNpos ? wideLength(src) + 1 : srcLen;
    // A lone surrogate becomes U+FFFD and is not a failure here.
    bool replaced = false;
    const size_t count = qx::utf8::toUtf8(src, n, dst, dst ? dstSize : 0, &replaced);
    if (count == 0 || count > 0xFFFFFFFEu) return 0;
    setOk(ok, true);
    if (!dst) return static_cast<unsigned>(count);
    return count > dstSize ? 0 : static_cast<unsigned>(count);
}

int detectUTF8BOM(const char* buf, int len) {
    if (!buf || (len < 3 && len != -1)) return 0;
    // Byte by byte, so a shorter NUL-terminated text is never read past.
    return static_cast<unsigned char>(buf[0]) == 0xEF &&
                   static_cast<unsigned char>(buf[1]) == 0xBB &&
                   static_cast<unsigned char>(buf[2]) == 0xBF
               ? 3
               : 0;
}

// A null source is refused the way the runtime's parameter check refuses
// it, rather than dereferenced.
unsigned getMultiByteStringSize(WChar* dst, const char* src, unsigned n) {
    if (!src) return kNpos;
    const size_t r = qx::sys::mbsToWide(dst, src, n);
    return r == qx::sys::kConvertError ? kNpos : static_cast<unsigned>(r);
}

char getDefaultMBChar() {
    static const char c = '?';
    return c;
}

WChar getDefaultWChar() {
    static const WChar c = static_cast<WChar>('?');
    return c;
}

bool isLetterModifier(char) {
    return false;
}

bool isLetterModifier(WChar c) {
    size_t lo = 0, hi = sizeof(kLetterLike) / sizeof(kLetterLike[0]);
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (kLetterLike[mid].hi < c)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo < sizeof(kLetterLike) / sizeof(kLetterLike[0]) && kLetterLike[lo].lo <= c;
}

bool isAlnum(char c) {
    return narrow(c, CharClass::Alnum);
}
bool isAlnum(WChar c) {
    return wide(c, CharClass::Alnum) || isLetterModifier(c);
}
bool isAlpha(char c) {
    return isAlnum(c) && !isDigit(c);
}
bool isAlpha(WChar c) {
    return isAlnum(c) && !isDigit(c);
}
bool isAscii(char c) {
    return static_cast<unsigned char>(c) < 0x80;
}
bool isAscii(WChar c) {
    return c < 0x80;
}
bool isAscii(const char* s) {
    if (!s) return true;
    for (; *s; ++s)
        if (static_cast<unsigned char>(*s) >= 0x80) return false;
    return true;
}
bool isCntrl(char c) {
    return narrow(c, CharClass::Cntrl);
}
bool isCntrl(WChar c) {
    return wide(c, CharClass::Cntrl);
}
bool isDigit(char c) {
    return narrow(c, CharClass::Digit);
}
bool isDigit(WChar c) {
    return wide(c, CharClass::Digit);
}
bool isGraph(char c) {
    return narrow(c, CharClass::Graph);
}
bool isGraph(WChar c) {
    return wide(c, CharClass::Graph) || isLetterModifier(c);
}
bool isLower(char c) {
    return narrow(c, CharClass::Lower);
}
bool isLower(WChar c) {
    return wide(c, CharClass::Lower);
}
bool isNewLine(char c) {
    return (c == 10 || c == 13) && isCntrl(c);
}
bool isNewLine(WChar c) {
    return (c == 10 || c == 13) && isCntrl(c);
}
bool isPrint(char c) {
    return narrow(c, CharClass::Print);
}
bool isPrint(WChar c) {
    return !isTab(c) && (wide(c, CharClass::Print) || isLetterModifier(c));
}
bool isPunct(char c) {
    return narrow(c, CharClass::Punct);
}
bool isPunct(WChar c) {
    return wide(c, CharClass::Punct) && !isLetterModifier(c);
}
bool isSpace(char c) {
    return narrow(c, CharClass::Space);
}
bool isSpace(WChar c) {
    return wide(c, CharClass::Space);
}
bool isTab(char c) {
    return c == 9 && isCntrl(c);
}
bool isTab(WChar c) {
    return c == 9 && isCntrl(c);
}
bool isUpper(char c) {
    return narrow(c, CharClass::Upper);
}
bool isUpper(WChar c) {
    return wide(c, CharClass::Upper);
}
bool isXDigit(char c) {
    return narrow(c, CharClass::XDigit);
}
bool isXDigit(WChar c) {
    return wide(c, CharClass::XDigit);
}
char toLower(char c) {
    return qx::sys::charToLower(c);
}
WChar toLower(WChar c) {
    return qx::sys::wideToLower(c);
}
char toUpper(char c) {
    return qx::sys::charToUpper(c);
}
WChar toUpper(WChar c) {
    return qx::sys::wideToUpper(c);
}

}  // namespace qxString
