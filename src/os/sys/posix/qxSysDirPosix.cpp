// POSIX backend of path status, access checks, removal, renaming and
// directory listing, answering as the Windows runtime calls do.
#include "os/sys/posix/qxSysPosix.h"
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysFile.h"
#include "string/qxUtf8Codec.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qx {
namespace sys {

namespace {

// A missing path is ERROR_FILE_NOT_FOUND for the status and removal calls,
// as the runtime reports ENOENT for them.
int lastError() {
    return errno == ENOENT ? kErrorFileNotFound : win32FromErrno(errno);
}

}  // namespace

int statPath(const WChar* path, PathStatus* status) {
    std::string native;
    if (const int rc = nativePath(path, native)) return rc;
    if (native.empty()) return kErrorFileNotFound;
    struct stat st;
    if (::stat(native.c_str(), &st) != 0) return lastError();
    status->isDirectory = S_ISDIR(st.st_mode);
    status->isRegular = S_ISREG(st.st_mode);
    status->size = static_cast<long long>(st.st_size);
    status->modified = static_cast<long long>(st.st_mtime);
    status->created = static_cast<long long>(st.st_ctime);
    return 0;
}

int accessPath(const WChar* path, int mode) {
    std::string native;
    if (const int rc = nativePath(path, native)) return rc;
    if (native.empty()) return kErrorFileNotFound;
    int how = F_OK;
    if (mode & kAccessRead) how |= R_OK;
    if (mode & kAccessWrite) how |= W_OK;
    if (::access(native.c_str(), how) != 0) return lastError();
    if (mode & kAccessWrite) {
        struct stat st;
        if (::stat(native.c_str(), &st) != 0) return lastError();
        if (!(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) return kErrorAccessDenied;
    }
    return 0;
}

int removeDirectory(const WChar* path) {
    std::string native;
    if (const int rc = nativePath(path, native)) return rc;
    if (native.empty()) return kErrorFileNotFound;
    if (::rmdir(native.c_str()) == 0) return 0;
    // Some file systems say EEXIST for a directory that is not empty.
    return errno == EEXIST ? kErrorDirNotEmpty : lastError();
}

int unlinkFile(const WChar* path) {
    std::string native;
    if (const int rc = nativePath(path, native)) return rc;
    if (native.empty()) return kErrorFileNotFound;
    if (::unlink(native.c_str()) == 0) return 0;
    // EISDIR on Linux, EPERM elsewhere: Windows refuses with access denied.
    return errno == EISDIR || errno == EPERM ? kErrorAccessDenied : lastError();
}

int renamePath(const WChar* from, const WChar* to) {
    std::string src, dst;
    if (const int rc = nativePath(from, src)) return rc;
    if (const int rc = nativePath(to, dst)) return rc;
    if (src.empty() || dst.empty()) return kErrorFileNotFound;
    // The kernel refuses to replace; where the file system cannot promise
    // that, a look first (another process may still slip in between).
    if (::renameat2(AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno == EEXIST || errno == ENOTEMPTY ? kErrorAlreadyExists : lastError();
    struct stat st;
    if (::lstat(dst.c_str(), &st) == 0) return kErrorAlreadyExists;
    return ::rename(src.c_str(), dst.c_str()) == 0 ? 0 : lastError();
}

// Names that are no valid UTF-8 come up with U+FFFD in place of the bad
// bytes: listed, but not reachable under that name.
int listDirectory(const WChar* dir, DirectoryEntryFn add, void* ctx) {
    std::string native;
    if (const int rc = nativePath(dir, native)) return rc;
    if (native.empty()) native = ".";
    DIR* d = ::opendir(native.c_str());
    if (!d)
        return errno == ENOTDIR  ? kErrorDirectory
               : errno == ENOENT ? kErrorPathNotFound
                                 : win32FromErrno(errno);
    std::vector<std::u16string> names;
    std::vector<WChar> buf;
    errno = 0;
    while (const dirent* e = ::readdir(d)) {
        const size_t len = std::char_traits<char>::length(e->d_name);
        buf.resize(len + 1);
        bool invalid = false;
        const size_t n = utf8::toUtf16(e->d_name, len, buf.data(), buf.size(), &invalid);
        names.emplace_back(reinterpret_cast<const char16_t*>(buf.data()), n);
    }
    const int readError = errno;
    ::closedir(d);
    if (readError) return win32FromErrno(readError);
    std::sort(names.begin(), names.end());
    for (const std::u16string& n : names)
        add(ctx, reinterpret_cast<const WChar*>(n.c_str()), n.size());
    return 0;
}

}  // namespace sys
}  // namespace qx
