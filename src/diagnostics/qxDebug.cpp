#include "diagnostics/qxDebug.h"

#include "os/app/qxAppMain.h"

#include <cstdarg>
#include <initializer_list>

namespace qxOS {

namespace {

AppOutputStream& firstStream() {
    return AppOutput::getInstance();
}

// The first value of every trace line.
double sinceStart() {
    return AppMain::getInstance().getElapsed();
}

}  // namespace

// --- DebugChannel ---------------------------------------------------------------

bool DebugChannel::s_everyChannel = false;

void DebugChannel::enableEveryChannel(bool on) {
    s_everyChannel = on;
}

void DebugChannel::print(int level, const char* fmt, ...) const {
    if (!enabled()) return;
    va_list args;
    va_start(args, fmt);
    firstStream().printArg(level, fmt, args);
    va_end(args);
}

void DebugChannel::print(const char* fmt, ...) const {
    if (!enabled()) return;
    va_list args;
    va_start(args, fmt);
    firstStream().printArg(fmt, args);
    va_end(args);
}

void DebugChannel::increaseIndentLevel() const {
    firstStream().increaseIndentLevel();
}

void DebugChannel::decreaseIndentLevel() const {
    firstStream().decreaseIndentLevel();
}

DebugChannel& DebugChannel::getLibraryChannel() {
    // Built on first use; the library's start-up makes that its load.
    static DebugChannel s_channel;
    return s_channel;
}

DebugChannelTab::DebugChannelTab(const DebugChannel& channel, int level)
    : m_channel(channel), m_active(false) {
    if (channel.enabled() && firstStream().getLevel() >= level) {
        channel.increaseIndentLevel();
        m_active = true;
    }
}

DebugChannelTab::~DebugChannelTab() {
    if (m_active) m_channel.decreaseIndentLevel();
}

// --- DebugTrace -----------------------------------------------------------------

DebugTrace::DebugTrace(const char* name, int level) {
    init(name, level);
    DebugTraceManager::getInstance().registerTrace(this);
}

DebugTrace::DebugTrace(const char* name, int level, const char* category) {
    init(name, level);
    DebugTraceManager::getInstance().registerTrace(this, category);
}

DebugTrace::DebugTrace(const char* name, int level, const char* category,
                       const char* otherCategory) {
    init(name, level);
    DebugTraceManager::getInstance().registerTrace(this, category, otherCategory);
}

DebugTrace::~DebugTrace() = default;

void DebugTrace::init(const char* name, int level) {
    m_total = 0.0;
    m_name = name;
    m_level = level;
    m_calls = 0;
    m_enabled = false;
}

void DebugTrace::start(const char* text) {
    if (!m_enabled) return;
    ++m_calls;
    AppOutputStream& out = firstStream();
    out(QX_FORMAT("%9.4f Start trace: %s %s\n"), sinceStart(), m_name, text ? text : "");
    out.increaseIndentLevel();
    // Started last, so that the printing above is not part of the run.
    m_runs.emplace_back().start();
}

double DebugTrace::stop() {
    if (!m_enabled || m_runs.empty()) return 0.0;
    const double seconds = m_runs.back().stop();
    m_runs.pop_back();
    m_total += seconds;
    AppOutputStream& out = firstStream();
    out.decreaseIndentLevel();
    out(QX_FORMAT("%9.4f End trace: %s elapsed %.4f total %.4f calls %d\n"), sinceStart(), m_name,
        seconds, m_total, m_calls);
    return seconds;
}

double DebugTrace::tick(const char* text) {
    if (!m_enabled) return 0.0;
    const double seconds = m_runs.empty() ? 0.0 : m_runs.back().check();
    if (text)
        firstStream()(QX_FORMAT("%9.4f tick trace: %s %s now %.4f\n"), sinceStart(), m_name, text,
                      seconds);
    else
        firstStream()(QX_FORMAT("%9.4f tick trace: %s now %.4f\n"), sinceStart(), m_name, seconds);
    return seconds;
}

void DebugTrace::print(const char* text) {
    if (!text || !m_enabled) return;
    firstStream()(QX_FORMAT("%9.4f trace: %s.  %s\n"), sinceStart(), m_name, text);
}

// --- DebugTraceManager ----------------------------------------------------------

DebugTraceManager& DebugTraceManager::getInstance() {
    static DebugTraceManager s_manager;
    return s_manager;
}

DebugTraceManager::DebugTraceManager() : m_allCategories(false) {}

DebugTraceManager::~DebugTraceManager() = default;

void DebugTraceManager::enableAllCategories() {
    m_allCategories = true;
}

void DebugTraceManager::enableCategory(const qxString::CString& category) {
    m_enabledCategories.insert(category);
}

// Categories restrict only once one has been enabled; a null one never
// matches.
bool DebugTraceManager::categoryTest(const char* category, const char* otherCategory) const {
    if (m_allCategories || m_enabledCategories.empty()) return true;
    for (const char* c : {category, otherCategory})
        if (c && m_enabledCategories.contains(qxString::CString(c))) return true;
    return false;
}

void DebugTraceManager::registerTrace(DebugTrace* trace) {
    initializeTrace(trace, true);
}

void DebugTraceManager::registerTrace(DebugTrace* trace, const char* category) {
    initializeTrace(trace, categoryTest(category, nullptr));
}

void DebugTraceManager::registerTrace(DebugTrace* trace, const char* category,
                                      const char* otherCategory) {
    initializeTrace(trace, categoryTest(category, otherCategory));
}

void DebugTraceManager::initializeTrace(DebugTrace* trace, bool categoryEnabled) {
    m_traceNames.insert(qxString::CString(trace->m_name));
    trace->setEnabled(categoryEnabled && firstStream().getLevel() >= trace->m_level);
}

// --- DebugContextTime -----------------------------------------------------------

DebugContextTime& DebugContextTime::getInstance() {
    static DebugContextTime s_context;
    return s_context;
}

DebugContextTime::DebugContextTime() : m_name(nullptr), m_depth(0), m_active(false) {}

DebugContextTime::~DebugContextTime() = default;

void DebugContextTime::clearAndStart(const char* name) {
    m_name = name;
    m_depth = 0;
    m_active = true;
    m_scopes.clear();
    m_total.start();
    m_outside.start();
}

bool DebugContextTime::push() {
    if (!m_active) return false;
    if (m_depth++ == 0) m_outside.stop();
    return true;
}

void DebugContextTime::pop(const char* name, double seconds) {
    if (!m_active) return;
    auto found = m_scopes.try_emplace(name, seconds);
    if (!found.second) found.first->second += seconds;
    if (--m_depth == 0) m_outside.start();
}

void DebugContextTime::stopAndReport(DebugChannel* channel) {
    m_active = false;
    const float total = static_cast<float>(m_total.clear());
    const float outside = static_cast<float>(m_outside.clear());
    // An operation that took no measurable time reports every share as 0%
    // rather than dividing by zero.
    const float factor = total > 0.0f ? 100.0f / total : 0.0f;
    if (!channel) {
        channel = &DebugChannel::getLibraryChannel();
        channel->enable(true);
    }
    channel->print(QX_FORMAT("Operation %.2fsec %s:\n"), static_cast<double>(total), m_name);
    for (const auto& scope : m_scopes)
        channel->print(QX_FORMAT("  %.0f%% %s\n"),
                       static_cast<double>(static_cast<float>(scope.second) * factor), scope.first);
    channel->print(QX_FORMAT("  %.0f%% OTHER\n"), static_cast<double>(factor * outside));
}

// --- DebugScopeTime -------------------------------------------------------------

DebugScopeTime::DebugScopeTime(const char* name) : m_name(nullptr) {
    if (name && DebugContextTime::getInstance().push()) {
        m_name = name;
        m_watch.start();
    }
}

DebugScopeTime::~DebugScopeTime() {
    if (m_name) DebugContextTime::getInstance().pop(m_name, m_watch.clear());
}

}  // namespace qxOS
