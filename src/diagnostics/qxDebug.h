// Developer diagnostics on the first application output stream: switchable
// debug channels, timed trace points, and a process-wide profile of one
// operation by named scopes. Nothing shows until the host opens that stream.
#ifndef QXBASE_DIAGNOSTICS_QXDEBUG_H
#define QXBASE_DIAGNOSTICS_QXDEBUG_H

#include "containers/qxHashTable.h"
#include "containers/qxTree.h"
#include "containers/qxVector.h"
#include "diagnostics/qxAppOutput.h"
#include "diagnostics/qxStopWatch.h"
#include "qxDefs.h"
#include "string/qxFormat.h"
#include "string/qxString.h"

#include <functional>
#include <type_traits>
#include <utility>

namespace qxOS {

// An on/off switch for debug prints; enableEveryChannel switches every
// channel on at once. A channel prints on the first AppOutput stream.
class QX_API DebugChannel {
public:
    DebugChannel() : m_enabled(false) {}

    void enable(bool on) { m_enabled = on; }
    static void enableEveryChannel(bool on);
    bool enabled() const { return m_enabled || s_everyChannel; }

    // With a level, the stream's own level test applies as well.
    void print(int level, const char* fmt, ...) const;
    void print(const char* fmt, ...) const;

    // The checked forms (qxFormat.h). A switched-off channel costs the test
    // and nothing more: the format is not looked at.
    template <class F, class... A, std::enable_if_t<qx::format::isFormat<F, char>, int> = 0>
    void print(int level, F&& fmt, A&&... args) const {
        qx::format::checkLiteral<false, F, A...>();
        if (!enabled()) return;
        using Plain = void (DebugChannel::*)(int, const char*, ...) const;
        (this->*static_cast<Plain>(&DebugChannel::print))(
            level, qx::format::formatText(fmt), qx::format::passArg(std::forward<A>(args))...);
    }
    template <class F, class... A, std::enable_if_t<qx::format::isFormat<F, char>, int> = 0>
    void print(F&& fmt, A&&... args) const {
        qx::format::checkLiteral<false, F, A...>();
        if (!enabled()) return;
        using Plain = void (DebugChannel::*)(const char*, ...) const;
        (this->*static_cast<Plain>(&DebugChannel::print))(
            qx::format::formatText(fmt), qx::format::passArg(std::forward<A>(args))...);
    }

    // The first stream's indentation, by 4, whether or not the channel is on.
    void increaseIndentLevel() const;
    void decreaseIndentLevel() const;

    // The library's own channel, off until someone switches it on; safe to
    // call from any static constructor.
    static DebugChannel& getLibraryChannel();
    // The same channel, bound when the library is loaded.
    static DebugChannel& s_libraryChannel;

private:
    bool m_enabled;
    static bool s_everyChannel;
};

// Indents the first stream by one step for its lifetime, when the channel is
// on and the stream's level is at least the given one.
class QX_API DebugChannelTab {
public:
    DebugChannelTab(const DebugChannel& channel, int level);
    ~DebugChannelTab();
    DebugChannelTab(const DebugChannelTab&) = delete;
    DebugChannelTab& operator=(const DebugChannelTab&) = delete;

private:
    const DebugChannel& m_channel;
    bool m_active;
};

// The run stack of a trace is a qx::vector, which moves its elements bytewise.
static_assert(std::is_trivially_copyable<StopWatch>::value && qx::is_relocatable<StopWatch>::value,
              "a running StopWatch must survive being moved by qx::vector");

// A timed trace point. Whether it prints is decided once, when it is built:
// by the first stream's level against the trace's level and by its
// categories (see DebugTraceManager). Every line starts with the seconds
// since the application object was created. start calls nest: each open
// run has its own stopwatch and indents the output by one step.
//
// Traces are meant as static objects; the name is not copied and must
// outlive the trace. A trace is an identity (registered by address), so it
// is not copied.
class QX_API DebugTrace {
public:
    DebugTrace(const char* name, int level);
    DebugTrace(const char* name, int level, const char* category);
    DebugTrace(const char* name, int level, const char* category, const char* otherCategory);
    ~DebugTrace();
    DebugTrace(const DebugTrace&) = delete;
    DebugTrace& operator=(const DebugTrace&) = delete;

