// qxUtil::BitField and qxUtil::BitFieldAuto: bit sets stored as 32-bit words,
// bit i in word i / 32 at bit i % 32 (bit 0 the least significant).
//
// BitField has a fixed number of bits, does no bounds checks and keeps a
// running count of its set bits, so numBitsSet, anySet and allSet cost
// nothing:
//
//     qxUtil::BitField seen(1000);
//     seen.setBit(17, true);
//     seen[40] = true;
//     seen.numBitsSet();           // 2
//
// BitFieldAuto grows when a bit beyond its end is set, reads bits beyond its
// end as clear, and compares and combines fields of different lengths.
#ifndef QXBASE_COMPONENTS_BASE_UTILITY_QXBITFIELD_H
#define QXBASE_COMPONENTS_BASE_UTILITY_QXBITFIELD_H

#include "containers/qxVector.h"
#include "qxDefs.h"

namespace qxUtil {

// The number of set bits of a word, by the parallel bit count.
inline int popCount(unsigned int x) {
    x = x - ((x >> 1) & 0x55555555u);
    x = (x & 0x33333333u) + ((x >> 2) & 0x33333333u);
    x = (x + (x >> 4)) & 0x0F0F0F0Fu;
    return static_cast<int>((x * 0x01010101u) >> 24);
}

class QX_API BitField {
public:
    // Bit i of a field, as an lvalue: reads the bit, and assigning a bool
    // sets or clears it through setBit.
    class BitRef {
    public:
        BitRef(BitField* field, int index) : m_field(field), m_index(index) {}
        operator bool() const { return m_field->testBit(m_index); }
        BitRef& operator=(bool value) {
            m_field->setBit(m_index, value);
            return *this;
        }
        BitRef& operator=(const BitRef& other) { return *this = static_cast<bool>(other); }

    private:
        BitField* m_field;
        int m_index;
    };

    BitField() : m_numBits(0), m_numSet(0) {}
    explicit BitField(int n) : m_numBits(0), m_numSet(0) { resizeAndReset(n); }

    // Equal when the sizes are equal and so are the first numBits bits; the
    // bits of the last word beyond the size do not count.
    bool operator==(const BitField& other) const;
    bool operator!=(const BitField& other) const { return !(*this == other); }

    // Unsigned indexing spares a sign extension on the hot path.
    bool testBit(int i) const {
        return (m_words.data()[static_cast<unsigned int>(i) >> 5] >> (i & 31)) & 1u;
    }
    bool operator[](int i) const { return testBit(i); }
    BitRef operator[](int i) { return BitRef(this, i); }

    // The count moves only when the bit changes.
    BitField& setBit(int i, bool value) {
        unsigned int& w = m_words.data()[static_cast<unsigned int>(i) >> 5];
        const unsigned int shift = static_cast<unsigned int>(i & 31);
        const unsigned int changed = ((w >> shift) & 1u) ^ static_cast<unsigned int>(value);
        w ^= changed << shift;
        m_numSet += static_cast<int>(changed) * (value ? 1 : -1);
        return *this;
    }

    // Each of this field's words combined with the other's word of the same
    // index, then the set bits counted again. Words the other field lacks
    // count as 0.
    BitField& operator&=(const BitField& other);
    BitField& operator|=(const BitField& other);
    BitField& operator^=(const BitField& other);

    bool allSet() const { return m_numSet == m_numBits; }
    bool anySet() const { return m_numSet > 0; }
    const qx::vector<unsigned int>& bits() const { return m_words; }
    int maxAvailableBits() const { return m_numBits; }
    int numBitsSet() const { return m_numSet; }

    void resetAll();
    // Every bit of every word, those beyond the size included.
    void setAll();
    // n bits, all clear; a negative n is ignored.
    void resizeAndReset(int n);

private:
    qx::vector<unsigned int> m_words;
    int m_numBits;
    int m_numSet;
};

class QX_API BitFieldAuto {
public:
    // Bit i of a field, as an lvalue: reads the bit, and assigning a bool
    // sets or clears it through setBit (setting may grow the field).
    class BitRefAuto {
    public:
        BitRefAuto(BitFieldAuto* field, int index) : m_field(field), m_index(index) {}
        operator bool() const { return m_field->testBit(m_index); }
        BitRefAuto& operator=(bool value) {
            m_field->setBit(m_index, value);
            return *this;
        }
        BitRefAuto& operator=(const BitRefAuto& other) { return *this = static_cast<bool>(other); }

    private:
        BitFieldAuto* m_field;
        int m_index;
    };

    // One word, clear.
    BitFieldAuto() : m_words(1, 0u) {}
    // Room for bit n: n / 32 + 1 words, clear.
    explicit BitFieldAuto(int n) { reserveSize(n); }

    // Equal when the common words are equal and the longer field's further
    // words are 0.
    bool operator==(const BitFieldAuto& other) const;
    bool operator!=(const BitFieldAuto& other) const { return !(*this == other); }

    // Bits beyond the end (and negative ones) are clear.
    bool testBit(int i) const {
        return i >= 0 && (i >> 5) < m_words.size() && ((m_words[i >> 5] >> (i & 31)) & 1u);
    }
    bool operator[](int i) const { return testBit(i); }
    BitRefAuto operator[](int i) { return BitRefAuto(this, i); }

    // Setting a bit beyond the end grows the field to hold it; clearing one
    // there, or any negative index, does nothing.
    BitFieldAuto& setBit(int i, bool value) {
        if (i < 0) return *this;
        const int word = i >> 5;
        if (word >= m_words.size()) {
            if (!value) return *this;
            m_words.resize(word + 1);
        }
        const unsigned int mask = 1u << (i & 31);
        if (value)
            m_words[word] |= mask;
        else
            m_words[word] &= ~mask;
        return *this;
    }

    // AND keeps the size (words beyond the other's end become 0); OR and
    // XOR grow this field to the longer size first.
    BitFieldAuto& operator&=(const BitFieldAuto& other);
    BitFieldAuto& operator|=(const BitFieldAuto& other);
    BitFieldAuto& operator^=(const BitFieldAuto& other);
    BitFieldAuto operator&(const BitFieldAuto& other) const { return BitFieldAuto(*this) &= other; }
    BitFieldAuto operator|(const BitFieldAuto& other) const { return BitFieldAuto(*this) |= other; }
    BitFieldAuto operator^(const BitFieldAuto& other) const { return BitFieldAuto(*this) ^= other; }

    bool anySet() const;
    int maxAvailableBits() const { return 32 * m_words.size(); }
    // Grows to hold bit n (n / 32 + 1 words); never shrinks.
    void reserveSize(int n);
    void resetAll();
    // Every bit of the mask is set here. False when this field has fewer
    // words than the mask, even if the mask's extra words are 0.
    bool testBits(const BitFieldAuto& mask) const;

private:
    qx::vector<unsigned int> m_words;
};

}  // namespace qxUtil

#endif
