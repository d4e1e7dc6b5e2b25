// Starting programs: finding them on PATH, arguments and working directory
// as the child sees them, exit codes, shared streams, descriptors, and a
// waiting caller that dies taking its child along.
#include "env_var.h"
#include "scratch_dir.h"
#include "os/app/qxProcess.h"
#include "os/sys/qxSysApp.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#    include <fcntl.h>
#    include <signal.h>
#    include <sys/wait.h>
#    include <unistd.h>
#endif

namespace {

namespace fs = std::filesystem;
using qxOS::ProcessManager;
using qxString::IString;

IString text(const std::string& s) {
    return IString(s.c_str(), qxString::EncodingUTF8);
}

// A path as the library takes it: native on Linux; under Wine a host path
// goes through drive Z:.
IString shaped(const fs::path& p) {
    std::string s = p.u8string();
#ifdef _WIN32
    for (char& c : s)
        if (c == '/') c = '\\';
    if (!s.empty() && s[0] == '\\') s = "Z:" + s;  // the host's root under Wine
#endif
    return text(s);
}

const fs::path kHelper = QX_PROC_HELPER;

qx::vector<IString> args(std::initializer_list<std::string> words) {
    qx::vector<IString> v;
    for (const std::string& w : words) v.push_back(text(w));
    return v;
}

class Process : public ScratchDir {
protected:
    ProcessManager& pm = ProcessManager::getInstance();
    IString helper = shaped(kHelper);

