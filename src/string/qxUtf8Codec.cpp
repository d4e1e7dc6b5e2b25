#include "string/qxUtf8Codec.h"

#include <cstring>

#if defined(__SSE2__)
#    include <emmintrin.h>
#endif

namespace qx {
namespace utf8 {

namespace {

using u8 = unsigned char;

// Decodes the non-ASCII sequence at s (s < e): returns the bytes consumed
// and the code point, or kReplacement for one maximal invalid subpart.
inline size_t decodeOne(const u8* s, const u8* e, unsigned* cp, bool* bad) {
    const unsigned c = s[0];
    const ptrdiff_t avail = e - s;
    if (c < 0xC2 || c > 0xF4) {
        *cp = kReplacement;
        *bad = true;
        return 1;
    }
    if (c < 0xE0) {
        if (avail >= 2 && (s[1] & 0xC0) == 0x80) {
            *cp = ((c & 0x1F) << 6) | (s[1] & 0x3Fu);
            return 2;
        }
        *cp = kReplacement;
        *bad = true;
        return 1;
    }
    // The second byte's range is what rules out overlongs, surrogates and
    // values above U+10FFFF.
    unsigned lo = 0x80, hi = 0xBF;
    if (c == 0xE0)
        lo = 0xA0;
    else if (c == 0xED)
        hi = 0x9F;
    else if (c == 0xF0)
        lo = 0x90;
    else if (c == 0xF4)
        hi = 0x8F;
    *cp = kReplacement;
    if (avail < 2 || s[1] < lo || s[1] > hi) {
        *bad = true;
        return 1;
    }
    if (avail < 3 || (s[2] & 0xC0) != 0x80) {
        *bad = true;
        return 2;
    }
    if (c < 0xF0) {
        *cp = ((c & 0x0F) << 12) | ((s[1] & 0x3Fu) << 6) | (s[2] & 0x3Fu);
        return 3;
    }
    if (avail < 4 || (s[3] & 0xC0) != 0x80) {
        *bad = true;
        return 3;
    }
    *cp = ((c & 0x07) << 18) | ((s[1] & 0x3Fu) << 12) | ((s[2] & 0x3Fu) << 6) | (s[3] & 0x3Fu);
    return 4;
}

// Length of the run of ASCII bytes at the start of s, looked at 16 at a
// time; at most min(avail, limit) bytes. Writes them widened to d when d is
// given; a block is stored only when all of it is ASCII, so nothing past the
// run is touched.
inline size_t asciiRun(const u8* s, size_t avail, WChar* d, size_t limit) {
    size_t n = 0;
    const size_t max = avail < limit ? avail : limit;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    while (max - n >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + n));
        const int mask = _mm_movemask_epi8(v);
        if (mask != 0) {
            const size_t k = static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
            if (d)
                for (size_t i = 0; i < k; ++i) d[n + i] = s[n + i];
            return n + k;
        }
        if (d) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + n), _mm_unpacklo_epi8(v, zero));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(d + n + 8), _mm_unpackhi_epi8(v, zero));
        }
        n += 16;
    }
#endif
    while (n < max && s[n] < 0x80) {
        if (d) d[n] = s[n];
        ++n;
    }
    return n;
}

inline size_t wideAsciiRun(const WChar* s, size_t avail, char* d, size_t limit) {
    size_t n = 0;
    const size_t max = avail < limit ? avail : limit;
#if defined(__SSE2__)
    const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i zero = _mm_setzero_si128();
    while (max - n >= 8) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + n));
        const int ascii = _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, high), zero));
        // Stored whole even when the run ends inside the block: the units
        // after the run are there and write at least one byte each over the
        // rest, unless the output runs out of room, when nothing counts.
        if (d) _mm_storel_epi64(reinterpret_cast<__m128i*>(d + n), _mm_packus_epi16(v, v));
        if (ascii != 0xFFFF)
            return n + static_cast<size_t>(__builtin_ctz(static_cast<unsigned>(~ascii))) / 2;
        n += 8;
    }
#endif
    while (n < max && s[n] < 0x80) {
        if (d) d[n] = static_cast<char>(s[n]);
        ++n;
    }
    return n;
}

// Writes one code point as one unit or a surrogate pair; returns the units.
inline size_t putUtf16(WChar* d, unsigned cp) {
    if (cp > 0xFFFF) {
        d[0] = static_cast<WChar>(0xD7C0 + (cp >> 10));
        d[1] = static_cast<WChar>(0xDC00 + (cp & 0x3FF));
        return 2;
    }
    d[0] = static_cast<WChar>(cp);
    return 1;
}

size_t countUtf16(const u8* s, const u8* e, bool* bad) {
    size_t out = 0;
    while (s < e) {
        if (*s < 0x80) {
            const size_t n =
                asciiRun(s, static_cast<size_t>(e - s), nullptr, static_cast<size_t>(-1));
            s += n;
            out += n;
            continue;
        }
        unsigned cp;
        s += decodeOne(s, e, &cp, bad);
        out += cp > 0xFFFF ? 2 : 1;
    }
    return out;
}

