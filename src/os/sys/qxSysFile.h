// Platform layer: files and the console.
//
// Paths arrive in Windows shape (see the path mapping of the POSIX
// backend) as NUL-terminated 16-bit text. Failures report Win32 numbers.
#ifndef QXBASE_OS_SYS_QXSYSFILE_H
#define QXBASE_OS_SYS_QXSYSFILE_H

#include "qxDefs.h"

#include <cstddef>
#include <cstdio>

namespace qx {
namespace sys {

// _wfopen(path, mode): a C stream, or null with *error set. The mode is the
// runtime's ("r", "w", "a", with "b" and "+"); without "b" Windows opens in
// text mode (line breaks become CR LF), POSIX makes no difference. The
// descriptor is not inherited by child processes.
std::FILE* openStdioFile(const WChar* path, const char* mode, int* error);

// _wmkdir: creates the directory (only its last component). 0 or a Win32
// number.
int makeDirectory(const WChar* path);
// SetCurrentDirectoryW. 0 or a Win32 number.
int setCurrentDirectory(const WChar* path);
// _wgetcwd into buf (cap units, NUL included), in Windows shape. The units
// written, or 0 when the directory cannot be read or does not fit.
size_t currentDirectory(WChar* buf, size_t cap);

// What a status call tells about a path. Times are seconds since
// 1970-01-01 UTC; `created` is the creation time on Windows and the status
// change time on POSIX, which keeps no creation time.
struct PathStatus {
    bool isDirectory;
    bool isRegular;
    long long size;  // 64 bits: files of 2 GiB and more report their size
    long long modified;
    long long created;
};
// _wstat64: 0 with *status filled, or a Win32 number (2 when the path does
// not exist). A trailing separator after a directory name fails on Windows
// (except at a root); callers strip it.
QX_API int statPath(const WChar* path, PathStatus* status);

enum AccessMode { kAccessExists = 0, kAccessWrite = 2, kAccessRead = 4 };
// _waccess: 0 when the path allows mode, else a Win32 number. On POSIX,
// write access also needs a write bit in the mode, since root passes every
// access check while Windows honours the read-only attribute for everyone.
QX_API int accessPath(const WChar* path, int mode);

// _wrmdir: removes an empty directory. 145 when it is not empty.
QX_API int removeDirectory(const WChar* path);
// _wunlink: removes a file (never a directory: 5 there, as on Windows).
QX_API int unlinkFile(const WChar* path);
// _wrename with Windows semantics on both targets: an existing target is
// never replaced (183 on POSIX, the system's number on Windows).
QX_API int renamePath(const WChar* from, const WChar* to);

// Calls add(ctx, name, length) for every entry of the directory, "." and
// ".." included: the system's order on Windows, sorted by UTF-16 units on
// POSIX (whose order is the file system's and changes between runs). 0, or
// a Win32 number (2 or 3 when the directory does not exist, 267 when it is a
// file).
using DirectoryEntryFn = void (*)(void* ctx, const WChar* name, size_t length);
QX_API int listDirectory(const WChar* dir, DirectoryEntryFn add, void* ctx);

// Writes n bytes to the process's standard output, unbuffered, bypassing
// the C stream: the console when there is one, else whatever stdout is
// redirected to. Returns false when not every byte could be written.
bool writeStdout(const char* text, size_t n);

}  // namespace sys
}  // namespace qx

#endif
