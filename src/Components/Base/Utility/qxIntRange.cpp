#include "Components/Base/Utility/qxIntRange.h"

#include <limits>

namespace qxUtil {

int ceilPowerOfTwo(int n) {
    if (n < 2) return 1;
    unsigned v = static_cast<unsigned>(n - 1);
    v |= v >> 1;
    v |= v >> 2;
    v |= v >> 4;
    v |= v >> 8;
    v |= v >> 16;
    // Every bit below bit 31 set: the next power would not fit.
    if (v == 0x7FFFFFFFu) return 0x7FFFFFFF;
    return static_cast<int>(v + 1);
}

bool isPowerOfTwo(int n) {
    return n == ceilPowerOfTwo(n);
}

int roundPowerOfTwo(int n) {
    if (n < 2) return 1;
    const int c = ceilPowerOfTwo(n);
    return c - n > n - c / 2 ? c / 2 : c;
}

namespace {

// Millimetres per unit, in the order of LinearUnits::System, and their
// reciprocals.
constexpr double kMillimeters[] = {25.4, 304.8, 914.4, 1609344.0, 1.0, 10.0, 1000.0, 1000000.0};
constexpr double kPerMillimeter[] = {1.0 / 25.4, 1.0 / 304.8, 1.0 / 914.4,  1.0 / 1609344.0,
                                     1.0 / 1.0,  1.0 / 10.0,  1.0 / 1000.0, 1.0 / 1000000.0};
constexpr int kUnits = sizeof kMillimeters / sizeof kMillimeters[0];

}  // namespace

double LinearUnits::convert(double value, System from, System to) {
    const int f = static_cast<int>(from), t = static_cast<int>(to);
    if (f < 0 || f >= kUnits || t < 0 || t >= kUnits)
        return std::numeric_limits<double>::quiet_NaN();
    return value * kMillimeters[f] * kPerMillimeter[t];
}

}  // namespace qxUtil
