#include "os/files/qxFileOps.h"

#include "os/files/qxFile.h"
#include "os/files/qxLocalFileTransportImpl.h"
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysFile.h"
#include "string/qxEncoding.h"

#include <cerrno>

namespace qxOS {

using qxString::CString;
using qxString::IString;
using qxUtil::Error;
namespace sys = qx::sys;

namespace {

constexpr qx::WChar kSep = '\\';

IString fromMultibyte(const char* s) {
    return IString(s, qxString::EncodingMultibyte);
}

Filename filenameOf(const char* s) {
    return Filename(fromMultibyte(s));
}

Filename filenameOf(const qx::WChar* s) {
    return Filename(IString(s));
}

bool isDot(const qx::WChar* name, size_t length) {
    return (length == 1 && name[0] == '.') || (length == 2 && name[0] == '.' && name[1] == '.');
}

// Ends in a separator followed by "." or "..".
bool isDotPath(const IString& name) {
    const unsigned n = name.length();
    if (n <= 3 || name[n - 1] != '.') return false;
    auto sep = [](qx::WChar c) { return c == '\\' || c == '/'; };
    return sep(name[n - 2]) || (name[n - 2] == '.' && sep(name[n - 3]));
}

}  // namespace

// --- Filesystem ------------------------------------------------------------------

Filesystem::Filesystem(const IString& path)
    : m_blockSize(0), m_size(0), m_avail(0), m_isRemote(false) {
    m_filename.assign(path);
}

Error Filesystem::stat() {
    qx::WChar full[sys::kMaxPath];
    size_t length = 0;
    if (sys::fullPath(m_filename.asWChar(), full, sys::kMaxPath, &length) != 0)
        return Error(1, "Filesystem::stat(): invalid path %ls\n",
                     Filename(m_filename).nativeName().asWChar());

    // The directory holding the last component, with its separator.
    size_t cut = length;
    while (cut > 0 && full[cut - 1] != kSep) --cut;
    const IString dir(full, static_cast<int>(cut));

    Error result;
    unsigned long long total = 0;
    unsigned long long available = 0;
    const int rc = sys::diskFreeSpace(dir.asWChar(), &total, &available);
    if (rc == 0) {
        m_blockSize = 1024;
        m_size = total / 1024;
        m_avail = available / 1024;
    } else {
        result = Error(1, "Filesystem::stat(): GetDiskFreeSpaceEx(%ls) failed: %ls",
                       Filename(dir).nativeName().asWChar(), qxUtil::systemErrorText(rc).asWChar());
    }

    const Filename name(m_filename);
    const IString& prefix = name.prefix();
    if (prefix.empty()) m_isRemote = false;
    if (prefix.length() >= 2 && prefix[0] == kSep && prefix[1] == kSep) {
        m_isRemote = true;
    } else {
        IString root;
        root.assign(prefix);
        root.append(kSep);
        if (sys::driveType(root.asWChar()) == sys::kDriveRemote) m_isRemote = true;
    }
    return result;
}

// --- DirectoryIterator -------------------------------------------------------------

namespace {

using Entry = DirectoryIterator::iteratorEntry;

// The entry for name as a status query sees it; the query's error when it
// could not tell.
Error queryEntry(const IString& name, Entry& entry) {
    FileStatus status;
    Error e = File::query(name, status);
    entry.exists = !e && status.exists();
    entry.isDirectory = status.isDirectory();
    return e;
}

struct WalkContext {
    qx::list<Entry>* queue;
    const IString* dir;
    DirectoryIterator* walk;
    void (*skip)(DirectoryIterator*, const IString&, Error);
};

// What the listing says is enough, without a status call per entry: only a
// link needs one. Its target decides what it is, and it is never entered;
// a dangling link names nothing and is passed over like a vanished entry.
void addWalked(void* ctx, const qx::WChar* name, size_t length, unsigned kind) {
    if (isDot(name, length) || (kind & sys::kEntryOther)) return;
    WalkContext& c = *static_cast<WalkContext*>(ctx);
    IString full;
    full.reserve(c.dir->length() + static_cast<unsigned>(length));
    full.assign(*c.dir);
    full.append(name, static_cast<unsigned>(length));
    bool directory = (kind & sys::kEntryDirectory) != 0;
    if (kind & sys::kEntryLink) {
        sys::PathStatus st;
        const int rc = sys::statPath(full.asWChar(), &st);
        if (rc != 0 && rc != sys::kErrorFileNotFound && rc != sys::kErrorPathNotFound)
            c.skip(c.walk, full, Error(File::kIOProblem, qxUtil::systemErrorText(rc)));
        if (rc != 0 || !(st.isDirectory || st.isRegular)) return;
        directory = st.isDirectory;
    }
    Entry& e = c.queue->emplace_back();
    e.name.swap(full);
    e.exists = true;
    e.isDirectory = directory;
    e.pruned = (kind & sys::kEntryLink) != 0;
}

}  // namespace

DirectoryIterator::DirectoryIterator(const IString& root) {
    IString name;
    name.assign(root);
    unsigned n = name.length();
    while (n > 1 && (name[n - 1] == '\\' || name[n - 1] == '/')) --n;
    name.erase(n);
    Entry entry;
    queryEntry(name, entry);
    if (!entry.exists) return;
    entry.name.swap(name);
    m_queue.push_back(std::move(entry));
}

DirectoryIterator::~DirectoryIterator() = default;

void DirectoryIterator::next() {
    const Entry& front = m_queue.front();
    if (front.isDirectory && !front.pruned) visitDirectory(front);
    m_queue.pop_front();
}

void DirectoryIterator::skipThunk(DirectoryIterator* walk, const IString& name, Error why) {
    walk->skip(name, std::move(why));
}

void DirectoryIterator::skip(const IString& name, Error why) {
    ++m_skipped;
    m_lastSkipped.assign(name);
    m_lastSkipError = std::move(why);
    if (m_onSkip) m_onSkip(m_skipCtx, m_lastSkipped, m_lastSkipError);
}

void DirectoryIterator::visitDirectory(const iteratorEntry& dir) {
    File file(dir.name);
    if (!file.isValid()) {
        skip(dir.name, File::getError(File::kNotImplemented));
        return;
    }
    if (auto* local = dynamic_cast<LocalFileTransport*>(file.getTransport())) {
        IString listed;
        WalkContext ctx{&m_queue, &listed, this, skipThunk};
        const int before = m_queue.size();
        // A listing that fails part way yields nothing, as a failed one does.
        int rc = 0;
        if (Error e = local->listEntries(addWalked, &ctx, listed, &rc)) {
            while (m_queue.size() > before) m_queue.pop_back();
            skip(dir.name, rc ? Error(e.num(), qxUtil::systemErrorText(rc)) : std::move(e));
        }
        return;
    }
    qx::vector<IString> names;
    if (Error e = file.readDir(names, true)) {
        skip(dir.name, std::move(e));
        return;
    }
    for (IString& name : names) {
        if (isDotPath(name)) continue;
        Entry entry;
        if (Error e = queryEntry(name, entry)) skip(name, std::move(e));
        if (!entry.exists) continue;
        entry.name.swap(name);
        m_queue.push_back(std::move(entry));
    }
}

// --- free functions ----------------------------------------------------------------

Error fileCopy(const Filename& from, const Filename& to, bool overwrite) {
    if (LocalFileTransport::cutShort(from.name()) || LocalFileTransport::cutShort(to.name()))
        return Error(1, qxUtil::systemErrorText(sys::kErrorInvalidName));
    const int rc = sys::copyFile(from.name().asWChar(), to.name().asWChar(), !overwrite);
    if (rc == 0) return Error();
    const int num = rc == sys::kErrorFileNotFound ? 2 : rc == sys::kErrorFileExists ? 3 : 1;
    return Error(num, "Error copying %S to %S: %S", from.nativeName().asWChar(),
                 to.nativeName().asWChar(), qxUtil::systemErrorText(rc).asWChar());
}

Error fileCopy(const char* from, const char* to, bool overwrite) {
    return fileCopy(filenameOf(from), filenameOf(to), overwrite);
}

Error fileCopy(const qx::WChar* from, const qx::WChar* to, bool overwrite) {
    return fileCopy(filenameOf(from), filenameOf(to), overwrite);
}

Error fileDelete(const Filename& name) {
    if (LocalFileTransport::cutShort(name.name()))
        return Error(1, qxUtil::systemErrorText(sys::kErrorInvalidName));
    const int rc = sys::unlinkFile(name.name().asWChar());
    return rc == 0 ? Error() : Error(1, qxUtil::systemErrorText(rc));
}

Error fileDelete(const char* name) {
    return fileDelete(filenameOf(name));
}

Error fileDelete(const qx::WChar* name) {
    return fileDelete(filenameOf(name));
}

Error fileMove(const Filename& from, const Filename& to, bool overwrite) {
    Error e = fileCopy(from, to, overwrite);
    if (!e) e = fileDelete(from);
    return e;
}

Error fileMove(const char* from, const char* to, bool overwrite) {
    return fileMove(filenameOf(from), filenameOf(to), overwrite);
}

Error fileMove(const qx::WChar* from, const qx::WChar* to, bool overwrite) {
    return fileMove(filenameOf(from), filenameOf(to), overwrite);
}

Error fileRename(const Filename& from, const Filename& to) {
    if (from.dirname().compare(to.dirname()) != 0) return fileMove(from, to, true);
    if (LocalFileTransport::cutShort(from.name()) || LocalFileTransport::cutShort(to.name()))
        return Error(6, "Unkown system error.");
    const int rc = sys::renamePath(from.name().asWChar(), to.name().asWChar());
    if (rc == 0) return Error();
    // The runtime's errno: an existing target is EACCES there.
    switch (rc) {
        case sys::kErrorFileNotFound:
        case sys::kErrorPathNotFound:
            return Error(6, "File or path specified by %S name not found.",
                         to.nativeName().asWChar());
        case sys::kErrorAccessDenied:
        case sys::kErrorFileExists:
        case sys::kErrorAlreadyExists:
        case sys::kErrorSharingViolation:
            return Error(6, "A component of either path prefix deniessearch permission");
        case sys::kErrorInvalidParameter:
        case sys::kErrorInvalidName:
            return Error(6,
                         "source is a parent directory of target, or an attempt is made to rename "
                         "the .  or ..  directory.");
        default:
            return Error(6, "Unkown system error.");
    }
}

Error fileRename(const char* from, const char* to) {
    return fileRename(filenameOf(from), filenameOf(to));
}

Error fileRename(const qx::WChar* from, const qx::WChar* to) {
    return fileRename(filenameOf(from), filenameOf(to));
}

bool doesFileExist(const Filename& name) {
    FileStatus status;
    return !File::query(name, status) && status.exists();
}

bool isFileWritable(const Filename& name) {
    FileStatus status;
    return !File::query(name, status) && status.isWritable();
}

bool isWindowsReservedDeviceName(const Filename& name) {
    IString trunk;
    trunk.assign(name.baseTrunk());
    trunk.toUpperCase();
    auto is = [&trunk](const char* word) {
        for (unsigned i = 0; i < 3; ++i)
            if (trunk[i] != static_cast<qx::WChar>(word[i])) return false;
        return true;
    };
    if (trunk.length() == 3) return is("CON") || is("PRN") || is("AUX") || is("NUL");
    if (trunk.length() == 4)
        return (is("COM") || is("LPT")) && qxString::isDigit(trunk[3]) && trunk[3] != '0';
    return false;
}

namespace {

// The runtime's own check would end the process on a bad mode: "r", "w" or
// "a", then at most one '+' and one of 'b' and 't', in either order.
bool validMode(const char* mode) {
    if (*mode != 'r' && *mode != 'w' && *mode != 'a') return false;
    bool plus = false, kind = false;
    for (const char* p = mode + 1; *p; ++p) {
        if (*p == '+' && !plus)
            plus = true;
        else if ((*p == 'b' || *p == 't') && !kind)
            kind = true;
        else
            return false;
    }
    return true;
}

}  // namespace

std::FILE* fopen(const IString& name, const CString& mode) {
    if (!validMode(mode.c_str()) || LocalFileTransport::cutShort(name)) {
        errno = EINVAL;
        return nullptr;
    }
    int rc = 0;
    std::FILE* f = sys::openStdioFile(name.asWChar(), mode.c_str(), &rc);
    if (!f) {
        const int err = sys::errnoFromWin32(rc);
        errno = err > 0 ? err : EIO;
    }
    return f;
}

std::FILE* fopen(const CString& name, const CString& mode) {
    return fopen(IString(name, qxString::EncodingUTF8), mode);
}

}  // namespace qxOS

