#include "qxbase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;
using Boxes = std::vector<std::vector<unsigned>>;
enum { S1, S2, S3, S4 };

unsigned char u8(int i) {
    return static_cast<unsigned char>(i);
}
unsigned bytesHash(const Bytes& b) {
    return qx::hashfunction(b.data(), static_cast<int>(b.size()));
}

// The boxes as the buffer hash shows them: a final chunk of r < 15 bytes runs
// only the last r steps, from g = 0, so 1 byte hashes to S3[b0], 2 bytes to
// -S2[b0] + S3[b1], 3 to S1[b0] - S2[b1] + S3[b2], and 4 bytes to
// (S4[b0] ^ S1[b1]) - S2[b2] + S3[b3].
const Boxes& boxes() {
    static const Boxes s = [] {
        Boxes b(4, std::vector<unsigned>(256));
        for (int i = 0; i < 256; ++i) {
            const unsigned char c = u8(i);
            b[S3][i] = bytesHash({c});
            b[S2][i] = b[S3][0] - bytesHash({c, 0});
            b[S1][i] = bytesHash({c, 0, 0}) + b[S2][0] - b[S3][0];
            b[S4][i] = (bytesHash({c, 0, 0, 0}) - b[S3][0] + b[S2][0]) ^ b[S1][0];
        }
        return b;
    }();
    return s;
}

// A plain model of the hash cycles, three characters a step: the box (1 to 4),
// how g takes the looked-up value t (= t, ^ t, + t, - t), and '|' when h then
// absorbs g. A pass starts from g = 0, at step 0, or at N - r for a final r.
const char kBytes[] = "2= 3^ 4+|2= 3- 4+ 1^|3= 4+ 1^ 2-|4= 1^ 2- 3+|";
const char kWords[] = "1= 2^ 3- 4+|2= 3- 4+ 1^|3= 4+ 1^ 2-|4= 1^ 2- 3+|";

// lookup(box, i): the value the step at input position i mixes in.
template <class Lookup>
unsigned modelHash(const char* steps, int n, Lookup lookup) {
    const int N = static_cast<int>(std::strlen(steps)) / 3;
    unsigned h = 0;
    for (int i = 0; i < n;) {
        unsigned g = 0;
        for (int s = n - i >= N ? 0 : N - (n - i); s < N; ++s, ++i) {
            const char* step = steps + 3 * s;
            const unsigned t = lookup(step[0] - '1', i);
            g = step[1] == '=' ? t : step[1] == '^' ? g ^ t : step[1] == '+' ? g + t : g - t;
            if (step[2] == '|') h ^= g;
        }
    }
    return h;
}

// The buffer, range, word and wide hashes are pinned by the box checksum and
// the model below; the string hash is a function of its own.
TEST(HashFunctions, KnownValues) {
    EXPECT_EQ(qx::hashfunction(""), 0u);
    EXPECT_EQ(qx::hashfunction("a"), 0x425C750Du);
    EXPECT_EQ(qx::hashfunction("abc"), 0x02D99252u);
    EXPECT_EQ(qx::hashfunction("hello world"), 0xCF22D146u);
    const unsigned char bytes[] = {1};
    const unsigned words[] = {1};
    const qx::WChar wide[] = {1};
    EXPECT_EQ(
        qx::hashfunction(bytes, -1) | qx::hashfunction(words, -1) | qx::hashfunction(wide, -1), 0u);
}

