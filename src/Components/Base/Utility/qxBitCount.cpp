#include "Components/Base/Utility/qxBitCount.h"

#include "Components/Base/Utility/qxBitField.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

namespace qxUtil {
namespace detail {

namespace {

using u64 = unsigned long long;

template <BitOp kOp, class T>
inline T apply(T x, T y) {
    if constexpr (kOp == BitOp::And) return x & y;
    if constexpr (kOp == BitOp::Or) return x | y;
    return x ^ y;
}

template <BitOp kOp>
__attribute__((target("avx2"))) inline __m256i apply256(__m256i x, __m256i y) {
    if constexpr (kOp == BitOp::And) return _mm256_and_si256(x, y);
    if constexpr (kOp == BitOp::Or) return _mm256_or_si256(x, y);
    return _mm256_xor_si256(x, y);
}

template <BitOp kOp>
__attribute__((target("avx512f"))) inline __m512i apply512(__m512i x, __m512i y) {
    if constexpr (kOp == BitOp::And) return _mm512_and_si512(x, y);
    if constexpr (kOp == BitOp::Or) return _mm512_or_si512(x, y);
    return _mm512_xor_si512(x, y);
}

// The words the vector kernels leave over, one at a time.
template <BitOp kOp>
int combineTail(unsigned int* a, const unsigned int* b, int from, int n) {
    int total = 0;
    for (int i = from; i < n; ++i) {
        a[i] = apply<kOp>(a[i], b[i]);
        total += popCount(a[i]);
    }
    return total;
}

// The parallel bit count of two words at once, left as eight byte counts of
// at most 8 each, so that up to 31 of them can be summed bytewise before a
// byte overflows.
inline u64 byteCounts(u64 x) {
    x = x - ((x >> 1) & 0x5555555555555555ull);
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    return (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
}

// The sum of eight byte counts of at most 255 each.
inline int sumBytes(u64 x) {
    x = (x & 0x00FF00FF00FF00FFull) + ((x >> 8) & 0x00FF00FF00FF00FFull);
    return static_cast<int>((x * 0x0001000100010001ull) >> 48);
}

// Any x86-64: two words at a time, the byte counts of 30 pairs summed
// before they are added up.
template <BitOp kOp>
int combinePortable(unsigned int* a, const unsigned int* b, int n) {
    constexpr int kBlock = 30;
    int total = 0;
    const int pairs = n / 2;
    for (int p = 0; p < pairs;) {
        const int end = std::min(pairs, p + kBlock);
        u64 acc = 0;
        for (; p < end; ++p) {
            u64 x, y;
            std::memcpy(&x, a + 2 * p, sizeof x);
            std::memcpy(&y, b + 2 * p, sizeof y);
            x = apply<kOp>(x, y);
            std::memcpy(a + 2 * p, &x, sizeof x);
            acc += byteCounts(x);
        }
        total += sumBytes(acc);
    }
    return total + combineTail<kOp>(a, b, 2 * pairs, n);
}

// AVX2: 32 bytes at a time, each nibble counted by a table lookup (vpshufb);
// the byte counts of up to 31 steps are summed before vpsadbw adds them up.
template <BitOp kOp>
__attribute__((target("avx2"))) int combineAvx2(unsigned int* a, const unsigned int* b, int n) {
    const __m256i table = _mm256_setr_epi8(0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4, 0, 1, 1,
                                           2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4);
    const __m256i nibble = _mm256_set1_epi8(0x0F);
    const __m256i zero = _mm256_setzero_si256();
    __m256i total = zero;
    int i = 0;
    while (i + 8 <= n) {
        const int end = std::min(n - 7, i + 8 * 31);
        __m256i acc = zero;
        for (; i < end; i += 8) {
            __m256i* pa = reinterpret_cast<__m256i*>(a + i);
            const __m256i x =
                apply256<kOp>(_mm256_loadu_si256(pa),
                              _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + i)));
            _mm256_storeu_si256(pa, x);
            const __m256i lo = _mm256_shuffle_epi8(table, _mm256_and_si256(x, nibble));
            const __m256i hi =
                _mm256_shuffle_epi8(table, _mm256_and_si256(_mm256_srli_epi16(x, 4), nibble));
            acc = _mm256_add_epi8(acc, _mm256_add_epi8(lo, hi));
        }
        total = _mm256_add_epi64(total, _mm256_sad_epu8(acc, zero));
    }
    const int sum =
        static_cast<int>(_mm256_extract_epi64(total, 0) + _mm256_extract_epi64(total, 1) +
                         _mm256_extract_epi64(total, 2) + _mm256_extract_epi64(total, 3));
    return sum + combineTail<kOp>(a, b, i, n);
}

// AVX-512 with its population count instruction: 64 bytes at a time.
template <BitOp kOp>
__attribute__((target("avx512f,avx512vpopcntdq"))) int combineAvx512(unsigned int* a,
                                                                     const unsigned int* b, int n) {
    __m512i total = _mm512_setzero_si512();
    int i = 0;
    for (; i + 16 <= n; i += 16) {
        const __m512i x = apply512<kOp>(_mm512_loadu_si512(a + i), _mm512_loadu_si512(b + i));
        _mm512_storeu_si512(a + i, x);
        total = _mm512_add_epi64(total, _mm512_popcnt_epi64(x));
    }
    u64 lanes[8];
    _mm512_storeu_si512(lanes, total);
    u64 sum = 0;
    for (u64 lane : lanes) sum += lane;
    return static_cast<int>(sum) + combineTail<kOp>(a, b, i, n);
}

using Kernel = int (*)(unsigned int*, const unsigned int*, int);

Kernel kernelFor(BitKernel kernel, BitOp op) {
    static const Kernel table[3][3] = {
        {combinePortable<BitOp::And>, combinePortable<BitOp::Or>, combinePortable<BitOp::Xor>},
        {combineAvx2<BitOp::And>, combineAvx2<BitOp::Or>, combineAvx2<BitOp::Xor>},
        {combineAvx512<BitOp::And>, combineAvx512<BitOp::Or>, combineAvx512<BitOp::Xor>},
    };
    return table[static_cast<int>(kernel)][static_cast<int>(op)];
}

// The widest kernel this processor (and the system, which must save the
// wider registers) runs.
BitKernel widest() {
    for (BitKernel k : {BitKernel::Avx512, BitKernel::Avx2})
        if (kernelRuns(k)) return k;
    return BitKernel::Portable;
}

}  // namespace

bool kernelRuns(BitKernel kernel) {
    __builtin_cpu_init();
    switch (kernel) {
        case BitKernel::Avx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vpopcntdq");
        case BitKernel::Avx2:
            return __builtin_cpu_supports("avx2");
        default:
            return true;
    }
}

int combineAndCount(unsigned int* a, const unsigned int* b, int n, BitOp op) {
    static const BitKernel kernel = widest();
    return kernelFor(kernel, op)(a, b, n);
}

int combineAndCount(unsigned int* a, const unsigned int* b, int n, BitOp op, BitKernel kernel) {
    return kernelFor(kernel, op)(a, b, n);
}

}  // namespace detail
}  // namespace qxUtil
