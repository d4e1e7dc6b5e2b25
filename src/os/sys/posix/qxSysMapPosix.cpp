// POSIX backend of mapped files: open, flock, posix_fallocate, mmap, msync.
#include "os/sys/posix/qxSysPosix.h"
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysMap.h"

#include <cerrno>
#include <cstdint>
#include <new>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qx {
namespace sys {

namespace {

constexpr uint64_t kGranularity = 0x10000;

// What a handle of this layer stands for: an open file, or a mapping object
// (its own descriptor of the file, so that it outlives the file handle).
struct MapObject {
    int fd = -1;
    bool write = false;
    bool isMapping = false;
    uint64_t size = 0;          // mappings only
    std::string deleteOnClose;  // files only: the name to remove when closed
};

MapObject* objectOf(MapHandle h) {
    return h == kNoMapHandle || h == 0 ? nullptr : reinterpret_cast<MapObject*>(h);
}

MapHandle handleOf(MapObject* o) {
    return reinterpret_cast<MapHandle>(o);
}

}  // namespace

int openMapFile(const WChar* path, bool write, MapOpen how, bool deleteOnClose, MapHandle* file) {
    *file = kNoMapHandle;
    std::string native;
    if (const int rc = systemPath(path, native)) return rc;
    if (native.empty()) return kErrorPathNotFound;

    int flags = O_CLOEXEC | (write ? O_RDWR : O_RDONLY);
    if (how == MapOpen::OpenAlways) flags |= O_CREAT;
    if (how == MapOpen::CreateAlways) flags |= O_CREAT;
    const int fd = ::open(native.c_str(), flags, 0666);
    if (fd < 0) return pathError(errno, native);

    int rc = 0;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        rc = win32FromErrno(errno);
    } else if (S_ISDIR(st.st_mode)) {
        rc = kErrorAccessDenied;
    } else if (write && S_ISREG(st.st_mode) && !(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH))) {
        rc = kErrorAccessDenied;  // read-only for root too, as on Windows
    } else if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        rc = errno == EWOULDBLOCK ? kErrorSharingViolation : win32FromErrno(errno);
    } else if (how == MapOpen::CreateAlways && st.st_size != 0 && ::ftruncate(fd, 0) != 0) {
        rc = win32FromErrno(errno);
    }
    if (rc != 0) {
        ::close(fd);
        return rc;
    }
    MapObject* o = new (std::nothrow) MapObject;
    if (!o) {
        ::close(fd);
        return kErrorNotEnoughMemory;
    }
    o->fd = fd;
    o->write = write;
    if (deleteOnClose) o->deleteOnClose = native;
    *file = handleOf(o);
    return 0;
}

int createFileMapping(MapHandle file, bool write, uint64_t size, MapHandle* mapping) {
    *mapping = kNoMapHandle;
    MapObject* f = objectOf(file);
    if (!f || f->isMapping) return kErrorInvalidHandle;
    if (write && !f->write) return kErrorAccessDenied;
    if (size == 0 || size > static_cast<uint64_t>(INT64_MAX)) return kErrorInvalidParameter;

    struct stat st;
    if (::fstat(f->fd, &st) != 0) return win32FromErrno(errno);
    if (static_cast<uint64_t>(st.st_size) < size) {
        if (!write) return kErrorNotEnoughMemory;
        // Reserve the blocks now: a sparse file would take a full disk as a
        // fault on some later store instead of an error here.
        int err = ::posix_fallocate(f->fd, 0, static_cast<off_t>(size));
        if (err == EOPNOTSUPP || err == EINVAL)  // a file system that cannot reserve
            err = ::ftruncate(f->fd, static_cast<off_t>(size)) == 0 ? 0 : errno;
        if (err != 0) {
            // Give back what was reserved: the file keeps its old length.
            const int restored = ::ftruncate(f->fd, st.st_size);
            static_cast<void>(restored);
            return win32FromErrno(err);
        }
    }
    const int fd = ::fcntl(f->fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return win32FromErrno(errno);
    MapObject* m = new (std::nothrow) MapObject;
    if (!m) {
        ::close(fd);
        return kErrorNotEnoughMemory;
    }
    m->fd = fd;
    m->write = write;
    m->isMapping = true;
    m->size = size;
    *mapping = handleOf(m);
    return 0;
}

void* mapView(MapHandle mapping, bool write, uint64_t offset, uint64_t size, int* error) {
    int rc = 0;
    void* p = nullptr;
    MapObject* m = objectOf(mapping);
    if (!m || !m->isMapping) {
        rc = kErrorInvalidHandle;
    } else if (write && !m->write) {
        rc = kErrorAccessDenied;
    } else if (offset % kGranularity != 0) {
        rc = kErrorMappedAlignment;
    } else if (offset >= m->size || (size != 0 && size > m->size - offset)) {
        rc = kErrorAccessDenied;  // Windows' answer for a view past the mapping
    } else {
        if (size == 0) size = m->size - offset;
        p = ::mmap(nullptr, static_cast<size_t>(size), write ? PROT_READ | PROT_WRITE : PROT_READ,
                   MAP_SHARED, m->fd, static_cast<off_t>(offset));
        if (p == MAP_FAILED) {
            rc = win32FromErrno(errno);
            p = nullptr;
        }
    }
    if (error) *error = rc;
    return p;
}

int unmapView(void* address, uint64_t size) {
    if (!address || size == 0) return kErrorInvalidParameter;
    return ::munmap(address, static_cast<size_t>(size)) == 0 ? 0 : win32FromErrno(errno);
}

int flushView(void* address, uint64_t length) {
    if (!address) return kErrorInvalidParameter;
    if (length == 0) return 0;
    const uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    const uintptr_t start = reinterpret_cast<uintptr_t>(address) / page * page;
    const uintptr_t end = reinterpret_cast<uintptr_t>(address) + length;
    return ::msync(reinterpret_cast<void*>(start), end - start, MS_SYNC) == 0
               ? 0
               : win32FromErrno(errno);
}

void adviseWillNeed(void* address, uint64_t length) {
    if (!address || length == 0) return;
    const uintptr_t page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    const uintptr_t start = reinterpret_cast<uintptr_t>(address) / page * page;
    const uintptr_t end = reinterpret_cast<uintptr_t>(address) + length;
    ::madvise(reinterpret_cast<void*>(start), end - start, MADV_WILLNEED);
}

int closeMapHandle(MapHandle handle) {
    MapObject* o = objectOf(handle);
    if (!o) return kErrorInvalidHandle;
    // The name goes while the lock still holds off other openers.
    int rc = 0;
    if (!o->deleteOnClose.empty() && ::unlink(o->deleteOnClose.c_str()) != 0 && errno != ENOENT)
        rc = win32FromErrno(errno);
    // A mapping shares the file's open description, and with it the lock:
    // the file handle gives the lock up, as Windows ties sharing to handles.
    if (!o->isMapping) ::flock(o->fd, LOCK_UN);
    if (::close(o->fd) != 0 && rc == 0) rc = win32FromErrno(errno);
    delete o;
    return rc;
}

uint64_t allocationGranularity() {
    return kGranularity;
}

}  // namespace sys
}  // namespace qx
