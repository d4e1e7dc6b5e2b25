// A child process replaces a file through ProtectedWrite over and over while
// this process kills it at random moments, with both strategies. After
// every kill the main file holds one generation's complete content (the
// last one finished, or the one under way), the next child's writes succeed
// whatever was left behind, and everything left behind carries one of the
// documented names. POSIX only: it forks and kills.
#include "env_var.h"
#include "qxbase.h"
#include "scratch_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <regex>
#include <set>
#include <string>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using qxOS::Filename;
using qxOS::ProtectedWrite;

constexpr int kKills = 200;

// Generation g's content: a header naming it, then bytes only it has, of a
// size that varies from 1 KB to 97 KB.
std::string content(unsigned g) {
    std::string s = "generation " + std::to_string(g) + "\n";
    const size_t size = 1000 + (g * 7919u) % 96000;
    std::minstd_rand bytes(g + 1);
    while (s.size() < size) s.push_back(static_cast<char>('a' + bytes() % 26));
    return s;
}

struct Report {
    char what;  // 'S' started, 'D' done
    unsigned generation;
};

[[noreturn]] void childLoop(const Filename& main, bool copy, unsigned first, int out) {
    for (unsigned g = first;; ++g) {
        Report r{'S', g};
        if (::write(out, &r, sizeof r) != sizeof r) ::_exit(9);
        ProtectedWrite w(main);
        if (copy) w.useCopyStrategy();
        if (!w.init()) ::_exit(10);
        const std::string bytes = content(g);
        std::FILE* f = qxOS::fopen(w.getTempFilename().name(), qxString::CString("wb"));
        if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() ||
            std::fclose(f) != 0)
            ::_exit(11);
        if (!w.finalize()) ::_exit(12 + w.getStatus());
        r.what = 'D';
        if (::write(out, &r, sizeof r) != sizeof r) ::_exit(9);
    }
}

class ProtectedWriteCrash : public ScratchDir {
protected:
    struct Child {
        pid_t pid = 0;
        unsigned started = 0;  // 0: none reported
        unsigned done = 0;
    };

    // Runs a child from generation first, kills it after delay, and collects
    // its reports.
    Child run(bool copy, unsigned first, std::chrono::microseconds delay) {
        int fds[2];
        EXPECT_EQ(::pipe(fds), 0);
        Child c;
        c.pid = ::fork();
        pids_.insert(c.pid);
        if (c.pid == 0) {
            ::close(fds[0]);
            childLoop(main_, copy, first, fds[1]);
        }
        ::close(fds[1]);
        if (delay.count() > 0) ::usleep(static_cast<useconds_t>(delay.count()));
        ::kill(c.pid, SIGKILL);
        int status = 0;
        ::waitpid(c.pid, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status))
            << "the child stopped by itself, status " << WEXITSTATUS(status);
        Report r;
        while (::read(fds[0], &r, sizeof r) == sizeof r)
            (r.what == 'S' ? c.started : c.done) = r.generation;
        ::close(fds[0]);
        return c;
    }

    // The time a child takes for one generation, measured on a few.
    std::chrono::microseconds generationTime(bool copy) {
        using clock = std::chrono::steady_clock;
        const auto begin = clock::now();
        const Child c = run(copy, 1000000, std::chrono::milliseconds(200));
        const auto spent =
            std::chrono::duration_cast<std::chrono::microseconds>(clock::now() - begin);
        check(c, 1);
        return spent / (c.done > 1000000 ? c.done - 1000000 + 1 : 1);
    }

    // The main file is one whole generation: the last one done (before the
    // child, what it held), or the one the child was in. Returns which.
    unsigned check(const Child& c, unsigned held) {
        const std::string bytes = read("main");
        const unsigned done = c.done ? c.done : held;
        if (bytes == content(done)) return done;
        if (c.started > done && bytes == content(c.started)) return c.started;
        ADD_FAILURE() << "after a kill the main file holds neither generation " << done << " nor "
                      << c.started << ": " << bytes.substr(0, bytes.find('\n'));
        return held;
    }

    // Everything but the main file is a name of the write's own: the
    // temporary and backup names of a killed child, and the names the
    // system made for one in the temporary directory. Returns how many.
    int checkLeftovers() {
        static const std::regex own("mai[0-9A-F]{1,4}([0-9]+)\\.[01]\\.tmp");
        static const std::regex system("mai[0-9A-F]{1,4}\\.TMP");
        int count = 0;
        for (const fs::path& dir : {dir_, dir_ / "tmp"}) {
            for (const auto& e : fs::directory_iterator(dir)) {
                const std::string name = e.path().filename().string();
                if (dir == dir_ && (name == "main" || name == "tmp")) continue;
                std::smatch m;
                const bool known = (std::regex_match(name, m, own) &&
                                    pids_.count(static_cast<pid_t>(std::stol(m[1].str())))) ||
                                   (dir != dir_ && std::regex_match(name, system));
                EXPECT_TRUE(known) << "left behind: " << e.path().string();
                ++count;
            }
        }
        return count;
    }

    void killRepeatedly(bool copy) {
        fs::create_directory(dir_ / "tmp");
        const std::string tmp = (dir_ / "tmp").string();
        EnvVar a("TMPDIR", tmp.c_str()), b("TMP", tmp.c_str()), c("TEMP", tmp.c_str());
        main_ = Filename(windows("main"));
        write("main", content(1));

        // Kills spread over about two generations, so that they land in every
        // step of a write, the child's start included.
        const auto span = std::max(generationTime(copy) * 2, std::chrono::microseconds(1000));
        std::mt19937 random(copy ? 2 : 1);
        std::uniform_int_distribution<long> delay(0, static_cast<long>(span.count()));
        write("main", content(1));
        unsigned held = 1, last = 1;
        for (int kill = 0; kill < kKills && !HasFailure(); ++kill) {
            const Child child = run(copy, last + 1, std::chrono::microseconds(delay(random)));
            held = check(child, held);
            last = std::max({last, child.started, child.done});
            if (kill % 20 == 0) checkLeftovers();
        }
        const int leftovers = checkLeftovers();
        // A write after all that still works, and finds nothing in its way.
        ProtectedWrite w(main_);
        if (copy) w.useCopyStrategy();
        ASSERT_TRUE(w.init());
        std::FILE* f = qxOS::fopen(w.getTempFilename().name(), qxString::CString("wb"));
        ASSERT_TRUE(f != nullptr);
        std::fputs("final", f);
        std::fclose(f);
        ASSERT_TRUE(w.finalize()) << w.getStatus();
        EXPECT_EQ(read("main"), "final");
        RecordProperty("leftovers", leftovers);
    }

    Filename main_;
    std::set<pid_t> pids_;
};
TEST_F(ProtectedWriteCrash, BesideTheMainFile) {
    killRepeatedly(false);
}

TEST_F(ProtectedWriteCrash, CopyStrategy) {
    killRepeatedly(true);
}

}  // namespace
