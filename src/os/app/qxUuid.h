// qxOS::Uuid: 128-bit identifiers from the system's secure source, with a
// fixed text form.
#ifndef QXBASE_OS_APP_QXUUID_H
#define QXBASE_OS_APP_QXUUID_H

#include "qxDefs.h"
#include "string/qxString.h"

#include <cstdint>
#include <cstring>

namespace qxOS {

// Four 32-bit words; all zero means "not valid". The text form is the four
// words in lower-case hexadecimal, "%08x-%08x-%08x-%08x" (35 characters).
// The byte form puts each word big-endian (byte 0 is the high byte of word
// 0). Comparison, though, is over the 16 bytes as they lie in memory, each
// word little-endian.
class QX_API Uuid {
public:
    Uuid() : m_data{0, 0, 0, 0} {}
    Uuid(uint32_t w0, uint32_t w1, uint32_t w2, uint32_t w3) : m_data{w0, w1, w2, w3} {}
    explicit Uuid(const uint32_t words[4]) { std::memcpy(m_data, words, sizeof m_data); }
    explicit Uuid(const unsigned char bytes[16]);
    // The text form exactly (either case); any other text gives the invalid
    // value.
    explicit Uuid(const qxString::CString& text);

    // A new identifier from the system (a random, version 4 UUID); on
    // failure the value becomes all zero and false is returned.
    bool generate();

    qxString::CString asString() const;

    const uint32_t* get() const { return m_data; }
    void get(uint32_t words[4]) const { std::memcpy(words, m_data, sizeof m_data); }
    void get(unsigned char bytes[16]) const;
    // Copies the words only while this value is not valid; returns whether
    // it did.
    bool set(const uint32_t words[4]) {
        if (valid()) return false;
        std::memcpy(m_data, words, sizeof m_data);
        return true;
    }

    bool valid() const { return (m_data[0] | m_data[1] | m_data[2] | m_data[3]) != 0; }

    // -1, 0 or 1 by the bytes in memory order.
    int compare(const Uuid& other) const {
        const int r = std::memcmp(m_data, other.m_data, sizeof m_data);
        return (r > 0) - (r < 0);
    }
    bool operator==(const Uuid& other) const { return compare(other) == 0; }
    bool operator!=(const Uuid& other) const { return compare(other) != 0; }
    bool operator<(const Uuid& other) const { return compare(other) < 0; }

private:
    uint32_t m_data[4];
};

}  // namespace qxOS

#endif
