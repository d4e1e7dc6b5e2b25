#include "os/app/qxAppMain.h"

#include "Components/Base/Utility/qxTextUtil.h"
#include "os/files/qxFile.h"
#include "os/files/qxFilename.h"
#include "os/sys/qxSysApp.h"

namespace qxOS {

using qxString::IString;

namespace {

void takeText(void* ctx, const qx::WChar* text, size_t units) {
    static_cast<IString*>(ctx)->assign(text, static_cast<int>(units));
}

bool isExistingDirectory(const IString& dir) {
    FileStatus status;
    File::query(dir, status);
    return status.exists() && status.isDirectory();
}

bool exists(const IString& name) {
    FileStatus status;
    File::query(name, status);
    return status.exists();
}

IString dirnameOf(const IString& path) {
    return Filename(path).dirname();
}

// A wide argument as the library's UTF-16: as it is where wchar_t has 16
// bits, otherwise each code point above U+FFFF becomes a surrogate pair.
IString fromWide(const wchar_t* s) {
    if (!s) return IString();
    if (sizeof(wchar_t) == sizeof(qx::WChar)) return IString(reinterpret_cast<const qx::WChar*>(s));
    IString out;
    for (; *s; ++s) {
        const unsigned long c = static_cast<unsigned long>(*s);
        if (c >= 0x10000 && c <= 0x10FFFF) {
            out += static_cast<qx::WChar>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<qx::WChar>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<qx::WChar>(c > 0x10FFFF ? 0xFFFD : c);
        }
    }
    return out;
}

}  // namespace

// SearchPath

SearchPath::SearchPath() : m_separator('?'), m_actLikeShell(true), m_initialized(false) {}

SearchPath::SearchPath(const SearchPath& other)
    : m_directories(other.m_directories),
      m_separator(other.m_separator),
      m_actLikeShell(other.m_actLikeShell),
      m_initialized(other.m_initialized) {}

SearchPath& SearchPath::operator=(const SearchPath& other) {
    if (this != &other) {
        m_directories = other.m_directories;
        m_joined.clear();
        m_separator = other.m_separator;
        m_actLikeShell = other.m_actLikeShell;
        m_initialized = other.m_initialized;
    }
    return *this;
}

void SearchPath::initialize(const IString& dirs, qx::WChar separator) {
    m_separator = separator;
    m_initialized = true;
    const qx::vector<IString> pieces = qxUtil::split(dirs, separator, true, false);
    for (const IString& dir : pieces) addDirectoryToPath(dir);
}

void SearchPath::initialize(const IString& dirs) {
    initialize(dirs, ';');
}

void SearchPath::initialize() {
    initialize(IString(), ';');
}

bool SearchPath::addDirectoryToPath(const IString& dir) {
    m_joined.clear();
    if (!isExistingDirectory(dir)) return false;
    m_directories.push_back(dir);
    return true;
}

bool SearchPath::insertDirectoryInPath(const IString& dir) {
    m_joined.clear();
    if (!isExistingDirectory(dir)) return false;
    m_directories.insert(m_directories.begin(), dir);
    return true;
}

bool SearchPath::removeDirectoryFromPath(const IString& dir) {
    m_joined.clear();
    for (auto it = m_directories.begin(); it != m_directories.end(); ++it)
        if (qxString::equal(*it, dir)) {
            m_directories.erase(it);
            return true;
        }
    return false;
}

bool SearchPath::hasDirectory(const IString& dir) const {
    for (const IString& d : m_directories)
        if (qxString::equal(d, dir)) return true;
    return false;
}

void SearchPath::clear() {
    m_directories.clear();
    m_joined.clear();
}

void SearchPath::reset() {
    clear();
    m_actLikeShell = true;
}

const IString& SearchPath::getDirectories() const {
    if (m_joined.isEmpty())
        for (int i = 0; i < m_directories.size(); ++i) {
            if (i) m_joined += m_separator;
            m_joined += m_directories[i];
        }
    return m_joined;
}

// Existence only: the query's own error is not looked at.
void SearchPath::findFile(IString& result, const IString& name) const {
    result.clear();
    const Filename file(name);
    if (file.isAbsolute() || (m_actLikeShell && !file.dirname().isEmpty())) {
        if (exists(name)) result = name;
        return;
    }
    for (const IString& dir : m_directories) {
        IString full = Filename::join(dir, name);
        if (exists(full)) {
            result = full;
            return;
        }
    }
}

IString SearchPath::findFile(const IString& name) const {
    IString result;
    findFile(result, name);
    return result;
}

IString SearchPath::findDirectory(const IString& name) const {
    IString found = findFile(name);
    return found.isEmpty() ? found : dirnameOf(found);
}

// AppMain

AppMain& AppMain::getInstance() {
    static AppMain instance;
    return instance;
}

AppMain::AppMain()
    : m_argc(-1), m_argv(nullptr), m_envp(nullptr), m_wargv(nullptr), m_wenvp(nullptr) {
    m_clock.start();
}

AppMain::~AppMain() = default;

void AppMain::initialize(int argc, const char* const* argv, const char* const* envp) {
    m_argc = argc;
    m_argv = argv;
    m_envp = envp;
}

void AppMain::initialize(int argc, const wchar_t* const* argv, const wchar_t* const* envp) {
    m_argc = argc;
    m_wargv = argv;
    m_wenvp = envp;
}

void AppMain::getArgs(qx::vector<IString>& args) {
    args.clear();
    if (m_argv) {
        for (int i = 0; i < m_argc; ++i)
            args.push_back(m_argv[i] ? IString(m_argv[i], qxString::EncodingMultibyte) : IString());
    } else if (m_wargv) {
        for (int i = 0; i < m_argc; ++i) args.push_back(fromWide(m_wargv[i]));
    }
}

// The suffix test is exact: "TOOL.EXE" becomes "TOOL.EXE.exe".
const IString& AppMain::getAppName() {
    IString full;
    if (!qx::sys::executablePath(takeText, &full)) full.clear();
    const Filename file(full);
    m_appName = file.basename();
    if (!m_appName.isEmpty() && !qxString::equal(file.baseSuffix(), IString(QX_W("exe"))))
        m_appName += IString(QX_W(".exe"));
    return m_appName;
}

const IString& AppMain::getAppLocation() {
    if (m_appLocation.isEmpty() && !getAppName().isEmpty()) {
        IString full;
        if (qx::sys::executablePath(takeText, &full)) m_appLocation = dirnameOf(full);
    }
    return m_appLocation;
}

const IString& AppMain::getBaseLocation() {
    if (m_baseLocation.isEmpty()) {
        IString full;
        if (qx::sys::libraryPath(takeText, &full)) m_baseLocation = dirnameOf(full);
    }
    return m_baseLocation;
}

const IString& AppMain::getRuntimeDirectory(const char*) {
    if (m_runtimeDirectory.isEmpty()) {
        const IString& base = getBaseLocation();
        if (!base.isEmpty()) m_runtimeDirectory = dirnameOf(base);
    }
    return m_runtimeDirectory;
}

bool AppMain::getBuildRootDirectory(IString& dir) {
    const IString& runtime = getRuntimeDirectory();
    m_buildRootDirectory = runtime.isEmpty() ? IString() : dirnameOf(runtime);
    dir = m_buildRootDirectory;
    return !dir.isEmpty();
}

void AppMain::getPluginDirectories(qx::vector<IString>& dirs) {
    const IString app = getAppLocation();
    const IString base = getBaseLocation();
    const IString runtime = getRuntimeDirectory();
    const IString plugins(QX_W("plug-ins"));
    const IString bin(QX_W("bin"));
    auto consider = [&dirs](const IString& candidate) {
        if (!isExistingDirectory(candidate)) return;
        for (const IString& d : dirs)
            if (qxString::equal(d, candidate)) return;
        dirs.push_back(candidate);
    };
    consider(Filename::join(base, plugins));
    if (!qxString::equal(app, base)) consider(Filename::join(app, plugins));
    consider(Filename::join(runtime, bin, plugins));
    consider(Filename::join(runtime, plugins));
    consider(Filename::join(runtime.isEmpty() ? IString() : dirnameOf(runtime), bin, plugins));
}

// PATH is a list in the platform's own form (':' between entries on
// POSIX); its entries take the Windows shape that every path has here, and
// the path keeps the platform's separator for getDirectories.
void AppMain::preparePath() {
    if (m_path.initialized()) return;
    IString value;
    if (!qx::sys::getEnv(QX_W("PATH"), takeText, &value)) value.clear();
    for (unsigned i = 0; i < value.length(); ++i)
        if (value[i] == '/') value[i] = '\\';
    m_path.initialize(value, qx::sys::listSeparator());
}

bool AppMain::addDirectoryToPath(IString& dir) {
    preparePath();
    return m_path.addDirectoryToPath(dir);
}

bool AppMain::removeDirectoryFromPath(IString& dir) {
    preparePath();
    return m_path.removeDirectoryFromPath(dir);
}

IString AppMain::searchPathFor(IString& name) {
    preparePath();
    return m_path.findDirectory(name);
}

const SearchPath& AppMain::searchPath() {
    preparePath();
    return m_path;
}

}  // namespace qxOS
