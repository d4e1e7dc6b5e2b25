#include "os/files/qxFilename.h"
#include "scratch_dir.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <ostream>
#include <string>

namespace qxString {
// Failures show the text, not the object's bytes.
void PrintTo(const IString& s, std::ostream* os) {
    *os << '"' << s.asUTF8() << '"';
}
}  // namespace qxString

namespace {

namespace fs = std::filesystem;
using qx::WChar;
using qxOS::Filename;
using qxString::IString;

std::string u8(const IString& s) {
    return s.asUTF8();
}

TEST(Filename, Canonicalize) {
    const struct {
        const WChar* in;
        char sep;
        const WChar* out;
    } cases[] = {
        {QX_W("C:/dir//sub\\"), '\\', QX_W("C:\\dir\\sub")},
        {QX_W("C:\\"), '\\', QX_W("C:\\")},
        {QX_W("C:\\/"), '/', QX_W("C:/")},
        {QX_W("\\\\\\srv\\share"), '\\', QX_W("\\\\srv\\share")},
        {QX_W("\\\\srv\\"), '\\', QX_W("\\\\srv\\")},
        {QX_W("\\\\"), '\\', QX_W("\\")},
        {QX_W("a\\\\\\\\b\\\\\\"), '\\', QX_W("a\\b")},
        {QX_W("a\\b\\..\\..\\c"), '\\', QX_W("c")},
        {QX_W("..\\..\\c"), '\\', QX_W("..\\..\\c")},
        // Resolution stops for good at a leading "..\..\".
        {QX_W("..\\..\\a\\..\\b"), '\\', QX_W("..\\..\\a\\..\\b")},
        {QX_W("a\\..\\..\\b"), '\\', QX_W("..\\b")},
        {QX_W(".\\..\\x"), '\\', QX_W("..\\x")},
        {QX_W("\\..\\x"), '\\', QX_W("x")},
        {QX_W("C:\\..\\x"), '\\', QX_W("x")},
        {QX_W("\\\\..\\"), '\\', QX_W("\\")},
        {QX_W("a\\.."), '\\', QX_W("a\\..")},
        {QX_W("a\\b/../c\\"), '/', QX_W("a/c")},
        {QX_W("x\\\\y"), '/', QX_W("x/y")},
        {QX_W(""), '\\', QX_W("")},
    };
    for (const auto& c : cases) {
        const std::string narrow = u8(IString(c.in));
        EXPECT_EQ(Filename(IString(c.in), c.sep).name(), c.out) << narrow;
        EXPECT_EQ(Filename(narrow.c_str(), c.sep).name(), c.out) << narrow;
        EXPECT_EQ(Filename(qxString::CString(narrow.c_str()), c.sep).name(), c.out) << narrow;
    }

    // The steps alone, in place; none of them touches the other separator.
    IString s(QX_W("\\\\\\a//b\\\\c\\\\"));
    Filename::removeDuplicateSeparators(s, '\\');
    EXPECT_EQ(s, QX_W("\\\\a//b\\c\\"));
    Filename::removeTrailingSeparators(s, '\\');
    EXPECT_EQ(s, QX_W("\\\\a//b\\c"));
    s = QX_W("a/b/../c/../../d\\..\\e");
    Filename::removeSlashDotDotSlash(s, '/');
    EXPECT_EQ(s, QX_W("d\\..\\e"));
}

TEST(Filename, Parts) {
    const struct {
        const WChar* name;
        const WChar* parts[5];  // prefix, dirname, basename, baseTrunk, baseSuffix
    } cases[] = {
        {QX_W("C:\\a\\b.txt"), {QX_W("C:"), QX_W("C:\\a"), QX_W("b.txt"), QX_W("b"), QX_W("txt")}},
        {QX_W("C:\\a"), {QX_W("C:"), QX_W("C:\\"), QX_W("a"), QX_W("a"), QX_W("")}},
        {QX_W("C:\\"), {QX_W("C:"), QX_W("C:\\"), QX_W(""), QX_W(""), QX_W("")}},
        {QX_W("C:"), {QX_W("C:"), QX_W("C:"), QX_W(""), QX_W(""), QX_W("")}},
        {QX_W("\\\\srv\\share\\d\\f.x"),
         {QX_W("\\\\srv\\share"), QX_W("\\\\srv\\share\\d"), QX_W("f.x"), QX_W("f"), QX_W("x")}},
        {QX_W("\\\\srv\\share\\f"),
         {QX_W("\\\\srv\\share"), QX_W("\\\\srv\\share"), QX_W("f"), QX_W("f"), QX_W("")}},
        {QX_W("\\\\srv\\share"),
         {QX_W("\\\\srv\\share"), QX_W("\\\\srv\\share"), QX_W(""), QX_W(""), QX_W("")}},
        {QX_W("\\\\srv\\"), {QX_W("\\\\srv\\"), QX_W("\\\\srv\\"), QX_W(""), QX_W(""), QX_W("")}},
        {QX_W("a.tar.gz"), {QX_W(""), QX_W(""), QX_W("a.tar.gz"), QX_W("a.tar"), QX_W("gz")}},
        {QX_W("\\x"), {QX_W(""), QX_W("\\"), QX_W("x"), QX_W("x"), QX_W("")}},
        {QX_W(".profile"), {QX_W(""), QX_W(""), QX_W(".profile"), QX_W(""), QX_W("profile")}},
        {QX_W("d\\file."), {QX_W(""), QX_W("d"), QX_W("file."), QX_W("file"), QX_W("")}},
        {QX_W("..\\.."), {QX_W(""), QX_W(".."), QX_W(".."), QX_W("."), QX_W("")}},
        {QX_W("a\\."), {QX_W(""), QX_W("a"), QX_W("."), QX_W(""), QX_W("")}},
        {QX_W(""), {QX_W(""), QX_W(""), QX_W(""), QX_W(""), QX_W("")}},
    };
    for (const auto& c : cases) {
        const Filename f{IString(c.name)};
        ASSERT_EQ(f.name(), c.name);
        const IString* accessors[5] = {&f.prefix(), &f.dirname(), &f.basename(), &f.baseTrunk(),
                                       &f.baseSuffix()};
        const qx::vector<IString> parts = f.components();
        ASSERT_EQ(parts.size(), 5);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(*accessors[i], c.parts[i]) << u8(f.name()) << ", part " << i;
            EXPECT_EQ(parts[i], c.parts[i]) << u8(f.name()) << ", part " << i;
        }
    }
}

