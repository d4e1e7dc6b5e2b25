// Win32 backend of the process's start: the UTF-16 command line, split by
// the system's own rules.
#include "os/sys/qxSysApp.h"

#include <cwchar>

#include <windows.h>

#include <shellapi.h>

namespace qx {
namespace sys {

bool mainArguments(int, char**, ArgumentFn add, void* ctx, int*) {
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args) return true;
    for (int i = 1; i < count; ++i) add(ctx, args[i], std::wcslen(args[i]));
    LocalFree(args);
    return true;
}

}  // namespace sys
}  // namespace qx
