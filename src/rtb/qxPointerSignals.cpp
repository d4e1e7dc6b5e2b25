#include "rtb/qxPointerSignals.h"

namespace qxUtil {

// Built on first use, so that static constructors anywhere may connect;
// the library's start-up makes that first use happen at load.

PointerSignal& getPointerAcquireSignal() {
    static PointerSignal s_signal;
    return s_signal;
}

PointerSignal& getPointerReleaseSignal() {
    static PointerSignal s_signal;
    return s_signal;
}

PointerSignal& getPointerInitSignal() {
    static PointerSignal s_signal;
    return s_signal;
}

PointerSignal& getPointerDeleteSignal() {
    static PointerSignal s_signal;
    return s_signal;
}

}  // namespace qxUtil
