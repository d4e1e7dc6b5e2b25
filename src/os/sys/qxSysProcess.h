// Platform layer: starting programs and waiting for them.
//
// Windows builds a command line for CreateProcessW: the executable in double
// quotes, then each argument after a space, unchanged when it begins with a
// double quote or holds no space, otherwise with its trailing backslashes
// doubled and the whole in double quotes. POSIX passes the argument vector
// as it is. Failures report Win32 numbers.
#ifndef QXBASE_OS_SYS_QXSYSPROCESS_H
#define QXBASE_OS_SYS_QXSYSPROCESS_H

#include "qxDefs.h"

#include <cstddef>
#include <cstdint>

namespace qx {
namespace sys {

// Whether path names a program that can be started: _waccess(path, 0) on
// Windows; on POSIX a file that is no directory and has the execute bit.
QX_API bool executableExists(const WChar* path);

struct ProcessStart {
    const WChar* executable;        // the program's path
    const WChar* const* arguments;  // what follows the program
    size_t numArguments;
    const WChar* workingDirectory;  // null: the caller's
    // The child gets the caller's standard input, output and error; else
    // POSIX gives it /dev/null for them, and Windows hands it nothing
    // beyond its start-up record.
    bool shareStreams;
    // The child dies when the caller does: Windows puts it in a job object
    // that kills on close; POSIX makes it the leader of its own process
    // group with PR_SET_PDEATHSIG(SIGKILL).
    bool dieWithCaller;
};

// A started child: its process (and job) handle on Windows, its process id
// on POSIX. Zero when there is none.
struct Process {
    intptr_t handle = 0;
    intptr_t job = 0;
};

// Starts a program. A child that is not waited for (dieWithCaller false)
// is detached: on POSIX it is reaped by nobody but the system, so that it
// never stays a zombie. A program that exists but cannot be run is an
// error here (its exec failure is reported back), never a child that exits
// with 127. The child inherits no descriptor or handle of the caller
// beyond its standard streams. 0 or a Win32 number; *process is set only
// for a child to be waited for.
QX_API int startProcess(const ProcessStart& start, Process* process);

// Waits without time-out for the child to end and gives its exit code (on
// POSIX a child ended by signal n gives 128 + n, as shells report it), then
// releases it and its job. 0, or the Win32 number of the wait (*failedStep
// 1) or of reading the exit code (*failedStep 2).
QX_API int waitProcess(Process* process, long* exitCode, int* failedStep);

}  // namespace sys
}  // namespace qx

#endif
