#include "qxbase.h"

#include "locale_guard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>

namespace {

using qx::WChar;
using qxString::CString;
using qxString::IString;
constexpr unsigned npos = CString::npos;

// Formats into a roomy buffer; "<-1>" for a failure, and a result that does
// not match the text written is reported too.
std::string f8(const char* fmt, ...) {
    char buf[512];
    va_list ap;
    va_start(ap, fmt);
    const int r = OL_vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (r < 0) return "<-1>";
    if (static_cast<size_t>(r) != std::strlen(buf)) return "<length mismatch>";
    return std::string(buf, static_cast<size_t>(r));
}

std::u16string fW(const WChar* fmt, ...) {
    WChar buf[512];
    va_list ap;
    va_start(ap, fmt);
    const int r = OL_vswprintf(buf, 512, fmt, ap);
    va_end(ap);
    if (r < 0) return u"<-1>";
    const std::u16string s(reinterpret_cast<const char16_t*>(buf));
    if (s.size() != static_cast<size_t>(r)) return u"<length mismatch>";
    return s;
}

std::u16string text(const IString& s) {
    return std::u16string(s.u16view());
}
std::u16string rewrite(const WChar* fmt) {
    WChar* p = OL_convert_string_format(fmt);
    if (!p) return u"<null>";
    std::u16string s(reinterpret_cast<const char16_t*>(p));
    std::free(p);
    return s;
}

template <class S, class F>
unsigned vformat(S& s, const F* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const unsigned r = s.vformat(fmt, ap);
    va_end(ap);
    return r;
}

struct Case8 {
    std::string got, want;
};
void check(const Case8* cases, size_t n) {
    for (size_t i = 0; i < n; ++i) EXPECT_EQ(cases[i].got, cases[i].want) << "case " << i;
}

TEST(Format, ResultLeavesASpareByteAndNeverWritesPastTheSize) {
    const struct {
        const char* out;
        size_t size;
        int want;
    } cases[] = {{"abcdef", 8, 6}, {"abcdefg", 8, -1}, {"abcdefgh", 8, -1},    {"", 1, -1},
                 {"", 2, 0},       {"a", 2, -1},       {"abcdefghijkl", 3, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.out << " into " << c.size);
        char buf[32];
        std::memset(buf, '#', sizeof buf);
        EXPECT_EQ(OL_snprintf(buf, c.size, "%s", c.out), c.want);
        for (size_t i = c.size; i < sizeof buf; ++i) EXPECT_EQ(buf[i], '#') << "byte " << i;
        // Cut or not, the text is NUL-terminated inside the buffer.
        const std::string cut = std::string(c.out).substr(0, c.size - 1);
        EXPECT_EQ(std::string(buf), cut);
        WChar wbuf[32];
        std::fill(wbuf, wbuf + 32, WChar('#'));
        EXPECT_EQ(OL_swprintf(wbuf, c.size, QX_W("%hs"), c.out), c.want);
        for (size_t i = c.size; i < 32; ++i) EXPECT_EQ(wbuf[i], WChar('#')) << "unit " << i;
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(wbuf)).size(), cut.size());
    }
    char g[4] = {'#', '#', '#', '#'};
    OL_snprintf(g, 0, "abc");
    EXPECT_EQ(std::string(g, 4), "####");
}

