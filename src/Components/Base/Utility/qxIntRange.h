// Integer ranges in one and two dimensions, power-of-two rounding and
// length-unit conversion.
//
//     qxUtil::IntRange1d r(5, 3);        // 5, 6, 7
//     r.max();                           // 7
//     r.wrap(8);                         // 5: back to the start
//     qxUtil::LinearUnits::convert(1.0, qxUtil::LinearUnits::Feet,
//                                  qxUtil::LinearUnits::Inches);   // 12
#ifndef QXBASE_COMPONENTS_BASE_UTILITY_QXINTRANGE_H
#define QXBASE_COMPONENTS_BASE_UTILITY_QXINTRANGE_H

#include "qxDefs.h"

namespace qxUtil {

// A half-open range of integers: start, start + 1, ..., start + length - 1.
class IntRange1d {
public:
    IntRange1d() : start(0), length(0) {}
    IntRange1d(int s, int l) : start(s), length(l) {}

    void set(int s, int l) {
        start = s;
        length = l;
    }
    // Both ends included: length max - min + 1.
    void setFromMinMax(int lo, int hi) {
        start = lo;
        length = hi - lo + 1;
    }
    int min() const { return start; }
    int max() const { return start + length - 1; }
    bool contains(int x) const { return start <= x && x < start + length; }
    // Below the range: its start; above: its last value.
    int clamp(int x) const { return x < start ? start : (x < max() ? x : max()); }
    // The value of the range congruent to x modulo the length, for every
    // x >= start - length; the range must not be empty.
    int wrap(int x) const {
        // 64 bits inside, so that (q + 1) * length cannot overflow.
        const long long v = static_cast<long long>(x) - start;
        const long long q = v / length;
        return static_cast<int>(start + ((q + 1) * length + v) % length);
    }
    // Grows to cover other too (and whatever lies between them).
    void include(const IntRange1d& other) {
        const int end = start + length > other.start + other.length ? start + length
                                                                    : other.start + other.length;
        if (other.start < start) start = other.start;
        length = end - start;
    }
    // True when either range contains the other's start.
    bool overlap(const IntRange1d& other) const {
        return other.contains(start) || contains(other.start);
    }

    int start;
    int length;
};

// A rectangle of integers: dimension 0 is x, dimension 1 is y.
class IntRange2d {
public:
    IntRange2d() : startX(0), startY(0), lengthX(0), lengthY(0) {}
    IntRange2d(int sx, int sy, int lx, int ly) : startX(sx), startY(sy), lengthX(lx), lengthY(ly) {}

    void set(int sx, int sy, int lx, int ly) {
        startX = sx;
        startY = sy;
        lengthX = lx;
        lengthY = ly;
    }
    // The range of one dimension, a copy.
    IntRange1d operator[](int dim) const {
        return dim == 0 ? IntRange1d(startX, lengthX) : IntRange1d(startY, lengthY);
    }
    int min(int dim) const { return (*this)[dim].min(); }
    int max(int dim) const { return (*this)[dim].max(); }
    bool contains(int dim, int x) const { return (*this)[dim].contains(x); }
    int clamp(int dim, int x) const { return (*this)[dim].clamp(x); }
    int wrap(int dim, int x) const { return (*this)[dim].wrap(x); }
    // Each axis as IntRange1d::include does it.
    void include(const IntRange2d& other) {
        IntRange1d x(startX, lengthX), y(startY, lengthY);
        x.include(other[0]);
        y.include(other[1]);
        set(x.start, y.start, x.length, y.length);
    }
    int area() const { return lengthX * lengthY; }

    bool operator==(const IntRange2d& o) const {
        return startX == o.startX && startY == o.startY && lengthX == o.lengthX &&
               lengthY == o.lengthY;
    }
    bool operator!=(const IntRange2d& o) const { return !(*this == o); }

    int startX;
    int startY;
    int lengthX;
    int lengthY;
};

// The smallest power of two not below n: 1 for n < 2, 8 for 5 and for 8.
// Above 2^30 there is none in an int: 0x7FFFFFFF instead.
QX_API int ceilPowerOfTwo(int n);
// The nearer of the powers of two around n, a tie rounding up: 5 gives 4, 6
// and 7 give 8; 1 for n < 2.
QX_API int roundPowerOfTwo(int n);
// n == ceilPowerOfTwo(n): false for 0 and negative numbers. 0x7FFFFFFF, the
// stand-in above 2^30, counts as one too.
QX_API bool isPowerOfTwo(int n);

class QX_API LinearUnits {
public:
    enum System { Inches, Feet, Yards, Miles, Millimeters, Centimeters, Meters, Kilometers };
    // value in from's units, in to's. A unit outside the enumeration gives
    // NaN.
    static double convert(double value, System from, System to);
};

}  // namespace qxUtil

#endif