// --- C entry points ------------------------------------------------------------------

using qxOS::File;
using qxOS::FileStatus;

namespace {

int statusFlag(const qxString::IString& path, bool (FileStatus::*flag)() const) {
    FileStatus status;
    return !File::query(path, status) && (status.*flag)() ? 1 : 0;
}

int copyFileTo(const qxString::IString& from, const qxString::IString& to) {
    qxOS::FileFactory* factory = qxOS::FileFactory::getFileFactory();
    File* source = factory->createFile(from);
    File* target = factory->createFile(to);
    const bool ok = source && target && !source->copyTo(*target);
    delete source;
    delete target;
    return ok ? 1 : 0;
}

int readHeader(const qxString::IString& path, void* buffer, int count) {
    if (!buffer || count < 0) return -1;
    if (count == 0) return 0;
    File* file = qxOS::FileFactory::getFileFactory()->createFile(path);
    if (!file) return -1;
    size_t got = 0;
    bool ok = !file->open(File::kRead);
    if (ok) ok = !file->read(buffer, static_cast<size_t>(count), &got);
    delete file;
    return ok ? static_cast<int>(got) : -1;
}

}  // namespace

extern "C" {

int qxOS_DoesFileExistW(const qx::WChar* path) {
    return statusFlag(qxString::IString(path), &FileStatus::exists);
}

int qxOS_DoesFileExist(const char* path) {
    return qxOS_DoesFileExistW(qxOS::fromMultibyte(path).asWChar());
}

int qxOS_IsFileWriteableW(const qx::WChar* path) {
    return statusFlag(qxString::IString(path), &FileStatus::isWritable);
}

int qxOS_IsFileWriteable(const char* path) {
    return qxOS_IsFileWriteableW(qxOS::fromMultibyte(path).asWChar());
}

int qxOS_DoesDirectoryExist(const char* path) {
    FileStatus status;
    File::query(qxOS::filenameOf(path), status);
    return status.exists() ? 1 : 0;
}

int qxOS_CopyFileToW(const qx::WChar* from, const qx::WChar* to) {
    return copyFileTo(qxString::IString(from), qxString::IString(to));
}

int qxOS_CopyFileTo(const char* from, const char* to) {
    return copyFileTo(qxOS::fromMultibyte(from), qxOS::fromMultibyte(to));
}

int qxOS_ReadHeaderFromFileW(const qx::WChar* path, void* buffer, int count) {
    return readHeader(qxString::IString(path), buffer, count);
}

int qxOS_ReadHeaderFromFile(const char* path, void* buffer, int count) {
    return readHeader(qxOS::fromMultibyte(path), buffer, count);
}

}  // extern "C"
