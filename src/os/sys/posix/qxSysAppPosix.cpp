// POSIX backend of the process's start: arguments arrive as UTF-8 bytes.
#include "os/sys/qxSysApp.h"
#include "string/qxUtf8Codec.h"

#include <cstring>
#include <vector>

namespace qx {
namespace sys {

bool mainArguments(int argc, char** argv, ArgumentFn add, void* ctx, int* badIndex) {
    std::vector<WChar> units;
    for (int i = 1; i < argc; ++i) {
        const size_t len = std::strlen(argv[i]);
        units.resize(len + 1);
        bool invalid = false;
        const size_t n = utf8::toUtf16(argv[i], len, units.data(), units.size(), &invalid);
        if (invalid) {
            if (badIndex) *badIndex = i;
            return false;
        }
        add(ctx, units.data(), n);
    }
    return true;
}

}  // namespace sys
}  // namespace qx
