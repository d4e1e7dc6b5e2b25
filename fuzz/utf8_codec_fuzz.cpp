// Checks UTF8toWCS and WCStoUTF8 against a plain decoder and encoder written
// here from the definition of UTF-8:
//  - the input bytes, decoded with an explicit length and with npos, with
//    and without the byte-order mark, must give exactly the reference units
//    (one U+FFFD per maximal invalid subpart) and the reference ok flag;
//  - valid input must come back byte for byte through WCStoUTF8;
//  - the input read as UTF-16 must encode to the reference bytes (lone
//    surrogates as U+FFFD) and decode back to the same units.
// Every converting call is made with an exact destination, one a unit too
// small (which must give 0) and a roomier one, each followed by guard cells
// that must stay untouched.
#include "qxbase.h"

#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using qx::WChar;
using Units = std::vector<WChar>;
using Bytes = std::vector<char>;

constexpr unsigned kNpos = 0xFFFFFFFFu;
constexpr WChar kReplacement = 0xFFFD;

using fuzzcheck::expect;
using fuzzcheck::fail;

// ---------------------------------------------------------------------------
// Reference codec.

struct Decoded {
    Units units;
    bool valid = true;
};

void appendCodePoint(Units& out, uint32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<WChar>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<WChar>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<WChar>(cp));
    }
}

// Strict decoding, with U+FFFD for each maximal subpart that is not a
// well-formed sequence: a lead byte swallows the continuation bytes that
// can still complete it, and a byte that cannot go on ends the subpart.
Decoded decodeUtf8(const uint8_t* s, size_t n) {
    Decoded d;
    size_t i = 0;
    while (i < n) {
        const uint8_t b = s[i];
        if (b < 0x80) {
            d.units.push_back(b);
            ++i;
            continue;
        }
        size_t trail;
        uint32_t cp;
        uint8_t lo = 0x80, hi = 0xBF;  // allowed range of the second byte
        if (b >= 0xC2 && b <= 0xDF) {
            trail = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            trail = 2;
            cp = b & 0x0F;
            if (b == 0xE0) lo = 0xA0;  // overlong below U+0800
            if (b == 0xED) hi = 0x9F;  // surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            trail = 3;
            cp = b & 0x07;
            if (b == 0xF0) lo = 0x90;  // overlong below U+10000
            if (b == 0xF4) hi = 0x8F;  // above U+10FFFF
        } else {
            // 80-BF alone, C0, C1, F5-FF.
            d.units.push_back(kReplacement);
            d.valid = false;
            ++i;
            continue;
        }
        size_t j = i + 1;
        size_t got = 0;
        while (got < trail && j < n) {
            const uint8_t c = s[j];
            if (c < (got == 0 ? lo : 0x80) || c > (got == 0 ? hi : 0xBF)) break;
            cp = (cp << 6) | (c & 0x3F);
            ++got;
            ++j;
        }
        if (got == trail) {
            appendCodePoint(d.units, cp);
        } else {
            d.units.push_back(kReplacement);
            d.valid = false;
        }
        i = j;
    }
    return d;
}