TEST(Format, IntegersWithFlagsWidthPrecisionAndLengthModifiers) {
    const std::string longOnes(sizeof(long) * 2, 'f');
    const Case8 cases[] = {
        {f8("%d|%i|%u", -42, 42, 42u), "-42|42|42"},
        {f8("%u", -1), "4294967295"},
        {f8("%o|%x|%X", 8, 0xabcdef, 0xabcdef), "10|abcdef|ABCDEF"},
        {f8("%+d|% d|%+d|% d", 5, 5, -5, -5), "+5| 5|-5|-5"},
        {f8("%05d|%-5d|%5d|", -42, 42, 42), "-0042|42   |   42|"},
        {f8("%#x|%#X|%#o|%#x|%#o", 255, 255, 8, 0, 0), "0xff|0XFF|010|0|0"},
        {f8("%.3d|%.0d|%08.3d|%-08d|", 7, 0, 7, 7), "007||     007|7       |"},
        {f8("%+.0d|%#.0o|%.0x", 0, 0, 0), "+|0|"},
        {f8("%*d|%*d|%-*d|", 5, 42, -5, 42, 4, 1), "   42|42   |1   |"},
        {f8("%.*d|%.*d|%*.*d", 3, 7, -3, 7, 6, 3, 7), "007|7|   007"},
        {f8("%.*x", -1, 0), "0"},
        {f8("%hhd|%hhu|%hhx|%hhd", 200, 511, 0x1ff, 127), "-56|255|ff|127"},
        {f8("%hd|%hu|%hx|%ho", 70000, -1, 0x12345, 0x10008), "4464|65535|2345|10"},
        {f8("%ld|%lu|%lx", -2000000000L, 4000000000UL, -1L), "-2000000000|4000000000|" + longOnes},
        {f8("%lld|%llu", LLONG_MIN, ULLONG_MAX), "-9223372036854775808|18446744073709551615"},
        {f8("%llx|%llX|%llo", ULLONG_MAX, 0xABCDEF0123456789ULL, ULLONG_MAX),
         "ffffffffffffffff|ABCDEF0123456789|1777777777777777777777"},
        {f8("%I64d|%I64u|%I64x", INT64_MIN, UINT64_MAX, INT64_MIN),
         "-9223372036854775808|18446744073709551615|8000000000000000"},
        {f8("%+I64d|%25I64d|%-22I64u|", INT64_MAX, INT64_MIN, UINT64_MAX),
         "+9223372036854775807|     -9223372036854775808|18446744073709551615  |"},
        {f8("%I32d|%I32u|%I32x", INT32_MIN, UINT32_MAX, -1), "-2147483648|4294967295|ffffffff"},
        {f8("%Id|%Iu|%IX", static_cast<ptrdiff_t>(-3), SIZE_MAX, SIZE_MAX),
         "-3|18446744073709551615|FFFFFFFFFFFFFFFF"},
        {f8("%zu|%zd|%zx", SIZE_MAX, static_cast<ptrdiff_t>(-1), static_cast<size_t>(255)),
         "18446744073709551615|-1|ff"},
        {f8("%jd|%ju", INTMAX_MIN, UINTMAX_MAX), "-9223372036854775808|18446744073709551615"},
        {f8("%td|%tx", PTRDIFF_MIN, static_cast<ptrdiff_t>(0x10)), "-9223372036854775808|10"},
        {f8("%p|%p", static_cast<void*>(nullptr), reinterpret_cast<void*>(0xDEADBEEFull)),
         "0000000000000000|00000000DEADBEEF"},
        {f8("100%%|%%d|%d%%", 5), "100%|%d|5%"},
    };
    check(cases, sizeof cases / sizeof *cases);
}

TEST(Format, TextAndCharactersInNarrowFormats) {
    const Case8 cases[] = {
        {f8("%s|%10s|%-5s|%.2s|%5.1s", "abc", "abc", "ab", "abc", "xyz"),
         "abc|       abc|ab   |ab|    x"},
        {f8("%S|%-6S|%.3S", QX_W("wide"), QX_W("wi"), QX_W("wider")), "wide|wi    |wid"},
        {f8("%hs|%ls|%ws", "n", QX_W("w"), QX_W("v")), "n|w|v"},
        {f8("%c|%C|%3c|%-3C|%hc|%lc", 'x', u'y', 'a', u'b', 'c', u'd'), "x|y|  a|b  |c|d"},
        {f8("%s|%S|%8s", static_cast<const char*>(nullptr), static_cast<const WChar*>(nullptr),
            static_cast<const char*>(nullptr)),
         "(null)|(null)|  (null)"},
        {f8("%*s|%-*s|%.*s", 4, "a", 3, "b", 2, "xyz"), "   a|b  |xy"},
    };
    check(cases, sizeof cases / sizeof *cases);
}

