#include "qxbase.h"

#include "locale_guard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <initializer_list>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using qx::WChar;
using Units = std::vector<unsigned>;
using WString = std::basic_string<WChar>;
using Count = std::pair<unsigned, bool>;  // result and ok flag
using namespace qxString;

constexpr unsigned kNpos = 0xFFFFFFFFu;
constexpr unsigned kGuard = 8;
constexpr WChar kGuardUnit = 0xAAAA;
constexpr char kGuardByte = '\x5A';
constexpr unsigned R = 0xFFFD;

Units units(const WChar* p, size_t n) {
    return Units(p, p + n);
}
WString wide(const Units& u) {
    return WString(u.begin(), u.end());
}
std::string bytes(std::initializer_list<int> b) {
    return std::string(b.begin(), b.end());
}

// Straightforward encoders of one scalar value, for expected texts. (The
// codec is compared with a reference decoder on random input by its fuzz
// target.)
void appendUtf16(Units& out, unsigned cp) {
    if (cp < 0x10000) {
        out.push_back(cp);
    } else {
        out.push_back(0xD800 + ((cp - 0x10000) >> 10));
        out.push_back(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
}
void appendUtf8(std::string& out, unsigned cp) {
    const int more = cp < 0x80 ? 0 : cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
    const unsigned lead[] = {0, 0xC0, 0xE0, 0xF0};
    out += static_cast<char>(lead[more] | cp >> 6 * more);
    for (int k = more - 1; k >= 0; --k) out += static_cast<char>(0x80 | (cp >> 6 * k & 0x3F));
}
// A count without destination and its ok flag. The flag is preset both ways,
// so a path that forgets to set it shows.
template <class F>
Count counted(F call) {
    bool a = false, b = true;
    const unsigned n = call(&a);
    EXPECT_EQ(call(&b), n);
    EXPECT_EQ(a, b) << "ok flag left unset";
    return {n, a};
}
Count fromUtf8(const char* s, unsigned len, bool keepBOM = false) {
    return counted([&](bool* ok) { return UTF8toWCS(s, len, nullptr, 0, keepBOM, ok); });
}
Count toUtf8(const WChar* s, unsigned len) {
    return counted([&](bool* ok) { return WCStoUTF8(s, len, nullptr, 0, ok); });
}
Count fromMb(const char* s, unsigned len = kNpos) {
    return counted([&](bool* ok) { return MBStoWCS(s, len, nullptr, 0, ok); });
}
Count toMb(const WChar* s, unsigned len = kNpos) {
    return counted([&](bool* ok) { return WCStoMBS(s, len, nullptr, 0, ok); });
}

// Explicit-length conversions (mark kept) into a buffer of exactly the
// counted size, followed by guard cells.
Units decode(const std::string& in, bool* ok) {
    const unsigned len = static_cast<unsigned>(in.size());
    const Count c = fromUtf8(in.data(), len, true);
    EXPECT_EQ(UTF8toWCS(in.data(), len, nullptr, 0, true, nullptr), c.first);
    std::vector<WChar> buf(c.first + kGuard, kGuardUnit);
    EXPECT_EQ(UTF8toWCS(in.data(), len, buf.data(), c.first, true), c.first);
    EXPECT_EQ(units(buf.data() + c.first, kGuard), Units(kGuard, kGuardUnit));
    *ok = c.second;
    return units(buf.data(), c.first);
}
std::string encode(const WString& in, bool* ok) {
    const unsigned len = static_cast<unsigned>(in.size());
    const Count c = toUtf8(in.data(), len);
    std::string buf(c.first + kGuard, kGuardByte);
    EXPECT_EQ(WCStoUTF8(in.data(), len, &buf[0], c.first), c.first);
    EXPECT_EQ(buf.substr(c.first), std::string(kGuard, kGuardByte));
    *ok = c.second;
    return buf.substr(0, c.first);
}

TEST(Utf8Decode, EachMaximalInvalidSubpartBecomesOneReplacement) {
    const std::pair<std::string, Units> cases[] = {
        // Overlongs, surrogates and values above U+10FFFF: the second byte
        // is already out of range, so every byte stands alone.
        {bytes({0xC0, 0x80}), {R, R}},
        {bytes({0xE0, 0x9F, 0xBF}), {R, R, R}},
        {bytes({0xF0, 0x8F, 0xBF, 0xBF}), {R, R, R, R}},
        {bytes({0xED, 0xA0, 0x80}), {R, R, R}},
        {bytes({0xF4, 0x90, 0x80, 0x80}), {R, R, R, R}},
        {bytes({0xF5, 0x80, 0x80, 0x80}), {R, R, R, R}},
        {bytes({0xF8, 0x88, 0x80, 0x80, 0x80}), {R, R, R, R, R}},
        {bytes({0x80, 0xBF, 'A'}), {R, R, 'A'}},
        // Truncated sequences: the valid prefix is one subpart.
        {bytes({0xE4, 0xB8}), {R}},
        {bytes({0xF0, 0x9F, 0x98}), {R}},
        {bytes({0xE4, 0xB8, 'A'}), {R, 'A'}},
        {bytes({0xF0, 0x9F, 0x98, 0xE4, 0xB8, 0xAD}), {R, 0x4E2D}},
        {bytes({0xC3, 0xC3, 0xA9}), {R, 0xE9}},
        {bytes({'A', 0xFF, 'B'}), {'A', R, 'B'}},
        {bytes({0x61, 0xF1, 0x80, 0x80, 0xE1, 0x80, 0xC2, 0x62, 0x80, 0x63, 0x80, 0xBF, 0x64}),
         {0x61, R, R, R, 0x62, R, 0x63, R, R, 0x64}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.first));
        bool ok = false;
        EXPECT_EQ(decode(c.first, &ok), c.second);
        EXPECT_EQ(ok, std::count(c.second.begin(), c.second.end(), R) == 0);
    }
}

TEST(Utf8Codec, EveryScalarValueRoundTrips) {
    Units all;
    std::string expected;
    for (unsigned cp = 1; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) continue;
        appendUtf16(all, cp);
        appendUtf8(expected, cp);
    }
    bool ok = false;
    const std::string utf8 = encode(wide(all), &ok);
    EXPECT_TRUE(ok);
    ASSERT_TRUE(utf8 == expected);
    EXPECT_TRUE(decode(utf8, &ok) == all);
    EXPECT_TRUE(ok);
}

