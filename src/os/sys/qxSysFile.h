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

// Writes n bytes to the process's standard output, unbuffered, bypassing
// the C stream: the console when there is one, else whatever stdout is
// redirected to. Returns false when not every byte could be written.
bool writeStdout(const char* text, size_t n);

}  // namespace sys
}  // namespace qx

#endif
