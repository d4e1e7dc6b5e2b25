// Ready-made qxOS::IOStream implementations over the C runtime's streams:
// qxOS::StdioStream over a FILE* the caller has (stdout, stderr, a file it
// opened), and qxOS::FileNameStream, which opens a file by name and closes
// it again. With them, printing through qxOS::OStream needs no sink of its
// own:
//
//   qxOS::StdioStream out(stdout);
//   qxOS::OStream(out) << "done: " << count << '\n';
//
//   qxOS::FileNameStream log(QX_W("run.log"));
//   qxOS::OStream os(log);
//   os << text;                      // a failed open shows in os.error()
//
// Failures carry the numbers and messages of the file error table
// (qxOS::File::getError): 3 at the end of the input, 8 with no file, 18 for
// a name whose file or directory does not exist, 4 for anything else.
#ifndef QXBASE_DIAGNOSTICS_QXSTDIOSTREAM_H
#define QXBASE_DIAGNOSTICS_QXSTDIOSTREAM_H

#include "diagnostics/qxError.h"
#include "diagnostics/qxIOStream.h"
#include "qxDefs.h"
#include "string/qxString.h"

#include <cstdio>

namespace qxOS {

class QX_API StdioStream : public IOStream {
public:
    // Uses file, and never closes it. A null file gives a stream whose reads
    // and writes fail with error 8.
    explicit StdioStream(std::FILE* file);
    ~StdioStream() override;
    StdioStream(const StdioStream&) = delete;
    StdioStream& operator=(const StdioStream&) = delete;

    // Error 3 with *bytesRead set when the end comes before size bytes; 4
    // for a failed read.
    qxUtil::Error read(void* buffer, size_t size, size_t* bytesRead) override;
    // Flushes the runtime's buffer after every write, so that a full disk
    // shows here, and not unseen at close, and the bytes are out when
    // OStream::flush returns. Error 4 unless every byte went out.
    qxUtil::Error write(const void* buffer, size_t size, size_t* bytesWritten) override;

    // Null when there is no file.
    std::FILE* file() const { return m_file; }
    // Why there is no file (what reads and writes then return); success
    // while there is one.
    const qxUtil::Error& error() const { return m_error; }

protected:
    // For a derived stream that sets the file itself.
    StdioStream();

    std::FILE* m_file;
    qxUtil::Error m_error;
};

// Opens a file by name with qxOS::fopen, so that names mean the same on
// every target, and closes it in its destructor.
class QX_API FileNameStream : public StdioStream {
public:
    // mode is the runtime's mode text. The default writes a new file in
    // binary, so the bytes in the file are those written on every target.
    // When the file cannot be opened, error() says why: 18 when it or a
    // directory on its way does not exist, 4 otherwise; reads and writes
    // then return the same error.
    explicit FileNameStream(const qxString::IString& name, const qxString::CString& mode = "wb");
    // An 8-bit name is UTF-8.
    explicit FileNameStream(const qxString::CString& name, const qxString::CString& mode = "wb");
    ~FileNameStream() override;

    // Closes the file before the destructor would: error 4 when the runtime
    // cannot write out what it still holds. From then on error() is 8, and
    // reads, writes and another close return it; after a failed open, close
    // returns the open's error.
    qxUtil::Error close();
};

}  // namespace qxOS

#endif
