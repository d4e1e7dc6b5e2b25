// ProtectedWrite: both strategies replace the file and leave nothing behind;
// every failure has its status and leaves the main file as it was.
#include "env_var.h"
#include "qxbase.h"
#include "scratch_dir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

namespace {

namespace fs = std::filesystem;
using qxOS::Filename;
using qxOS::ProtectedWrite;
using qxString::IString;

class ProtectedWriteTest : public ScratchDir {
protected:
    void SetUp() override {
        ScratchDir::SetUp();
        fs::create_directory(dir_ / "tmp");
        useTempDirectory(dir_ / "tmp");
    }

    // The system's temporary directory, for this test only.
    void useTempDirectory(const fs::path& dir) {
        const std::string native = dir.string();
        for (EnvVar& v : temp_) v.set(native.c_str());
    }

    Filename at(const std::string& rel) { return Filename(windows(rel)); }

    // Writes bytes to the write's temporary file; false when it cannot be
    // opened.
    static bool writeTemp(const ProtectedWrite& w, const std::string& bytes) {
        std::FILE* f = qxOS::fopen(w.getTempFilename().name(), qxString::CString("wb"));
        if (!f) return false;
        const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
        return std::fclose(f) == 0 && ok;
    }

    // The names in a directory of the scratch tree.
    std::set<std::string> entries(const std::string& rel = "") {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(dir_ / rel))
            names.insert(e.path().filename().string());
        return names;
    }

    static bool exists(const Filename& name) {
        return !name.name().empty() && fs::exists(fs::path(name.nativeName().asUTF8()));
    }

    EnvVar temp_[3] = {{"TMPDIR", nullptr}, {"TMP", nullptr}, {"TEMP", nullptr}};
};

// The name shape: three characters of the main file's base name, the
// system's unique number in one to four hexadecimal digits, the process id,
// then the suffix.
void expectTempName(const Filename& name, const std::string& head, const char* suffix) {
    const std::string base = name.basename().asUTF8();
    const std::string tail = std::to_string(qx::sys::processId()) + "." + suffix;
    ASSERT_GT(base.size(), head.size() + tail.size()) << base;
    const size_t digits = base.size() - head.size() - tail.size();
    EXPECT_TRUE(digits >= 1 && digits <= 4) << base;
    EXPECT_EQ(base.substr(0, head.size()), head);
    for (size_t i = head.size(); i < head.size() + digits; ++i)
        EXPECT_TRUE(std::isxdigit(static_cast<unsigned char>(base[i]))) << base;
    EXPECT_EQ(base.substr(head.size() + digits), tail);
}

TEST_F(ProtectedWriteTest, ReplacesWithBothStrategies) {
    for (const bool copy : {false, true}) {
        SCOPED_TRACE(copy ? "copy strategy" : "beside the main file");
        write("plan.txt", "old content");
#ifndef _WIN32
        fs::permissions(dir_ / "plan.txt", fs::perms::owner_read | fs::perms::owner_write);
#endif
        ProtectedWrite w(at("plan.txt"));
        if (copy) w.useCopyStrategy();
        ASSERT_TRUE(w.init());
        EXPECT_EQ(w.getMainFilename().name().compare(at("plan.txt").name()), 0);
        expectTempName(w.getTempFilename(), "pla", "0.tmp");
        const Filename home = at(copy ? "tmp" : "");
        EXPECT_EQ(w.getTempFilename().dirname().compare(home.name()), 0)
            << w.getTempFilename().name().asUTF8();
        const std::string bytes(100000, 'n');
        ASSERT_TRUE(writeTemp(w, bytes));
        EXPECT_EQ(read("plan.txt"), "old content");  // nothing changes before finalize
        ASSERT_TRUE(w.finalize());
        EXPECT_EQ(w.getStatus(), 0);
        EXPECT_FALSE(w.getError());
        EXPECT_TRUE(read("plan.txt") == bytes);
        EXPECT_EQ(entries(), (std::set<std::string>{"plan.txt", "tmp"}));
        EXPECT_TRUE(entries("tmp").empty());
#ifndef _WIN32
        // A private file stays private.
        EXPECT_EQ(fs::status(dir_ / "plan.txt").permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);
#endif
    }
}

TEST_F(ProtectedWriteTest, NewFileAndSecondCalls) {
    ProtectedWrite w(at("new.dat"));
    EXPECT_TRUE(w.finalize());  // never initialised: nothing to do
    EXPECT_FALSE(exists(w.getTempFilename()));
    ASSERT_TRUE(w.init());
    const IString temp = w.getTempFilename().name();
    EXPECT_TRUE(w.init());  // the first answer, the same names
    EXPECT_EQ(w.getTempFilename().name().compare(temp), 0);
    ASSERT_TRUE(writeTemp(w, "first"));
    ASSERT_TRUE(w.finalize());
    EXPECT_EQ(read("new.dat"), "first");
    EXPECT_EQ(entries(), (std::set<std::string>{"new.dat", "tmp"}));
}

