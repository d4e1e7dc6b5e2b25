// Umbrella header: includes every public qxbase header.
#ifndef QXBASE_QXBASE_H
#define QXBASE_QXBASE_H

#include "qxDefs.h"
#include "qxBuildInfo.h"
#include "containers/qxVectorImpl.h"
#include "containers/qxVector.h"

#endif
