// Files reached through pluggable transports: qxOS::File is a handle on one
// named file or directory; a qxOS::FileTransport does the work; the
// process-wide qxOS::FileFactory picks the transport for a name by asking the
// registered qxOS::FileTransportFactory objects in turn, the local-file
// factory last.
//
// Every fallible call returns a qxUtil::Error: 0 success, 1 to 19 the file
// error codes below, -1 an operation the transport does not support. Nothing
// throws.
#ifndef QXBASE_OS_FILES_QXFILE_H
#define QXBASE_OS_FILES_QXFILE_H

#include "containers/qxVector.h"
#include "diagnostics/qxError.h"
#include "diagnostics/qxIOStream.h"
#include "qxDefs.h"
#include "string/qxString.h"

#include <cstdint>

namespace qxOS {

class Filename;

// What a query tells about a name. A plain value.
class QX_API FileStatus {
public:
    FileStatus() { reset(); }

    // Every flag false, size and dates 0, owner and group empty.
    void reset();

    bool exists() const { return m_exists; }
    bool isReadable() const { return m_isReadable; }
    bool isWritable() const { return m_isWritable; }
    bool isDirectory() const { return m_isDirectory; }
    bool isFile() const { return m_isFile; }
    bool isRemote() const { return m_isRemote; }
    bool isCheckedout() const { return m_isCheckedout; }
    // 32 bits on every target: the local transport reports files of 2 GiB
    // and more as 2147483647. getSize64 gives the true size.
    std::int32_t getSize() const { return m_size; }
    std::int64_t getSize64() const { return m_size64; }
    // Seconds since 1970-01-01 UTC.
    std::int64_t getCreationDate() const { return m_creationDate; }
    std::int64_t getLastModifiedDate() const { return m_lastModification; }
    // "domain\account", or "Unknown".
    const qxString::CString& getOwner() const { return m_owner; }
    const qxString::CString& getGroup() const { return m_group; }

    void setExists(bool v) { m_exists = v; }
    void setIsReadable(bool v) { m_isReadable = v; }
    void setIsWritable(bool v) { m_isWritable = v; }
    void setIsDirectory(bool v) { m_isDirectory = v; }
    void setIsFile(bool v) { m_isFile = v; }
    void setIsRemote(bool v) { m_isRemote = v; }
    void setIsCheckedout(bool v) { m_isCheckedout = v; }
    // Either setter keeps both sizes in step; setSize64 stores what does not
    // fit 32 bits as the largest 32-bit size.
    void setSize(std::int32_t v) { m_size64 = m_size = v; }
    void setSize64(std::int64_t v) {
        m_size64 = v;
        m_size = v > INT32_MAX   ? INT32_MAX
                 : v < INT32_MIN ? INT32_MIN
                                 : static_cast<std::int32_t>(v);
    }
    void setCreationDate(std::int64_t v) { m_creationDate = v; }
    void setLastModification(std::int64_t v) { m_lastModification = v; }
    void setOwner(const qxString::CString& v) { m_owner = v; }
    void setGroup(const qxString::CString& v) { m_group = v; }

private:
    bool m_exists;
    bool m_isReadable;
    bool m_isWritable;
    bool m_isDirectory;
    bool m_isFile;
    bool m_isRemote;
    bool m_isCheckedout;
    std::int32_t m_size;
    std::int64_t m_size64;
    std::int64_t m_creationDate;
    std::int64_t m_lastModification;
    qxString::CString m_owner;
    qxString::CString m_group;
};

// The work behind a File. A transport names one resource and, once opened,
// is a byte stream over it.
class QX_API FileTransport : public IOStream {
public:
    ~FileTransport() override;

    qxUtil::Error read(void* buffer, size_t size, size_t* got) override = 0;
    qxUtil::Error write(const void* buffer, size_t size, size_t* put) override = 0;
    // mode: the File::Mode bits.
    virtual qxUtil::Error open(int mode) = 0;
    // Creates and opens a new uniquely named file next to the current name,
    // which then names it. Not supported here (-1).
    virtual qxUtil::Error openTemp(int mode);
    virtual qxUtil::Error close() = 0;
    virtual qxUtil::Error makeDirectory() = 0;
    // Creates a new uniquely named directory and takes its name. Not
    // supported here (-1).
    virtual qxUtil::Error makeTempDirectory();
    // Creates the directory and any missing parents. Not supported here (-1).
    virtual qxUtil::Error makeDirectoryAll();
    virtual qxUtil::Error readDir(qx::vector<qxString::IString>& names, bool fullPaths) = 0;
    // A file's bytes through one 4 KiB buffer, or a directory's contents
    // merged into the destination directory. Error 9 when either side is
    // open, 7 when both name the same resource.
    virtual qxUtil::Error copyTo(FileTransport& destination);
    // copyTo, then deleteSelf. Error 9 when this side is open, 7 when both
    // name the same resource.
    virtual qxUtil::Error moveTo(FileTransport& destination);
    // Deletes the file, or the directory when it is empty.
    virtual qxUtil::Error deleteSelf() = 0;
    virtual bool isDirectory() = 0;
    virtual bool isOpen() = 0;
    virtual qxString::IString getFullName() = 0;
    // The directory part, ending in the separator.
    virtual qxString::IString getNameTitle() = 0;
    // The last component.
    virtual qxString::IString getNameBase() = 0;
    virtual qx::WChar getSeparator() = 0;
    // The name of the transport kind.
    virtual qxString::IString transportId() = 0;
    virtual qxUtil::Error query(FileStatus& status) = 0;
    // Sets owner and group to "Unknown" and reports -1 here.
    virtual qxUtil::Error queryOwnerGroup(FileStatus& status);
    // The name is a symbolic link, junction or other reparse point itself,
    // whatever it points to. Recursive deletion removes such an entry as
    // itself and never descends into it. False here.
    virtual bool isLink();

