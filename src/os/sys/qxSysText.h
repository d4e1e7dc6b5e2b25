// Platform layer: the C runtime's locale-dependent multibyte conversions and
// character classification, in the library's 16-bit wide unit.
//
// The conversions answer what the runtime's mbstowcs/wcstombs/mbtowc/wctomb
// answer under the current LC_CTYPE locale. Where the runtime's wchar_t is
// 32 bits, characters above U+FFFF are widened to surrogate pairs and pairs
// are joined again before narrowing; a lone surrogate has no representation.
// Nothing here allocates or sets the locale.
#ifndef QXBASE_OS_SYS_QXSYSTEXT_H
#define QXBASE_OS_SYS_QXSYSTEXT_H

#include "qxDefs.h"

#include <cstddef>

namespace qx {
namespace sys {

constexpr size_t kConvertError = static_cast<size_t>(-1);

// The locale's longest multibyte character, in bytes.
int mbCurMax();

// mbstowcs(dst, src, n): converts the NUL-terminated src, writing at most n
// units (and the NUL when there is room for it). Returns the units written
// (or needed, with a null dst), NUL excluded; kConvertError on a sequence
// the locale rejects. A surrogate pair that would not fit is not split.
size_t mbsToWide(WChar* dst, const char* src, size_t n);

// mbtowc over at most n bytes of s: the bytes consumed (0 for the NUL, -1
// for a sequence that starts no valid character), the character stored in
// out[0] (and out[1] for a surrogate pair), *units set to 1 or 2.
int mbCharToWide(WChar out[2], const char* s, size_t n, int* units);

// wcstombs(dst, src, n): narrows the NUL-terminated src, writing at most n
// bytes (and the NUL when there is room). Returns the bytes written (or
// needed, with a null dst), NUL excluded; kConvertError when a character
// has no representation in the locale.
size_t wideToMbs(char* dst, const WChar* src, size_t n);

// wctomb of one unit into out (room for mbCurMax() bytes): the bytes
// produced, or -1 when the unit has no representation (a lone surrogate
// never has one).
int wideCharToMb(char* out, WChar c);

// Character classes of the runtime, under the current locale.
enum class CharClass {
    Alnum,
    Alpha,
    Cntrl,
    Digit,
    Graph,
    Lower,
    Print,
    Punct,
    Space,
    Upper,
    XDigit
};

// 8-bit forms: bytes 0x80-0xFF belong to no class and map to themselves, on
// every target (the runtime would see them as negative values).
bool isCharClass(char c, CharClass k);
char charToLower(char c);
char charToUpper(char c);

// Wide forms, one 16-bit unit at a time; a surrogate unit belongs to no
// class and maps to itself.
bool isWideClass(WChar c, CharClass k);
WChar wideToLower(WChar c);
WChar wideToUpper(WChar c);

// strcoll/wcscoll of two NUL-terminated texts under the current locale.
int collate(const char* a, const char* b);
int collateWide(const WChar* a, const WChar* b);

}  // namespace sys
}  // namespace qx

#endif
