#include "os/memory/qxMemMapFile.h"

#include "os/sys/qxSysMap.h"

#include <atomic>

namespace qxOS {

using qx::sys::kNoMapHandle;
using qx::sys::MapHandle;
using qxString::IString;
using qxUtil::Error;

// --- MemMapFile -------------------------------------------------------------

MemMapFile::MemMapFile(const qxString::CString& name, uint64_t size, int mode)
    : m_name(name), m_view(nullptr), m_size(size), m_mode(mode), m_mapping(nullptr) {
    validate();
    m_mapping = new intptr_t(kNoMapHandle);
}

MemMapFile::MemMapFile(const IString& name, uint64_t size, int mode)
    : m_name(name), m_view(nullptr), m_size(size), m_mode(mode), m_mapping(nullptr) {
    validate();
    m_mapping = new intptr_t(kNoMapHandle);
}

MemMapFile::MemMapFile(const char* name, uint64_t size, int mode)
    : m_name(name), m_view(nullptr), m_size(size), m_mode(mode), m_mapping(nullptr) {
    validate();
    m_mapping = new intptr_t(kNoMapHandle);
}

// A negative mode is refused too: only 0 and 1 mean anything.
void MemMapFile::validate() const {
    if (m_mode > 1 || m_mode < 0) throw Error(1, "Bad parameters to MemMapFile(): permissions");
    if (m_size == 0) throw Error(1, "Bad parameters to MemMapFile(): size");
}

MemMapFile::~MemMapFile() {
    if (isMapped()) static_cast<void>(unmap());
    delete m_mapping;
}

std::pair<void*, Error> MemMapFile::map() {
    if (isMapped()) return {m_view, Error()};
    const bool write = isWritable();
    MapHandle file = kNoMapHandle;
    if (const int rc = qx::sys::openMapFile(m_name.asWChar(), write,
                                            write ? qx::sys::MapOpen::OpenAlways
                                                  : qx::sys::MapOpen::OpenExisting,
                                            false, &file)) {
        const IString text = qxUtil::systemErrorText(rc);
        if (write)
            return {nullptr, Error(3, "Cannot read/write file %S: %s", m_name.asWChar(),
                                   text.asMultibyte(qxString::EncodingMultibyte))};
        return {nullptr, Error(3, "Cannot read file: %S: %s", m_name.asWChar(),
                               text.asMultibyte(qxString::EncodingMultibyte))};
    }

    Error error;
    MapHandle mapping = kNoMapHandle;
    int rc = qx::sys::createFileMapping(file, write, m_size, &mapping);
    if (rc == 0) {
        m_view = qx::sys::mapView(mapping, write, 0, m_size, &rc);
        if (m_view) {
            *m_mapping = mapping;
        } else {
            qx::sys::closeMapHandle(mapping);
        }
    }
    if (rc != 0) error = Error(2, qxUtil::systemErrorText(rc));
    // The mapping keeps the file open.
    qx::sys::closeMapHandle(file);
    return {m_view, std::move(error)};
}

Error MemMapFile::unmap() {
    if (!isMapped()) return Error(4, "");
    Error error;
    if (const int rc = qx::sys::unmapView(m_view, m_size))
        error = Error(2, "UnmapViewOfFile() failed for file %S: %S", m_name.asWChar(),
                      qxUtil::systemErrorText(rc).asWChar());
    if (const int rc = qx::sys::closeMapHandle(*m_mapping)) {
        if (!error)
            error = Error(2, "CloseHandle() failed for memory mapping of file %S: %S",
                          m_name.asWChar(), qxUtil::systemErrorText(rc).asWChar());
    }
    *m_mapping = kNoMapHandle;
    m_view = nullptr;
    return error;
}

// --- FileMapping ------------------------------------------------------------

void FileMapping::unmap() {
    if (!m_ptr) return;
    qx::sys::unmapView(m_ptr, m_size);
    m_offset = 0;
    m_size = 0;
    m_ptr = nullptr;
}

void FileMapping::flush(uint64_t from, uint64_t to) {
    if (!m_ptr || to <= from) return;
    qx::sys::flushView(static_cast<char*>(m_ptr) + from, to - from);
}

void FileMapping::load(uint64_t from, uint64_t to) {
    if (!m_ptr || m_size == 0) return;
    constexpr uint64_t kMiB = 0x100000, kStep = 4096;
    from &= ~(kMiB - 1);
    to &= ~(kMiB - 1);
    if (to >= m_size) to = m_size - 1;
    if (from > to) return;
    const volatile char* p = static_cast<const volatile char*>(m_ptr);
    qx::sys::adviseWillNeed(m_ptr, to + 1);
    for (uint64_t at = from; at <= to; at += kStep) static_cast<void>(p[at]);
}

uint64_t FileMapping::getGranularity() {
    // Written once with the same value by whoever asks first.
    static std::atomic<uint64_t> s_granularity{0};
    uint64_t g = s_granularity.load(std::memory_order_relaxed);
    if (g == 0) {
        g = qx::sys::allocationGranularity();
        s_granularity.store(g, std::memory_order_relaxed);
    }
    return g;
}

// --- MemoryMappedFile -------------------------------------------------------

class MemoryMappedFileImpl : public qx::ImplBase {
public:
    ~MemoryMappedFileImpl() override { release(); }

    // Closes the mapping, then the file (which a delete-on-close file leaves
    // with), and forgets both.
    void release() {
        if (mapping != kNoMapHandle) qx::sys::closeMapHandle(mapping);
        if (file != kNoMapHandle) qx::sys::closeMapHandle(file);
        mapping = file = kNoMapHandle;
        name = IString();
        size = 0;
    }

    IString name;
    int64_t size = 0;
    MapHandle file = kNoMapHandle;
    MapHandle mapping = kNoMapHandle;
};

MemoryMappedFile::MemoryMappedFile() : m_impl(new MemoryMappedFileImpl), m_owned(true) {}

MemoryMappedFile::~MemoryMappedFile() {
    if (m_owned) delete m_impl;
}

bool MemoryMappedFile::createFile(const IString& name, int64_t size, bool deleteOnClose) {
    MemoryMappedFileImpl& d = *m_impl;
    d.release();
    if (size <= 0) return false;
    d.name = name;
    if (qx::sys::openMapFile(name.asWChar(), true, qx::sys::MapOpen::CreateAlways, deleteOnClose,
                             &d.file) != 0 ||
        qx::sys::createFileMapping(d.file, true, static_cast<uint64_t>(size), &d.mapping) != 0) {
        d.release();
        return false;
    }
    d.size = size;
    return true;
}

FileMapping MemoryMappedFile::map(int64_t offset, uint64_t size) {
    void* p = nullptr;
    if (m_impl->mapping != kNoMapHandle && offset >= 0 && size > 0)
        p = qx::sys::mapView(m_impl->mapping, true, static_cast<uint64_t>(offset), size, nullptr);
    return FileMapping(offset, size, p);
}

const IString& MemoryMappedFile::getFilename() const {
    return m_impl->name;
}

int64_t MemoryMappedFile::getSize() const {
    return m_impl->size;
}

}  // namespace qxOS
