// POSIX backend of full paths, copying, volume queries, temporary names,
// ownership and links, answering as the Win32 calls do.
#include "os/sys/posix/qxSysPosix.h"
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysFile.h"
#include "string/qxUtf8Codec.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace qx {
namespace sys {

namespace {

using WString = std::basic_string<WChar>;

constexpr int kErrorInsufficientBuffer = 122;

size_t unitLength(const WChar* s) {
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

// Appends the current directory in Windows shape ("\home\me", never with a
// drive) without its leading separator.
bool appendCurrentDirectory(WString& out) {
    WChar cwd[4096];
    const size_t n = currentDirectory(cwd, sizeof cwd / sizeof cwd[0]);
    if (n == 0) return false;
    out.append(cwd + 1, n - 1);
    return true;
}

// GetFullPathNameW on text alone. The root (a drive "X:\", a UNC
// "\\server\share\", else "\") is kept as given and never popped; the rest
// is joined to the current directory when relative and then resolved
// component by component.
int buildFullPath(const WChar* path, WString& out) {
    if (!path || !path[0]) return kErrorInvalidName;
    out.clear();
    WString rel;  // what follows the root, relative to it
    const WChar* p = path;
    bool shareOnly = false;
    if (isSep(p[0]) && isSep(p[1])) {
        out.assign(2, '\\');
        p += 2;
        for (int part = 0; part < 2; ++part) {
            while (*p && !isSep(*p)) out += *p++;
            if (part == 0 && *p) out += '\\', ++p;
        }
        shareOnly = !*p;
        out += '\\';
        rel = p;
    } else if (isDriveLetter(p[0]) && p[1] == ':') {
        out.assign(p, 2);
        out += '\\';
        p += 2;
        // "X:rel" is relative to the current directory, drive or not.
        if (!isSep(*p) && !appendCurrentDirectory(rel)) return kErrorPathNotFound;
        if (!isSep(*p)) rel += '\\';
        rel += p;
    } else {
        out.assign(1, '\\');
        if (!isSep(*p)) {
            if (!appendCurrentDirectory(rel)) return kErrorPathNotFound;
            rel += '\\';
        }
        rel += p;
    }

    const size_t root = out.size();
    const WChar* s = rel.c_str();
    while (*s) {
        while (isSep(*s)) ++s;
        const WChar* b = s;
        while (*s && !isSep(*s)) ++s;
        const size_t n = static_cast<size_t>(s - b);
        if (n == 0 || (n == 1 && b[0] == '.')) continue;
        if (n == 2 && b[0] == '.' && b[1] == '.') {
            if (out.size() > root) {
                out.pop_back();
                out.erase(out.find_last_of('\\') + 1);
            }
            continue;
        }
        out.append(b, n);
        out += '\\';
    }
    // A trailing separator stays, as GetFullPathNameW keeps it; a bare
    // "\\server\share" gets none.
    const size_t len = unitLength(path);
    if (out.size() > root ? !isSep(path[len - 1]) : shareOnly) out.pop_back();
    return 0;
}

}  // namespace

int pathLengthError(const WChar* path, size_t extra) {
    if (!path) return 0;
    const size_t n = unitLength(path);
    // The full form of an absolute path is never longer than the text, and
    // that of a relative one never longer than the current directory, a
    // separator and the text (a UTF-8 name has at least as many bytes as
    // UTF-16 units).
    const bool absolute =
        isSep(path[0]) || (isDriveLetter(path[0]) && path[1] == ':' && isSep(path[2]));
    if (absolute) {
        if (n + extra < kMaxPath) return 0;
    } else if (n + extra + 1 < kMaxPath) {
        char cwd[kMaxPath];
        if (::getcwd(cwd, sizeof cwd) && n + extra + 1 + std::strlen(cwd) < kMaxPath) return 0;
    }
    WString full;
    if (buildFullPath(path, full) != 0) return 0;
    return full.size() + extra >= kMaxPath ? kErrorFilenameExcedRange : 0;
}

// Two differences from Windows: "X:rel" joins the one current directory
// (Windows keeps one per drive), and trailing dots and spaces stay on a name
// (Windows drops them; here they are part of it).
int fullPath(const WChar* path, WChar* buf, size_t cap, size_t* length) {
    WString full;
    if (const int rc = buildFullPath(path, full)) return rc;
    if (full.size() >= cap) {
        if (length) *length = full.size() + 1;
        return kErrorInsufficientBuffer;
    }
    full.copy(buf, full.size());
    buf[full.size()] = 0;
    if (length) *length = full.size();
    return 0;
}

namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now, reporting what close says (a network file system may
    // report a failed write only here).
    int close() {
        const int rc = ::close(fd_);
        fd_ = -1;
        return rc == 0 || errno == EINTR ? 0 : errno;
    }

private:
    int fd_;
};

bool noKernelCopy(int err) {
    return err == EXDEV || err == ENOSYS || err == EINVAL || err == EOPNOTSUPP || err == ENOTSUP;
}

// Copies the rest of in to out from their current offsets: inside the
// kernel where the file systems allow it, else through a buffer. 0 or an
// errno value.
int copyBytes(int in, int out) {
    constexpr size_t kChunk = size_t(1) << 30;
    enum { kRange, kSendfile, kReadWrite } how = kRange;
    bool copied = false;
    for (;;) {
        ssize_t n;
        if (how == kRange) {
            n = ::copy_file_range(in, nullptr, out, nullptr, kChunk, 0);
            // Pseudo files (procfs, sysfs) claim no size and give the kernel
            // copy nothing: read what is there.
            if (n == 0 && !copied) how = kReadWrite;
        } else if (how == kSendfile) {
            n = ::sendfile(out, in, nullptr, kChunk);
        } else {
            break;
        }
        if (n > 0) {
            copied = true;
            continue;
        }
        if (n == 0) {
            if (how == kReadWrite) break;
            return 0;
        }
        if (errno == EINTR) continue;
        if (!noKernelCopy(errno)) return errno;
        how = how == kRange ? kSendfile : kReadWrite;
    }
    std::vector<char> buf(size_t(1) << 17);
    for (;;) {
        const ssize_t n = ::read(in, buf.data(), buf.size());
        if (n == 0) return 0;
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buf.data() + done, static_cast<size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            done += w;
        }
    }
}

}  // namespace

