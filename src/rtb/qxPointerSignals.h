// Four process-wide signals that the host's components use as meeting
// points for news about pointers: acquired, released, initialised, deleted.
// The library fixes only their type (the arguments' meaning belongs to the
// components that use them); it neither emits them nor connects to them.
// They exist from the library's load to its unload.
#ifndef QXBASE_RTB_QXPOINTERSIGNALS_H
#define QXBASE_RTB_QXPOINTERSIGNALS_H

#include "qxDefs.h"
#include "rtb/qxSignal.h"

namespace qxUtil {

using PointerSignal = qxRTB::Signal3Args<const char*, void*, int>;

QX_API PointerSignal& getPointerAcquireSignal();
QX_API PointerSignal& getPointerReleaseSignal();
QX_API PointerSignal& getPointerInitSignal();
QX_API PointerSignal& getPointerDeleteSignal();

}  // namespace qxUtil

#endif
