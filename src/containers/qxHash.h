// The library's hash functions and qx::Hasher. All hash values are 32-bit,
// computed modulo 2^32, with bytes taken as unsigned.
#ifndef QXBASE_CONTAINERS_QXHASH_H
#define QXBASE_CONTAINERS_QXHASH_H

#include "qxDefs.h"

#include <cstddef>
#include <type_traits>

namespace qx {

// String hash over the bytes up to the terminating NUL; 0 for "".
QX_API unsigned int hashfunction(const char* s);
// Buffer hash over n bytes; 0 when n <= 0. Not the same function as the
// string hash: the same text gives different values through the two.
QX_API unsigned int hashfunction(const unsigned char* p, int n);
// Buffer hash over the bytes from first up to last.
QX_API unsigned int hashfunction(const char* first, const char* last);
// Buffer hash over the 2n bytes of n UTF-16 units, little-endian.
QX_API unsigned int hashfunction(const WChar* p, int n);
// Word hash over n 32-bit words.
QX_API unsigned int hashfunction(const unsigned int* p, int n);

// qx::hash<K>, the hash the hash-table templates use for a key type. The
// integral, pointer and standard string forms come with the hash table; the
// library's string types specialise it beside their own definitions.
template <class K, class = void>
struct hash;

// Incremental hash over a sequence of values, each taken as one 64-bit word.
// Words are buffered sixteen at a time and fed to the buffer hash, which keeps
// accumulating into the running hash.
class QX_API Hasher {
public:
    Hasher() : m_count(0), m_hash(0) {}

    template <class T>
    void add(T value) {
        static_assert(
            std::is_integral<T>::value || std::is_enum<T>::value || std::is_pointer<T>::value,
            "Hasher takes integers, enumerations and pointers");
        unsigned long long word;
        if constexpr (std::is_pointer<T>::value)
            word = reinterpret_cast<unsigned long long>(value);
        else
            word = static_cast<unsigned long long>(value);
        m_buffer[m_count++] = word;
        if (m_count == 16) flushBuffer();
    }
    template <class T>
    Hasher& operator<<(T value) {
        add(value);
        return *this;
    }

    unsigned long long getHash() {
        if (m_count) flushBuffer();
        return m_hash;
    }

private:
    void flushBuffer();

    unsigned int m_count;
    unsigned long long m_buffer[16];
    unsigned int m_hash;
};

}  // namespace qx

#endif