TEST(Filename, AssignOwnParts) {
    // Walking up: each dirname becomes the name it was split from.
    const WChar* const up[] = {QX_W("C:\\a\\b"), QX_W("C:\\a"), QX_W("C:\\"), QX_W("C:\\")};
    Filename f{IString(QX_W("C:\\a\\b\\c.txt"))};
    for (const WChar* want : up) {
        f = f.dirname();
        EXPECT_EQ(f.name(), want);
    }
    Filename g{IString(QX_W("\\\\srv\\share\\d\\f.tar.gz"))};
    g = g.baseTrunk();
    EXPECT_EQ(g.name(), QX_W("f.tar"));
    EXPECT_EQ(g.baseSuffix(), QX_W("tar"));
    g = g.basename();
    EXPECT_EQ(g.name(), QX_W("f.tar"));
}

TEST(Filename, Joins) {
    const struct {
        const WChar* dir;
        const WChar* base;
        const WChar* out;
    } cases[] = {
        {QX_W("C:"), QX_W("x"), QX_W("C:x")},
        {QX_W("C:\\"), QX_W("x"), QX_W("C:\\x")},
        {QX_W("C:/a"), QX_W("b"), QX_W("C:/a\\b")},  // '/' is not replaced
        {QX_W("a\\"), QX_W("..\\b"), QX_W("b")},
        {QX_W("x\\a"), QX_W("..\\b\\"), QX_W("x\\b")},
        {QX_W("\\\\srv"), QX_W("share"), QX_W("\\\\srv\\share")},
        {QX_W(""), QX_W(""), QX_W("")},
        {QX_W(""), QX_W("b\\\\c\\"), QX_W("b\\c")},
    };
    for (const auto& c : cases) {
        const IString dir(c.dir), base(c.base);
        EXPECT_EQ(Filename::join(dir, base), c.out) << u8(dir) << " + " << u8(base);
    }
    // Names are canonical before they are joined.
    EXPECT_EQ(Filename(Filename(IString(QX_W("C:/a"))), Filename(IString(QX_W("b/")))).name(),
              QX_W("C:\\a\\b"));
    const IString a(QX_W("a")), b(QX_W("b")), c(QX_W("c")), d(QX_W("d"));
    EXPECT_EQ(Filename::join(a, b, c), QX_W("a\\b\\c"));
    EXPECT_EQ(Filename::join(a, b, c, d), QX_W("a\\b\\c\\d"));
    EXPECT_EQ(Filename::join(a, IString(QX_W("..")), IString(QX_W("..\\x")), d), QX_W("..\\x\\d"));
}

