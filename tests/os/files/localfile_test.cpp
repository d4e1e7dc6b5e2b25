// Local files end to end: the local transport through qxOS::File, the
// directory walk, the free file functions, their C entry points and the
// temporary names, on the real disk of each target.
#include "env_var.h"
#include "os/sys/qxSysFile.h"
#include "qxbase.h"
#include "scratch_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qxOS::File;
using qxOS::Filename;
using qxOS::FileStatus;
using qxString::IString;
using qxUtil::Error;
using Names = qx::vector<IString>;

IString u8(const std::string& s) {
    return IString(s.c_str(), qxString::EncodingUTF8);
}
std::string str(const IString& s) {
    return s.asUTF8();
}

class LocalFile : public ScratchDir {
protected:
    // The path in Windows shape, as the library's callers spell it.
    std::string at(const std::string& rel) const {
        std::string s = (rel.empty() ? dir_ : dir_ / rel).u8string();
        for (char& c : s)
            if (c == '/') c = '\\';
        return s;
    }
    IString name(const std::string& rel) const { return u8(at(rel)); }
    // The path as the system spells it, as messages show it.
    std::string native(const std::string& rel) const { return (dir_ / rel).u8string(); }
};

TEST_F(LocalFile, FactoryNamesAndTheFileScheme) {
    qxOS::LocalFileTransportFactory factory;
    const char* cases[][2] = {{"file:///C:/x", "C:/x"},
                              {"file:C:\\x", "C:\\x"},
                              {"FILE:///C:/x", "FILE:///C:/x"},
                              {"C:\\x", "C:\\x"},
                              {"", ""}};
    for (auto& c : cases) {
        std::unique_ptr<qxOS::FileTransport> t(factory.create(u8(c[0])));
        EXPECT_EQ(str(t->getFullName()), c[1]) << c[0];
        EXPECT_EQ(str(t->transportId()), "LocalFileTransport");
    }
    File f(u8("C:\\dir\\name.txt"));
    ASSERT_TRUE(f.isValid());
    EXPECT_EQ(str(f.getNameTitle()), "C:\\dir\\");
    EXPECT_EQ(str(f.getNameBase()), "name.txt");
    EXPECT_EQ(f.getSeparator(), '\\');
    File bare(u8("plain"));
    EXPECT_EQ(str(bare.getNameTitle()), "");
    EXPECT_EQ(str(bare.getNameBase()), "");
}

TEST_F(LocalFile, ReadWriteAndModes) {
    File f(name("ten"));
    ASSERT_FALSE(f.open(File::kWrite));
    size_t put = 0;
    EXPECT_FALSE(f.write("0123456789", 10, &put));
    EXPECT_EQ(put, 10u);
    EXPECT_FALSE(f.close());

    char buf[4096];
    size_t got = 0;
    ASSERT_FALSE(f.open(File::kRead));
    Error e = f.read(buf, sizeof buf, &got);
    EXPECT_EQ(e.num(), File::kEndOfFile);
    EXPECT_EQ(got, 10u);
    f.close();

    // Read and write together updates in place; append adds at the end.
    ASSERT_FALSE(f.open(File::kRead | File::kWrite));
    EXPECT_FALSE(f.write("AB", 2, &put));
    f.close();
    ASSERT_FALSE(f.open(File::kAppend | File::kRead | File::kWrite));
    EXPECT_FALSE(f.write("Z", 1, &put));
    f.close();
    EXPECT_EQ(read("ten"), "AB23456789Z");

    EXPECT_EQ(f.open(File::kText).num(), File::kIOProblem);   // no access bit
    EXPECT_EQ(f.read(buf, 1, &got).num(), File::kIOProblem);  // not open
    EXPECT_EQ(File(name("missing")).open(File::kRead).num(), File::kDoesNotExist);

    // A write refused before a byte moved does not fail the close (the
    // Windows runtime's fclose would); the file is untouched.
    ASSERT_FALSE(f.open(File::kRead));
    EXPECT_EQ(f.write("zz", 2, &put).num(), File::kIOProblem);
    EXPECT_FALSE(f.close());
    EXPECT_EQ(read("ten"), "AB23456789Z");
    EXPECT_EQ(File(name("no\\such\\dir")).open(File::kWrite).num(), File::kDoesNotExist);
}