TEST_F(ProtectedWriteTest, AbandonedWrites) {
    write("keep", "old");
    {
        ProtectedWrite w(at("keep"));  // invalidated: cleaned up, status 7
        ASSERT_TRUE(w.init());
        ASSERT_TRUE(writeTemp(w, "new"));
        w.invalidate();
        EXPECT_FALSE(w.finalize());
        EXPECT_EQ(w.getStatus(), ProtectedWrite::kInvalidated);
        EXPECT_FALSE(exists(w.getTempFilename()));
    }
    {
        ProtectedWrite w(at("keep"));  // never written: status 5
        ASSERT_TRUE(w.init());
        EXPECT_FALSE(w.finalize());
        EXPECT_EQ(w.getStatus(), ProtectedWrite::kNoTempFile);
        EXPECT_FALSE(w.finalize());  // a failure stays
    }
    Filename temp;
    {
        ProtectedWrite w(at("keep"));  // dropped without finalize
        ASSERT_TRUE(w.init());
        ASSERT_TRUE(writeTemp(w, "new"));
        temp = w.getTempFilename();
        EXPECT_TRUE(exists(temp));
    }
    EXPECT_FALSE(exists(temp));
    EXPECT_EQ(read("keep"), "old");
    EXPECT_EQ(entries(), (std::set<std::string>{"keep", "tmp"}));
}

// What cannot be replaced is refused at init; finalize then touches nothing.
TEST_F(ProtectedWriteTest, MainThatCannotBeReplaced) {
    write("ro", "read-only");
    makeReadOnly("ro");
    fs::create_directory(dir_ / "dir");
    write("dir/inside", "x");
    for (const bool copy : {false, true}) {
        for (const char* name : {"ro", "dir"}) {
            SCOPED_TRACE(std::string(name) + (copy ? ", copy strategy" : ""));
            ProtectedWrite w(at(name));
            if (copy) w.useCopyStrategy();
            EXPECT_FALSE(w.init());
            EXPECT_EQ(w.getStatus(), ProtectedWrite::kMainNotWritable);
            EXPECT_TRUE(w.getError());
            EXPECT_TRUE(w.getTempFilename().name().empty());
            EXPECT_FALSE(w.finalize());
            EXPECT_EQ(w.getStatus(), ProtectedWrite::kMainNotWritable);
        }
    }
    EXPECT_EQ(read("ro"), "read-only");
    EXPECT_EQ(read("dir/inside"), "x");
    EXPECT_EQ(entries(), (std::set<std::string>{"dir", "ro", "tmp"}));
    EXPECT_TRUE(entries("tmp").empty());
}

// A main file in a directory that does not exist: beside it the temporary
// file cannot be written (5); in the temporary directory it can, and the
// swap fails (1). Nothing is created either way.
TEST_F(ProtectedWriteTest, MissingDirectory) {
    ProtectedWrite beside(at("nodir/f"));
    ASSERT_TRUE(beside.init());
    EXPECT_FALSE(writeTemp(beside, "x"));
    EXPECT_FALSE(beside.finalize());
    EXPECT_EQ(beside.getStatus(), ProtectedWrite::kNoTempFile);

    ProtectedWrite across(at("nodir/f"));
    across.useCopyStrategy();
    ASSERT_TRUE(across.init());
    ASSERT_TRUE(writeTemp(across, "x"));
    EXPECT_FALSE(across.finalize());
    EXPECT_EQ(across.getStatus(), ProtectedWrite::kSwapFailed);
    EXPECT_EQ(entries(), (std::set<std::string>{"tmp"}));
    EXPECT_TRUE(entries("tmp").empty());
}

TEST_F(ProtectedWriteTest, TemporaryDirectory) {
    write("main", "old");
    write("afile", "");
    struct Case {
        fs::path dir;
        int status;
    };
    const Case cases[] = {
        {dir_ / "made", 0},  // missing: created
        {dir_ / "no" / "such", ProtectedWrite::kTempDirectoryUnusable},
        {dir_ / "afile", ProtectedWrite::kTempDirectoryNotDirectory},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dir.string());
        useTempDirectory(c.dir);
        ProtectedWrite w(at("main"));
        w.useCopyStrategy();
        EXPECT_EQ(w.init(), c.status == 0);
        EXPECT_EQ(w.getStatus(), c.status);
        if (c.status == 0) {
            EXPECT_TRUE(fs::is_directory(c.dir));
            ASSERT_TRUE(writeTemp(w, "new"));
            EXPECT_TRUE(w.finalize());
            write("main", "old");
        } else {
            EXPECT_FALSE(w.finalize());
            EXPECT_EQ(w.getStatus(), c.status);
        }
        EXPECT_EQ(read("main"), "old");
    }

    // A directory where not even root can make a file. The copy strategy
    // cannot work there; writing beside the main file still does.
