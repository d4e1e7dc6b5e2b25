// The classic 48-bit linear congruential generator of the drand48 family:
// X(n+1) = (a X(n) + c) mod 2^48 with a = 0x5DEECE66D and c = 0xB, the state
// starting at 0 until it is seeded.
//
// The library's own generator has names of its own, qxUtil_drand48 and so
// on, on every target. Where the C runtime has no drand48 family (Windows)
// the library also exports it under the five standard names; where the C
// library has them (Linux), those are the C library's, which compute the
// same values, and this header declares them through <cstdlib>. The library
// never exports the standard names there: a second definition would take
// the C library's place in every program that loads the library.
//
// One state for the whole process, shared by all threads without a lock.
#ifndef QXBASE_COMPONENTS_BASE_UTILITY_QXRAND48_H
#define QXBASE_COMPONENTS_BASE_UTILITY_QXRAND48_H

#include "qxDefs.h"

#include <cstdlib>

extern "C" {

// The next value, in [0, 1): the 48-bit state over 2^48.
QX_API double qxUtil_drand48(void);
// The same from the caller's state (three 16-bit words, lowest first),
// which it advances; the process's multiplier and addend.
QX_API double qxUtil_erand48(unsigned short state[3]);
// The next value as the state's high 31 bits, in [0, 2^31).
QX_API long qxUtil_lrand48(void);
// The state's high 32 bits become the low 32 bits of seed, its low 16 bits
// 0x330E; the standard multiplier and addend again.
QX_API void qxUtil_srand48(long seed);
// Installs the three words as the state (and the standard multiplier and
// addend) and returns the previous state, in a buffer of the process that
// the next call overwrites.
QX_API unsigned short* qxUtil_seed48(unsigned short seed[3]);

#if QX_EXPORTS_RAND48
// The same functions under the standard names.
QX_API double drand48(void);
QX_API double erand48(unsigned short state[3]);
QX_API long lrand48(void);
QX_API void srand48(long seed);
QX_API unsigned short* seed48(unsigned short seed[3]);
#endif
}

#endif
