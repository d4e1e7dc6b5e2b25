// The environment helpers, the search path, the temporary directory and
// program name entry points, byte order and the heap switch.
#include "env_var.h"
#include "scratch_dir.h"
#include "os/app/qxAppEnvironment.h"
#include "os/app/qxAppMain.h"
#include "os/files/qxFilename.h"
#include "os/sys/qxSysApp.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using qxString::IString;

std::string u8(const IString& s) {
    return s.asUTF8();
}

TEST(GetEnv, AllForms) {
    EnvVar v("QX_TEST_VAR", nullptr);
    const IString name("QX_TEST_VAR");
    int n = 0;
    bool flag = true;
    IString text("x");
    EXPECT_FALSE(qxOS::GetEnv(name));
    EXPECT_FALSE(qxOS::GetEnv(name, n, 7));
    EXPECT_EQ(n, 7);
    EXPECT_FALSE(qxOS::GetEnv(name, flag, false));
    EXPECT_FALSE(flag);
    EXPECT_FALSE(qxOS::GetEnv(name, text));
    EXPECT_TRUE(text.isEmpty());

    // An empty value counts as set (Windows removes a variable set empty
    // through the runtime, so only POSIX can hold one).
    if (qx::sys::listSeparator() == ':') {
        v.set("");
        EXPECT_TRUE(qxOS::GetEnvExists(name));
        EXPECT_TRUE(qxOS::GetEnv(name, flag, true));
        EXPECT_FALSE(flag);
    }
    v.set("abc");
    EXPECT_TRUE(qxOS::GetEnv(name, n, 7));
    EXPECT_EQ(n, 0);
    v.set("42x");
    EXPECT_TRUE(qxOS::GetEnv(name, n, 7));
    EXPECT_EQ(n, 42);

    for (const char* yes : {"  Yes ", "1", "TRUE", "t", "on"}) {
        v.set(yes);
        flag = false;
        EXPECT_TRUE(qxOS::GetEnv(name, flag, false)) << yes;
        EXPECT_TRUE(flag) << yes;
    }
    for (const char* no : {"y", "2", "off", "yess"}) {
        v.set(no);
        flag = true;
        EXPECT_TRUE(qxOS::GetEnv(name, flag, true)) << no;
        EXPECT_FALSE(flag) << no;
    }

    const IString wide(QX_W("d\u00e9j\u00e0 \u4e2d"));
    ASSERT_TRUE(qxOS::SetEnv(name, &wide));
    EXPECT_TRUE(qxOS::GetEnv(name, text));
    EXPECT_EQ(u8(text), u8(wide));
    ASSERT_TRUE(qxOS::SetEnv(name, nullptr));
    EXPECT_FALSE(qxOS::GetEnv(name));
    const IString value("v");
    EXPECT_FALSE(qxOS::SetEnv(IString("A=B"), &value));
    EXPECT_FALSE(qxOS::SetEnv(IString(), &value));
}

// Bytes that are not UTF-8 are no text here: the variable reads as unset
// rather than as replacement characters.
TEST(GetEnv, InvalidUtf8IsNotSet) {
    if (qx::sys::listSeparator() != ':') GTEST_SKIP() << "the environment is UTF-16 here";
    EnvVar v("QX_TEST_BAD", "ok\xff");
    IString text("x");
    EXPECT_FALSE(qxOS::GetEnv(IString("QX_TEST_BAD"), text));
    EXPECT_TRUE(text.isEmpty());
}

// A variable set here reaches a child process: the child is this test
// program, asked to run only the test below.
TEST(GetEnv, ChildSeesVariable) {
    IString self;
    ASSERT_TRUE(qx::sys::executablePath(
        [](void* ctx, const qx::WChar* t, size_t n) {
            static_cast<IString*>(ctx)->assign(t, static_cast<int>(n));
        },
        &self));
    const IString value(QX_W("from parent"));
    ASSERT_TRUE(qxOS::SetEnv(IString("QX_TEST_CHILD"), &value));
    const std::string command = "\"" + u8(qxOS::Filename(self).nativeName()) +
                                "\" --gtest_filter=GetEnv.ChildSide";
    const int rc = std::system(command.c_str());
    qxOS::SetEnv(IString("QX_TEST_CHILD"), nullptr);
    EXPECT_EQ(rc, 0);
}

