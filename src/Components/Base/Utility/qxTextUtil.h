// Text utilities of qxUtil: cutting text into tokens, lines and quoted
// words, joining and de-duplicating token lists, doubling or escaping
// special characters, and uniformly distributed random numbers.
#ifndef QXBASE_COMPONENTS_BASE_UTILITY_QXTEXTUTIL_H
#define QXBASE_COMPONENTS_BASE_UTILITY_QXTEXTUTIL_H

#include "containers/qxVector.h"
#include "diagnostics/qxError.h"
#include "qxDefs.h"
#include "string/qxString.h"

namespace qxUtil {

// Tokens of s between separators (the character sep, or every character for
// which isSep holds). With keepSeparators each separator is a one-character
// token of its own and no token is empty. Without it, a leading separator
// and each separator directly after another give an empty token unless
// skipEmpty is set; a trailing separator gives none. An empty s gives no
// tokens.
QX_API qx::vector<qxString::CString> split(const qxString::CString& s, char sep, bool skipEmpty,
                                           bool keepSeparators);
QX_API qx::vector<qxString::CString> split(const qxString::CString& s, bool (*isSep)(char),
                                           bool skipEmpty, bool keepSeparators);
QX_API qx::vector<qxString::IString> split(const qxString::IString& s, qx::WChar sep,
                                           bool skipEmpty, bool keepSeparators);
QX_API qx::vector<qxString::IString> split(const qxString::IString& s, bool (*isSep)(qx::WChar),
                                           bool skipEmpty, bool keepSeparators);

// Lines of s: every LF and every CR ends one, so CR LF ends two. A text
// ending in a line break has an empty last line; an empty text is one empty
// line. numMultiLines(s) is the number of lines splitMultiLines(s) gives.
QX_API qx::vector<qxString::CString> splitMultiLines(const qxString::CString& s);
QX_API int numMultiLines(const qxString::CString& s);

// Blank-separated words of s into out (cleared first). A word is either
// unquoted or wholly enclosed in double quotes, which may hold blanks.
// A syntax error is returned with the 1-based position of the offending
// character as its number; out then holds the words before it.
QX_API Error splitWithQuotes(const qxString::CString& s, qx::vector<qxString::CString>& out);
// As splitWithQuotes, but quotes may open and close anywhere inside a word
// (they are dropped) and a backslash escapes a following backslash or quote.
QX_API Error splitWithQuotesAndBackslash(const qxString::CString& s,
                                         qx::vector<qxString::CString>& out);

// Every element in order with nothing between them.
QX_API qxString::CString join(const qx::vector<qxString::CString>& v);
QX_API qxString::IString join(const qx::vector<qxString::IString>& v);

// Each distinct text of v once, sorted byte-wise ascending.
QX_API qx::vector<qxString::CString> removeDuplicated(const qx::vector<qxString::CString>& v);

// s with every backslash doubled.
QX_API qxString::IString rebackslash(const qxString::IString& s);
// s with a backslash put before every backslash, '{' and '}'.
QX_API qxString::IString escapeMarkupText(const qxString::IString& s);

// Uniformly distributed in [0, max] / between lo and hi, both ends
// included, from 31 bits of the system's secure random source. Any thread.
QX_API double random(double max);
QX_API double random(double lo, double hi);

}  // namespace qxUtil

#endif
