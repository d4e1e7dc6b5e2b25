// Drives MBStoWCS and WCStoMBS under the "C" and "C.UTF-8" locales with the
// input as NUL-terminated bytes and as NUL-terminated UTF-16 units, and
// checks for each:
//  - the count-only call gives the same count and ok flag for npos, the text
//    length and any longer length, and 0 for a length short of the text;
//  - a destination with room for the count and the NUL gets exactly that
//    many units/bytes plus the NUL, with the same count and ok flag, and
//    nothing after the NUL changes; a destination without room for the NUL
//    gives 0; no call writes past dstSize (guard cells after each buffer);
//  - ASCII passes through unchanged in both locales, the lenient path turns
//    what it cannot convert into '?', and in C.UTF-8 valid UTF-8 and
//    well-paired UTF-16 convert exactly as UTF8toWCS and WCStoUTF8 do.
#include "qxbase.h"

#include "fuzz_check.h"

#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using qx::WChar;
using Units = std::vector<WChar>;
using Bytes = std::vector<char>;

constexpr unsigned kNpos = 0xFFFFFFFFu;
constexpr const char* kLocales[2] = {"C", "C.UTF-8"};

std::string gSavedLocale;
const char* gWhere = "";

using fuzzcheck::expect;
using fuzzcheck::fail;

// ---------------------------------------------------------------------------
// Reference UTF-8 validation and encoding.

