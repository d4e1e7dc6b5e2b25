#include "containers/qxReferenceCount.h"

namespace qx {

// Out of line so that the vtable lives in the library only.
ReferenceCount::~ReferenceCount() = default;

void ReferenceCount::destroy() const { delete this; }

}  // namespace qx
