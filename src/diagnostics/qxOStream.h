// qxOS::OStream: buffered, printf-capable text output over any IOStream.
#ifndef QXBASE_DIAGNOSTICS_QXOSTREAM_H
#define QXBASE_DIAGNOSTICS_QXOSTREAM_H

#include "diagnostics/qxError.h"
#include "diagnostics/qxIOStream.h"
#include "qxDefs.h"
#include "string/qxString.h"

#include <cstdarg>
#include <cstddef>
#include <string>
#include <string_view>

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

    // Every built-in type has its own overload, so none of them prints
    // through a surprising conversion: bool prints as 1 or 0 (as int), never
    // as a pointer; the three 8-bit character types, int8_t and
    // uint8_t among them, as one byte each; the wide character types as the
    // UTF-8 of one character. Text of any width reaches the stream as UTF-8.
    OStream& operator<<(const qxString::CString& s);  // its bytes, NULs included
    OStream& operator<<(std::string_view s);          // its bytes, NULs included
    OStream& operator<<(const std::string& s);        // its bytes, NULs included
    // UTF-8, whatever the locale; NUL units included, a lone surrogate as
    // U+FFFD.
    OStream& operator<<(const qxString::IString& s);
    OStream& operator<<(const char* s);  // up to the NUL; null writes nothing
    // UTF-8 of wide text up to its NUL, null writing nothing, as for
    // IString. wchar_t text is UTF-16 where wchar_t has 16 bits and UTF-32
    // where it has 32; a value that is no character gives U+FFFD.
    OStream& operator<<(const char16_t* s);
    OStream& operator<<(const char32_t* s);
    OStream& operator<<(const wchar_t* s);
    OStream& operator<<(char c);
    OStream& operator<<(signed char c);
    OStream& operator<<(unsigned char c);
    // One whole character as UTF-8: a surrogate on its own is U+FFFD.
    OStream& operator<<(char16_t c);
    OStream& operator<<(char32_t c);
    OStream& operator<<(wchar_t c);
    OStream& operator<<(bool b);  // "1" or "0"
    OStream& operator<<(short v);
    OStream& operator<<(unsigned short v);
    OStream& operator<<(int v);
    OStream& operator<<(unsigned int v);
    OStream& operator<<(long v);  // the whole value, 32 or 64 bits as long is
    OStream& operator<<(unsigned long v);
    OStream& operator<<(long long v);
    OStream& operator<<(unsigned long long v);
    OStream& operator<<(float v);  // "%f"
    OStream& operator<<(double v);
    OStream& operator<<(long double v);   // "%f" of the value rounded to a double
    OStream& operator<<(const void* p);   // "0x%p"
    OStream& operator<<(std::nullptr_t);  // as a null const void*

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