bool isHigh(WChar c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLow(WChar c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Strict UTF-8 decoding; false on any ill-formed sequence.
bool decodeStrict(const uint8_t* s, size_t n, Units* out) {
    size_t i = 0;
    while (i < n) {
        const uint8_t b = s[i];
        if (b < 0x80) {
            out->push_back(b);
            ++i;
            continue;
        }
        size_t trail;
        uint32_t cp;
        uint8_t lo = 0x80, hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            trail = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            trail = 2;
            cp = b & 0x0F;
            if (b == 0xE0) lo = 0xA0;
            if (b == 0xED) hi = 0x9F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            trail = 3;
            cp = b & 0x07;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;
        } else {
            return false;
        }
        if (n - i <= trail) return false;
        for (size_t k = 1; k <= trail; ++k) {
            const uint8_t c = s[i + k];
            if (c < (k == 1 ? lo : 0x80) || c > (k == 1 ? hi : 0xBF)) return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (cp >= 0x10000) {
            out->push_back(static_cast<WChar>(0xD800 + ((cp - 0x10000) >> 10)));
            out->push_back(static_cast<WChar>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out->push_back(static_cast<WChar>(cp));
        }
        i += trail + 1;
    }
    return true;
}

// UTF-8 of n units; false when a surrogate is not part of a pair.
bool encodeStrict(const WChar* u, size_t n, Bytes* out) {
    for (size_t i = 0; i < n; ++i) {
        uint32_t cp = u[i];
        if (isHigh(u[i]) && i + 1 < n && isLow(u[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (u[i + 1] - 0xDC00u);
            ++i;
        } else if (isHigh(u[i]) || isLow(u[i])) {
            return false;
        }
        fuzzcheck::putUtf8(*out, cp);
    }
    return true;
}

// ---------------------------------------------------------------------------
// Calls with guarded destinations.

using fuzzcheck::guardedCall;
using fuzzcheck::kGuard;
using fuzzcheck::Result;

// The common contract of both directions. conv(srcLen, dst, dstSize, ok)
// converts the NUL-terminated text of textLen cells (bufLen cells in all,
// NUL included). Returns the converted output (count cells and the NUL) and
// the ok flag.
template <class T, class Conv>
std::vector<T> checkContract(Conv conv, unsigned textLen, unsigned bufLen, bool* okOut,
                             unsigned pick) {
    // Count only, every length that covers the text.
    bool ok = false;
    const unsigned need = conv(kNpos, nullptr, 0u, &ok);
    const unsigned covering[2] = {textLen, bufLen};
    for (unsigned len : covering) {
        bool ok2 = !ok;
        expect(conv(len, nullptr, 0u, &ok2) == need && ok2 == ok,
               "count-only result depends on a length that covers the text");
    }
    *okOut = ok;

    // Converting calls, with room for the NUL, more room, and none for it.
    const unsigned lens[3] = {kNpos, textLen, bufLen};
    const unsigned srcLen = lens[pick % 3];
    auto into = [&](T* dst, unsigned dstSize, bool* o) { return conv(srcLen, dst, dstSize, o); };
    std::vector<T> out;
    Result r = guardedCall<T>(need + 1, need + 1, into, &out, 1);
    expect(r.count == need && r.ok == ok, "converting call disagrees with the count-only call");
    expect(out.size() == need + 1u && out[need] == 0, "output not NUL-terminated");
    for (unsigned i = 0; i < need; ++i) expect(out[i] != 0, "NUL inside the output");
    std::vector<T> more;
    r = guardedCall<T>(need + 7, need + 1, into, &more, 1);
    expect(r.count == need && r.ok == ok && more == out,
           "a larger destination gave another result");
    const unsigned small[3] = {need, need / 2, 0};
    for (unsigned s : small) {
        r = guardedCall<T>(s, s, into, nullptr, 1);
        expect(r.count == 0, "a destination without room for the NUL did not give 0");
    }

    // A length short of the text is refused, with or without a destination.
    if (textLen > 0) {
        const unsigned shortLens[2] = {textLen - 1, pick % (textLen + 0u)};
        for (unsigned len : shortLens) {
            bool o = false;
            expect(conv(len, nullptr, 0u, &o) == 0, "a short length was not refused (count)");
            auto shortInto = [&](T* dst, unsigned dstSize, bool* o2) {
                return conv(len, dst, dstSize, o2);
            };
            r = guardedCall<T>(need + 1, need + 1, shortInto, nullptr, 1);
            expect(r.count == 0, "a short length was not refused");
        }
    }
    out.pop_back();
    return out;
}

void checkMultibyte(const uint8_t* data, size_t size, bool utf8Locale, unsigned pick) {
    gWhere = utf8Locale ? "MBStoWCS, C.UTF-8" : "MBStoWCS, C";
    Bytes buf(data, data + size);
    buf.push_back(0);
    const char* text = buf.data();
    const unsigned len = static_cast<unsigned>(std::strlen(text));
    bool ok = false;
    const Units units = checkContract<WChar>(
        [text](unsigned srcLen, WChar* dst, unsigned dstSize, bool* o) {
            return qxString::MBStoWCS(text, srcLen, dst, dstSize, o);
        },
        len, static_cast<unsigned>(buf.size()), &ok, pick);

    bool ascii = true;
    for (unsigned i = 0; i < len; ++i) ascii = ascii && data[i] < 0x80;
    if (ascii) {
        expect(ok && units == Units(data, data + len), "ASCII text did not pass through");
        return;
    }
    if (!utf8Locale) {
        // One byte, one character: ASCII stays, and a byte that became '?'
        // was a loss.
        expect(units.size() == len, "a single-byte locale changed the length");
        for (unsigned i = 0; i < len; ++i) {
            if (data[i] < 0x80)
                expect(units[i] == data[i], "an ASCII byte changed");
            else if (units[i] == '?')
                expect(!ok, "a byte became '?' and ok stayed set");
        }
        return;
    }
    Units want;
    const bool valid = decodeStrict(data, len, &want);
    expect(ok == valid, "ok does not tell valid UTF-8 from invalid");
    if (valid) {
        expect(units == want, "valid UTF-8 decoded to other units");
        Units codec(len);
        bool codecOk = false;
        expect(qxString::UTF8toWCS(text, len, codec.data(), len, true, &codecOk) == want.size() &&
                   codecOk,
               "UTF8toWCS failed on valid UTF-8");
        codec.resize(want.size());
        expect(units == codec, "MBStoWCS and UTF8toWCS disagree on valid UTF-8");
    } else {
        // Never more units than bytes.
        expect(units.size() <= len, "lenient conversion grew");
    }
}

void checkWide(const uint8_t* data, size_t size, bool utf8Locale, unsigned pick) {
    gWhere = utf8Locale ? "WCStoMBS, C.UTF-8" : "WCStoMBS, C";
    Units buf(size / 2);
    for (size_t i = 0; i < buf.size(); ++i)
        buf[i] = static_cast<WChar>(data[2 * i] | (data[2 * i + 1] << 8));
    buf.push_back(0);
    const WChar* text = buf.data();
    unsigned len = 0;
    while (text[len]) ++len;
    bool ok = false;
    const Bytes bytes = checkContract<char>(
        [text](unsigned srcLen, char* dst, unsigned dstSize, bool* o) {
            return qxString::WCStoMBS(text, srcLen, dst, dstSize, o);
        },
        len, static_cast<unsigned>(buf.size()), &ok, pick);

    bool ascii = true;
    for (unsigned i = 0; i < len; ++i) ascii = ascii && text[i] < 0x80;
    if (ascii) {
        expect(ok && bytes == Bytes(text, text + len), "ASCII text did not pass through");
        return;
    }
    Bytes want;
    const bool paired = encodeStrict(text, len, &want);
    if (utf8Locale && paired) {
        expect(ok && bytes == want, "well-paired UTF-16 did not narrow to its UTF-8");
        Bytes codec(want.size() + 1);
        bool codecOk = false;
        expect(qxString::WCStoUTF8(text, len, codec.data(), static_cast<unsigned>(codec.size()),
                                   &codecOk) == want.size(),
               "WCStoUTF8 failed");
        codec.resize(want.size());
        expect(bytes == codec, "WCStoMBS and WCStoUTF8 disagree");
        return;
    }
    if (utf8Locale) expect(!ok, "a lone surrogate narrowed without loss");
    if (!ok) {
        // The lenient path: one byte per unit, ASCII kept, the rest '?'
        // (in these locales no other character is a single byte).
        expect(bytes.size() == len, "lenient narrowing is not one byte per unit");
        for (unsigned i = 0; i < len; ++i)
            expect(bytes[i] == (text[i] < 0x80 ? static_cast<char>(text[i]) : '?'),
                   "lenient narrowing changed an ASCII unit or kept a non-ASCII one");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* cur = std::setlocale(LC_ALL, nullptr);
    gSavedLocale = cur ? cur : "C";
    for (const char* name : kLocales)
        if (!std::setlocale(LC_ALL, name)) {
            std::fprintf(stderr, "locale_conv_fuzz: the %s locale is not available\n", name);
            std::abort();
        }
    std::setlocale(LC_ALL, gSavedLocale.c_str());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const unsigned first = size ? data[0] : 0;
    for (int k = 0; k < 2; ++k) {
        const int which = (k + static_cast<int>(first & 1)) & 1;
        if (!std::setlocale(LC_ALL, kLocales[which])) fail("setlocale failed");
        checkMultibyte(data, size, which == 1, first >> 1);
        checkWide(data, size, which == 1, first >> 3);
    }
    std::setlocale(LC_ALL, gSavedLocale.c_str());
    return 0;
}
