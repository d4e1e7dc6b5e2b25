#include "os/files/qxTempFiles.h"

#include "os/files/qxFile.h"
#include "os/files/qxFileOps.h"
#include "os/sys/qxSysFile.h"
#include "string/qxEncoding.h"

#include <ctime>
#include <new>

namespace qxOS {

using qxString::IString;
namespace sys = qx::sys;

namespace {

constexpr long long kStaleAge = 604800;  // seconds: seven days

// dir's system-made unique name, with the process id after its trunk and
// then the suffix. The system's file goes again at once: the name is what
// is wanted.
Filename uniqueName(const IString& dir, const qx::WChar* prefix, const IString& suffix) {
    qx::WChar created[sys::kMaxPath + 16];
    if (sys::tempFileName(dir.asWChar(), prefix, created, sizeof created / sizeof created[0]) != 0)
        return Filename();
    const Filename made{IString(created)};
    fileDelete(made);
    IString text;
    text.assign(made.dirname());
    text.append(Filename::separator());
    text.append(made.baseTrunk());
    IString pid;
    pid.format("%lu", sys::processId());
    text.append(pid);
    if (!suffix.empty()) {
        text.append(static_cast<qx::WChar>('.'));
        text.append(suffix);
    }
    return Filename(text);
}

bool startsWith(const IString& s, const char* head) {
    unsigned i = 0;
    for (; head[i]; ++i)
        if (i >= s.length() || s[i] != static_cast<qx::WChar>(head[i])) return false;
    return true;
}

bool endsWith(const IString& s, const char* tail, unsigned at) {
    for (unsigned i = 0; tail[i]; ++i)
        if (at + i >= s.length() || s[at + i] != static_cast<qx::WChar>(tail[i])) return false;
    return true;
}

// Moveable memory's scratch files: "<prefix>-<process id>-<uuid>", the uuid
// in its text form "xxxxxxxx-xxxxxxxx-xxxxxxxx-xxxxxxxx".
bool isMoveableScratchName(const IString& name) {
    constexpr unsigned kUuid = 35;
    const unsigned n = name.length();
    if (n < kUuid + 4) return false;
    const unsigned u = n - kUuid;
    for (unsigned i = 0; i < kUuid; ++i) {
        const qx::WChar c = name[u + i];
        const bool dash = i == 8 || i == 17 || i == 26;
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
        if (dash ? c != '-' : !hex) return false;
    }
    if (name[u - 1] != '-') return false;
    unsigned d = u - 1;
    while (d > 0 && qxString::isDigit(name[d - 1])) --d;
    return d < u - 1 && d >= 2 && name[d - 1] == '-';
}

// The names the application's tools leave in the temporary directory.
bool isStaleCandidate(const IString& name) {
    const unsigned n = name.length();
    if (n >= 13 && startsWith(name, "pel") && endsWith(name, ".unload", n - 7)) return true;
    if (n >= 15 && startsWith(name, "pelkoTempWire.")) return true;
    if (n >= 5 && endsWith(name, ".ac$", n - 4)) return true;
    if (n >= 10 && startsWith(name, "jam") && endsWith(name, "out", n - 4) &&
        qxString::isDigit(name[n - 1]))
        return true;
    if (n >= 14 && startsWith(name, "jam") && endsWith(name, "cmd", n - 8) &&
        qxString::isDigit(name[n - 5]) && endsWith(name, ".bat", n - 4))
        return true;
    return isMoveableScratchName(name);
}

template <typename T>
T* heapCopy(T* (*copy)(const IString&), const IString& s) {
    try {
        return copy(s);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

char* copyMultibyte(const IString& s) {
    return s.copyAsMultibyte(qxString::EncodingMultibyte);
}

qx::WChar* copyWide(const IString& s) {
    return s.copyAsWChar();
}

}  // namespace

Filename getTempDirectory() {
    qx::WChar buf[sys::kMaxPath];
    if (sys::tempPath(buf, sys::kMaxPath) == 0) return Filename(IString(QX_W("C:\\")));
    return Filename(IString(buf));
}

Filename createTmpFilename(IString suffix, const qx::WChar* prefix) {
    return uniqueName(getTempDirectory().name(), prefix ? prefix : QX_W("ASTMP"), suffix);
}

Filename createNewFilenameVariant(Filename directory, const qx::WChar* prefix, IString suffix) {
    return uniqueName(directory.name(), prefix ? prefix : QX_W("recover"), suffix);
}

int cleanupTempDirectory(const IString& directory) {
    qx::vector<IString> names;
    File dir(Filename(directory).name());
    if (!dir.isValid() || dir.readDir(names, true)) names.clear();

    const long long cutoff = static_cast<long long>(std::time(nullptr)) - kStaleAge;
    int deleted = 0;
    for (const IString& path : names) {
        const unsigned cut = path.rfind(Filename::separator());
        IString name;
        if (cut == IString::npos)
            name.assign(path);
        else
            name.assign(path.data() + cut + 1, path.length() - cut - 1);
        if (!isStaleCandidate(name)) continue;
        File file(path);
        FileStatus status;
        if (!file.isValid() || file.query(status, false)) continue;
        if (status.getLastModifiedDate() < cutoff && !fileDelete(Filename(path))) ++deleted;
    }
    return deleted;
}

int cleanupTempDirectory() {
    const Filename temp = getTempDirectory();
    int deleted = cleanupTempDirectory(temp.name());
    const IString& name = temp.name();
    const bool isTmp = name.length() == 4 && (name[0] == '/' || name[0] == '\\') &&
                       name[1] == 't' && name[2] == 'm' && name[3] == 'p';
    if (!isTmp) {
        const IString tmp(QX_W("/tmp"));
        FileStatus status;
        if (!File::query(tmp, status) && status.isDirectory()) deleted += cleanupTempDirectory(tmp);
    }
    return deleted;
}

}  // namespace qxOS

extern "C" {

char* qxOS_GetTemporaryDirectory(void) {
    return qxOS::heapCopy(qxOS::copyMultibyte, qxOS::getTempDirectory().name());
}

qx::WChar* qxOS_GetTemporaryDirectoryW(void) {
    return qxOS::heapCopy(qxOS::copyWide, qxOS::getTempDirectory().name());
}

char* qxOS_CreateTemporaryFileName(const char* suffix) {
    const qxOS::Filename name =
        qxOS::createTmpFilename(qxString::IString(suffix, qxString::EncodingMultibyte));
    return name.name().empty() ? nullptr : qxOS::heapCopy(qxOS::copyMultibyte, name.name());
}

qx::WChar* qxOS_CreateTemporaryFileNameW(const qx::WChar* suffix) {
    const qxOS::Filename name = qxOS::createTmpFilename(qxString::IString(suffix));
    return name.name().empty() ? nullptr : qxOS::heapCopy(qxOS::copyWide, name.name());
}

}  // extern "C"
