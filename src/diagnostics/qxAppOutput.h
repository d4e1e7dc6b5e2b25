// Application output: four process-wide text streams with a verbosity
// level and an indentation, each writing to stdout or to a file once the
// host opens it, and plain console printing for C callers.
#ifndef QXBASE_DIAGNOSTICS_QXAPPOUTPUT_H
#define QXBASE_DIAGNOSTICS_QXAPPOUTPUT_H

#include "qxDefs.h"
#include "string/qxString.h"

#include <cstdarg>
#include <cstdio>

namespace qxOS {

struct AppOutputStreamState;

// Prints nothing until opened. A message with a level is printed only when
// its level is at most the stream's level. Indentation is put in front of
// every line of the format (not of line breaks that arguments bring).
// Formats follow the library's conventions (%s 8-bit, %S wide); a format
// that cannot be expanded prints nothing.
class QX_API AppOutputStream {
public:
    explicit AppOutputStream(bool buffered = false);
    ~AppOutputStream();
    // One stream, one state: copies are not allowed.
    AppOutputStream(const AppOutputStream&) = delete;
    AppOutputStream& operator=(const AppOutputStream&) = delete;

    // "-" is the process's stdout (never closed by the stream); any other
    // path is opened for appending or truncated. Closes the current file
    // first. Returns whether a file is now set.
    bool open(const qxString::IString& path, bool append);
    void close();
    bool ok() const;
    std::FILE* getFile();

    void printf(int level, const char* fmt, ...) const;
    void operator()(int level, const char* fmt, ...) const;
    void printArg(int level, const char* fmt, va_list args) const;
    void printf(const char* fmt, ...) const;
    void operator()(const char* fmt, ...) const;
    void printArg(const char* fmt, va_list args) const;

    // The checked forms (qxFormat.h), chosen whenever arguments follow the
    // format, which may also be a QX_FORMAT literal.
    template <class F, class... A, std::enable_if_t<qx::format::isFormat<F, char>, int> = 0>
    void printf(int level, F&& fmt, A&&... args) const {
        qx::format::checkLiteral<false, F, A...>();
        using Plain = void (AppOutputStream::*)(int, const char*, ...) const;
        (this->*static_cast<Plain>(&AppOutputStream::printf))(
            level, qx::format::formatText(fmt), qx::format::passArg(std::forward<A>(args))...);
    }
    template <class F, class... A, std::enable_if_t<qx::format::isFormat<F, char>, int> = 0>
    void operator()(int level, F&& fmt, A&&... args) const {
        qx::format::checkLiteral<false, F, A...>();
        using Plain = void (AppOutputStream::*)(int, const char*, ...) const;
        (this->*static_cast<Plain>(&AppOutputStream::operator()))(
            level, qx::format::formatText(fmt), qx::format::passArg(std::forward<A>(args))...);
    }
    template <class F, class... A, std::enable_if_t<qx::format::isFormat<F, char>, int> = 0>
    void printf(F&& fmt, A&&... args) const {
        qx::format::checkLiteral<false, F, A...>();
        using Plain = void (AppOutputStream::*)(const char*, ...) const;
        (this->*static_cast<Plain>(&AppOutputStream::printf))(
            qx::format::formatText(fmt), qx::format::passArg(std::forward<A>(args))...);
    }
    template <class F, class... A, std::enable_if_t<qx::format::isFormat<F, char>, int> = 0>
    void operator()(F&& fmt, A&&... args) const {
        qx::format::checkLiteral<false, F, A...>();
        using Plain = void (AppOutputStream::*)(const char*, ...) const;
        (this->*static_cast<Plain>(&AppOutputStream::operator()))(
            qx::format::formatText(fmt), qx::format::passArg(std::forward<A>(args))...);
    }

    // No effect on a closed stream.
    void setLevel(int level);
    int getLevel() const;
    // On an open stream: sets the indentation (negative means 0) and returns
    // the previous one. On a closed stream: no change, returns the current.
    int setIndentLevel(int n);
    int increaseIndentLevel();  // by 4
    int decreaseIndentLevel();
    int getIndentLevel() const;