TEST(Filename, SeparatorsAndAbsolute) {
    // A copy takes the text as it is but the default separator; assignment
    // keeps the source's separator.
    const Filename slashed(IString(QX_W("x\\y")), '/');
    EXPECT_EQ(slashed.name(), QX_W("x/y"));
    EXPECT_EQ(slashed.dirname(), QX_W("x"));
    const Filename copied(slashed);
    EXPECT_EQ(copied.ownSeparator(), Filename::separator());
    EXPECT_EQ(copied.dirname(), QX_W(""));
    EXPECT_EQ(copied.basename(), QX_W("x/y"));
    Filename assigned;
    assigned = slashed;
    EXPECT_EQ(assigned.ownSeparator(), '/');
    EXPECT_EQ(assigned.dirname(), QX_W("x"));
    // A new name drops the parts split from the old one.
    assigned = IString(QX_W("p\\q/r"));
    EXPECT_EQ(assigned.name(), QX_W("p/q/r"));
    EXPECT_EQ(assigned.basename(), QX_W("r"));

    for (const WChar* yes : {QX_W("\\\\srv\\x"), QX_W("C:\\x"), QX_W("C:\\")})
        EXPECT_TRUE(Filename(IString(yes)).isAbsolute()) << u8(IString(yes));
    for (const WChar* no : {QX_W("C:x"), QX_W("\\x"), QX_W("x"), QX_W("")})
        EXPECT_FALSE(Filename(IString(no)).isAbsolute()) << u8(IString(no));
    EXPECT_FALSE(Filename(IString(QX_W("C:/x")), '/').isAbsolute());
}

// For display, a name takes the platform's own spelling: Linux users read
// "/etc/hostname", never "\\etc\\hostname".
TEST(Filename, NativeSpelling) {
    struct {
        const WChar* name;
        const char* linux;
    } cases[] = {
        {QX_W("\\usr\\include\\GL\\glext.h"), "/usr/include/GL/glext.h"},
        {QX_W("C:\\x\\y"), "/x/y"},
        {QX_W("rel\\a.txt"), "rel/a.txt"},
        {QX_W("C:"), "."},
        {QX_W(""), ""},
    };
    for (const auto& c : cases) {
        const Filename f{IString(c.name)};
#ifdef _WIN32
        EXPECT_EQ(f.nativeName(), f.name()) << u8(f.name());
#else
        EXPECT_EQ(u8(f.nativeName()), c.linux) << u8(f.name());
#endif
    }
}

TEST(Filename, CEntryPoints) {
    const std::string saved = std::setlocale(LC_CTYPE, nullptr);
    std::setlocale(LC_CTYPE, "C");
    using Entry = void (*)(const char*, char*);
    const struct {
        Entry entry;
        const char* path;
        const char* out;
    } cases[] = {
        {&qxOS_FilenameBasename, "C:/a//b.txt/", "b.txt"},
        {&qxOS_FilenameDirname, "C:/a/b.txt", "C:\\a"},
        {&qxOS_FilenameBaseTrunk, "C:/a/b.tar.gz", "b.tar"},
        {&qxOS_FilenameBaseSuffix, "C:/a/b.txt", "txt"},
        {&qxOS_FilenamePrefix, "//srv/share/x", "\\\\srv\\share"},
    };
    char out[64];
    for (const auto& c : cases) {
        c.entry(c.path, out);
        EXPECT_STREQ(out, c.out) << c.path;
    }
    qxOS_FilenameJoin("C:", "x", out);
    EXPECT_STREQ(out, "C:x");
    qxOS_FilenameJoin("a/b", "..\\c", out);
    EXPECT_STREQ(out, "c");  // '/' separates nothing in a join: "a/b" is one component
    std::setlocale(LC_CTYPE, saved.c_str());
}

// Each test works in a fresh directory and leaves the working directory as
// it found it.
class FilenameDisk : public ScratchDir {
protected:
    static IString lib(const fs::path& p) {
        return IString(p.u8string().c_str(), qxString::EncodingUTF8);
    }
};