TEST(Format, WideFormatsReadSAsNarrowAfterTheRewrite) {
    const WChar* w = QX_W("w\u4E2D");  // wide to wide needs no conversion
    const char16_t* expectW = u"w\u4E2D";
    const struct {
        std::u16string got, want;
    } cases[] = {
        {fW(QX_W("%s|%S"), "ab", w), u"ab|" + std::u16string(expectW)},
        {fW(QX_W("%c%C"), 'x', u'y'), u"xy"},
        {fW(QX_W("%-4s|%5.2S|"), "ab", QX_W("wide")), u"ab  |   wi|"},
        {fW(QX_W("%05s"), "ab"), fW(QX_W("%05S"), QX_W("ab"))},
        // Conversions left alone by the rewrite keep the legacy wide meaning.
        {fW(QX_W("%ls|%hs|%lc|%hc"), w, "n", u'L', 'h'), std::u16string(expectW) + u"|n|L|h"},
        {fW(QX_W("%*s|%+s|%-*s|"), 3, QX_W("w"), QX_W("p"), 2, QX_W("q")), u"  w|p|q |"},
        {fW(QX_W("%s|%S"), static_cast<const char*>(nullptr), static_cast<const WChar*>(nullptr)),
         u"(null)|(null)"},
        {fW(QX_W("%d%%|%I64d|%.3f"), 7, INT64_MIN, 0.5), u"7%|-9223372036854775808|0.500"},
        {fW(QX_W("%q")), u"<-1>"},
        {fW(QX_W("abc%")), u"<-1>"},
    };
    for (size_t i = 0; i < sizeof cases / sizeof *cases; ++i)
        EXPECT_TRUE(cases[i].got == cases[i].want) << "case " << i;
}

TEST(Format, BadFormatsAndFailedConversionsGiveMinusOne) {
    int n = 0;
    const Case8 cases[] = {
        {f8("%q", 1), "<-1>"}, {f8("a%k", 1), "<-1>"},   {f8("abc%"), "<-1>"},
        {f8("%-5"), "<-1>"},   {f8("%.", 1), "<-1>"},    {f8("%ll"), "<-1>"},
        {f8("%I6"), "<-1>"},   {f8("x%ny", &n), "<-1>"}, {f8("%d %q", 1, 2), "<-1>"},
    };
    check(cases, sizeof cases / sizeof *cases);
    EXPECT_EQ(n, 0);

    const LocaleGuard locale({"C"});
    EXPECT_EQ(f8("%S", QX_W("a\u4E2Db")), "<-1>");
    EXPECT_EQ(f8("%ls", QX_W("\u4E2D")), "<-1>");
    EXPECT_EQ(f8("%C", static_cast<int>(0x4E2D)), "<-1>");
    EXPECT_EQ(f8("%S", QX_W("plain")), "plain");
    // With a precision only the characters written are converted.
    EXPECT_EQ(f8("%.1S|%.0S", QX_W("a\u4E2D"), QX_W("\u4E2D")), "a|");
    EXPECT_EQ(f8("%.2S", QX_W("a\u4E2D")), "<-1>");
    CString s("kept");
    EXPECT_EQ(s.format("%S", QX_W("\u4E2D")), npos);
    EXPECT_EQ(std::string(s.c_str()), "kept");
}

TEST(Format, ConvertStringFormatSwapsOnlySimpleTextConversions) {
    const struct {
        const WChar* in;
        const char16_t* want;
    } cases[] = {
        {QX_W("%s and %S"), u"%S and %s"},
        {QX_W("100%% %c"), u"100%% %C"},
        {QX_W("%-10.3s"), u"%-10.3S"},
        {QX_W("%05s"), u"%05S"},
        {QX_W("%C%c%.s%9S"), u"%c%C%.S%9s"},
        {QX_W("%ls"), u"%ls"},
        {QX_W("%*s"), u"%*s"},
        {QX_W("%+s"), u"%+s"},
        {QX_W("%hs %lc %I64s"), u"%hs %lc %I64s"},
        {QX_W("%--s %#c"), u"%--s %#c"},
        {QX_W("%d%s %%s"), u"%d%S %%s"},
        {QX_W("%5d%-3.1c"), u"%5d%-3.1C"},
        {QX_W("no percent"), u"no percent"},
        {QX_W(""), u""},
        {QX_W("%"), u"%"},
        {QX_W("%%%s"), u"%%%S"},
    };
    for (const auto& c : cases) EXPECT_EQ(rewrite(c.in), c.want);
}

