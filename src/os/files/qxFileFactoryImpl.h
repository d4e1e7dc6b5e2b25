// Internal: the one implementation of qxOS::FileFactory and the initializer
// that builds it while the library starts.
#ifndef QXBASE_OS_FILES_QXFILEFACTORYIMPL_H
#define QXBASE_OS_FILES_QXFILEFACTORYIMPL_H

#include "Components/Base/Utility/qxUtilInitializer.h"
#include "containers/qxVector.h"
#include "os/files/qxFile.h"

namespace qxOS {

class FileFactoryImpl : public FileFactory {
public:
    FileFactoryImpl();
    ~FileFactoryImpl() override;

    File* createFile(const qxString::IString& name) override;
    FileTransport* createTransport(const qxString::IString& name) override;
    void addTransportFactory(FileTransportFactory* factory) override;

private:
    qx::vector<FileTransportFactory*> m_factories;  // not owned
    // Asked last; serves every name.
    FileTransportFactory* m_localFactory;
};

// Makes sure the factory exists once the host has run initializeAll().
class FileFactoryInitializer : public qxUtil::Initializer {
public:
    qxUtil::Error initialize() override;
};

}  // namespace qxOS

#endif
