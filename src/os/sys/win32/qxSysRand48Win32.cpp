// The Windows C runtime has no drand48 family: the library exports its own
// generator under the standard names. (The POSIX backend has no counterpart:
// there the C library's functions are the ones programs call.)
#include "Components/Base/Utility/qxRand48.h"

extern "C" {

double drand48(void) {
    return qxUtil_drand48();
}

double erand48(unsigned short state[3]) {
    return qxUtil_erand48(state);
}

long lrand48(void) {
    return qxUtil_lrand48();
}

void srand48(long seed) {
    qxUtil_srand48(seed);
}

unsigned short* seed48(unsigned short seed[3]) {
    return qxUtil_seed48(seed);
}
}