    // "Timestamp: " and the current local time, regardless of level.
    void timestamp() const;
    // "12.345 seconds" below a minute, "62:05 minutes" from there on; "" on
    // a closed stream. The text lives in one buffer shared by all streams
    // and is overwritten by the next call.
    const char* elapsed(double seconds) const;
    static const char* plural(int n) { return n == 1 ? "" : "s"; }
    static const char* aBool(bool b) { return b ? "true" : "false"; }

private:
    void print(const char* fmt, va_list args) const;

    AppOutputStreamState* m_state;
};

// The process-wide output, created when the library is loaded: four
// streams, of which this object is the first. Used as an AppOutputStream it
// is that first stream; setLevel reaches all four.
class QX_API AppOutput : public AppOutputStream {
public:
    // The singleton; safe to call from any static constructor.
    static AppOutput& getInstance();
    // The same object, bound when the library is loaded.
    static AppOutput& s_instance;

    // Stream 0 (this object) to 3; another index throws std::out_of_range.
    AppOutputStream& stream(int index);

    // On the first and then the second stream, each with its own level
    // test and indentation. error does exactly what info does.
    void info(int level, const char* fmt, ...) const;
    void info(const char* fmt, ...) const;
    void error(int level, const char* fmt, ...) const;
    void error(const char* fmt, ...) const;
    // The checked forms, as for AppOutputStream::printf.
    template <class F, class... A, std::enable_if_t<qx::format::isFormat<F, char>, int> = 0>
    void info(int level, F&& fmt, A&&... args) const {
        qx::format::checkLiteral<false, F, A...>();
        using Plain = void (AppOutput::*)(int, const char*, ...) const;
        (this->*static_cast<Plain>(&AppOutput::info))(
            level, qx::format::formatText(fmt), qx::format::passArg(std::forward<A>(args))...);
    }
    template <class F, class... A, std::enable_if_t<qx::format::isFormat<F, char>, int> = 0>
    void info(F&& fmt, A&&... args) const {
        qx::format::checkLiteral<false, F, A...>();
        using Plain = void (AppOutput::*)(const char*, ...) const;
        (this->*static_cast<Plain>(&AppOutput::info))(
            qx::format::formatText(fmt), qx::format::passArg(std::forward<A>(args))...);
    }
    template <class F, class... A, std::enable_if_t<qx::format::isFormat<F, char>, int> = 0>
    void error(int level, F&& fmt, A&&... args) const {
        info(level, std::forward<F>(fmt), std::forward<A>(args)...);
    }
    template <class F, class... A, std::enable_if_t<qx::format::isFormat<F, char>, int> = 0>
    void error(F&& fmt, A&&... args) const {
        info(std::forward<F>(fmt), std::forward<A>(args)...);
    }

    // setLevel on all four streams (only open ones change).
    void setLevel(int level);

private:
    AppOutput();
    ~AppOutput();
    void printBoth(const int* level, const char* fmt, va_list args) const;

    AppOutputStream m_second;
    AppOutputStream m_third;
    AppOutputStream m_fourth;
};

// Indents the first stream by one step (4) for its lifetime, when that
// stream's level is at least the given level.
class QX_API AppOutputStatusTab {
public:
    explicit AppOutputStatusTab(int level = 0);
    ~AppOutputStatusTab();
    AppOutputStatusTab(const AppOutputStatusTab&) = delete;
    AppOutputStatusTab& operator=(const AppOutputStatusTab& o) {
        m_active = o.m_active;
        return *this;
    }

private:
    bool m_active;
};

}  // namespace qxOS

extern "C" {
// Formats into 2048 bytes and writes the text straight to the console
// (standard output when that is redirected), bypassing AppOutput.
QX_API void qxUtilPrint(const char* fmt, ...);
QX_API void qxUtilVPrint(const char* fmt, va_list args);
}

#ifdef __cplusplus
// The checked C++ form (qxFormat.h).
template <class F, class... A, std::enable_if_t<qx::format::isFormat<F, char>, int> = 0>
inline void qxUtilPrint(F&& fmt, A&&... args) {
    qx::format::checkLiteral<false, F, A...>();
    static_cast<void (*)(const char*, ...)>(qxUtilPrint)(
        qx::format::formatText(fmt), qx::format::passArg(std::forward<A>(args))...);
}
#endif

#endif