TEST_F(LocalFile, OpenRefusals) {
    fs::create_directory(dir_ / "d");
    EXPECT_EQ(File(name("d")).open(File::kRead).num(), File::kIOProblem);
    EXPECT_EQ(File(name("d")).open(File::kWrite).num(), File::kIOProblem);

    write("ro", "keep");
    makeReadOnly("ro");
    EXPECT_EQ(File(name("ro")).open(File::kWrite).num(), File::kIOProblem);
    EXPECT_EQ(File(name("ro")).open(File::kAppend).num(), File::kIOProblem);
    EXPECT_EQ(read("ro"), "keep");
    File ro(name("ro"));
    EXPECT_FALSE(ro.open(File::kRead));

    // A full name of 260 units or more is refused alike on every target, as
    // the runtime reports it: no such file to open, a failed directory.
    std::string longName = at("") + "\\" + std::string(300 - at("").size(), 'n');
    EXPECT_EQ(File(u8(longName)).open(File::kWrite).num(), File::kDoesNotExist);
    EXPECT_EQ(File(u8(longName)).makeDirectory().num(), File::kIOProblem);
    // A lone surrogate names no file.
    const qx::WChar lone[] = {'x', 0xD800, 0};
    IString bad(name(""));
    bad.append('\\');
    bad.append(lone);
    EXPECT_NE(File(bad).open(File::kWrite).num(), 0);
    // Nor does a name with a NUL inside: it never reaches the system cut short.
    write("keep", "keep");
    IString nul = name("keep");
    nul.append(static_cast<qx::WChar>(0));
    nul.append('x');
    File cut(nul);
    const Error refused = cut.open(File::kWrite);
    EXPECT_EQ(refused.num(), File::kIOProblem);
    EXPECT_STREQ(refused.message(), "An I/O problem has occurred");
    EXPECT_STREQ(cut.makeDirectory().message(), "An I/O problem has occurred");
    EXPECT_EQ(cut.deleteSelf(0).num(), File::kIOProblem);
    EXPECT_EQ(qxOS::fileDelete(Filename(nul)).num(), 1);
    EXPECT_EQ(qxOS::fopen(nul, qxString::CString("wb")), nullptr);
    EXPECT_EQ(read("keep"), "keep");
}

TEST_F(LocalFile, Directories) {
    File d(name("d"));
    EXPECT_FALSE(d.makeDirectory());
    EXPECT_EQ(d.makeDirectory().num(), File::kFileExists);
    EXPECT_TRUE(d.isDirectory());
    EXPECT_TRUE(File(u8(at("d") + "\\")).isDirectory());

    Names names;
    EXPECT_FALSE(d.readDir(names, false));
    ASSERT_EQ(names.size(), 2);
    EXPECT_EQ(str(names[0]), ".");
    EXPECT_EQ(str(names[1]), "..");
    write("d/f", "x");
    EXPECT_FALSE(d.readDir(names, true));
    ASSERT_EQ(names.size(), 3);
    EXPECT_EQ(str(names[2]), at("d") + "\\f");

    EXPECT_EQ(d.deleteSelf(File::kNoRecursion).num(), File::kDirectoryNotEmpty);
    EXPECT_FALSE(d.deleteSelf(0));
    EXPECT_FALSE(fs::exists(dir_ / "d"));

    File deep(name("a\\b\\c"));
    EXPECT_FALSE(deep.makeDirectoryAll());
    EXPECT_TRUE(fs::is_directory(dir_ / "a" / "b" / "c"));
    EXPECT_FALSE(deep.makeDirectoryAll());

    // The name with its separator longer than 260 units is too long; at 260
    // it is the system that refuses its full form.
    File tooLong(u8(at("") + "\\" + std::string(262 - at("").size(), 'n')));
    EXPECT_EQ(tooLong.getTransport()->readDir(names, false).num(), File::kPathTooLong);
    File justFits(u8(at("") + "\\" + std::string(258 - at("").size(), 'n')));
    EXPECT_EQ(justFits.getTransport()->readDir(names, false).num(), File::kIOProblem);
}

