// The formatting engine behind the C entry points and the string members.
// Internal.
#ifndef QXBASE_STRING_QXFORMATENGINE_H
#define QXBASE_STRING_QXFORMATENGINE_H

#include "qxDefs.h"

#include <cstdarg>
#include <cstddef>

namespace qx {
namespace format {

// An argument list that can be passed on by reference.
struct Args {
    va_list ap;
};

// ok false for a bad format or a failed 8-bit/wide conversion. Otherwise
// length is the length of the whole output, also when it did not fit: at
// most size - 1 characters are written, then a NUL (when size > 0).
struct Result {
    bool ok;
    size_t length;
};

// A precision on text never splits a character: in 8-bit output it counts
// bytes, and a converted character that does not fit whole is left out; in
// wide output it counts UTF-16 units, and a surrogate pair is never halved.
// A character (%c, %C) is always written whole.

// 8-bit format and output: %s is 8-bit text, %S wide.
Result formatChars(char* buf, size_t size, const char* fmt, Args& args);
// Wide format and output with the platform's legacy wide letters: %s is
// wide text, %S 8-bit (the caller's format is rewritten first).
Result formatWide(WChar* buf, size_t size, const WChar* fmt, Args& args);

// The letter swap of OL_convert_string_format, in place.
void swapStringLetters(WChar* fmt);

}  // namespace format
}  // namespace qx

#endif