// The read-only attribute is the mode without write bits, which root would
// otherwise ignore. A file system that keeps no modes or times (vfat, some
// network mounts) refuses to set them; the copy stands without them.
int copyFile(const WChar* from, const WChar* to, bool failIfExists) {
    std::string src, dst;
    if (const int rc = systemPath(from, src)) return rc;
    if (const int rc = systemPath(to, dst)) return rc;
    if (src.empty() || dst.empty()) return kErrorPathNotFound;

    Fd in(::open(src.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) return pathError(errno, src);
    struct stat from_st;
    if (::fstat(in.get(), &from_st) != 0) return win32FromErrno(errno);
    if (S_ISDIR(from_st.st_mode)) return kErrorAccessDenied;

    struct stat to_st;
    const bool exists = ::stat(dst.c_str(), &to_st) == 0;
    if (exists) {
        // Windows holds the source open against writers: never truncate it.
        if (to_st.st_dev == from_st.st_dev && to_st.st_ino == from_st.st_ino)
            return kErrorSharingViolation;
        if (failIfExists) return kErrorFileExists;
        if (S_ISDIR(to_st.st_mode)) return kErrorAccessDenied;
        if (!(to_st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) return kErrorAccessDenied;
    }
    const int flags = O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | (failIfExists ? O_EXCL : 0);
    Fd out(::open(dst.c_str(), flags, from_st.st_mode & 0777));
    if (out.get() < 0) return errno == EEXIST ? kErrorFileExists : pathError(errno, dst);

    int err = copyBytes(in.get(), out.get());
    if (err == 0) {
        ::fchmod(out.get(), from_st.st_mode & 07777);
        const struct timespec times[2] = {from_st.st_atim, from_st.st_mtim};
        ::futimens(out.get(), times);
        err = out.close();
    }
    if (err == 0) return 0;
    if (!exists) ::unlink(dst.c_str());
    return win32FromErrno(err);
}

namespace {

// fsync of what path names, opened for reading (enough for fsync on Linux).
int syncPath(const std::string& native, int flags) {
    Fd fd(::open(native.c_str(), O_RDONLY | O_CLOEXEC | flags));
    if (fd.get() < 0) return errno;
    while (::fsync(fd.get()) != 0)
        if (errno != EINTR) return errno;
    return 0;
}

}  // namespace

int flushFile(const WChar* path) {
    std::string native;
    if (const int rc = systemPath(path, native)) return rc;
    if (native.empty()) return kErrorFileNotFound;
    const int err = syncPath(native, 0);
    return err == 0 ? 0 : pathError(err, native);
}

int syncDirectory(const WChar* path) {
    std::string native;
    if (const int rc = systemPath(path, native)) return rc;
    if (native.empty()) native = ".";
    const int err = syncPath(native, O_DIRECTORY);
    // Some file systems have nothing to sync for a directory and say so.
    if (err == 0 || err == EINVAL || err == ENOTSUP || err == EOPNOTSUPP) return 0;
    return pathError(err, native);
}

int linkFile(const WChar* existing, const WChar* link) {
    std::string from, to;
    if (const int rc = systemPath(existing, from)) return rc;
    if (const int rc = systemPath(link, to)) return rc;
    if (from.empty() || to.empty()) return kErrorPathNotFound;
    if (::link(from.c_str(), to.c_str()) == 0) return 0;
    const int err = errno;
    struct stat st;
    switch (err) {
        case EEXIST:
            return kErrorAlreadyExists;
        case EXDEV:
            return kErrorNotSameDevice;
        case EPERM:
        case ENOTSUP:
#if EOPNOTSUPP != ENOTSUP
        case EOPNOTSUPP:
#endif
            // Linux says EPERM for a directory, for a file system without
            // hard links, and for another's file under protected_hardlinks.
            if (::lstat(from.c_str(), &st) != 0) return pathError(errno, from);
            return S_ISDIR(st.st_mode) ? kErrorAccessDenied : kErrorInvalidFunction;
        default:
            return pathError(err, ::lstat(from.c_str(), &st) != 0 ? from : to);
    }
}

int replaceFile(const WChar* from, const WChar* to) {
    std::string src, dst;
    if (const int rc = systemPath(from, src)) return rc;
    if (const int rc = systemPath(to, dst)) return rc;
    if (src.empty() || dst.empty()) return kErrorPathNotFound;
    struct stat source, target;
    if (::lstat(src.c_str(), &source) != 0) return pathError(errno, src);
    if (::lstat(dst.c_str(), &target) == 0) {
        // What Windows refuses to replace: a directory, a read-only file.
        if (S_ISDIR(target.st_mode) || S_ISDIR(source.st_mode)) return kErrorAccessDenied;
        if (S_ISREG(target.st_mode)) {
            if (!(target.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) return kErrorAccessDenied;
            // A file system without modes refuses; the rename still stands.
            if ((source.st_mode & 07777) != (target.st_mode & 07777))
                ::chmod(src.c_str(), target.st_mode & 07777);
        }
    }
    if (::rename(src.c_str(), dst.c_str()) == 0) return 0;
    const int err = errno;
    if (err == EXDEV) return kErrorNotSameDevice;
    if (err == EISDIR || err == ENOTEMPTY || err == EEXIST) return kErrorAccessDenied;
    return pathError(err, ::lstat(src.c_str(), &source) != 0 ? src : dst);
}

bool sameFile(const WChar* a, const WChar* b) {
    std::string x, y;
    if (systemPath(a, x) != 0 || systemPath(b, y) != 0 || x.empty() || y.empty()) return false;
    struct stat sx, sy;
    return ::stat(x.c_str(), &sx) == 0 && ::stat(y.c_str(), &sy) == 0 && sx.st_dev == sy.st_dev &&
           sx.st_ino == sy.st_ino;
}

int diskFreeSpace(const WChar* dir, unsigned long long* totalBytes,
                  unsigned long long* availableBytes) {
    std::string native;
    if (const int rc = systemPath(dir, native)) return rc;
    if (native.empty()) native = ".";
    struct statvfs vs;
    // A directory that is not there is no path to a volume.
    if (::statvfs(native.c_str(), &vs) != 0)
        return errno == ENOENT ? kErrorPathNotFound : pathError(errno, native);
    if (totalBytes) *totalBytes = static_cast<unsigned long long>(vs.f_frsize) * vs.f_blocks;
    if (availableBytes)
        *availableBytes = static_cast<unsigned long long>(vs.f_frsize) * vs.f_bavail;
    return 0;
}

// Every mounted path counts as a root here, and a UNC root is none (no
// shares on this side of the mapping), where Windows calls it remote.
int driveType(const WChar* root) {
    std::string native = ".";
    if (root && systemPath(root, native) != 0) return kDriveNoRootDir;
    if (native.empty()) native = ".";
    struct statfs fs;
    if (::statfs(native.c_str(), &fs) != 0) return kDriveNoRootDir;
    switch (static_cast<unsigned long>(fs.f_type)) {
        case 0x6969:      // NFS
        case 0x517B:      // SMB
        case 0xFF534D42:  // CIFS
        case 0xFE534D42:  // SMB2
        case 0x73757245:  // Coda
        case 0x5346414F:  // OpenAFS
        case 0x6B414653:  // kernel AFS
        case 0x564C:      // NCP
        case 0x00C36400:  // Ceph
        case 0x0BD00BD0:  // Lustre
            return kDriveRemote;
        default:
            return kDriveFixed;
    }
}

size_t tempPath(WChar* buf, size_t cap) {
    const char* dir = ::getenv("TMPDIR");
    if (!dir || dir[0] != '/') dir = "/tmp";
    const size_t len = std::strlen(dir);
    bool invalid = false;
    size_t n = utf8::toUtf16(dir, len, nullptr, 0, &invalid);
    if (invalid) return 0;
    const bool slash = dir[len - 1] == '/';
    if (n + (slash ? 0 : 1) >= cap) return 0;
    utf8::toUtf16(dir, len, buf, cap, &invalid);
    for (size_t i = 0; i < n; ++i)
        if (buf[i] == '/') buf[i] = '\\';
    if (!slash) buf[n++] = '\\';
    buf[n] = 0;
    return n;
}

// The digits start from the clock in milliseconds, as GetTickCount gives
// Windows its start.
int tempFileName(const WChar* dir, const WChar* prefix, WChar* buf, size_t cap) {
    if (!dir) return kErrorInvalidParameter;
    const size_t dirLen = unitLength(dir);
    size_t prefixLen = 0;
    while (prefix && prefixLen < 3 && prefix[prefixLen]) ++prefixLen;
    // Only '\\' ends the directory, as for GetTempFileNameW.
    const bool sep = dirLen > 0 && dir[dirLen - 1] == '\\';
    const size_t nameLen = prefixLen + 8;  // prefix, four digits, ".TMP"
    if (const int rc = pathLengthError(dir, nameLen + (sep ? 0 : 1))) return rc;

    WString name(dir, dirLen);
    if (!sep) name += '\\';
    if (prefix) name.append(prefix, prefixLen);
    name.append(QX_W("0000.TMP"));
    if (name.size() >= cap) return kErrorInsufficientBuffer;
    std::string native;
    if (const int rc = nativePath(name.c_str(), native)) return rc;

    struct timespec ts;
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    unsigned unique = static_cast<unsigned>(ts.tv_sec * 1000 + ts.tv_nsec / 1000000) & 0xFFFF;
    static const char kHex[] = "0123456789ABCDEF";
    const size_t wAt = name.size() - 8, nAt = native.size() - 8;
    for (unsigned tries = 0; tries < 0xFFFF; ++tries) {
        if (unique == 0) unique = 1;
        for (int i = 0; i < 4; ++i) {
            const char digit = kHex[(unique >> (12 - 4 * i)) & 0xF];
            native[nAt + i] = digit;
            name[wAt + i] = static_cast<WChar>(digit);
        }
        const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            name.copy(buf, name.size());
            buf[name.size()] = 0;
            return 0;
        }
        if (errno == EINTR) continue;
        // No directory there, missing or a file: ERROR_DIRECTORY, as
        // GetTempFileNameW answers.
        if (errno != EEXIST)
            return errno == ENOTDIR || errno == ENOENT ? kErrorDirectory : win32FromErrno(errno);
        unique = (unique + 1) & 0xFFFF;
    }
    return kErrorFileExists;
}

namespace {

// The account's name from getpwuid_r or getgrgid_r, growing the buffer
// while the call asks for more; its number when it has no name.
template <class Entry, class Lookup>
std::string accountName(unsigned id, Lookup lookup, char* Entry::*nameField) {
    std::vector<char> buf(1024);
    for (;;) {
        Entry entry;
        Entry* found = nullptr;
        const int rc = lookup(id, &entry, buf.data(), buf.size(), &found);
        if (rc == ERANGE && buf.size() < (size_t(1) << 20)) {
            buf.resize(buf.size() * 2);
            continue;
        }
        if (rc == 0 && found && found->*nameField) return found->*nameField;
        return std::to_string(id);
    }
}

// "host\name" into out, or nothing when it does not fit.
void putAccount(char* out, size_t cap, const std::string& host, const std::string& name) {
    if (!out || cap == 0) return;
    out[0] = '\0';
    if (host.size() + 1 + name.size() >= cap) return;
    std::memcpy(out, host.data(), host.size());
    out[host.size()] = '\\';
    std::memcpy(out + host.size() + 1, name.c_str(), name.size() + 1);
}

}  // namespace

int ownerGroup(const WChar* path, char* owner, size_t ownerCap, char* group, size_t groupCap) {
    std::string native;
    if (const int rc = systemPath(path, native)) return rc;
    if (native.empty()) return kErrorFileNotFound;
    struct stat st;
    if (::stat(native.c_str(), &st) != 0) return pathError(errno, native);
    struct utsname un;
    const std::string host = ::uname(&un) == 0 ? un.nodename : "";
    putAccount(owner, ownerCap, host,
               accountName<passwd>(st.st_uid, ::getpwuid_r, &passwd::pw_name));
    putAccount(group, groupCap, host,
               accountName<struct group>(st.st_gid, ::getgrgid_r, &::group::gr_name));
    return 0;
}

// The target is mapped like any path, so "..\x" links to "../x"; the
// directory flag means nothing here.
int makeSymbolicLink(const WChar* target, const WChar* link, bool) {
    if (const int rc = pathLengthError(link)) return rc;
    std::string from, to;
    if (const int rc = nativePath(target, to)) return rc;
    if (const int rc = nativePath(link, from)) return rc;
    if (::symlink(to.c_str(), from.c_str()) == 0) return 0;
    return errno == EEXIST ? kErrorAlreadyExists : pathError(errno, from);
}

unsigned long processId() {
    return static_cast<unsigned long>(::getpid());
}

}  // namespace sys
}  // namespace qx
