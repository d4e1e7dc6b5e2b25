// File-backed memory: qxOS::MemMapFile maps one whole file; qxOS::
// MemoryMappedFile is a scratch file of fixed size whose windows are mapped
// on request; qxOS::FileMapping describes one mapped window.
#ifndef QXBASE_OS_MEMORY_QXMEMMAPFILE_H
#define QXBASE_OS_MEMORY_QXMEMMAPFILE_H

#include "diagnostics/qxError.h"
#include "qxDefs.h"
#include "string/qxString.h"

#include <cstdint>
#include <utility>

namespace qxOS {

// Maps a whole file, read-only (mode 0) or read/write (mode 1). Read/write
// creates a missing file and grows a shorter one to the size (reserving the
// disk space, so a full disk is an error of map(), not a fault later). The
// file is opened shared with nobody while it is being mapped.
class QX_API MemMapFile {
public:
    // Throws qxUtil::Error 1 "Bad parameters to MemMapFile(): permissions"
    // for a mode above 1, then "Bad parameters to MemMapFile(): size" for
    // size 0.
    MemMapFile(const qxString::CString& name, uint64_t size, int mode);
    MemMapFile(const qxString::IString& name, uint64_t size, int mode);
    MemMapFile(const char* name, uint64_t size, int mode);
    ~MemMapFile();
    MemMapFile(const MemMapFile&) = delete;
    MemMapFile& operator=(const MemMapFile&) = delete;

    // The view's address and no error; or null and error 3 (the file cannot
    // be opened) or 2 (the system refused the mapping or the view). A mapped
    // object answers with its view as it is.
    std::pair<void*, qxUtil::Error> map();
    // Error 4 (no message) when not mapped, 2 when the system refused; the
    // object is unmapped afterwards in every case.
    qxUtil::Error unmap();

    bool isMapped() const { return m_view != nullptr; }
    bool isWritable() const { return m_mode == 1; }
    void* getMem() const { return m_view; }
    uint64_t size() const { return m_size; }
    const qxString::IString& filename() const { return m_name; }

private:
    void validate() const;

    qxString::IString m_name;
    void* m_view;
    uint64_t m_size;
    int m_mode;
    intptr_t* m_mapping;  // the mapping's handle, in a slot of its own
};

// One mapped window of a file: offset, size and address, all zero when
// nothing is mapped. A plain value: copies describe the same window, and
// only one of them should unmap it.
class QX_API FileMapping {
public:
    FileMapping() : m_offset(0), m_size(0), m_ptr(nullptr) {}
    FileMapping(int64_t offset, uint64_t size, void* ptr) : m_offset(offset), m_size(size), m_ptr(ptr) {}

    int64_t getOffset() const { return m_offset; }
    uint64_t getSize() const { return m_size; }
    void* getPtr() const { return m_ptr; }
    explicit operator bool() const { return m_ptr != nullptr; }

    // Unmaps the window, if there is one, and resets the value to zero.
    void unmap();
    // Writes back the bytes [getPtr() + from, getPtr() + to) and waits until
    // they are on disk.
    void flush(uint64_t from, uint64_t to);
    // Faults the window's pages in, in order, to have them ready: both
    // bounds are rounded down to a multiple of 1 MiB, then one byte is read
    // every 4096 bytes from the rounded from up to and including the rounded
    // to (clamped to the window, so that no read leaves it).
    void load(uint64_t from, uint64_t to);

    // The system's allocation granularity: window offsets are multiples of
    // it (64 KiB on both targets).
    static uint64_t getGranularity();

private:
    int64_t m_offset;
    uint64_t m_size;
    void* m_ptr;
};

class MemoryMappedFileImpl;

// A scratch file of fixed size, mapped window by window. The default object
// owns its implementation and releases the file with it.
class QX_API MemoryMappedFile {
public:
    MemoryMappedFile();
    ~MemoryMappedFile();
    MemoryMappedFile(const MemoryMappedFile&) = delete;
    MemoryMappedFile& operator=(const MemoryMappedFile&) = delete;

    // Creates (or empties) the file at name and gives it size bytes, reserved
    // on disk. With deleteOnClose the file goes when this object does. False
    // when the file cannot be created or made that large: nothing is left
    // behind of a delete-on-close file then, and the object has no file. An
    // object that has a file gives it up first.
    bool createFile(const qxString::IString& name, int64_t size, bool deleteOnClose);

    // A read/write window of size bytes at offset, which must be a multiple
    // of FileMapping::getGranularity(); its address is null when the system
    // refuses.
    FileMapping map(int64_t offset, uint64_t size);

    const qxString::IString& getFilename() const;
    int64_t getSize() const;
    bool valid() const { return getSize() > 0; }

private:
    MemoryMappedFileImpl* m_impl;
    bool m_owned;
};

}  // namespace qxOS

#endif