TEST_F(LocalFile, QueryAndOwner) {
    write("f", "12345");
    File f(name("f"));
    FileStatus st;
    EXPECT_FALSE(f.query(st, true));
    EXPECT_TRUE(st.exists() && st.isFile() && !st.isDirectory());
    EXPECT_TRUE(st.isReadable() && st.isWritable());
    EXPECT_EQ(st.getSize(), 5);
    EXPECT_GT(st.getLastModifiedDate(), 1500000000);
    EXPECT_NE(std::string(st.getOwner().c_str()), "");
    EXPECT_NE(std::string(st.getOwner().c_str()), "Unknown");

    makeReadOnly("f");
    EXPECT_FALSE(File::query(name("f"), st));
    EXPECT_FALSE(st.isWritable());
    EXPECT_FALSE(qxOS::isFileWritable(Filename(name("f"))));

    // 3 GiB (sparse): the platform's 64 bits, the status's largest 32.
    write("big", "");
    fs::resize_file(dir_ / "big", 3ull << 30);
    qx::sys::PathStatus ps;
    ASSERT_EQ(qx::sys::statPath(name("big").asWChar(), &ps), 0);
    EXPECT_EQ(ps.size, 3ll << 30);
    EXPECT_FALSE(File::query(name("big"), st));
    EXPECT_EQ(st.getSize(), 2147483647);

    // A missing name leaves the status as the caller set it.
    st.setSize(77);
    EXPECT_FALSE(File(name("gone")).getTransport()->query(st));
    EXPECT_EQ(st.getSize(), 77);
}

TEST_F(LocalFile, MoveRenamesOrCopies) {
    File gone(name("gone"));
    File target(name("t"));
    EXPECT_EQ(gone.moveTo(target).num(), File::kFileExists);

    write("a", "alpha");
    File a(name("a"));
    EXPECT_FALSE(a.moveTo(target));
    EXPECT_EQ(read("t"), "alpha");
    EXPECT_FALSE(fs::exists(dir_ / "a"));

    // The same file under another spelling is never copied onto itself.
    File again(name("sub\\..\\t"));
    fs::create_directory(dir_ / "sub");
    EXPECT_EQ(target.copyTo(again).num(), File::kNoOverwritePermission);
    EXPECT_FALSE(again.moveTo(target));  // renamed onto itself
    EXPECT_EQ(read("t"), "alpha");

    // Onto an existing file a rename would fail: the copy replaces it.
    write("b", "beta");
    File b(name("b"));
    EXPECT_FALSE(b.moveTo(target));
    EXPECT_EQ(read("t"), "beta");
    EXPECT_FALSE(fs::exists(dir_ / "b"));
}

TEST_F(LocalFile, TemporaryFilesAndDirectories) {
    File f(name("report.txt"));
    ASSERT_FALSE(f.openTemp(File::kWrite));
    const std::string made = str(f.getFullName());
    EXPECT_EQ(made.rfind(at("") + "\\rep", 0), 0u) << made;
    size_t put = 0;
    EXPECT_FALSE(f.write("x", 1, &put));
    f.close();
    EXPECT_TRUE(qxOS::doesFileExist(Filename(u8(made))));

    File d(name("x"));
    ASSERT_FALSE(d.makeTempDirectory());
    const std::string dir = str(d.getFullName());
    const std::string base = dir.substr(dir.rfind('\\') + 1);
    EXPECT_EQ(base.size(), 10u);
    EXPECT_EQ(base.find_first_not_of("abcdefghijklmnopqrstuvwxy"), std::string::npos) << base;
    EXPECT_TRUE(d.isDirectory());
}

std::vector<std::string> walk(const std::string& root, const std::string& pruneAt = "") {
    std::vector<std::string> seen;
    for (qxOS::DirectoryIterator it(u8(root)); it.valid(); it.next()) {
        seen.push_back(str(it.getName()) + (it.onDirectory() ? "/" : ""));
        if (str(it.getName()) == pruneAt) it.prune();
    }
    return seen;
}