TEST(Utf8Encode, LoneSurrogatesBecomeReplacements) {
    const std::string fffd = bytes({0xEF, 0xBF, 0xBD});
    const WChar text[] = {0xD83D, 0xDE00, 'A', 0xDC00, 0xDE00, 0xD83D, 0};
    bool ok = false;
    EXPECT_EQ(encode(text, &ok), bytes({0xF0, 0x9F, 0x98, 0x80, 'A'}) + fffd + fffd + fffd);
    EXPECT_TRUE(ok);  // replaced, not reported
    // A length that cuts a pair leaves its first half alone.
    char out[4] = {};
    EXPECT_EQ(WCStoUTF8(text, 1, out, 3), 3u);
    EXPECT_EQ(std::string(out, 3), fffd);
}

// Too small a destination gives 0 and stays in bounds; the exact size takes
// the text, and with npos its NUL.
TEST(Utf8Codec, DestinationSizesAndTheNul) {
    const std::string text =
        std::string(20, 'x') + "\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80" + std::string(17, 'y');
    bool ok = false;
    const WString text16 = wide(decode(text, &ok));
    for (const bool npos : {false, true}) {
        SCOPED_TRACE(npos ? "npos" : "explicit length");
        const unsigned need = static_cast<unsigned>(text16.size()) + npos;
        const unsigned len = npos ? kNpos : static_cast<unsigned>(text.size());
        EXPECT_EQ(fromUtf8(text.c_str(), len), Count(need, true));
        for (unsigned size = 0; size <= need; ++size) {
            std::vector<WChar> buf(size + kGuard, kGuardUnit);
            EXPECT_EQ(UTF8toWCS(text.c_str(), len, buf.data(), size), size == need ? need : 0u);
            EXPECT_EQ(units(buf.data() + size, kGuard), Units(kGuard, kGuardUnit)) << size;
            EXPECT_TRUE(size < need || WString(buf.data(), size) == text16 + WString(npos, 0));
        }
        const unsigned needBytes = static_cast<unsigned>(text.size()) + npos;
        const unsigned len16 = npos ? kNpos : static_cast<unsigned>(text16.size());
        EXPECT_EQ(toUtf8(text16.c_str(), len16), Count(needBytes, true));
        for (unsigned size = 0; size <= needBytes; ++size) {
            std::string buf(size + kGuard, kGuardByte);
            EXPECT_EQ(WCStoUTF8(text16.c_str(), len16, &buf[0], size),
                      size == needBytes ? size : 0u);
            EXPECT_EQ(buf.substr(size), std::string(kGuard, kGuardByte)) << size;
            EXPECT_TRUE(size < needBytes || buf.substr(0, size) == text + std::string(npos, '\0'));
        }
    }
    // An explicit length carries embedded NULs; npos stops at the first.
    WChar w[3];
    EXPECT_EQ(UTF8toWCS("a\0b", 3, w, 3), 3u);
    EXPECT_EQ(units(w, 3), (Units{'a', 0, 'b'}));
    EXPECT_EQ(fromUtf8("a\0b", kNpos), Count(2, true));
}

