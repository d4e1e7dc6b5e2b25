#include "Components/Base/Utility/qxBitField.h"

#include "Components/Base/Utility/qxBitCount.h"

#include <algorithm>
#include <cstring>

namespace qxUtil {

namespace {

int wordsFor(int bits) {
    return bits / 32 + (bits % 32 != 0 ? 1 : 0);
}

// Low bits of the last, partial word of a field of this many bits.
unsigned int tailMask(int bits) {
    return (1u << (bits % 32)) - 1u;
}

// Combines words with other word by word and returns the set bits among the
// first numBits. The whole words are combined and counted in one pass; a
// partial last word is combined whole but counted only up to numBits. Words
// other lacks act as 0 (AND clears, the others keep).
int combineWords(qx::vector<unsigned int>& words, int numBits,
                 const qx::vector<unsigned int>& other, detail::BitOp op) {
    const int n = words.size();
    const int common = std::min(n, other.size());
    const int wholeWords = numBits / 32;
    const int full = std::min(wholeWords, common);
    unsigned int* a = words.data();
    const unsigned int* b = other.data();
    int count = detail::combineAndCount(a, b, full, op);
    if (common > full) detail::combineAndCount(a + full, b + full, common - full, op);
    if (op == detail::BitOp::And)
        for (int i = common; i < n; ++i) a[i] = 0;
    for (int i = full; i < wholeWords; ++i) count += popCount(a[i]);
    if (numBits % 32) count += popCount(a[wholeWords] & tailMask(numBits));
    return count;
}

}  // namespace

// --- BitField --------------------------------------------------------------

bool BitField::operator==(const BitField& other) const {
    if (m_numBits != other.m_numBits) return false;
    const int full = m_numBits / 32;
    const unsigned int* a = m_words.data();
    const unsigned int* b = other.m_words.data();
    if (full > 0 && std::memcmp(a, b, sizeof(unsigned int) * static_cast<size_t>(full)) != 0)
        return false;
    return m_numBits % 32 == 0 || ((a[full] ^ b[full]) & tailMask(m_numBits)) == 0;
}

BitField& BitField::operator&=(const BitField& other) {
    m_numSet = combineWords(m_words, m_numBits, other.m_words, detail::BitOp::And);
    return *this;
}

BitField& BitField::operator|=(const BitField& other) {
    m_numSet = combineWords(m_words, m_numBits, other.m_words, detail::BitOp::Or);
    return *this;
}

BitField& BitField::operator^=(const BitField& other) {
    m_numSet = combineWords(m_words, m_numBits, other.m_words, detail::BitOp::Xor);
    return *this;
}

void BitField::resetAll() {
    if (!m_words.empty())
        std::memset(m_words.data(), 0, sizeof(unsigned int) * static_cast<size_t>(m_words.size()));
    m_numSet = 0;
}

void BitField::setAll() {
    if (m_numBits >= 1)
        std::memset(m_words.data(), 0xFF,
                    sizeof(unsigned int) * static_cast<size_t>(m_words.size()));
    m_numSet = m_numBits;
}

void BitField::resizeAndReset(int n) {
    if (n < 0) return;
    m_numBits = n;
    m_words.resize(wordsFor(n));
    resetAll();
}

// --- BitFieldAuto ----------------------------------------------------------

bool BitFieldAuto::operator==(const BitFieldAuto& other) const {
    const int common = std::min(m_words.size(), other.m_words.size());
    if (common > 0 && std::memcmp(m_words.data(), other.m_words.data(),
                                  sizeof(unsigned int) * static_cast<size_t>(common)) != 0)
        return false;
    const qx::vector<unsigned int>& longer =
        m_words.size() > other.m_words.size() ? m_words : other.m_words;
    for (int i = common; i < longer.size(); ++i)
        if (longer[i]) return false;
    return true;
}

BitFieldAuto& BitFieldAuto::operator&=(const BitFieldAuto& other) {
    const int common = std::min(m_words.size(), other.m_words.size());
    for (int i = 0; i < common; ++i) m_words[i] &= other.m_words[i];
    for (int i = common; i < m_words.size(); ++i) m_words[i] = 0;
    return *this;
}

BitFieldAuto& BitFieldAuto::operator|=(const BitFieldAuto& other) {
    if (other.m_words.size() > m_words.size()) m_words.resize(other.m_words.size());
    for (int i = 0; i < other.m_words.size(); ++i) m_words[i] |= other.m_words[i];
    return *this;
}

BitFieldAuto& BitFieldAuto::operator^=(const BitFieldAuto& other) {
    if (other.m_words.size() > m_words.size()) m_words.resize(other.m_words.size());
    for (int i = 0; i < other.m_words.size(); ++i) m_words[i] ^= other.m_words[i];
    return *this;
}

bool BitFieldAuto::anySet() const {
    for (unsigned int w : m_words)
        if (w) return true;
    return false;
}

void BitFieldAuto::reserveSize(int n) {
    if (n >= 0 && n / 32 >= m_words.size()) m_words.resize(n / 32 + 1);
}

void BitFieldAuto::resetAll() {
    if (!m_words.empty())
        std::memset(m_words.data(), 0, sizeof(unsigned int) * static_cast<size_t>(m_words.size()));
}

bool BitFieldAuto::testBits(const BitFieldAuto& mask) const {
    if (m_words.size() < mask.m_words.size()) return false;
    for (int i = 0; i < mask.m_words.size(); ++i)
        if ((m_words[i] & mask.m_words[i]) != mask.m_words[i]) return false;
    return true;
}

}  // namespace qxUtil
