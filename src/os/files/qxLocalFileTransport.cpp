#include "os/files/qxLocalFileTransportImpl.h"

#include "os/files/qxFilename.h"
#include "os/files/qxTempFiles.h"
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysFile.h"

#include <climits>
#include <cstdlib>

namespace qxOS {

using qxString::CString;
using qxString::IString;
using qxUtil::Error;
namespace sys = qx::sys;

namespace {

constexpr qx::WChar kSep = '\\';

// The file error for a failed system call, as the runtime's errno reads it:
// missing (ENOENT) 18, existing (EEXIST) 2, anything else 4. The runtime
// says ENOENT for a name too long as well.
int fileCode(int win32) {
    switch (win32) {
        case sys::kErrorFileNotFound:
        case sys::kErrorPathNotFound:
        case sys::kErrorFilenameExcedRange:
            return File::kDoesNotExist;
        case sys::kErrorFileExists:
        case sys::kErrorAlreadyExists:
            return File::kFileExists;
        default:
            return File::kIOProblem;
    }
}

// For the calls that know no missing file: only an existing one has its
// own code.
int createCode(int win32) {
    const int code = fileCode(win32);
    return code == File::kDoesNotExist ? File::kIOProblem : code;
}

bool isMissing(int win32) {
    return win32 == sys::kErrorFileNotFound || win32 == sys::kErrorPathNotFound;
}

// The runtime's mode text for the mode bits; false when no access bit is
// set (the runtime would refuse the text).
bool modeText(int mode, char* out) {
    int k = 0;
    if (mode & File::kAppend) {
        out[k++] = 'a';
        out[k++] = '+';
    } else if ((mode & File::kRead) && (mode & File::kWrite)) {
        out[k++] = 'r';
        out[k++] = '+';
    } else if (mode & File::kRead) {
        out[k++] = 'r';
    } else if (mode & File::kWrite) {
        out[k++] = 'w';
    } else {
        return false;
    }
    out[k++] = (mode & File::kText) ? 't' : 'b';
    out[k] = '\0';
    return true;
}

// n random lower-case letters from the C generator: 'a' to 'y'.
IString randomLetters(int n) {
    IString s;
    for (int i = 0; i < n; ++i) s.append(static_cast<qx::WChar>('a' + std::rand() % 25));
    return s;
}

// The directory temporary names go to: the name's directory, else the
// system's temporary directory.
IString tempHome(const IString& name) {
    IString dir;
    dir.assign(Filename(name).dirname());
    if (dir.empty()) dir.assign(getTempDirectory().name());
    return dir;
}

// A name with a NUL inside is refused as the system would refuse it, with
// the code table's text.
Error invalidName() {
    return File::getError(File::kIOProblem);
}

IString joined(const IString& dir, const IString& entry) {
    IString out;
    out.assign(dir);
    if (out.empty() || out[out.length() - 1] != kSep) out.append(kSep);
    out.append(entry);
    return out;
}

}  // namespace

// --- factory -------------------------------------------------------------------

LocalFileTransportFactory::~LocalFileTransportFactory() = default;

bool LocalFileTransportFactory::s_forceTransportLoad() {
    return true;
}

FileTransport* LocalFileTransportFactory::create(const IString& name) {
    const unsigned colon = name.find(static_cast<qx::WChar>(':'));
    if (colon == 4 && name[0] == 'f' && name[1] == 'i' && name[2] == 'l' && name[3] == 'e') {
        unsigned start = 5;
        while (start < name.length() && name[start] == '/') ++start;
        IString rest;
        rest.assign(name.data() + start, name.length() - start);
        return new LocalFileTransport(rest);
    }
    return new LocalFileTransport(name);
}

// --- transport -----------------------------------------------------------------

bool LocalFileTransport::cutShort(const IString& name) {
    return name.find(static_cast<qx::WChar>(0)) != IString::npos;
}

LocalFileTransport::LocalFileTransport(const IString& name)
    : m_stream(nullptr), m_wrote(false), m_directoryKnown(false), m_directory(false) {
    m_name.assign(name);
}

LocalFileTransport::~LocalFileTransport() {
    closeStream();
}

void LocalFileTransport::closeStream() {
    if (m_stream) {
        std::fclose(m_stream);
        m_stream = nullptr;
    }
}

void LocalFileTransport::rename(const IString& name) {
    m_name.assign(name);
    m_directoryKnown = false;
    m_directory = false;
}

Error LocalFileTransport::read(void* buffer, size_t size, size_t* got) {
    if (!m_stream) return File::getError(File::kIOProblem);
    const size_t n = std::fread(buffer, 1, size, m_stream);
    if (got) *got = n;
    if (std::feof(m_stream)) return File::getError(File::kEndOfFile);
    return Error();
}

Error LocalFileTransport::write(const void* buffer, size_t size, size_t* put) {
    if (!m_stream) return File::getError(File::kIOProblem);
    const size_t n = std::fwrite(buffer, 1, size, m_stream);
    if (n > 0) m_wrote = true;
    if (put) *put = n;
    return n == size ? Error() : File::getError(File::kIOProblem);
}

Error LocalFileTransport::open(int mode) {
    if (cutShort(m_name)) return invalidName();
    char text[4];
    closeStream();
    if (!modeText(mode, text)) return File::getError(File::kIOProblem);
    int rc = 0;
    m_stream = sys::openStdioFile(m_name.asWChar(), text, &rc);
    m_wrote = false;
    return m_stream ? Error() : File::getError(fileCode(rc));
}

Error LocalFileTransport::openTemp(int mode) {
    if (cutShort(m_name)) return invalidName();
    char text[4];
    closeStream();
    if (!modeText(mode, text)) return File::getError(File::kIOProblem);

    const Filename self(m_name);
    IString prefix;
    prefix.assign(self.basename());
    prefix.append(self.baseSuffix());
    if (prefix.empty() || (prefix.length() == 1 && prefix[0] == '.')) prefix.assign(QX_W("AST"));
    const IString dir = tempHome(m_name);

    qx::WChar created[sys::kMaxPath + 16];
    int rc = 0;
    for (int attempt = 0; attempt < 10; ++attempt) {
        rc = sys::tempFileName(dir.asWChar(), prefix.asWChar(), created,
                               sizeof created / sizeof created[0]);
        if (rc == 0) {
            m_stream = sys::openStdioFile(created, text, &rc);
            m_wrote = false;
            if (m_stream) {
                rename(IString(created));
                return Error();
            }
            // The runtime could not open what the system made: no use to
            // leave it behind.
            sys::unlinkFile(created);
        }
        if (fileCode(rc) != File::kFileExists) break;
        prefix = randomLetters(5);
    }
    return File::getError(fileCode(rc));
}

// The Windows runtime fails fclose after any failed write on the stream,
// even one refused before a byte moved (a stream opened for reading), where
// glibc's succeeds: only written data that did not reach the file counts,
// so that both targets agree.
Error LocalFileTransport::close() {
    if (!m_stream) return Error();
    const bool lost = m_wrote && std::fflush(m_stream) != 0;
    const bool closed = std::fclose(m_stream) == 0;
    m_stream = nullptr;
    return (lost || (m_wrote && !closed)) ? File::getError(File::kIOProblem) : Error();
}

Error LocalFileTransport::makeDirectory() {
    if (cutShort(m_name)) return invalidName();
    const int rc = sys::makeDirectory(m_name.asWChar());
    return rc == 0 ? Error() : File::getError(createCode(rc));
}

Error LocalFileTransport::makeTempDirectory() {
    if (cutShort(m_name)) return invalidName();
    const IString dir = tempHome(m_name);
    int rc = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const IString candidate = joined(dir, randomLetters(10));
        rc = sys::makeDirectory(candidate.asWChar());
        rename(candidate);
        if (rc == 0) return Error();
    }
    return File::getError(createCode(rc));
}

