// Internal: what the containers do when the C heap runs dry.
#ifndef QXBASE_CONTAINERS_QXOUTOFMEMORY_H
#define QXBASE_CONTAINERS_QXOUTOFMEMORY_H

#include <cstddef>

namespace qx {
namespace detail {

// Containers report nothing; running out of memory stops the process with a
// message on stderr rather than corrupting the caller's data.
[[noreturn]] void outOfMemory(size_t bytes, const char* what);

// malloc/realloc that never return null for a non-zero size.
void* checkedRealloc(void* p, size_t bytes, const char* what);

}  // namespace detail
}  // namespace qx

#endif