TEST(Utf8Codec, NullEmptyAndMarkedInputs) {
    EXPECT_EQ(fromUtf8(nullptr, kNpos), Count(0, false));
    EXPECT_EQ(fromUtf8("", kNpos), Count(0, true));
    EXPECT_EQ(fromUtf8("abc", 0), Count(0, true));
    EXPECT_EQ(toUtf8(nullptr, kNpos), Count(0, false));
    EXPECT_EQ(toUtf8(QX_W(""), kNpos), Count(0, true));
    EXPECT_EQ(toUtf8(QX_W("abc"), 0), Count(0, true));

    const std::string markedText = bytes({0xEF, 0xBB, 0xBF, 'A'});
    const char* marked = markedText.c_str();
    for (int len : {4, 3, -1}) EXPECT_EQ(detectUTF8BOM(marked, len), 3) << len;
    for (const char* s : {marked, "A\xBB\xBF", "\xEF\xBB", static_cast<const char*>(nullptr)})
        EXPECT_EQ(detectUTF8BOM(s, s == marked ? 2 : -1), 0) << (s ? s : "null");

    EXPECT_EQ(fromUtf8(marked, 4), Count(1, true));
    EXPECT_EQ(fromUtf8(marked, 4, true), Count(2, true));
    EXPECT_EQ(fromUtf8(marked, kNpos), Count(2, true));
    EXPECT_EQ(fromUtf8(marked, kNpos, true), Count(3, true));
    EXPECT_EQ(fromUtf8(marked, 3), Count(0, false));  // nothing after the mark
    EXPECT_EQ(fromUtf8(marked, 2), Count(1, false));  // too short for a mark: truncated
    WChar w[4];
    EXPECT_EQ(UTF8toWCS(marked, 4, w, 4, true), 2u);
    EXPECT_EQ(units(w, 2), (Units{0xFEFF, 'A'}));
    EXPECT_EQ(UTF8toWCS("A\xEF\xBB\xBF", 4, w, 4), 2u);  // only a leading mark is skipped
    EXPECT_EQ(units(w, 2), (Units{'A', 0xFEFF}));
}

