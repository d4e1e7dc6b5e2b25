// qxOS::LocalFileTransportFactory: the transports for files on the local
// disk. The file factory asks it last; it accepts every name, so a name that
// no other factory claims is a local file. "file:" names are URLs: the
// scheme and the slashes after it are dropped ("file:///C:/x" is "C:/x").
#ifndef QXBASE_OS_FILES_QXLOCALFILETRANSPORT_H
#define QXBASE_OS_FILES_QXLOCALFILETRANSPORT_H

#include "os/files/qxFile.h"
#include "qxDefs.h"

namespace qxOS {

class QX_API LocalFileTransportFactory : public FileTransportFactory {
public:
    ~LocalFileTransportFactory() override;
    // Null only when memory runs out.
    FileTransport* create(const qxString::IString& name) override;
    // Does nothing; calling it keeps this factory in every program that uses
    // the file factory.
    static bool s_forceTransportLoad();
};

}  // namespace qxOS

#endif
