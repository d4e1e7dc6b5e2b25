// Win32 backend of the random source: the system-preferred BCrypt generator.
#include "os/sys/qxSysRandom.h"

#include <windows.h>

#include <bcrypt.h>

namespace qx {
namespace sys {

bool secureRandom(void* buf, size_t n) {
    unsigned char* p = static_cast<unsigned char*>(buf);
    while (n > 0) {
        const ULONG chunk = n > 0x40000000u ? 0x40000000u : static_cast<ULONG>(n);
        if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, p, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
            return false;
        p += chunk;
        n -= chunk;
    }
    return true;
}

}  // namespace sys
}  // namespace qx