TEST(GetEnv, ChildSide) {
    IString text;
    if (!qxOS::GetEnv(IString("QX_TEST_CHILD"), text)) GTEST_SKIP() << "run by ChildSeesVariable";
    EXPECT_EQ(u8(text), "from parent");
}

TEST(AppEntryPoints, TempPath) {
    EnvVar a("OSTREL_TEMP_DIRECTORY", nullptr), b("TMPDIR", nullptr), c("TEMP", nullptr),
        d("TMP", nullptr), e("SystemRoot", nullptr);
    EXPECT_STREQ(APP_getTempPath(), "\\temp");
    e.set("C:\\Windows");
    EXPECT_STREQ(APP_getTempPath(), "C:\\temp");
    d.set("tmp-dir");
    EXPECT_STREQ(APP_getTempPath(), "tmp-dir");
    c.set("temp-dir");
    EXPECT_STREQ(APP_getTempPath(), "temp-dir");
    a.set("ostrel-dir");
    EXPECT_STREQ(APP_getTempPath(), "ostrel-dir");
}

TEST(AppEntryPoints, ProgramName) {
    APP_setProgramName(nullptr);
    EXPECT_FALSE(APP_isProgramNameDefined());
    EXPECT_STREQ(APP_getProgramName(), "Application");
    APP_setProgramName("C:\\dir\\tool.exe");
    EXPECT_STREQ(APP_getProgramName(), "tool.exe");
    APP_setProgramName("a/b");
    EXPECT_STREQ(APP_getProgramName(), "a/b");
    EXPECT_TRUE(APP_isProgramNameDefined());
    const std::string longName(2000, 'n');
    APP_setProgramName(("x\\" + longName).c_str());
    EXPECT_EQ(std::string(APP_getProgramName()), longName.substr(0, 1023));
    APP_setProgramName(nullptr);
}

TEST(AppEntryPoints, HeapSwitch) {
    // Wine and Windows have the heap; POSIX has nothing to switch.
    EXPECT_EQ(qxOS::useWindowsLowFragmentationHeap().num(), 0);
    // The variable is read on the first call only; the notice comes every
    // time.
    std::fflush(stdout);
    EnvVar off("OSTREL_DISABLE_LFH", "");
    if (!qx::sys::getEnv8("OSTREL_DISABLE_LFH")) off.set("0");  // Windows drops empty values
    APP_setProgramName("lfh");
    testing::internal::CaptureStdout();
    setupLowFragmentationHeap();
    off.set(nullptr);
    setupLowFragmentationHeap();
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "lfh: Explicitly disabling Windows Low Fragmentation Heap\n"
              "lfh: Explicitly disabling Windows Low Fragmentation Heap\n");
    APP_setProgramName(nullptr);
}

// Wide arguments become UTF-16, also where wchar_t has 32 bits.
TEST(AppMainArgs, Wide) {
    qxOS::AppMain& app = qxOS::AppMain::getInstance();
    const wchar_t* argv[] = {L"prog", L"caf\u00e9 \U0001F600", L"unused", nullptr};
    app.initialize(2, argv, nullptr);
    EXPECT_FALSE(app.preMain());
    qx::vector<IString> args;
    app.getArgs(args);
    ASSERT_EQ(args.size(), 2);
    EXPECT_EQ(u8(args[0]), "prog");
    EXPECT_EQ(u8(args[1]), "caf\xc3\xa9 \xf0\x9f\x98\x80");
    EXPECT_EQ(args[1].length(), 7u);
}

TEST(ByteOrder, Swap) {
    EXPECT_EQ(qxOS::getBytesex(), 0);
    EXPECT_EQ(qxOS::swap(static_cast<short>(0x1234)), 0x3412);
    EXPECT_EQ(static_cast<unsigned>(qxOS::swap(0x12345678)), 0x78563412u);
    EXPECT_EQ(qxOS::swap(qxOS::swap(1.5)), 1.5);
    EXPECT_EQ(qxOS::swap(qxOS::swap(-2.25f)), -2.25f);
    EXPECT_EQ(qxOS::swap(qxOS::swap(-123456789L)), -123456789L);
    int values[3] = {1, 2, 0x01000000};
    qxOS::swap(values, 3);
    EXPECT_EQ(values[0], 0x01000000);
    EXPECT_EQ(values[1], 0x02000000);
    EXPECT_EQ(values[2], 1);
    qxOS::swap(values, 0);
    EXPECT_EQ(values[0], 0x01000000);
    qxOS::swapLittle(values, 3);
    EXPECT_EQ(values[2], 1);
    EXPECT_EQ(qxOS::swapLittle(7), 7);
}

