#include "diagnostics/qxStopWatch.h"

#include "os/sys/qxSysApp.h"

namespace qxOS {

namespace {

StopWatch::CounterFn s_counter = nullptr;
long long s_testFrequency = 1;

inline long long frequency() {
    return s_counter ? s_testFrequency : qx::sys::counterFrequency();
}

}  // namespace

void StopWatch::setCounterForTesting(CounterFn now, long long ticksPerSecond) {
    s_counter = now;
    s_testFrequency = ticksPerSecond > 0 ? ticksPerSecond : 1;
}

void StopWatch::now(CurTime& t) const {
    t.ticks = s_counter ? s_counter() : qx::sys::counterNow();
}

// Whole seconds by integer division and the rest as a fraction, so that
// large counter values keep their precision. A run shorter than a second
// (the usual case) has no whole part and needs no integer division.
double StopWatch::getDelta(const CurTime& a, const CurTime& b) const {
    const long long d = b.ticks - a.ticks;
    const long long f = frequency();
    if (d >= 0 && d < f) return static_cast<double>(d) / static_cast<double>(f);
    return static_cast<double>(d / f) + static_cast<double>(d % f) / static_cast<double>(f);
}

double StopWatch::start() {
    now(m_start);
    m_running = true;
    return m_accumulated;
}

double StopWatch::stop() {
    if (!m_running) return m_accumulated;
    CurTime end;
    now(end);
    m_running = false;
    m_accumulated += getDelta(m_start, end);
    return m_accumulated;
}

double StopWatch::check() const {
    if (!m_running) return m_accumulated;
    CurTime t;
    now(t);
    return m_accumulated + getDelta(m_start, t);
}

double StopWatch::clear() {
    const double total = stop();
    m_accumulated = 0.0;
    return total;
}

void sleep(int milliseconds) {
    qx::sys::sleepMilliseconds(milliseconds);
}

void spin(int milliseconds) {
    StopWatch watch;
    const double seconds = milliseconds / 1000.0;
    watch.start();
    while (watch.check() < seconds) {
    }
}

}  // namespace qxOS
