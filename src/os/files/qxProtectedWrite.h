// qxOS::ProtectedWrite: replaces a file so that it never ends up half
// written. The caller writes the whole new content to a temporary file this
// class names, and finalize() swaps it in place of the main file:
//
//   qxOS::ProtectedWrite write(name);
//   if (write.init()) {
//       ... write and close write.getTempFilename() ...
//   }
//   if (!write.finalize()) ... write.getStatus(), write.getError() ...
//
// Either the main file ends with the complete new content, or it keeps its
// old content; at no moment is it missing or partly written, even when the
// process dies in the middle of finalize():
//
// - By default the temporary and backup files lie beside the main file. The
//   backup becomes a second name of the old file (a hard link), and the new
//   file then takes the main name in one atomic rename that replaces it.
//   Where the file system has no hard links, the main file is renamed to
//   the backup name and the new file renamed into place.
// - With the copy strategy (useCopyStrategy(), or the environment variable
//   OSTREL_PROTECTED_WRITE_USE_COPY set to anything) they lie in the
//   temporary directory (getTempDirectory()): the old content is copied to
//   the backup, the new content copied beside the main file under the
//   temporary file's base name, and that copy renamed over the main file.
//
// Durability: before any name changes, the new content is flushed to the
// disk (fsync, FlushFileBuffers), and on POSIX the main file's directory is
// synced after the rename (Windows moves with write-through). So a power
// cut right after finalize() returns true leaves the new content, never an
// empty file. On POSIX the new file takes the permission bits of the file
// it replaces.
//
// Names: the temporary file is "<first three characters of the main file's
// base name><four hexadecimal digits><process id>.0.tmp" and the backup the
// same with ".1.tmp" (see createTmpFilename). finalize() deletes both, and
// the destructor deletes the temporary file. A process killed in the middle
// leaves them under these names; a later write never mistakes them for its
// own, and the main file is whole.
//
// Status numbers (getStatus), the first failure; it is never cleared:
//   0  no failure.
//   1  init: the main file exists and cannot be replaced (read-only, or a
//      directory). finalize: the new content could not be flushed or moved
//      onto the main name; the main file keeps its old content.
//   2  init: no temporary name could be made: with the copy strategy, the
//      temporary directory does not exist and cannot be created, or no file
//      can be made in it; by default, neither there nor beside the main file.
//   3  init, copy strategy: the temporary directory's name is no directory.
//   4  init: a stale file under the temporary or backup name cannot be
//      deleted.
//   5  finalize: the temporary file does not exist (never written, or the
//      main file's directory does not exist).
//   6  finalize: the old content cannot be kept under the backup name.
//   7  finalize: the write was invalidated.
// After a failing init(), finalize() changes no file and returns false.
// getError() gives the failure underneath a status: the system's error
// (its Win32 number on every target) or an error of the file table.
#ifndef QXBASE_OS_FILES_QXPROTECTEDWRITE_H
#define QXBASE_OS_FILES_QXPROTECTEDWRITE_H

#include "diagnostics/qxError.h"
#include "os/files/qxFilename.h"
#include "qxDefs.h"

#include <cstdint>

namespace qxOS {

class QX_API ProtectedWrite {
public:
    enum status : std::int32_t {
        kNoFailure = 0,
        kMainNotWritable = 1,  // from init
        kSwapFailed = 1,       // from finalize
        kTempDirectoryUnusable = 2,
        kTempDirectoryNotDirectory = 3,
        kStaleFileStays = 4,
        kNoTempFile = 5,
        kBackupFailed = 6,
        kInvalidated = 7,
    };

    explicit ProtectedWrite(const Filename& main);
    // Copies every field: both copies then own the temporary name.
    ProtectedWrite(const ProtectedWrite& other) = default;
    ProtectedWrite& operator=(const ProtectedWrite& other) = default;
    // Deletes the temporary file if it is still there; the backup and the
    // main file are left alone.
    ~ProtectedWrite();

    // Chooses the copy strategy; call before init().
    void useCopyStrategy() { m_useCopy = true; }
    // Makes the temporary and backup names and clears stale files of those
    // names. True when the status is 0; a second call only answers that.
    bool init();
    // Where the caller writes the new content; empty until init().
    const Filename& getTempFilename() const { return m_temp; }
    const Filename& getMainFilename() const { return m_main; }
    // Where the old content waits during the swap; empty until init().
    const Filename& getBackupFilename() const { return m_backup; }
    // Abandons the write: finalize() then only cleans up.
    void invalidate() { m_valid = false; }
    // Swaps the temporary file into place and deletes the temporary and
    // backup files. True when the status is 0; true without doing anything
    // when init() was never called.
    bool finalize();
    status getStatus() const { return m_status; }
    const qxUtil::Error& getError() const { return m_error; }

private:
    void fail(status s, qxUtil::Error why);
    bool makeNames(bool copy);
    void swapBeside();
    void swapAcross();
    void cleanUp();

    Filename m_main;
    Filename m_temp;
    Filename m_backup;
    status m_status;
    bool m_initialized;
    bool m_valid;
    bool m_useCopy;
    // Beyond the status: what failed underneath, and the copy of the new
    // content beside the main file during a swap across directories.
    qxUtil::Error m_error;
    Filename m_staged;
};

}  // namespace qxOS

#endif