Error LocalFileTransport::makeDirectoryAll() {
    if (isDirectory()) return Error();
    const unsigned cut = m_name.rfind(kSep);
    if (cut != IString::npos && cut > 0) {
        IString parentName;
        parentName.assign(m_name.data(), cut);
        LocalFileTransport parent(parentName);
        if (Error e = parent.makeDirectoryAll()) return e;
    }
    return makeDirectory();
}

Error LocalFileTransport::listEntries(EntryFn add, void* ctx, IString& dir, int* systemError) {
    if (cutShort(m_name)) return invalidName();
    dir.assign(m_name);
    if (!dir.empty() && dir[dir.length() - 1] != kSep) dir.append(kSep);
    // The name as given decides; a full path the system finds too long is
    // a listing failure like any other.
    if (dir.length() > static_cast<unsigned>(sys::kMaxPath))
        return File::getError(File::kPathTooLong);
    const int rc = sys::listDirectory(dir.asWChar(), add, ctx);
    if (rc == 0 || rc == sys::kErrorFileNotFound) return Error();
    if (systemError) *systemError = rc;
    return File::getError(File::kIOProblem);
}

namespace {

struct ListContext {
    qx::vector<IString>* names;
    const IString* dir;  // null for bare names
};

void addListed(void* ctx, const qx::WChar* name, size_t length, unsigned) {
    ListContext& c = *static_cast<ListContext*>(ctx);
    c.names->emplace_back();
    IString& s = c.names->back();
    if (c.dir) {
        s.reserve(c.dir->length() + static_cast<unsigned>(length));
        s.assign(*c.dir);
    }
    s.append(name, static_cast<unsigned>(length));
}

}  // namespace

