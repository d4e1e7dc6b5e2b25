// The C entry points of formatting, the integer texts, and the format
// members of the string types.
#include "string/qxFormat.h"

#include "string/qxFormatEngine.h"
#include "string/qxString.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

using qx::WChar;
using qx::format::Args;
using qx::format::Result;

// The C entry points' rule: a result must leave one spare unit besides the
// NUL, else -1.
int entryResult(const Result& r, size_t size) {
    if (!r.ok || size < 2 || r.length >= size - 1 || r.length > static_cast<size_t>(INT_MAX))
        return -1;
    return static_cast<int>(r.length);
}

// fmt rewritten for the wide engine, on the stack when it is short.
class WideFormat {
public:
    explicit WideFormat(const WChar* fmt) : m_heap(nullptr), m_text(m_stack) {
        size_t n = 0;
        while (fmt[n]) ++n;
        if (n >= sizeof(m_stack) / sizeof(m_stack[0])) {
            m_heap = static_cast<WChar*>(std::malloc((n + 1) * sizeof(WChar)));
            m_text = m_heap;
        }
        if (m_text) {
            std::memcpy(m_text, fmt, (n + 1) * sizeof(WChar));
            qx::format::swapStringLetters(m_text);
        }
    }
    ~WideFormat() { std::free(m_heap); }
    WideFormat(const WideFormat&) = delete;
    WideFormat& operator=(const WideFormat&) = delete;
    const WChar* text() const { return m_text; }

private:
    WChar m_stack[256];
    WChar* m_heap;
    WChar* m_text;
};

char s_int64Text[3][28];
char s_uint64Text[3][28];
bool s_thisIsAUnitTest = false;

constexpr unsigned kNpos = 0xFFFFFFFFu;
constexpr unsigned long long kGrowLimit = 0xFFFFFFFEull - 1024;

// Formats into a buffer of start units, growing by 1024 units until the
// output fits, and assigns it to s. Each attempt reads the arguments from a
// fresh copy of the list. As the engine reports the full length of an output
// that did not fit, the next attempt goes straight to the first size of that
// sequence that holds it: two attempts at most, never quadratic.
template <class Str, class Ch, class Engine>
unsigned formatInto(Str& s, unsigned start, const Ch* fmt, va_list ap, Engine engine) {
    if (!fmt) return kNpos;
    unsigned long long size = start ? start : 1;  // a start of 0 behaves as 1
    for (;;) {
        Ch* buf = static_cast<Ch*>(std::malloc(static_cast<size_t>(size) * sizeof(Ch)));
        if (!buf) return kNpos;
        Args a;
        va_copy(a.ap, ap);
        const Result r = engine(buf, static_cast<size_t>(size), fmt, a);
        va_end(a.ap);
        if (r.ok && r.length + 1 < size) {
            unsigned result = kNpos;
            if (r.length >= 1) {
                s.assign(buf);  // up to the first NUL
                result = s.length();
            }
            std::free(buf);
            return result;
        }
        std::free(buf);
        if (!r.ok || size >= kGrowLimit) return kNpos;
        const unsigned long long need = r.length + 2;
        const unsigned long long steps = (need - size + 1023) / 1024;
        const unsigned long long next = size + steps * 1024;
        if (next - 1024 >= kGrowLimit) return kNpos;  // the sequence stops before it
        size = next;
    }
}

Result narrowEngine(char* buf, size_t size, const char* fmt, Args& a) {
    return qx::format::formatChars(buf, size, fmt, a);
}

Result wideEngine(WChar* buf, size_t size, const WChar* fmt, Args& a) {
    return qx::format::formatWide(buf, size, fmt, a);
}

unsigned formatWideInto(qxString::IString& s, unsigned start, const WChar* fmt, va_list ap) {
    if (!fmt) return kNpos;
    const WideFormat rewritten(fmt);
    if (!rewritten.text()) return kNpos;
    return formatInto(s, start, rewritten.text(), ap, wideEngine);
}

unsigned formatWideInto(qxString::IString& s, unsigned start, const char* fmt, va_list ap) {
    if (!fmt) return kNpos;
    const qxString::IString wide(fmt, qxString::EncodingMultibyte, nullptr);
    return formatWideInto(s, start, wide.asWChar(), ap);
}

}  // namespace

