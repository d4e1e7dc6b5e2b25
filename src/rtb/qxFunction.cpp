#include "rtb/qxFunction.h"

namespace qxRTB {

// Out of line so that the vtables live in the library only.
FunctionBase::~FunctionBase() = default;

bool FunctionBase::isGlobalFunction(void*) {
    return false;
}

bool FunctionBase::isInstance(void*) {
    return false;
}

FunctionVoid::~FunctionVoid() = default;

FunctionVoidGlobal::~FunctionVoidGlobal() = default;

void FunctionVoidGlobal::call() {
    m_function();
}

bool FunctionVoidGlobal::isGlobalFunction(void* function) {
    return reinterpret_cast<void*>(m_function) == function;
}

}  // namespace qxRTB
