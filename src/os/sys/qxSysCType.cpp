// Character classification and case mapping through the C runtime. The
// runtime's interface is the same on every target, so both backends share
// this file; only the width of its wchar_t differs, and a 16-bit unit fits
// either.
#include "os/sys/qxSysText.h"

#include <cctype>
#include <cwctype>

namespace qx {
namespace sys {

namespace {

inline bool isSurrogate(WChar c) {
    return c >= 0xD800 && c <= 0xDFFF;
}

// The runtime's wint_t may be 16 or 32 bits; a result outside the 16-bit
// range keeps the character, so a one-unit character stays one unit.
inline WChar fitUnit(unsigned long mapped, WChar c) {
    return mapped > 0xFFFFul ? c : static_cast<WChar>(mapped);
}

}  // namespace

bool isCharClass(char c, CharClass k) {
    const int v = static_cast<unsigned char>(c);
    if (v >= 0x80) return false;
    switch (k) {
        case CharClass::Alnum:
            return std::isalnum(v) != 0;
        case CharClass::Alpha:
            return std::isalpha(v) != 0;
        case CharClass::Cntrl:
            return std::iscntrl(v) != 0;
        case CharClass::Digit:
            return std::isdigit(v) != 0;
        case CharClass::Graph:
            return std::isgraph(v) != 0;
        case CharClass::Lower:
            return std::islower(v) != 0;
        case CharClass::Print:
            return std::isprint(v) != 0;
        case CharClass::Punct:
            return std::ispunct(v) != 0;
        case CharClass::Space:
            return std::isspace(v) != 0;
        case CharClass::Upper:
            return std::isupper(v) != 0;
        case CharClass::XDigit:
            return std::isxdigit(v) != 0;
    }
    return false;
}

char charToLower(char c) {
    const int v = static_cast<unsigned char>(c);
    return v >= 0x80 ? c : static_cast<char>(std::tolower(v));
}

char charToUpper(char c) {
    const int v = static_cast<unsigned char>(c);
    return v >= 0x80 ? c : static_cast<char>(std::toupper(v));
}

bool isWideClass(WChar c, CharClass k) {
    if (isSurrogate(c)) return false;
    const std::wint_t v = static_cast<std::wint_t>(c);
    switch (k) {
        case CharClass::Alnum:
            return std::iswalnum(v) != 0;
        case CharClass::Alpha:
            return std::iswalpha(v) != 0;
        case CharClass::Cntrl:
            return std::iswcntrl(v) != 0;
        case CharClass::Digit:
            return std::iswdigit(v) != 0;
        case CharClass::Graph:
            return std::iswgraph(v) != 0;
        case CharClass::Lower:
            return std::iswlower(v) != 0;
        case CharClass::Print:
            return std::iswprint(v) != 0;
        case CharClass::Punct:
            return std::iswpunct(v) != 0;
        case CharClass::Space:
            return std::iswspace(v) != 0;
        case CharClass::Upper:
            return std::iswupper(v) != 0;
        case CharClass::XDigit:
            return std::iswxdigit(v) != 0;
    }
    return false;
}

WChar wideToLower(WChar c) {
    if (isSurrogate(c)) return c;
    return fitUnit(std::towlower(static_cast<std::wint_t>(c)), c);
}

WChar wideToUpper(WChar c) {
    if (isSurrogate(c)) return c;
    return fitUnit(std::towupper(static_cast<std::wint_t>(c)), c);
}

}  // namespace sys
}  // namespace qx