TEST_F(LocalFile, DirectoryWalk) {
    fs::create_directories(dir_ / "a" / "s");
    write("a/x", "");
    write("a/s/y", "");
    const std::string a = at("a");
    const std::vector<std::string> all = {a + "/", a + "\\s/", a + "\\x", a + "\\s\\y"};
    EXPECT_EQ(walk(a + "\\"), all);
    EXPECT_EQ(walk(a, a + "\\s"), std::vector<std::string>(all.begin(), all.end() - 1));
    EXPECT_TRUE(walk(at("none")).empty());
    EXPECT_EQ(walk(at("a\\x")), std::vector<std::string>{a + "\\x"});

    // A directory removed before its turn yields nothing.
    qxOS::DirectoryIterator it(u8(a));
    it.next();
    fs::remove_all(dir_ / "a" / "s");
    std::vector<std::string> rest;
    for (; it.valid(); it.next()) rest.push_back(str(it.getName()));
    EXPECT_EQ(rest, (std::vector<std::string>{a + "\\s", a + "\\x"}));
}

TEST_F(LocalFile, WalkNeverEntersALink) {
    fs::create_directories(dir_ / "a");
    write("a/f", "");
    if (!makeLink("a", "a/loop", true)) GTEST_SKIP() << "no symbolic links here";
    const std::string a = at("a");
    EXPECT_EQ(walk(a), (std::vector<std::string>{a + "/", a + "\\f", a + "\\loop/"}));
}

TEST_F(LocalFile, CopyDeleteMoveRename) {
    using qxOS::fileCopy;
    write("a", "alpha");
    write("b", "beta");
    const Filename a(name("a")), b(name("b")), c(name("c")), none(name("none"));
    Error e = fileCopy(a, b, false);
    EXPECT_EQ(e.num(), 3);
    EXPECT_EQ(std::string(e.message())
                  .rfind("Error copying " + native("a") + " to " + native("b") + ": ", 0),
              0u)
        << e.message();
    EXPECT_EQ(fileCopy(none, c, true).num(), 2);
    EXPECT_FALSE(fileCopy(a, b, true));
    EXPECT_EQ(read("b"), "alpha");
    EXPECT_NE(fileCopy(a, a, true).num(), 0);
    EXPECT_EQ(read("a"), "alpha");
    makeReadOnly("b");
    EXPECT_EQ(fileCopy(a, b, true).num(), 1);

    EXPECT_EQ(qxOS::fileDelete(none).num(), 1);
    EXPECT_FALSE(qxOS::fileMove(at("a").c_str(), at("c").c_str(), false));
    EXPECT_FALSE(fs::exists(dir_ / "a"));
    EXPECT_EQ(read("c"), "alpha");

    // Within a directory a rename never replaces; across directories it
    // moves.
    e = qxOS::fileRename(none, a);
    EXPECT_EQ(e.num(), 6);
    EXPECT_EQ(std::string(e.message()),
              "File or path specified by " + native("a") + " name not found.");
    EXPECT_FALSE(qxOS::fileRename(c, a));
    EXPECT_EQ(qxOS::fileRename(a, b).num(), 6);
    fs::create_directory(dir_ / "sub");
    EXPECT_FALSE(qxOS::fileRename(a, Filename(name("sub\\a"))));
    EXPECT_EQ(read("sub/a"), "alpha");
}

