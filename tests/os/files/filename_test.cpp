#include "qxbase.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qxOS::Filename;
using qxString::IString;

IString w(const std::string& utf8) {
    return IString(utf8.c_str(), qxString::EncodingUTF8);
}
std::string u8(const IString& s) {
    return s.asUTF8();
}

TEST(Filename, Canonicalize) {
    struct Case {
        const char* in;
        char sep;
        const char* out;
    };
    const Case cases[] = {
        {"C:/dir//sub\\", '\\', "C:\\dir\\sub"},
        {"C:\\", '\\', "C:\\"},
        {"\\\\\\srv\\share", '\\', "\\\\srv\\share"},
        {"\\\\srv\\", '\\', "\\\\srv\\"},
        {"\\\\", '\\', "\\"},
        {"\\", '\\', "\\"},
        {"a\\\\\\\\b\\\\\\", '\\', "a\\b"},
        {"a\\b\\..\\..\\c", '\\', "c"},
        {"..\\..\\c", '\\', "..\\..\\c"},
        {"\\..\\x", '\\', "x"},
        {"C:\\..\\x", '\\', "x"},
        {"a\\..", '\\', "a\\.."},
        {".\\..\\x", '\\', "..\\x"},
        {"C:\\a\\b\\..\\c", '\\', "C:\\a\\c"},
        {"a\\b/../c\\", '/', "a/c"},
        {"x\\\\y", '/', "x/y"},
        {"", '\\', ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(u8(Filename(w(c.in), static_cast<qx::WChar>(c.sep)).name()), c.out) << c.in;
        EXPECT_EQ(u8(Filename(c.in, c.sep).name()), c.out) << c.in;
    }
    // The steps one by one, in place.
    IString s = w("\\\\\\a\\\\b\\\\");
    Filename::removeDuplicateSeparators(s, '\\');
    EXPECT_EQ(u8(s), "\\\\a\\b\\");
    Filename::removeTrailingSeparators(s, '\\');
    EXPECT_EQ(u8(s), "\\\\a\\b");
    s = w("a\\b\\..\\c\\..\\..\\d");
    Filename::removeSlashDotDotSlash(s, '\\');
    EXPECT_EQ(u8(s), "d");
}

TEST(Filename, Parts) {
    struct Case {
        const char* name;
        const char* prefix;
        const char* dir;
        const char* base;
        const char* trunk;
        const char* suffix;
    };
    const Case cases[] = {
        {"C:\\a\\b.txt", "C:", "C:\\a", "b.txt", "b", "txt"},
        {"C:\\a", "C:", "C:\\", "a", "a", ""},
        {"C:\\", "C:", "C:\\", "", "", ""},
        {"C:", "C:", "C:", "", "", ""},
        {"\\\\srv\\share\\d\\f.x", "\\\\srv\\share", "\\\\srv\\share\\d", "f.x", "f", "x"},
        {"\\\\srv\\share\\f", "\\\\srv\\share", "\\\\srv\\share", "f", "f", ""},
        {"\\\\srv\\share", "\\\\srv\\share", "\\\\srv\\share", "", "", ""},
        {"a.tar.gz", "", "", "a.tar.gz", "a.tar", "gz"},
        {"\\x", "", "\\", "x", "x", ""},
        {".profile", "", "", ".profile", "", "profile"},
        {"d\\file.", "", "d", "file.", "file", ""},
        {"..\\..", "", "..", "..", ".", ""},
        {"", "", "", "", "", ""},
    };
    for (const Case& c : cases) {
        const Filename f(w(c.name));
        ASSERT_EQ(u8(f.name()), c.name);
        const qx::vector<IString> parts = f.components();
        ASSERT_EQ(parts.size(), 5);
        const char* expected[5] = {c.prefix, c.dir, c.base, c.trunk, c.suffix};
        const IString* accessors[5] = {&f.prefix(), &f.dirname(), &f.basename(), &f.baseTrunk(),
                                       &f.baseSuffix()};
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(u8(parts[i]), expected[i]) << c.name << " part " << i;
            EXPECT_EQ(u8(*accessors[i]), expected[i]) << c.name << " part " << i;
        }
    }
}

