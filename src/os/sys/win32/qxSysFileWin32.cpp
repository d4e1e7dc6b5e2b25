// Win32 backend of stdio files and the console.
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysFile.h"
#include "os/sys/win32/qxSysWin32.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include <direct.h>

#include <windows.h>

namespace qx {
namespace sys {

void clearRuntimeErrors() {
    errno = 0;
    _doserrno = 0;
}

int runtimeError() {
    if (_doserrno) return static_cast<int>(_doserrno);
    if (errno == ENOENT) return kErrorFileNotFound;
    return errno ? win32FromErrno(errno) : kErrorPathNotFound;
}

std::FILE* openStdioFile(const WChar* path, const char* mode, int* error) {
    // "N": the handle is not inherited by child processes.
    wchar_t m[8];
    size_t k = 0;
    for (const char* s = mode; *s && k + 2 < sizeof m / sizeof m[0]; ++s)
        m[k++] = static_cast<wchar_t>(static_cast<unsigned char>(*s));
    m[k++] = L'N';
    m[k] = L'\0';
    if (const int rc = pathLengthError(path)) {
        if (error) *error = rc;
        return nullptr;
    }
    // Windows refuses to write a read-only file; Wine run by root would
    // open it (and "w" would empty it), the attribute being a mode there.
    if (path && (mode[0] == 'w' || mode[0] == 'a' || std::strchr(mode, '+'))) {
        const DWORD attrs = GetFileAttributesW(path);
        if (attrs != INVALID_FILE_ATTRIBUTES && (attrs & FILE_ATTRIBUTE_READONLY) &&
            !(attrs & FILE_ATTRIBUTE_DIRECTORY)) {
            if (error) *error = kErrorAccessDenied;
            return nullptr;
        }
    }
    clearRuntimeErrors();
    std::FILE* f = path ? _wfopen(path, m) : nullptr;
    if (error) *error = f ? 0 : runtimeError();
    return f;
}

int makeDirectory(const WChar* path) {
    if (const int rc = pathLengthError(path)) return rc;
    clearRuntimeErrors();
    return _wmkdir(path) == 0 ? 0 : runtimeError();
}

size_t nativeSpelling(const WChar* path, size_t n, WChar* out) {
    for (size_t i = 0; i < n; ++i) out[i] = path[i];
    return n;
}

int setCurrentDirectory(const WChar* path) {
    if (const int rc = pathLengthError(path)) return rc;
    return SetCurrentDirectoryW(path) ? 0 : static_cast<int>(GetLastError());
}

size_t currentDirectory(WChar* buf, size_t cap) {
    if (cap == 0 || cap > 0x7FFFFFFF || !_wgetcwd(buf, static_cast<int>(cap))) return 0;
    return std::wcslen(buf);
}

bool writeStdout(const char* text, size_t n) {
    HANDLE h = GetStdHandle(STD_OUTPUT_HANDLE);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return false;
    DWORD mode = 0;
    const bool console = GetConsoleMode(h, &mode) != 0;
    while (n > 0) {
        const DWORD chunk = n > 0x10000 ? 0x10000 : static_cast<DWORD>(n);
        DWORD done = 0;
        // A redirected stdout is no console; it takes the bytes as they are.
        const BOOL ok = console ? WriteConsoleA(h, text, chunk, &done, nullptr)
                                : WriteFile(h, text, chunk, &done, nullptr);
        if (!ok || done == 0) return false;
        text += done;
        n -= done;
    }
    return true;
}

}  // namespace sys
}  // namespace qx