class SearchPathTest : public ScratchDir {
protected:
    void SetUp() override {
        ScratchDir::SetUp();
        for (const char* d : {"a", "b", "a/sub", "b/sub"}) std::filesystem::create_directories(dir_ / d);
        write("b/tool.exe", "b");
        write("a/sub/tool.exe", "a");
        write("b/sub/tool.exe", "b");
    }
};

TEST_F(SearchPathTest, EditingAndJoining) {
    qxOS::SearchPath path;
    EXPECT_FALSE(path.initialized());
    const IString a = windows("a"), b = windows("b"), missing = windows("missing");
    path.initialize(a + IString(QX_W(";;")) + missing + IString(QX_W(";")) + b);
    EXPECT_TRUE(path.initialized());
    EXPECT_EQ(u8(path.getDirectories()), u8(a + IString(QX_W(";")) + b));
    EXPECT_FALSE(path.addDirectoryToPath(missing));
    EXPECT_FALSE(path.addDirectoryToPath(windows("b/tool.exe")));
    EXPECT_TRUE(path.insertDirectoryInPath(b));
    EXPECT_EQ(u8(path.getDirectories()), u8(b + IString(QX_W(";")) + a + IString(QX_W(";")) + b));
    // Only the first of two equal entries goes.
    EXPECT_TRUE(path.removeDirectoryFromPath(b));
    EXPECT_EQ(u8(path.getDirectories()), u8(a + IString(QX_W(";")) + b));
    EXPECT_TRUE(path.hasDirectory(b));
    EXPECT_FALSE(path.removeDirectoryFromPath(missing));

    qxOS::SearchPath other;
    other.initialize(b, '|');
    EXPECT_EQ(u8(other.getDirectories()), u8(b));
    other.addDirectoryToPath(a);
    EXPECT_EQ(u8(other.getDirectories()), u8(b + IString(QX_W("|")) + a));
    other = path;
    EXPECT_EQ(u8(other.getDirectories()), u8(a + IString(QX_W(";")) + b));

    path.actLikeShell(false);
    path.reset();
    EXPECT_TRUE(path.actLikeShell());
    EXPECT_TRUE(path.initialized());
    EXPECT_TRUE(path.getDirectories().isEmpty());
}

TEST_F(SearchPathTest, FindFile) {
    qxOS::SearchPath path;
    path.initialize(windows("a") + IString(QX_W(";")) + windows("b"));
    EXPECT_EQ(u8(path.findFile(IString("tool.exe"))), u8(windows("b/tool.exe")));
    EXPECT_EQ(u8(path.findDirectory(IString("tool.exe"))), u8(windows("b")));
    EXPECT_TRUE(path.findFile(IString("none.exe")).isEmpty());
    EXPECT_TRUE(path.findDirectory(IString("none.exe")).isEmpty());
    // An absolute name is looked at where it is, never along the path.
    EXPECT_EQ(u8(path.findFile(windows("b/tool.exe"))), u8(windows("b/tool.exe")));
    EXPECT_TRUE(path.findFile(windows("tool.exe")).isEmpty());

    // A name with a directory part: from the current directory only, as a
    // shell does, unless told otherwise.
    const IString sub(QX_W("sub\\tool.exe"));
    EXPECT_TRUE(path.findFile(sub).isEmpty());
    std::filesystem::current_path(dir_ / "b");
    EXPECT_EQ(u8(path.findFile(sub)), u8(sub));
    std::filesystem::current_path(dir_);
    path.actLikeShell(false);
    IString found("stale");
    path.findFile(found, sub);
    EXPECT_EQ(u8(found), u8(qxOS::Filename::join(windows("a"), sub)));
}

}  // namespace
