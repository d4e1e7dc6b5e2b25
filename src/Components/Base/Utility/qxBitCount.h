// Word-wise combination of two bit arrays with a count of the result's set
// bits, in one pass: the engine of BitField's &=, |= and ^=. Internal (not
// installed).
#ifndef QXBASE_COMPONENTS_BASE_UTILITY_QXBITCOUNT_H
#define QXBASE_COMPONENTS_BASE_UTILITY_QXBITCOUNT_H

namespace qxUtil {
namespace detail {

enum class BitOp { And, Or, Xor };

// The implementations: any x86-64, AVX2, AVX-512 with its population count.
enum class BitKernel { Portable, Avx2, Avx512 };

// a[i] = a[i] op b[i] for the n words; returns the number of set bits of the
// result. a and b may be the same array. The widest kernel the processor
// runs does the work.
int combineAndCount(unsigned int* a, const unsigned int* b, int n, BitOp op);

// The same with a chosen kernel, which the processor must run (for tests).
bool kernelRuns(BitKernel kernel);
int combineAndCount(unsigned int* a, const unsigned int* b, int n, BitOp op, BitKernel kernel);

}  // namespace detail
}  // namespace qxUtil

#endif