#ifdef _WIN32
    GTEST_SKIP() << "no directory here refuses every file";
#endif
    const fs::path locked = fs::path("/proc/self");
    std::error_code ec;
    if (!fs::is_directory(locked, ec)) GTEST_SKIP() << "no directory here refuses every file";
    useTempDirectory(locked);
    ProtectedWrite across(at("main"));
    across.useCopyStrategy();
    EXPECT_FALSE(across.init());
    EXPECT_EQ(across.getStatus(), ProtectedWrite::kTempDirectoryUnusable);
    ProtectedWrite beside(at("main"));
    ASSERT_TRUE(beside.init());
    expectTempName(beside.getTempFilename(), "mai", "0.tmp");
    ASSERT_TRUE(writeTemp(beside, "new"));
    EXPECT_TRUE(beside.finalize());
    EXPECT_EQ(read("main"), "new");
    EXPECT_EQ(entries(), (std::set<std::string>{"afile", "made", "main", "tmp"}));
}

// A swap that fails part way keeps the old content under the main name and
// cleans up the write's own files.
TEST_F(ProtectedWriteTest, FailedSwap) {
    for (const bool copy : {false, true}) {
        SCOPED_TRACE(copy ? "copy strategy" : "beside the main file");
        write("main", "old");
        {
            // The backup name taken by a directory: the old content cannot be
            // kept there.
            ProtectedWrite w(at("main"));
            if (copy) w.useCopyStrategy();
            ASSERT_TRUE(w.init());
            ASSERT_TRUE(writeTemp(w, "new"));
            const Filename backup = w.getBackupFilename();
            expectTempName(backup, "mai", "1.tmp");
            ASSERT_TRUE(backup.makeDir());
            EXPECT_FALSE(w.finalize());
            EXPECT_EQ(w.getStatus(), ProtectedWrite::kBackupFailed);
            EXPECT_FALSE(exists(w.getTempFilename()));
            fs::remove(fs::path(backup.nativeName().asUTF8()));
        }
        EXPECT_EQ(read("main"), "old");
        {
            // The main file made read-only after init: the rename refuses.
            ProtectedWrite w(at("main"));
            if (copy) w.useCopyStrategy();
            ASSERT_TRUE(w.init());
            ASSERT_TRUE(writeTemp(w, "new"));
            makeReadOnly("main");
            EXPECT_FALSE(w.finalize());
            EXPECT_EQ(w.getStatus(), ProtectedWrite::kSwapFailed);
            EXPECT_TRUE(w.getError());
            // The backup is read-only now too, which Windows refuses to
            // delete: it may stay, with the old content.
            const fs::path backup(w.getBackupFilename().nativeName().asUTF8());
            if (fs::exists(backup)) {
                EXPECT_EQ(fs::file_size(backup), 3u);
                fs::permissions(backup, fs::perms::owner_write, fs::perm_options::add);
                fs::remove(backup);
            }
        }
        EXPECT_EQ(read("main"), "old");
        EXPECT_EQ(entries(), (std::set<std::string>{"main", "tmp"}));
        EXPECT_TRUE(entries("tmp").empty());
        fs::permissions(dir_ / "main", fs::perms::owner_write, fs::perm_options::add);
    }
}

// Copies share the names: either one may finalize.
TEST_F(ProtectedWriteTest, Copies) {
    ProtectedWrite w(at("c"));
    ASSERT_TRUE(w.init());
    ProtectedWrite copy(w);
    EXPECT_EQ(copy.getTempFilename().name().compare(w.getTempFilename().name()), 0);
    ASSERT_TRUE(writeTemp(copy, "by the copy"));
    w.invalidate();
    ProtectedWrite assigned(at("other"));
    assigned = w;
    EXPECT_EQ(assigned.getMainFilename().name().compare(at("c").name()), 0);
    EXPECT_TRUE(copy.finalize());  // the copy was made before invalidate
    EXPECT_EQ(read("c"), "by the copy");
    EXPECT_FALSE(assigned.finalize());
    EXPECT_EQ(assigned.getStatus(), ProtectedWrite::kInvalidated);
}

}  // namespace
