#include "os/files/qxFileFactoryImpl.h"
#include "os/files/qxLocalFileTransport.h"

namespace qxOS {

FileTransportFactory::~FileTransportFactory() = default;

FileFactory::~FileFactory() = default;

FileFactory* FileFactory::getFileFactory() {
    static FileFactoryImpl instance;
    return &instance;
}

FileFactoryImpl::FileFactoryImpl() : m_localFactory(new LocalFileTransportFactory) {
    LocalFileTransportFactory::s_forceTransportLoad();
}

FileFactoryImpl::~FileFactoryImpl() {
    delete m_localFactory;
}

FileTransport* FileFactoryImpl::createTransport(const qxString::IString& name) {
    for (FileTransportFactory* f : m_factories)
        if (FileTransport* t = f->create(name)) return t;
    return m_localFactory ? m_localFactory->create(name) : nullptr;
}

File* FileFactoryImpl::createFile(const qxString::IString& name) {
    FileTransport* t = getFileFactory()->createTransport(name);
    return t ? new File(t) : nullptr;
}

void FileFactoryImpl::addTransportFactory(FileTransportFactory* factory) {
    if (factory) m_factories.push_back(factory);
}

qxUtil::Error FileFactoryInitializer::initialize() {
    FileFactory::getFileFactory();
    return qxUtil::Error();
}

}  // namespace qxOS
