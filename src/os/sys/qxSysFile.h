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
QX_API std::FILE* openStdioFile(const WChar* path, const char* mode, int* error);

// _wmkdir: creates the directory (only its last component). 0 or a Win32
// number.
QX_API int makeDirectory(const WChar* path);
// SetCurrentDirectoryW. 0 or a Win32 number.
QX_API int setCurrentDirectory(const WChar* path);
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

// _wrmdir: removes an empty directory, or a link to a directory as the
// link itself (never what it points to). 145 when it is not empty.
QX_API int removeDirectory(const WChar* path);
// _wunlink: removes a file or a link to a file as the link itself; never a
// directory nor a link to one (5 there, as on Windows).
QX_API int unlinkFile(const WChar* path);
// The path names a symbolic link, junction or other reparse point itself,
// whatever it points to (a trailing separator is ignored). False when it is
// missing or no link.
QX_API bool isLinkPath(const WChar* path);
// _wrename with Windows semantics on both targets: an existing target is
// never replaced (183 on POSIX, the system's number on Windows).
QX_API int renamePath(const WChar* from, const WChar* to);

// Every call below that takes a path refuses one whose full form (see
// fullPath) has kMaxPath units or more with 206 (ERROR_FILENAME_EXCED_RANGE),
// on both targets: the classic Windows calls stop there, and Linux must not
// accept what Windows refuses.
enum { kMaxPath = 260 };

// What a listing says about an entry itself (a link is not followed).
enum EntryKind : unsigned {
    kEntryFile = 0,       // a regular file
    kEntryDirectory = 1,  // a directory (or, with kEntryLink, a link made as one)
    kEntryLink = 2,       // a symbolic link or other reparse point
    kEntryOther = 4,      // neither file nor directory: a device, pipe or socket
};
// The path as this system spells it, for display: on POSIX the mapping of
// the system calls without its checks ("\\?\" and a drive prefix dropped,
// '\' turned into '/'), so "C:\usr\x" reads "/usr/x"; unchanged on
// Windows. Writes at most n units (never more than the path has) to out and
// returns how many.
QX_API size_t nativeSpelling(const WChar* path, size_t n, WChar* out);

// Calls add(ctx, name, length, kind) for every entry of the directory, "."
// and ".." included: the system's order on Windows, sorted by UTF-16 units
// on POSIX (whose order is the file system's and changes between runs). 0,
// or a Win32 number (2 or 3 when the directory does not exist, 267 when it
// is a file).
using DirectoryEntryFn = void (*)(void* ctx, const WChar* name, size_t length, unsigned kind);
QX_API int listDirectory(const WChar* dir, DirectoryEntryFn add, void* ctx);

// GetFullPathNameW: the path made absolute against the current directory,
// "." and ".." components resolved, '/' turned into '\'; the file system is
// not asked. 0 with the text and its NUL in buf and *length its units (NUL
// excluded); 122 (ERROR_INSUFFICIENT_BUFFER) with *length the units needed,
// NUL included, when cap is too small; another Win32 number when the path
// is empty or invalid.
QX_API int fullPath(const WChar* path, WChar* buf, size_t cap, size_t* length);

// CopyFileW: copies the bytes of the file from into to, which is created, or
// replaced unless failIfExists; the copy keeps the source's permissions and
// modification time. POSIX copies inside the kernel. 0, or a Win32 number:
// 2 or 3 when from is missing, 80 when to exists and failIfExists, 5 when
// either is a directory or to is read-only, 32 when both name one file (the
// source is never truncated).
QX_API int copyFile(const WChar* from, const WChar* to, bool failIfExists);

// Durability, for replacing a file safely. FlushFileBuffers: what was
// written to the file reaches the disk before the call returns (fsync on
// POSIX). 0, or a Win32 number (2 when the file is missing).
QX_API int flushFile(const WChar* path);
// Makes the entries of a directory durable, so that a rename inside it
// outlives a power cut: fsync of the directory on POSIX (a file system that
// cannot sync directories counts as done). Windows has no such call; its
// write-through move (replaceFile) commits the entry itself: 0 there.
QX_API int syncDirectory(const WChar* path);
// CreateHardLinkW: link becomes a second name of the existing file. 0, or a
// Win32 number: 183 when link exists, 5 when existing is a directory, 1
// (ERROR_INVALID_FUNCTION) where the file system has no hard links, 17 when
// the two are on different volumes.
QX_API int linkFile(const WChar* existing, const WChar* link);
// MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH):
// from takes the name to in one step, replacing a file there, so that
// whoever opens to finds the old file or the new one, never none. 0, or a
// Win32 number: 5 when to is a directory or read-only, 17 when the two are
// on different volumes, 2 or 3 when from is missing. POSIX gives from the
// permission bits of the file it replaces first, so that a private file
// stays private (Windows keeps the new file's own security).
QX_API int replaceFile(const WChar* from, const WChar* to);

// True when both paths reach one existing file or directory (however they
// are spelt, through links too); false when they differ or either is
// missing.
QX_API bool sameFile(const WChar* a, const WChar* b);

// GetDiskFreeSpaceExW on a directory: the volume's size and the bytes the
// caller may still use. 0, or a Win32 number.
QX_API int diskFreeSpace(const WChar* dir, unsigned long long* totalBytes,
                         unsigned long long* availableBytes);

enum DriveType {
    kDriveUnknown = 0,
    kDriveNoRootDir = 1,
    kDriveRemovable = 2,
    kDriveFixed = 3,
    kDriveRemote = 4,
    kDriveCdrom = 5,
    kDriveRamdisk = 6,
};
// GetDriveTypeW on a root ("C:\", or "\" for the current drive). POSIX
// answers for the file system holding the path: kDriveRemote for a network
// file system, kDriveFixed for any other, kDriveNoRootDir when it is missing.
QX_API int driveType(const WChar* root);

// GetTempPathW: the directory for temporary files, ending in '\'. POSIX:
// $TMPDIR when it is set and absolute, else /tmp. The units written (NUL
// excluded), or 0 when it does not fit in cap units.
QX_API size_t tempPath(WChar* buf, size_t cap);

// GetTempFileNameW(dir, prefix, 0): creates a new empty file named dir, '\',
// the first three units of prefix, four hexadecimal digits and ".TMP" (the
// digits count up from a time-based start until the name is new), and
// writes its name to buf (kMaxPath units are always enough). 0, or a Win32
// number (267 or 3 when dir is no directory).
QX_API int tempFileName(const WChar* dir, const WChar* prefix, WChar* buf, size_t cap);

// The owner and group of a path as "domain\account" in the locale's 8-bit
// encoding: the accounts of the security descriptor on Windows; on POSIX
// the host name, '\', and the user or group name (its number when it has
// none). 0 once the path's owner information could be read, with either
// text left empty when its account cannot be named; else a Win32 number.
QX_API int ownerGroup(const WChar* path, char* owner, size_t ownerCap, char* group,
                      size_t groupCap);

// CreateSymbolicLinkW / symlink: link names target. For tests; Windows may
// refuse without the privilege (1314), and Wine makes none (50). 183 when
// link exists.
QX_API int makeSymbolicLink(const WChar* target, const WChar* link, bool directory);

// The id of the calling process.
QX_API unsigned long processId();

// Writes n bytes to the process's standard output, unbuffered, bypassing
// the C stream: the console when there is one, else whatever stdout is
// redirected to. Returns false when not every byte could be written.
bool writeStdout(const char* text, size_t n);

}  // namespace sys
}  // namespace qx

#endif
