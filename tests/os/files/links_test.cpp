// Links inside a tree that is deleted, merged, moved or cleaned: each link
// goes (or stays) as itself and nothing it points to outside the tree is
// touched. Linux makes real symbolic links. Wine makes no link through the
// system call, so there the links are Unix symbolic links made by the
// host's shell. Wine shows a Unix link to a directory as a reparse point
// and cannot remove it (a call may then report the documented error, but
// never reaches outside); a Unix link to a file it shows as the file itself
// (and its DeleteFileW deletes the target), so there is no file link to
// test there.
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysFile.h"
#include "qxbase.h"
#include "scratch_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#    include <windows.h>
#endif

namespace {

namespace fs = std::filesystem;
using qxOS::File;
using qxString::IString;
using qxUtil::Error;

std::string str(const IString& s) {
    return s.asUTF8();
}

// A transport of another kind over local files, so that moves between
// transports take the generic copy-and-delete way.
class OtherTransport : public qxOS::FileTransport {
public:
    explicit OtherTransport(const IString& name)
        : m_local(qxOS::LocalFileTransportFactory().create(name)) {}
    ~OtherTransport() override { delete m_local; }
    Error read(void* b, size_t n, size_t* got) override { return m_local->read(b, n, got); }
    Error write(const void* b, size_t n, size_t* put) override { return m_local->write(b, n, put); }
    Error open(int mode) override { return m_local->open(mode); }
    Error close() override { return m_local->close(); }
    Error makeDirectory() override { return m_local->makeDirectory(); }
    Error readDir(qx::vector<IString>& names, bool full) override {
        return m_local->readDir(names, full);
    }
    Error deleteSelf() override { return m_local->deleteSelf(); }
    bool isDirectory() override { return m_local->isDirectory(); }
    bool isOpen() override { return m_local->isOpen(); }
    IString getFullName() override {
        IString out(kPrefix);
        out += m_local->getFullName();
        return out;
    }
    IString getNameTitle() override { return m_local->getNameTitle(); }
    IString getNameBase() override { return m_local->getNameBase(); }
    qx::WChar getSeparator() override { return m_local->getSeparator(); }
    IString transportId() override { return IString(QX_W("OtherTransport")); }
    Error query(qxOS::FileStatus& status) override { return m_local->query(status); }
    bool isLink() override { return m_local->isLink(); }

    static const IString kPrefix;

private:
    qxOS::FileTransport* m_local;
};

const IString OtherTransport::kPrefix(QX_W("other:"));

class OtherFactory : public qxOS::FileTransportFactory {
public:
    qxOS::FileTransport* create(const IString& name) override {
        const unsigned n = OtherTransport::kPrefix.length();
        if (name.length() < n ||
            IString(name.data(), static_cast<int>(n)).compare(OtherTransport::kPrefix) != 0)
            return nullptr;
        return new OtherTransport(IString(name.data() + n, static_cast<int>(name.length() - n)));
    }
};

class Links : public ScratchDir {
protected:
    void SetUp() override {
        ScratchDir::SetUp();
        // Files outside every tree under test, reached through the links.
        fs::create_directories(dir_ / "outside" / "sub");
        write("outside/keep.txt", "keep");
        write("outside/sub/deep.txt", "deep");
    }

    void expectOutsideIntact() {
        EXPECT_EQ(read("outside/keep.txt"), "keep");
        EXPECT_EQ(read("outside/sub/deep.txt"), "deep");
    }
    // The links of a tree: to a directory outside, to a file outside, to
    // the tree itself (a loop) and to nothing.
    bool makeTree(const std::string& root) {
        fs::create_directories(dir_ / root / "sub");
        write(root + "/a.txt", "a");
        write(root + "/sub/b.txt", "b");
        if (!makeLink("outside", root + "/dirlink", true)) return false;
        return (hostLinks_ || makeLink("outside/keep.txt", root + "/filelink", false)) &&
               makeLink(root, root + "/sub/loop", true) &&
               makeLink("nowhere", root + "/sub/dangling", false);
    }

