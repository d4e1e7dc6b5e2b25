// qxOS::AppMain: the process's arguments, where the executable, this
// library and the installation's runtime and plug-in directories are, the
// search path for executables and the time since start. qxOS::SearchPath:
// an ordered list of existing directories searched for files.
#ifndef QXBASE_OS_APP_QXAPPMAIN_H
#define QXBASE_OS_APP_QXAPPMAIN_H

#include "containers/qxVector.h"
#include "diagnostics/qxStopWatch.h"
#include "qxDefs.h"
#include "string/qxString.h"

// <windows.h> makes SearchPath a macro for SearchPathA or SearchPathW. The
// class keeps its name when that header came first, and the aliases at the
// end keep code compiling when it comes later.
#undef SearchPath

namespace qxOS {

class QX_API SearchPath {
public:
    // Empty, separator '?' until initialised, acting like a shell.
    SearchPath();
    // Copies the directories, the separator and both flags; not the cache.
    SearchPath(const SearchPath& other);
    SearchPath& operator=(const SearchPath& other);

    // Splits dirs at the separator (empty pieces skipped) and adds each
    // piece that is an existing directory, after the entries already there.
    void initialize(const qxString::IString& dirs, qx::WChar separator);
    void initialize(const qxString::IString& dirs);  // separator ';'
    void initialize();                               // no directories, ';'
    bool initialized() const { return m_initialized; }

    // Append or prepend dir when it is an existing directory; no duplicate
    // check.
    bool addDirectoryToPath(const qxString::IString& dir);
    bool insertDirectoryInPath(const qxString::IString& dir);
    // Removes the first entry with exactly this text.
    bool removeDirectoryFromPath(const qxString::IString& dir);
    bool hasDirectory(const qxString::IString& dir) const;
    void clear();
    // clear, and acting like a shell again.
    void reset();

    // With this on (the default), a relative name with a directory part is
    // looked up from the current directory only, never along the path.
    void actLikeShell(bool on) { m_actLikeShell = on; }
    bool actLikeShell() const { return m_actLikeShell; }

    // The directories joined with the separator.
    const qxString::IString& getDirectories() const;
    const qx::vector<qxString::IString>& directories() const { return m_directories; }

    // The full name found (empty when none): an absolute name as it is, a
    // name with a directory part from the current directory (acting like a
    // shell), otherwise the first directory holding it.
    void findFile(qxString::IString& result, const qxString::IString& name) const;
    qxString::IString findFile(const qxString::IString& name) const;
    // The directory of findFile's answer, or empty.
    qxString::IString findDirectory(const qxString::IString& name) const;

private:
    qx::vector<qxString::IString> m_directories;
    mutable qxString::IString m_joined;
    qx::WChar m_separator;
    bool m_actLikeShell;
    bool m_initialized;
};

using SearchPathA = SearchPath;
using SearchPathW = SearchPath;

// One per process, created on the first getInstance (its clock starts then)
// and destroyed at exit. Locations are computed on first use and kept,
// except the application name and the build root, which are recomputed on
// every call. Meant for the main thread.
class QX_API AppMain {
public:
    static AppMain& getInstance();

    // The arrays are stored, not copied: they must outlive this object's
    // use of them (main's own arguments do).
    void initialize(int argc, const char* const* argv, const char* const* envp);
    void initialize(int argc, const wchar_t* const* argv, const wchar_t* const* envp);
    // Before initialize.
    bool preMain() const { return m_argc == -1; }

    // The first argc arguments (8-bit ones converted from the locale's
    // encoding); empty before initialize.
    void getArgs(qx::vector<qxString::IString>& args);

    // File name of the executable, ".exe" appended when its suffix is not
    // exactly "exe".
    const qxString::IString& getAppName();
    // Directory of the executable.
    const qxString::IString& getAppLocation();
    // Directory of this library's file.
    const qxString::IString& getBaseLocation();
    // Parent of the base location (the argument is not used).
    const qxString::IString& getRuntimeDirectory(const char* ignored = nullptr);
    // Parent of the runtime directory; whether it is not empty.
    bool getBuildRootDirectory(qxString::IString& dir);
    // Appends the existing plug-in directories that dirs does not hold yet.
    void getPluginDirectories(qx::vector<qxString::IString>& dirs);

    // The search path for executables, filled from PATH on first use.
    bool addDirectoryToPath(qxString::IString& dir);
    bool removeDirectoryFromPath(qxString::IString& dir);
    // The directory in which name was found, or empty.
    qxString::IString searchPathFor(qxString::IString& name);
    const SearchPath& searchPath();

    // Seconds since this object was created.
    double getElapsed() const { return m_clock.check(); }

    AppMain(const AppMain&) = delete;
    AppMain& operator=(const AppMain&) = delete;

private:
    AppMain();
    ~AppMain();
    void preparePath();

    int m_argc;
    const char* const* m_argv;
    const char* const* m_envp;
    const wchar_t* const* m_wargv;
    const wchar_t* const* m_wenvp;
    qxString::IString m_appName;
    qxString::IString m_appLocation;
    qxString::IString m_baseLocation;
    qxString::IString m_runtimeDirectory;
    qxString::IString m_buildRootDirectory;
    SearchPath m_path;
    StopWatch m_clock;
};

}  // namespace qxOS

#endif
