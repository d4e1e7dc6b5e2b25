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
    if (const int rc = pathLengthError(path)) return rc;
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
    if (const int rc = pathLengthError(path)) return rc;
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
    if (const int rc = pathLengthError(path)) return rc;
    std::string native;
    if (const int rc = nativePath(path, native)) return rc;
    if (native.empty()) return kErrorFileNotFound;
    if (::rmdir(native.c_str()) == 0) return 0;
    // Some file systems say EEXIST for a directory that is not empty.
    return errno == EEXIST ? kErrorDirNotEmpty : lastError();
}

int unlinkFile(const WChar* path) {
    if (const int rc = pathLengthError(path)) return rc;
    std::string native;
    if (const int rc = nativePath(path, native)) return rc;
    if (native.empty()) return kErrorFileNotFound;
    if (::unlink(native.c_str()) == 0) return 0;
    // EISDIR on Linux, EPERM elsewhere: Windows refuses with access denied.
    return errno == EISDIR || errno == EPERM ? kErrorAccessDenied : lastError();
}

int renamePath(const WChar* from, const WChar* to) {
    if (const int rc = pathLengthError(from)) return rc;
    if (const int rc = pathLengthError(to)) return rc;
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

namespace {

// One entry of a listing: its name's units at offset in the shared pool,
// NUL-terminated, so that a listing costs no allocation per entry.
struct ListedEntry {
    size_t offset;
    unsigned length;
    unsigned kind;
};

unsigned entryKind(int dirFd, const dirent* e) {
    switch (e->d_type) {
        case DT_REG:
            return kEntryFile;
        case DT_DIR:
            return kEntryDirectory;
        case DT_LNK:
            return kEntryLink;
        case DT_UNKNOWN:
            break;
        default:
            return kEntryOther;
    }
    // Some file systems leave the type to a status call. An entry gone
    // meanwhile stays listed as a file.
    struct stat st;
    if (::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || S_ISREG(st.st_mode))
        return kEntryFile;
    return S_ISDIR(st.st_mode) ? kEntryDirectory : S_ISLNK(st.st_mode) ? kEntryLink : kEntryOther;
}

}  // namespace

// Names that are no valid UTF-8 come up with U+FFFD in place of the bad
// bytes: listed, but not reachable under that name. A link is only a link
// here, whatever it points to.
int listDirectory(const WChar* dir, DirectoryEntryFn add, void* ctx) {
    if (const int rc = pathLengthError(dir)) return rc;
    std::string native;
    if (const int rc = nativePath(dir, native)) return rc;
    if (native.empty()) native = ".";
    DIR* d = ::opendir(native.c_str());
    if (!d)
        return errno == ENOTDIR  ? kErrorDirectory
               : errno == ENOENT ? kErrorPathNotFound
                                 : win32FromErrno(errno);
    std::vector<WChar> pool;
    std::vector<ListedEntry> entries;
    pool.reserve(4096);
    entries.reserve(64);
    errno = 0;
    while (const dirent* e = ::readdir(d)) {
        const size_t len = std::char_traits<char>::length(e->d_name);
        const size_t at = pool.size();
        // A name has no more UTF-16 units than UTF-8 bytes.
        pool.resize(at + len + 1);
        bool invalid = false;
        const size_t n = utf8::toUtf16(e->d_name, len, pool.data() + at, len, &invalid);
        pool.resize(at + n + 1);
        pool[at + n] = 0;
        entries.push_back({at, static_cast<unsigned>(n), entryKind(::dirfd(d), e)});
    }
    const int readError = errno;
    ::closedir(d);
    if (readError) return win32FromErrno(readError);
    // Names hold no NUL, so comparing through the terminator orders a name
    // before every longer name it starts.
    const WChar* names = pool.data();
    std::sort(entries.begin(), entries.end(), [names](const ListedEntry& a, const ListedEntry& b) {
        const WChar* x = names + a.offset;
        const WChar* y = names + b.offset;
        while (*x && *x == *y) ++x, ++y;
        return *x < *y;
    });
    for (const ListedEntry& e : entries) add(ctx, names + e.offset, e.length, e.kind);
    return 0;
}

}  // namespace sys
}  // namespace qx