Error LocalFileTransport::readDir(qx::vector<IString>& names, bool fullPaths) {
    names.clear();
    IString dir;
    ListContext ctx{&names, fullPaths ? &dir : nullptr};
    Error e = listEntries(addListed, &ctx, dir);
    if (e) names.clear();
    return e;
}

Error LocalFileTransport::copyTo(FileTransport& destination) {
    if (cutShort(m_name)) return invalidName();
    if (!isOpen() && !destination.isOpen() &&
        transportId().compare(destination.transportId()) == 0 &&
        sys::sameFile(m_name.asWChar(), destination.getFullName().asWChar()))
        return File::getError(File::kNoOverwritePermission);
    return FileTransport::copyTo(destination);
}

Error LocalFileTransport::moveTo(FileTransport& destination) {
    if (cutShort(m_name)) return invalidName();
    FileStatus source;
    FileStatus target;
    if (Error e = query(source)) return e;
    destination.query(target);
    if (!source.exists()) return File::getError(File::kFileExists);
    if (transportId().compare(destination.transportId()) == 0 &&
        (!target.exists() || source.isDirectory() == target.isDirectory())) {
        const IString to = destination.getFullName();
        if (sys::renamePath(m_name.asWChar(), to.asWChar()) == 0) return Error();
    }
    return FileTransport::moveTo(destination);
}

Error LocalFileTransport::deleteSelf() {
    if (cutShort(m_name)) return invalidName();
    if (isDirectory()) {
        const int rc = sys::removeDirectory(m_name.asWChar());
        if (rc == 0) return Error();
        return File::getError(rc == sys::kErrorDirNotEmpty ? File::kDirectoryNotEmpty
                                                           : File::kIOProblem);
    }
    if (sys::unlinkFile(m_name.asWChar()) == 0) return Error();
    // A dangling link made as a directory link on Windows goes only as a
    // directory.
    if (isLink() && sys::removeDirectory(m_name.asWChar()) == 0) return Error();
    return File::getError(File::kIOProblem);
}

bool LocalFileTransport::isLink() {
    return !cutShort(m_name) && sys::isLinkPath(m_name.asWChar());
}