    // Deletes a directory's contents (recursing into subdirectories, each
    // entry's own failure ignored), then the directory. A link, here or
    // anywhere below, is removed itself: nothing it points to is touched.
    qxUtil::Error recursiveDeleteSelf();
    // Copies (and with move, deletes one by one) the entries of this
    // directory into destination, recursing into subdirectories. Every
    // entry is tried; the first failure is returned. Error 10 unless both
    // are directories. A link to a directory among the entries is neither
    // entered nor copied, and stays.
    qxUtil::Error recreateDirStructure(FileTransport& destination, bool move);
};

class QX_API File : public IOStream {
public:
    // Open modes, combined with |.
    enum Mode {
        kText = 1,
        kCopySource = 2,  // set by the base copy on its source
        kRead = 4,
        kWrite = 8,        // create or truncate
        kAppend = 16,      // append and update; wins over read and write
        kCopyTarget = 32,  // set by the base copy on its destination
    };
    // deleteSelf: a directory goes only when empty.
    enum { kNoRecursion = 64 };

    enum Code {
        kOk = 0,
        kNotImplemented = 1,
        kFileExists = 2,
        kEndOfFile = 3,
        kIOProblem = 4,
        kNoWritePermission = 5,
        kNoReadPermission = 6,
        kNoOverwritePermission = 7,
        kNotOpen = 8,
        kIsOpen = 9,
        kNotDirectory = 10,
        kNotFile = 11,
        kPathTooLong = 12,
        kDirectoryNotEmpty = 13,
        kSyscall = 14,
        kInvalidUrl = 15,
        kPermissionDenied = 16,
        kAuthenticationFailed = 17,
        kDoesNotExist = 18,
        kParentOfRoot = 19,
        kNumCodes
    };
    // The message of each code; code 0's is empty.
    static const char* ErrMsgs[kNumCodes];
    // Error(code, its message); getError(0) is success without a message.
    static qxUtil::Error getError(int code);

    // The transport the factory chooses for name; none (invalid file) when
    // no factory serves it.
    explicit File(const qxString::IString& name);
    // Adopts transport (may be null).
    explicit File(FileTransport* transport);
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File() override;

    bool isValid() const { return m_transport != nullptr; }
    FileTransport* getTransport() { return m_transport; }
    const FileTransport* getTransport() const { return m_transport; }

    // Everything below needs a valid file.

    // Error 9 when already open.
    qxUtil::Error open(int mode);
    // Error 9 when open; on success this file names the new file.
    qxUtil::Error openTemp(int mode);
    // Error 8 when not open.
    qxUtil::Error close();
    qxUtil::Error read(void* buffer, size_t size, size_t* got) override;
    qxUtil::Error write(const void* buffer, size_t size, size_t* put) override;
    // Error 9 when open.
    qxUtil::Error makeDirectory();
    qxUtil::Error makeDirectoryAll();
    qxUtil::Error makeTempDirectory();
    // Error 9 when this file is open; error 1 when destination is not valid.
    qxUtil::Error copyTo(File& destination);
    qxUtil::Error moveTo(File& destination);
    // Error 9 when open. A directory is deleted with its contents unless
    // flags has kNoRecursion.
    qxUtil::Error deleteSelf(int flags);
    // Error 10 (names untouched) when this is not a directory; otherwise
    // names is cleared and filled with the entries.
    qxUtil::Error readDir(qx::vector<qxString::IString>& names, bool fullPaths);
    // Resets status, then fills it; owner and group too when asked.
    qxUtil::Error query(FileStatus& status, bool withOwnerGroup);
    // Error 1 (status untouched) when no factory serves the name.
    static qxUtil::Error query(const Filename& name, FileStatus& status);
    static qxUtil::Error query(const qxString::IString& name, FileStatus& status);

    bool isDirectory() const { return m_transport->isDirectory(); }
    bool isOpen() const { return m_transport->isOpen(); }
    qxString::IString getFullName() { return m_transport->getFullName(); }
    qxString::IString getNameBase() { return m_transport->getNameBase(); }
    qxString::IString getNameTitle() { return m_transport->getNameTitle(); }
    qx::WChar getSeparator() const { return m_transport->getSeparator(); }
    qxString::IString transportId() { return m_transport->transportId(); }

private:
    FileTransport* m_transport;
};

// Serves some names with a transport of its kind.
class QX_API FileTransportFactory {
public:
    virtual ~FileTransportFactory();
    // A new transport the caller owns, or null when this factory does not
    // serve name.
    virtual FileTransport* create(const qxString::IString& name) = 0;
};

// The process-wide choice of transport for a name.
class QX_API FileFactory {
public:
    virtual ~FileFactory();
    // A new File over createTransport(name), or null.
    virtual File* createFile(const qxString::IString& name) = 0;
    // The first transport a registered factory creates, in registration
    // order, else the local factory's.
    virtual FileTransport* createTransport(const qxString::IString& name) = 0;
    // Appends factory (not owned: it must outlive the process's files).
    // Register during start-up: the list is not locked.
    virtual void addTransportFactory(FileTransportFactory* factory) = 0;

    // The one factory, built on the first call (safe from several threads).
    static FileFactory* getFileFactory();
};

}  // namespace qxOS

#endif
