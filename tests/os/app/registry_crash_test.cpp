// The POSIX registry store under stress: a writer killed at random moments
// leaves a hive that parses and holds the old or the new value, and nothing
// stray after the next write; two processes writing at once lose nothing.
// POSIX only: it forks and kills.
#include "env_var.h"
#include "os/app/qxRegistry.h"
#include "os/sys/qxSysRegFile.h"
#include "scratch_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <set>
#include <string>

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using qxString::IString;

constexpr int kKills = 120;

IString text(const std::string& s) {
    return IString(s.c_str(), qxString::EncodingUTF8);
}

class RegistryCrash : public ScratchDir {
protected:
    void SetUp() override {
        ScratchDir::SetUp();
        dirVar_.set(dir_.u8string().c_str());
        qxRegistry(text("HKEY_CURRENT_USER")).createKey(text(kKey), true);
    }

    void setDWord(const qxRegistry& r, const std::string& name, unsigned n) {
        qxRegistryValue v(IString(), qxRegistryValue::DWord, n);
        r.setValue(text(name), v);
    }

    // The value v as the hive file holds it, read without the library's
    // store; -1 when the file does not parse or lacks it.
    long long fromFile() {
        const std::string bytes = read("HKEY_CURRENT_USER.reg");
        size_t bad = 0;
        const auto root = qx::sys::regParseFile(bytes.data(), bytes.size(),
                                                qx::sys::RegText(u"HKEY_CURRENT_USER"), 0, &bad);
        if (!root) return -1;
        const qx::sys::RegFileKey* k = root->findSubkey(qx::sys::RegText(u"Software"));
        k = k ? k->findSubkey(qx::sys::RegText(u"Crash")) : nullptr;
        const qx::sys::RegFileValue* v = k ? k->findValue(qx::sys::RegText(u"v")) : nullptr;
        if (!v || v->data.size() != 4) return -1;
        unsigned n = 0;
        std::memcpy(&n, v->data.data(), 4);
        return n;
    }

    std::set<std::string> entries() {
        std::set<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(dir_))
            names.insert(e.path().filename().string());
        return names;
    }

    static constexpr const char* kKey = "HKEY_CURRENT_USER\\Software\\Crash";
    EnvVar dirVar_{"QX_REGISTRY_DIR", nullptr};
};

TEST_F(RegistryCrash, AKilledWriterLeavesTheOldOrTheNewValue) {
    qxRegistry reader(text(kKey), true);
    {
        // Some bulk, so that a write takes a while and kills land inside it.
        qxRegistry w(text(kKey));
        for (int i = 0; i < 300; ++i) setDWord(w, "bulk" + std::to_string(i), i);
        setDWord(w, "v", 0);
    }
    // What the child is about to write, where the parent can see it.
    auto* announced = static_cast<volatile unsigned*>(
        mmap(nullptr, sizeof(unsigned), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(announced, MAP_FAILED);
    *announced = 0;

    using clock = std::chrono::steady_clock;
    const auto begin = clock::now();
    {
        qxRegistry w(text(kKey));
        for (int i = 0; i < 10; ++i) setDWord(w, "v", 0);
    }
    const long span = std::max<long>(
        1000,
        2 * std::chrono::duration_cast<std::chrono::microseconds>(clock::now() - begin).count() /
            10);
    std::mt19937 random(11);
    std::uniform_int_distribution<long> delay(0, span);
    // The child writes held + 1, held + 2, ... announcing each first.
    long long held = 0;
    int inFlight = 0, tempLeft = 0;  // how the kills landed, for the record
    for (int kill = 0; kill < kKills && !HasFailure(); ++kill) {
        *announced = static_cast<unsigned>(held);
        const unsigned next = static_cast<unsigned>(held + 1);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            try {
                qxRegistry w(text(kKey));
                for (unsigned k = next;; ++k) {
                    *announced = k;
                    setDWord(w, "v", k);
                }
            } catch (...) {
            }
            _exit(3);
        }
        usleep(static_cast<useconds_t>(delay(random)));
        ::kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself";
        const unsigned a = *announced;
        held = fromFile();
        inFlight += held + 1 == a;
        tempLeft += entries().count("HKEY_CURRENT_USER.reg.tmp") != 0;
        EXPECT_TRUE(held == a || held + 1 == a)
            << "kill " << kill << ": the file holds " << held << ", the writer was at " << a;
        // The reader's copy follows the file, also after a write that died
        // half-way.
        qxRegistryValue got;
        reader.getValue(text("v"), got);
        unsigned n = 0;
        got.getData(n);
        EXPECT_EQ(n, held) << "kill " << kill;
    }
    RecordProperty("kills_with_a_change_in_flight", inFlight);
    RecordProperty("kills_leaving_a_temporary_file", tempLeft);
    for (const std::string& name : entries())
        EXPECT_TRUE(name.rfind("HKEY_CURRENT_USER.reg", 0) == 0) << "left behind: " << name;
    qxRegistry w(text(kKey));
    setDWord(w, "v", 1u << 30);
    EXPECT_EQ(fromFile(), 1 << 30);
    EXPECT_EQ(entries(),
              (std::set<std::string>{"HKEY_CURRENT_USER.reg", "HKEY_CURRENT_USER.reg.lock"}));
    EXPECT_EQ(w.getValueCount(), 301u);
    munmap(const_cast<unsigned*>(announced), sizeof(unsigned));
}

TEST_F(RegistryCrash, TwoWritersLoseNothing) {
    constexpr int kEach = 1000;
    pid_t pids[2];
    for (int p = 0; p < 2; ++p) {
        pids[p] = fork();
        ASSERT_GE(pids[p], 0);
        if (pids[p] == 0) {
            int rc = 0;
            try {
                qxRegistry w(text(kKey));
                for (int i = 0; i < kEach; ++i)
                    setDWord(w, std::string(1, static_cast<char>('a' + p)) + std::to_string(i), i);
            } catch (const qxUtil::Error& e) {
                std::fprintf(stderr, "writer %d: %s\n", p, e.message());
                rc = 1;
            }
            _exit(rc);
        }
    }
    for (pid_t pid : pids) {
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    qxRegistry r(text(kKey), true);
    EXPECT_EQ(r.getValueCount(), 2u * kEach);
    qx::vector<qxRegistryValue> values;
    r.getValues(values);
    std::set<std::string> names;
    for (const qxRegistryValue& v : values) {
        unsigned n = 0;
        v.getData(n);
        EXPECT_EQ(std::to_string(n), v.getName().asUTF8() + 1);
        names.insert(v.getName().asUTF8());
    }
    EXPECT_EQ(names.size(), 2u * kEach);
}

}  // namespace
