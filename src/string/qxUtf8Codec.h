// The library's UTF-8 <-> UTF-16 codec, the same on every target.
//
// Decoding is lenient: each maximal invalid subpart of the input (a byte
// that starts no sequence, or the longest prefix of a sequence that a valid
// sequence could start with) becomes one U+FFFD, and the caller learns
// whether any was found, which is exactly when a strict decoder would fail
// (overlongs, surrogates, values above U+10FFFF, truncated sequences).
// Encoding turns each lone surrogate into U+FFFD and reports it the same way.
//
// Both functions return the length the whole input needs. They write only
// while the output has room; a result larger than dstCap means the output
// holds nothing useful. A null dst only counts.
#ifndef QXBASE_STRING_QXUTF8CODEC_H
#define QXBASE_STRING_QXUTF8CODEC_H

#include "qxDefs.h"

#include <cstddef>

namespace qx {
namespace utf8 {

constexpr unsigned kReplacement = 0xFFFD;

// UTF-8 [src, src + len) to UTF-16 units; *invalid is set to whether any
// invalid sequence was replaced.
size_t toUtf16(const char* src, size_t len, WChar* dst, size_t dstCap, bool* invalid);

// UTF-16 [src, src + len) to UTF-8 bytes; *invalid is set to whether any
// lone surrogate was replaced.
size_t toUtf8(const WChar* src, size_t len, char* dst, size_t dstCap, bool* invalid);

}  // namespace utf8
}  // namespace qx

#endif
