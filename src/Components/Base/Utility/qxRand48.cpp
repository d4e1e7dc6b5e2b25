#include "Components/Base/Utility/qxRand48.h"

#include <cstdint>

namespace {

const unsigned short kMultiplier[3] = {0xE66D, 0xDEEC, 0x0005};
const unsigned short kAddend = 0x000B;

// The process's generator: the current value, the multiplier and the
// addend, three 16-bit words each lowest first (one for the addend).
struct State {
    unsigned short x[3];
    unsigned short a[3];
    unsigned short c;
};
State g_state = {{0, 0, 0}, {kMultiplier[0], kMultiplier[1], kMultiplier[2]}, kAddend};
// What seed48 hands back.
unsigned short g_previous[3];

uint64_t join(const unsigned short w[3]) {
    return static_cast<uint64_t>(w[0]) | static_cast<uint64_t>(w[1]) << 16 |
           static_cast<uint64_t>(w[2]) << 32;
}

// One step of the generator on x.
void advance(unsigned short x[3]) {
    const uint64_t next = (join(g_state.a) * join(x) + g_state.c) & ((uint64_t{1} << 48) - 1);
    x[0] = static_cast<unsigned short>(next);
    x[1] = static_cast<unsigned short>(next >> 16);
    x[2] = static_cast<unsigned short>(next >> 32);
}

// Exact: 48 bits fit a double's mantissa, whatever order the sum takes.
double scaled(const unsigned short x[3]) {
    return x[0] * 0x1p-48 + x[1] * 0x1p-32 + x[2] * 0x1p-16;
}

void standardParameters() {
    for (int i = 0; i < 3; ++i) g_state.a[i] = kMultiplier[i];
    g_state.c = kAddend;
}

}  // namespace

extern "C" {

double qxUtil_erand48(unsigned short state[3]) {
    advance(state);
    return scaled(state);
}

double qxUtil_drand48(void) {
    return qxUtil_erand48(g_state.x);
}

long qxUtil_lrand48(void) {
    advance(g_state.x);
    return static_cast<long>(static_cast<uint32_t>(g_state.x[2]) << 15 | g_state.x[1] >> 1);
}

void qxUtil_srand48(long seed) {
    const uint32_t s = static_cast<uint32_t>(seed);
    g_state.x[0] = 0x330E;
    g_state.x[1] = static_cast<unsigned short>(s);
    g_state.x[2] = static_cast<unsigned short>(s >> 16);
    standardParameters();
}

unsigned short* qxUtil_seed48(unsigned short seed[3]) {
    for (int i = 0; i < 3; ++i) g_previous[i] = g_state.x[i];
    for (int i = 0; i < 3; ++i) g_state.x[i] = seed[i];
    standardParameters();
    return g_previous;
}
}
