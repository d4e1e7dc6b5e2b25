#include "qxDefs.h"

namespace qx {

// Out of line so that the vtable and type information live in the library only.
ImplBase::~ImplBase() = default;

}  // namespace qx
