#include "diagnostics/qxStdioStream.h"

#include "os/files/qxFile.h"
#include "os/files/qxFileOps.h"

#include <cerrno>

namespace qxOS {

using qxString::CString;
using qxString::IString;
using qxUtil::Error;

// --- StdioStream ---------------------------------------------------------------

StdioStream::StdioStream(std::FILE* file) : m_file(file) {
    if (!m_file) m_error = File::getError(File::kNotOpen);
}

StdioStream::StdioStream() : m_file(nullptr) {}

StdioStream::~StdioStream() = default;

Error StdioStream::read(void* buffer, size_t size, size_t* bytesRead) {
    if (bytesRead) *bytesRead = 0;
    if (!m_file) return m_error;
    const size_t n = std::fread(buffer, 1, size, m_file);
    if (bytesRead) *bytesRead = n;
    if (n == size) return Error();
    return File::getError(std::feof(m_file) ? File::kEndOfFile : File::kIOProblem);
}

Error StdioStream::write(const void* buffer, size_t size, size_t* bytesWritten) {
    if (bytesWritten) *bytesWritten = 0;
    if (!m_file) return m_error;
    const size_t n = std::fwrite(buffer, 1, size, m_file);
    if (bytesWritten) *bytesWritten = n;
    const bool flushed = std::fflush(m_file) == 0;
    return n == size && flushed ? Error() : File::getError(File::kIOProblem);
}

// --- FileNameStream ------------------------------------------------------------

FileNameStream::FileNameStream(const IString& name, const CString& mode) {
    m_file = qxOS::fopen(name, mode);
    // qxOS::fopen leaves the runtime's errno on both targets; only a missing
    // name has its own number, as for the local file transport.
    if (!m_file) m_error = File::getError(errno == ENOENT ? File::kDoesNotExist : File::kIOProblem);
}

FileNameStream::FileNameStream(const CString& name, const CString& mode)
    : FileNameStream(IString(name, qxString::EncodingUTF8), mode) {}

FileNameStream::~FileNameStream() {
    if (m_file) std::fclose(m_file);
}

Error FileNameStream::close() {
    if (!m_file) return m_error;
    const int rc = std::fclose(m_file);
    m_file = nullptr;
    m_error = File::getError(File::kNotOpen);
    return rc == 0 ? Error() : File::getError(File::kIOProblem);
}

}  // namespace qxOS
