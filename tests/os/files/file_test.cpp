// The file layer through qxOS::File, over an in-memory transport served for
// names that start with "mem:".
#include "qxbase.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

using qxOS::File;
using qxOS::FileStatus;
using qxOS::FileTransport;
using qxString::IString;
using qxUtil::Error;
using Names = qx::vector<IString>;

std::u16string key(const IString& s) {
    return std::u16string(reinterpret_cast<const char16_t*>(s.data()), s.length());
}
IString text(const std::u16string& s) {
    return IString(reinterpret_cast<const qx::WChar*>(s.data()), static_cast<int>(s.size()));
}
IString mem(const char* path) {
    return IString(path, qxString::EncodingUTF8);
}

// The in-memory file system, and faults a test can switch on.
struct Node {
    bool dir = false;
    std::string bytes;
};
std::map<std::u16string, Node> g_fs;
struct Faults {
    bool emptyReads = false;    // reads succeed with nothing, forever
    size_t shortWrites = 0;     // writes take at most this many bytes (0: all)
    int failWriteAfter = -1;    // this many writes succeed, then error 4
    std::u16string unreadable;  // opening this name for reading gives error 6
} g_faults;

class MemTransport : public FileTransport {
public:
    explicit MemTransport(const IString& name) : m_name(key(name)) {}
    ~MemTransport() override { MemTransport::close(); }

    Error read(void* buffer, size_t size, size_t* got) override {
        *got = 0;
        if (!m_open) return File::getError(File::kNotOpen);
        if (g_faults.emptyReads) return Error();
        const std::string& b = g_fs[m_name].bytes;
        const size_t n = std::min(size, b.size() - m_pos);
        b.copy(static_cast<char*>(buffer), n, m_pos);
        m_pos += n;
        *got = n;
        return m_pos == b.size() ? File::getError(File::kEndOfFile) : Error();
    }
    Error write(const void* buffer, size_t size, size_t* put) override {
        *put = 0;
        if (!m_open) return File::getError(File::kNotOpen);
        if (g_faults.failWriteAfter == 0) return File::getError(File::kIOProblem);
        if (g_faults.failWriteAfter > 0) --g_faults.failWriteAfter;
        const size_t n = g_faults.shortWrites ? std::min(size, g_faults.shortWrites) : size;
        g_fs[m_name].bytes.append(static_cast<const char*>(buffer), n);
        *put = n;
        return Error();
    }
    Error open(int mode) override {
        const auto it = g_fs.find(m_name);
        if (it != g_fs.end() && it->second.dir) return File::getError(File::kNotFile);
        if (!parentExists()) return File::getError(File::kDoesNotExist);
        if (mode & File::kWrite) {
            g_fs[m_name] = Node();
        } else {
            if (it == g_fs.end()) return File::getError(File::kDoesNotExist);
            if (m_name == g_faults.unreadable) return File::getError(File::kNoReadPermission);
        }
        m_open = true;
        m_pos = 0;
        return Error();
    }
    Error close() override {
        m_open = false;
        return Error();
    }
    Error makeDirectory() override {
        if (g_fs.count(m_name)) return File::getError(File::kFileExists);
        if (!parentExists()) return File::getError(File::kDoesNotExist);
        g_fs[m_name].dir = true;
        return Error();
    }
    Error readDir(Names& names, bool fullPaths) override {
        if (!isDirectory()) return File::getError(File::kNotDirectory);
        names.push_back(IString(QX_W(".")));
        names.push_back(IString(QX_W("..")));
        const std::u16string prefix = m_name + u'\\';
        for (auto it = g_fs.lower_bound(prefix);
             it != g_fs.end() && it->first.compare(0, prefix.size(), prefix) == 0; ++it)
            if (it->first.find(u'\\', prefix.size()) == std::u16string::npos)
                names.push_back(text(fullPaths ? it->first : it->first.substr(prefix.size())));
        return Error();
    }
    Error deleteSelf() override {
        const auto it = g_fs.find(m_name);
        if (it == g_fs.end()) return File::getError(File::kDoesNotExist);
        if (it->second.dir) {
            const auto next = std::next(it);
            if (next != g_fs.end() &&
                next->first.compare(0, m_name.size() + 1, m_name + u'\\') == 0)
                return File::getError(File::kDirectoryNotEmpty);
        }
        g_fs.erase(it);
        return Error();
    }
    bool isDirectory() override {
        const auto it = g_fs.find(m_name);
        return it != g_fs.end() && it->second.dir;
    }
    bool isOpen() override { return m_open; }
    IString getFullName() override { return text(m_name); }
    IString getNameTitle() override { return text(m_name.substr(0, m_name.rfind(u'\\') + 1)); }
    IString getNameBase() override { return text(m_name.substr(m_name.rfind(u'\\') + 1)); }
    qx::WChar getSeparator() override { return '\\'; }
    IString transportId() override { return IString(QX_W("mem")); }
    Error query(FileStatus& status) override {
        const auto it = g_fs.find(m_name);
        if (it == g_fs.end()) return File::getError(File::kDoesNotExist);
        status.setExists(true);
        status.setIsDirectory(it->second.dir);
        status.setIsFile(!it->second.dir);
        status.setSize(static_cast<int>(it->second.bytes.size()));
        return Error();
    }

private:
    bool parentExists() const {
        const auto cut = m_name.rfind(u'\\');
        if (cut == std::u16string::npos || cut == 4) return true;  // "mem:\x"
        const auto it = g_fs.find(m_name.substr(0, cut));
        return it != g_fs.end() && it->second.dir;
    }

