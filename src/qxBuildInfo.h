// Texts fixed when the library is built. Nothing in the library reads them;
// they identify a binary in bug reports and crash dumps.
#ifndef QXBASE_QXBUILDINFO_H
#define QXBASE_QXBUILDINFO_H

#include "qxDefs.h"

extern "C" {
QX_API extern const char gBuildDate[];       // "Dec  6 2026"
QX_API extern const char gBuildTime[];       // "02:11:42"
QX_API extern const char gBuildChangeSet[];  // source revision at configure time, or "unknown"
QX_API extern const char gBuildDirectory[];  // the build tree
QX_API extern const char gCutIdentifier[];   // "qxbase-<version>-<change set>"
}

#endif
