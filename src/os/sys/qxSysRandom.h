// Platform layer: the system's cryptographically secure random source.
#ifndef QXBASE_OS_SYS_QXSYSRANDOM_H
#define QXBASE_OS_SYS_QXSYSRANDOM_H

#include <cstddef>

namespace qx {
namespace sys {

// Fills buf with n random bytes from the system generator (BCryptGenRandom,
// getrandom). Returns false when the generator failed; buf may then hold
// fewer random bytes than asked for.
bool secureRandom(void* buf, size_t n);

}  // namespace sys
}  // namespace qx

#endif
