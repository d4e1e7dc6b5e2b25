#include "Components/Base/Utility/qxInterval.h"

#include "diagnostics/qxError.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace qxUtil {

namespace {

// The low 32 bits as a signed value, without relying on the conversion.
int wrap(uint32_t v) {
    return v <= 0x7FFFFFFFu ? static_cast<int>(v) : -static_cast<int>(~v) - 1;
}

}  // namespace

Interval::Interval(double s) : m_seconds(0), m_microseconds(0) {
    if (std::isnan(s)) return;
    const double m = std::fabs(s);
    if (m >= 2147483648.0) {
        m_seconds = 2147483647;
        return;
    }
    const double whole = std::floor(m);
    m_seconds = static_cast<int>(whole);
    m_microseconds = static_cast<int>((m - whole) * 1000000.0);
    if (m_microseconds > 999999) m_microseconds = 999999;
}

Interval::Interval(const char* text) : m_seconds(0), m_microseconds(0) {
    const char* p = text ? text : "";
    if (*p < '0' || *p > '9') throw Error(1, "Bad time string");
    uint32_t n = 0;
    for (; *p >= '0' && *p <= '9'; ++p) n = n * 10u + static_cast<uint32_t>(*p - '0');
    if (std::strcmp(p, "us") == 0) {
        m_seconds = static_cast<int>(n / 1000000u);
        m_microseconds = static_cast<int>(n % 1000000u);
    } else if (std::strcmp(p, "ms") == 0) {
        m_seconds = static_cast<int>(n / 1000u);
        m_microseconds = static_cast<int>(n % 1000u * 1000u);
    } else if (std::strcmp(p, "s") == 0) {
        m_seconds = wrap(n);
    } else if (std::strcmp(p, "min") == 0) {
        m_seconds = wrap(n * 60u);
    } else if (std::strcmp(p, "h") == 0) {
        m_seconds = wrap(n * 3600u);
    } else {
        throw Error(1, "Bad time string");
    }
}

}  // namespace qxUtil
