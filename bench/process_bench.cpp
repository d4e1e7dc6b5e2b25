// Starting a program and waiting for it:
//
//     start_sync/true/<qx|std>/1
//         ProcessManager::startSync of /bin/true against posix_spawn of it
//         and waitpid, written directly
//
// Both sides start the same program with the same environment; ours also
// looks the program up, ties the child to the caller and closes every
// descriptor above the standard three in the child.

#include "os/app/qxProcess.h"

#include "bench_register.h"

#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace {

void startQx(benchmark::State& state) {
    qx::vector<qxString::IString> args;
    args.push_back(qxString::IString("/bin/true"));
    qxOS::ProcessManager& pm = qxOS::ProcessManager::getInstance();
    for (auto _ : state) {
        const auto r = pm.startSync(args, qxOS::Filename());
        if (r.second || r.first != 0) state.SkipWithError("start failed");
    }
}

void startStd(benchmark::State& state) {
    char program[] = "/bin/true";
    char* argv[] = {program, nullptr};
    for (auto _ : state) {
        pid_t pid;
        if (posix_spawn(&pid, program, nullptr, nullptr, argv, environ) != 0) {
            state.SkipWithError("spawn failed");
            break;
        }
        int status;
        waitpid(pid, &status, 0);
    }
}

const bool registered = [] {
    qxbench::registerSides("start_sync", "true", {{"qx", &startQx}, {"std", &startStd}}, {1});
    return true;
}();

}  // namespace