    // Counts the call, prints the start line and opens a run.
    void start(const char* text = nullptr);
    // Closes the innermost run and prints its end line; its seconds, or 0.0
    // when the trace is off or no run is open.
    double stop();
    // Prints the innermost run's seconds so far (0.0 with no run open) and
    // returns them; 0.0 when the trace is off.
    double tick(const char* text = nullptr);
    // A line of text under the trace's name; nothing for null text.
    void print(const char* text);

    bool enabled() const { return m_enabled; }

private:
    friend class DebugTraceManager;
    void init(const char* name, int level);
    void setEnabled(bool on) { m_enabled = on; }

    qx::vector<StopWatch> m_runs;  // innermost last
    double m_total;
    const char* m_name;
    int m_level;
    int m_calls;
    bool m_enabled;
};

// Decides which traces print. Categories restrict only once at least one has
// been enabled, and then a trace needs one of its categories enabled;
// enableAllCategories lifts the restriction for good. Decisions are made as
// traces register, so later changes leave existing traces as they are.
// Created on first use (safely from several threads), meant afterwards for
// the main thread.
class QX_API DebugTraceManager {
public:
    static DebugTraceManager& getInstance();

    void enableAllCategories();
    // The exact text counts: no case folding.
    void enableCategory(const qxString::CString& category);

    void registerTrace(DebugTrace* trace);
    void registerTrace(DebugTrace* trace, const char* category);
    // Either category may match.
    void registerTrace(DebugTrace* trace, const char* category, const char* otherCategory);

    DebugTraceManager(const DebugTraceManager&) = delete;
    DebugTraceManager& operator=(const DebugTraceManager&) = delete;

private:
    DebugTraceManager();
    ~DebugTraceManager();
    bool categoryTest(const char* category, const char* otherCategory) const;
    void initializeTrace(DebugTrace* trace, bool categoryEnabled);

    bool m_allCategories;
    qx::hash_set<qxString::CString> m_enabledCategories;
    qx::hash_set<qxString::CString> m_traceNames;  // every trace registered so far
};

// A process-wide profile of one operation. Between clearAndStart and
// stopAndReport, each DebugScopeTime adds its time under its name, and the
// time spent while no scope is open is kept apart; the report gives each
// scope's share of the whole and the share outside every scope. Scopes are
// told apart by the address of their name, not its text, and reported in
// address order. Nested scopes count in every enclosing scope too, so the
// shares may add up to more than 100%.
class QX_API DebugContextTime {
public:
    static DebugContextTime& getInstance();

    void clearAndStart(const char* name);
    // Ends the profile and prints it on the channel (if it is on); a null
    // channel means the library's own, which is switched on for it.
    void stopAndReport(DebugChannel* channel = nullptr);

    // A copy is a snapshot of the profile, scopes included.
    DebugContextTime(const DebugContextTime&) = default;
    DebugContextTime& operator=(const DebugContextTime&) = default;
    ~DebugContextTime();

private:
    friend class DebugScopeTime;
    struct ByAddress {
        bool operator()(const char* a, const char* b) const {
            return std::less<const void*>()(a, b);
        }
    };

    DebugContextTime();
    bool push();
    void pop(const char* name, double seconds);

    const char* m_name;
    StopWatch m_total;
    StopWatch m_outside;
    qx::map<const char*, double, ByAddress> m_scopes;  // seconds by name
    int m_depth;
    bool m_active;
};

// Times its own lifetime into the profile under its name, if the profile is
// running when it is built; otherwise (or with a null name) it does nothing.
// The name is not copied.
class QX_API DebugScopeTime {
public:
    explicit DebugScopeTime(const char* name);
    ~DebugScopeTime();
    DebugScopeTime(const DebugScopeTime&) = delete;
    DebugScopeTime& operator=(const DebugScopeTime&) = delete;

private:
    const char* m_name;  // null when not counted
    StopWatch m_watch;
};

}  // namespace qxOS

#endif