TEST(HashFunctions, ByteWordAndWideHashesMatchTheModel) {
    const Boxes& s = boxes();
    std::mt19937 rng(20240601);
    Bytes bytes(400);
    std::vector<unsigned> words(400);
    std::vector<qx::WChar> wide(400);
    for (int i = 0; i < 400; ++i) {
        bytes[i] = u8(static_cast<int>(rng()));
        words[i] = static_cast<unsigned>(rng());
        wide[i] = static_cast<qx::WChar>(rng());
    }
    std::vector<int> lengths = {239, 240, 241, 255, 256, 257, 399};  // index wrap, wide chunks
    for (int n = 0; n <= 100; ++n) lengths.push_back(n);
    for (int n : lengths) {
        const unsigned char* p = bytes.data() + n % 2;  // aligned or not
        const char* c = reinterpret_cast<const char*>(p);
        EXPECT_EQ(qx::hashfunction(p, n),
                  modelHash(kBytes, n, [&](int b, int i) { return s[b][p[i]]; }))
            << n;
        EXPECT_EQ(qx::hashfunction(c, c + n), qx::hashfunction(p, n)) << n;
        // The word hash takes its box entries by position, not by value.
        EXPECT_EQ(qx::hashfunction(words.data(), n),
                  modelHash(kWords, n, [&](int b, int i) { return s[b][i % 256] ^ words[i]; }))
            << n;
        Bytes le;  // wide units hash as their little-endian bytes on every host
        for (int i = 0; i < n; ++i) le.insert(le.end(), {u8(wide[i]), u8(wide[i] >> 8)});
        EXPECT_EQ(qx::hashfunction(wide.data(), n), bytesHash(le)) << n;
    }
}

TEST(HashSboxes, TableChecksum) {
    const Boxes& s = boxes();
    unsigned sum = 0;
    for (const auto& box : s)
        for (unsigned v : box) sum = sum * 31 + v;
    EXPECT_EQ(sum, 0x2E6B3B90u);
}

// The buffer hash folds into h by xor alone, so continuing from a running hash
// h gives h ^ (the hash of the new bytes): a hasher's value is the xor of the
// buffer hashes of the little-endian bytes of each flushed group of words.
unsigned flushedHash(const std::vector<unsigned long long>& words, size_t group = 16) {
    unsigned h = 0;
    for (size_t i = 0; i < words.size(); i += group) {
        Bytes b;
        for (size_t j = i; j < std::min(words.size(), i + group); ++j)
            for (int k = 0; k < 8; ++k) b.push_back(u8(static_cast<int>(words[j] >> 8 * k & 0xFF)));
        h ^= bytesHash(b);
    }
    return h;
}

TEST(Hasher, HashesSixteenWordsAtATime) {
    EXPECT_EQ(qx::Hasher().getHash(), 0u);
    std::vector<unsigned long long> words;
    for (int n = 1; n <= 40; ++n) {
        words.push_back(0x0123456789ABCDEFull * n);
        qx::Hasher h;
        for (unsigned long long w : words) h << w;
        EXPECT_EQ(h.getHash(), flushedHash(words)) << n;
    }
    EXPECT_NE(flushedHash(words), flushedHash(words, words.size()));

    qx::Hasher h, copy;
    h.add(static_cast<short>(7));  // narrower values widen to one word each
    h.add(9u);
    EXPECT_EQ(h.getHash(), flushedHash({7, 9}));  // a partial group flushes
    h << true;
    copy << 99;
    copy = h;  // copies the buffered words and the running hash
    h << 5;
    copy << 5;
    EXPECT_EQ(copy.getHash(), flushedHash({7, 9}) ^ flushedHash({1, 5}));
    EXPECT_EQ(h.getHash(), copy.getHash());
}

}  // namespace

// The key trait hashes integers and pointers inline; it must stay the word hash
// of their 32-bit words, low word first.
TEST(HashTrait, IntegerKeysUseTheWordHash) {
    std::mt19937_64 rng(7);
    for (int i = 0; i < 1000; ++i) {
        const unsigned long long v = i < 4 ? (i < 2 ? i : ~0ull >> (i - 2)) : rng();
        const unsigned int words[2] = {static_cast<unsigned int>(v),
                                       static_cast<unsigned int>(v >> 32)};
        EXPECT_EQ(qx::hash<unsigned long long>()(v), qx::hashfunction(words, 2));
        EXPECT_EQ(qx::hash<int>()(static_cast<int>(v)), qx::hashfunction(words, 1));
        const void* p = reinterpret_cast<const void*>(static_cast<std::uintptr_t>(v));
        EXPECT_EQ(qx::hash<const void*>()(p), qx::hashfunction(words, sizeof(p) / 4));
    }
}
