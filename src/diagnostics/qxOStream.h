// qxOS::OStream: buffered, printf-capable text output over any IOStream.
#ifndef QXBASE_DIAGNOSTICS_QXOSTREAM_H
#define QXBASE_DIAGNOSTICS_QXOSTREAM_H

#include "diagnostics/qxError.h"
#include "diagnostics/qxIOStream.h"
#include "qxDefs.h"
#include "string/qxString.h"

#include <cstdarg>

namespace qxOS {

class OStreamImpl;

// Output collects in a 4096-byte buffer and reaches the stream in writes of
// at most 4096 bytes. The first failing write is latched: from then on the
// stream is no longer called, output is dropped and the OStream tests
// false. A write that reports success but takes no bytes, and a format
// that cannot be expanded, latch an error too. Nothing throws.
class QX_API OStream {
public:
    explicit OStream(IOStream& stream);
    // Flushes what is pending.
    ~OStream();
    OStream(const OStream&) = delete;
    OStream& operator=(const OStream&) = delete;

    OStream& operator<<(const qxString::CString& s);  // its bytes, NULs included
    OStream& operator<<(const char* s);               // up to the NUL; null writes nothing
    OStream& operator<<(char c);
    OStream& operator<<(unsigned char c);
    OStream& operator<<(short v);
    OStream& operator<<(unsigned short v);
    OStream& operator<<(int v);
    OStream& operator<<(unsigned int v);
    OStream& operator<<(long v);  // the whole value, 32 or 64 bits as long is
    OStream& operator<<(unsigned long v);
    OStream& operator<<(float v);  // "%f"
    OStream& operator<<(double v);
    OStream& operator<<(const void* p);  // "0x%p"

    // printf-style, with the library's conventions (%s 8-bit, %S wide).
    OStream& format(const char* fmt, ...);
    OStream& vformat(const char* fmt, va_list args);
    // The checked form (qxFormat.h), chosen whenever arguments follow the
    // format, which may also be a QX_FORMAT literal; printf is its other name.
    template <class F, class... A, std::enable_if_t<qx::format::isFormat<F, char>, int> = 0>
    OStream& format(F&& fmt, A&&... args) {
        qx::format::checkLiteral<false, F, A...>();
        return (this->*static_cast<OStream& (OStream::*)(const char*, ...)>(&OStream::format))(
            qx::format::formatText(fmt), qx::format::passArg(std::forward<A>(args))...);
    }
    template <class F, class... A, std::enable_if_t<qx::format::isFormat<F, char>, int> = 0>
    OStream& printf(F&& fmt, A&&... args) {
        return format(std::forward<F>(fmt), std::forward<A>(args)...);
    }
    // Appends n raw bytes.
    OStream& write(const void* data, size_t n);

    // Hands the pending bytes to the stream.
    void flush();
    qxUtil::Error error() const;
    explicit operator bool() const;
    IOStream& stream() const;

private:
    OStreamImpl* m_impl;
};

}  // namespace qxOS

#endif
