// The program the process tests start. Its first argument says what to do:
//
//   exit N              exits with status N
//   echo FILE ARGS...   writes to FILE its working directory, then its
//                       program name and every argument, each as
//                       "<bytes>:<UTF-8 text>\n"
//   out TEXT            writes TEXT to standard output and to standard error
//   where FILE          writes to FILE what its standard output is (Linux)
//   fds FILE            writes to FILE its open descriptors (Linux)
//   sleep MS [FILE]     writes its process id to FILE, then sleeps MS ms
//   caller FILE HELPER  starts "HELPER sleep 60000 FILE.child" synchronously
//                       after writing its own process id to FILE
#include "os/app/qxProcess.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#    include <direct.h>
#    include <process.h>
#    include <windows.h>
#else
#    include <dirent.h>
#    include <unistd.h>
#endif

namespace {

std::string workingDirectory() {
#ifdef _WIN32
    wchar_t buf[1024];
    if (!_wgetcwd(buf, 1024)) return "?";
    char out[4096];
    const int n = WideCharToMultiByte(CP_UTF8, 0, buf, -1, out, sizeof out, nullptr, nullptr);
    return n > 0 ? std::string(out) : "?";
#else
    char buf[4096];
    return getcwd(buf, sizeof buf) ? std::string(buf) : "?";
#endif
}

int processId() {
#ifdef _WIN32
    return _getpid();
#else
    return getpid();
#endif
}

int run(const std::vector<std::string>& a) {
    if (a.size() < 2) return 100;
    const std::string& what = a[1];
    if (what == "exit" && a.size() > 2) return std::atoi(a[2].c_str());
    if (what == "echo" && a.size() > 2) {
        std::ofstream out(a[2], std::ios::binary);
        out << workingDirectory() << "\n";
        for (size_t i = 0; i < a.size(); ++i)
            if (i != 1 && i != 2) out << a[i].size() << ":" << a[i] << "\n";
        return 0;
    }
    if (what == "out" && a.size() > 2) {
        std::fputs(a[2].c_str(), stdout);
        std::fputs(("err:" + a[2]).c_str(), stderr);
        return 0;
    }
    if (what == "sleep" && a.size() > 2) {
        if (a.size() > 3) std::ofstream(a[3]) << processId() << "\n";
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(a[2].c_str())));
        return 0;
    }
#ifndef _WIN32
    if (what == "where" && a.size() > 2) {
        char target[512] = {0};
        const ssize_t n = readlink("/proc/self/fd/1", target, sizeof target - 1);
        std::ofstream(a[2]) << (n > 0 ? std::string(target, static_cast<size_t>(n)) : "closed");
        return 0;
    }
    if (what == "fds" && a.size() > 2) {
        std::string list;
        if (DIR* d = opendir("/proc/self/fd")) {
            const int own = dirfd(d);
            while (dirent* e = readdir(d))
                if (e->d_name[0] != '.' && std::atoi(e->d_name) != own)
                    list += std::string(e->d_name) + " ";
            closedir(d);
        }
        std::ofstream(a[2]) << list;
        return 0;
    }
#endif
    if (what == "caller" && a.size() > 3) {
        std::ofstream(a[2]) << processId() << "\n";
        const std::string childFile = a[2] + ".child";
        qx::vector<qxString::IString> args;
        for (const char* s : {a[3].c_str(), "sleep", "60000", childFile.c_str()})
            args.push_back(qxString::IString(s, qxString::EncodingUTF8));
        return static_cast<int>(
            qxOS::ProcessManager::getInstance().startSync(args, qxOS::Filename()).first);
    }
    return 101;
}

}  // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> a;
    for (int i = 0; i < argc; ++i) {
        char out[8192];
        const int n = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, out, sizeof out, nullptr, nullptr);
        a.push_back(n > 0 ? std::string(out) : std::string());
    }
    return run(a);
}
#else
int main(int argc, char** argv) {
    return run(std::vector<std::string>(argv, argv + argc));
}
#endif
