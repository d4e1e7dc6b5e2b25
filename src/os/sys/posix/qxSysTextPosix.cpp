// POSIX backend of the locale conversions. The runtime's wchar_t is 32 bits
// here: characters above U+FFFF become surrogate pairs on the way in, and
// pairs are joined before narrowing. The loops walk with mbrtowc/wcrtomb
// and a local shift state, never read past the NUL and never allocate.
#include "os/sys/qxSysText.h"

#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include <langinfo.h>

namespace qx {
namespace sys {

namespace {

inline bool isHighSurrogate(unsigned c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
inline bool isLowSurrogate(unsigned c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// One mbrtowc step over at most avail bytes. Returns the bytes consumed (0
// for the NUL) or -1; writes the character as one or two units.
int stepMb(std::mbstate_t& st, const char* s, size_t avail, WChar out[2], int* units) {
    wchar_t wc = 0;
    const size_t cur = static_cast<size_t>(MB_CUR_MAX);
    const size_t r = std::mbrtowc(&wc, s, avail < cur ? avail : cur, &st);
    if (r == static_cast<size_t>(-1) || r == static_cast<size_t>(-2)) {
        st = std::mbstate_t();
        return -1;
    }
    const unsigned long cp = static_cast<unsigned long>(wc);
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
    if (cp > 0xFFFF) {
        out[0] = static_cast<WChar>(0xD800 + ((cp - 0x10000) >> 10));
        out[1] = static_cast<WChar>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        *units = 2;
    } else {
        out[0] = static_cast<WChar>(cp);
        *units = 1;
    }
    return static_cast<int>(r);
}

// Next code point of a NUL-terminated UTF-16 text: the units it takes, or 0
// for a lone surrogate (which no locale can represent).
inline int nextCodePoint(const WChar* s, wchar_t* cp) {
    const unsigned c = s[0];
    if (isHighSurrogate(c)) {
        const unsigned d = s[1];
        if (!isLowSurrogate(d)) return 0;
        *cp = static_cast<wchar_t>(0x10000 + ((c - 0xD800) << 10) + (d - 0xDC00));
        return 2;
    }
    if (isLowSurrogate(c)) return 0;
    *cp = static_cast<wchar_t>(c);
    return 1;
}

// Whether the locale's encoding is stateless and writes every ASCII
// character as its own byte, so the loops may copy those directly. Only
// asked of the two encodings nearly every process runs under; others (some
// put the yen sign at 0x5C, some shift state) go through the runtime.
bool asciiIsItself() {
    const char* cs = nl_langinfo(CODESET);
    return std::strcmp(cs, "UTF-8") == 0 || std::strcmp(cs, "ANSI_X3.4-1968") == 0;
}

}  // namespace

int mbCurMax() {
    return static_cast<int>(MB_CUR_MAX);
}

size_t mbsToWide(WChar* dst, const char* src, size_t n) {
    std::mbstate_t st = std::mbstate_t();
    const char* p = src;
    size_t avail = std::strlen(src) + 1;  // bytes up to and including the NUL
    size_t written = 0;
    const bool ascii = asciiIsItself();
    for (;;) {
        const unsigned char b = static_cast<unsigned char>(*p);
        if (ascii && b - 1u < 0x7Fu) {
            if (dst) {
                if (written == n) return written;
                dst[written] = b;
            }
            ++written;
            ++p;
            --avail;
            continue;
        }
        WChar units[2];
        int nu = 0;
        // The NUL of a text the runtime need not see ends it directly.
        const int r = ascii && b == 0 ? 0 : stepMb(st, p, avail, units, &nu);
        if (r < 0) return kConvertError;
        if (r == 0) {
            if (dst && written < n) dst[written] = 0;
            return written;
        }
        if (dst) {
            if (written + static_cast<size_t>(nu) > n) return written;
            dst[written] = units[0];
            if (nu == 2) dst[written + 1] = units[1];
        }
        written += static_cast<size_t>(nu);
        p += r;
        avail -= static_cast<size_t>(r);
    }
}

int mbCharToWide(WChar out[2], const char* s, size_t n, int* units) {
    std::mbstate_t st = std::mbstate_t();
    *units = 1;
    if (n == 0) return -1;
    return stepMb(st, s, n, out, units);
}

size_t wideToMbs(char* dst, const WChar* src, size_t n) {
    std::mbstate_t st = std::mbstate_t();
    char buf[MB_LEN_MAX];
    size_t written = 0;
    const bool ascii = asciiIsItself();
    for (const WChar* p = src; *p;) {
        if (ascii && *p < 0x80) {
            if (dst) {
                if (written == n) return written;
                dst[written] = static_cast<char>(*p);
            }
            ++written;
            ++p;
            continue;
        }
        wchar_t cp = 0;
        const int nu = nextCodePoint(p, &cp);
        if (nu == 0) return kConvertError;
        const size_t r = std::wcrtomb(buf, cp, &st);
        if (r == static_cast<size_t>(-1)) return kConvertError;
        if (dst) {
            if (written + r > n) return written;
            std::memcpy(dst + written, buf, r);
        }
        written += r;
        p += nu;
    }
    if (dst && written < n) dst[written] = 0;
    return written;
}

int wideCharToMb(char* out, WChar c) {
    if (c >= 0xD800 && c <= 0xDFFF) return -1;
    std::mbstate_t st = std::mbstate_t();
    const size_t r = std::wcrtomb(out, static_cast<wchar_t>(c), &st);
    return r == static_cast<size_t>(-1) ? -1 : static_cast<int>(r);
}

int collate(const char* a, const char* b) {
    return std::strcoll(a, b);
}

namespace {

// Widens UTF-16 to the runtime's 32-bit wchar_t for wcscoll; lone
// surrogates pass through as their own values.
wchar_t* widen32(const WChar* s, wchar_t* stackBuf, size_t stackLen, wchar_t** heap) {
    size_t n = 0;
    while (s[n]) ++n;
    wchar_t* out = stackBuf;
    if (n + 1 > stackLen) {
        out = static_cast<wchar_t*>(std::malloc((n + 1) * sizeof(wchar_t)));
        if (!out) return nullptr;
        *heap = out;
    }
    size_t o = 0;
    for (size_t i = 0; i < n;) {
        wchar_t cp = 0;
        const int nu = nextCodePoint(s + i, &cp);
        if (nu == 0) {
            out[o++] = static_cast<wchar_t>(s[i]);
            ++i;
        } else {
            out[o++] = cp;
            i += static_cast<size_t>(nu);
        }
    }
    out[o] = 0;
    return out;
}

}  // namespace

int collateWide(const WChar* a, const WChar* b) {
    wchar_t bufA[256], bufB[256];
    wchar_t* heapA = nullptr;
    wchar_t* heapB = nullptr;
    const wchar_t* wa = widen32(a, bufA, 256, &heapA);
    const wchar_t* wb = widen32(b, bufB, 256, &heapB);
    int r;
    if (wa && wb) {
        r = std::wcscoll(wa, wb);
    } else {
        // Out of memory: fall back to code unit order rather than fail.
        size_t i = 0;
        while (a[i] && a[i] == b[i]) ++i;
        r = a[i] < b[i] ? -1 : a[i] > b[i] ? 1 : 0;
    }
    std::free(heapA);
    std::free(heapB);
    return r;
}

}  // namespace sys
}  // namespace qx