TEST(LocaleConversion, LengthsAndDestinationSizes) {
    LocaleGuard locale({"C"});
    EXPECT_EQ(getDefaultMBChar(), '?');
    EXPECT_EQ(unsigned(getDefaultWChar()), unsigned('?'));
    EXPECT_EQ(fromMb("abc"), Count(3, true));
    EXPECT_EQ(fromMb("abc", 2), Count(0, true));  // a length only vouches for the text
    EXPECT_EQ(fromMb("abc", 10), Count(3, true));
    EXPECT_EQ(toMb(QX_W("abc"), 2), Count(0, true));
    EXPECT_EQ(fromMb(nullptr), Count(0, true));
    EXPECT_EQ(toMb(nullptr), Count(0, true));
    EXPECT_EQ(fromMb(""), Count(0, true));

    WChar w[4 + kGuard];
    std::fill(std::begin(w), std::end(w), kGuardUnit);
    EXPECT_EQ(MBStoWCS("abc", kNpos, w, 3), 0u);  // no room for the NUL
    EXPECT_EQ(units(w, 4), Units(4, kGuardUnit));
    EXPECT_EQ(MBStoWCS("abc", 3, w, 4), 3u);
    EXPECT_EQ(units(w, 5), (Units{'a', 'b', 'c', 0, kGuardUnit}));
    char b[4 + kGuard];
    std::fill(std::begin(b), std::end(b), kGuardByte);
    EXPECT_EQ(WCStoMBS(QX_W("abc"), kNpos, b, 3), 0u);
    EXPECT_EQ(std::string(b, 4), std::string(4, kGuardByte));
    EXPECT_EQ(WCStoMBS(QX_W("abc"), 3, b, 4), 3u);
    EXPECT_EQ(std::string(b, 5), std::string("abc\0", 4) + kGuardByte);

    std::fill(std::begin(w), std::end(w), kGuardUnit);
    EXPECT_EQ(getMultiByteStringSize(nullptr, "abc", 0), 3u);
    EXPECT_EQ(getMultiByteStringSize(w, "abc", 2), 2u);
    EXPECT_EQ(units(w, 3), (Units{'a', 'b', kGuardUnit}));
}

TEST(LocaleConversion, NonAsciiInTheCLocale) {
    LocaleGuard locale({"C"});
    const char* latin = "a\351b";  // 'a', the byte 0xE9, 'b'
    WChar w[4];
    char b[4];
    bool ok = true;
#ifdef _WIN32
    // The Windows runtime's "C" locale maps each byte to the same code point.
    EXPECT_EQ(fromMb(latin), Count(3, true));
    EXPECT_EQ(MBStoWCS(latin, kNpos, w, 4), 3u);
    EXPECT_EQ(units(w, 4), (Units{'a', 0xE9, 'b', 0}));
    EXPECT_EQ(getMultiByteStringSize(nullptr, "\xE9\x80", 0), 2u);
    EXPECT_EQ(toMb(QX_W("a\u00E9b")), Count(3, true));
    EXPECT_EQ(WCStoMBS(QX_W("a\u00E9b"), kNpos, b, 4), 3u);
    EXPECT_EQ(std::string(b), latin);
#else
    // glibc's "C" locale is ASCII: every byte from 0x80 up is rejected.
    EXPECT_EQ(fromMb(latin), Count(3, false));
    EXPECT_EQ(MBStoWCS(latin, kNpos, w, 4, &ok), 3u);
    EXPECT_EQ(units(w, 4), (Units{'a', '?', 'b', 0}));
    EXPECT_FALSE(ok);
    EXPECT_EQ(MBStoWCS(latin, kNpos, w, 3), 0u);
    EXPECT_EQ(getMultiByteStringSize(nullptr, "\xE9\x80", 0), kNpos);
    EXPECT_EQ(toMb(QX_W("a\u00E9b")), Count(3, false));
#endif
    // Neither runtime narrows U+4E2D: one byte per unit, '?' in its place.
    EXPECT_EQ(toMb(QX_W("a\u4E2Db")), Count(3, false));
    ok = true;
    EXPECT_EQ(WCStoMBS(QX_W("a\u4E2Db"), kNpos, b, 4, &ok), 3u);
    EXPECT_EQ(std::string(b), "a?b");
    EXPECT_FALSE(ok);
}