    static void registerOther() {
        static OtherFactory factory;
        static const bool registered =
            (qxOS::FileFactory::getFileFactory()->addTransportFactory(&factory), true);
        (void)registered;
    }
};

TEST_F(Links, RecursiveDeleteRemovesLinksNotTargets) {
    if (!makeTree("tree")) GTEST_SKIP() << "no symbolic links here";
    File tree(windows("tree"));
    const Error e = tree.deleteSelf(0);
    expectOutsideIntact();
    if (!e) EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ / "tree")));
    // Under Wine the links stay, and so the tree's directories.
    else
        EXPECT_NE(e.num(), 0);

    // A link to a directory deleted by name goes itself, however asked.
    ASSERT_TRUE(makeLink("outside", "alone", true));
    File alone(windows("alone"));
    EXPECT_TRUE(alone.isDirectory());
    const Error gone = alone.deleteSelf(0);
    expectOutsideIntact();
    if (!gone) {
        EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ / "alone")));
    }
    ASSERT_TRUE(makeLink("outside", "alone2", true));
    File alone2(windows("alone2"));
    const Error direct = alone2.getTransport()->recursiveDeleteSelf();
    expectOutsideIntact();
    if (!direct) {
        EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ / "alone2")));
    }
}

TEST_F(Links, MergeAndMoveLeaveLinkTargetsAlone) {
    if (!makeTree("src")) GTEST_SKIP() << "no symbolic links here";
    // Merge with deletion of what was copied: a link to a directory is
    // neither entered nor copied, and stays; a link to a file is copied as
    // the file and then goes itself.
    fs::create_directory(dir_ / "dst");
    File src(windows("src"));
    File dst(windows("dst"));
    // The dangling link has nothing to copy (18); where the listing does
    // not show it (Wine), sub cannot go while its links stay (13).
    const int merged = src.getTransport()->recreateDirStructure(*dst.getTransport(), true).num();
    EXPECT_TRUE(merged == File::kDoesNotExist || merged == File::kDirectoryNotEmpty) << merged;
    expectOutsideIntact();
    EXPECT_EQ(read("dst/a.txt"), "a");
    EXPECT_EQ(read("dst/sub/b.txt"), "b");
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ / "dst" / "dirlink")));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ / "dst" / "sub" / "loop")));
    EXPECT_TRUE(fs::exists(fs::symlink_status(dir_ / "src" / "dirlink")));
    EXPECT_FALSE(fs::exists(dir_ / "src" / "a.txt"));
    if (!hostLinks_) {
        EXPECT_EQ(read("dst/filelink"), "keep");
        EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ / "src" / "filelink")));
    }

    // A directory moved to another transport: copied, then deleted only
    // where nothing is left (the links stay), never through a link.
    // (A tree of its own: Wine's file calls would go round the loop of the
    // first one.)
    ASSERT_TRUE(makeTree("src2"));
    registerOther();
    IString otherName(OtherTransport::kPrefix);
    otherName += windows("moved");
    File other(otherName);
    ASSERT_EQ(other.transportId().compare(IString(QX_W("OtherTransport"))), 0);
    File again(windows("src2"));
    const Error e = again.moveTo(other);
    expectOutsideIntact();
    EXPECT_TRUE(e.num() == File::kDoesNotExist || e.num() == File::kDirectoryNotEmpty)
        << e.message();
    EXPECT_EQ(read("moved/sub/b.txt"), "b");
    EXPECT_EQ(read("src2/sub/b.txt"), "b");
}

TEST_F(Links, CleanupDeletesStaleLinksNeverTheirTargets) {
    fs::create_directory(dir_ / "tmp");
    if (!makeLink("outside", "tmp/pelABCDE.unload", true)) GTEST_SKIP() << "no symbolic links here";
    ASSERT_TRUE(hostLinks_ || makeLink("outside/keep.txt", "tmp/jamx12out7", false));
    // The targets look stale: the links' status is theirs.
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(24 * 9);
    std::error_code ec;  // Wine sets no time on a directory
    fs::last_write_time(dir_ / "outside", old, ec);
    fs::last_write_time(dir_ / "outside" / "keep.txt", old);
    const int deleted = qxOS::cleanupTempDirectory(windows("tmp"));
    expectOutsideIntact();
    EXPECT_LE(deleted, 1);
    EXPECT_TRUE(fs::exists(fs::symlink_status(dir_ / "tmp" / "pelABCDE.unload")));
}

// A walk through another transport lists and queries through it, and
// never enters a link either.
TEST_F(Links, WalkThroughAnotherTransport) {
    fs::create_directories(dir_ / "w" / "s");
    write("w/x", "x");
    write("w/s/y", "y");
    registerOther();
    IString root(OtherTransport::kPrefix);
    root += windows("w");
    std::vector<std::string> seen;
    for (qxOS::DirectoryIterator it(root); it.valid(); it.next())
        seen.push_back(std::string(it.onDirectory() ? "d " : "f ") + it.getName().asUTF8());
    std::sort(seen.begin() + 1, seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"d " + str(root), "d " + str(windows("w\\s")),
                                              "f " + str(windows("w\\s\\y")),
                                              "f " + str(windows("w\\x"))}));
}

}  // namespace