bool LocalFileTransport::isDirectory() {
    if (m_directoryKnown || cutShort(m_name)) return m_directory;
    IString path;
    path.assign(m_name);
    const unsigned n = path.length();
    const bool root = (n == 1 && path[0] == kSep) || (n == 3 && path[1] == ':' && path[2] == kSep);
    if (!root && n > 0 && path[n - 1] == kSep) path.erase(n - 1, 1);
    sys::PathStatus st;
    if (sys::statPath(path.asWChar(), &st) == 0) {
        m_directory = st.isDirectory;
        m_directoryKnown = true;
    }
    return m_directory;
}

IString LocalFileTransport::getFullName() {
    return m_name;
}

IString LocalFileTransport::getNameTitle() {
    const unsigned cut = m_name.rfind(kSep);
    IString out;
    if (cut != IString::npos) out.assign(m_name.data(), cut + 1);
    return out;
}

IString LocalFileTransport::getNameBase() {
    const unsigned cut = m_name.rfind(kSep);
    IString out;
    if (cut != IString::npos) out.assign(m_name.data() + cut + 1, m_name.length() - cut - 1);
    return out;
}

qx::WChar LocalFileTransport::getSeparator() {
    return Filename::separator();
}

IString LocalFileTransport::transportId() {
    return IString(QX_W("LocalFileTransport"));
}

Error LocalFileTransport::query(FileStatus& status) {
    if (cutShort(m_name)) return invalidName();
    IString path;
    if (m_name.empty())
        path.assign(m_name);
    else
        Filename::canonicalize(m_name, kSep, path);
    sys::PathStatus st;
    const int rc = sys::statPath(path.asWChar(), &st);
    if (rc != 0) {
        if (isMissing(rc)) return Error();
        return Error(File::kIOProblem, qxUtil::systemErrorText(rc));
    }
    status.setIsDirectory(st.isDirectory);
    status.setIsFile(st.isRegular);
    status.setExists(st.isDirectory || st.isRegular);
    status.setSize64(st.size);
    status.setLastModification(st.modified);
    status.setCreationDate(st.created);
    status.setIsRemote(false);
    if (status.exists()) {
        status.setIsReadable(sys::accessPath(path.asWChar(), sys::kAccessRead) == 0);
        status.setIsWritable(sys::accessPath(path.asWChar(), sys::kAccessWrite) == 0);
    }
    return Error();
}

Error LocalFileTransport::queryOwnerGroup(FileStatus& status) {
    status.setOwner(CString("Unknown"));
    status.setGroup(CString("Unknown"));
    const Error failed(-1, "Failed to query Owner/Group of %s",
                       Filename(m_name).nativeName().asUTF8());
    if (cutShort(m_name)) return failed;

    // The long form of the absolute name reaches past the classic limit.
    Error result;
    const Filename canonical(m_name);
    IString path;
    path.assign(canonical.name());
    if (!canonical.isAbsolute()) {
        qx::WChar buf[4096];
        size_t length = 0;
        const int rc = sys::fullPath(path.asWChar(), buf, sizeof buf / sizeof buf[0], &length);
        if (rc == 0)
            path.assign(buf, static_cast<unsigned>(length));
        else
            result = Error(File::kSyscall, qxUtil::systemErrorText(rc));
    }
    IString longName;
    if (path.length() >= 2 && path[0] == kSep && path[1] == kSep) {
        longName.assign(QX_W("\\\\?\\UNC\\"));
        longName.append(path.data() + 2, path.length() - 2);
    } else {
        longName.assign(QX_W("\\\\?\\"));
        longName.append(path);
    }

    char owner[512];
    char group[512];
    if (sys::ownerGroup(longName.asWChar(), owner, sizeof owner, group, sizeof group) != 0)
        return failed;
    if (owner[0]) status.setOwner(CString(owner));
    if (group[0]) status.setGroup(CString(group));
    return result;
}

}  // namespace qxOS
