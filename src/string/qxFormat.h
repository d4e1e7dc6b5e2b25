// printf-style formatting: the library's own engine behind bounded C entry
// points, the rewriting of wide formats, and 64-bit integer text.
//
// Conversion letters follow one convention in 8-bit and wide formats alike:
// %s takes 8-bit text (const char*), %S wide text (const qx::WChar*), %c an
// 8-bit and %C a wide character; %hs/%hc always take 8-bit and %ls/%lc (and
// %ws/%wc) always wide arguments. Wide formatting gets there the way the
// platform's legacy wide printf does: OL_vswprintf rewrites the format with
// OL_convert_string_format, and its engine then reads %s as wide and %S as
// 8-bit. So only conversions of the shape %[-][digits][.digits]s/S/c/C are
// swapped; %+s, %*s, %ls and the like keep their legacy wide meaning.
//
// Also understood: flags - + blank # 0, width and precision (digits or *),
// the length modifiers hh h l ll L I I32 I64 z j t w, conversions d i u o x
// X c C s S p e E f F g G a A and %%. l is the platform's long. %p prints
// the 16 upper-case hex digits of the pointer. Floating-point digits are
// those of the exact binary value, correctly rounded (as printf gives them),
// and identical on every target; infinities and NaNs print as inf/nan
// (INF/NAN), and the decimal point follows the current locale. L reads a
// long double and formats it as a double. A null %s/%S argument prints
// "(null)".
//
// An unknown conversion, a format ending inside a conversion, %n, and text
// that cannot be converted between 8-bit and wide (through the current
// locale) are failures: -1.
#ifndef QXBASE_STRING_QXFORMAT_H
#define QXBASE_STRING_QXFORMAT_H

#include "qxDefs.h"

#include <cstdarg>
#include <cstddef>

extern "C" {

// Formats into buf, writing at most size bytes (NUL included). Returns the
// number of characters written when it is below size - 1, else -1: a result
// always leaves one spare byte besides the NUL. On -1 the buffer holds the
// output cut at its end (NUL-terminated when size > 0); nothing is written
// beyond size.
QX_API int OL_vsnprintf(char* buf, size_t size, const char* fmt, va_list args);
QX_API int OL_snprintf(char* buf, size_t size, const char* fmt, ...);
// The same for wide text; size in wide units.
QX_API int OL_vswprintf(qx::WChar* buf, size_t size, const qx::WChar* fmt, va_list args);
QX_API int OL_swprintf(qx::WChar* buf, size_t size, const qx::WChar* fmt, ...);

// A copy of fmt from the C heap (release it with free) in which each
// conversion %[-][digits][.digits] followed by s, S, c or C has that letter
// swapped with its other case; %% is a literal percent sign. Null for a null
// fmt or when memory runs out.
QX_API qx::WChar* OL_convert_string_format(const qx::WChar* fmt);

// Leading white space, an optional sign, then decimal digits up to the first
// other character; 0 when no digit is read. Values beyond the range
// saturate (to the minimum, maximum or 0 and the maximum); a '-' before an
// unsigned value negates it modulo 2^64, as the runtime's readers do.
QX_API long long asciiToInt64(const char* text);
QX_API unsigned long long asciiToUInt64(const char* text);
// Decimal text of value in static buffer number buffer (0, 1 or 2; each
// function has its own three), valid until the next call with the same
// buffer. Null for another buffer number.
QX_API char* int64ToAscii(long long value, int buffer);
QX_API char* uint64ToAscii(unsigned long long value, int buffer);

// A process-wide flag for hosts: false until set, never cleared.
QX_API void setThisIsAUnitTest();
QX_API bool isThisAUnitTest();
}

#endif