TEST(Format, FloatingPointText) {
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case8 cases[] = {
        {f8("%f|%.0f|%.0f|%.0f|%.2f", 1.5, 0.5, 1.5, 2.5, 1.005), "1.500000|0|2|2|1.00"},
        {f8("%e|%E|%e|%.0e", 12345.678, 0.000123, 0.0, 5e-324),
         "1.234568e+04|1.230000E-04|0.000000e+00|5e-324"},
        {f8("%e|%.3e", 1e300, -1e-300), "1.000000e+300|-1.000e-300"},
        {f8("%g|%g|%g|%g|%G", 100000.0, 1000000.0, 0.0001, 0.00001, 1e-10),
         "100000|1e+06|0.0001|1e-05|1E-10"},
        {f8("%g|%#g|%#.0f|%#.0e|%g", 0.1, 1.0, 1.0, 2.0, 123456789.0),
         "0.1|1.00000|1.|2.e+00|1.23457e+08"},
        {f8("%.17g|%.20f", 0.1, 0.1), "0.10000000000000001|0.10000000000000000555"},
        {f8("%f", 1e20), "100000000000000000000.000000"},
        {f8("%.0f", 9007199254740993.0), "9007199254740992"},
        {f8("%g|%g", 2.2250738585072014e-308, 5e-324), "2.22507e-308|4.94066e-324"},
        {f8("%+.3e|%+f|% f", -0.0, 1.0, 1.0), "-0.000e+00|+1.000000| 1.000000"},
        {f8("%010.2f|%-10.1f|%+08.1f", -3.14159, 2.25, 2.25), "-000003.14|2.2       |+00002.2"},
        {f8("%.*f|%*.*f|%.*e", -1, 1.5, 8, 2, 3.14159, 2, 9.995), "1.500000|    3.14|9.99e+00"},
        {f8("%.3a|%.1a|%A", 1.0, 1.5, 0.5), "0x1.000p+0|0x1.8p+0|0X1P-1"},
        {f8("%a|%a", 1.0, -0.1), "0x1p+0|-0x1.999999999999ap-4"},
        {f8("%Lf|%Lg", 2.5L, 1e10L), "2.500000|1e+10"},
        {f8("%f|%F|%f|%e|%g", inf, inf, -inf, inf, -inf), "inf|INF|-inf|inf|-inf"},
        {f8("%f|%E|%G", nan, nan, nan), "nan|NAN|NAN"},
        {f8("%5f|%+f|%-5f|%05f", inf, inf, inf, inf), "  inf|+inf|inf  |  inf"},
    };
    check(cases, sizeof cases / sizeof *cases);
}

#ifndef _WIN32
// The engine's digits against the C runtime's, over random bit patterns.
TEST(Format, FloatingPointAgreesWithTheRuntime) {
    const char* formats[] = {"%.17g",  "%e",     "%f",    "%g", "%.0e", "%.3f",
                             "%#.10g", "%+.25e", "%.40f", "%a", "%.5a", "%G"};
    std::mt19937_64 rng(7);
    for (int i = 0; i < 3000; ++i) {
        uint64_t bits = rng();
        if (i % 3 == 1)
            bits = (bits & 0x800FFFFFFFFFFFFFull) | (uint64_t(0x3F0 + rng() % 32) << 52);
        double v;
        std::memcpy(&v, &bits, sizeof v);
        if (!std::isfinite(v)) continue;
        for (const char* f : formats) {
            char want[512];
            std::snprintf(want, sizeof want, f, v);
            EXPECT_EQ(f8(f, v), want) << f << " of bits " << std::hex << bits;
        }
    }
}
#endif

