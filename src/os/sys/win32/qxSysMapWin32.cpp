// Win32 backend of mapped files: CreateFileW, CreateFileMappingW,
// MapViewOfFile.
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysMap.h"
#include "os/sys/win32/qxSysWin32.h"

#include <windows.h>

namespace qx {
namespace sys {

namespace {

HANDLE handleOf(MapHandle h) {
    return reinterpret_cast<HANDLE>(h);
}

}  // namespace

int openMapFile(const WChar* path, bool write, MapOpen how, bool deleteOnClose, MapHandle* file) {
    *file = kNoMapHandle;
    if (const int rc = pathLengthError(path)) return rc;
    const DWORD access = GENERIC_READ | (write ? GENERIC_WRITE : 0);
    const DWORD disposition = how == MapOpen::OpenExisting  ? OPEN_EXISTING
                              : how == MapOpen::OpenAlways ? OPEN_ALWAYS
                                                           : CREATE_ALWAYS;
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | (deleteOnClose ? FILE_FLAG_DELETE_ON_CLOSE : 0);
    const HANDLE h = CreateFileW(path, access, 0, nullptr, disposition, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) return static_cast<int>(GetLastError());
    *file = reinterpret_cast<MapHandle>(h);
    return 0;
}

int createFileMapping(MapHandle file, bool write, uint64_t size, MapHandle* mapping) {
    *mapping = kNoMapHandle;
    if (size == 0) return kErrorInvalidParameter;
    const HANDLE m =
        CreateFileMappingW(handleOf(file), nullptr, write ? PAGE_READWRITE : PAGE_READONLY,
                           static_cast<DWORD>(size >> 32), static_cast<DWORD>(size), nullptr);
    if (!m) return static_cast<int>(GetLastError());
    *mapping = reinterpret_cast<MapHandle>(m);
    return 0;
}

void* mapView(MapHandle mapping, bool write, uint64_t offset, uint64_t size, int* error) {
    void* p = MapViewOfFile(handleOf(mapping), write ? FILE_MAP_WRITE : FILE_MAP_READ,
                            static_cast<DWORD>(offset >> 32), static_cast<DWORD>(offset),
                            static_cast<SIZE_T>(size));
    if (error) *error = p ? 0 : static_cast<int>(GetLastError());
    return p;
}

int unmapView(void* address, uint64_t) {
    return UnmapViewOfFile(address) ? 0 : static_cast<int>(GetLastError());
}

int flushView(void* address, uint64_t length) {
    if (length == 0) return 0;
    return FlushViewOfFile(address, static_cast<SIZE_T>(length)) ? 0
                                                                  : static_cast<int>(GetLastError());
}

void adviseWillNeed(void*, uint64_t) {}

int closeMapHandle(MapHandle handle) {
    if (handle == kNoMapHandle || handle == 0) return kErrorInvalidHandle;
    return CloseHandle(handleOf(handle)) ? 0 : static_cast<int>(GetLastError());
}

uint64_t allocationGranularity() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwAllocationGranularity;
}

}  // namespace sys
}  // namespace qx
