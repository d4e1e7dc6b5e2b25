// POSIX backend of stdio files and the console.
#include "os/sys/posix/qxSysPosix.h"
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysFile.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <unistd.h>

namespace qx {
namespace sys {

std::FILE* openStdioFile(const WChar* path, const char* mode, int* error) {
    std::string native;
    int rc = nativePath(path, native);
    if (rc == 0 && native.empty()) rc = kErrorPathNotFound;
    // Windows' text mode has no meaning here; "e" keeps the descriptor out
    // of child processes.
    char m[8];
    size_t k = 0;
    for (const char* s = mode; *s && k + 2 < sizeof m; ++s)
        if (*s != 't') m[k++] = *s;
    m[k++] = 'e';
    m[k] = '\0';
    std::FILE* f = nullptr;
    if (rc == 0) {
        f = std::fopen(native.c_str(), m);
        if (!f) rc = win32FromErrno(errno);
    }
    if (error) *error = rc;
    return f;
}

bool writeStdout(const char* text, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(STDOUT_FILENO, text, n);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (w == 0) return false;
        text += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

}  // namespace sys
}  // namespace qx
