#include "diagnostics/qxOStream.h"

#include "os/sys/qxSysError.h"
#include "string/qxFormatEngine.h"
#include "string/qxUtf8Codec.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <new>

namespace qxOS {

namespace {

constexpr size_t kWriteBufferSize = 4096;
constexpr size_t kFirstFormatCapacity = 4096;

}  // namespace

class OStreamImpl : public qx::ImplBase {
public:
    explicit OStreamImpl(IOStream& s) : m_stream(s), m_writeBuffer(new char[kWriteBufferSize]) {}
    ~OStreamImpl() override {
        flush();
        std::free(m_formatBuffer);
        delete[] m_writeBuffer;
    }
    OStreamImpl(const OStreamImpl&) = delete;
    OStreamImpl& operator=(const OStreamImpl&) = delete;

    // Fills the buffer to exactly its size before each flush, so a long
    // input reaches the stream in 4096-byte pieces.
    void append(const char* p, size_t n) {
        if (n == 0) return;  // p may be null then (an empty string_view), which memcpy forbids
        while (m_pending + n > kWriteBufferSize) {
            const size_t k = kWriteBufferSize - m_pending;
            std::memcpy(m_writeBuffer + m_pending, p, k);
            m_pending = kWriteBufferSize;
            flush();
            p += k;
            n -= k;
        }
        std::memcpy(m_writeBuffer + m_pending, p, n);
        m_pending += n;
    }

    // Once an error is latched the stream is never called again and the
    // pending bytes are dropped.
    void flush() {
        const char* p = m_writeBuffer;
        size_t remaining = m_pending;
        while (remaining > 0 && !m_error) {
            size_t written = 0;
            m_error = m_stream.write(p, remaining, &written);
            if (!m_error && written == 0) {
                // Success without progress would loop forever.
                m_error = qxUtil::Error(qx::sys::kErrorWriteFault,
                                        "The stream accepted none of %u bytes.",
                                        static_cast<unsigned>(remaining));
            }
            if (written > remaining) written = remaining;
            p += written;
            remaining -= written;
        }
        m_pending = 0;
    }

    void vformat(const char* fmt, va_list args) {
        if (m_error || !fmt) return;  // latched: the text would be dropped anyway
        // Straight into the write buffer when the text fits what is left of
        // it; otherwise through the format buffer, sized from the length the
        // first attempt reported (doubling from 4096, kept for later calls).
        const size_t room = kWriteBufferSize - m_pending;
        qx::format::Result r{true, 0};
        if (room > 1) {
            r = run(m_writeBuffer + m_pending, room, fmt, args);
            // The engine keeps the last cell for its NUL: a text of exactly
            // room bytes lacks its last byte here and takes the other path.
            if (r.ok && r.length < room) {
                m_pending += r.length;
                return;
            }
        } else {
            if (!ensureFormatCapacity(kFirstFormatCapacity)) return;
            r = run(m_formatBuffer, m_formatCapacity, fmt, args);
            if (r.ok && r.length < m_formatCapacity) {
                append(m_formatBuffer, r.length);
                return;
            }
        }
        if (r.ok) {
            if (!ensureFormatCapacity(r.length + 1)) return;
            r = run(m_formatBuffer, m_formatCapacity, fmt, args);
        }
        if (!r.ok || r.length >= m_formatCapacity) {
            // Keep what was written before; nothing of this call is written.
            flush();
            if (!m_error)
                m_error = qxUtil::Error(qx::sys::kErrorInvalidParameter,
                                        "Cannot expand the format \"%s\".", fmt);
            return;
        }
        append(m_formatBuffer, r.length);
    }

    IOStream& m_stream;
    qxUtil::Error m_error;
    char* m_formatBuffer = nullptr;
    char* m_writeBuffer;
    size_t m_pending = 0;
    size_t m_formatCapacity = 0;

private:
    static qx::format::Result run(char* buf, size_t size, const char* fmt, va_list args) {
        qx::format::Args a;
        va_copy(a.ap, args);
        const qx::format::Result r = qx::format::formatChars(buf, size, fmt, a);
        va_end(a.ap);
        return r;
    }

