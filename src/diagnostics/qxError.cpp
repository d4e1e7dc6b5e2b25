#include "diagnostics/qxError.h"

#include "os/sys/qxSysError.h"
#include "string/qxFormat.h"

namespace qxUtil {

using qxString::IString;

Error::Error(int num, const IString& msg) : m_num(num), m_msg(copyMessage(&msg)) {}

Error::Error(int num, const char* format, ...) : m_num(num), m_msg(nullptr) {
    va_list args;
    va_start(args, format);
    setMsg(format, args);
    va_end(args);
}

Error::Error(int num, const char* format, va_list args) : m_num(num), m_msg(nullptr) {
    setMsg(format, args);
}

Error::Error(int num, const qx::WChar* format, ...) : m_num(num), m_msg(nullptr) {
    va_list args;
    va_start(args, format);
    setMsg(format, args);
    va_end(args);
}

Error::Error(int num, const qx::WChar* format, va_list args) : m_num(num), m_msg(nullptr) {
    setMsg(format, args);
}

// assign, not the copy constructor: that one stops at the first NUL unit.
IString* Error::copyMessage(const IString* msg) {
    IString* copy = new IString();
    copy->assign(*msg);
    return copy;
}

void Error::deleteMessage(IString* msg) {
    delete msg;
}

bool Error::operator==(const Error& e) const {
    if (m_num != e.m_num) return false;
    if (!m_msg || !e.m_msg) return !m_msg && !e.m_msg;
    return qxString::equal(*m_msg, *e.m_msg);
}

const char* Error::message() const {
    return m_msg ? m_msg->asChar() : "";
}

namespace {

// Formats into a fresh message, or gives null for a null or empty format.
template <class Ch>
IString* formatMessage(const Ch* format, va_list args) {
    if (!format || !*format) return nullptr;
    IString* msg = new IString();
    va_list copy;
    va_copy(copy, args);
    msg->vformat(format, copy);
    va_end(copy);
    return msg;
}

}  // namespace

void Error::setMsg(const char* format, va_list args) {
    IString* msg = formatMessage(format, args);
    delete m_msg;
    m_msg = msg;
}

void Error::setMsg(const qx::WChar* format, va_list args) {
    IString* msg = formatMessage(format, args);
    delete m_msg;
    m_msg = msg;
}

IString systemErrorText(int number) {
    qx::WChar buf[2048];
    size_t n = qx::sys::errorText(number, buf, sizeof buf / sizeof buf[0]);
    // The system's texts end in a line break on Windows only; without it the
    // text reads the same on both targets and fits inside a message.
    while (n > 0 && (buf[n - 1] == '\n' || buf[n - 1] == '\r' || buf[n - 1] == ' ')) --n;
    if (n > 0) return IString(buf, static_cast<int>(n));
    qx::WChar unknown[64];
    OL_swprintf(unknown, 64, QX_W("An unknown WIN32 error occurred: %d"), number);
    return IString(unknown);
}

}  // namespace qxUtil
