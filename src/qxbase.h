// Umbrella header: includes every public qxbase header.
#ifndef QXBASE_QXBASE_H
#define QXBASE_QXBASE_H

#include "containers/qxVector.h"
#include "containers/qxHash.h"
#include "containers/qxBlockAllocator.h"
#include "containers/qxReferenceCount.h"
#include "containers/qxHashTableImpl.h"
#include "containers/qxHashTable.h"
#include "containers/qxVectorImpl.h"
#include "containers/qxListImpl.h"
#include "containers/qxList.h"
#include "containers/qxRBTreeImpl.h"
#include "containers/qxTree.h"
#include "string/qxEncoding.h"
#include "string/qxString.h"
#include "string/qxFormat.h"
#include "Components/Base/Utility/qxTextUtil.h"
#include "Components/Base/Utility/qxUniqueNames.h"
#include "string/qxIntern.h"
#include "diagnostics/qxError.h"
#include "diagnostics/qxIOStream.h"
#include "diagnostics/qxOStream.h"
#include "diagnostics/qxAppOutput.h"
#include "os/files/qxFilename.h"
#include "os/files/qxFile.h"
#include "Components/Base/Utility/qxUtilInitializer.h"
#include "qxBuildInfo.h"
#include "qxDefs.h"

#endif
