#include "os/files/qxProtectedWrite.h"

#include "os/files/qxFile.h"
#include "os/files/qxFileOps.h"
#include "os/files/qxTempFiles.h"
#include "os/sys/qxSysApp.h"
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysFile.h"

namespace qxOS {

using qxString::IString;
using qxUtil::Error;
namespace sys = qx::sys;

namespace {

// OSTREL_PROTECTED_WRITE_USE_COPY, asked once for the life of the process.
bool copyStrategyFromEnvironment() {
    static const bool s_useCopy = sys::getEnv(
        QX_W("OSTREL_PROTECTED_WRITE_USE_COPY"), [](void*, const qx::WChar*, size_t) {}, nullptr);
    return s_useCopy;
}

Error systemError(int rc) {
    return Error(rc, qxUtil::systemErrorText(rc));
}

FileStatus statusOf(const Filename& name, Error* e = nullptr) {
    FileStatus st;
    if (!name.name().empty()) {
        Error q = File::query(name, st);
        if (e) *e = std::move(q);
    }
    return st;
}

bool isFile(const Filename& name) {
    const FileStatus st = statusOf(name);
    return st.exists() && st.isFile();
}

// The directory holding name, for the calls that need one spelt out.
Filename directoryOf(const Filename& name) {
    const IString& dir = name.dirname();
    return dir.empty() ? Filename(IString(QX_W("."))) : Filename(dir);
}

// Deletes name if a file of that name is there; false when one stays.
bool deleteIfThere(const Filename& name, Error* why = nullptr) {
    if (name.name().empty() || !statusOf(name).exists()) return true;
    Error e = fileDelete(name);
    if (!e) return true;
    if (why) *why = std::move(e);
    return false;
}

}  // namespace

ProtectedWrite::ProtectedWrite(const Filename& main)
    : m_main(main), m_status(kNoFailure), m_initialized(false), m_valid(true), m_useCopy(false) {}

ProtectedWrite::~ProtectedWrite() {
    if (m_initialized) deleteIfThere(m_temp);
}

void ProtectedWrite::fail(status s, Error why) {
    if (m_status != kNoFailure) return;
    m_status = s;
    m_error = std::move(why);
}

bool ProtectedWrite::init() {
    if (m_initialized) return m_status == kNoFailure;
    m_initialized = true;
    const bool copy = m_useCopy || copyStrategyFromEnvironment();

    Error e;
    const FileStatus mainStatus = statusOf(m_main, &e);
    if (e) {
        fail(kMainNotWritable, std::move(e));
        return false;
    }
    // A directory cannot be replaced by a file: as good as read-only here.
    if (mainStatus.exists() && (mainStatus.isDirectory() || !mainStatus.isWritable())) {
        fail(kMainNotWritable,
             File::getError(mainStatus.isDirectory() ? File::kNotFile : File::kNoWritePermission));
        return false;
    }

    if (copy) {
        const Filename dir = getTempDirectory();
        const FileStatus dirStatus = statusOf(dir);
        if (!dirStatus.exists()) {
            if (!dir.makeDir())
                fail(kTempDirectoryUnusable,
                     Error(File::kIOProblem, "Cannot create %S", dir.nativeName().asWChar()));
        } else if (!dirStatus.isDirectory()) {
            fail(kTempDirectoryNotDirectory, File::getError(File::kNotDirectory));
        }
        if (m_status != kNoFailure) return false;
    }

    if (!makeNames(copy)) return false;

    if (!deleteIfThere(m_temp, &e) || !deleteIfThere(m_backup, &e))
        fail(kStaleFileStays, std::move(e));
    return m_status == kNoFailure;
}

bool ProtectedWrite::makeNames(bool copy) {
    const IString& base = m_main.basename();
    const IString tempSuffix(QX_W("0.tmp")), backupSuffix(QX_W("1.tmp"));
    m_temp = createTmpFilename(tempSuffix, base.asWChar());
    m_backup = createTmpFilename(backupSuffix, base.asWChar());
    const bool made = !m_temp.name().empty() && !m_backup.name().empty();
    if (copy) {
        if (!made) {
            m_temp = m_backup = Filename();
            fail(kTempDirectoryUnusable, Error(File::kIOProblem, "No file can be made in %S",
                                               getTempDirectory().nativeName().asWChar()));
        }
        return made;
    }
    // The temporary directory only lends its unique names; one that cannot
    // be used is no reason to refuse, since the files go beside the main
    // file anyway: the names are then made there.
    if (!made) {
        const Filename dir = directoryOf(m_main);
        m_temp = createNewFilenameVariant(dir, base.asWChar(), tempSuffix);
        m_backup = createNewFilenameVariant(dir, base.asWChar(), backupSuffix);
        if (m_temp.name().empty() || m_backup.name().empty()) {
            m_temp = m_backup = Filename();
            fail(kTempDirectoryUnusable,
                 Error(File::kIOProblem, "No file can be made in %S or in %S",
                       getTempDirectory().nativeName().asWChar(), dir.nativeName().asWChar()));
            return false;
        }
    }
    m_temp = Filename(m_main.dirname(), m_temp.basename());
    m_backup = Filename(m_main.dirname(), m_backup.basename());
    return true;
}

bool ProtectedWrite::finalize() {
    if (!m_initialized) return true;
    if (m_status == kNoFailure && !m_valid)
        fail(kInvalidated, Error());
    else if (m_status == kNoFailure && !isFile(m_temp))
        fail(kNoTempFile, File::getError(File::kDoesNotExist));

    if (m_status == kNoFailure) {
        // Swapping across directories is what the copy strategy does.
        if (m_temp.dirname().compare(m_main.dirname()) == 0)
            swapBeside();
        else
            swapAcross();
    }
    cleanUp();
    return m_status == kNoFailure;
}

// Both names in one directory. The main name never goes missing where the
// file system has hard links: the backup is a second name of the old file,
// and the rename replaces the main name in one step.
void ProtectedWrite::swapBeside() {
    if (const int rc = sys::flushFile(m_temp.name().asWChar())) {
        fail(kSwapFailed, systemError(rc));
        return;
    }
    const FileStatus mainStatus = statusOf(m_main);
    bool mainMoved = false;
    if (mainStatus.exists()) {
        if (mainStatus.isDirectory() || statusOf(m_backup).exists()) {
            fail(kBackupFailed,
                 File::getError(mainStatus.isDirectory() ? File::kNotFile : File::kFileExists));
            return;
        }
        if (sys::linkFile(m_main.name().asWChar(), m_backup.name().asWChar()) != 0) {
            if (Error e = fileRename(m_main, m_backup)) {
                fail(kBackupFailed, std::move(e));
                return;
            }
            mainMoved = true;
        }
    }

    if (mainMoved || !mainStatus.exists()) {
        // Nothing may be at the main name now: a rename that never replaces.
        if (Error e = fileRename(m_temp, m_main)) {
            fail(kSwapFailed, std::move(e));
            if (mainMoved) {
                deleteIfThere(m_main);
                // Should even that fail, the backup holds the only copy of
                // the old content: it stays, and the error names it.
                if (fileRename(m_backup, m_main)) {
                    m_error = Error(File::kIOProblem, "The old content of %S stays in %S",
                                    m_main.nativeName().asWChar(), m_backup.nativeName().asWChar());
                    m_backup = Filename();
                }
            }
            return;
        }
    } else if (const int rc = sys::replaceFile(m_temp.name().asWChar(), m_main.name().asWChar())) {
        // All or nothing: the main name still holds the old file.
        fail(kSwapFailed, systemError(rc));
        return;
    }
    sys::syncDirectory(directoryOf(m_main).name().asWChar());
}

// The temporary and backup files in the temporary directory, perhaps on
// another volume. The main file stays where it is until a copy of the new
// content, made beside it and flushed, replaces it in one rename.
void ProtectedWrite::swapAcross() {
    const FileStatus mainStatus = statusOf(m_main);
    if (mainStatus.exists()) {
        // A name taken since init (by a directory, say) is no place for the
        // old content, whatever a copy would make of it.
        Error e = mainStatus.isDirectory()      ? File::getError(File::kNotFile)
                  : statusOf(m_backup).exists() ? File::getError(File::kFileExists)
                                                : fileCopy(m_main, m_backup, false);
        if (e) {
            fail(kBackupFailed, std::move(e));
            return;
        }
    }
    // A file already under the staged name was left by a write that died:
    // the name is made from this write's own unique one.
    m_staged = Filename(m_main.dirname(), m_temp.basename());
    Error e;
    if (!deleteIfThere(m_staged, &e) || (e = fileCopy(m_temp, m_staged, false))) {
        fail(kSwapFailed, std::move(e));
        return;
    }
    int rc = sys::flushFile(m_staged.name().asWChar());
    if (rc == 0) rc = sys::replaceFile(m_staged.name().asWChar(), m_main.name().asWChar());
    if (rc != 0) {
        fail(kSwapFailed, systemError(rc));
        return;
    }
    sys::syncDirectory(directoryOf(m_main).name().asWChar());
}

// Failures here are not reported: the swap's outcome stands.
void ProtectedWrite::cleanUp() {
    deleteIfThere(m_temp);
    deleteIfThere(m_backup);
    deleteIfThere(m_staged);
    m_staged = Filename();
}

}  // namespace qxOS