    // The helper program with these arguments.
    qx::vector<IString> helperArgs(std::initializer_list<std::string> words) {
        qx::vector<IString> a = args(words);
        a.insert(a.begin(), helper);
        return a;
    }
};

TEST_F(Process, NothingToStart) {
    const auto r = pm.startSync(qx::vector<IString>(), qxOS::Filename());
    EXPECT_EQ(r.first, 0);
    EXPECT_EQ(r.second.num(), 2);
    EXPECT_STREQ(r.second.message(), "no executable specified");
    EXPECT_STREQ(pm.startAsync(qx::vector<IString>(), qxOS::Filename()).message(),
                 "no executable specified");
    ProcessManager* other = qxOS::createProcessManager();
    EXPECT_FALSE(ProcessManager::setInstance(other));
    delete other;
    EXPECT_EQ(&ProcessManager::getInstance(), &pm);
}

TEST_F(Process, ExitCodesComeBack) {
    std::vector<long> codes = {0, 1, 255};
#ifdef _WIN32
    codes.push_back(70000);
#endif
    for (long code : codes) {
        const auto r = pm.startSync(helperArgs({"exit", std::to_string(code)}), qxOS::Filename());
        EXPECT_FALSE(r.second) << r.second.message();
        EXPECT_EQ(r.first, code);
    }
    // The 8-bit form.
    qx::vector<qxString::CString> narrow;
    narrow.push_back(qxString::CString(helper.asUTF8()));
    narrow.push_back("exit");
    narrow.push_back("9");
    EXPECT_EQ(pm.startSync(narrow, qxOS::Filename()).first, 9);
}

TEST_F(Process, ArgumentsAndDirectoryArriveAsGiven) {
    fs::create_directory(dir_ / "work dir");
    std::vector<std::string> given = {"plain", "a b", "a b\\", "two\\\\", "x\\y z",
                                      "na\xc3\xafve \xe2\x98\x83", "\"already quoted\""};
#ifndef _WIN32
    given.push_back("say \"hi\" there");  // passed as it is: no command line here
    given.push_back("");
#endif
    qx::vector<IString> a = helperArgs({"echo", (dir_ / "echo.txt").u8string()});
    for (const std::string& g : given) a.push_back(text(g));
    const auto r = pm.startSync(a, qxOS::Filename(shaped(dir_ / "work dir")));
    ASSERT_FALSE(r.second) << r.second.message();
    ASSERT_EQ(r.first, 0);

    std::istringstream in(read("echo.txt"));
    std::string line;
    std::getline(in, line);
    EXPECT_EQ(fs::path(line), fs::path(dir_ / "work dir").make_preferred()) << line;
    std::getline(in, line);  // the program
    for (std::string g : given) {
#ifdef _WIN32
        // An argument that begins with a double quote goes as it is, and the
        // child's runtime takes the quotes off.
        if (g[0] == '"') g = g.substr(1, g.size() - 2);
#endif
        ASSERT_TRUE(std::getline(in, line));
        EXPECT_EQ(line, std::to_string(g.size()) + ":" + g);
    }
}

TEST_F(Process, FoundOnThePathInOrder) {
    fs::create_directories(dir_ / "one");
    fs::create_directories(dir_ / "two");
    fs::copy_file(kHelper, dir_ / "two" / "tool.exe");
    const std::string sep(1, static_cast<char>(qx::sys::listSeparator()));
    // The helper's own directory and the old PATH last: on Windows its
    // copies find their libraries through PATH.
    const char* old = qx::sys::getEnv8("PATH");
    const std::string path = (dir_ / "one").u8string() + sep + (dir_ / "two").u8string() + sep +
                             std::string(shaped(kHelper.parent_path()).asUTF8()) + sep +
                             (old ? old : "");
    EnvVar env("PATH", path.c_str());
    auto where = [&] {
        const auto r = pm.startSync(args({"tool", "echo", (dir_ / "e.txt").u8string()}),
                                    qxOS::Filename());
        EXPECT_FALSE(r.second) << r.second.message();
        std::istringstream in(read("e.txt"));
        std::string cwd, program;
        std::getline(in, cwd);
        std::getline(in, program);
        return program;
    };
    EXPECT_NE(where().find("two"), std::string::npos) << "tool.exe in the second entry";
    fs::copy_file(kHelper, dir_ / "one" / "tool");
    EXPECT_NE(where().find("one"), std::string::npos) << "the first entry's tool wins";

    const auto missing = pm.startSync(args({"nosuchtool"}), qxOS::Filename());
    EXPECT_EQ(missing.second.num(), 3);
    EXPECT_STREQ(missing.second.message(), "nosuchtool: program not found.");
    env.set(sep.c_str());
    EXPECT_STREQ(pm.startSync(args({"tool"}), qxOS::Filename()).second.message(),
                 "PATH environment variable is empty.");
    env.set("");
    EXPECT_STREQ(pm.startSync(args({"tool"}), qxOS::Filename()).second.message(),
                 "PATH environment variable not set.");
    env.set(nullptr);
    EXPECT_STREQ(pm.startAsync(args({"tool"}), qxOS::Filename()).message(),
                 "PATH environment variable not set.");
}

// A file that exists but is no program: an error, never a child that fails.
TEST_F(Process, NotAProgramIsAnError) {
    write("fake.exe", "this is text, not a program\n");
#ifndef _WIN32
    fs::permissions(dir_ / "fake.exe", fs::perms::owner_all);
#endif
    const auto r = pm.startSync(qx::vector<IString>{windows("fake.exe")}, qxOS::Filename());
    EXPECT_EQ(r.second.num(), 1);
    EXPECT_EQ(std::string(r.second.message()).rfind("CreateProcess() failed: ", 0), 0u)
        << r.second.message();
    EXPECT_EQ(pm.startAsync(qx::vector<IString>{windows("fake.exe")}, qxOS::Filename()).num(), 1);
    EXPECT_EQ(pm.startSync(helperArgs({"exit", "0"}), qxOS::Filename(windows("no such dir")))
                  .second.num(),
              1)
        << "a working directory that does not exist";
}

TEST_F(Process, DetachedChildrenRun) {
    ASSERT_FALSE(pm.startAsync(helperArgs({"sleep", "10", (dir_ / "pid.txt").u8string()}),
                               qxOS::Filename()));
    for (int i = 0; i < 500 && !fs::exists(dir_ / "pid.txt"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(fs::exists(dir_ / "pid.txt"));
#ifndef _WIN32
    // Started through a middle process that is already reaped: no child of
    // ours is left to become a zombie.
    int status;
    EXPECT_EQ(waitpid(-1, &status, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
#endif
}

#ifndef _WIN32
TEST_F(Process, StreamsSharedOrNotAndNoDescriptorLeaks) {
    const int stray = ::open("/dev/null", O_RDONLY);  // inheritable on purpose
    ASSERT_GE(stray, 3);
    const qx::vector<IString> fds = helperArgs({"fds", (dir_ / "fds.txt").u8string()});
    ASSERT_EQ(pm.startSync(fds, qxOS::Filename()).first, 0);
    EXPECT_EQ(read("fds.txt"), "0 1 2 ");
    ::close(stray);

    const qx::vector<IString> where = helperArgs({"where", (dir_ / "where.txt").u8string()});
    pm.setSharingStreams(false);
    ASSERT_EQ(pm.startSync(where, qxOS::Filename()).first, 0);
    EXPECT_EQ(read("where.txt"), "/dev/null");

    // Our standard output goes to a file for a moment; the child writes there.
    std::fflush(stdout);
    const int saved = ::dup(1);
    const int file = ::open((dir_ / "shared.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(file, 1);
    pm.setSharingStreams(true);
    const auto r = pm.startSync(helperArgs({"out", "shared text"}), qxOS::Filename());
    pm.setSharingStreams(false);
    ::dup2(saved, 1);
    ::close(saved);
    ::close(file);
    EXPECT_EQ(r.first, 0);
    EXPECT_EQ(read("shared.txt"), "shared text");
}

bool gone(pid_t pid) {
    if (::kill(pid, 0) != 0) return true;
    // A child of a dead caller, killed but not yet reaped by the system.
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string s;
    std::getline(stat, s);
    const size_t close = s.rfind(')');
    return close != std::string::npos && s.size() > close + 2 && s[close + 2] == 'Z';
}

TEST_F(Process, AKilledCallerTakesItsChildAlong) {
    const std::string marker = (dir_ / "caller.pid").u8string();
    ASSERT_FALSE(
        pm.startAsync(helperArgs({"caller", marker, kHelper.u8string()}), qxOS::Filename()));
    pid_t caller = 0, child = 0;
    for (int i = 0; i < 1000 && !child; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::ifstream(marker) >> caller;
        std::ifstream(marker + ".child") >> child;
    }
    ASSERT_GT(caller, 0);
    ASSERT_GT(child, 0);
    ASSERT_FALSE(gone(child));
    ASSERT_EQ(::kill(caller, SIGKILL), 0);
    bool dead = false;
    for (int i = 0; i < 500 && !dead; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        dead = gone(child);
    }
    EXPECT_TRUE(dead) << "the child outlived its caller";
    if (!dead) ::kill(child, SIGKILL);
}
#endif

}  // namespace
