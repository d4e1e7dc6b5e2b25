// qxOS::IOStream: the abstract byte stream that files, memory streams and
// sockets implement, and that qxOS::OStream writes to.
#ifndef QXBASE_DIAGNOSTICS_QXIOSTREAM_H
#define QXBASE_DIAGNOSTICS_QXIOSTREAM_H

#include "diagnostics/qxError.h"
#include "qxDefs.h"

#include <cstddef>

namespace qxOS {

class QX_API IOStream {
public:
    IOStream() = default;
    IOStream(const IOStream&) = default;
    IOStream& operator=(const IOStream&) = default;
    virtual ~IOStream();

    // Reads at most size bytes; *bytesRead tells how many arrived.
    virtual qxUtil::Error read(void* buffer, size_t size, size_t* bytesRead) = 0;
    // Writes at most size bytes; *bytesWritten tells how many were taken.
    virtual qxUtil::Error write(const void* buffer, size_t size, size_t* bytesWritten) = 0;
};

}  // namespace qxOS

#endif