    std::u16string m_name;
    bool m_open = false;
    size_t m_pos = 0;
};

struct MemFactory : qxOS::FileTransportFactory {
    qxOS::FileTransport* create(const IString& name) override {
        created++;
        return key(name).rfind(u"mem:", 0) == 0 ? new MemTransport(name) : nullptr;
    }
    int created = 0;
};

// Factories live as long as the process; registered once for every test.
MemFactory& factory() {
    static MemFactory* f = [] {
        auto* m = new MemFactory();
        qxOS::FileFactory::getFileFactory()->addTransportFactory(m);
        return m;
    }();
    return *f;
}

class FileLayer : public testing::Test {
protected:
    void SetUp() override {
        factory();
        g_fs.clear();
        g_faults = Faults();
    }
    static void put(const char* name, const std::string& bytes) {
        g_fs[key(mem(name))].bytes = bytes;
    }
    static void dir(const char* name) { g_fs[key(mem(name))].dir = true; }
    static std::string bytes(const char* name) { return g_fs.at(key(mem(name))).bytes; }
    static bool has(const char* name) { return g_fs.count(key(mem(name))) != 0; }
};

std::string randomBytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng());
    return s;
}

TEST(FileErrors, MessagesAndSuccess) {
    EXPECT_FALSE(File::getError(0));
    EXPECT_EQ(File::getError(0).messageText(), nullptr);
    EXPECT_STREQ(File::getError(7).message(), "No Overwrite permission");
    EXPECT_STREQ(File::getError(14).message(), "ErrSyscall");
    EXPECT_STREQ(File::getError(19).message(), "Cannot become the parent of a root directory");
    EXPECT_EQ(File::getError(19).num(), 19);
}

