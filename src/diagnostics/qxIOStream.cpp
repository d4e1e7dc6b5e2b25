#include "diagnostics/qxIOStream.h"

namespace qxOS {

// Out of line so that the vtable and type information live in the library only.
IOStream::~IOStream() = default;

}  // namespace qxOS
