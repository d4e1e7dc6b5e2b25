// qxUtil::Interval: a span of time in whole seconds and microseconds, the
// timeout of the socket waits.
#ifndef QXBASE_COMPONENTS_BASE_UTILITY_QXINTERVAL_H
#define QXBASE_COMPONENTS_BASE_UTILITY_QXINTERVAL_H

#include "qxDefs.h"

namespace qxUtil {

// As a timeout, a zero interval means no limit.
class QX_API Interval {
public:
    Interval() : m_seconds(0), m_microseconds(0) {}
    // The magnitude of s: its whole seconds, and the fraction in whole
    // microseconds (truncated). Beyond the 32-bit range the seconds stop at
    // 2147483647; a NaN is zero.
    explicit Interval(double s);
    // Decimal digits followed directly by a unit and nothing else: "us",
    // "ms", "s", "min" or "h" ("250ms", "2min"). The digits are read in
    // 32-bit unsigned arithmetic, which wraps, as does the product for "min"
    // and "h", and the seconds keep the low 32 bits (so a huge count of
    // seconds can come out negative, a wait that does not wait). Anything
    // else throws Error(1, "Bad time string").
    explicit Interval(const char* text);

    int seconds() const { return m_seconds; }
    int microseconds() const { return m_microseconds; }
    bool isZero() const { return m_seconds == 0 && m_microseconds == 0; }
    double dseconds() const { return m_seconds + m_microseconds / 1000000.0; }

    bool operator==(const Interval& o) const {
        return m_seconds == o.m_seconds && m_microseconds == o.m_microseconds;
    }
    bool operator!=(const Interval& o) const { return !(*this == o); }
    bool operator<(const Interval& o) const {
        return m_seconds < o.m_seconds ||
               (m_seconds == o.m_seconds && m_microseconds < o.m_microseconds);
    }

private:
    int m_seconds;
    int m_microseconds;
};

}  // namespace qxUtil

#endif
