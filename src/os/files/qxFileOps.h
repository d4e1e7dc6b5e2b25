// Around files: the capacity of a volume, a breadth-first walk over a
// directory tree, and free functions that copy, delete, move and test local
// files by name, with plain C entry points for callers without the classes.
#ifndef QXBASE_OS_FILES_QXFILEOPS_H
#define QXBASE_OS_FILES_QXFILEOPS_H

#include "containers/qxList.h"
#include "diagnostics/qxError.h"
#include "os/files/qxFilename.h"
#include "qxDefs.h"
#include "string/qxString.h"

#include <cstdio>

namespace qxOS {

// The size and free space of the volume holding a path, and whether it is
// a network volume.
class QX_API Filesystem {
public:
    explicit Filesystem(const qxString::IString& path);

    // Fills the numbers (in blocks of 1024 bytes) and the remote flag. Error
    // 1 when the path cannot be made absolute or its volume not asked; the
    // remote flag is still set in the second case.
    qxUtil::Error stat();

    unsigned long long blockSize() const { return m_blockSize; }
    unsigned long long size() const { return m_size; }
    // What the calling user may still use.
    unsigned long long avail() const { return m_avail; }
    bool isRemote() const { return m_isRemote; }
    const qxString::IString& filename() const { return m_filename; }

private:
    qxString::IString m_filename;
    unsigned long long m_blockSize;
    unsigned long long m_size;
    unsigned long long m_avail;
    bool m_isRemote;
};

// Walks a tree breadth-first: the root, then its entries in listing order,
// then theirs. "." and ".." are never visited. On the local disk a link is
// visited but never entered, so a link back up the tree cannot make the walk
// loop; an entry that vanishes before it is listed is skipped.
//
//   for (qxOS::DirectoryIterator it(root); it.valid(); it.next()) ...
class QX_API DirectoryIterator {
public:
    struct iteratorEntry {
        qxString::IString name;
        bool exists = false;
        bool isDirectory = false;
        bool pruned = false;
    };

    // Trailing separators ('\' and '/') are dropped, keeping at least one
    // character. A missing root gives an iterator that is not valid.
    explicit DirectoryIterator(const qxString::IString& root);
    virtual ~DirectoryIterator();

    bool valid() const { return !m_queue.empty(); }
    // The current entry's full name; only while valid.
    const qxString::IString& getName() const { return m_queue.front().name; }
    bool onDirectory() const { return m_queue.front().isDirectory; }
    bool onFile() const { return !m_queue.front().isDirectory; }
    // next() does not descend into the current entry.
    void prune() { m_queue.front().pruned = true; }
    // Moves to the next entry, queueing the current directory's entries
    // first (unless pruned).
    void next();

    // What the walk had to leave out: a directory it could not list (no
    // permission, a full name past the path limit, removed meanwhile), or
    // an entry whose status could not be read. Never silent: each counts,
    // the last one's name and error stay, and a callback set with onSkip
    // hears of each as it happens.
    using SkipFn = void (*)(void* ctx, const qxString::IString& name, const qxUtil::Error& why);
    void onSkip(SkipFn fn, void* ctx) {
        m_onSkip = fn;
        m_skipCtx = ctx;
    }
    int skippedCount() const { return m_skipped; }
    const qxString::IString& lastSkipped() const { return m_lastSkipped; }
    const qxUtil::Error& lastSkipError() const { return m_lastSkipError; }

private:
    void visitDirectory(const iteratorEntry& dir);
    void skip(const qxString::IString& name, qxUtil::Error why);
    // skip, for the listing's callback.
    static void skipThunk(DirectoryIterator* walk, const qxString::IString& name,
                          qxUtil::Error why);

    qx::list<iteratorEntry> m_queue;
    int m_skipped = 0;
    qxString::IString m_lastSkipped;
    qxUtil::Error m_lastSkipError;
    SkipFn m_onSkip = nullptr;
    void* m_skipCtx = nullptr;
};

// Copies the file's bytes, permissions and modification time. Error 2 when
// from is missing, 3 when to exists and overwrite is false, else 1, with
// the message "Error copying <from> to <to>: <system text>".
QX_API qxUtil::Error fileCopy(const Filename& from, const Filename& to, bool overwrite);
QX_API qxUtil::Error fileCopy(const char* from, const char* to, bool overwrite);
QX_API qxUtil::Error fileCopy(const qx::WChar* from, const qx::WChar* to, bool overwrite);
// Deletes a file (never a directory). Error 1 with the system's text.
QX_API qxUtil::Error fileDelete(const Filename& name);
QX_API qxUtil::Error fileDelete(const char* name);
QX_API qxUtil::Error fileDelete(const qx::WChar* name);
// fileCopy, then fileDelete of from; the first failure.
QX_API qxUtil::Error fileMove(const Filename& from, const Filename& to, bool overwrite);
QX_API qxUtil::Error fileMove(const char* from, const char* to, bool overwrite);
QX_API qxUtil::Error fileMove(const qx::WChar* from, const qx::WChar* to, bool overwrite);
// Renames in place within one directory (never replacing an existing
// file: error 6), else moves with overwrite.
QX_API qxUtil::Error fileRename(const Filename& from, const Filename& to);
QX_API qxUtil::Error fileRename(const char* from, const char* to);
QX_API qxUtil::Error fileRename(const qx::WChar* from, const qx::WChar* to);
QX_API bool doesFileExist(const Filename& name);
QX_API bool isFileWritable(const Filename& name);
// CON, PRN, AUX, NUL, COM1-COM9 and LPT1-LPT9 in any case, judged by the
// name's trunk: "con.txt" is one, "con.tar.gz" is not.
QX_API bool isWindowsReservedDeviceName(const Filename& name);
// The C runtime's stream for name; mode is the runtime's mode text. Null
// when it cannot be opened (a mode the runtime would reject, a name with a
// NUL inside). 8-bit names are UTF-8.
QX_API std::FILE* fopen(const qxString::IString& name, const qxString::CString& mode);
QX_API std::FILE* fopen(const qxString::CString& name, const qxString::CString& mode);

}  // namespace qxOS

extern "C" {
// 8-bit paths are in the locale's multibyte encoding. 1 for yes, 0 for no.
QX_API int qxOS_DoesFileExistW(const qx::WChar* path);
QX_API int qxOS_DoesFileExist(const char* path);
QX_API int qxOS_IsFileWriteableW(const qx::WChar* path);
QX_API int qxOS_IsFileWriteable(const char* path);
// Whether anything exists under the name: a plain file also gives 1.
QX_API int qxOS_DoesDirectoryExist(const char* path);
// 1 when the copy succeeded.
QX_API int qxOS_CopyFileToW(const qx::WChar* from, const qx::WChar* to);
QX_API int qxOS_CopyFileTo(const char* from, const char* to);
// Reads the first count bytes of the file into buffer: the number read, or
// -1 when the file is shorter than count (or cannot be read) or buffer is
// null or count negative; 0 for a count of 0.
QX_API int qxOS_ReadHeaderFromFileW(const qx::WChar* path, void* buffer, int count);
QX_API int qxOS_ReadHeaderFromFile(const char* path, void* buffer, int count);
}

#endif
