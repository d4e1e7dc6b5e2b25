#include "containers/qxHash.h"

#include "containers/qxHashSboxes.h"

namespace qx {

namespace {

const unsigned int* const S1 = detail::kHashSbox[0];
const unsigned int* const S2 = detail::kHashSbox[1];
const unsigned int* const S3 = detail::kHashSbox[2];
const unsigned int* const S4 = detail::kHashSbox[3];

// One pass of the 15-step byte cycle, entered at step `start` (0 for a full
// chunk, 15 - r for a final chunk of r bytes) with g = 0. Each case consumes
// one byte and falls through to the next step.
inline unsigned int byteChunk(const unsigned char* p, int start, unsigned int h) {
    unsigned int g = 0;
    switch (start) {
        case 0:
            g = S2[*p++];
            [[fallthrough]];
        case 1:
            g ^= S3[*p++];
            [[fallthrough]];
        case 2:
            g += S4[*p++];
            h ^= g;
            [[fallthrough]];
        case 3:
            g = S2[*p++];
            [[fallthrough]];
        case 4:
            g -= S3[*p++];
            [[fallthrough]];
        case 5:
            g += S4[*p++];
            [[fallthrough]];
        case 6:
            g ^= S1[*p++];
            h ^= g;
            [[fallthrough]];
        case 7:
            g = S3[*p++];
            [[fallthrough]];
        case 8:
            g += S4[*p++];
            [[fallthrough]];
        case 9:
            g ^= S1[*p++];
            [[fallthrough]];
        case 10:
            g -= S2[*p++];
            h ^= g;
            [[fallthrough]];
        case 11:
            g = S4[*p++];
            [[fallthrough]];
        case 12:
            g ^= S1[*p++];
            [[fallthrough]];
        case 13:
            g -= S2[*p++];
            [[fallthrough]];
        case 14:
            g += S3[*p];
            h ^= g;
    }
    return h;
}

// The full-chunk case written out, so the hot loop has no dispatch.
inline unsigned int byteChunk15(const unsigned char* p, unsigned int h) {
    unsigned int g = S2[p[0]];
    g ^= S3[p[1]];
    g += S4[p[2]];
    h ^= g;
    g = S2[p[3]];
    g -= S3[p[4]];
    g += S4[p[5]];
    g ^= S1[p[6]];
    h ^= g;
    g = S3[p[7]];
    g += S4[p[8]];
    g ^= S1[p[9]];
    g -= S2[p[10]];
    h ^= g;
    g = S4[p[11]];
    g ^= S1[p[12]];
    g -= S2[p[13]];
    g += S3[p[14]];
    return h ^ g;
}

unsigned int bufferHash(const unsigned char* p, size_t n, unsigned int h) {
    for (; n >= 15; n -= 15, p += 15) h = byteChunk15(p, h);
    if (n) h = byteChunk(p, static_cast<int>(15 - n), h);
    return h;
}

}  // namespace

unsigned int hashfunction(const char* s) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(s);
    unsigned int h = 0;
    while (*p) {
        unsigned int g = S1[*p++];
        if (*p) {
            g += S2[*p++];
            if (*p) {
                g -= S3[*p++];
                if (*p) g ^= S4[*p++];
            }
        }
        h ^= g;
    }
    return h;
}

unsigned int hashfunction(const unsigned char* p, int n) {
    return n > 0 ? bufferHash(p, static_cast<size_t>(n), 0) : 0;
}

unsigned int hashfunction(const char* first, const char* last) {
    if (last <= first) return 0;
    return bufferHash(reinterpret_cast<const unsigned char*>(first),
                      static_cast<size_t>(last - first), 0);
}

// The units are hashed as their little-endian bytes whatever the host order.
unsigned int hashfunction(const WChar* p, int n) {
    if (n <= 0) return 0;
    unsigned char chunk[15 * 16];  // whole 15-byte passes
    unsigned int h = 0;
    size_t bytes = static_cast<size_t>(n) * 2;
    size_t unit = 0;
    while (bytes) {
        const size_t take = bytes > sizeof(chunk) ? sizeof(chunk) : bytes;
        for (size_t i = 0; i < take; i += 2, ++unit) {
            const unsigned int u = static_cast<unsigned int>(p[unit]);
            chunk[i] = static_cast<unsigned char>(u & 0xFF);
            chunk[i + 1] = static_cast<unsigned char>(u >> 8);
        }
        h = bufferHash(chunk, take, h);
        bytes -= take;
    }
    return h;
}

namespace {

// One pass of the 16-step word cycle; i is the index of p[0] in the whole
// array, and each step mixes the word with its table entry at i mod 256.
inline unsigned int wordChunk(const unsigned int* p, size_t i, int start, unsigned int h) {
#define QX_T(box) (box[i++ & 0xFF] ^ *p++)
    unsigned int g = 0;
    switch (start) {
        case 0:
            g = QX_T(S1);
            [[fallthrough]];
        case 1:
            g ^= QX_T(S2);
            [[fallthrough]];
        case 2:
            g -= QX_T(S3);
            [[fallthrough]];
        case 3:
            g += QX_T(S4);
            h ^= g;
            [[fallthrough]];
        case 4:
            g = QX_T(S2);
            [[fallthrough]];
        case 5:
            g -= QX_T(S3);
            [[fallthrough]];
        case 6:
            g += QX_T(S4);
            [[fallthrough]];
        case 7:
            g ^= QX_T(S1);
            h ^= g;
            [[fallthrough]];
        case 8:
            g = QX_T(S3);
            [[fallthrough]];
        case 9:
            g += QX_T(S4);
            [[fallthrough]];
        case 10:
            g ^= QX_T(S1);
            [[fallthrough]];
        case 11:
            g -= QX_T(S2);
            h ^= g;
            [[fallthrough]];
        case 12:
            g = QX_T(S4);
            [[fallthrough]];
        case 13:
            g ^= QX_T(S1);
            [[fallthrough]];
        case 14:
            g -= QX_T(S2);
            [[fallthrough]];
        case 15:
            g += QX_T(S3);
            h ^= g;
    }
#undef QX_T
    return h;
}

}  // namespace

unsigned int hashfunction(const unsigned int* p, int n) {
    unsigned int h = 0;
    size_t i = 0;
    const size_t total = n > 0 ? static_cast<size_t>(n) : 0;
    for (; total - i >= 16; i += 16) h = wordChunk(p + i, i, 0, h);
    if (i < total) h = wordChunk(p + i, i, static_cast<int>(16 - (total - i)), h);
    return h;
}

// Buffered words go to the buffer hash as their bytes in memory order.
void Hasher::flushBuffer() {
    m_hash = bufferHash(reinterpret_cast<const unsigned char*>(m_buffer),
                        static_cast<size_t>(m_count) * 8, m_hash);
    m_count = 0;
}

}  // namespace qx
