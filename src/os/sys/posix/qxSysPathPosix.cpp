// The path mapping of the POSIX backend: paths keep Windows shape above the
// platform layer and take their native shape only here, at the system call.
#include "os/sys/posix/qxSysPosix.h"
#include "os/sys/qxSysError.h"
#include "string/qxUtf8Codec.h"

#include <cerrno>

#include <sys/stat.h>

namespace qx {
namespace sys {

int nativePath(const WChar* path, std::string& out) {
    out.clear();
    if (!path) return kErrorPathNotFound;
    const WChar* p = path;
    if (p[0] == '\\' && p[1] == '\\' && p[2] == '?' && p[3] == '\\') {
        p += 4;
        // "\\?\UNC\server\share" is the long form of a UNC path.
        if ((p[0] == 'U' || p[0] == 'u') && (p[1] == 'N' || p[1] == 'n') &&
            (p[2] == 'C' || p[2] == 'c') && isSep(p[3]))
            return kErrorPathNotFound;
    } else if (isSep(p[0]) && isSep(p[1])) {
        return kErrorPathNotFound;
    }
    if (isDriveLetter(p[0]) && p[1] == ':') {
        p += 2;
        // "C:" alone is the current directory of that drive.
        if (!p[0]) {
            out = ".";
            return 0;
        }
    }

    size_t len = 0;
    while (p[len]) ++len;
    bool invalid = false;
    const size_t need = utf8::toUtf8(p, len, nullptr, 0, &invalid);
    if (invalid) return kErrorInvalidName;
    out.resize(need);
    utf8::toUtf8(p, len, &out[0], need, &invalid);
    for (char& c : out)
        if (c == '\\') c = '/';
    return 0;
}

size_t nativeSpelling(const WChar* path, size_t n, WChar* out) {
    size_t i = 0;
    if (n >= 4 && path[0] == '\\' && path[1] == '\\' && path[2] == '?' && path[3] == '\\') i = 4;
    if (n - i >= 2 && isDriveLetter(path[i]) && path[i + 1] == ':' &&
        (n - i == 2 || isSep(path[i + 2])))
        i += 2;
    size_t k = 0;
    // "C:" alone is the current directory.
    if (i == n && n > 0) out[k++] = '.';
    for (; i < n; ++i) out[k++] = path[i] == '\\' ? WChar('/') : path[i];
    return k;
}

int systemPath(const WChar* path, std::string& out) {
    if (const int rc = pathLengthError(path)) return rc;
    return nativePath(path, out);
}

namespace {

// The directory that holds the last component of a native path exists.
bool parentIsDirectory(const std::string& native) {
    size_t end = native.size();
    while (end > 1 && native[end - 1] == '/') --end;
    const size_t cut = native.rfind('/', end - 1);
    std::string parent;
    if (cut == std::string::npos)
        parent = ".";
    else
        parent.assign(native, 0, cut == 0 ? 1 : cut);
    struct stat st;
    return ::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

int pathError(int err, const std::string& native) {
    if (err == ENOENT) return parentIsDirectory(native) ? kErrorFileNotFound : kErrorPathNotFound;
    if (err == ENOTDIR) return parentIsDirectory(native) ? kErrorDirectory : kErrorPathNotFound;
    return win32FromErrno(err);
}

}  // namespace sys
}  // namespace qx