    bool ensureFormatCapacity(size_t need) {
        if (m_formatBuffer && m_formatCapacity >= need) return true;
        size_t cap = m_formatCapacity ? m_formatCapacity : kFirstFormatCapacity;
        while (cap < need) cap *= 2;
        char* grown = static_cast<char*>(std::malloc(cap));
        if (!grown) {
            flush();
            if (!m_error)
                m_error =
                    qxUtil::Error(qx::sys::kErrorNotEnoughMemory, "No memory to format %u bytes.",
                                  static_cast<unsigned>(need));
            return false;
        }
        std::free(m_formatBuffer);
        m_formatBuffer = grown;
        m_formatCapacity = cap;
        return true;
    }
};

namespace {

template <class T>
void appendInteger(OStreamImpl* impl, T v) {
    char buf[24];
    const std::to_chars_result r = std::to_chars(buf, buf + sizeof buf, v);
    impl->append(buf, static_cast<size_t>(r.ptr - buf));
}

void appendFormatted(OStreamImpl* impl, const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    impl->vformat(fmt, args);
    va_end(args);
}

// Wide text to UTF-8 through the library's codec, in pieces small enough
// for the stack; a surrogate pair is never split between two pieces.
class Utf8Writer {
public:
    explicit Utf8Writer(OStreamImpl* impl) : m_impl(impl) {}
    ~Utf8Writer() { drain(true); }
    Utf8Writer(const Utf8Writer&) = delete;
    Utf8Writer& operator=(const Utf8Writer&) = delete;

    void unit(qx::WChar u) {
        if (m_count == kUnits) drain(false);
        m_units[m_count++] = u;
    }
    // A surrogate value stays a lone unit, which the codec replaces.
    void codePoint(char32_t c) {
        if (c < 0x10000) {
            unit(static_cast<qx::WChar>(c));
        } else if (c <= 0x10FFFF) {
            c -= 0x10000;
            unit(static_cast<qx::WChar>(0xD800 + (c >> 10)));
            unit(static_cast<qx::WChar>(0xDC00 + (c & 0x3FF)));
        } else {
            unit(static_cast<qx::WChar>(qx::utf8::kReplacement));
        }
    }
    template <class Ch>
    void character(Ch c) {
        if constexpr (sizeof(Ch) == 2)
            unit(static_cast<qx::WChar>(c));
        else
            codePoint(static_cast<char32_t>(c));
    }

private:
    static constexpr size_t kUnits = 256;

    void drain(bool last) {
        size_t n = m_count;
        if (!last && n > 0 && (m_units[n - 1] & 0xFC00) == 0xD800) --n;  // wait for its low half
        // No unit takes more than 3 bytes; a pair takes 4 for its two.
        char bytes[3 * kUnits];
        bool invalid = false;
        const size_t k = qx::utf8::toUtf8(m_units, n, bytes, sizeof bytes, &invalid);
        m_impl->append(bytes, k);
        if (n < m_count) m_units[0] = m_units[n];
        m_count -= n;
    }