TEST(Format, DecimalTextOf64BitIntegers) {
    const struct {
        const char* in;
        long long want;
    } signedCases[] = {{" -42x", -42},
                       {"x", 0},
                       {"", 0},
                       {"\t\n +17", 17},
                       {"- 5", 0},
                       {"9223372036854775807", INT64_MAX},
                       {"-9223372036854775808", INT64_MIN},
                       {"9223372036854775808", INT64_MAX},
                       {"-99999999999999999999", INT64_MIN}};
    for (const auto& c : signedCases) EXPECT_EQ(asciiToInt64(c.in), c.want) << c.in;
    const struct {
        const char* in;
        unsigned long long want;
    } unsignedCases[] = {{"18446744073709551615", UINT64_MAX},
                         {"18446744073709551616", UINT64_MAX},
                         {"  007z", 7},
                         {"-1", UINT64_MAX},
                         {"x1", 0}};
    for (const auto& c : unsignedCases) EXPECT_EQ(asciiToUInt64(c.in), c.want) << c.in;

    char* a = int64ToAscii(INT64_MIN, 0);
    char* d = uint64ToAscii(UINT64_MAX, 0);
    EXPECT_STREQ(int64ToAscii(INT64_MAX, 1), "9223372036854775807");
    EXPECT_STREQ(int64ToAscii(0, 2), "0");
    EXPECT_STREQ(uint64ToAscii(42, 1), "42");
    EXPECT_STREQ(a, "-9223372036854775808");
    EXPECT_STREQ(d, "18446744073709551615");
    EXPECT_EQ(int64ToAscii(1, 3), nullptr);
    EXPECT_EQ(uint64ToAscii(1, -1), nullptr);
    EXPECT_EQ(int64ToAscii(-7, 0), a);  // same buffer, new text
    EXPECT_STREQ(a, "-7");
    EXPECT_STREQ(d, "18446744073709551615");
}

TEST(Format, UnitTestFlagOnlyEverGetsSet) {
    EXPECT_FALSE(isThisAUnitTest());
    setThisIsAUnitTest();
    EXPECT_TRUE(isThisAUnitTest());
    setThisIsAUnitTest();
    EXPECT_TRUE(isThisAUnitTest());
}

// What a format call returned, with the text it left.
template <class Text>
using Result = std::pair<unsigned, Text>;
Result<std::string> after(const CString& s, unsigned r) {
    return {r, std::string(s.c_str(), s.length())};
}
Result<std::u16string> after(const IString& s, unsigned r) {
    return {r, text(s)};
}

TEST(Format, CStringFormatGrowsUntilTheTextFits) {
    using R = Result<std::string>;
    CString s("old");
    // Around the first buffer of 256 and the next one of 1280.
    for (unsigned n :
         {1u, 253u, 254u, 255u, 256u, 257u, 1000u, 1277u, 1278u, 1279u, 1280u, 102400u}) {
        const std::string want(n, 'a' + n % 26);
        ASSERT_EQ(after(s, s.format("%s", want.c_str())), R(n, want));
    }
    EXPECT_EQ(after(s, s.format(1, "abc")), R(3, "abc"));
    EXPECT_EQ(after(s, s.format("%s", "")), R(npos, "abc"));  // failures leave the text
    EXPECT_EQ(after(s, s.format("")), R(npos, "abc"));
    EXPECT_EQ(after(s, s.format("%q")), R(npos, "abc"));

    const CString fmt("%s-%05d");
    EXPECT_EQ(after(s, s.format(&fmt, "id", 42)), R(8, "id-00042"));
    EXPECT_EQ(after(s, s.format(2, &fmt, "x", -1)), R(7, "x--0001"));
    s = "[%s]";
    EXPECT_EQ(after(s, s.format(&s, "self")), R(6, "[self]"));  // the format is the string itself
    EXPECT_EQ(after(s, vformat(s, "%d+%I64u", 1, UINT64_MAX)), R(22, "1+18446744073709551615"));
}

