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

}  // namespace sys
}  // namespace qx

#endif