TEST(Filename, JoinSeparatorsAndAbsolute) {
    EXPECT_EQ(u8(Filename::join(w("C:"), w("x"))), "C:x");
    EXPECT_EQ(u8(Filename::join(w("C:\\"), w("x"))), "C:\\x");
    EXPECT_EQ(u8(Filename::join(w("C:/a"), w("b"))), "C:/a\\b");
    EXPECT_EQ(u8(Filename::join(w("a\\"), w("..\\b"))), "b");
    EXPECT_EQ(u8(Filename::join(w("x\\a"), w("..\\b"))), "x\\b");
    EXPECT_EQ(u8(Filename::join(w("a"), w("b"), w("c"))), "a\\b\\c");
    EXPECT_EQ(u8(Filename::join(w("a"), w("b"), w("c"), w("d"))), "a\\b\\c\\d");
    EXPECT_EQ(u8(Filename::join(w(""), w(""))), "");
    EXPECT_EQ(u8(Filename::join(w("a"), w(""))), "a");
    EXPECT_EQ(u8(Filename::join(w(""), w("b\\"))), "b");
    EXPECT_EQ(u8(Filename(Filename(w("d")), Filename(w("f.x"))).name()), "d\\f.x");

    // A copy takes the text as it is but the default separator; assignment
    // keeps the source's separator.
    const Filename slashed(w("x\\y"), '/');
    EXPECT_EQ(u8(slashed.name()), "x/y");
    EXPECT_EQ(u8(slashed.dirname()), "x");
    EXPECT_EQ(u8(slashed.basename()), "y");
    const Filename copied(slashed);
    EXPECT_EQ(copied.ownSeparator(), '\\');
    EXPECT_EQ(u8(copied.dirname()), "");
    EXPECT_EQ(u8(copied.basename()), "x/y");
    Filename assigned;
    assigned = slashed;
    EXPECT_EQ(assigned.ownSeparator(), '/');
    EXPECT_EQ(u8(assigned.dirname()), "x");
    // Changing the name drops the parts split from the old one.
    assigned = w("p\\q/r");
    EXPECT_EQ(u8(assigned.name()), "p/q/r");
    EXPECT_EQ(u8(assigned.basename()), "r");

    for (const char* yes : {"\\\\srv\\x", "C:\\x"}) EXPECT_TRUE(Filename(w(yes)).isAbsolute());
    for (const char* no : {"C:x", "\\x", "x", ""}) EXPECT_FALSE(Filename(w(no)).isAbsolute());
    EXPECT_FALSE(Filename(w("C:/x"), '/').isAbsolute());
}

TEST(Filename, CEntryPoints) {
    char out[64];
    qxOS_FilenameBasename("C:/a/b.txt", out);
    EXPECT_STREQ(out, "b.txt");
    qxOS_FilenameDirname("C:/a/b.txt", out);
    EXPECT_STREQ(out, "C:\\a");
    qxOS_FilenameBaseTrunk("C:/a/b.txt", out);
    EXPECT_STREQ(out, "b");
    qxOS_FilenameBaseSuffix("C:/a/b.txt", out);
    EXPECT_STREQ(out, "txt");
    qxOS_FilenamePrefix("//srv/share/x", out);
    EXPECT_STREQ(out, "\\\\srv\\share");
    qxOS_FilenameJoin("C:", "x", out);
    EXPECT_STREQ(out, "C:x");
    qxOS_FilenameJoin("", "", out);
    EXPECT_STREQ(out, "");
}

class FilenameDisk : public testing::Test {
protected:
    void SetUp() override {
        saved_ = fs::current_path();
        dir_ = fs::temp_directory_path() /
               ("qx_filename_" + std::to_string(testing::UnitTest::GetInstance()->random_seed()) +
                "_" + testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override {
        fs::current_path(saved_);
        fs::remove_all(dir_);
    }
    // The directory as the library names it.
    IString libraryPath(const fs::path& p) const { return w(p.u8string()); }

    fs::path saved_;
    fs::path dir_;
};

TEST_F(FilenameDisk, MakeDirAndWorkingDirectory) {
    const Filename sub(Filename::join(libraryPath(dir_), w("sub")));
    EXPECT_TRUE(sub.makeDir());
    EXPECT_TRUE(fs::is_directory(dir_ / "sub"));
    EXPECT_FALSE(sub.makeDir());  // exists already
    // Only the last component is created.
    const IString deep = Filename::join(libraryPath(dir_), w("no\\such"));
    EXPECT_FALSE(Filename(deep).makeDir());
    EXPECT_EQ(qxOS_FilenameMakeDir(u8(deep).c_str()), 0);
    EXPECT_FALSE(fs::exists(dir_ / "no"));
    // Too long for the classic calls on every target.
    const IString tooLong = Filename::join(libraryPath(dir_), IString(300, qx::WChar('n')));
    EXPECT_FALSE(Filename(tooLong).makeDir());
    // A lone surrogate names nothing.
    IString lone = libraryPath(dir_);
    lone.append(qx::WChar('\\')).append(qx::WChar(0xD800));
    EXPECT_FALSE(Filename(lone).makeDir());

    Filename target(libraryPath(dir_ / "sub"));
    ASSERT_TRUE(target.setCwd());
    EXPECT_TRUE(fs::equivalent(fs::current_path(), dir_ / "sub"));
    Filename cwd;
    cwd.getCwd();
    EXPECT_EQ(u8(cwd.name()), u8(target.name()));
    EXPECT_FALSE(Filename(w("no_such_directory_here")).setCwd());
}

// A native absolute path with '/' goes up as "\a\b" and comes back down
// unchanged (only where the platform's paths look like that).
TEST_F(FilenameDisk, NativeAbsolutePathRoundTrip) {
    const std::string native = (dir_ / "round").u8string();
    if (native.empty() || native[0] != '/') GTEST_SKIP() << "paths here are not /-rooted";
    const Filename f(w(native));
    std::string expected = native;
    for (char& c : expected)
        if (c == '/') c = '\\';
    EXPECT_EQ(u8(f.name()), expected);
    EXPECT_TRUE(f.makeDir());
    EXPECT_TRUE(fs::is_directory(native));
    // A drive prefix maps to the root.
    EXPECT_TRUE(Filename(w("C:" + expected + "\\x")).makeDir());
    EXPECT_TRUE(fs::is_directory(native + "/x"));
}

}  // namespace