TEST_F(LocalFile, EntryPointsAndNames) {
    write("ten", "0123456789");
    std::string hundred(100, 'h');
    write("hundred", hundred);
    char buf[16];
    EXPECT_EQ(qxOS_ReadHeaderFromFile(at("ten").c_str(), buf, 16), -1);
    EXPECT_EQ(qxOS_ReadHeaderFromFile(at("hundred").c_str(), buf, 16), 16);
    EXPECT_EQ(qxOS_ReadHeaderFromFile(at("none").c_str(), buf, 0), 0);
    EXPECT_EQ(qxOS_ReadHeaderFromFile(at("ten").c_str(), nullptr, 4), -1);
    EXPECT_EQ(qxOS_ReadHeaderFromFileW(name("ten").asWChar(), buf, -1), -1);

    EXPECT_EQ(qxOS_DoesFileExist(at("ten").c_str()), 1);
    EXPECT_EQ(qxOS_DoesFileExistW(name("none").asWChar()), 0);
    EXPECT_EQ(qxOS_DoesDirectoryExist(at("ten").c_str()), 1);
    EXPECT_EQ(qxOS_IsFileWriteable(at("ten").c_str()), 1);
    EXPECT_EQ(qxOS_CopyFileTo(at("ten").c_str(), at("copy").c_str()), 1);
    EXPECT_EQ(read("copy"), "0123456789");
    EXPECT_EQ(qxOS_CopyFileToW(name("none").asWChar(), name("copy2").asWChar()), 0);

    for (const char* n : {"nul", "Com9.txt", "con.txt", "Lpt1.log", "C:\\x\\AUX"})
        EXPECT_TRUE(qxOS::isWindowsReservedDeviceName(Filename(u8(n)))) << n;
    for (const char* n : {"COM10", "CONSOLE", "COM0", "con.tar.gz", "LPTx"})
        EXPECT_FALSE(qxOS::isWindowsReservedDeviceName(Filename(u8(n)))) << n;

    std::FILE* f = qxOS::fopen(qxString::CString(at("ten").c_str()), qxString::CString("rb"));
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_EQ(qxOS::fopen(name("ten"), qxString::CString("rw")), nullptr);
}

TEST_F(LocalFile, FilesystemStat) {
    qxOS::Filesystem fsys(name("anything"));
    EXPECT_FALSE(fsys.stat());
    EXPECT_EQ(fsys.blockSize(), 1024u);
    EXPECT_GE(fsys.size(), fsys.avail());
    EXPECT_GT(fsys.avail(), 0u);
    EXPECT_FALSE(fsys.isRemote());
    qxOS::Filesystem server(u8("\\\\server\\share\\x"));
    server.stat();
    EXPECT_TRUE(server.isRemote());
}

TEST_F(LocalFile, TemporaryNames) {
    const std::string pid = std::to_string(qx::sys::processId());
    const std::string tmp = str(qxOS::getTempDirectory().name());
    ASSERT_FALSE(tmp.empty());
    EXPECT_NE(tmp.back(), '\\');

    const std::string n1 = str(qxOS::createTmpFilename(u8("0.tmp")).name());
    // "AST", the system's unique number in hex (four digits on Windows, one
    // to four under Wine), the process id and the suffix.
    EXPECT_EQ(n1.rfind(tmp + "\\AST", 0), 0u) << n1;
    const std::string tail = pid + ".0.tmp";
    ASSERT_GE(n1.size(), tmp.size() + 5 + tail.size()) << n1;
    const size_t digits = n1.size() - tail.size() - tmp.size() - 4;
    EXPECT_TRUE(digits >= 1 && digits <= 4) << n1;
    EXPECT_EQ(n1.substr(n1.size() - tail.size()), tail) << n1;
    EXPECT_FALSE(qxOS::doesFileExist(Filename(u8(n1))));
    const std::string n2 = str(qxOS::createTmpFilename(IString()).name());
    EXPECT_EQ(n2.substr(n2.size() - pid.size()), pid) << n2;

    const std::string v =
        str(qxOS::createNewFilenameVariant(Filename(name("")), nullptr, u8("x")).name());
    EXPECT_EQ(v.rfind(at("") + "\\rec", 0), 0u) << v;
    EXPECT_TRUE(
        qxOS::createNewFilenameVariant(Filename(name("none")), nullptr, IString()).name().empty());

    char* c = qxOS_GetTemporaryDirectory();
    EXPECT_EQ(std::string(c), tmp);
    std::free(c);
    qx::WChar* w = qxOS_CreateTemporaryFileNameW(QX_W("b"));
    ASSERT_NE(w, nullptr);
    const size_t wideDigits = IString(w).length() - (u8(tmp).length() + 4 + pid.size() + 2);
    EXPECT_TRUE(wideDigits >= 1 && wideDigits <= 4) << IString(w).asUTF8();
    std::free(w);
}

