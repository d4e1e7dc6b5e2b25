// Win32 backend of path status, access checks, removal, renaming and
// directory listing.
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysFile.h"
#include "os/sys/win32/qxSysWin32.h"

#include <cerrno>
#include <cwchar>
#include <string>

#include <direct.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <windows.h>

namespace qx {
namespace sys {

int statPath(const WChar* path, PathStatus* status) {
    if (const int rc = pathLengthError(path)) return rc;
    clearRuntimeErrors();
    struct _stat64 st;
    // The runtime says ENOENT for a missing file and a missing directory on
    // the way alike; the system tells them apart (2 and 3).
    if (_wstat64(path, &st) != 0) {
        if (errno != ENOENT) return runtimeError();
        if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES &&
            GetLastError() == ERROR_PATH_NOT_FOUND)
            return kErrorPathNotFound;
        return kErrorFileNotFound;
    }
    status->isDirectory = (st.st_mode & _S_IFMT) == _S_IFDIR;
    status->isRegular = (st.st_mode & _S_IFMT) == _S_IFREG;
    status->size = static_cast<long long>(st.st_size);
    status->modified = static_cast<long long>(st.st_mtime);
    status->created = static_cast<long long>(st.st_ctime);
    return 0;
}

int accessPath(const WChar* path, int mode) {
    if (const int rc = pathLengthError(path)) return rc;
    clearRuntimeErrors();
    return _waccess(path, mode & (kAccessRead | kAccessWrite)) == 0 ? 0 : runtimeError();
}

int removeDirectory(const WChar* path) {
    if (const int rc = pathLengthError(path)) return rc;
    clearRuntimeErrors();
    return _wrmdir(path) == 0 ? 0 : runtimeError();
}

int unlinkFile(const WChar* path) {
    if (const int rc = pathLengthError(path)) return rc;
    clearRuntimeErrors();
    return _wunlink(path) == 0 ? 0 : runtimeError();
}

bool isLinkPath(const WChar* path) {
    if (!path || pathLengthError(path)) return false;
    // "link\" would name what the link points to.
    std::wstring p = path;
    while (p.size() > 1 && (p.back() == L'\\' || p.back() == L'/') &&
           !(p.size() == 3 && p[1] == L':'))
        p.pop_back();
    const DWORD attrs = GetFileAttributesW(p.c_str());
    return attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_REPARSE_POINT);
}

int renamePath(const WChar* from, const WChar* to) {
    if (const int rc = pathLengthError(from)) return rc;
    if (const int rc = pathLengthError(to)) return rc;
    clearRuntimeErrors();
    return _wrename(from, to) == 0 ? 0 : runtimeError();
}

int listDirectory(const WChar* dir, DirectoryEntryFn add, void* ctx) {
    if (const int rc = pathLengthError(dir)) return rc;
    std::wstring pattern = dir;
    if (!pattern.empty() && pattern.back() != L'\\' && pattern.back() != L'/' &&
        !(pattern.size() == 2 && pattern[1] == L':'))
        pattern += L'\\';
    pattern += L'*';
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch,
                                nullptr, 0);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD e = GetLastError();
        // A file in place of the directory: "file\*" names nothing.
        if (e == ERROR_PATH_NOT_FOUND || e == ERROR_FILE_NOT_FOUND || e == ERROR_INVALID_NAME) {
            PathStatus st;
            if (statPath(dir, &st) == 0 && !st.isDirectory) return kErrorDirectory;
        }
        return static_cast<int>(e);
    }
    do {
        unsigned kind = kEntryFile;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) kind |= kEntryDirectory;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) kind |= kEntryLink;
        add(ctx, data.cFileName, std::wcslen(data.cFileName), kind);
    } while (FindNextFileW(h, &data));
    const DWORD e = GetLastError();
    FindClose(h);
    return e == ERROR_NO_MORE_FILES ? 0 : static_cast<int>(e);
}

}  // namespace sys
}  // namespace qx