TEST(Format, IStringFormatInAllItsForms) {
    using R = Result<std::u16string>;
    IString s(QX_W("old"));
    EXPECT_EQ(std::string(s.asChar()), "old");
    EXPECT_EQ(after(s, s.format("%s=%S", "name", QX_W("value"))), R(10, u"name=value"));
    EXPECT_EQ(std::string(s.asChar()), "name=value");  // the 8-bit copy follows
    EXPECT_EQ(after(s, s.format(QX_W("%s=%S|%d"), "k", QX_W("\u4E2D"), 5)), R(5, u"k=\u4E2D|5"));
    EXPECT_EQ(after(s, s.format(1, QX_W("%c%C"), 'a', u'b')), R(2, u"ab"));
    EXPECT_EQ(after(s, s.format(QX_W(""))), R(npos, u"ab"));  // failures leave the text
    EXPECT_EQ(after(s, s.format("%s", "")), R(npos, u"ab"));
    EXPECT_EQ(after(s, s.format(QX_W("%q"))), R(npos, u"ab"));

    const std::u16string big(5000, u'\u00E9');
    EXPECT_TRUE(after(s, s.format(QX_W("%S"), reinterpret_cast<const WChar*>(big.c_str()))) ==
                R(5000, big));

    const IString fmt(QX_W("<%s:%S>"));
    EXPECT_EQ(after(s, s.format(&fmt, "a", QX_W("b"))), R(5, u"<a:b>"));
    EXPECT_EQ(after(s, s.format(3, &fmt, "c", QX_W("d"))), R(5, u"<c:d>"));
    EXPECT_EQ(after(s, s.format(2, "%s%S%d", "x", QX_W("y"), 1234)), R(6, u"xy1234"));
    EXPECT_EQ(after(s, vformat(s, QX_W("%S/%s"), QX_W("w"), "n")), R(3, u"w/n"));
    EXPECT_EQ(after(s, vformat(s, "%s/%S", "n", QX_W("w"))), R(3, u"n/w"));
    EXPECT_EQ(std::string(s.asChar()), "n/w");
}

enum Colour { Red, Green };
enum class Wide : long long { Value = -(1LL << 40) };
enum class Byte : unsigned char { Value = 200 };

// Every argument kind the checked front-ends accept, in one format; the text
// is the same through each of them and through the argument-list entry point
// they forward to.
#define EVERY_KIND_FORMAT "%d|%lld|%d|%c|%hd|%.1f|%.3Lf|%s|%S|%s|%p|%p|%s"
#define EVERY_KIND_ARGUMENTS                                                                 \
    Green, Wide::Value, true, 'x', static_cast<short>(-2), 2.5f, 0.125L, narrow, wide, none, \
        nullptr, static_cast<const void*>(nullptr), CString("obj").asChar()

