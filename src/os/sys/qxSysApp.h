// Platform layer: what the process is given at start.
#ifndef QXBASE_OS_SYS_QXSYSAPP_H
#define QXBASE_OS_SYS_QXSYSAPP_H

#include "qxDefs.h"

#include <cstddef>

namespace qx {
namespace sys {

// The program's arguments after its name, as the platform gives them: on
// Windows the process's UTF-16 command line split by the system's rules
// (argc and argv are not read), elsewhere argv[1] onwards decoded from
// UTF-8 strictly. add(ctx, text, units) for each. False, with *badIndex
// the argument's position (1 for argv[1]), when one is not valid UTF-8;
// the arguments before it were handed over already.
using ArgumentFn = void (*)(void* ctx, const WChar* text, size_t units);
QX_API bool mainArguments(int argc, char** argv, ArgumentFn add, void* ctx, int* badIndex);

// The performance counter: QueryPerformanceCounter on Windows, the
// monotonic clock in nanoseconds elsewhere. The frequency is read once, when
// the library loads (1 when the system cannot give one).
QX_API long long counterNow();
QX_API long long counterFrequency();
// Suspends the calling thread (a negative time counts as 0).
QX_API void sleepMilliseconds(int milliseconds);

// This library's own module: recorded when it loads and forgotten when it
// unloads (the first and last of its load-time objects).
void recordModule();
void forgetModule();

// Full paths of the running executable and of this library's file, in the
// Windows shape the rest of the library uses ('\' separators; on POSIX
// "/proc/self/exe" and dladdr answer, each '/' turned into '\'). The text
// is handed to take(ctx, text, units); false when the system cannot say
// (or, on POSIX, the path is not valid UTF-8).
QX_API bool executablePath(ArgumentFn take, void* ctx);
QX_API bool libraryPath(ArgumentFn take, void* ctx);
// The executable's path in 8-bit form (GetModuleFileNameA; on POSIX the
// bytes of the link, Windows-shaped), NUL-terminated in buf, truncated to
// cap - 1 bytes as the system call truncates. Returns the bytes written.
QX_API size_t executablePath8(char* buf, size_t cap);
// For tests: answer these paths instead of the system's (null restores the
// system's answer for that one).
QX_API void overrideModulePaths(const WChar* executable, const WChar* library);

// The separator of list-valued environment variables such as PATH: ';' on
// Windows, ':' on POSIX.
QX_API WChar listSeparator();

// Environment, in the process's native text (UTF-16 on Windows, UTF-8 on
// POSIX, converted strictly both ways). getEnv hands the value to take and
// returns true when the variable is set; a value that is not valid text here
// counts as not set. setEnv with a null value removes the variable. Changes
// reach the C runtime and child processes alike.
QX_API bool getEnv(const WChar* name, ArgumentFn take, void* ctx);
QX_API bool setEnv(const WChar* name, const WChar* value);
// 8-bit forms for the C entry points, in the runtime's own 8-bit text:
// getenv and putenv. The pointer stays valid until the environment changes.
QX_API const char* getEnv8(const char* name);
QX_API bool setEnv8(const char* name, const char* value);

// Switches the C runtime's heap and the process heap to the
// low-fragmentation heap: 0 on success, 1 when kernel32 cannot be loaded
// (*systemError its error), 2 when HeapSetInformation is missing. POSIX
// allocators have no such switch: always 0 there.
QX_API int lowFragmentationHeap(int* systemError);

// A new console of width x height for a process without one, with stdout
// and stderr attached to it. POSIX has no console to create: false there.
QX_API bool createConsole(int width, int height);

}  // namespace sys
}  // namespace qx

#endif
