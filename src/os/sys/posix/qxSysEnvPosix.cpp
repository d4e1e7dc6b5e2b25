// POSIX backend of the process environment, the performance counter and
// the module locations.
#include "os/sys/posix/qxSysPosix.h"
#include "os/sys/qxSysApp.h"
#include "string/qxUtf8Codec.h"

#include <dlfcn.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>

namespace qx {
namespace sys {

namespace {

// UTF-8 bytes to UTF-16 for take(), '/' turned into '\\' when asked.
bool handUtf8(const char* text, size_t len, bool windowsShape, ArgumentFn take, void* ctx) {
    std::u16string units(len + 1, u'\0');
    bool invalid = false;
    const size_t n = utf8::toUtf16(text, len, reinterpret_cast<WChar*>(&units[0]), units.size(),
                                   &invalid);
    if (invalid) return false;
    if (windowsShape)
        for (size_t i = 0; i < n; ++i)
            if (units[i] == u'/') units[i] = u'\\';
    take(ctx, reinterpret_cast<const WChar*>(units.data()), n);
    return true;
}

}  // namespace

bool toUtf8(const WChar* text, std::string& out) {
    size_t len = 0;
    while (text[len]) ++len;
    out.assign(len * 3 + 1, '\0');
    bool invalid = false;
    const size_t n = utf8::toUtf8(text, len, &out[0], out.size(), &invalid);
    if (invalid) return false;
    out.resize(n);
    return true;
}

namespace {

// The library's base address, as dladdr names it; null before load and
// after unload.
const void* s_module = nullptr;

std::u16string* s_fakeExecutable = nullptr;
std::u16string* s_fakeLibrary = nullptr;

void setFake(std::u16string*& slot, const WChar* text) {
    delete slot;
    slot = text ? new std::u16string(reinterpret_cast<const char16_t*>(text)) : nullptr;
}

bool handFake(const std::u16string* fake, ArgumentFn take, void* ctx) {
    take(ctx, reinterpret_cast<const WChar*>(fake->data()), fake->size());
    return true;
}

bool readExecutable(std::string& out) {
    std::string buf(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", &buf[0], buf.size());
        if (n < 0) return false;
        if (static_cast<size_t>(n) < buf.size()) {
            buf.resize(static_cast<size_t>(n));
            out.swap(buf);
            return true;
        }
        if (buf.size() >= 1u << 16) return false;
        buf.resize(buf.size() * 2);
    }
}

}  // namespace

long long counterNow() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

// Read on first use; the library's start-up list makes that its load.
long long counterFrequency() {
    static const long long frequency = [] {
        timespec ts;
        return clock_getres(CLOCK_MONOTONIC, &ts) == 0 ? 1000000000LL : 1LL;
    }();
    return frequency;
}

void sleepMilliseconds(int milliseconds) {
    if (milliseconds < 0) milliseconds = 0;
    timespec ts{milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

void recordModule() {
    Dl_info info;
    s_module = ::dladdr(reinterpret_cast<void*>(&recordModule), &info) ? info.dli_fbase : nullptr;
}

void forgetModule() {
    s_module = nullptr;
    setFake(s_fakeExecutable, nullptr);
    setFake(s_fakeLibrary, nullptr);
}

bool executablePath(ArgumentFn take, void* ctx) {
    if (s_fakeExecutable) return handFake(s_fakeExecutable, take, ctx);
    std::string path;
    return readExecutable(path) && handUtf8(path.data(), path.size(), true, take, ctx);
}

bool libraryPath(ArgumentFn take, void* ctx) {
    if (s_fakeLibrary) return handFake(s_fakeLibrary, take, ctx);
    // Asked before the load-time record (a static constructor elsewhere):
    // the same answer, looked up now.
    Dl_info info;
    if (!::dladdr(reinterpret_cast<void*>(&recordModule), &info) || !info.dli_fname) return false;
    // dladdr gives the name the library was loaded by; a relative one (a
    // program that dlopened "./libqxbase.so") is made full here.
    std::string path = info.dli_fname;
    if (path.empty()) return false;
    if (path[0] != '/') {
        char* full = ::realpath(path.c_str(), nullptr);
        if (!full) return false;
        path = full;
        std::free(full);
    }
    return handUtf8(path.data(), path.size(), true, take, ctx);
}

size_t executablePath8(char* buf, size_t cap) {
    if (!buf || cap == 0) return 0;
    std::string path;
    if (s_fakeExecutable) {
        if (!toUtf8(reinterpret_cast<const WChar*>(s_fakeExecutable->c_str()), path)) path.clear();
    } else if (!readExecutable(path)) {
        path.clear();
    }
    const size_t n = path.size() < cap ? path.size() : cap - 1;
    for (size_t i = 0; i < n; ++i) buf[i] = path[i] == '/' ? '\\' : path[i];
    buf[n] = '\0';
    return n;
}

void overrideModulePaths(const WChar* executable, const WChar* library) {
    setFake(s_fakeExecutable, executable);
    setFake(s_fakeLibrary, library);
}

WChar listSeparator() {
    return ':';
}

bool getEnv(const WChar* name, ArgumentFn take, void* ctx) {
    std::string key;
    if (!name || !toUtf8(name, key) || key.empty()) return false;
    const char* value = ::getenv(key.c_str());
    return value && handUtf8(value, std::strlen(value), false, take, ctx);
}

bool setEnv(const WChar* name, const WChar* value) {
    std::string key, text;
    if (!name || !toUtf8(name, key) || key.empty() || key.find('=') != std::string::npos)
        return false;
    if (!value) return ::unsetenv(key.c_str()) == 0;
    return toUtf8(value, text) && ::setenv(key.c_str(), text.c_str(), 1) == 0;
}

const char* getEnv8(const char* name) {
    return name && *name ? ::getenv(name) : nullptr;
}

bool setEnv8(const char* name, const char* value) {
    if (!name || !*name || std::strchr(name, '=')) return false;
    if (!value) return ::unsetenv(name) == 0;
    return ::setenv(name, value, 1) == 0;
}

int lowFragmentationHeap(int* systemError) {
    if (systemError) *systemError = 0;
    return 0;
}

bool createConsole(int, int) {
    return false;
}

}  // namespace sys
}  // namespace qx
