// Conversions between 8-bit and wide text, the UTF-8 byte-order mark, and
// classification and case mapping of single characters.
//
// Two 8-bit encodings exist: the multibyte encoding of the C runtime's
// current LC_CTYPE locale (whatever the application last set; nothing here
// sets it) and UTF-8. Wide text is UTF-16 in qx::WChar units. Lengths are
// unsigned 32-bit; a source length of npos (0xFFFFFFFF) means "up to the
// NUL". The optional ok flag reports whether the text converted without
// loss. Nothing here throws or allocates.
#ifndef QXBASE_STRING_QXENCODING_H
#define QXBASE_STRING_QXENCODING_H

#include "qxDefs.h"

namespace qxString {

using qx::WChar;

enum Encoding : int {
    EncodingMultibyte = 0,  // the C runtime's current-locale multibyte encoding
    EncodingUTF8 = 1,       // every other value counts as EncodingMultibyte
};

// Locale multibyte to wide. Without dst: the wide units the text needs, NUL
// excluded. With dst: the units written (NUL-terminated), or 0 when dstSize
// leaves no room for them and the NUL. The whole NUL-terminated text is
// always converted; a srcLen shorter than it gives 0. Characters the locale
// rejects become '?' and clear *ok.
QX_API unsigned MBStoWCS(const char* src, unsigned srcLen, WChar* dst, unsigned dstSize,
                         bool* ok = nullptr);
// Wide to locale multibyte, the same contract in bytes. When some character
// has no representation, the needed size is one byte per wide unit and each
// such character (and, on the lenient path, each character longer than one
// byte) becomes '?'.
QX_API unsigned WCStoMBS(const WChar* src, unsigned srcLen, char* dst, unsigned dstSize,
                         bool* ok = nullptr);

// UTF-8 to wide. A leading byte-order mark is skipped unless keepBOM. With
// srcLen npos the count includes the terminating NUL (and the NUL is
// written); with an explicit length only those bytes are converted and no
// NUL is added. Returns the units needed or written, 0 when dstSize is too
// small. Each maximal invalid subpart becomes U+FFFD and clears *ok.
QX_API unsigned UTF8toWCS(const char* src, unsigned srcLen, WChar* dst, unsigned dstSize,
                          bool keepBOM = false, bool* ok = nullptr);
// Wide to UTF-8, the same contract in bytes. A lone surrogate becomes
// U+FFFD; *ok reports only whether anything was produced.
QX_API unsigned WCStoUTF8(const WChar* src, unsigned srcLen, char* dst, unsigned dstSize,
                          bool* ok = nullptr);

// 3 when buf starts with EF BB BF, else 0. len -1 means "not given".
QX_API int detectUTF8BOM(const char* buf, int len);

// The runtime's mbstowcs(dst, src, n) in wide units: units converted (or
// needed, with a null dst), 0xFFFFFFFF on a sequence the locale rejects.
QX_API unsigned getMultiByteStringSize(WChar* dst, const char* src, unsigned n);

// The replacement characters of the lenient conversions: '?' both ways.
QX_API char getDefaultMBChar();
QX_API WChar getDefaultWChar();

// Character classes. The 8-bit forms follow the runtime's classification of
// the current locale for bytes below 0x80; bytes 0x80-0xFF belong to no
// class and map to themselves. The wide forms follow the runtime's wide
// classification, and treat the letter-like symbols of East Asian character
// sets (isLetterModifier) as letters.
QX_API bool isAlnum(char c);
QX_API bool isAlnum(WChar c);
QX_API bool isAlpha(char c);
QX_API bool isAlpha(WChar c);
QX_API bool isAscii(char c);
QX_API bool isAscii(WChar c);
QX_API bool isAscii(const char* s);  // every byte below 0x80; true for null and ""
QX_API bool isCntrl(char c);
QX_API bool isCntrl(WChar c);
QX_API bool isDigit(char c);
QX_API bool isDigit(WChar c);
QX_API bool isGraph(char c);
QX_API bool isGraph(WChar c);
QX_API bool isLetterModifier(char c);  // always false
QX_API bool isLetterModifier(WChar c);
QX_API bool isLower(char c);
QX_API bool isLower(WChar c);
QX_API bool isNewLine(char c);
QX_API bool isNewLine(WChar c);
QX_API bool isPrint(char c);
QX_API bool isPrint(WChar c);
QX_API bool isPunct(char c);
QX_API bool isPunct(WChar c);
QX_API bool isSpace(char c);
QX_API bool isSpace(WChar c);
QX_API bool isTab(char c);
QX_API bool isTab(WChar c);
QX_API bool isUpper(char c);
QX_API bool isUpper(WChar c);
QX_API bool isXDigit(char c);
QX_API bool isXDigit(WChar c);
QX_API char toLower(char c);
QX_API WChar toLower(WChar c);
QX_API char toUpper(char c);
QX_API WChar toUpper(WChar c);

}  // namespace qxString

#endif
