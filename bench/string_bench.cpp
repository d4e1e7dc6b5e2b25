// Text: the UTF-8 codec, IString's cached 8-bit copy and CString, each next
// to what it is measured against:
//
//     utf8_to_utf16[_ok]/<ascii|mixed>/<qx|icu>/<UTF-8 bytes>
//     utf16_to_utf8[_ok]/<ascii|mixed>/<qx|icu>/<UTF-8 bytes>
//         UTF8toWCS / WCStoUTF8 against ICU's u_strFromUTF8 / u_strToUTF8
//         (when ICU is available); the _ok forms pass a status flag to ours
//     as_char/ascii/<cached|convert>/<units>, as_utf8/mixed/<cached|convert>/<UTF-8 bytes>
//         IString::asChar() / asUTF8() on an unchanged string against the
//         same call after the cached copy was invalidated
//     append_*, compare/*, equal_op/*, construct/* .../<qx|std>/<n>
//         CString against std::string
//
// ratios.py pairs qx with icu or std, and cached with convert.

#include "string/qxEncoding.h"
#include "string/qxString.h"

#include "bench_register.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#if defined(QXBASE_BENCH_HAVE_ICU)
#    include <unicode/ustring.h>
#    include <unicode/utypes.h>
#endif

namespace {

using qx::WChar;

// --- texts ------------------------------------------------------------------

// English prose: the ASCII text.
const char kAscii[] =
    "The build on the Linux runners passed; the Windows job is still pending, see log 4521. "
    "Meeting notes: the review moved to Thursday, 3 pm, room B. Please read section 2 "
    "before then and add your comments to the shared document. ";

// Messages of an international team: mostly ASCII, with Latin accented
// letters, Cyrillic, CJK and emoji. The first line holds every kind, so the
// shortest text mixes them too. Half of the bytes, 70% of the characters,
// are ASCII.
const char kMixed[] =
    "Re: Zürich 🙂 Привет, 東京! "
    "Meeting notes, 3 März: Renée and François reviewed the café budget (12,50 €) and the "
    "naïve façade plan. "
    "Алексей: отчёт готов, смотрите раздел 2. "
    "The build on the Linux runners passed; Windows is still pending, see log 4521. "
    "会議は木曜日の午後三時からです。资料已经上传到共享目录。 "
    "Thanks everyone 👍🎉 next review on Monday. "
    "Dziękuję, Łukasz; the Ångström units are fine. "
    "Ошибка в модуле экспорта исправлена. Ship it! ✅ "
    "서울 팀도 확인했습니다. ";

enum class Kind { Ascii, Mixed };

// About n bytes of UTF-8: the sample repeated, cut back to a character
// boundary.
std::string makeUtf8(Kind kind, size_t n) {
    const std::string sample = kind == Kind::Ascii ? kAscii : kMixed;
    std::string s;
    while (s.size() < n) s += sample;
    size_t cut = n;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
    s.resize(cut);
    return s;
}

struct Text {
    std::string utf8;
    std::vector<WChar> utf16;
};

// Built once per kind and size; the UTF-16 form comes from our decoder and,
// when ICU is there, is checked against it before anything is timed.
const Text& text(Kind kind, size_t n) {
    static std::map<std::pair<Kind, size_t>, Text> cache;
    Text& t = cache[{kind, n}];
    if (t.utf8.empty()) {
        t.utf8 = makeUtf8(kind, n);
        const unsigned len = static_cast<unsigned>(t.utf8.size());
        t.utf16.resize(len);
        const unsigned units = qxString::UTF8toWCS(t.utf8.data(), len, t.utf16.data(), len);
        t.utf16.resize(units);
    }
    return t;
}

size_t sizeOf(const benchmark::State& state) {
    return static_cast<size_t>(state.range(0));
}

// --- UTF-8 <-> UTF-16 ---------------------------------------------------------
// Each converter returns the length written, 0 on failure. The destination
// has the same room on every side (and one more than needed: ICU adds a NUL
// where it fits).

struct QxToUtf16 {
    static unsigned run(const char* s, unsigned n, WChar* d, unsigned cap) {
        return qxString::UTF8toWCS(s, n, d, cap);
    }
};
struct QxToUtf16Ok {
    static unsigned run(const char* s, unsigned n, WChar* d, unsigned cap) {
        bool ok = false;
        const unsigned r = qxString::UTF8toWCS(s, n, d, cap, false, &ok);
        return ok ? r : 0;
    }
};
struct QxToUtf8 {
    static unsigned run(const WChar* s, unsigned n, char* d, unsigned cap) {
        return qxString::WCStoUTF8(s, n, d, cap);
    }
};
struct QxToUtf8Ok {
    static unsigned run(const WChar* s, unsigned n, char* d, unsigned cap) {
        bool ok = false;
        const unsigned r = qxString::WCStoUTF8(s, n, d, cap, &ok);
        return ok ? r : 0;
    }
};

#if defined(QXBASE_BENCH_HAVE_ICU)
static_assert(sizeof(UChar) == sizeof(WChar), "ICU's UChar is a 16-bit unit");

struct IcuToUtf16 {
    static unsigned run(const char* s, unsigned n, WChar* d, unsigned cap) {
        UErrorCode status = U_ZERO_ERROR;
        int32_t len = 0;
        u_strFromUTF8(reinterpret_cast<UChar*>(d), static_cast<int32_t>(cap), &len, s,
                      static_cast<int32_t>(n), &status);
        return U_SUCCESS(status) ? static_cast<unsigned>(len) : 0;
    }
};
struct IcuToUtf8 {
    static unsigned run(const WChar* s, unsigned n, char* d, unsigned cap) {
        UErrorCode status = U_ZERO_ERROR;
        int32_t len = 0;
        u_strToUTF8(d, static_cast<int32_t>(cap), &len, reinterpret_cast<const UChar*>(s),
                    static_cast<int32_t>(n), &status);
        return U_SUCCESS(status) ? static_cast<unsigned>(len) : 0;
    }
};
#endif

// One conversion of the whole text per iteration. Throughput is counted in
// UTF-8 bytes both ways, so the two directions read alike.
template <class C, Kind K>
void toUtf16(benchmark::State& state) {
    const Text& t = text(K, sizeOf(state));
    const unsigned n = static_cast<unsigned>(t.utf8.size());
    std::vector<WChar> out(t.utf16.size() + 1);
    const unsigned cap = static_cast<unsigned>(out.size());
    if (C::run(t.utf8.data(), n, out.data(), cap) != t.utf16.size() ||
        std::memcmp(out.data(), t.utf16.data(), t.utf16.size() * sizeof(WChar)) != 0) {
        state.SkipWithError("wrong conversion");
        return;
    }
    const char* src = t.utf8.data();
    WChar* dst = out.data();
    for (auto _ : state) {
        benchmark::DoNotOptimize(src);
        benchmark::DoNotOptimize(dst);
        unsigned r = C::run(src, n, dst, cap);
        benchmark::DoNotOptimize(r);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(n));
}

template <class C, Kind K>
void toUtf8(benchmark::State& state) {
    const Text& t = text(K, sizeOf(state));
    const unsigned n = static_cast<unsigned>(t.utf16.size());
    std::vector<char> out(3 * t.utf16.size() + 1);
    const unsigned cap = static_cast<unsigned>(out.size());
    if (C::run(t.utf16.data(), n, out.data(), cap) != t.utf8.size() ||
        std::memcmp(out.data(), t.utf8.data(), t.utf8.size()) != 0) {
        state.SkipWithError("wrong conversion");
        return;
    }
    const WChar* src = t.utf16.data();
    char* dst = out.data();
    for (auto _ : state) {
        benchmark::DoNotOptimize(src);
        benchmark::DoNotOptimize(dst);
        unsigned r = C::run(src, n, dst, cap);
        benchmark::DoNotOptimize(r);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(t.utf8.size()));
}

// --- IString's cached 8-bit copy ------------------------------------------------

struct AsChar {
    static const char* get(const qxString::IString& s) { return s.asChar(); }
};
struct AsUtf8 {
    static const char* get(const qxString::IString& s) { return s.asUTF8(); }
};

qxString::IString istring(const Text& t) {
    return qxString::IString(std::basic_string_view<WChar>(t.utf16.data(), t.utf16.size()));
}

// The call on a string that has not changed since the last one.
template <class A, Kind K>
void cachedCopy(benchmark::State& state) {
    const qxString::IString s = istring(text(K, sizeOf(state)));
    A::get(s);
    for (auto _ : state) {
        benchmark::DoNotOptimize(&s);
        const char* p = A::get(s);
        benchmark::DoNotOptimize(p);
    }
}

// The same call after the copy was invalidated: two swaps with an empty
// string (a few instructions) leave the text as it was and the copy stale,
// so every call converts.
template <class A, Kind K>
void convertedCopy(benchmark::State& state) {
    qxString::IString s = istring(text(K, sizeOf(state)));
    qxString::IString other;
    for (auto _ : state) {
        s.swap(other);
        s.swap(other);
        benchmark::DoNotOptimize(&s);
        const char* p = A::get(s);
        benchmark::DoNotOptimize(p);
    }
}

// --- CString against std::string -----------------------------------------------
// Templates over the string type, so both sides run the same code.

using QxStr = qxString::CString;
using StdStr = std::string;

// n appends of an 8-byte literal to an empty string, growth and destruction
// included.
template <class S>
void appendLiteral(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        S s;
        for (int i = 0; i < n; ++i) s.append("abcdefgh");
        benchmark::DoNotOptimize(s.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// The same with an 8-byte string object.
template <class S>
void appendString(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const S piece("abcdefgh");
    for (auto _ : state) {
        S s;
        for (int i = 0; i < n; ++i) s.append(piece);
        benchmark::DoNotOptimize(s.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// n single characters with +=.
template <class S>
void appendChar(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    for (auto _ : state) {
        S s;
        for (int i = 0; i < n; ++i) s += static_cast<char>('a' + (i & 15));
        benchmark::DoNotOptimize(s.data());
    }
    state.SetItemsProcessed(state.iterations() * n);
}

// Two strings of n bytes in separate blocks; "differ" changes the last
// byte, so both sides read the whole text.
template <class S>
std::pair<S, S> comparands(size_t n, bool differ) {
    const std::string base = makeUtf8(Kind::Ascii, n);
    std::string other = base;
    if (differ) other.back() ^= 1;
    return {S(base.c_str()), S(other.c_str())};
}

template <class S, bool kDiffer>
void compareOp(benchmark::State& state) {
    const auto ab = comparands<S>(sizeOf(state), kDiffer);
    const S& a = ab.first;
    const S& b = ab.second;
    for (auto _ : state) {
        benchmark::DoNotOptimize(&a);
        benchmark::DoNotOptimize(&b);
        int r = a.compare(b);
        benchmark::DoNotOptimize(r);
    }
}

template <class S, bool kDiffer>
void equalOp(benchmark::State& state) {
    const auto ab = comparands<S>(sizeOf(state), kDiffer);
    const S& a = ab.first;
    const S& b = ab.second;
    for (auto _ : state) {
        benchmark::DoNotOptimize(&a);
        benchmark::DoNotOptimize(&b);
        bool r = a == b;
        benchmark::DoNotOptimize(r);
    }
}

// Construction from an n-byte C string (length not known at compile time)
// and destruction.
template <class S>
void constructShort(benchmark::State& state) {
    const std::string t = makeUtf8(Kind::Ascii, sizeOf(state));
    const char* p = t.c_str();
    for (auto _ : state) {
        benchmark::DoNotOptimize(p);
        S s(p);
        benchmark::DoNotOptimize(s.data());
    }
}

// --- registration -------------------------------------------------------------------

using qxbench::Fn;
using qxbench::registerSides;

#if defined(QXBASE_BENCH_HAVE_ICU)
#    define QX_ICU(fn, conv, kind) &fn<conv, kind>
#else
#    define QX_ICU(fn, conv, kind) nullptr
#endif

template <Kind K>
void registerCodec(const char* kind) {
    const std::initializer_list<int> sizes = {64, 4096, 1024 * 1024};
    registerSides("utf8_to_utf16", kind,
                  {{"qx", &toUtf16<QxToUtf16, K>}, {"icu", QX_ICU(toUtf16, IcuToUtf16, K)}}, sizes);
    registerSides("utf8_to_utf16_ok", kind,
                  {{"qx", &toUtf16<QxToUtf16Ok, K>}, {"icu", QX_ICU(toUtf16, IcuToUtf16, K)}},
                  sizes);
    registerSides("utf16_to_utf8", kind,
                  {{"qx", &toUtf8<QxToUtf8, K>}, {"icu", QX_ICU(toUtf8, IcuToUtf8, K)}}, sizes);
    registerSides("utf16_to_utf8_ok", kind,
                  {{"qx", &toUtf8<QxToUtf8Ok, K>}, {"icu", QX_ICU(toUtf8, IcuToUtf8, K)}}, sizes);
}

const bool g_registered = [] {
    registerCodec<Kind::Ascii>("ascii");
    registerCodec<Kind::Mixed>("mixed");

    registerSides("as_char", "ascii",
                  {{"cached", &cachedCopy<AsChar, Kind::Ascii>},
                   {"convert", &convertedCopy<AsChar, Kind::Ascii>}},
                  {64, 4096});
    registerSides("as_utf8", "mixed",
                  {{"cached", &cachedCopy<AsUtf8, Kind::Mixed>},
                   {"convert", &convertedCopy<AsUtf8, Kind::Mixed>}},
                  {64, 4096});

    registerSides("append_literal", "8B",
                  {{"qx", &appendLiteral<QxStr>}, {"std", &appendLiteral<StdStr>}}, {1000});
    registerSides("append_string", "8B",
                  {{"qx", &appendString<QxStr>}, {"std", &appendString<StdStr>}}, {1000});
    registerSides("append_char", "char", {{"qx", &appendChar<QxStr>}, {"std", &appendChar<StdStr>}},
                  {1000});
    registerSides("compare", "equal",
                  {{"qx", &compareOp<QxStr, false>}, {"std", &compareOp<StdStr, false>}},
                  {16, 1024});
    registerSides("compare", "differ",
                  {{"qx", &compareOp<QxStr, true>}, {"std", &compareOp<StdStr, true>}}, {16, 1024});
    registerSides("equal_op", "equal",
                  {{"qx", &equalOp<QxStr, false>}, {"std", &equalOp<StdStr, false>}}, {16, 1024});
    registerSides("equal_op", "differ",
                  {{"qx", &equalOp<QxStr, true>}, {"std", &equalOp<StdStr, true>}}, {16, 1024});
    registerSides("construct", "short",
                  {{"qx", &constructShort<QxStr>}, {"std", &constructShort<StdStr>}}, {7, 15});
    return true;
}();

}  // namespace
