// The library's load-time objects, created here in one translation unit so
// that their order is the order of this file. Each is also reachable
// through a construct-on-first-use accessor, so a static constructor
// elsewhere that runs earlier still finds it built.
#include "diagnostics/qxAppOutput.h"
#include "os/files/qxFileFactoryImpl.h"

#include <cstdlib>
#include <ctime>

namespace qxOS {

AppOutput& AppOutput::s_instance = AppOutput::getInstance();

// Registered with the initializers; builds the file factory when the host
// runs them.
static FileFactoryInitializer s_fileFactoryInitializer;

// The random names of temporary files and directories come from the C
// generator, seeded once when the library loads.
static const bool s_randomSeeded = (std::srand(static_cast<unsigned>(std::time(nullptr))), true);

}  // namespace qxOS
