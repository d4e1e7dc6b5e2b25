#include "diagnostics/qxAppOutput.h"

#include "containers/qxStackBuffer.h"
#include "os/sys/qxSysFile.h"
#include "string/qxFormat.h"
#include "string/qxFormatEngine.h"

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <stdexcept>

namespace qxOS {

struct AppOutputStreamState {
    std::FILE* file = nullptr;
    int level = 0;
    int indentLevel = 0;
    qxString::CString indent;
    bool ownsFile = false;
    bool buffered;
    bool atLineStart = true;

    explicit AppOutputStreamState(bool b) : buffered(b) {}
};

namespace {

// Text built on the stack while it is short.
using TextBuffer = qx::StackBuffer<char, 512>;

// Formats with the library's engine; false when the format cannot be
// expanded or memory runs out.
bool formatText(TextBuffer& out, const char* fmt, va_list args) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        qx::format::Args a;
        va_copy(a.ap, args);
        const qx::format::Result r = qx::format::formatChars(out.data(), out.capacity(), fmt, a);
        va_end(a.ap);
        if (!r.ok) return false;
        if (r.length < out.capacity()) {
            out.setSize(r.length);
            return true;
        }
        if (!out.reserve(r.length + 1)) return false;
    }
    return false;
}

}  // namespace

AppOutputStream::AppOutputStream(bool buffered) : m_state(new AppOutputStreamState(buffered)) {}

AppOutputStream::~AppOutputStream() {
    close();
    delete m_state;
}

bool AppOutputStream::open(const qxString::IString& path, bool append) {
    m_state->atLineStart = true;
    close();
    if (path.length() == 1 && path[0] == '-') {
        m_state->file = stdout;
        m_state->ownsFile = false;
    } else {
        int error = 0;
        m_state->file = qx::sys::openStdioFile(path.asWChar(), append ? "a" : "w", &error);
        m_state->ownsFile = m_state->file != nullptr;
    }
    return m_state->file != nullptr;
}

void AppOutputStream::close() {
    if (m_state->ownsFile && m_state->file) std::fclose(m_state->file);
    m_state->file = nullptr;
    m_state->ownsFile = false;
}

bool AppOutputStream::ok() const {
    return m_state->file != nullptr;
}

std::FILE* AppOutputStream::getFile() {
    return m_state->file;
}

void AppOutputStream::print(const char* fmt, va_list args) const {
    AppOutputStreamState& st = *m_state;
    if (!st.file || !fmt) return;
    bool atLineStart = st.atLineStart;
    TextBuffer indented;
    const char* format = fmt;
    if (st.indentLevel == 0) {
        if (*fmt) atLineStart = fmt[std::strlen(fmt) - 1] == '\n';
    } else {
        // The indent goes into the format, in front of each line of it.
        const char* line = fmt;
        bool built = true;
        while (*line && built) {
            const char* nl = std::strchr(line, '\n');
            const size_t n = nl ? static_cast<size_t>(nl - line) + 1 : std::strlen(line);
            if (atLineStart) built = indented.append(st.indent.data(), st.indent.length());
            built = built && indented.append(line, n);
            atLineStart = nl != nullptr;
            line += n;
        }
        if (!built) return;
        format = indented.size() ? indented.data() : "";
    }
    TextBuffer text;
    if (!formatText(text, format, args)) return;  // nothing half-printed
    st.atLineStart = atLineStart;
    std::fwrite(text.data(), 1, text.size(), st.file);
    if (!st.buffered) std::fflush(st.file);
}

void AppOutputStream::printArg(int level, const char* fmt, va_list args) const {
    if (level <= m_state->level) print(fmt, args);
}

void AppOutputStream::printArg(const char* fmt, va_list args) const {
    print(fmt, args);
}

void AppOutputStream::printf(int level, const char* fmt, ...) const {
    va_list args;
    va_start(args, fmt);
    printArg(level, fmt, args);
    va_end(args);
}

void AppOutputStream::operator()(int level, const char* fmt, ...) const {
    va_list args;
    va_start(args, fmt);
    printArg(level, fmt, args);
    va_end(args);
}

void AppOutputStream::printf(const char* fmt, ...) const {
    va_list args;
    va_start(args, fmt);
    print(fmt, args);
    va_end(args);
}

void AppOutputStream::operator()(const char* fmt, ...) const {
    va_list args;
    va_start(args, fmt);
    print(fmt, args);
    va_end(args);
}

void AppOutputStream::setLevel(int level) {
    if (m_state->file) m_state->level = level;
}

