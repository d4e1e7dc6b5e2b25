// The library's load-time objects, created here in one translation unit so
// that their order is the order of this file. Each is also reachable
// through a construct-on-first-use accessor, so a static constructor
// elsewhere that runs earlier still finds it built.
#include "Components/Base/Utility/qxThreadPool.h"
#include "Components/Base/Utility/qxThreadedTask.h"
#include "diagnostics/qxAppOutput.h"
#include "diagnostics/qxDebug.h"
#include "os/app/qxAppLocation.h"
#include "os/app/qxLocale.h"
#include "os/files/qxFileFactoryImpl.h"
#include "os/sys/qxSysApp.h"
#include "rtb/qxPointerSignals.h"
#include "tcp/qxTcpPrivate.h"

#include <cstdlib>
#include <ctime>

namespace qxOS {

namespace {

// First in, last out: the library's own module, recorded at load and
// forgotten at unload.
struct ModuleRecord {
    ModuleRecord() { qx::sys::recordModule(); }
    ~ModuleRecord() { qx::sys::forgetModule(); }
};
const ModuleRecord s_moduleRecord;

// The installation location, empty until set.
qxString::CString& s_storedLocation = storedAppLocation();

}  // namespace

}  // namespace qxOS

// The local host's addresses, and the empty cache of its name.
const qxString::IString& qxTCP::Address::localhost = qxTCP::loopbackText(false);
const qxString::IString& qxTCP::Address::localhostV6 = qxTCP::loopbackText(true);
static const bool s_hostNameCache = (qxTCP::touchHostNameCache(), true);

namespace qxOS {

AppOutput& AppOutput::s_instance = AppOutput::getInstance();

// The library's own debug channel, off until someone switches it on.
DebugChannel& DebugChannel::s_libraryChannel = DebugChannel::getLibraryChannel();

// Registered with the initializers; builds the file factory when the host
// runs them.
static FileFactoryInitializer s_fileFactoryInitializer;

// The process locale, made now so that it records the locale the process
// started with.
static Locale& s_appLocale = appLocale();

// The random names of temporary files and directories come from the C
// generator, seeded once when the library loads.
static const bool s_randomSeeded = (std::srand(static_cast<unsigned>(std::time(nullptr))), true);

// The performance counter's frequency, read once for every stopwatch.
static const long long s_counterFrequency = qx::sys::counterFrequency();

}  // namespace qxOS

namespace qxUtil {

// The process-wide pointer signals, destroyed again at unload.
static PointerSignal& s_pointerAcquireSignal = getPointerAcquireSignal();
static PointerSignal& s_pointerReleaseSignal = getPointerReleaseSignal();
static PointerSignal& s_pointerInitSignal = getPointerInitSignal();
static PointerSignal& s_pointerDeleteSignal = getPointerDeleteSignal();

// The built-in single-threaded engines, in place until the host installs
// its own.
static ThreadPool& s_singleThreadedPool = ThreadPool::getSingleThreadedPool();
static ThreadedTaskQueue& s_singleThreadedQueue = ThreadedTaskQueue::getSingleThreaded();

}  // namespace qxUtil
