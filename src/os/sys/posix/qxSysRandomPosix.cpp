// POSIX backend of the random source: getrandom(2) from the kernel's pool.
#include "os/sys/qxSysRandom.h"

#include <cerrno>

#include <sys/random.h>

namespace qx {
namespace sys {

bool secureRandom(void* buf, size_t n) {
    char* p = static_cast<char*>(buf);
    while (n > 0) {
        const ssize_t got = ::getrandom(p, n, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += got;
        n -= static_cast<size_t>(got);
    }
    return true;
}

}  // namespace sys
}  // namespace qx