TEST(LocaleConversion, MultibyteLocale) {
    LocaleGuard locale({"C.UTF-8", "C.utf8", "en_US.UTF-8", ".932"});
    if (!locale.active()) GTEST_SKIP() << "no multibyte locale available";
#ifdef _WIN32
    const std::string text = "a\x82\xA0";  // U+3042 in code page 932
    const Units text16 = {'a', 0x3042};
    const WString lossy = QX_W("a\u3042\u0E01");  // no Thai in code page 932
#else
    const std::string text = "a\xE4\xB8\xAD\xF0\x9F\x98\x80";
    const Units text16 = {'a', 0x4E2D, 0xD83D, 0xDE00};
    const WString lossy = WString(QX_W("a\u4E2D")) + WChar(0xD800);
#endif
    const unsigned n = static_cast<unsigned>(text16.size());
    WChar w[8];
    char b[16];
    EXPECT_EQ(fromMb(text.c_str()), Count(n, true));
    EXPECT_EQ(MBStoWCS(text.c_str(), kNpos, w, n), 0u);
    EXPECT_EQ(MBStoWCS(text.c_str(), kNpos, w, n + 1), n);
    EXPECT_EQ(units(w, n), text16);
    EXPECT_EQ(toMb(wide(text16).c_str()), Count(text.size(), true));
    EXPECT_EQ(WCStoMBS(wide(text16).c_str(), kNpos, b, sizeof b), text.size());
    EXPECT_EQ(std::string(b), text);
#ifndef _WIN32
    // Rejected bytes become '?' one at a time, never a whole sequence.
    EXPECT_EQ(fromMb("\xE4\xB8x\xFF"), Count(4, false));
    EXPECT_EQ(MBStoWCS("\xE4\xB8x\xFF", kNpos, w, 8), 4u);
    EXPECT_EQ(units(w, 5), (Units{'?', '?', 'x', '?', 0}));
#endif
    // Once one character cannot be narrowed, every character that takes
    // more than one byte is replaced as well.
    EXPECT_EQ(toMb(lossy.c_str()), Count(3, false));
    EXPECT_EQ(WCStoMBS(lossy.c_str(), kNpos, b, sizeof b), 3u);
    EXPECT_EQ(std::string(b), "a??");
}

TEST(CharClasses, EightBitForms) {
    LocaleGuard locale({"C"});
    // Class sizes in the "C" locale; the wide forms agree on ASCII, and no
    // byte from 0x80 up is in any class.
    struct Class {
        const char* name;
        bool (*narrow)(char);
        bool (*wide)(WChar);
        int size;
    };
    const Class classes[] = {
        {"alnum", isAlnum, isAlnum, 62},    {"alpha", isAlpha, isAlpha, 52},
        {"cntrl", isCntrl, isCntrl, 33},    {"digit", isDigit, isDigit, 10},
        {"graph", isGraph, isGraph, 94},    {"lower", isLower, isLower, 26},
        {"print", isPrint, isPrint, 95},    {"punct", isPunct, isPunct, 32},
        {"space", isSpace, isSpace, 6},     {"upper", isUpper, isUpper, 26},
        {"xdigit", isXDigit, isXDigit, 22}, {"newline", isNewLine, isNewLine, 2},
        {"tab", isTab, isTab, 1},           {"ascii", isAscii, isAscii, 128},
    };
    for (const Class& k : classes) {
        int size = 0;
        for (int c = 0; c < 256; ++c) {
            const bool in = k.narrow(static_cast<char>(c));
            if (c < 0x80)
                EXPECT_EQ(k.wide(static_cast<WChar>(c)), in) << k.name << " " << c;
            else
                EXPECT_FALSE(in) << k.name << " " << c;
            size += in;
        }
        EXPECT_EQ(size, k.size) << k.name;
    }
    EXPECT_TRUE(isNewLine('\n') && isNewLine('\r') && !isNewLine('\v'));
    EXPECT_FALSE(isPrint(WChar('\t')));  // the Windows runtime calls the tab printable
    for (int c = 0; c < 256; ++c) {
        const char ch = static_cast<char>(c);
        const bool letter = (c | 0x20) >= 'a' && (c | 0x20) <= 'z';
        EXPECT_EQ(toUpper(ch), letter ? static_cast<char>(c & ~0x20) : ch) << c;
        EXPECT_EQ(toLower(ch), letter ? static_cast<char>(c | 0x20) : ch) << c;
        EXPECT_FALSE(isLetterModifier(ch));
    }
    EXPECT_TRUE(isAscii(static_cast<const char*>(nullptr)) && isAscii("") && isAscii("ok \x7F"));
    EXPECT_FALSE(isAscii("caf\xC3\xA9"));
}

