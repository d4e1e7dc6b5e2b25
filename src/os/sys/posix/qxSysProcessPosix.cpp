// POSIX backend of starting programs: vfork and execv for a child that is
// waited for, a double fork for a detached one, exec failures reported back
// before the start returns.
#include "os/sys/posix/qxSysPosix.h"
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

namespace qx {
namespace sys {

namespace {

// Everything the child needs, made before it exists: after a fork only
// calls that are safe in a signal handler may be made.
struct Prepared {
    std::string executable;
    std::vector<std::string> words;
    std::vector<char*> argv;
    std::string directory;  // empty: the caller's
    bool shareStreams = false;
    int maxFd = 1024;
    bool dieWithCaller = false;
    pid_t parent = 0;
};

int prepare(const ProcessStart& start, Prepared& p) {
    if (const int rc = systemPath(start.executable, p.executable)) return rc;
    if (p.executable.empty()) return kErrorFileNotFound;
    p.words.resize(start.numArguments + 1);
    p.words[0] = p.executable;
    for (size_t i = 0; i < start.numArguments; ++i)
        if (!toUtf8(start.arguments[i], p.words[i + 1])) return kErrorNoUnicodeTranslation;
    for (std::string& w : p.words) p.argv.push_back(&w[0]);
    p.argv.push_back(nullptr);
    if (start.workingDirectory && start.workingDirectory[0]) {
        if (const int rc = systemPath(start.workingDirectory, p.directory)) return rc;
        struct stat st;
        if (::stat(p.directory.c_str(), &st) != 0) return pathError(errno, p.directory);
        if (!S_ISDIR(st.st_mode)) return kErrorDirectory;
    }
    p.shareStreams = start.shareStreams;
    // Only for systems without close_range: asked once.
    static const long s_openMax = ::sysconf(_SC_OPEN_MAX);
    if (s_openMax > 0 && s_openMax < (1 << 20)) p.maxFd = static_cast<int>(s_openMax);
    p.dieWithCaller = start.dieWithCaller;
    p.parent = ::getpid();
    return 0;
}

// Marks every descriptor above the standard three close-on-exec.
void closeOthersOnExec(int maxFd) {
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, 3u, ~0u, 4u /* CLOSE_RANGE_CLOEXEC */) == 0) return;
#endif
    for (int fd = 3; fd < maxFd; ++fd) {
        const int flags = ::fcntl(fd, F_GETFD);
        if (flags >= 0 && !(flags & FD_CLOEXEC)) ::fcntl(fd, F_SETFD, flags | FD_CLOEXEC);
    }
}

// In the child: set it up and run the program. Returns only on failure,
// with the errno to report.
int becomeProgram(const Prepared& p) {
    if (p.dieWithCaller) {
        ::setpgid(0, 0);
        if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) return errno;
        if (::getppid() != p.parent) return ESRCH;  // the caller is gone already
    }
    if (!p.shareStreams) {
        const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
        if (devNull < 0) return errno;
        for (int fd = 0; fd < 3; ++fd)
            if (fd != devNull && ::dup2(devNull, fd) < 0) return errno;
        if (devNull > 2)
            ::close(devNull);
        else
            ::fcntl(devNull, F_SETFD, 0);  // it is a standard stream itself: keep it
    }
    if (!p.directory.empty() && ::chdir(p.directory.c_str()) != 0) return errno;
    closeOthersOnExec(p.maxFd);
    ::execv(p.executable.c_str(), p.argv.data());
    return errno;
}

int execError(int err) {
    return err == ENOEXEC ? 193 /* ERROR_BAD_EXE_FORMAT */ : win32FromErrno(err);
}

// Reads the errno a child wrote before it died, or 0 when its exec closed
// the pipe.
int readExecError(int fd) {
    int err = 0;
    for (;;) {
        const ssize_t n = ::read(fd, &err, sizeof err);
        if (n < 0 && errno == EINTR) continue;
        return n == static_cast<ssize_t>(sizeof err) ? err : 0;
    }
}

void writeAll(int fd, const void* data, size_t n) {
    while (::write(fd, data, n) < 0 && errno == EINTR) {
    }
}

// A child that is not waited for: a middle process starts it and exits at
// once, so that the system adopts it and reaps it.
int startDetached(const Prepared& p) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return win32FromErrno(errno);
    const pid_t middle = ::fork();
    if (middle < 0) {
        const int err = errno;
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return win32FromErrno(err);
    }
    if (middle == 0) {
        ::close(pipeFds[0]);
        const pid_t child = ::fork();
        if (child == 0) {
            const int err = becomeProgram(p);
            writeAll(pipeFds[1], &err, sizeof err);
            ::_exit(127);
        }
        if (child < 0) {
            const int err = errno;
            writeAll(pipeFds[1], &err, sizeof err);
        }
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    const int err = readExecError(pipeFds[0]);
    ::close(pipeFds[0]);
    int status;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    return err ? execError(err) : 0;
}

// A child that is waited for: vfork, so that starting it copies nothing of
// the caller; the child's exec error comes back through the memory the two
// share until the exec.
int startWaited(const Prepared& p, pid_t* pid) {
    volatile int childError = 0;
    const pid_t child = ::vfork();
    if (child == 0) {
        childError = becomeProgram(p);
        ::_exit(127);
    }
    if (child < 0) return win32FromErrno(errno);
    if (childError != 0) {
        int status;
        while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
        }
        return execError(childError);
    }
    *pid = child;
    return 0;
}

}  // namespace

bool executableExists(const WChar* path) {
    std::string native;
    if (systemPath(path, native) != 0 || native.empty()) return false;
    struct stat st;
    return ::stat(native.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) &&
           ::access(native.c_str(), X_OK) == 0;
}

int startProcess(const ProcessStart& start, Process* process) {
    Prepared p;
    int rc = prepare(start, p);
    if (rc == 0) {
        if (start.dieWithCaller) {
            pid_t pid = 0;
            rc = startWaited(p, &pid);
            if (rc == 0 && process) process->handle = pid;
        } else {
            rc = startDetached(p);
        }
    }
    return rc;
}

int waitProcess(Process* process, long* exitCode, int* failedStep) {
    *exitCode = 0;
    const pid_t pid = static_cast<pid_t>(process->handle);
    process->handle = 0;
    int status = 0;
    pid_t r;
    while ((r = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    if (r < 0) {
        *failedStep = 1;
        return win32FromErrno(errno);
    }
    if (WIFEXITED(status))
        *exitCode = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        *exitCode = 128 + WTERMSIG(status);
    return 0;
}

}  // namespace sys
}  // namespace qx