TEST_F(LocalFile, CleanupKeepsWhatIsYoungOrForeign) {
    const auto now = fs::file_time_type::clock::now();
    const auto day = std::chrono::hours(24);
    struct {
        const char* name;
        int age;
        bool goes;
    } files[] = {
        {"jamx12out7", 8, true},      {"jamx12out7b", 8, false},    {"JAMz12out7", 8, false},
        {"jamy12out7", 6, false},     {"abc.ac$", 8, true},         {".ac$", 8, false},
        {"pelABCDE.unload", 9, true}, {"pelkoTempWire.1", 8, true}, {"jam1cmd2.bat", 8, false},
        {"jamabcmd2.bat", 8, false},  {"jamabccmd2.bat", 8, true},  {"other.txt", 30, false},
        // Moveable memory's scratch files: prefix, process id, uuid.
        {"scratch-4242-0123abcd-89abcdef-00000000-ffffffff", 8, true},
        {"young-4242-0123abcd-89abcdef-00000000-ffffffff", 0, false},
        {"scratch-42x2-0123abcd-89abcdef-00000000-ffffffff", 8, false},
        {"scratch--0123abcd-89abcdef-00000000-ffffffff", 8, false},
        {"upper-4242-0123ABCD-89abcdef-00000000-ffffffff", 8, false}};
    for (auto& f : files) {
        write(f.name, "x");
        fs::last_write_time(dir_ / f.name, now - f.age * day);
    }
    int goes = 0;
    for (auto& f : files) goes += f.goes;
    EXPECT_EQ(qxOS::cleanupTempDirectory(name("")), goes);
    for (auto& f : files) EXPECT_EQ(fs::exists(dir_ / f.name), !f.goes) << f.name;
}

// The 8-bit and wide forms name the same files as the Filename forms; a
// copy reports 2 only for a missing file, 1 for a missing directory.
TEST_F(LocalFile, NarrowAndWideForms) {
    write("a", "alpha");
    const std::string a = at("a"), b = at("b"), c = at("c"), d = at("d");
    EXPECT_FALSE(qxOS::fileCopy(a.c_str(), b.c_str(), false));
    EXPECT_EQ(qxOS::fileCopy(a.c_str(), b.c_str(), false).num(), 3);
    EXPECT_EQ(qxOS::fileCopy(at("none").c_str(), c.c_str(), false).num(), 2);
    EXPECT_EQ(qxOS::fileCopy(at("no\\none").c_str(), c.c_str(), false).num(), 1);
    EXPECT_EQ(qxOS::fileCopy(name("no\\none").asWChar(), name("c").asWChar(), true).num(), 1);
    EXPECT_FALSE(qxOS::fileCopy(name("b").asWChar(), name("c").asWChar(), false));
    EXPECT_EQ(read("c"), "alpha");

    EXPECT_FALSE(qxOS::fileDelete(b.c_str()));
    EXPECT_EQ(qxOS::fileDelete(b.c_str()).num(), 1);
    EXPECT_FALSE(qxOS::fileDelete(name("c").asWChar()));
    EXPECT_FALSE(fs::exists(dir_ / "b") || fs::exists(dir_ / "c"));

    EXPECT_FALSE(qxOS::fileMove(name("a").asWChar(), name("b").asWChar(), false));
    EXPECT_EQ(read("b"), "alpha");
    EXPECT_FALSE(qxOS::fileRename(b.c_str(), c.c_str()));
    EXPECT_FALSE(qxOS::fileRename(name("c").asWChar(), name("d").asWChar()));
    EXPECT_EQ(qxOS::fileRename(c.c_str(), d.c_str()).num(), 6);
    EXPECT_EQ(read("d"), "alpha");
    EXPECT_FALSE(fs::exists(dir_ / "a") || fs::exists(dir_ / "b") || fs::exists(dir_ / "c"));
}

