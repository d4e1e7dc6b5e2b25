#include "containers/qxReferenceCount.h"

namespace qx {

// Out of line so that the vtable lives in the library only.
ReferenceCount::~ReferenceCount() = default;

}  // namespace qx
