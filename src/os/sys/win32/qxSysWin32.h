// Helpers shared by the files of the Win32 backend.
#ifndef QXBASE_OS_SYS_WIN32_QXSYSWIN32_H
#define QXBASE_OS_SYS_WIN32_QXSYSWIN32_H

#include "qxDefs.h"

#include <cstddef>

namespace qx {
namespace sys {

// 206 (ERROR_FILENAME_EXCED_RANGE) when the full form of path (see fullPath)
// plus extra units reaches kMaxPath, else 0. Every call that takes a path
// asks this first, since Wine and long-path-aware systems would accept what
// classic Windows refuses; a path that has no full form is left to the call
// to refuse. Cheap for the usual short path: no full form is built then.
int pathLengthError(const WChar* path, size_t extra = 0);

// Clears errno and _doserrno before a runtime call; after it failed,
// runtimeError gives the system's own number when the system refused (the
// runtime keeps it in _doserrno), else errno through the one errno table.
void clearRuntimeErrors();
int runtimeError();

}  // namespace sys
}  // namespace qx

#endif