TEST_F(FileLayer, GuardsComeBeforeTheTransport) {
    put("mem:\\f", "data");
    dir("mem:\\d");
    File f(mem("mem:\\f"));
    ASSERT_TRUE(f.isValid());
    EXPECT_EQ(f.transportId(), IString(QX_W("mem")));
    EXPECT_EQ(f.close().num(), File::kNotOpen);
    ASSERT_FALSE(f.open(File::kRead));
    EXPECT_EQ(f.open(File::kRead).num(), File::kIsOpen);
    EXPECT_EQ(f.deleteSelf(0).num(), File::kIsOpen);
    EXPECT_EQ(f.makeDirectory().num(), File::kIsOpen);
    File other(mem("mem:\\g"));
    EXPECT_EQ(f.copyTo(other).num(), File::kIsOpen);
    EXPECT_FALSE(f.close());

    Names names;
    names.push_back(IString(QX_W("kept")));
    EXPECT_EQ(f.readDir(names, false).num(), File::kNotDirectory);
    ASSERT_EQ(names.size(), 1);

    // Onto itself: refused before anything is opened or truncated.
    File same(mem("mem:\\f"));
    EXPECT_EQ(f.copyTo(same).num(), File::kNoOverwritePermission);
    EXPECT_EQ(f.moveTo(same).num(), File::kNoOverwritePermission);
    EXPECT_EQ(bytes("mem:\\f"), "data");

    // The base operations a transport need not support.
    EXPECT_EQ(f.openTemp(File::kWrite).num(), -1);
    EXPECT_STREQ(f.makeDirectoryAll().message(), "This function is not implemented.");
    FileStatus st;
    st.setIsRemote(true);
    Error e = f.query(st, true);
    EXPECT_EQ(e.num(), -1);
    EXPECT_STREQ(e.message(), "This function still not supported.");
    EXPECT_TRUE(st.isFile() && !st.isRemote() && st.getSize() == 4);
    EXPECT_STREQ(st.getOwner().c_str(), "Unknown");

    // A directory read as a file: the transport's error.
    File d(mem("mem:\\d"));
    EXPECT_EQ(d.open(File::kRead).num(), File::kNotFile);
    EXPECT_FALSE(d.isOpen());

    // A file without transport; a name no other factory serves is local.
    File nowhere(static_cast<FileTransport*>(nullptr));
    EXPECT_FALSE(nowhere.isValid());
    EXPECT_EQ(f.copyTo(nowhere).num(), File::kNotImplemented);
    EXPECT_EQ(File(mem("nowhere:x")).transportId(), IString(QX_W("LocalFileTransport")));
    EXPECT_FALSE(File::query(qxOS::Filename(mem("mem:\\d")), st));
    EXPECT_TRUE(st.isDirectory() && st.getOwner().empty());
}

TEST_F(FileLayer, CopiesAndMovesFiles) {
    const std::string big = randomBytes(3 * 4096 + 17, 1);
    put("mem:\\src", big);
    put("mem:\\dst", "old contents");
    File src(mem("mem:\\src")), dst(mem("mem:\\dst"));
    EXPECT_FALSE(src.copyTo(dst));
    EXPECT_EQ(bytes("mem:\\dst"), big);
    EXPECT_FALSE(src.isOpen() || dst.isOpen());

    // A transport that takes a few bytes per write still gets them all.
    g_faults.shortWrites = 1000;
    File copy2(mem("mem:\\copy2"));
    EXPECT_FALSE(src.copyTo(copy2));
    EXPECT_EQ(bytes("mem:\\copy2"), big);
    g_faults.shortWrites = 0;

    // A failing write is reported; the source is untouched.
    g_faults.failWriteAfter = 1;
    EXPECT_EQ(src.copyTo(dst).num(), File::kIOProblem);
    EXPECT_EQ(bytes("mem:\\src"), big);
    g_faults.failWriteAfter = -1;

    // A source that cannot be opened: its error, the destination closed.
    g_faults.unreadable = key(mem("mem:\\src"));
    EXPECT_EQ(src.copyTo(dst).num(), File::kNoReadPermission);
    EXPECT_FALSE(dst.isOpen());
    g_faults.unreadable.clear();

    // Reads that succeed with nothing end the copy instead of spinning.
    g_faults.emptyReads = true;
    EXPECT_FALSE(src.copyTo(dst));
    g_faults.emptyReads = false;

    File moved(mem("mem:\\moved"));
    EXPECT_FALSE(src.moveTo(moved));
    EXPECT_FALSE(has("mem:\\src"));
    EXPECT_EQ(bytes("mem:\\moved"), big);
}

