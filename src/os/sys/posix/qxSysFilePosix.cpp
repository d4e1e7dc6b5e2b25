// POSIX backend of stdio files and the console.
#include "os/sys/posix/qxSysPosix.h"
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysFile.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "string/qxUtf8Codec.h"

namespace qx {
namespace sys {

// Opened by hand so that two Windows refusals hold here too: a directory is
// no file (fopen would open it for reading), and a file without write bits
// is read-only for root as well (checked before a "w" truncates it).
std::FILE* openStdioFile(const WChar* path, const char* mode, int* error) {
    std::string native;
    int rc = systemPath(path, native);
    if (rc == 0 && native.empty()) rc = kErrorPathNotFound;

    // Windows' text mode has no meaning here.
    char m[8];
    size_t k = 0;
    bool plus = false;
    for (const char* s = mode; *s && k + 1 < sizeof m; ++s) {
        if (*s == '+') plus = true;
        if (*s != 't') m[k++] = *s;
    }
    m[k] = '\0';
    int flags = O_CLOEXEC;
    bool truncate = false;
    switch (mode[0]) {
        case 'r':
            flags |= plus ? O_RDWR : O_RDONLY;
            break;
        case 'w':
            flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT;
            truncate = true;
            break;
        case 'a':
            flags |= (plus ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
            break;
        default:
            if (rc == 0) rc = kErrorInvalidParameter;
    }

    std::FILE* f = nullptr;
    if (rc == 0) {
        const int fd = ::open(native.c_str(), flags, 0666);
        struct stat st;
        if (fd < 0) {
            rc = pathError(errno, native);
        } else if (::fstat(fd, &st) != 0) {
            rc = win32FromErrno(errno);
        } else if (S_ISDIR(st.st_mode)) {
            rc = kErrorAccessDenied;
        } else if ((flags & O_ACCMODE) != O_RDONLY && S_ISREG(st.st_mode) &&
                   !(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) {
            rc = kErrorAccessDenied;
        } else if (truncate && S_ISREG(st.st_mode) && st.st_size != 0 && ::ftruncate(fd, 0) != 0) {
            rc = win32FromErrno(errno);
        } else if (!(f = ::fdopen(fd, m))) {
            rc = win32FromErrno(errno);
        }
        if (!f && fd >= 0) ::close(fd);
    }
    if (error) *error = rc;
    return f;
}

int makeDirectory(const WChar* path) {
    std::string native;
    if (const int rc = systemPath(path, native)) return rc;
    if (::mkdir(native.c_str(), 0777) == 0) return 0;
    // CreateDirectoryW's number for a name taken, file or directory.
    return errno == EEXIST ? kErrorAlreadyExists : pathError(errno, native);
}

int setCurrentDirectory(const WChar* path) {
    std::string native;
    if (const int rc = systemPath(path, native)) return rc;
    return ::chdir(native.c_str()) == 0 ? 0 : pathError(errno, native);
}

// The name as the layer above sees it: '/' becomes '\\'. A name that is no
// valid UTF-8 has no such shape and counts as unreadable.
size_t currentDirectory(WChar* buf, size_t cap) {
    char native[4096];
    if (cap == 0 || !::getcwd(native, sizeof native)) return 0;
    const size_t len = std::strlen(native);
    bool invalid = false;
    const size_t n = utf8::toUtf16(native, len, buf, cap, &invalid);
    if (invalid || n >= cap) return 0;
    for (size_t i = 0; i < n; ++i)
        if (buf[i] == '/') buf[i] = '\\';
    buf[n] = 0;
    return n;
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
