// qxOS::StopWatch: an accumulating stopwatch on the high-resolution
// performance counter, and the sleep and busy-wait helpers.
#ifndef QXBASE_DIAGNOSTICS_QXSTOPWATCH_H
#define QXBASE_DIAGNOSTICS_QXSTOPWATCH_H

#include "qxDefs.h"

namespace qxOS {

// A value: copies carry the accumulated time and a run in progress.
class QX_API StopWatch {
public:
    StopWatch() : m_accumulated(0.0), m_running(false), m_start{0} {}

    // Begins a run (restarting one in progress, whose time so far is
    // dropped); returns the accumulated seconds.
    double start();
    // Ends the run and adds it; returns the accumulated seconds.
    double stop();
    // Accumulated seconds, with the current run while one is in progress.
    double check() const;
    // Returns the total (ending a run first) and resets to 0, not running.
    double clear();
    bool running() const { return m_running; }

    // The counter and its ticks per second, replaced for tests so that
    // timing can be checked without waiting; a null function restores the
    // system's counter and frequency. Process-wide, not for concurrent use
    // with running stopwatches.
    using CounterFn = long long (*)();
    static void setCounterForTesting(CounterFn now, long long frequency);

private:
    struct CurTime {
        long long ticks;
    };
    void now(CurTime& t) const;
    double getDelta(const CurTime& a, const CurTime& b) const;

    double m_accumulated;
    bool m_running;
    CurTime m_start;
};

// Suspends the calling thread.
QX_API void sleep(int milliseconds);
// Busy-waits on a stopwatch until milliseconds / 1000 seconds have passed.
QX_API void spin(int milliseconds);

}  // namespace qxOS

#endif