// Without an argument the clean-up works in the system's temporary
// directory, which the environment names.
TEST_F(LocalFile, CleanupOfTheTemporaryDirectory) {
    write("jamx12out7", "x");
    write("keep.ac$", "x");
    fs::last_write_time(dir_ / "jamx12out7",
                        fs::file_time_type::clock::now() - std::chrono::hours(24 * 8));
    std::string tmp;
    int deleted = 0;
    {
        const std::string dir = dir_.u8string();
        const EnvVar vars[] = {
            {"TMPDIR", dir.c_str()}, {"TMP", dir.c_str()}, {"TEMP", dir.c_str()}};
        tmp = str(qxOS::getTempDirectory().name());
        deleted = qxOS::cleanupTempDirectory();
    }
    EXPECT_EQ(tmp, at(""));
    EXPECT_GE(deleted, 1);
    EXPECT_FALSE(fs::exists(dir_ / "jamx12out7"));
    EXPECT_TRUE(fs::exists(dir_ / "keep.ac$"));
}

// A file past 4 GiB (sparse: no disk space used) keeps the 32-bit size at
// its largest and tells the truth in 64 bits.
TEST_F(LocalFile, SizesPast4GiB) {
    const std::uintmax_t big = (std::uintmax_t(5) << 30) + 3;
    write("big", "");
    std::error_code ec;
    fs::resize_file(dir_ / "big", big, ec);
    if (ec) GTEST_SKIP() << "cannot make a 5 GiB file here: " << ec.message();
    FileStatus st;
    EXPECT_FALSE(File::query(name("big"), st));
    EXPECT_EQ(st.getSize(), INT32_MAX);
    EXPECT_EQ(st.getSize64(), static_cast<std::int64_t>(big));
    st.setSize(7);
    EXPECT_EQ(st.getSize64(), 7);
    st.setSize64(-(std::int64_t(1) << 40));
    EXPECT_EQ(st.getSize(), INT32_MIN);
    fs::remove(dir_ / "big", ec);
}

// A walk never leaves a directory out silently: one it cannot list (here a
// name past the path limit, which even root cannot get round) and an entry
// whose status cannot be read are counted, named and handed to the callback.
TEST_F(LocalFile, WalkReportsWhatItSkipped) {
    fs::create_directories(dir_ / "w" / "ok");
    write("w/ok/f", "");
    std::string deepRel = "w";
    while ((dir_ / deepRel).u8string().size() < 300) deepRel += "/d123456789";
    std::error_code ec;
    fs::create_directories(dir_ / deepRel, ec);
    const bool deep = !ec;
    const bool looped =
        qx::sys::makeSymbolicLink(name("w\\self").asWChar(), name("w\\self").asWChar(), false) == 0;

    std::vector<std::string> heard;
    qxOS::DirectoryIterator it(name("w"));
    it.onSkip(
        [](void* ctx, const IString& n, const Error& why) {
            static_cast<std::vector<std::string>*>(ctx)->push_back(str(n) + ": " + why.message());
        },
        &heard);
    int visited = 0;
    for (; it.valid(); it.next()) ++visited;
    EXPECT_GE(visited, 4);  // w, ok, ok\f and the first deep directory
    EXPECT_EQ(it.skippedCount(), int(deep) + int(looped));
    EXPECT_EQ(static_cast<int>(heard.size()), it.skippedCount());
    const std::string deepName = at("w") + "\\d123456789";
    EXPECT_EQ(std::count_if(heard.begin(), heard.end(),
                            [&](const std::string& h) { return h.rfind(deepName, 0) == 0; }),
              int(deep));
    EXPECT_EQ(std::count_if(heard.begin(), heard.end(),
                            [&](const std::string& h) { return h.rfind(at("w\\self"), 0) == 0; }),
              int(looped));
    // The deep one comes last: refused by the name's length (12) or by the
    // system for its full form (4).
    if (deep) {
        const int num = it.lastSkipError().num();
        EXPECT_TRUE(num == File::kPathTooLong || num == File::kIOProblem) << num;
    }

    // A walk that misses nothing says so.
    qxOS::DirectoryIterator clean(name("w\\ok"));
    while (clean.valid()) clean.next();
    EXPECT_EQ(clean.skippedCount(), 0);
    EXPECT_FALSE(clean.lastSkipError());
}

}  // namespace
