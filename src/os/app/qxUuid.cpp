#include "os/app/qxUuid.h"

#include "os/sys/qxSysInfo.h"

namespace qxOS {

namespace {

// The value of a hexadecimal digit, or -1.
int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

Uuid::Uuid(const unsigned char bytes[16]) {
    for (int w = 0; w < 4; ++w) {
        const unsigned char* b = bytes + 4 * w;
        m_data[w] = uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
    }
}

Uuid::Uuid(const qxString::CString& text) : m_data{0, 0, 0, 0} {
    if (text.length() != 35) return;
    const char* p = text.c_str();
    uint32_t words[4];
    for (int w = 0; w < 4; ++w, ++p) {
        // Each group is eight digits ending at a dash, the last at the end.
        uint32_t value = 0;
        for (int i = 0; i < 8; ++i, ++p) {
            const int digit = hexValue(*p);
            if (digit < 0) return;
            value = value << 4 | static_cast<uint32_t>(digit);
        }
        if (*p != (w < 3 ? '-' : '\0')) return;
        words[w] = value;
    }
    std::memcpy(m_data, words, sizeof m_data);
}

bool Uuid::generate() {
    if (qx::sys::createUuid(m_data)) return true;
    m_data[0] = m_data[1] = m_data[2] = m_data[3] = 0;
    return false;
}

qxString::CString Uuid::asString() const {
    static const char kDigits[] = "0123456789abcdef";
    char text[35];
    char* p = text;
    for (int w = 0; w < 4; ++w) {
        if (w) *p++ = '-';
        for (int shift = 28; shift >= 0; shift -= 4) *p++ = kDigits[(m_data[w] >> shift) & 0xF];
    }
    return qxString::CString(text, 35);
}

void Uuid::get(unsigned char bytes[16]) const {
    for (int w = 0; w < 4; ++w)
        for (int i = 0; i < 4; ++i)
            bytes[4 * w + i] = static_cast<unsigned char>(m_data[w] >> (24 - 8 * i));
}

}  // namespace qxOS
