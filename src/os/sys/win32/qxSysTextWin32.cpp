// Win32 backend of the locale conversions: the C runtime's own functions,
// whose wchar_t is the library's 16-bit unit.
#include "os/sys/qxSysText.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>

namespace qx {
namespace sys {

int mbCurMax() {
    return static_cast<int>(MB_CUR_MAX);
}

size_t mbsToWide(WChar* dst, const char* src, size_t n) {
    return std::mbstowcs(dst, src, n);
}

int mbCharToWide(WChar out[2], const char* s, size_t n, int* units) {
    *units = 1;
    if (n == 0) return -1;
    const int r = std::mbtowc(out, s, n);
    return r < 0 ? -1 : r;
}

// Without a destination the runtime's wcstombs counts without rejecting
// anything (seen in the "C" locale), so the count is made with wctomb, which
// refuses what the converting call would refuse.
size_t wideToMbs(char* dst, const WChar* src, size_t n) {
    if (dst) return std::wcstombs(dst, src, n);
    char buf[MB_LEN_MAX > 16 ? MB_LEN_MAX : 16];
    size_t count = 0;
    for (const WChar* p = src; *p; ++p) {
        const int r = std::wctomb(buf, *p);
        if (r < 0) return kConvertError;
        count += static_cast<size_t>(r);
    }
    return count;
}

int wideCharToMb(char* out, WChar c) {
    const int r = std::wctomb(out, c);
    return r < 0 ? -1 : r;
}

int collate(const char* a, const char* b) {
    return std::strcoll(a, b);
}

int collateWide(const WChar* a, const WChar* b) {
    return std::wcscoll(a, b);
}

}  // namespace sys
}  // namespace qx
