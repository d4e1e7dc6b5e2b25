// Win32 backend of full paths, copying, volume queries, temporary names,
// ownership and links.
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysFile.h"
#include "os/sys/win32/qxSysWin32.h"

#include <cstring>
#include <cwchar>
#include <string>

#include <windows.h>

#include <aclapi.h>

namespace qx {
namespace sys {

namespace {

inline bool isSep(wchar_t c) {
    return c == L'\\' || c == L'/';
}
inline bool isDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}
DWORD clampCap(size_t cap) {
    return cap > MAXDWORD ? MAXDWORD : static_cast<DWORD>(cap);
}
int lastError() {
    const DWORD e = GetLastError();
    return e ? static_cast<int>(e) : kErrorGenFailure;
}

}  // namespace

int pathLengthError(const WChar* path, size_t extra) {
    if (!path) return 0;
    const size_t n = std::wcslen(path);
    // The full form of "X:\..." or "\\server\share..." is never longer than
    // the text, and that of a path relative to the current directory (or to
    // its drive's root) never longer than the directory, a separator and the
    // text. "X:rel" is relative to a directory of another drive: ask.
    if (n + extra < kMaxPath) {
        if ((isSep(path[0]) && isSep(path[1])) ||
            (isDriveLetter(path[0]) && path[1] == L':' && isSep(path[2])))
            return 0;
        if (!(isDriveLetter(path[0]) && path[1] == L':')) {
            const DWORD cwd = GetCurrentDirectoryW(0, nullptr);  // NUL included
            if (cwd != 0 && n + extra + cwd < kMaxPath) return 0;
        }
    }
    // A buffer of kMaxPath units holds every full form that passes.
    wchar_t full[kMaxPath];
    const DWORD len = GetFullPathNameW(path, kMaxPath, full, nullptr);
    if (len == 0) return 0;
    return len + extra >= kMaxPath ? kErrorFilenameExcedRange : 0;
}

int fullPath(const WChar* path, WChar* buf, size_t cap, size_t* length) {
    // The system says nothing about an empty path.
    if (!path || !path[0]) return kErrorInvalidName;
    const DWORD c = clampCap(cap);
    const DWORD r = GetFullPathNameW(path, c, c ? buf : nullptr, nullptr);
    if (r == 0) return lastError();
    if (length) *length = r;
    return r >= c ? ERROR_INSUFFICIENT_BUFFER : 0;
}

int copyFile(const WChar* from, const WChar* to, bool failIfExists) {
    if (const int rc = pathLengthError(from)) return rc;
    if (const int rc = pathLengthError(to)) return rc;
    // Windows refuses to replace a read-only file; Wine run by root does
    // not, the attribute being only a mode without write bits there.
    const DWORD toAttrs = GetFileAttributesW(to);
    if (!failIfExists && toAttrs != INVALID_FILE_ATTRIBUTES && (toAttrs & FILE_ATTRIBUTE_READONLY))
        return kErrorAccessDenied;
    if (!CopyFileW(from, to, failIfExists)) return lastError();
    // A file replaced takes the source's read-only attribute on Windows;
    // Wine leaves it the attributes it had.
    if (toAttrs != INVALID_FILE_ATTRIBUTES) {
        const DWORD fromAttrs = GetFileAttributesW(from);
        if (fromAttrs != INVALID_FILE_ATTRIBUTES && (fromAttrs & FILE_ATTRIBUTE_READONLY))
            SetFileAttributesW(to, toAttrs | FILE_ATTRIBUTE_READONLY);
    }
    return 0;
}

int flushFile(const WChar* path) {
    if (const int rc = pathLengthError(path)) return rc;
    // FlushFileBuffers needs a handle that may write.
    const HANDLE h = CreateFileW(path, GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return lastError();
    const int rc = FlushFileBuffers(h) ? 0 : lastError();
    CloseHandle(h);
    return rc;
}

int syncDirectory(const WChar* path) {
    return pathLengthError(path);
}

int linkFile(const WChar* existing, const WChar* link) {
    if (const int rc = pathLengthError(existing)) return rc;
    if (const int rc = pathLengthError(link)) return rc;
    return CreateHardLinkW(link, existing, nullptr) ? 0 : lastError();
}

int replaceFile(const WChar* from, const WChar* to) {
    if (const int rc = pathLengthError(from)) return rc;
    if (const int rc = pathLengthError(to)) return rc;
    // Windows refuses to replace a directory or a read-only file; Wine run
    // by root would do either, the attribute being only a mode there.
    const DWORD attrs = GetFileAttributesW(to);
    if (attrs != INVALID_FILE_ATTRIBUTES &&
        (attrs & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
        return kErrorAccessDenied;
    if (MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return 0;
    return lastError();
}

int diskFreeSpace(const WChar* dir, unsigned long long* totalBytes,
                  unsigned long long* availableBytes) {
    if (const int rc = pathLengthError(dir)) return rc;
    ULARGE_INTEGER available, total;
    if (!GetDiskFreeSpaceExW(dir, &available, &total, nullptr)) return lastError();
    if (totalBytes) *totalBytes = total.QuadPart;
    if (availableBytes) *availableBytes = available.QuadPart;
    return 0;
}

int driveType(const WChar* root) {
    if (pathLengthError(root)) return kDriveNoRootDir;
    return static_cast<int>(GetDriveTypeW(root));
}

size_t tempPath(WChar* buf, size_t cap) {
    const DWORD c = clampCap(cap);
    if (c == 0) return 0;
    const DWORD r = GetTempPathW(c, buf);
    // Too small: r is the size needed, NUL included.
    return r < c ? r : 0;
}

int tempFileName(const WChar* dir, const WChar* prefix, WChar* buf, size_t cap) {
    if (!dir) return kErrorInvalidParameter;
    const size_t dirLen = std::wcslen(dir);
    size_t prefixLen = 0;
    while (prefix && prefixLen < 3 && prefix[prefixLen]) ++prefixLen;
    const bool sep = dirLen > 0 && dir[dirLen - 1] == L'\\';
    const size_t nameLen = prefixLen + 8;  // prefix, four digits, ".TMP"
    if (const int rc = pathLengthError(dir, nameLen + (sep ? 0 : 1))) return rc;
    if (dirLen + (sep ? 0 : 1) + nameLen >= cap) return ERROR_INSUFFICIENT_BUFFER;
    // The system writes up to MAX_PATH units whatever the caller has.
    wchar_t name[MAX_PATH];
    if (!GetTempFileNameW(dir, prefix ? prefix : L"", 0, name)) return lastError();
    const size_t n = std::wcslen(name);
    if (n >= cap) {
        DeleteFileW(name);
        return ERROR_INSUFFICIENT_BUFFER;
    }
    std::wmemcpy(buf, name, n + 1);
    return 0;
}

namespace {

// "domain\account" for sid into out; nothing when the account has no name
// or the text does not fit.
void putAccount(PSID sid, char* out, size_t cap) {
    if (!out || cap == 0) return;
    out[0] = '\0';
    if (!sid) return;
    DWORD nameLen = 0, domainLen = 0;
    SID_NAME_USE use;
    // The first call only tells the sizes, NUL included.
    if (LookupAccountSidA(nullptr, sid, nullptr, &nameLen, nullptr, &domainLen, &use) ||
        GetLastError() != ERROR_INSUFFICIENT_BUFFER || nameLen == 0)
        return;
    std::string name(nameLen + 1, '\0'), domain(domainLen + 1, '\0');
    if (!LookupAccountSidA(nullptr, sid, &name[0], &nameLen, &domain[0], &domainLen, &use)) return;
    // The lengths now should leave out the NUL; Wine counts it. The text
    // itself tells.
    nameLen = static_cast<DWORD>(std::strlen(name.c_str()));
    domainLen = static_cast<DWORD>(std::strlen(domain.c_str()));
    if (domainLen + 1 + nameLen >= cap) return;
    std::memcpy(out, domain.data(), domainLen);
    out[domainLen] = '\\';
    std::memcpy(out + domainLen + 1, name.data(), nameLen);
    out[domainLen + 1 + nameLen] = '\0';
}

}  // namespace

int ownerGroup(const WChar* path, char* owner, size_t ownerCap, char* group, size_t groupCap) {
    if (!path) return kErrorInvalidParameter;
    if (const int rc = pathLengthError(path)) return rc;
    PSID ownerSid = nullptr, groupSid = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    const DWORD rc = GetNamedSecurityInfoW(const_cast<wchar_t*>(path), SE_FILE_OBJECT,
                                           OWNER_SECURITY_INFORMATION | GROUP_SECURITY_INFORMATION,
                                           &ownerSid, &groupSid, nullptr, nullptr, &sd);
    if (rc != ERROR_SUCCESS) return static_cast<int>(rc);
    putAccount(ownerSid, owner, ownerCap);
    putAccount(groupSid, group, groupCap);
    LocalFree(sd);
    return 0;
}

namespace {

bool fileIdentity(const WChar* path, BY_HANDLE_FILE_INFORMATION* info) {
    const HANDLE h = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileInformationByHandle(h, info) != 0;
    CloseHandle(h);
    return ok;
}

}  // namespace

bool sameFile(const WChar* a, const WChar* b) {
    BY_HANDLE_FILE_INFORMATION x, y;
    return fileIdentity(a, &x) && fileIdentity(b, &y) &&
           x.dwVolumeSerialNumber == y.dwVolumeSerialNumber &&
           x.nFileIndexHigh == y.nFileIndexHigh && x.nFileIndexLow == y.nFileIndexLow;
}

int makeSymbolicLink(const WChar* target, const WChar* link, bool directory) {
    if (const int rc = pathLengthError(link)) return rc;
    if (GetFileAttributesW(link) != INVALID_FILE_ATTRIBUTES) return kErrorAlreadyExists;
    const DWORD flags = directory ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0;
    // Developer mode lets anyone create links with this flag; systems that
    // predate it refuse the flag as a bad parameter.
    BOOL made =
        CreateSymbolicLinkW(link, target, flags | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    if (!made && GetLastError() == ERROR_INVALID_PARAMETER)
        made = CreateSymbolicLinkW(link, target, flags);
    if (!made) return lastError();
    // Wine answers success without making anything. The attributes are the
    // link's own, so even a dangling link shows.
    return GetFileAttributesW(link) != INVALID_FILE_ATTRIBUTES ? 0 : kErrorNotSupported;
}

unsigned long processId() {
    return GetCurrentProcessId();
}

}  // namespace sys
}  // namespace qx