int AppOutputStream::getLevel() const {
    return m_state->level;
}

int AppOutputStream::setIndentLevel(int n) {
    AppOutputStreamState& st = *m_state;
    const int previous = st.indentLevel;
    if (!st.file) return previous;
    st.indentLevel = n < 0 ? 0 : n;
    st.indent = qxString::CString(static_cast<unsigned>(st.indentLevel), ' ');
    return previous;
}

int AppOutputStream::increaseIndentLevel() {
    return setIndentLevel(m_state->indentLevel + 4);
}

int AppOutputStream::decreaseIndentLevel() {
    return setIndentLevel(m_state->indentLevel - 4);
}

int AppOutputStream::getIndentLevel() const {
    return m_state->indentLevel;
}

void AppOutputStream::timestamp() const {
    const std::time_t now = std::time(nullptr);
    const char* text = std::ctime(&now);  // ends in a line break
    printf("Timestamp: %s", text ? text : "\n");
}

const char* AppOutputStream::elapsed(double seconds) const {
    if (!m_state->file) return "";
    // One text for every stream; the next call overwrites it.
    static qxString::CString s_text;
    // The test against 60 comes before rounding: 59.9996 shows "60.000".
    // Anything that is no count of seconds (NaN, infinities) keeps the
    // seconds form; minutes are counted in 64 bits.
    if (seconds < 60.0 || !(seconds <= 1e15)) {
        s_text.format("%.3f seconds", seconds);
    } else {
        const long long whole = static_cast<long long>(seconds);
        s_text.format("%02lld:%02d minutes", whole / 60, static_cast<int>(whole % 60));
    }
    return s_text.c_str();
}

AppOutput::AppOutput() : AppOutputStream(false), m_second(false), m_third(false), m_fourth(false) {}

AppOutput::~AppOutput() = default;

AppOutput& AppOutput::getInstance() {
    // Built on first use, so static constructors anywhere may print; the
    // library's start-up makes that first use happen at load.
    static AppOutput s_output;
    return s_output;
}

AppOutputStream& AppOutput::stream(int index) {
    switch (index) {
        case 0:
            return *this;
        case 1:
            return m_second;
        case 2:
            return m_third;
        case 3:
            return m_fourth;
        default:
            throw std::out_of_range("qxOS::AppOutput::stream: no such stream");
    }
}

void AppOutput::printBoth(const int* level, const char* fmt, va_list args) const {
    // Each stream reads the arguments from its own copy of the list.
    const AppOutputStream* streams[2] = {this, &m_second};
    for (const AppOutputStream* s : streams) {
        va_list copy;
        va_copy(copy, args);
        if (level)
            s->printArg(*level, fmt, copy);
        else
            s->printArg(fmt, copy);
        va_end(copy);
    }
}

void AppOutput::info(int level, const char* fmt, ...) const {
    va_list args;
    va_start(args, fmt);
    printBoth(&level, fmt, args);
    va_end(args);
}

void AppOutput::info(const char* fmt, ...) const {
    va_list args;
    va_start(args, fmt);
    printBoth(nullptr, fmt, args);
    va_end(args);
}

void AppOutput::error(int level, const char* fmt, ...) const {
    va_list args;
    va_start(args, fmt);
    printBoth(&level, fmt, args);
    va_end(args);
}

void AppOutput::error(const char* fmt, ...) const {
    va_list args;
    va_start(args, fmt);
    printBoth(nullptr, fmt, args);
    va_end(args);
}

void AppOutput::setLevel(int level) {
    AppOutputStream::setLevel(level);
    m_second.setLevel(level);
    m_third.setLevel(level);
    m_fourth.setLevel(level);
}

AppOutputStatusTab::AppOutputStatusTab(int level) : m_active(false) {
    AppOutputStream& first = AppOutput::getInstance();
    if (first.getLevel() >= level) {
        first.increaseIndentLevel();
        m_active = true;
    }
}

AppOutputStatusTab::~AppOutputStatusTab() {
    if (m_active) AppOutput::getInstance().decreaseIndentLevel();
}

}  // namespace qxOS

extern "C" {

void qxUtilVPrint(const char* fmt, va_list args) {
    char buf[2048];
    buf[0] = '\0';
    va_list copy;
    va_copy(copy, args);
    OL_vsnprintf(buf, sizeof buf, fmt, copy);  // a text cut at the end is still printed
    va_end(copy);
    qx::sys::writeStdout(buf, std::strlen(buf));
}

void qxUtilPrint(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    qxUtilVPrint(fmt, args);
    va_end(args);
}
}