TEST_F(FileLayer, DirectoriesMergeMoveAndDelete) {
    dir("mem:\\a");
    put("mem:\\a\\one", "1");
    dir("mem:\\a\\sub");
    put("mem:\\a\\sub\\two", "22");
    dir("mem:\\a\\sub\\deeper");
    dir("mem:\\b");
    put("mem:\\b\\mine", "kept");
    put("mem:\\b\\one", "replaced");

    File a(mem("mem:\\a")), b(mem("mem:\\b"));
    Names names;
    ASSERT_FALSE(a.readDir(names, false));
    EXPECT_EQ(names.size(), 4);  // ".", "..", "one", "sub"

    // Onto an existing directory: the contents merge.
    EXPECT_FALSE(a.copyTo(b));
    EXPECT_EQ(bytes("mem:\\b\\one"), "1");
    EXPECT_EQ(bytes("mem:\\b\\mine"), "kept");
    EXPECT_EQ(bytes("mem:\\b\\sub\\two"), "22");
    EXPECT_TRUE(has("mem:\\b\\sub\\deeper"));
    EXPECT_TRUE(has("mem:\\a\\sub\\two"));

    // Moving the structure entry by entry: files go; a subdirectory is
    // copied whole but its own deletion does not recurse, so it stays, full,
    // and is reported.
    dir("mem:\\c");
    File c(mem("mem:\\c"));
    EXPECT_EQ(a.getTransport()->recreateDirStructure(*c.getTransport(), true).num(),
              File::kDirectoryNotEmpty);
    EXPECT_FALSE(has("mem:\\a\\one"));
    EXPECT_TRUE(has("mem:\\a\\sub\\two"));
    EXPECT_EQ(bytes("mem:\\c\\sub\\two"), "22");
    File file(mem("mem:\\c\\sub\\two"));
    EXPECT_EQ(file.getTransport()->recreateDirStructure(*c.getTransport(), false).num(),
              File::kNotDirectory);

    // Deleting without recursion leaves a non-empty directory whole;
    // with it, everything goes.
    EXPECT_EQ(b.deleteSelf(File::kNoRecursion).num(), File::kDirectoryNotEmpty);
    EXPECT_TRUE(has("mem:\\b\\sub\\two"));
    EXPECT_FALSE(b.deleteSelf(0));
    for (const auto& entry : g_fs) EXPECT_NE(entry.first.rfind(u"mem:\\b", 0), 0u);
}

TEST_F(FileLayer, FactoriesAreAskedInOrder) {
    struct Second : qxOS::FileTransportFactory {
        qxOS::FileTransport* create(const IString& name) override {
            return key(name).rfind(u"two:", 0) == 0 ? new MemTransport(name) : nullptr;
        }
    };
    static Second* second = new Second();
    static const bool added =
        (qxOS::FileFactory::getFileFactory()->addTransportFactory(second),
         qxOS::FileFactory::getFileFactory()->addTransportFactory(nullptr), true);
    (void)added;
    const int before = factory().created;
    File two(mem("two:x"));
    EXPECT_TRUE(two.isValid());
    EXPECT_EQ(factory().created, before + 1);  // asked first, declined
    std::unique_ptr<File> made(qxOS::FileFactory::getFileFactory()->createFile(mem("mem:\\x")));
    ASSERT_TRUE(made);
    EXPECT_EQ(made->getNameBase(), IString(QX_W("x")));
    std::unique_ptr<File> local(qxOS::FileFactory::getFileFactory()->createFile(mem("none:x")));
    ASSERT_TRUE(local);
    EXPECT_EQ(local->transportId(), IString(QX_W("LocalFileTransport")));
}

}  // namespace
