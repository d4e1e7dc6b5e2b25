// The one table between the C runtime's errno values and Win32 error
// numbers, used by both backends (the runtime on Windows sets errno too).
#include "os/sys/qxSysError.h"

#include <cerrno>

namespace qx {
namespace sys {

namespace {

struct ErrnoRow {
    int win32;
    int err;
};

// Order matters. win32FromErrno takes the first row with the errno, so
// the Win32 answer for an errno comes first; rows further down only give
// text to Win32 numbers that have no errno of their own (ENOENT describes
// ERROR_PATH_NOT_FOUND as well). Socket numbers (10000 and up) come last.
// Values a runtime lacks are left out where it lacks them.
const ErrnoRow kRows[] = {
    {0, 0},
    {kErrorFileNotFound, ENOENT},
    {kErrorPathNotFound, ENOENT},
    {kErrorPathNotFound, ENOTDIR},
    {kErrorDirectory, ENOTDIR},
    {kErrorTooManyOpenFiles, EMFILE},
    {kErrorTooManyOpenFiles, ENFILE},
    {kErrorAccessDenied, EACCES},
    {kErrorAccessDenied, EPERM},
    {kErrorAccessDenied, EISDIR},  // opening a directory as a file
    {kErrorInvalidHandle, EBADF},
    {kErrorNotEnoughMemory, ENOMEM},
    {kErrorNotSameDevice, EXDEV},
    {kErrorWriteProtect, EROFS},
    {kErrorSharingViolation, ETXTBSY},
    {kErrorBusy, EBUSY},
    {kErrorNotSupported, ENOTSUP},
    {kErrorNotSupported, ENOSYS},
    {kErrorFileExists, EEXIST},
    {kErrorAlreadyExists, EEXIST},
    {kErrorInvalidParameter, EINVAL},
    {kErrorInvalidName, EINVAL},
    {kErrorBrokenPipe, EPIPE},
    {kErrorDiskFull, ENOSPC},
#ifdef EDQUOT
    {kErrorDiskFull, EDQUOT},
#endif
    {kErrorDirNotEmpty, ENOTEMPTY},
    {kErrorFilenameExcedRange, ENAMETOOLONG},
    {kErrorCantResolveFilename, ELOOP},
    {kErrorOperationAborted, ECANCELED},
    {kErrorIoDevice, EIO},
    {kErrorWriteFault, EIO},
    {kErrorReadFault, EIO},
    {kErrorGenFailure, EIO},
    {kErrorNoUnicodeTranslation, EILSEQ},
    {132, ESPIPE},   // ERROR_SEEK_ON_DEVICE
    {193, ENOEXEC},  // ERROR_BAD_EXE_FORMAT
    {223, EFBIG},    // ERROR_FILE_TOO_LARGE
    {1142, EMLINK},  // ERROR_TOO_MANY_LINKS
    {10004, EINTR},
    {10009, EBADF},
    {10013, EACCES},
    {10014, EFAULT},
    {10022, EINVAL},
    {10024, EMFILE},
    {10035, EWOULDBLOCK},
    {10035, EAGAIN},
    {10036, EINPROGRESS},
    {10037, EALREADY},
    {10038, ENOTSOCK},
    {10039, EDESTADDRREQ},
    {10040, EMSGSIZE},
    {10041, EPROTOTYPE},
    {10042, ENOPROTOOPT},
    {10043, EPROTONOSUPPORT},
#ifdef ESOCKTNOSUPPORT
    {10044, ESOCKTNOSUPPORT},
#endif
    {10045, EOPNOTSUPP},
#ifdef EPFNOSUPPORT
    {10046, EPFNOSUPPORT},
#endif
    {10047, EAFNOSUPPORT},
    {10048, EADDRINUSE},
    {10049, EADDRNOTAVAIL},
    {10050, ENETDOWN},
    {10051, ENETUNREACH},
    {10052, ENETRESET},
    {10053, ECONNABORTED},
    {10054, ECONNRESET},
    {10055, ENOBUFS},
    {10056, EISCONN},
    {10057, ENOTCONN},
#ifdef ESHUTDOWN
    {10058, ESHUTDOWN},
#endif
#ifdef ETOOMANYREFS
    {10059, ETOOMANYREFS},
#endif
    {10060, ETIMEDOUT},
    {kWsaEConnRefused, ECONNREFUSED},
    {10062, ELOOP},
    {10063, ENAMETOOLONG},
#ifdef EHOSTDOWN
    {10064, EHOSTDOWN},
#endif
    {10065, EHOSTUNREACH},
    {10066, ENOTEMPTY},
#ifdef EUSERS
    {10068, EUSERS},
#endif
#ifdef EDQUOT
    {10069, EDQUOT},
#endif
#ifdef ESTALE
    {10070, ESTALE},
#endif
#ifdef EREMOTE
    {10071, EREMOTE},
#endif
};

constexpr int kFirstSocketError = 10000;

int lookupErrno(int err, int from) {
    for (const ErrnoRow& r : kRows)
        if (r.err == err && r.win32 >= from) return r.win32;
    return -1;
}

}  // namespace

int win32FromErrno(int err) {
    const int code = lookupErrno(err, 0);
    return code < 0 ? kErrorGenFailure : code;
}

int winsockFromErrno(int err) {
    const int code = lookupErrno(err, kFirstSocketError);
    return code < 0 ? win32FromErrno(err) : code;
}

int errnoFromWin32(int code) {
    for (const ErrnoRow& r : kRows)
        if (r.win32 == code) return r.err;
    return -1;
}

}  // namespace sys
}  // namespace qx
