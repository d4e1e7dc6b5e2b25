// Internal: the transport behind local files.
//
// Open streams are C streams. The mode bits become the runtime's mode text:
// read "r", write "w", append "a+" (whatever else is set), read and write
// together "r+" (an existing file, updated in place); a mode without any of
// the three is refused with error 4. Then "t" for text, else "b".
//
// Error mapping of the system calls, as the runtime's errno reads them: a
// missing file or path gives 18 where the call opens a file, an existing
// one 2, anything else 4 (a full path of 260 units or more too: the
// runtime says ENOENT for it, so opening such a name gives 18). A name with
// a NUL inside is refused with 4 before any system call.
#ifndef QXBASE_OS_FILES_QXLOCALFILETRANSPORTIMPL_H
#define QXBASE_OS_FILES_QXLOCALFILETRANSPORTIMPL_H

#include "os/files/qxFile.h"
#include "os/files/qxLocalFileTransport.h"

#include <cstdio>

namespace qxOS {

class LocalFileTransport : public FileTransport {
public:
    explicit LocalFileTransport(const qxString::IString& name);
    ~LocalFileTransport() override;

    // At the end of the file (even when this call read bytes: use *got)
    // error 3.
    qxUtil::Error read(void* buffer, size_t size, size_t* got) override;
    qxUtil::Error write(const void* buffer, size_t size, size_t* put) override;
    qxUtil::Error open(int mode) override;
    // A new file in the directory of the name (the temporary directory when
    // the name has none), named after the name's first three characters.
    qxUtil::Error openTemp(int mode) override;
    // Error 4 only when data written through this stream did not all reach
    // the file; a refused write earlier (a stream opened for reading) does
    // not make the close fail.
    qxUtil::Error close() override;
    qxUtil::Error makeDirectory() override;
    // A new directory with a random ten-letter name beside the name.
    qxUtil::Error makeTempDirectory() override;
    qxUtil::Error makeDirectoryAll() override;
    // Error 12 when the directory name with its separator is longer than
    // 260 units; a directory the system cannot list (its full path too long
    // included) gives error 4.
    qxUtil::Error readDir(qx::vector<qxString::IString>& names, bool fullPaths) override;
    // The base copy, refused with error 7 when the destination is this very
    // file under another name (opening it for writing would empty it).
    qxUtil::Error copyTo(FileTransport& destination) override;
    // Renames when it can, else copies and deletes.
    qxUtil::Error moveTo(FileTransport& destination) override;
    // A link is removed itself, whatever it points to.
    qxUtil::Error deleteSelf() override;
    // Asks the system until it has answered once, then keeps the answer.
    bool isDirectory() override;
    bool isOpen() override { return m_stream != nullptr; }
    qxString::IString getFullName() override;
    qxString::IString getNameTitle() override;
    qxString::IString getNameBase() override;
    qx::WChar getSeparator() override;
    qxString::IString transportId() override;
    // A missing file is success with the status left as it was. Sizes of
    // 2 GiB and more report 2147483647 as the 32-bit size; the 64-bit size
    // is the true one.
    qxUtil::Error query(FileStatus& status) override;
    qxUtil::Error queryOwnerGroup(FileStatus& status) override;
    bool isLink() override;

    // The listing behind readDir with what the system says of each entry
    // (qx::sys::EntryKind bits, links not followed). dir receives the
    // directory name with its separator; *systemError the system's number
    // when the system refused the listing.
    using EntryFn = void (*)(void* ctx, const qx::WChar* name, size_t length, unsigned kind);
    qxUtil::Error listEntries(EntryFn add, void* ctx, qxString::IString& dir,
                              int* systemError = nullptr);

    // A name with a NUL inside would reach the system cut short, naming
    // another file: no system call is made for such a name.
    static bool cutShort(const qxString::IString& name);

private:
    void rename(const qxString::IString& name);
    void closeStream();

    qxString::IString m_name;
    std::FILE* m_stream;
    bool m_wrote;  // bytes were written since the stream was opened
    bool m_directoryKnown;
    bool m_directory;
};

}  // namespace qxOS

#endif
