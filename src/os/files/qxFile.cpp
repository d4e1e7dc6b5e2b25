#include "os/files/qxFile.h"

#include "os/files/qxFilename.h"

#include <utility>

namespace qxOS {

using qxString::CString;
using qxString::IString;
using qxUtil::Error;

namespace {

constexpr size_t kCopyBuffer = 4096;

bool isDotEntry(const IString& name) {
    const unsigned n = name.length();
    return (n == 1 && name[0] == '.') || (n == 2 && name[0] == '.' && name[1] == '.');
}

// name, the separator unless it already ends with one, then entry.
IString childName(const IString& name, qx::WChar sep, const IString& entry) {
    IString out;
    out.assign(name);
    if (out.empty() || out[out.length() - 1] != sep) out.append(sep);
    out.append(entry);
    return out;
}

// Writes all n bytes: a transport may take fewer than offered. One that
// takes none yet reports success would never finish: an I/O problem.
Error writeAll(FileTransport& t, const char* p, size_t n) {
    while (n > 0) {
        size_t put = 0;
        Error e = t.write(p, n, &put);
        if (e) return e;
        if (put == 0 || put > n) return File::getError(File::kIOProblem);
        p += put;
        n -= put;
    }
    return Error();
}

}  // namespace

// --- FileStatus ------------------------------------------------------------------

void FileStatus::reset() {
    m_exists = m_isReadable = m_isWritable = m_isDirectory = m_isFile = m_isRemote =
        m_isCheckedout = false;
    m_size = 0;
    m_size64 = 0;
    m_creationDate = m_lastModification = 0;
    m_owner.clear();
    m_group.clear();
}

// --- FileTransport -------------------------------------------------------------------

FileTransport::~FileTransport() = default;

Error FileTransport::openTemp(int) {
    return Error(-1, "This function is not implemented.");
}

Error FileTransport::makeTempDirectory() {
    return Error(-1, "This function is not implemented.");
}

Error FileTransport::makeDirectoryAll() {
    return Error(-1, "This function is not implemented.");
}

Error FileTransport::queryOwnerGroup(FileStatus& status) {
    status.setOwner(CString("Unknown"));
    status.setGroup(CString("Unknown"));
    return Error(-1, "This function still not supported.");
}

bool FileTransport::isLink() {
    return false;
}

Error FileTransport::copyTo(FileTransport& destination) {
    if (isOpen() || destination.isOpen()) return File::getError(File::kIsOpen);
    if (destination.getFullName().compare(getFullName()) == 0)
        return File::getError(File::kNoOverwritePermission);

    if (isDirectory()) {
        Error e = destination.makeDirectory();
        if (e && e.num() != File::kFileExists) return e;
        return recreateDirStructure(destination, false);
    }

    if (destination.open(File::kWrite | File::kCopyTarget)) return File::getError(File::kIOProblem);
    if (Error e = open(File::kCopySource | File::kRead)) {
        destination.close();
        return e;
    }

    // Read until the end; a read that succeeds with nothing counts as the
    // end too, or a transport that does so would keep the copy going forever.
    char buffer[kCopyBuffer];
    Error failure;
    for (;;) {
        size_t got = 0;
        Error e = read(buffer, sizeof buffer, &got);
        if (got > sizeof buffer) {
            failure = File::getError(File::kIOProblem);
            break;
        }
        if (e && e.num() != File::kEndOfFile) {
            failure = std::move(e);
            break;
        }
        if (Error w = writeAll(destination, buffer, got)) {
            failure = std::move(w);
            break;
        }
        if (e || got == 0) break;
    }

    close();
    Error closed = destination.close();
    return failure ? failure : closed;
}

Error FileTransport::moveTo(FileTransport& destination) {
    if (isOpen()) return File::getError(File::kIsOpen);
    if (destination.getFullName().compare(getFullName()) == 0)
        return File::getError(File::kNoOverwritePermission);
    Error e = copyTo(destination);
    if (!e) e = deleteSelf();
    return e;
}

Error FileTransport::recreateDirStructure(FileTransport& destination, bool move) {
    if (!isDirectory() || !destination.isDirectory()) return File::getError(File::kNotDirectory);
    qx::vector<IString> names;
    if (Error e = readDir(names, false)) return e;

    const qx::WChar sourceSep = getSeparator();
    const qx::WChar destSep = destination.getSeparator();
    const IString sourceDir = getFullName();
    const IString destDir = destination.getFullName();
    Error result;
    for (const IString& entry : names) {
        // An empty entry would name the directory itself.
        if (entry.empty() || isDotEntry(entry)) continue;
        const IString sourceName = childName(sourceDir, sourceSep, entry);
        IString destName = childName(destDir, destSep, entry);
        if (sourceSep != destSep && !destName.empty() &&
            destName[destName.length() - 1] == sourceSep)
            destName[destName.length() - 1] = destSep;

        File source(sourceName);
        // A link to a directory is not entered, as the directory walk does
        // not enter one: it may lead out of the tree or round in a loop. It
        // stays where it is, also when moving.
        if (source.isValid() && source.getTransport()->isLink() && source.isDirectory()) continue;
        File target(destName);
        Error e = source.isValid() && target.isValid() ? source.copyTo(target)
                                                       : File::getError(File::kNotImplemented);
        if (!e && move) e = source.deleteSelf(File::kNoRecursion);
        if (e && !result) result = std::move(e);
    }
    return result;
}

Error FileTransport::recursiveDeleteSelf() {
    // Listing a link to a directory lists what it points to: emptying that
    // would delete outside the tree.
    if (isLink()) return deleteSelf();
    qx::vector<IString> names;
    if (Error e = readDir(names, false)) return e;
    const IString dir = getFullName();
    const qx::WChar sep = getSeparator();
    for (const IString& entry : names) {
        if (entry.empty() || isDotEntry(entry)) continue;
        File child(childName(dir, sep, entry));
        if (child.isValid()) child.deleteSelf(128);  // a link goes as itself
    }
    return deleteSelf();
}

// --- File ------------------------------------------------------------------------------

const char* File::ErrMsgs[kNumCodes] = {
    "",
    "Not Implemented",
    "File Exists",
    "End Of File",
    "An I/O problem has occurred",
    "No write permission",
    "No read permission",
    "No Overwrite permission",
    "File is not open",
    "File is open",
    "Resource is not a directory",
    "Resource is not a file",
    "The path is too long",
    "The directory is not empty",
    "ErrSyscall",
    "The URL is invalid",
    "Permission Denied",
    "Authentication Failed",
    "File does not exist",
    "Cannot become the parent of a root directory",
};

Error File::getError(int code) {
    if (code == 0) return Error();
    if (code < 0 || code >= kNumCodes) return Error(code, "");
    return Error(code, "%s", ErrMsgs[code]);
}

File::File(const IString& name)
    : m_transport(FileFactory::getFileFactory()->createTransport(name)) {}

File::File(FileTransport* transport) : m_transport(transport) {}

File::~File() {
    delete m_transport;
}

Error File::open(int mode) {
    if (m_transport->isOpen()) return getError(kIsOpen);
    return m_transport->open(mode);
}

Error File::openTemp(int mode) {
    if (m_transport->isOpen()) return getError(kIsOpen);
    return m_transport->openTemp(mode);
}

Error File::close() {
    if (!m_transport->isOpen()) return getError(kNotOpen);
    return m_transport->close();
}

Error File::read(void* buffer, size_t size, size_t* got) {
    return m_transport->read(buffer, size, got);
}

Error File::write(const void* buffer, size_t size, size_t* put) {
    return m_transport->write(buffer, size, put);
}

Error File::makeDirectory() {
    if (m_transport->isOpen()) return getError(kIsOpen);
    return m_transport->makeDirectory();
}

Error File::makeDirectoryAll() {
    if (m_transport->isOpen()) return getError(kIsOpen);
    return m_transport->makeDirectoryAll();
}

Error File::makeTempDirectory() {
    if (m_transport->isOpen()) return getError(kIsOpen);
    return m_transport->makeTempDirectory();
}

Error File::copyTo(File& destination) {
    if (m_transport->isOpen()) return getError(kIsOpen);
    if (!destination.isValid()) return getError(kNotImplemented);
    return m_transport->copyTo(*destination.m_transport);
}

Error File::moveTo(File& destination) {
    if (m_transport->isOpen()) return getError(kIsOpen);
    if (!destination.isValid()) return getError(kNotImplemented);
    return m_transport->moveTo(*destination.m_transport);
}

Error File::deleteSelf(int flags) {
    if (m_transport->isOpen()) return getError(kIsOpen);
    // A link to a directory is removed itself, never emptied.
    if (m_transport->isDirectory() && !(flags & kNoRecursion) && !m_transport->isLink())
        return m_transport->recursiveDeleteSelf();
    return m_transport->deleteSelf();
}

Error File::readDir(qx::vector<IString>& names, bool fullPaths) {
    if (!m_transport->isDirectory()) return getError(kNotDirectory);
    names.clear();
    return m_transport->readDir(names, fullPaths);
}

Error File::query(FileStatus& status, bool withOwnerGroup) {
    status.reset();
    Error e = m_transport->query(status);
    if (!e && withOwnerGroup) e = m_transport->queryOwnerGroup(status);
    return e;
}

Error File::query(const Filename& name, FileStatus& status) {
    return query(name.name(), status);
}

Error File::query(const IString& name, FileStatus& status) {
    File f(name);
    if (!f.isValid()) return getError(kNotImplemented);
    return f.query(status, false);
}

}  // namespace qxOS