TEST(Format, CheckedFrontEndsPassEveryArgumentKindOn) {
    const char narrow[] = "arr";
    const WChar wide[] = QX_W("wid");
    const char* none = nullptr;
    const std::string want =
        "1|-1099511627776|1|x|-2|2.5|0.125|arr|wid|(null)|0000000000000000|0000000000000000|obj";
    const std::u16string wantW(want.begin(), want.end());
    EXPECT_EQ(f8(EVERY_KIND_FORMAT, EVERY_KIND_ARGUMENTS), want);

    char buf[128];
    EXPECT_EQ(OL_snprintf(buf, sizeof buf, EVERY_KIND_FORMAT, EVERY_KIND_ARGUMENTS),
              static_cast<int>(want.size()));
    EXPECT_EQ(std::string(buf), want);
    EXPECT_GT(OL_snprintf(buf, sizeof buf, QX_FORMAT(EVERY_KIND_FORMAT), EVERY_KIND_ARGUMENTS), 0);
    EXPECT_EQ(std::string(buf), want);
    WChar wbuf[128];
    EXPECT_EQ(OL_swprintf(wbuf, 128, QX_W(EVERY_KIND_FORMAT), EVERY_KIND_ARGUMENTS),
              static_cast<int>(want.size()));
    EXPECT_TRUE(std::u16string(reinterpret_cast<const char16_t*>(wbuf)) == wantW);

    // A failed call would return npos and keep the text of the one before.
    const Result<std::string> wantC(static_cast<unsigned>(want.size()), want);
    CString c;
    const CString cFormat(EVERY_KIND_FORMAT);
    EXPECT_EQ(after(c, c.format(EVERY_KIND_FORMAT, EVERY_KIND_ARGUMENTS)), wantC);
    EXPECT_EQ(after(c, c.format(8, EVERY_KIND_FORMAT, EVERY_KIND_ARGUMENTS)), wantC);
    EXPECT_EQ(after(c, c.format(&cFormat, EVERY_KIND_ARGUMENTS)), wantC);
    EXPECT_EQ(after(c, c.format(1, &cFormat, EVERY_KIND_ARGUMENTS)), wantC);
    EXPECT_EQ(after(c, c.format(QX_FORMAT(EVERY_KIND_FORMAT), EVERY_KIND_ARGUMENTS)), wantC);

    const Result<std::u16string> wantI(static_cast<unsigned>(want.size()), wantW);
    IString w;
    const IString wFormat(QX_W(EVERY_KIND_FORMAT));
    EXPECT_TRUE(after(w, w.format(EVERY_KIND_FORMAT, EVERY_KIND_ARGUMENTS)) == wantI);
    EXPECT_TRUE(after(w, w.format(QX_W(EVERY_KIND_FORMAT), EVERY_KIND_ARGUMENTS)) == wantI);
    EXPECT_TRUE(after(w, w.format(8, QX_W(EVERY_KIND_FORMAT), EVERY_KIND_ARGUMENTS)) == wantI);
    EXPECT_TRUE(after(w, w.format(&wFormat, EVERY_KIND_ARGUMENTS)) == wantI);
    EXPECT_TRUE(after(w, w.format(1, &wFormat, EVERY_KIND_ARGUMENTS)) == wantI);
    EXPECT_TRUE(after(w, w.format(QX_FORMAT(QX_W(EVERY_KIND_FORMAT)), EVERY_KIND_ARGUMENTS)) ==
                wantI);
    EXPECT_TRUE(after(w, w.format(2, QX_FORMAT(EVERY_KIND_FORMAT), EVERY_KIND_ARGUMENTS)) == wantI);

    // A scoped enumeration travels as its integer, promoted like one: a
    // small one reads back whole where %d takes an int.
    EXPECT_EQ(after(c, c.format("%d|%u", Byte::Value, Byte::Value)),
              Result<std::string>(7, "200|200"));
}
#undef EVERY_KIND_FORMAT
#undef EVERY_KIND_ARGUMENTS

std::string spaces(size_t n) {
    return std::string(n, ' ');
}

