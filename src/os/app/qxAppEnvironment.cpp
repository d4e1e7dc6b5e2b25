#include "os/app/qxAppEnvironment.h"

#include "os/app/qxAppLocation.h"
#include "os/files/qxFilename.h"
#include "os/sys/qxSysApp.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qxOS {

using qxString::CString;
using qxString::IString;

namespace {

void takeText(void* ctx, const qx::WChar* text, size_t units) {
    static_cast<IString*>(ctx)->assign(text, static_cast<int>(units));
}

bool readEnv(const IString& name, IString& value) {
    if (qx::sys::getEnv(name.asWChar(), takeText, &value)) return true;
    value.clear();
    return false;
}

}  // namespace

bool GetEnv(const IString& name) {
    IString value;
    return readEnv(name, value);
}

bool GetEnvExists(const IString& name) {
    return GetEnv(name);
}

bool GetEnv(const IString& name, int& value, int defaultValue) {
    value = defaultValue;
    IString text;
    if (!readEnv(name, text)) return false;
    value = std::atoi(text.asUTF8());
    return true;
}

bool GetEnv(const IString& name, IString& value) {
    return readEnv(name, value);
}

bool GetEnv(const IString& name, bool& value, bool defaultValue) {
    value = defaultValue;
    IString text;
    if (!readEnv(name, text)) return false;
    text.stripSpaces();
    text.rstripSpaces();
    text.toLowerCase();
    static const char* const kTrue[] = {"1", "true", "t", "yes", "on"};
    value = false;
    for (const char* t : kTrue)
        if (qxString::equal(text, IString(t))) value = true;
    return true;
}

bool SetEnv(const IString& name, const IString* value) {
    return qx::sys::setEnv(name.asWChar(), value ? value->asWChar() : nullptr);
}

qxUtil::Error useWindowsLowFragmentationHeap() {
    int systemError = 0;
    switch (qx::sys::lowFragmentationHeap(&systemError)) {
        case 0:
            return qxUtil::Error();
        case 1:
            return qxUtil::Error(1, "LoadLibrary for kernel32.dll failed, reason: %S\n",
                                 qxUtil::systemErrorText(systemError).asWChar());
        default:
            return qxUtil::Error(2, "Failed to get address for HeapSetInformation in kernel32.dll\n");
    }
}

bool CreateConsole(int width, int height) {
    return qx::sys::createConsole(width, height);
}

// The installation location; empty until set.
CString& storedAppLocation() {
    static CString location;
    return location;
}

}  // namespace qxOS

using qxOS::storedAppLocation;
using qxString::CString;
using qxString::IString;

namespace {

// 8-bit paths in the locale's encoding, joined as filenames join.
CString joinPath(const char* a, const char* b) {
    const IString joined = qxOS::Filename::join(IString(a ? a : ""), IString(b ? b : ""));
    return CString(joined.asChar());
}

CString dirnameOf(const char* path) {
    return CString(qxOS::Filename(IString(path)).dirname().asChar());
}

const char* kLocationVariable = "OSTREL_LOCATION";

}  // namespace

void setOstrelLocation() {
    static char modulePath[260];
    qx::sys::executablePath8(modulePath, sizeof modulePath);
    const CString executableDir = dirnameOf(modulePath);
    const CString location = dirnameOf(executableDir.c_str());
    qx::sys::setEnv8(kLocationVariable, location.c_str());
    APP_setPath(location);
}

void APP_setPath(const CString& path) {
    storedAppLocation() = path;
}

CString APP_getBinaryPath(const char* name) {
    return joinPath(APP_getBinariesPath(), name);
}

namespace {

// OSTREL_LOCATION, set from the executable's place first when it is unset,
// copied into the caller's storage.
const char* locationFromEnvironment(CString& storage) {
    const char* value = qx::sys::getEnv8(kLocationVariable);
    if (!value) {
        setOstrelLocation();
        value = qx::sys::getEnv8(kLocationVariable);
    }
    storage = value ? value : "";
    return storage.c_str();
}

}  // namespace

extern "C" {

const char* APP_getPath(bool fromEnvironment) {
    if (fromEnvironment) {
        static CString fromEnv;
        return locationFromEnvironment(fromEnv);
    }
    if (storedAppLocation().isEmpty()) setOstrelLocation();
    return storedAppLocation().c_str();
}

const char* APP_getResourcePath() {
    static CString resource;
    return locationFromEnvironment(resource);
}

// The derived paths are fixed at their first call, whatever the location
// becomes later.
const char* APP_getBinariesPath() {
    static const CString path = joinPath(APP_getPath(true), "bin");
    return path.c_str();
}

const char* APP_getBinariesPath32Bit() {
    static const CString path = joinPath(APP_getBinariesPath(), "ia32");
    return path.c_str();
}

const char* APP_getPluginsPath() {
    static const CString path = CString(
        qxOS::Filename::join(IString(APP_getPath(true)), IString("Vorn"), IString("OpenOstrel"),
                             IString("plugins"))
            .asChar());
    return path.c_str();
}

const char* APP_getTempPath() {
    static const char* const kVariables[] = {"OSTREL_TEMP_DIRECTORY", "TMPDIR", "TEMP", "TMP"};
    for (const char* name : kVariables)
        if (const char* value = qx::sys::getEnv8(name)) return value;
    static char tempPath[260];
    const char* root = qx::sys::getEnv8("SystemRoot");
    if (root && *root) {
        std::snprintf(tempPath, sizeof tempPath, "%c:\\temp", root[0]);
        return tempPath;
    }
    return "\\temp";
}

namespace {
char s_programName[1024];
}

void APP_setProgramName(const char* path) {
    if (!path) {
        s_programName[0] = '\0';
        return;
    }
    const char* name = std::strrchr(path, '\\');
    name = name ? name + 1 : path;
    size_t n = std::strlen(name);
    if (n >= sizeof s_programName) {
        // Cut at the last whole character that fits, in the locale's
        // encoding.
        std::mblen(nullptr, 0);
        size_t keep = 0;
        while (keep < n) {
            const int len = std::mblen(name + keep, n - keep);
            const size_t step = len > 0 ? static_cast<size_t>(len) : 1;
            if (keep + step > sizeof s_programName - 1) break;
            keep += step;
        }
        n = keep;
    }
    std::memcpy(s_programName, name, n);
    s_programName[n] = '\0';
}

const char* APP_getProgramName() {
    return s_programName[0] ? s_programName : "Application";
}

bool APP_isProgramNameDefined() {
    return s_programName[0] != '\0';
}

void setupLowFragmentationHeap() {
    static const bool disabled = qx::sys::getEnv8("OSTREL_DISABLE_LFH") != nullptr;
    if (disabled) {
        std::printf("%s: Explicitly disabling Windows Low Fragmentation Heap\n",
                    APP_getProgramName());
        return;
    }
    const qxUtil::Error error = qxOS::useWindowsLowFragmentationHeap();
    if (error) {
        CString text;
        text.format("%s: Unable to use Windows Low Fragmentation Heap: %s\n", APP_getProgramName(),
                    error.message());
        std::fputs(text.c_str(), stdout);
    }
}

}  // extern "C"
