// Platform layer: files mapped into memory.
//
// The Windows model throughout: a file handle, a mapping object of a fixed
// size made over it (which keeps the file open once the file handle is
// closed), and views of the mapping at offsets that are multiples of the
// allocation granularity. Failures report Win32 numbers.
#ifndef QXBASE_OS_SYS_QXSYSMAP_H
#define QXBASE_OS_SYS_QXSYSMAP_H

#include "qxDefs.h"

#include <cstdint>

namespace qx {
namespace sys {

// A file or mapping handle: a HANDLE on Windows, an object of this layer on
// POSIX. All bits set when there is none.
using MapHandle = intptr_t;
constexpr MapHandle kNoMapHandle = -1;

enum class MapOpen {
    OpenExisting,  // the file must exist
    OpenAlways,    // created when missing
    CreateAlways   // created, or emptied when it exists
};

// CreateFileW for reading (and writing), shared with nobody, normal
// attributes, FILE_FLAG_DELETE_ON_CLOSE when asked. POSIX: open() plus an
// exclusive flock, so a second opener through this layer gets
// ERROR_SHARING_VIOLATION (other programs are not held off); delete on close
// removes the name when this handle is closed, while a mapping made from it
// still holds the data. 0 or a Win32 number.
QX_API int openMapFile(const WChar* path, bool write, MapOpen how, bool deleteOnClose,
                       MapHandle* file);

// CreateFileMappingW of size bytes (size > 0), read-only or read/write. A
// read/write mapping larger than the file grows the file first; the space is
// reserved on disk then (posix_fallocate on POSIX, never a sparse file that
// could fault later), so a full disk fails here, with ERROR_DISK_FULL. A
// read-only mapping larger than the file fails with ERROR_NOT_ENOUGH_MEMORY
// as Windows does. 0 or a Win32 number.
QX_API int createFileMapping(MapHandle file, bool write, uint64_t size, MapHandle* mapping);

// MapViewOfFile: size bytes (0: up to the end of the mapping) at offset,
// which must be a multiple of allocationGranularity()
// (ERROR_MAPPED_ALIGNMENT otherwise), read or read/write. Null with *error
// set on failure.
QX_API void* mapView(MapHandle mapping, bool write, uint64_t offset, uint64_t size, int* error);

// UnmapViewOfFile of a view of size bytes (POSIX needs the size). 0 or a
// Win32 number.
QX_API int unmapView(void* address, uint64_t size);

// FlushViewOfFile: writes the bytes [address, address + length) back to the
// file and waits for it (msync with MS_SYNC from the page holding address).
QX_API int flushView(void* address, uint64_t length);

// The pages [address, address + length) will be read in order soon
// (madvise MADV_WILLNEED; nothing on Windows).
QX_API void adviseWillNeed(void* address, uint64_t length);

// CloseHandle of a file or mapping handle. 0 or a Win32 number.
QX_API int closeMapHandle(MapHandle handle);

// GetSystemInfo's allocation granularity; 64 KiB on POSIX, so that offsets
// that work here also work on Windows.
QX_API uint64_t allocationGranularity();

}  // namespace sys
}  // namespace qx

#endif
