// The library's load-time objects, created here in one translation unit so
// that their order is the order of this file. Each is also reachable
// through a construct-on-first-use accessor, so a static constructor
// elsewhere that runs earlier still finds it built.
#include "diagnostics/qxAppOutput.h"
#include "os/files/qxFileFactoryImpl.h"

namespace qxOS {

AppOutput& AppOutput::s_instance = AppOutput::getInstance();

// Registered with the initializers; builds the file factory when the host
// runs them.
static FileFactoryInitializer s_fileFactoryInitializer;

}  // namespace qxOS
