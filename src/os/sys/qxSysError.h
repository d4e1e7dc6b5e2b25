// Platform layer: system error numbers and their text.
//
// Above this layer the library speaks Win32 error numbers on every target.
// The Win32 backend has them from the system; the POSIX backend maps errno
// through one table (see win32FromErrno). The same table serves the C
// runtime's errno on Windows, whose classic values match POSIX.
#ifndef QXBASE_OS_SYS_QXSYSERROR_H
#define QXBASE_OS_SYS_QXSYSERROR_H

#include "qxDefs.h"

#include <cstddef>

namespace qx {
namespace sys {

// The Win32 numbers the library's branches and messages depend on.
enum Win32Error : int {
    kErrorSuccess = 0,
    kErrorInvalidFunction = 1,
    kErrorFileNotFound = 2,
    kErrorPathNotFound = 3,
    kErrorTooManyOpenFiles = 4,
    kErrorAccessDenied = 5,
    kErrorInvalidHandle = 6,
    kErrorNotEnoughMemory = 8,
    kErrorNotSameDevice = 17,
    kErrorWriteProtect = 19,
    kErrorWriteFault = 29,
    kErrorReadFault = 30,
    kErrorGenFailure = 31,
    kErrorSharingViolation = 32,
    kErrorHandleEof = 38,
    kErrorNotSupported = 50,
    kErrorFileExists = 80,
    kErrorInvalidParameter = 87,
    kErrorBrokenPipe = 109,
    kErrorDiskFull = 112,
    kErrorInvalidName = 123,
    kErrorDirNotEmpty = 145,
    kErrorBadPathname = 161,
    kErrorBusy = 170,
    kErrorAlreadyExists = 183,
    kErrorFilenameExcedRange = 206,
    kErrorMoreData = 234,
    kErrorNoMoreItems = 259,
    kErrorDirectory = 267,
    kErrorOperationAborted = 995,
    kErrorBadDb = 1009,
    kErrorKeyDeleted = 1018,
    kErrorIoDevice = 1117,
    kErrorMappedAlignment = 1132,
    kErrorNoUnicodeTranslation = 1113,
    kErrorCantResolveFilename = 1921,
    kWsaEConnRefused = 10061,
};

// The Win32 number for a C runtime errno value; kErrorGenFailure for a
// value the table does not know.
int win32FromErrno(int err);
// The same, preferring the Windows Sockets number where the errno has one
// (EBADF is WSAEBADF 10009 for a socket, ERROR_INVALID_HANDLE for a file).
int winsockFromErrno(int err);
// The errno whose runtime text describes a Win32 number, or -1 when there
// is none. (ERROR_PATH_NOT_FOUND reads as ENOENT, not ENOTDIR.)
int errnoFromWin32(int code);

// The system's message text for a Win32 error number, written to buf (at
// most cap units, NUL included) in the user's language. Returns the units
// written, NUL excluded, or 0 when the system has no text for the number
// (the caller then makes its own). Win32: FormatMessageW, whose text ends in
// a line break. POSIX: strerror_r of errnoFromWin32, without one.
size_t errorText(int code, WChar* buf, size_t cap);

}  // namespace sys
}  // namespace qx

#endif