inline bool isHigh(unsigned c) {
    return (c & 0xFC00) == 0xD800;
}
inline bool isLow(unsigned c) {
    return (c & 0xFC00) == 0xDC00;
}

// Bytes of the character at s (s < e, not ASCII) and its code point; a lone
// surrogate counts as U+FFFD.
inline size_t encodeWidth(const WChar* s, const WChar* e, unsigned* cp, size_t* units, bool* bad) {
    const unsigned c = s[0];
    *units = 1;
    if (c < 0x800) {
        *cp = c;
        return 2;
    }
    if ((c & 0xF800) != 0xD800) {
        *cp = c;
        return 3;
    }
    if (isHigh(c) && e - s >= 2 && isLow(s[1])) {
        *cp = 0x10000 + ((c - 0xD800) << 10) + (s[1] - 0xDC00u);
        *units = 2;
        return 4;
    }
    *cp = kReplacement;
    *bad = true;
    return 3;
}

inline size_t putUtf8(u8* p, unsigned cp, size_t w) {
    if (w == 2) {
        p[0] = static_cast<u8>(0xC0 | (cp >> 6));
        p[1] = static_cast<u8>(0x80 | (cp & 0x3F));
    } else if (w == 3) {
        p[0] = static_cast<u8>(0xE0 | (cp >> 12));
        p[1] = static_cast<u8>(0x80 | ((cp >> 6) & 0x3F));
        p[2] = static_cast<u8>(0x80 | (cp & 0x3F));
    } else {
        p[0] = static_cast<u8>(0xF0 | (cp >> 18));
        p[1] = static_cast<u8>(0x80 | ((cp >> 12) & 0x3F));
        p[2] = static_cast<u8>(0x80 | ((cp >> 6) & 0x3F));
        p[3] = static_cast<u8>(0x80 | (cp & 0x3F));
    }
    return w;
}

#if defined(__SSE2__)
// The bulk of the input, eight units at a time: a block of ASCII is packed,
// any other block is encoded unit by unit without branching on the width,
// four bytes stored per unit and the output advanced by the width. The
// bytes stored past a unit's width are overwritten by the units after it,
// so blocks are taken only while at least three more units follow, and
// only while the output has room for the widest block. Blocks holding a
// surrogate go through the general path. Advances s; returns the bytes
// written (little-endian stores: x86 only, like the vector code).
size_t blocksToUtf8(const WChar*& s, const WChar* e, u8* d, size_t dstCap, bool* bad) {
    const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
    const __m128i surr = _mm_set1_epi16(static_cast<short>(0xF800));
    const __m128i surrTag = _mm_set1_epi16(static_cast<short>(0xD800));
    const __m128i zero = _mm_setzero_si128();
    size_t out = 0;
    auto isAscii = [&](__m128i x) {
        return _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(x, high), zero)) == 0xFFFF;
    };
    while (e - s >= 11 && dstCap - out >= 32) {
        __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        if (isAscii(v)) {
            // Stay here for the rest of the ASCII run.
            do {
                _mm_storel_epi64(reinterpret_cast<__m128i*>(d + out), _mm_packus_epi16(v, v));
                s += 8;
                out += 8;
                if (e - s < 11 || dstCap - out < 32) break;
                v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
            } while (isAscii(v));
            continue;
        }
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, surr), surrTag)) != 0) {
            // Eight units or one more, when a pair straddles the block end.
            const WChar* const stop = s + 8;
            while (s < stop) {
                if (*s < 0x80) {
                    d[out++] = static_cast<u8>(*s++);
                    continue;
                }
                unsigned cp;
                size_t units;
                const size_t w = encodeWidth(s, e, &cp, &units, bad);
                out += putUtf8(d + out, cp, w);
                s += units;
            }
            continue;
        }
        for (int i = 0; i < 8; ++i) {
            const unsigned c = s[i];
            const unsigned two = (0xC0 | (c >> 6)) | ((0x80 | (c & 0x3F)) << 8);
            const unsigned three = (0xE0 | (c >> 12)) | ((0x80 | ((c >> 6) & 0x3F)) << 8) |
                                   ((0x80 | (c & 0x3F)) << 16);
            const unsigned bytes = c < 0x80 ? c : c < 0x800 ? two : three;
            std::memcpy(d + out, &bytes, 4);
            out += 1 + (c >= 0x80) + (c >= 0x800);
        }
        s += 8;
    }
    return out;
}
#endif

size_t countUtf8(const WChar* s, const WChar* e, bool* bad) {
    size_t out = 0;
    while (s < e) {
        if (*s < 0x80) {
            const size_t n =
                wideAsciiRun(s, static_cast<size_t>(e - s), nullptr, static_cast<size_t>(-1));
            s += n;
            out += n;
            continue;
        }
        unsigned cp;
        size_t units;
        out += encodeWidth(s, e, &cp, &units, bad);
        s += units;
    }
    return out;
}

}  // namespace

