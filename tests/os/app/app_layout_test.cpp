// The application's locations from an installed layout X\bin\app.exe with
// the library in X\lib, given to the location code as the module paths.
// Its own program: locations are computed once per process.
#include "scratch_dir.h"
#include "os/app/qxAppEnvironment.h"
#include "os/app/qxAppMain.h"
#include "os/files/qxFilename.h"
#include "os/sys/qxSysApp.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qxString::IString;

std::string u8(const IString& s) {
    return s.asUTF8();
}

std::vector<std::string> texts(const qx::vector<IString>& v) {
    std::vector<std::string> out;
    for (const IString& s : v) out.push_back(u8(s));
    return out;
}

std::string env(const char* name) {
    const char* v = qx::sys::getEnv8(name);
    return v ? v : "<unset>";
}

class Layout : public ScratchDir {
protected:
    void SetUp() override {
        ScratchDir::SetUp();
        for (const char* d : {"X/bin/plug-ins", "X/lib/plug-ins", "X/plug-ins", "bin/plug-ins"})
            fs::create_directories(dir_ / d);
        write("X/bin/app.exe", "");
        qx::sys::overrideModulePaths(windows("X/bin/app.exe").asWChar(),
                                     windows("X/lib/qxbase.dll").asWChar());
    }
    void TearDown() override {
        qx::sys::overrideModulePaths(nullptr, nullptr);
        ScratchDir::TearDown();
    }
    std::string win(const std::string& rel) const { return u8(windows(rel)); }
};

TEST_F(Layout, AppMainLocations) {
    qxOS::AppMain& app = qxOS::AppMain::getInstance();
    EXPECT_TRUE(app.preMain());
    qx::vector<IString> args;
    app.getArgs(args);
    EXPECT_EQ(args.size(), 0);

    EXPECT_EQ(u8(app.getAppLocation()), win("X/bin"));
    EXPECT_EQ(u8(app.getBaseLocation()), win("X/lib"));
    EXPECT_EQ(u8(app.getRuntimeDirectory()), win("X"));
    IString root;
    EXPECT_TRUE(app.getBuildRootDirectory(root));
    EXPECT_EQ(u8(root), u8(qxOS::Filename(windows("X")).dirname()));

    // Candidates in order; X\bin\plug-ins comes once although it is both the
    // application's and the runtime's bin; entries already there stay.
    qx::vector<IString> dirs;
    dirs.push_back(windows("X/plug-ins"));
    app.getPluginDirectories(dirs);
    EXPECT_EQ(texts(dirs), (std::vector<std::string>{win("X/plug-ins"), win("X/lib/plug-ins"),
                                                     win("X/bin/plug-ins"), win("bin/plug-ins")}));

    // The name is read again on every call; its suffix test is exact.
    EXPECT_EQ(u8(app.getAppName()), "app.exe");
    qx::sys::overrideModulePaths(windows("X/bin/TOOL.EXE").asWChar(), nullptr);
    EXPECT_EQ(u8(app.getAppName()), "TOOL.EXE.exe");
    qx::sys::overrideModulePaths(windows("X/bin/tool").asWChar(), nullptr);
    EXPECT_EQ(u8(app.getAppName()), "tool.exe");
    EXPECT_EQ(u8(app.getAppLocation()), win("X/bin"));  // kept

    const char* argv[] = {"prog", "-x", "caf\xc3\xa9", nullptr};
    app.initialize(2, argv, nullptr);
    EXPECT_FALSE(app.preMain());
    app.getArgs(args);
    EXPECT_EQ(texts(args), (std::vector<std::string>{"prog", "-x"}));
    EXPECT_GE(app.getElapsed(), 0.0);
}

TEST_F(Layout, EntryPoints) {
    const std::string x = win("X");
    qx::sys::setEnv8("OSTREL_LOCATION", "Y");
    EXPECT_STREQ(APP_getPath(true), "Y");
    // The first stored-location call computes it and overwrites the variable.
    EXPECT_EQ(APP_getPath(false), x);
    EXPECT_EQ(env("OSTREL_LOCATION"), x);
    qx::sys::setEnv8("OSTREL_LOCATION", nullptr);
    EXPECT_EQ(APP_getPath(true), x);
    EXPECT_EQ(env("OSTREL_LOCATION"), x);

    EXPECT_EQ(APP_getBinariesPath(), win("X/bin"));
    EXPECT_EQ(APP_getBinariesPath32Bit(), win("X/bin/ia32"));
    EXPECT_EQ(APP_getPluginsPath(), win("X/Vorn/OpenOstrel/plugins"));
    EXPECT_EQ(std::string(APP_getBinaryPath("tool.exe").c_str()), win("X/bin/tool.exe"));
    // Derived paths stay as first computed; the location itself follows the
    // variable.
    qx::sys::setEnv8("OSTREL_LOCATION", "Z");
    EXPECT_EQ(APP_getBinariesPath(), win("X/bin"));
    EXPECT_STREQ(APP_getResourcePath(), "Z");
    EXPECT_EQ(APP_getPath(false), x);
    APP_setPath(qxString::CString("W"));
    EXPECT_STREQ(APP_getPath(false), "W");
    qx::sys::setEnv8("OSTREL_LOCATION", nullptr);
}

TEST_F(Layout, SearchPathFromEnvironment) {
    // PATH in the platform's own form, as a user's shell sets it.
    const std::string old = env("PATH");
    const std::string sep(1, static_cast<char>(qx::sys::listSeparator()));
    qx::sys::setEnv8("PATH", ((dir_ / "X" / "lib").string() + sep + sep + (dir_ / "none").string() +
                              sep + (dir_ / "X" / "bin").string())
                                 .c_str());
    qxOS::AppMain& app = qxOS::AppMain::getInstance();
    IString name("app.exe");
    EXPECT_EQ(u8(app.searchPathFor(name)), win("X/bin"));
    EXPECT_EQ(u8(app.searchPath().getDirectories()), win("X/lib") + sep + win("X/bin"));
    IString lib = windows("X/lib");
    EXPECT_TRUE(app.removeDirectoryFromPath(lib));
    EXPECT_FALSE(app.removeDirectoryFromPath(lib));
    EXPECT_TRUE(app.addDirectoryToPath(lib));
    EXPECT_EQ(u8(app.searchPath().getDirectories()), win("X/bin") + sep + win("X/lib"));
    qx::sys::setEnv8("PATH", old == "<unset>" ? nullptr : old.c_str());
}

}  // namespace
