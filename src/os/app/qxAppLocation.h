// Internal: the installation location that APP_setPath and
// setOstrelLocation store, created when the library loads.
#ifndef QXBASE_OS_APP_QXAPPLOCATION_H
#define QXBASE_OS_APP_QXAPPLOCATION_H

#include "string/qxString.h"

namespace qxOS {

qxString::CString& storedAppLocation();

}  // namespace qxOS

#endif
