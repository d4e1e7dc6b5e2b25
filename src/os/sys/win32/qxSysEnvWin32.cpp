// Win32 backend of the process environment, the performance counter, the
// module locations, the heap switch and the console.
#include "os/sys/qxSysApp.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

namespace qx {
namespace sys {

namespace {

HMODULE s_module = nullptr;

std::wstring* s_fakeExecutable = nullptr;
std::wstring* s_fakeLibrary = nullptr;

void setFake(std::wstring*& slot, const WChar* text) {
    delete slot;
    slot = text ? new std::wstring(text) : nullptr;
}

// This library's handle, from the address of one of its functions.
HMODULE ownModule() {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&ownModule), &module))
        return nullptr;
    return module;
}

// GetModuleFileNameW into a buffer that grows until the name fits.
bool moduleFileName(HMODULE module, ArgumentFn take, void* ctx) {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(module, &buf[0], static_cast<DWORD>(buf.size()));
        if (n == 0) return false;
        if (n < buf.size()) {
            take(ctx, buf.data(), n);
            return true;
        }
        if (buf.size() >= 32768) return false;
        buf.resize(buf.size() * 2);
    }
}

}  // namespace

long long counterNow() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// Read on first use; the library's start-up list makes that its load.
long long counterFrequency() {
    static const long long frequency = [] {
        LARGE_INTEGER f;
        return QueryPerformanceFrequency(&f) && f.QuadPart > 0 ? f.QuadPart : 1LL;
    }();
    return frequency;
}

void sleepMilliseconds(int milliseconds) {
    Sleep(milliseconds < 0 ? 0 : static_cast<DWORD>(milliseconds));
}

void recordModule() {
    s_module = ownModule();
}

void forgetModule() {
    s_module = nullptr;
    setFake(s_fakeExecutable, nullptr);
    setFake(s_fakeLibrary, nullptr);
}

bool executablePath(ArgumentFn take, void* ctx) {
    if (s_fakeExecutable) {
        take(ctx, s_fakeExecutable->data(), s_fakeExecutable->size());
        return true;
    }
    return moduleFileName(nullptr, take, ctx);
}

bool libraryPath(ArgumentFn take, void* ctx) {
    if (s_fakeLibrary) {
        take(ctx, s_fakeLibrary->data(), s_fakeLibrary->size());
        return true;
    }
    // Asked before the load-time record: the same handle, looked up now.
    HMODULE module = s_module ? s_module : ownModule();
    return module && moduleFileName(module, take, ctx);
}

size_t executablePath8(char* buf, size_t cap) {
    if (!buf || cap == 0) return 0;
    if (s_fakeExecutable) {
        const int n = WideCharToMultiByte(CP_ACP, 0, s_fakeExecutable->c_str(), -1, buf,
                                          static_cast<int>(cap), nullptr, nullptr);
        if (n <= 0) {
            buf[0] = '\0';
            return 0;
        }
        return static_cast<size_t>(n - 1);
    }
    const DWORD n = GetModuleFileNameA(nullptr, buf, static_cast<DWORD>(cap));
    // On truncation the system stops at cap bytes; XP even without the NUL.
    const size_t len = n >= cap ? cap - 1 : n;
    buf[len] = '\0';
    return len;
}

void overrideModulePaths(const WChar* executable, const WChar* library) {
    setFake(s_fakeExecutable, executable);
    setFake(s_fakeLibrary, library);
}

WChar listSeparator() {
    return L';';
}

bool getEnv(const WChar* name, ArgumentFn take, void* ctx) {
    if (!name || !*name) return false;
    const wchar_t* value = _wgetenv(name);
    if (!value) return false;
    take(ctx, value, std::wcslen(value));
    return true;
}

// _wputenv_s updates the runtime's copy and the process environment that
// children inherit.
bool setEnv(const WChar* name, const WChar* value) {
    if (!name || !*name || std::wcschr(name, L'=')) return false;
    return _wputenv_s(name, value ? value : L"") == 0;
}

const char* getEnv8(const char* name) {
    return name && *name ? std::getenv(name) : nullptr;
}

bool setEnv8(const char* name, const char* value) {
    if (!name || !*name || std::strchr(name, '=')) return false;
    return _putenv_s(name, value ? value : "") == 0;
}

int lowFragmentationHeap(int* systemError) {
    if (systemError) *systemError = 0;
    HMODULE kernel = LoadLibraryA("kernel32");
    if (!kernel) {
        if (systemError) *systemError = static_cast<int>(GetLastError());
        return 1;
    }
    using SetInfo = BOOL(WINAPI*)(HANDLE, HEAP_INFORMATION_CLASS, PVOID, SIZE_T);
    auto setInformation =
        reinterpret_cast<SetInfo>(reinterpret_cast<void*>(GetProcAddress(kernel, "HeapSetInformation")));
    if (!setInformation) {
        FreeLibrary(kernel);
        return 2;
    }
    ULONG lowFragmentation = 2;
    // Whether each heap took the switch is not reported.
    setInformation(reinterpret_cast<HANDLE>(_get_heap_handle()), HeapCompatibilityInformation,
                   &lowFragmentation, sizeof lowFragmentation);
    setInformation(GetProcessHeap(), HeapCompatibilityInformation, &lowFragmentation,
                   sizeof lowFragmentation);
    FreeLibrary(kernel);
    return 0;
}

namespace {

// Points one of the runtime's standard streams at a console handle,
// unbuffered.
bool attachStream(DWORD which, FILE* stream) {
    HANDLE handle = GetStdHandle(which);
    if (handle == INVALID_HANDLE_VALUE || !handle) return false;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_TEXT);
    if (fd < 0) return false;
    FILE* file = _fdopen(fd, "w");
    if (!file) return false;
    *stream = *file;
    setvbuf(stream, nullptr, _IONBF, 0);
    return true;
}

}  // namespace

bool createConsole(int width, int height) {
    if (!AllocConsole()) return false;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info;
    bool ok = out != INVALID_HANDLE_VALUE && out && GetConsoleScreenBufferInfo(out, &info);
    if (ok) {
        COORD size;
        size.X = static_cast<SHORT>(width);
        size.Y = static_cast<SHORT>(height);
        SetConsoleScreenBufferSize(out, size);
        GetConsoleScreenBufferInfo(out, &info);
        SMALL_RECT window;
        window.Left = 0;
        window.Top = 0;
        window.Right = static_cast<SHORT>(info.dwMaximumWindowSize.X - 1);
        window.Bottom = static_cast<SHORT>(info.dwMaximumWindowSize.Y / 2);
        SetConsoleWindowInfo(out, TRUE, &window);
        ok = attachStream(STD_OUTPUT_HANDLE, stdout) && attachStream(STD_ERROR_HANDLE, stderr);
    }
    if (!ok) FreeConsole();
    return ok;
}

}  // namespace sys
}  // namespace qx