// Wide text into 8-bit output under a multibyte locale: the precision counts
// bytes and a character that does not fit whole is left out. UTF-8 on Linux
// (characters of 1 to 4 bytes); under Wine the runtime has no UTF-8 locale,
// so code page 932 (1 and 2 bytes) stands in.
TEST(Format, PrecisionNeverCutsAMultibyteCharacter) {
#ifdef _WIN32
    LocaleGuard locale({".932"});
#else
    LocaleGuard locale({"en_US.UTF-8", "C.UTF-8", "C.utf8"});
#endif
    if (!locale.active()) GTEST_SKIP() << "no multibyte locale available";
#ifdef _WIN32
    const WChar* text = QX_W("a\uFF71\u3042\u4E2D");
    const std::string chars[] = {"a", "\xB1", "\x82\xA0", "\x92\x86"};  // 1, 1, 2, 2 bytes
    // Two characters of 2 bytes each, and the 8-bit text of the first.
    const WChar* two = QX_W("\u3042\u4E2D");
    const std::string first = chars[2], second = chars[3];
    const char* narrowFirst = "\x82\xA0";
#else
    const WChar* text = QX_W("a\u00E9\u4E2D\U0001F600");
    const std::string chars[] = {"a", "\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80"};  // 1-4 bytes
    // A 2- and a 3-byte character, and the 8-bit text of the first.
    const WChar* two = QX_W("\u00E9\u4E2D");
    const std::string first = chars[1], second = chars[2];
    const char* narrowFirst = "\xC3\xA9";
#endif
    // Every precision from 0 to past the end, inside each character too:
    // the whole characters that fit, and nothing of the next.
    size_t total = 0;
    for (const std::string& c : chars) total += c.size();
    for (size_t precision = 0; precision <= total + 1; ++precision) {
        std::string want;
        for (const std::string& c : chars) {
            if (want.size() + c.size() > precision) break;
            want += c;
        }
        const std::string fmt = "%." + std::to_string(precision) + "S";
        EXPECT_EQ(f8(fmt.c_str(), text), want) << precision;
        EXPECT_EQ(f8("%.*ls", static_cast<int>(precision), text), want) << precision;
    }

    // Widths count the bytes written; a character ignores the precision.
    const size_t n1 = first.size(), n2 = second.size(), n12 = n1 + n2;
    const Case8 padded[] = {
        {f8("[%-6.3S][%6.3S]", two, two),
         "[" + first + spaces(6 - n1) + "][" + spaces(6 - n1) + first + "]"},
        {f8("[%-8S][%8S]", two, two),
         "[" + first + second + spaces(8 - n12) + "][" + spaces(8 - n12) + first + second + "]"},
        {f8("[%-*.*S]", static_cast<int>(n12), static_cast<int>(n12), two),
         "[" + first + second + "]"},
        {f8("%C|%5C|%-5C|%.1C|%lc", two[1], two[1], two[1], two[1], two[1]),
         second + "|" + spaces(5 - n2) + second + "|" + second + spaces(5 - n2) + "|" + second +
             "|" + second},
    };
    check(padded, sizeof padded / sizeof *padded);

    CString s;
    EXPECT_EQ(after(s, s.format("%.3S|%-4.1S|", two, two)),
              Result<std::string>(static_cast<unsigned>(n1 + 6), first + "|    |"));
    EXPECT_EQ(after(s, s.format(1, "%.*S", static_cast<int>(n12 - 1), two)),
              Result<std::string>(static_cast<unsigned>(n1), first));
    // In wide output the precision counts wide units, not bytes.
    IString w;
    EXPECT_TRUE(after(w, w.format(QX_W("%.1s"), (std::string(narrowFirst) + "x").c_str())) ==
                Result<std::u16string>(1, std::u16string(1, static_cast<char16_t>(two[0]))));
}

// In wide output the precision counts UTF-16 units; a surrogate pair that
// does not fit whole is left out.
TEST(Format, PrecisionNeverHalvesASurrogatePair) {
    const WChar* pair = QX_W("\U0001F600z");
    const std::u16string face = u"\U0001F600";
    EXPECT_TRUE(fW(QX_W("[%.1S][%.2S][%.3S][%-3.1S][%3.1S]"), pair, pair, pair, pair, pair) ==
                u"[][" + face + u"][" + face + u"z][   ][   ]");
    IString s;
    EXPECT_TRUE(after(s, s.format(QX_W("%.1S|%.2S"), pair, pair)) ==
                Result<std::u16string>(3, u"|" + face));

    // 8-bit text widened to a pair; the runtime has no UTF-8 locale under Wine.
    LocaleGuard locale({"en_US.UTF-8", "C.UTF-8", "C.utf8"});
    if (!locale.active()) return;
    const char* utf8 = "\xF0\x9F\x98\x80z";
    EXPECT_TRUE(fW(QX_W("[%.1s][%.2s][%.3s]"), utf8, utf8, utf8) ==
                u"[][" + face + u"][" + face + u"z]");
    EXPECT_TRUE(after(s, s.format("%.1s|%.2s", utf8, utf8)) ==
                Result<std::u16string>(3, u"|" + face));
}

}  // namespace