TEST_F(FilenameDisk, MakeDirAndWorkingDirectory) {
    const IString dir = lib(dir_);
    const Filename sub(Filename::join(dir, IString(QX_W("sub"))));
    EXPECT_TRUE(sub.makeDir());
    EXPECT_TRUE(fs::is_directory(dir_ / "sub"));
    EXPECT_FALSE(sub.makeDir());  // exists already

    // Only the last component is created.
    const IString deep = Filename::join(dir, IString(QX_W("no\\such")));
    EXPECT_FALSE(Filename(deep).makeDir());
    EXPECT_EQ(qxOS_FilenameMakeDir(u8(deep).c_str()), 0);
    EXPECT_FALSE(fs::exists(dir_ / "no"));
    EXPECT_EQ(qxOS_FilenameMakeDir(u8(Filename::join(dir, IString(QX_W("c")))).c_str()), 1);
    EXPECT_TRUE(fs::is_directory(dir_ / "c"));

    // One unit past maxLength() is refused, though the file system here might
    // take it.
    const unsigned room = Filename::maxLength() - dir.length();
    const Filename tooLong(Filename::join(dir, IString(room, WChar('n'))));
    ASSERT_EQ(tooLong.name().length(), unsigned(Filename::maxLength()) + 1);
    EXPECT_FALSE(tooLong.makeDir());
    EXPECT_FALSE(fs::exists(dir_ / std::string(room, 'n')));

    // A lone surrogate names nothing (real NTFS would take it; Wine does not).
    IString lone = dir;
    lone.append(WChar('\\')).append(WChar(0xD800));
    EXPECT_FALSE(Filename(lone).makeDir());
    EXPECT_FALSE(Filename(IString(QX_W("\\\\no-such-server\\share\\x"))).makeDir());

    Filename target(lib(dir_ / "sub"));
    ASSERT_TRUE(target.setCwd());
    Filename cwd(IString(QX_W("x/y")), '/');
    cwd.getCwd();
    EXPECT_EQ(cwd.name(), target.name());
    EXPECT_EQ(cwd.ownSeparator(), Filename::separator());
    // Drive-relative and relative names start from the working directory.
    EXPECT_TRUE(Filename(IString(QX_W("C:rel"))).makeDir());
    EXPECT_TRUE(Filename(IString(QX_W(".\\rel\\..\\rel2"))).makeDir());
    EXPECT_TRUE(fs::is_directory(dir_ / "sub" / "rel"));
    EXPECT_TRUE(fs::is_directory(dir_ / "sub" / "rel2"));
    EXPECT_TRUE(Filename(IString(QX_W("rel"))).setCwd());
    cwd.getCwd();
    EXPECT_EQ(cwd.name(), Filename::join(target.name(), IString(QX_W("rel"))));
    EXPECT_FALSE(Filename(IString(QX_W("no_such_directory"))).setCwd());
    // A drive alone names that drive's current directory.
    EXPECT_TRUE(Filename(IString(QX_W("C:"))).setCwd());
}

// A native absolute path with '/' goes up as "\a\b" and comes back down
// unchanged; only where the platform's paths look like that.
TEST_F(FilenameDisk, NativeAbsolutePathRoundTrip) {
    const std::string native = (dir_ / "round").u8string();
    if (native.empty() || native[0] != '/') GTEST_SKIP() << "paths here are not /-rooted";
    std::string shown = native;
    for (char& c : shown)
        if (c == '/') c = '\\';
    Filename f(IString(native.c_str(), qxString::EncodingUTF8));
    EXPECT_EQ(u8(f.name()), shown);
    EXPECT_TRUE(f.makeDir());
    EXPECT_TRUE(fs::is_directory(native));
    // So do the same path behind a drive prefix and in its long form.
    EXPECT_TRUE(
        Filename(IString(("C:" + shown + "\\d").c_str(), qxString::EncodingUTF8)).makeDir());
    EXPECT_TRUE(fs::is_directory(native + "/d"));
    EXPECT_TRUE(
        Filename(IString(("\\\\?\\C:" + shown + "\\l").c_str(), qxString::EncodingUTF8)).makeDir());
    EXPECT_TRUE(fs::is_directory(native + "/l"));
    EXPECT_TRUE(f.setCwd());
    Filename cwd;
    cwd.getCwd();
    EXPECT_EQ(u8(cwd.name()), shown);
}

}  // namespace
