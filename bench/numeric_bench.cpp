// Bit fields against std::vector<bool> and std::bitset, on 10^6 bits:
//
//     bits_count/bit/<qx|vector_bool|bitset>/1000000
//         the number of set bits of a half-set field: numBitsSet against
//         std::count and bitset::count
//     bits_set_random/bit/<...>/1000000
//         65,536 bits at random positions set or cleared at random (the
//         running count kept up on our side)
//     bits_test_random/bit/<...>/1000000
//         65,536 bits at random positions read and counted
//     bits_or/bit/<...>/1000000
//         one field ORed into another (and the result's set bits counted
//         again on our side), against std::transform with logical_or and
//         bitset's |=
//
// The positions and values are drawn once, the same for every side.

#include "Components/Base/Utility/qxBitField.h"

#include "bench_register.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <bitset>
#include <functional>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int kBits = 1000000;
constexpr int kTouches = 1 << 16;
using Bits = std::bitset<kBits>;

// The bits of the two fields, and the positions and values of the random
// touches.
struct Data {
    std::vector<bool> a, b;
    std::vector<int> where;
    std::vector<bool> value;
    Data() : a(kBits), b(kBits), value(kTouches) {
        std::mt19937 rng(48);
        for (int i = 0; i < kBits; ++i) {
            a[i] = rng() & 1;
            b[i] = rng() & 1;
        }
        where.resize(kTouches);
        for (int i = 0; i < kTouches; ++i) {
            where[i] = static_cast<int>(rng() % kBits);
            value[i] = rng() & 1;
        }
    }
};

const Data& data() {
    static const Data d;
    return d;
}

qxUtil::BitField makeQx(const std::vector<bool>& bits) {
    qxUtil::BitField f(kBits);
    for (int i = 0; i < kBits; ++i)
        if (bits[i]) f.setBit(i, true);
    return f;
}

// std::bitset of 10^6 bits is 125 kB: on the heap, not the stack.
std::unique_ptr<Bits> makeBitset(const std::vector<bool>& bits) {
    auto s = std::make_unique<Bits>();
    for (int i = 0; i < kBits; ++i) (*s)[i] = bits[i];
    return s;
}

// The touch values as plain bytes, so that reading them costs every side
// the same.
const std::vector<unsigned char>& touchValues() {
    static const std::vector<unsigned char> v(data().value.begin(), data().value.end());
    return v;
}

void countQx(benchmark::State& state) {
    const qxUtil::BitField f = makeQx(data().a);
    for (auto _ : state) {
        benchmark::DoNotOptimize(&f);
        benchmark::DoNotOptimize(f.numBitsSet());
    }
}

void countVector(benchmark::State& state) {
    const std::vector<bool> v = data().a;
    for (auto _ : state) {
        benchmark::DoNotOptimize(&v);
        benchmark::DoNotOptimize(std::count(v.begin(), v.end(), true));
    }
}

void countBitset(benchmark::State& state) {
    const auto s = makeBitset(data().a);
    for (auto _ : state) {
        benchmark::DoNotOptimize(s.get());
        benchmark::DoNotOptimize(s->count());
    }
}

void setQx(benchmark::State& state) {
    qxUtil::BitField f = makeQx(data().a);
    const int* where = data().where.data();
    const unsigned char* value = touchValues().data();
    for (auto _ : state) {
        for (int i = 0; i < kTouches; ++i) f.setBit(where[i], value[i]);
        benchmark::DoNotOptimize(f.numBitsSet());
    }
}

void setVector(benchmark::State& state) {
    std::vector<bool> v = data().a;
    const int* where = data().where.data();
    const unsigned char* value = touchValues().data();
    for (auto _ : state) {
        for (int i = 0; i < kTouches; ++i) v[where[i]] = value[i];
        benchmark::ClobberMemory();
    }
}

void setBitset(benchmark::State& state) {
    const auto s = makeBitset(data().a);
    const int* where = data().where.data();
    const unsigned char* value = touchValues().data();
    for (auto _ : state) {
        for (int i = 0; i < kTouches; ++i) (*s)[where[i]] = value[i];
        benchmark::ClobberMemory();
    }
}

void testQx(benchmark::State& state) {
    const qxUtil::BitField f = makeQx(data().a);
    const int* where = data().where.data();
    for (auto _ : state) {
        int n = 0;
        for (int i = 0; i < kTouches; ++i) n += f.testBit(where[i]);
        benchmark::DoNotOptimize(n);
    }
}

void testVector(benchmark::State& state) {
    const std::vector<bool> v = data().a;
    const int* where = data().where.data();
    for (auto _ : state) {
        int n = 0;
        for (int i = 0; i < kTouches; ++i) n += v[where[i]];
        benchmark::DoNotOptimize(n);
    }
}

void testBitset(benchmark::State& state) {
    const auto s = makeBitset(data().a);
    const int* where = data().where.data();
    for (auto _ : state) {
        int n = 0;
        for (int i = 0; i < kTouches; ++i) n += (*s)[where[i]];
        benchmark::DoNotOptimize(n);
    }
}

void orQx(benchmark::State& state) {
    qxUtil::BitField a = makeQx(data().a);
    const qxUtil::BitField b = makeQx(data().b);
    for (auto _ : state) {
        a |= b;
        benchmark::DoNotOptimize(a.numBitsSet());
    }
}

void orVector(benchmark::State& state) {
    std::vector<bool> a = data().a;
    const std::vector<bool> b = data().b;
    for (auto _ : state) {
        std::transform(a.begin(), a.end(), b.begin(), a.begin(), std::logical_or<bool>());
        benchmark::ClobberMemory();
    }
}

void orBitset(benchmark::State& state) {
    const auto a = makeBitset(data().a);
    const auto b = makeBitset(data().b);
    for (auto _ : state) {
        *a |= *b;
        benchmark::ClobberMemory();
    }
}

const bool registered = [] {
    using qxbench::registerSides;
    registerSides("bits_count", "bit",
                  {{"qx", &countQx}, {"vector_bool", &countVector}, {"bitset", &countBitset}},
                  {kBits});
    registerSides("bits_set_random", "bit",
                  {{"qx", &setQx}, {"vector_bool", &setVector}, {"bitset", &setBitset}}, {kBits});
    registerSides("bits_test_random", "bit",
                  {{"qx", &testQx}, {"vector_bool", &testVector}, {"bitset", &testBitset}},
                  {kBits});
    registerSides("bits_or", "bit",
                  {{"qx", &orQx}, {"vector_bool", &orVector}, {"bitset", &orBitset}}, {kBits});
    return true;
}();

}  // namespace