size_t toUtf16(const char* src, size_t len, WChar* dst, size_t dstCap, bool* invalid) {
    const u8* s = reinterpret_cast<const u8*>(src);
    const u8* const e = s + len;
    bool bad = false;
    size_t out = 0;
    if (dst) {
        while (s < e) {
            if (*s < 0x80) {
                if (out == dstCap) break;
                const size_t n = asciiRun(s, static_cast<size_t>(e - s), dst + out, dstCap - out);
                s += n;
                out += n;
                // A single ASCII byte between two words of another script
                // is not worth leaving the loop below for.
                if (n > 1) continue;
            }
            // Other text: while four bytes of input and two units of room
            // remain, the common sequences are decoded without bounds checks.
            while (e - s >= 4 && dstCap - out >= 2) {
                const unsigned c = s[0];
                if (c < 0x80) {
                    if (s[1] < 0x80) break;  // back to the ASCII run
                    dst[out++] = static_cast<WChar>(c);
                    s += 1;
                    continue;
                }
                const unsigned t1 = s[1];
                if (c >= 0xC2 && c < 0xE0 && (t1 & 0xC0) == 0x80) {
                    dst[out++] = static_cast<WChar>(((c & 0x1F) << 6) | (t1 & 0x3F));
                    s += 2;
                    continue;
                }
                const unsigned t2 = s[2];
                if ((c & 0xF0) == 0xE0 && (t1 & 0xC0) == 0x80 && (t2 & 0xC0) == 0x80 &&
                    (c != 0xE0 || t1 >= 0xA0) && (c != 0xED || t1 < 0xA0)) {
                    dst[out++] =
                        static_cast<WChar>(((c & 0x0F) << 12) | ((t1 & 0x3F) << 6) | (t2 & 0x3F));
                    s += 3;
                    continue;
                }
                unsigned cp;
                s += decodeOne(s, e, &cp, &bad);
                out += putUtf16(dst + out, cp);
            }
            if (s >= e || (e - s >= 4 && dstCap - out >= 2)) continue;
            // The last bytes, or little room left: one checked character.
            if (*s < 0x80) {
                if (out == dstCap) break;
                dst[out++] = *s++;
                continue;
            }
            unsigned cp;
            const size_t n = decodeOne(s, e, &cp, &bad);
            if (dstCap - out < (cp > 0xFFFF ? 2u : 1u)) break;
            out += putUtf16(dst + out, cp);
            s += n;
        }
    }
    // Whatever did not fit (or everything, without a destination) is only
    // counted.
    out += countUtf16(s, e, &bad);
    *invalid = bad;
    return out;
}

size_t toUtf8(const WChar* src, size_t len, char* dst, size_t dstCap, bool* invalid) {
    const WChar* s = src;
    const WChar* const e = s + len;
    bool bad = false;
    size_t out = 0;
    if (dst) {
        u8* const d = reinterpret_cast<u8*>(dst);
#if defined(__SSE2__)
        out = blocksToUtf8(s, e, d, dstCap, &bad);
#endif
        while (s < e) {
            if (*s < 0x80) {
                if (out == dstCap) break;
                const size_t n =
                    wideAsciiRun(s, static_cast<size_t>(e - s), dst + out, dstCap - out);
                s += n;
                out += n;
                // A single ASCII unit between two words of another script
                // is not worth leaving the loop below for.
                if (n > 1) continue;
            }
            // Non-ASCII text: while the output has room for the widest
            // character, take units one by one without room checks.
            while (s < e && dstCap - out >= 4) {
                const unsigned c = *s;
                u8* p = d + out;
                if (c < 0x80) {
                    if (e - s >= 2 && s[1] < 0x80) break;  // back to the ASCII run
                    p[0] = static_cast<u8>(c);
                    out += 1;
                    s += 1;
                } else if (c < 0x800) {
                    p[0] = static_cast<u8>(0xC0 | (c >> 6));
                    p[1] = static_cast<u8>(0x80 | (c & 0x3F));
                    out += 2;
                    s += 1;
                } else if ((c & 0xF800) != 0xD800) {
                    p[0] = static_cast<u8>(0xE0 | (c >> 12));
                    p[1] = static_cast<u8>(0x80 | ((c >> 6) & 0x3F));
                    p[2] = static_cast<u8>(0x80 | (c & 0x3F));
                    out += 3;
                    s += 1;
                } else {
                    unsigned cp;
                    size_t units;
                    const size_t w = encodeWidth(s, e, &cp, &units, &bad);
                    out += putUtf8(p, cp, w);
                    s += units;
                }
            }
            if (s >= e || dstCap - out >= 4) continue;
            // Near the end of the output: one checked character at a time.
            if (*s < 0x80) continue;
            unsigned cp;
            size_t units;
            const size_t w = encodeWidth(s, e, &cp, &units, &bad);
            if (dstCap - out < w) break;
            out += putUtf8(d + out, cp, w);
            s += units;
        }
    }
    out += countUtf8(s, e, &bad);
    *invalid = bad;
    return out;
}

}  // namespace utf8
}  // namespace qx
