#include "diagnostics/qxOStream.h"

#include "os/sys/qxSysError.h"
#include "string/qxFormatEngine.h"

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

}  // namespace

OStream::OStream(IOStream& stream) : m_impl(new OStreamImpl(stream)) {}

OStream::~OStream() {
    delete m_impl;
}

OStream& OStream::operator<<(const qxString::CString& s) {
    m_impl->append(s.data(), s.length());
    return *this;
}

OStream& OStream::operator<<(const char* s) {
    if (s) m_impl->append(s, std::strlen(s));
    return *this;
}

OStream& OStream::operator<<(char c) {
    m_impl->append(&c, 1);
    return *this;
}

OStream& OStream::operator<<(unsigned char c) {
    return *this << static_cast<char>(c);
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

OStream& OStream::operator<<(float v) {
    return *this << static_cast<double>(v);
}

OStream& OStream::operator<<(double v) {
    // The engine's digits, so the text is the same on every target.
    appendFormatted(m_impl, "%f", v);
    return *this;
}

OStream& OStream::operator<<(const void* p) {
    appendFormatted(m_impl, "0x%p", p);
    return *this;
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