extern "C" {

int OL_vsnprintf(char* buf, size_t size, const char* fmt, va_list args) {
    if (!fmt) return -1;
    Args a;
    va_copy(a.ap, args);
    const Result r = qx::format::formatChars(buf, size, fmt, a);
    va_end(a.ap);
    return entryResult(r, size);
}

int OL_snprintf(char* buf, size_t size, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int r = OL_vsnprintf(buf, size, fmt, ap);
    va_end(ap);
    return r;
}

int OL_vswprintf(WChar* buf, size_t size, const WChar* fmt, va_list args) {
    if (!fmt) return -1;
    const WideFormat rewritten(fmt);
    if (!rewritten.text()) return -1;
    Args a;
    va_copy(a.ap, args);
    const Result r = qx::format::formatWide(buf, size, rewritten.text(), a);
    va_end(a.ap);
    return entryResult(r, size);
}

int OL_swprintf(WChar* buf, size_t size, const WChar* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const int r = OL_vswprintf(buf, size, fmt, ap);
    va_end(ap);
    return r;
}

WChar* OL_convert_string_format(const WChar* fmt) {
    if (!fmt) return nullptr;
    size_t n = 0;
    while (fmt[n]) ++n;
    WChar* copy = static_cast<WChar*>(std::malloc((n + 1) * sizeof(WChar)));
    if (!copy) return nullptr;
    std::memcpy(copy, fmt, (n + 1) * sizeof(WChar));
    qx::format::swapStringLetters(copy);
    return copy;
}

long long asciiToInt64(const char* text) {
    if (!text) return 0;
    const char* p = text;
    while (qxString::isSpace(*p)) ++p;
    const bool neg = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    // Accumulated as a negative number, whose range is the larger one.
    long long v = 0;
    bool saturated = false;
    for (; *p >= '0' && *p <= '9'; ++p) {
        const int d = *p - '0';
        if (v < (LLONG_MIN + d) / 10) {
            saturated = true;
            v = LLONG_MIN;
        } else if (!saturated) {
            v = v * 10 - d;
        }
    }
    if (neg) return v;
    return v == LLONG_MIN ? LLONG_MAX : -v;
}

unsigned long long asciiToUInt64(const char* text) {
    if (!text) return 0;
    const char* p = text;
    while (qxString::isSpace(*p)) ++p;
    const bool neg = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    unsigned long long v = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        const unsigned d = static_cast<unsigned>(*p - '0');
        v = v > (ULLONG_MAX - d) / 10 ? ULLONG_MAX : v * 10 + d;
    }
    if (v == ULLONG_MAX) return v;
    return neg ? 0ull - v : v;
}

char* int64ToAscii(long long value, int buffer) {
    if (buffer < 0 || buffer > 2) return nullptr;
    char* b = s_int64Text[buffer];
    b[27] = 0;
    OL_snprintf(b, 27, "%I64d", value);
    return b;
}

char* uint64ToAscii(unsigned long long value, int buffer) {
    if (buffer < 0 || buffer > 2) return nullptr;
    char* b = s_uint64Text[buffer];
    b[27] = 0;
    OL_snprintf(b, 27, "%I64u", value);
    return b;
}

void setThisIsAUnitTest() {
    s_thisIsAUnitTest = true;
}

bool isThisAUnitTest() {
    return s_thisIsAUnitTest;
}
}

namespace qxString {

unsigned CString::vformat(const char* fmt, va_list args) {
    return formatInto(*this, 256, fmt, args, narrowEngine);
}

unsigned CString::format(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const unsigned r = formatInto(*this, 256, fmt, ap, narrowEngine);
    va_end(ap);
    return r;
}

unsigned CString::format(unsigned start, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const unsigned r = formatInto(*this, start, fmt, ap, narrowEngine);
    va_end(ap);
    return r;
}

unsigned CString::format(const CString* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const unsigned r = formatInto(*this, 256, fmt ? fmt->asChar() : nullptr, ap, narrowEngine);
    va_end(ap);
    return r;
}

unsigned CString::format(unsigned start, const CString* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const unsigned r = formatInto(*this, start, fmt ? fmt->asChar() : nullptr, ap, narrowEngine);
    va_end(ap);
    return r;
}

unsigned IString::vformat(const WChar* fmt, va_list args) {
    return formatWideInto(*this, 256, fmt, args);
}

unsigned IString::vformat(const char* fmt, va_list args) {
    return formatWideInto(*this, 256, fmt, args);
}

unsigned IString::format(const WChar* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const unsigned r = formatWideInto(*this, 256, fmt, ap);
    va_end(ap);
    return r;
}

unsigned IString::format(unsigned start, const WChar* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const unsigned r = formatWideInto(*this, start, fmt, ap);
    va_end(ap);
    return r;
}

unsigned IString::format(const IString* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const unsigned r = formatWideInto(*this, 256, fmt ? fmt->asWChar() : nullptr, ap);
    va_end(ap);
    return r;
}

unsigned IString::format(unsigned start, const IString* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const unsigned r = formatWideInto(*this, start, fmt ? fmt->asWChar() : nullptr, ap);
    va_end(ap);
    return r;
}

unsigned IString::format(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const unsigned r = formatWideInto(*this, 256, fmt, ap);
    va_end(ap);
    return r;
}

unsigned IString::format(unsigned start, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    const unsigned r = formatWideInto(*this, start, fmt, ap);
    va_end(ap);
    return r;
}

}  // namespace qxString