    OStreamImpl* m_impl;
    qx::WChar m_units[kUnits];
    size_t m_count = 0;
};

template <class Ch>
void appendWide(OStreamImpl* impl, const Ch* s) {
    if (!s) return;
    Utf8Writer w(impl);
    for (; *s; ++s) w.character(*s);
}

template <class Ch>
void appendWideChar(OStreamImpl* impl, Ch c) {
    Utf8Writer(impl).character(c);
}

}  // namespace

OStream::OStream(IOStream& stream) : m_impl(new OStreamImpl(stream)) {}

OStream::~OStream() {
    delete m_impl;
}

OStream& OStream::operator<<(const qxString::CString& s) {
    m_impl->append(s.data(), s.length());
    return *this;
}

OStream& OStream::operator<<(std::string_view s) {
    m_impl->append(s.data(), s.size());
    return *this;
}

OStream& OStream::operator<<(const std::string& s) {
    m_impl->append(s.data(), s.size());
    return *this;
}

OStream& OStream::operator<<(const qxString::IString& s) {
    // Unit by unit rather than through the string's 8-bit copy, which
    // would stop at a NUL unit and replace the cached conversion.
    Utf8Writer w(m_impl);
    const qx::WChar* units = s.data();
    for (unsigned i = 0, n = s.length(); i < n; ++i) w.unit(units[i]);
    return *this;
}

OStream& OStream::operator<<(const char* s) {
    if (s) m_impl->append(s, std::strlen(s));
    return *this;
}

OStream& OStream::operator<<(const char16_t* s) {
    appendWide(m_impl, s);
    return *this;
}

OStream& OStream::operator<<(const char32_t* s) {
    appendWide(m_impl, s);
    return *this;
}

OStream& OStream::operator<<(const wchar_t* s) {
    appendWide(m_impl, s);
    return *this;
}

OStream& OStream::operator<<(char c) {
    m_impl->append(&c, 1);
    return *this;
}

OStream& OStream::operator<<(signed char c) {
    return *this << static_cast<char>(c);
}

OStream& OStream::operator<<(unsigned char c) {
    return *this << static_cast<char>(c);
}

OStream& OStream::operator<<(char16_t c) {
    appendWideChar(m_impl, c);
    return *this;
}

OStream& OStream::operator<<(char32_t c) {
    appendWideChar(m_impl, c);
    return *this;
}

OStream& OStream::operator<<(wchar_t c) {
    appendWideChar(m_impl, c);
    return *this;
}

// As the promotion to int always printed it.
OStream& OStream::operator<<(bool b) {
    return *this << static_cast<int>(b);
}

OStream& OStream::operator<<(short v) {
    appendInteger(m_impl, v);
    return *this;
}

OStream& OStream::operator<<(unsigned short v) {
    appendInteger(m_impl, v);
    return *this;
}

OStream& OStream::operator<<(int v) {
    appendInteger(m_impl, v);
    return *this;
}

OStream& OStream::operator<<(unsigned int v) {
    appendInteger(m_impl, v);
    return *this;
}

OStream& OStream::operator<<(long v) {
    appendInteger(m_impl, v);
    return *this;
}

OStream& OStream::operator<<(unsigned long v) {
    appendInteger(m_impl, v);
    return *this;
}

OStream& OStream::operator<<(long long v) {
    appendInteger(m_impl, v);
    return *this;
}

OStream& OStream::operator<<(unsigned long long v) {
    appendInteger(m_impl, v);
    return *this;
}

OStream& OStream::operator<<(float v) {
    return *this << static_cast<double>(v);
}

OStream& OStream::operator<<(double v) {
    // The engine's digits, so the text is the same on every target.
    appendFormatted(m_impl, "%f", v);
    return *this;
}

OStream& OStream::operator<<(long double v) {
    appendFormatted(m_impl, "%Lf", v);
    return *this;
}

OStream& OStream::operator<<(const void* p) {
    appendFormatted(m_impl, "0x%p", p);
    return *this;
}

OStream& OStream::operator<<(std::nullptr_t) {
    return *this << static_cast<const void*>(nullptr);
}

OStream& OStream::format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    m_impl->vformat(fmt, args);
    va_end(args);
    return *this;
}

OStream& OStream::vformat(const char* fmt, va_list args) {
    m_impl->vformat(fmt, args);
    return *this;
}

OStream& OStream::write(const void* data, size_t n) {
    m_impl->append(static_cast<const char*>(data), n);
    return *this;
}

void OStream::flush() {
    m_impl->flush();
}

qxUtil::Error OStream::error() const {
    return m_impl->m_error;
}

OStream::operator bool() const {
    return !m_impl->m_error;
}

IOStream& OStream::stream() const {
    return m_impl->m_stream;
}

}  // namespace qxOS