TEST(CharClasses, LetterLikeSymbolsCountAsLetters) {
    unsigned count = 0, first = 0, last = 0;
    for (unsigned c = 0; c <= 0xFFFF; ++c)
        if (isLetterModifier(static_cast<WChar>(c))) {
            if (!count++) first = c;
            last = c;
        }
    EXPECT_EQ(count, 178u);
    EXPECT_EQ(first, 0x2103u);
    EXPECT_EQ(last, 0xFFE5u);
    for (unsigned c : {0x2190, 0x2193, 0x2460, 0x2473, 0x2605, 0x3005, 0x33CD, 0xFF04, 0xFFE0})
        EXPECT_TRUE(isLetterModifier(static_cast<WChar>(c))) << std::hex << c;
    for (unsigned c : {0x2102, 0x2104, 0x218F, 0x2194, 0x2474, 0x2604, 0x33CE, 0xFF05, 0xFFE6})
        EXPECT_FALSE(isLetterModifier(static_cast<WChar>(c))) << std::hex << c;

    // Whatever the runtime makes of them (glibc calls U+2605 and U+FF04
    // punctuation in a UTF-8 locale), they are letters here.
    for (const char* name : {"C", "C.UTF-8"}) {
        LocaleGuard locale({name});
        for (unsigned c = 0x2100; locale.active() && c <= 0xFFFF; ++c) {
            const WChar w = static_cast<WChar>(c);
            if (!isLetterModifier(w)) continue;
            EXPECT_TRUE(isAlpha(w) && isAlnum(w) && isGraph(w) && isPrint(w))
                << name << " " << std::hex << c;
            EXPECT_FALSE(isPunct(w)) << name << " " << std::hex << c;
        }
    }
}

TEST(CharClasses, WideFormsFollowTheLocale) {
    LocaleGuard locale({"C.UTF-8", "C.utf8", "en_US.UTF-8", ".1252"});
    if (!locale.active()) GTEST_SKIP() << "no locale with Latin letters available";
    EXPECT_TRUE(isAlpha(WChar(0xE9)) && isLower(WChar(0xE9)));
    EXPECT_TRUE(isUpper(WChar(0x3A3)));
    EXPECT_TRUE(isSpace(WChar(0x3000)));
    EXPECT_EQ(unsigned(toUpper(WChar(0xE9))), 0xC9u);
    EXPECT_EQ(unsigned(toLower(WChar(0xC9))), 0xE9u);
    EXPECT_EQ(unsigned(toLower(WChar(0x3A3))), 0x3C3u);
    EXPECT_FALSE(isAlpha(WChar(0xD800)));  // half a character is in no class
    EXPECT_EQ(unsigned(toUpper(WChar(0xDC00))), 0xDC00u);
    // The 8-bit forms never see such letters.
    EXPECT_FALSE(isAlpha('\xE9'));
    EXPECT_EQ(toUpper('\xE9'), '\xE9');
}

}  // namespace
