// qxUtil::Error: the value every fallible operation of the library returns,
// an error number (0 = success) with an optional wide message.
#ifndef QXBASE_DIAGNOSTICS_QXERROR_H
#define QXBASE_DIAGNOSTICS_QXERROR_H

#include "qxDefs.h"
#include "string/qxString.h"

#include <cstdarg>

namespace qxUtil {

// Numbers are chosen per module; there is no global table. The message is
// owned exclusively and copied deeply. Without a message nothing is
// allocated, so success (the default) is as cheap as an int.
//
// Where va_list is a plain char pointer (64-bit Windows), a call such as
// Error(n, "%s", buffer) with a non-const char buffer as the only argument
// selects the va_list constructor; pass such text as const char*.
class QX_API Error {
public:
    Error() noexcept : m_num(0), m_msg(nullptr) {}
    Error(const Error& e) : m_num(e.m_num), m_msg(e.m_msg ? copyMessage(e.m_msg) : nullptr) {}
    Error(Error&& e) noexcept : m_num(e.m_num), m_msg(e.m_msg) { e.m_msg = nullptr; }
    // The message is a copy of msg, even an empty one.
    Error(int num, const qxString::IString& msg);
    // A null or empty format gives an error without message; otherwise the
    // message is the formatted text (%s 8-bit, %S wide, in both forms).
    Error(int num, const char* format, ...);
    Error(int num, const char* format, va_list args);
    Error(int num, const qx::WChar* format, ...);
    Error(int num, const qx::WChar* format, va_list args);
    // The checked form (qxFormat.h), chosen whenever arguments follow the
    // format, which may also be a QX_FORMAT literal; a va_list still reaches
    // its own constructor.
    template <class F, class... A,
              std::enable_if_t<qx::format::isFormat<F, char, qx::WChar>, int> = 0>
    Error(int num, F&& format, A&&... args) : m_num(num), m_msg(nullptr) {
        qx::format::checkLiteral<true, F, A...>();
        setMsgFrom(qx::format::formatText(format), qx::format::passArg(std::forward<A>(args))...);
    }
    virtual ~Error() {
        if (m_msg) deleteMessage(m_msg);
    }

    // Copy-and-swap.
    Error& operator=(const Error& e) {
        Error copy(e);
        swap(copy);
        return *this;
    }
    Error& operator=(Error&& e) noexcept {
        swap(e);
        return *this;
    }

    // Equal numbers and either no message on both sides or equal texts; an
    // error without message never equals one with an empty message.
    bool operator==(const Error& e) const;
    bool operator!=(const Error& e) const { return !(*this == e); }
    // True for a failure.
    explicit operator bool() const { return m_num != 0; }

    int num() const { return m_num; }
    // The message in the locale's multibyte encoding, or "" without one.
    // Valid while this error and its message are unchanged.
    const char* message() const;
    // The message itself, or null.
    const qxString::IString* messageText() const { return m_msg; }

    void swap(Error& e) noexcept {
        const int n = m_num;
        m_num = e.m_num;
        e.m_num = n;
        qxString::IString* m = m_msg;
        m_msg = e.m_msg;
        e.m_msg = m;
    }

protected:
    // A non-empty format sets the message to the formatted text; a null or
    // empty one removes the message.
    void setMsg(const char* format, va_list args);
    void setMsg(const qx::WChar* format, va_list args);

private:
    // The checked constructor's way to setMsg.
    void setMsgFrom(const char* format, ...) {
        va_list args;
        va_start(args, format);
        setMsg(format, args);
        va_end(args);
    }
    void setMsgFrom(const qx::WChar* format, ...) {
        va_list args;
        va_start(args, format);
        setMsg(format, args);
        va_end(args);
    }
    static qxString::IString* copyMessage(const qxString::IString* msg);
    static void deleteMessage(qxString::IString* msg);

    int m_num;
    qxString::IString* m_msg;
};

inline void swap(Error& a, Error& b) noexcept {
    a.swap(b);
}

// The system's text for a Win32 error number (socket numbers included), in
// the user's language, or "An unknown WIN32 error occurred: <number>" when
// the system has none. On POSIX the text is the runtime's for the errno the
// number corresponds to. The text never ends in a line break.
QX_API qxString::IString systemErrorText(int number);

}  // namespace qxUtil

#endif
