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
#ifdef __cplusplus
#    include <type_traits>
#endif

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

#ifdef __cplusplus

// Checked front-ends. Beside each C-variadic formatting function of the
// library (the two above, the format members of the string types and of
// qxOS::OStream, AppOutput's printing members, qxUtil::Error's formatting
// constructors) stands a template that overload resolution prefers as soon
// as arguments follow the format. It refuses at compile time an argument that
// an argument list cannot carry to the engine: anything but an arithmetic
// value, an enumeration or a pointer -- so a CString, a std::string or any
// other object that was meant as its text. The other arguments reach the
// C-variadic form unchanged (an enumeration as its underlying integer), so
// the output is exactly the same. A call with no arguments after the format
// still goes to the C-variadic form directly, and va_list callers keep the
// v-forms.
//
// A format given as QX_FORMAT("literal") (or QX_FORMAT(QX_W("literal"))) is
// moreover checked conversion by conversion against the argument types at
// compile time, with the engine's own reading of it: %d %i %u %o %x %X take
// an integer or enumeration of the modifier's size (int without one or with
// h/hh, long with l, 64 bits with ll/L/I64/j, size_t with z/I/t), %c and %C
// an int-sized integer, %e %f %g %a (and capitals) a double or float (a long
// double with L), %p any pointer, a * width or precision an int, and text
// conversions const char* or const qx::WChar* (or char16_t*: UTF-16 on every
// target) as the conversion's letter and modifier say -- in the wide
// front-ends after the letter swap described above. A null pointer constant
// passes for text and %p. The compiler's own printf checking cannot do this:
// it reads %S as wchar_t text, which the library's wide unit is not on every
// target, and does not know I64.
namespace qx {
namespace format {

// What the engine will read an argument as.
struct ArgKind {
    enum Type : unsigned char {
        End,  // after the last argument
        Invalid,
        VaList,
        Integer,
        Floating,
        LongDouble,
        Text,
        WideText,
        Pointer,
        Null
    };
    Type type;
    unsigned char size;  // of an integer, after promotion
};

// The type a va_list arrives as when it is passed on: that of a va_list
// parameter, after adjustment.
template <class P>
P parameterType(void (*)(P));
void takesVaList(va_list);
using VaListArgument = decltype(parameterType(&takesVaList));

template <class T>
constexpr ArgKind argKind() {
    using D = std::remove_cv_t<std::remove_reference_t<T>>;
    using P = std::decay_t<T>;
    // Where va_list is not a plain char pointer it can be told apart: passing
    // one on is a call of the wrong form, never an argument.
    if constexpr (std::is_same<P, VaListArgument>::value && !std::is_same<P, char*>::value)
        return {ArgKind::VaList, 0};
    else if constexpr (std::is_array<D>::value &&
                       (std::is_class<std::remove_all_extents_t<D>>::value ||
                        std::is_union<std::remove_all_extents_t<D>>::value))
        return {ArgKind::Invalid, 0};
    else if constexpr (std::is_same<P, std::nullptr_t>::value)
        return {ArgKind::Null, 0};
    else if constexpr (std::is_pointer<P>::value) {
        using E = std::remove_cv_t<std::remove_pointer_t<P>>;
        if constexpr (std::is_same<E, char>::value)
            return {ArgKind::Text, 0};
        else if constexpr (std::is_same<E, WChar>::value || std::is_same<E, char16_t>::value)
            return {ArgKind::WideText, 0};  // UTF-16 either way, as IString's views
        else
            return {ArgKind::Pointer, 0};
    } else if constexpr (std::is_enum<D>::value) {
        using U = std::underlying_type_t<D>;
        return {ArgKind::Integer, static_cast<unsigned char>(sizeof(+U()))};
    } else if constexpr (std::is_integral<D>::value)
        return {ArgKind::Integer, static_cast<unsigned char>(sizeof(+D()))};
    else if constexpr (std::is_same<D, long double>::value)
        return {ArgKind::LongDouble, 0};
    else if constexpr (std::is_floating_point<D>::value)
        return {ArgKind::Floating, 0};
    else
        return {ArgKind::Invalid, 0};
}

// One argument on its way to an argument list: checked, then as the list
// would take it (arrays and functions decay, enumerations become their
// integer; the list's own promotions follow).
template <class T>
auto passArg(T&& v) {
    constexpr ArgKind::Type kind = argKind<T>().type;
    static_assert(kind != ArgKind::VaList,
                  "qxbase format: a va_list is no format argument; call the v-form "
                  "(vformat, printArg, OL_vsnprintf, ...) instead");
    static_assert(kind != ArgKind::Invalid,
                  "qxbase format: a format argument must be an arithmetic value, an enumeration "
                  "or a pointer; pass a string object's text (asChar(), asWChar(), c_str())");
    using P = std::decay_t<T>;
    if constexpr (kind == ArgKind::Invalid || kind == ArgKind::VaList) {
        (void)v;
        return 0;  // the assertion above is the one message
    } else if constexpr (std::is_enum<P>::value) {
        return static_cast<std::underlying_type_t<P>>(v);
    } else {
        return static_cast<P>(v);
    }
}

// Base of the types QX_FORMAT makes: one type per literal, whose static
// text() is a constant expression.
struct Literal {};

template <class D, bool = std::is_base_of<Literal, D>::value>
struct UnitOf {
    using type = std::remove_cv_t<std::remove_pointer_t<std::decay_t<D>>>;
};
template <class D>
struct UnitOf<D, true> {
    using type = std::remove_cv_t<std::remove_pointer_t<decltype(D::text())>>;
};
// The character (or string type) a format argument points at; a format must
// be a pointer, an array or a QX_FORMAT literal.
template <class F, class D = std::remove_cv_t<std::remove_reference_t<F>>>
using FormatUnit = std::conditional_t<std::is_pointer<D>::value || std::is_array<D>::value ||
                                          std::is_base_of<Literal, D>::value,
                                      typename UnitOf<D>::type, void>;
template <class F, class... Units>
inline constexpr bool isFormat = (std::is_same<FormatUnit<F>, Units>::value || ...);

// The format's text: the literal's, a string object's own (null for a null
// pointer), or the pointer itself.
template <class F>
auto formatText(const F& fmt) {
    using Unit = FormatUnit<F>;
    if constexpr (std::is_base_of<Literal, F>::value)
        return F::text();
    else if constexpr (std::is_class<Unit>::value)
        return fmt ? fmt->c_str() : nullptr;
    else
        return static_cast<const Unit*>(fmt);
}

enum class Mismatch : unsigned char {
    None,
    MissingArgument,
    ExtraArgument,
    BadConversion,
    NotAnInteger,
    IntegerSize,
    NotACharacter,
    NotADouble,
    NotALongDouble,
    NotText,
    NotWideText,
    NotAPointer,
    StarNotAnInt
};

// The first disagreement and the argument it concerns (from 1).
struct Verdict {
    Mismatch problem;
    unsigned argument;
};

// Whether the letter swap of a wide format applies to the conversion whose
// text starts at p (just after the '%').
template <class Ch>
constexpr bool swapsLetter(const Ch* p) {
    if (*p == '-') ++p;
    while (*p >= '0' && *p <= '9') ++p;
    if (*p == '.') ++p;
    while (*p >= '0' && *p <= '9') ++p;
    return *p == 's' || *p == 'S' || *p == 'c' || *p == 'C';
}

constexpr bool isIntSized(ArgKind k) {
    return k.type == ArgKind::Integer && k.size == sizeof(int);
}

// Reads a format as the engine does; rewritten for the wide front-ends,
// which swap the letters first. args ends with an End kind.
template <class Ch>
constexpr Verdict checkConversions(const Ch* p, bool rewritten, const ArgKind* args) {
    unsigned n = 0;
    while (*p) {
        if (*p++ != '%') continue;
        if (*p == '%') {
            ++p;
            continue;
        }
        const bool swaps = rewritten && swapsLetter(p);
        while (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '0') ++p;
        for (int part = 0; part < 2; ++part) {  // width, then precision
            if (part == 1) {
                if (*p != '.') break;
                ++p;
            }
            if (*p == '*') {
                ++p;
                if (args[n].type == ArgKind::End) return {Mismatch::MissingArgument, n + 1};
                if (!isIntSized(args[n])) return {Mismatch::StarNotAnInt, n + 1};
                ++n;
            } else {
                while (*p >= '0' && *p <= '9') ++p;
            }
        }
        size_t intSize = sizeof(int);
        bool narrowText = false, wideText = false, longDouble = false;
        switch (*p) {
            case 'h':
                narrowText = true;
                p += p[1] == 'h' ? 2 : 1;
                break;
            case 'l':
                if (p[1] == 'l') {
                    intSize = sizeof(long long);
                    p += 2;
                } else {
                    intSize = sizeof(long);
                    wideText = true;
                    ++p;
                }
                break;
            case 'L':
                intSize = sizeof(long long);
                longDouble = true;
                ++p;
                break;
            case 'I':
                if (p[1] == '3' && p[2] == '2') {
                    p += 3;
                } else if (p[1] == '6' && p[2] == '4') {
                    intSize = sizeof(long long);
                    p += 3;
                } else {
                    intSize = sizeof(size_t);
                    ++p;
                }
                break;
            case 'z':
            case 't':
                intSize = sizeof(size_t);
                ++p;
                break;
            case 'j':
                intSize = sizeof(long long);
                ++p;
                break;
            case 'w':
                wideText = true;
                ++p;
                break;
            default:
                break;
        }
        const Ch c = *p;
        if (!c) return {Mismatch::BadConversion, 0};
        ++p;
        const ArgKind a = args[n];
        const bool any = a.type != ArgKind::End;
        switch (c) {
            case 'd':
            case 'i':
            case 'u':
            case 'o':
            case 'x':
            case 'X':
                if (!any) return {Mismatch::MissingArgument, n + 1};
                if (a.type != ArgKind::Integer) return {Mismatch::NotAnInteger, n + 1};
                if (a.size != intSize) return {Mismatch::IntegerSize, n + 1};
                break;
            case 'c':
            case 'C':
                if (!any) return {Mismatch::MissingArgument, n + 1};
                if (!isIntSized(a)) return {Mismatch::NotACharacter, n + 1};
                break;
            case 's':
            case 'S': {
                if (!any) return {Mismatch::MissingArgument, n + 1};
                // The engine's rule: h and l/w decide; otherwise %s is the
                // format's own width, and a wide format has been rewritten.
                const Ch letter = swaps ? (c == 's' ? 'S' : 's') : c;
                const bool wide = narrowText  ? false
                                  : wideText  ? true
                                  : rewritten ? letter == 's'
                                              : letter == 'S';
                if (a.type != ArgKind::Null && a.type != (wide ? ArgKind::WideText : ArgKind::Text))
                    return {wide ? Mismatch::NotWideText : Mismatch::NotText, n + 1};
                break;
            }
            case 'p':
                if (!any) return {Mismatch::MissingArgument, n + 1};
                if (a.type != ArgKind::Pointer && a.type != ArgKind::Text &&
                    a.type != ArgKind::WideText && a.type != ArgKind::Null)
                    return {Mismatch::NotAPointer, n + 1};
                break;
            case 'e':
            case 'E':
            case 'f':
            case 'F':
            case 'g':
            case 'G':
            case 'a':
            case 'A':
                if (!any) return {Mismatch::MissingArgument, n + 1};
                if (longDouble && a.type != ArgKind::LongDouble)
                    return {Mismatch::NotALongDouble, n + 1};
                if (!longDouble && a.type != ArgKind::Floating)
                    return {Mismatch::NotADouble, n + 1};
                break;
            default:
                return {Mismatch::BadConversion, 0};  // unknown, %n, or a '%' after flags
        }
        ++n;
    }
    if (args[n].type != ArgKind::End) return {Mismatch::ExtraArgument, n + 1};
    return {Mismatch::None, 0};
}

// Instantiated with the verdict, so that the compiler's message names the
// argument concerned.
template <Mismatch M, unsigned Argument>
struct FormatCheck {
    static_assert(M != Mismatch::MissingArgument,
                  "qxbase format: the format has more conversions than arguments");
    static_assert(M != Mismatch::ExtraArgument,
                  "qxbase format: more arguments than the format's conversions");
    static_assert(M != Mismatch::BadConversion,
                  "qxbase format: unknown or incomplete conversion (the engine fails on it)");
    static_assert(M != Mismatch::NotAnInteger,
                  "qxbase format: %d %i %u %o %x %X take an integer or an enumeration");
    static_assert(M != Mismatch::IntegerSize,
                  "qxbase format: integer size does not match the length modifier (none, h, hh: "
                  "int; l: long; ll, L, I64, j: 64 bits; z, I, t: size_t)");
    static_assert(M != Mismatch::NotACharacter,
                  "qxbase format: %c and %C take an int-sized integer");
    static_assert(M != Mismatch::NotADouble,
                  "qxbase format: floating-point conversions take a double (or float)");
    static_assert(M != Mismatch::NotALongDouble,
                  "qxbase format: a conversion with L takes a long double");
    static_assert(M != Mismatch::NotText,
                  "qxbase format: this text conversion takes 8-bit text (const char*)");
    static_assert(M != Mismatch::NotWideText,
                  "qxbase format: this text conversion takes wide text (const qx::WChar*)");
    static_assert(M != Mismatch::NotAPointer, "qxbase format: %p takes a pointer");
    static_assert(M != Mismatch::StarNotAnInt,
                  "qxbase format: a * width or precision takes an int");
    static constexpr bool ok = true;
};

template <class... A>
inline constexpr ArgKind argKinds[] = {argKind<A>()..., ArgKind{ArgKind::End, 0}};

// The conversion check of a QX_FORMAT literal; nothing for other formats, or
// when an argument is refused anyway (passArg says why).
template <bool Rewritten, class F, class... A>
constexpr void checkLiteral() {
    using D = std::remove_cv_t<std::remove_reference_t<F>>;
    if constexpr (std::is_base_of<Literal, D>::value &&
                  ((argKind<A>().type > ArgKind::VaList) && ...)) {
        constexpr Verdict v = checkConversions(D::text(), Rewritten, argKinds<A...>);
        static_assert(FormatCheck<v.problem, v.argument>::ok);
    }
}

}  // namespace format
}  // namespace qx

