#include "containers/qxOutOfMemory.h"

#include <cstdio>
#include <cstdlib>

namespace qx {
namespace detail {

void outOfMemory(size_t bytes, const char* what) {
    std::fprintf(stderr, "qxbase: out of memory: cannot allocate %zu bytes of %s\n", bytes, what);
    std::fflush(stderr);
    std::abort();
}

void* checkedRealloc(void* p, size_t bytes, const char* what) {
    void* q = std::realloc(p, bytes);
    if (!q && bytes) outOfMemory(bytes, what);
    return q;
}

}  // namespace detail
}  // namespace qx