bool isHigh(WChar c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool isLow(WChar c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// The units with every surrogate that is not part of a pair replaced.
Units pairSurrogates(const WChar* u, size_t n) {
    Units out;
    for (size_t i = 0; i < n; ++i) {
        if (isHigh(u[i]) && i + 1 < n && isLow(u[i + 1])) {
            out.push_back(u[i]);
            out.push_back(u[i + 1]);
            ++i;
        } else if (isHigh(u[i]) || isLow(u[i])) {
            out.push_back(kReplacement);
        } else {
            out.push_back(u[i]);
        }
    }
    return out;
}

// UTF-8 of well-paired units (the output of pairSurrogates).
Bytes encodeUtf8(const Units& u) {
    Bytes out;
    for (size_t i = 0; i < u.size(); ++i) {
        uint32_t cp = u[i];
        if (isHigh(u[i])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (u[i + 1] - 0xDC00u);
            ++i;
        }
        fuzzcheck::putUtf8(out, cp);
    }
    return out;
}

bool hasBOM(const uint8_t* s, size_t n) {
    return n >= 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF;
}

// ---------------------------------------------------------------------------
// Calls with guarded destinations.

using fuzzcheck::guardedCall;
using fuzzcheck::kGuard;
using fuzzcheck::Result;

// The full battery for one conversion whose exact output is `want` and whose
// ok flag is `wantOk`: count-only call, exact, roomier and too-small
// destinations. `wantOk` is only checked where the call succeeds.
template <class T, class Conv>
void checkConversion(Conv conv, const std::vector<T>& want, bool wantOk, const char* name) {
    const unsigned need = static_cast<unsigned>(want.size());
    bool ok = !wantOk;
    const unsigned counted = conv(nullptr, 0u, &ok);
    if (counted != need || ok != wantOk) {
        std::fprintf(stderr, "%s: count-only call returned %u ok=%d, expected %u ok=%d\n", name,
                     counted, ok, need, wantOk);
        fail("count-only call");
    }
    std::vector<T> got;
    // Exact size.
    Result r = guardedCall<T>(need, need, conv, &got);
    if (need) {
        if (r.count != need || r.ok != wantOk) {
            std::fprintf(stderr, "%s: returned %u ok=%d, expected %u ok=%d\n", name, r.count, r.ok,
                         need, wantOk);
            fail("converting call into an exact destination");
        }
        expect(got == want, "converted units/bytes differ from the reference");
    } else {
        expect(r.count == 0, "nothing to convert but a non-zero count");
    }
    // Roomier: writes the same and nothing beyond the output.
    r = guardedCall<T>(need + 5, need, conv, &got);
    if (need) {
        expect(r.count == need && r.ok == wantOk, "converting call into a larger destination");
        expect(got == want, "converted units/bytes differ from the reference (larger destination)");
    }
    if (need == 0) return;
    // Too small by one, by half and empty: 0, and nothing past dstSize.
    const unsigned small[3] = {need - 1, need / 2, 0};
    for (unsigned s : small) {
        r = guardedCall<T>(s, s, conv, nullptr);
        expect(r.count == 0, "a too-small destination did not give 0");
    }
}

// An empty text (length 0, or npos with a NUL first) converts to nothing,
// successfully, and no NUL is written even with npos.
template <class T, class Conv>
void checkEmpty(Conv conv, const char* name) {
    bool ok = false;
    if (conv(nullptr, 0u, &ok) != 0 || !ok) fail(name);
    const Result r = guardedCall<T>(4, 0, conv, nullptr);
    expect(r.count == 0 && r.ok, name);
}

// ---------------------------------------------------------------------------

void checkDecode(const uint8_t* data, size_t size) {
    const char* src = reinterpret_cast<const char*>(data);
    const unsigned len = static_cast<unsigned>(size);
    if (size == 0 || data[0] == 0) {
        checkEmpty<WChar>(
            [&](WChar* dst, unsigned dstSize, bool* ok) {
                return qxString::UTF8toWCS(size ? src : "", size ? kNpos : 0u, dst, dstSize, false,
                                           ok);
            },
            "UTF8toWCS(empty text)");
        if (size == 0) return;
    }
    for (int keep = 0; keep < 2; ++keep) {
        const bool keepBOM = keep != 0;
        // Explicit length: exactly these bytes, embedded NULs included, no NUL added.
        const size_t skip = !keepBOM && hasBOM(data, size) ? 3 : 0;
        const Decoded ref = decodeUtf8(data + skip, size - skip);
        const bool wantOk = ref.valid && !ref.units.empty();
        checkConversion<WChar>(
            [&](WChar* dst, unsigned dstSize, bool* ok) {
                return qxString::UTF8toWCS(src, len, dst, dstSize, keepBOM, ok);
            },
            ref.units, wantOk, keepBOM ? "UTF8toWCS(explicit, keepBOM)" : "UTF8toWCS(explicit)");

        // Valid text round-trips to the very same bytes.
        if (wantOk) {
            const Bytes want(src + skip, src + size);
            checkConversion<char>(
                [&](char* dst, unsigned dstSize, bool* ok) {
                    return qxString::WCStoUTF8(ref.units.data(),
                                               static_cast<unsigned>(ref.units.size()), dst,
                                               dstSize, ok);
                },
                want, true, "WCStoUTF8(decoded valid input)");
        }

        // npos: up to the first NUL, which is counted and written.
        if (data[0] == 0) continue;  // the empty text, checked above
        std::vector<char> text(src, src + size);
        text.push_back(0);
        const size_t textLen = std::strlen(text.data());
        const size_t zskip =
            !keepBOM && hasBOM(reinterpret_cast<const uint8_t*>(text.data()), textLen) ? 3 : 0;
        Decoded zref =
            decodeUtf8(reinterpret_cast<const uint8_t*>(text.data()) + zskip, textLen - zskip);
        zref.units.push_back(0);
        checkConversion<WChar>(
            [&](WChar* dst, unsigned dstSize, bool* ok) {
                return qxString::UTF8toWCS(text.data(), kNpos, dst, dstSize, keepBOM, ok);
            },
            zref.units, zref.valid, keepBOM ? "UTF8toWCS(npos, keepBOM)" : "UTF8toWCS(npos)");
    }
}

void checkEncode(const uint8_t* data, size_t size) {
    Units units(size / 2);
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<WChar>(data[2 * i] | (data[2 * i + 1] << 8));
    const unsigned n = static_cast<unsigned>(units.size());
    const Units paired = pairSurrogates(units.data(), units.size());
    const Bytes want = encodeUtf8(paired);
    if (n == 0) return;  // the empty text is the decoder's case above

    // Explicit length: every unit, NULs included; ok since something came out.
    checkConversion<char>(
        [&](char* dst, unsigned dstSize, bool* ok) {
            return qxString::WCStoUTF8(units.data(), n, dst, dstSize, ok);
        },
        want, true, "WCStoUTF8(explicit)");

    // The reference bytes are strictly valid and decode to the paired units,
    // with the leading U+FEFF kept or dropped as asked.
    const Decoded back = decodeUtf8(reinterpret_cast<const uint8_t*>(want.data()), want.size());
    expect(back.valid && back.units == paired, "reference encoder and decoder disagree");
    for (int keep = 0; keep < 2; ++keep) {
        const bool keepBOM = keep != 0;
        Units expected = paired;
        if (!keepBOM && !expected.empty() && expected[0] == 0xFEFF)
            expected.erase(expected.begin());
        checkConversion<WChar>(
            [&](WChar* dst, unsigned dstSize, bool* ok) {
                return qxString::UTF8toWCS(want.data(), static_cast<unsigned>(want.size()), dst,
                                           dstSize, keepBOM, ok);
            },
            expected, !expected.empty(), "UTF8toWCS(encoded units)");
    }

    // npos: up to the first NUL unit, which is counted and written.
    if (units[0] == 0) {
        checkEmpty<char>(
            [&](char* dst, unsigned dstSize, bool* ok) {
                return qxString::WCStoUTF8(units.data(), kNpos, dst, dstSize, ok);
            },
            "WCStoUTF8(empty text)");
        return;
    }
    Units text = units;
    text.push_back(0);
    size_t textLen = 0;
    while (text[textLen]) ++textLen;
    Bytes zwant = encodeUtf8(pairSurrogates(text.data(), textLen));
    zwant.push_back(0);
    checkConversion<char>(
        [&](char* dst, unsigned dstSize, bool* ok) {
            return qxString::WCStoUTF8(text.data(), kNpos, dst, dstSize, ok);
        },
        zwant, true, "WCStoUTF8(npos)");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    checkDecode(data, size);
    checkEncode(data, size);
    return 0;
}
