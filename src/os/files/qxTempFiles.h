// Temporary files and directories: the system's temporary directory, unique
// names for temporary files and for recovery variants of a file, and the
// clean-up of stale temporary files.
#ifndef QXBASE_OS_FILES_QXTEMPFILES_H
#define QXBASE_OS_FILES_QXTEMPFILES_H

#include "os/files/qxFilename.h"
#include "qxDefs.h"
#include "string/qxString.h"

namespace qxOS {

// The system's temporary directory, canonical (no trailing separator);
// "C:\" when the system names none, or one of 260 bytes or more.
QX_API Filename getTempDirectory();

// A name no file has yet: the directory, '\', the first three characters of
// prefix ("ASTMP" when null), four hexadecimal digits the system chose,
// the process id and, unless suffix is empty, '.' and suffix. The name is
// reserved only by being new; the file is not created. Empty when the
// system could make no name.
QX_API Filename createTmpFilename(qxString::IString suffix, const qx::WChar* prefix = nullptr);
// The same in directory, with the prefix "recover" when null.
QX_API Filename createNewFilenameVariant(Filename directory, const qx::WChar* prefix,
                                         qxString::IString suffix);

// Deletes the files of directory that are older than seven days and whose
// names the application's tools use for temporary files: "pel*.unload",
// "pelkoTempWire.*", "*.ac$", "jam*out<digit>" and "jam*cmd<digit>.bat", and
// the scratch files of moveable memory that a process which died left,
// "<prefix>-<process id>-<uuid>".
// Returns how many it deleted.
QX_API int cleanupTempDirectory(const qxString::IString& directory);
// The temporary directory, and /tmp when that is another directory.
QX_API int cleanupTempDirectory();

}  // namespace qxOS

extern "C" {
// Each result is a new block from the C heap, released with free; 8-bit
// text is in the locale's multibyte encoding.
QX_API char* qxOS_GetTemporaryDirectory(void);
QX_API qx::WChar* qxOS_GetTemporaryDirectoryW(void);
// Null when no name could be made.
QX_API char* qxOS_CreateTemporaryFileName(const char* suffix);
QX_API qx::WChar* qxOS_CreateTemporaryFileNameW(const qx::WChar* suffix);
}

#endif
