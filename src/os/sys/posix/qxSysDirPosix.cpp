// POSIX backend of path status, access checks, removal, renaming and
// directory listing, answering as the Windows runtime calls do.
#include "os/sys/posix/qxSysPosix.h"
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysFile.h"
#include "string/qxUtf8Codec.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qx {
namespace sys {

namespace {

bool isLink(const std::string& native) {
    struct stat st;
    return ::lstat(native.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

}  // namespace

int statPath(const WChar* path, PathStatus* status) {
    std::string native;
    if (const int rc = systemPath(path, native)) return rc;
    if (native.empty()) return kErrorFileNotFound;
    struct stat st;
    if (::stat(native.c_str(), &st) != 0) return pathError(errno, native);
    status->isDirectory = S_ISDIR(st.st_mode);
    status->isRegular = S_ISREG(st.st_mode);
    status->size = static_cast<long long>(st.st_size);
    status->modified = static_cast<long long>(st.st_mtime);
    status->created = static_cast<long long>(st.st_ctime);
    return 0;
}

int accessPath(const WChar* path, int mode) {
    std::string native;
    if (const int rc = systemPath(path, native)) return rc;
    if (native.empty()) return kErrorFileNotFound;
    int how = F_OK;
    if (mode & kAccessRead) how |= R_OK;
    if (mode & kAccessWrite) how |= W_OK;
    if (::access(native.c_str(), how) != 0) return pathError(errno, native);
    if (mode & kAccessWrite) {
        struct stat st;
        if (::stat(native.c_str(), &st) != 0) return pathError(errno, native);
        if (!(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) return kErrorAccessDenied;
    }
    return 0;
}

int removeDirectory(const WChar* path) {
    std::string native;
    if (const int rc = systemPath(path, native)) return rc;
    if (native.empty()) return kErrorFileNotFound;
    if (::rmdir(native.c_str()) == 0) return 0;
    const int err = errno;
    // A link to a directory goes as the link, as RemoveDirectoryW removes a
    // directory link and never what it points to.
    struct stat st;
    if (err == ENOTDIR && isLink(native) && ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return ::unlink(native.c_str()) == 0 ? 0 : pathError(errno, native);
    // Some file systems say EEXIST for a directory that is not empty.
    return err == EEXIST ? kErrorDirNotEmpty : pathError(err, native);
}

int unlinkFile(const WChar* path) {
    std::string native;
    if (const int rc = systemPath(path, native)) return rc;
    if (native.empty()) return kErrorFileNotFound;
    // DeleteFileW refuses a link to a directory: that one is removed as a
    // directory (see removeDirectory).
    struct stat st;
    if (isLink(native) && ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return kErrorAccessDenied;
    if (::unlink(native.c_str()) == 0) return 0;
    // EISDIR on Linux, EPERM elsewhere: Windows refuses with access denied.
    return errno == EISDIR || errno == EPERM ? kErrorAccessDenied : pathError(errno, native);
}

bool isLinkPath(const WChar* path) {
    std::string native;
    if (systemPath(path, native) != 0 || native.empty()) return false;
    // "link/" would name what the link points to.
    while (native.size() > 1 && native.back() == '/') native.pop_back();
    return isLink(native);
}

namespace {

// One name spelt two ways ("d\..\x" and "x"): Windows renames it onto
// itself, successfully and without change. Two links to one file are two
// names, and stay apart.
bool samePath(const std::string& a, const std::string& b) {
    char x[PATH_MAX], y[PATH_MAX];
    return ::realpath(a.c_str(), x) && ::realpath(b.c_str(), y) && std::strcmp(x, y) == 0;
}

// A missing or misplaced name is the source's when the source is not
// there, else the target's.
int renameError(int err, const std::string& src, const std::string& dst) {
    struct stat st;
    return pathError(err, ::lstat(src.c_str(), &st) != 0 ? src : dst);
}

}  // namespace

int renamePath(const WChar* from, const WChar* to) {
    std::string src, dst;
    if (const int rc = systemPath(from, src)) return rc;
    if (const int rc = systemPath(to, dst)) return rc;
    if (src.empty() || dst.empty()) return kErrorFileNotFound;
    // The kernel refuses to replace; where the file system cannot promise
    // that, a look first (another process may still slip in between).
    if (::renameat2(AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) {
        if (errno != EEXIST && errno != ENOTEMPTY) return renameError(errno, src, dst);
        return samePath(src, dst) ? 0 : kErrorAlreadyExists;
    }
    struct stat st;
    if (::lstat(dst.c_str(), &st) == 0) return samePath(src, dst) ? 0 : kErrorAlreadyExists;
    return ::rename(src.c_str(), dst.c_str()) == 0 ? 0 : renameError(errno, src, dst);
}

namespace {

// One entry of a listing: its name's units at offset in the shared pool,
// so that a listing costs no allocation per entry. Each name is followed by
// NUL units up to a multiple of four, so names compare four units at a time.
struct ListedEntry {
    size_t offset;
    unsigned length;
    unsigned kind;
};

constexpr size_t kUnitsPerWord = 4;

inline size_t paddedUnits(size_t n) {
    return (n + kUnitsPerWord) & ~(kUnitsPerWord - 1);
}

// UTF-16 order of two padded names. Words that agree and hold a NUL unit
// end both names (the padding is zeros).
inline bool unitsLess(const WChar* x, const WChar* y) {
    for (;; x += kUnitsPerWord, y += kUnitsPerWord) {
        std::uint64_t a, b;
        std::memcpy(&a, x, sizeof a);
        std::memcpy(&b, y, sizeof b);
        if (a != b) break;
        if ((a - 0x0001000100010001u) & ~a & 0x8000800080008000u) return false;
    }
    size_t i = 0;
    while (x[i] == y[i]) ++i;
    return x[i] < y[i];
}

// Three-way radix quicksort on the units: a unit compared at one depth is
// never looked at again, so names that share a long prefix (file0001,
// file0002...) cost little more than short ones. Names from the same
// directory all differ, unless two invalid UTF-8 names decode to the same
// text; their order is then arbitrary.
void sortNames(ListedEntry* a, size_t n, const WChar* pool, size_t depth) {
    const auto unit = [pool, &depth](const ListedEntry& e) -> unsigned {
        return depth < e.length ? pool[e.offset + depth] : 0;
    };
    while (n > 1) {
        if (n < 12) {
            // Every name here has more than depth units and the same first
            // depth units: compare from the word that holds unit depth.
            const size_t from = depth & ~(kUnitsPerWord - 1);
            for (size_t i = 1; i < n; ++i) {
                const ListedEntry e = a[i];
                size_t j = i;
                for (; j > 0 && unitsLess(pool + e.offset + from, pool + a[j - 1].offset + from);
                     --j)
                    a[j] = a[j - 1];
                a[j] = e;
            }
            return;
        }
        std::swap(a[0], a[n / 2]);
        const unsigned pivot = unit(a[0]);
        size_t lt = 0, i = 1, gt = n;
        while (i < gt) {
            const unsigned u = unit(a[i]);
            if (u < pivot)
                std::swap(a[lt++], a[i++]);
            else if (u > pivot)
                std::swap(a[i], a[--gt]);
            else
                ++i;
        }
        sortNames(a, lt, pool, depth);
        sortNames(a + gt, n - gt, pool, depth);
        if (pivot == 0) return;  // these names end here
        a += lt;
        n = gt - lt;
        ++depth;
    }
}

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
    std::string native;
    if (const int rc = systemPath(dir, native)) return rc;
    if (native.empty()) native = ".";
    DIR* d = ::opendir(native.c_str());
    // FindFirstFileW on "dir\*" finds no path when dir is missing.
    if (!d) return errno == ENOENT ? kErrorPathNotFound : pathError(errno, native);
    std::vector<WChar> pool;
    std::vector<ListedEntry> entries;
    pool.reserve(4096);
    entries.reserve(64);
    errno = 0;
    while (const dirent* e = ::readdir(d)) {
        const size_t len = std::char_traits<char>::length(e->d_name);
        const size_t at = pool.size();
        // A name has no more UTF-16 units than UTF-8 bytes; new units are
        // zeros, which leaves the padding in place.
        pool.resize(at + paddedUnits(len));
        bool invalid = false;
        const size_t n = utf8::toUtf16(e->d_name, len, pool.data() + at, len, &invalid);
        pool.resize(at + paddedUnits(n));
        entries.push_back({at, static_cast<unsigned>(n), entryKind(::dirfd(d), e)});
    }
    const int readError = errno;
    ::closedir(d);
    if (readError) return win32FromErrno(readError);
    const WChar* names = pool.data();
    sortNames(entries.data(), entries.size(), names, 0);
    for (const ListedEntry& e : entries) add(ctx, names + e.offset, e.length, e.kind);
    return 0;
}

}  // namespace sys
}  // namespace qx
