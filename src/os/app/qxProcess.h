// qxOS::ProcessManager: starts other programs, detached (startAsync) or
// waiting for their exit code (startSync).
//
// The program is found on PATH (split at the platform's list separator;
// a name is also tried with ".exe"), its arguments reach it as they are (on
// Windows through a command line in which an argument holding a space is
// double-quoted, its trailing backslashes doubled, unless it begins with a
// double quote already), and with sharing on it writes to the caller's
// standard streams. A synchronously started child dies with its caller.
// One process-wide instance serves the process; an application may install
// its own before the first use.
#ifndef QXBASE_OS_APP_QXPROCESS_H
#define QXBASE_OS_APP_QXPROCESS_H

#include "containers/qxVector.h"
#include "diagnostics/qxError.h"
#include "os/files/qxFilename.h"
#include "qxDefs.h"
#include "string/qxString.h"

#include <cstdint>

namespace qxOS {

class QX_API ProcessManager {
public:
    virtual ~ProcessManager();

    // arguments[0] is the program, the rest its arguments; an empty working
    // directory keeps the caller's. Errors: 2 "no executable specified", 3
    // when the program is not found (see ProcessManagerImpl), 1
    // "CreateProcess() failed: ..." when it cannot be started (also a file
    // that exists but is no program).
    virtual qxUtil::Error startAsync(const qx::vector<qxString::IString>& arguments,
                                     const Filename& workingDirectory) = 0;
    // The exit code (0 on failure) and the error; 1 "WaitforSingleObject()
    // failed: ..." or "GetExitCodeProcess() failed: ..." when the wait goes
    // wrong. On POSIX a child ended by signal n reports 128 + n.
    virtual qx::pair<long, qxUtil::Error> startSync(const qx::vector<qxString::IString>& arguments,
                                                    const Filename& workingDirectory) = 0;
    // Told after every setSharingStreams.
    virtual void onSetSharingStreams() {}

    // The same with 8-bit arguments, converted one by one.
    qxUtil::Error startAsync(const qx::vector<qxString::CString>& arguments,
                             const Filename& workingDirectory);
    qx::pair<long, qxUtil::Error> startSync(const qx::vector<qxString::CString>& arguments,
                                            const Filename& workingDirectory);

    // Whether children get the caller's standard input, output and error
    // (otherwise nothing on Windows, /dev/null on POSIX). Off at first.
    void setSharingStreams(bool share);
    bool isSharingStreams() const { return m_sharingStreams; }

    // The instance, made by createProcessManager() on the first call.
    static ProcessManager& getInstance();
    // Installs manager when there is no instance yet (true); false, and
    // nothing changes, when there is one. The instance is never deleted.
    static bool setInstance(ProcessManager* manager);

protected:
    ProcessManager() = default;

private:
    bool m_sharingStreams = false;
};

// What the system implementation adds: finding the program and starting it.
class QX_API ProcessManagerImpl : public ProcessManager {
public:
    // The program's path, or error 2 "no executable specified", 3 "PATH
    // environment variable not set." (unset or empty), 3 "PATH environment
    // variable is empty." (separators only), 3 "<name>: program not
    // found.". A name with a directory part is taken as it is, or with
    // ".exe"; a bare name is looked for in each PATH entry in order, as it
    // is and then with ".exe". On POSIX a hit must also be executable.
    virtual qx::pair<qxString::IString, qxUtil::Error> findExecutable(
        const qx::vector<qxString::IString>& arguments) = 0;
    // Starts the program. Within startSync the child is tied to the caller
    // and its handle returned; otherwise the handle is 0.
    virtual qx::pair<intptr_t, qxUtil::Error> launch(const qx::vector<qxString::IString>& arguments,
                                                     const Filename& workingDirectory) = 0;
};

// The system implementation (CreateProcessW on Windows, fork and exec on
// POSIX); the caller owns it.
QX_API ProcessManager* createProcessManager();

}  // namespace qxOS

#endif