// A format literal whose conversions are checked against the arguments:
// s.format(QX_FORMAT("%d items"), n). A type of its own carries the text.
#    define QX_FORMAT(literal)                                   \
        ([] {                                                    \
            struct QxFormatLiteral : ::qx::format::Literal {     \
                static constexpr auto text() { return literal; } \
            };                                                   \
            return QxFormatLiteral{};                            \
        }())

// The checked C++ forms of the C entry points.
template <class F, class... A, std::enable_if_t<qx::format::isFormat<F, char>, int> = 0>
inline int OL_snprintf(char* buf, size_t size, F&& fmt, A&&... args) {
    qx::format::checkLiteral<false, F, A...>();
    return static_cast<int (*)(char*, size_t, const char*, ...)>(OL_snprintf)(
        buf, size, qx::format::formatText(fmt), qx::format::passArg(std::forward<A>(args))...);
}

template <class F, class... A, std::enable_if_t<qx::format::isFormat<F, qx::WChar>, int> = 0>
inline int OL_swprintf(qx::WChar* buf, size_t size, F&& fmt, A&&... args) {
    qx::format::checkLiteral<true, F, A...>();
    return static_cast<int (*)(qx::WChar*, size_t, const qx::WChar*, ...)>(OL_swprintf)(
        buf, size, qx::format::formatText(fmt), qx::format::passArg(std::forward<A>(args))...);
}

#endif

#endif
