// Helpers shared by the files of the POSIX backend.
#ifndef QXBASE_OS_SYS_POSIX_QXSYSPOSIX_H
#define QXBASE_OS_SYS_POSIX_QXSYSPOSIX_H

#include "qxDefs.h"

#include <cstddef>
#include <string>

namespace qx {
namespace sys {

// Either separator of a Windows-shaped path.
inline bool isSep(WChar c) {
    return c == '\\' || c == '/';
}
inline bool isDriveLetter(WChar c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// NUL-terminated UTF-16 text as UTF-8, strictly: false for a lone
// surrogate. Nothing else changes (no path mapping).
bool toUtf8(const WChar* text, std::string& out);

// A Windows-shaped path as the file system here names it: "\\?\" stripped,
// every '\' turned into '/', a drive prefix "X:" dropped (so "X:\a" is "/a"
// and "X:a" is relative to the current directory), strict UTF-16 to UTF-8.
// Returns 0, ERROR_PATH_NOT_FOUND for a UNC path (no shares here) or
// ERROR_INVALID_NAME for a lone surrogate.
int nativePath(const WChar* path, std::string& out);

// 206 (ERROR_FILENAME_EXCED_RANGE) when the full form of path (see fullPath)
// plus extra units reaches kMaxPath, else 0. Every call that takes a path
// asks this first; a path that has no full form is left to the call to
// refuse. Cheap for the usual short path: no full form is built then.
int pathLengthError(const WChar* path, size_t extra = 0);
// pathLengthError, then nativePath: the path as a system call takes it.
int systemPath(const WChar* path, std::string& out);

// The Win32 number for the errno of a failed call on the native path. The
// table of win32FromErrno, except where Windows tells apart what errno does
// not: a missing last component is ERROR_FILE_NOT_FOUND (2) when the
// directory holding it exists, and ERROR_PATH_NOT_FOUND (3) when a directory
// on the way is missing or is no directory; ENOTDIR for a path whose
// directory exists means the path itself is no directory,
// ERROR_DIRECTORY (267).
int pathError(int err, const std::string& native);

}  // namespace sys
}  // namespace qx

#endif
