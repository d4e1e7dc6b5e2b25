// The platform layer's path calls answer as the Windows runtime does, on
// both targets.
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysFile.h"
#include "qxbase.h"
#include "scratch_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qxString::IString;

class SysDir : public ScratchDir {
protected:
    // The path as the library spells it, kept alive for the call.
    const qx::WChar* at(const std::string& rel) {
        names_.push_back(IString((dir_ / rel).u8string().c_str(), qxString::EncodingUTF8));
        return names_.back().asWChar();
    }

    std::vector<IString> names_;
};

using Units = std::u16string;

// The names in the order the listing gives them.
std::vector<Units> listedInOrder(const qx::WChar* dir, int* rc) {
    std::vector<Units> out;
    *rc = qx::sys::listDirectory(
        dir,
        [](void* ctx, const qx::WChar* name, size_t n, unsigned) {
            static_cast<std::vector<Units>*>(ctx)->emplace_back(name, name + n);
        },
        &out);
    return out;
}

std::vector<std::string> listed(const qx::WChar* dir, int* rc) {
    std::vector<std::string> out;
    for (const Units& u : listedInOrder(dir, rc))
        out.push_back(
            IString(reinterpret_cast<const qx::WChar*>(u.data()), static_cast<int>(u.size()))
                .asUTF8());
    std::sort(out.begin(), out.end());
    return out;
}

TEST_F(SysDir, StatusAndAccess) {
    using namespace qx::sys;
    write("f.bin", std::string(1234, 'x'));
    fs::create_directory(dir_ / "d");
    PathStatus st{};
    ASSERT_EQ(statPath(at("f.bin"), &st), 0);
    EXPECT_TRUE(st.isRegular && !st.isDirectory);
    EXPECT_EQ(st.size, 1234);
    EXPECT_GT(st.modified, 1600000000);
    ASSERT_EQ(statPath(at("d"), &st), 0);
    EXPECT_TRUE(st.isDirectory && !st.isRegular);
    EXPECT_EQ(statPath(at("missing"), &st), kErrorFileNotFound);

    EXPECT_EQ(accessPath(at("f.bin"), kAccessRead | kAccessWrite), 0);
    EXPECT_EQ(accessPath(at("missing"), kAccessExists), kErrorFileNotFound);
    // Write bits cleared: not writable, whoever runs the test.
    fs::permissions(dir_ / "f.bin",
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(accessPath(at("f.bin"), kAccessWrite), kErrorAccessDenied);
    EXPECT_EQ(accessPath(at("f.bin"), kAccessRead), 0);
}

TEST_F(SysDir, RemoveRenameAndList) {
    using namespace qx::sys;
    fs::create_directories(dir_ / "full" / "sub");
    write("full/a.txt", "a");
    write("b.txt", "b");
    write("c.txt", "c");

    EXPECT_EQ(removeDirectory(at("full")), kErrorDirNotEmpty);
    EXPECT_EQ(unlinkFile(at("full")), kErrorAccessDenied);
    EXPECT_EQ(unlinkFile(at("nothing")), kErrorFileNotFound);
    EXPECT_EQ(removeDirectory(at("full/sub")), 0);
    EXPECT_EQ(unlinkFile(at("full/a.txt")), 0);
    EXPECT_EQ(removeDirectory(at("full")), 0);
    EXPECT_FALSE(fs::exists(dir_ / "full"));

    // An existing target is never replaced.
    EXPECT_NE(renamePath(at("b.txt"), at("c.txt")), 0);
    EXPECT_TRUE(fs::exists(dir_ / "b.txt"));
    std::ifstream c(dir_ / "c.txt");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(c), {}), "c");
    EXPECT_EQ(renamePath(at("b.txt"), at("moved.txt")), 0);
    EXPECT_TRUE(fs::exists(dir_ / "moved.txt") && !fs::exists(dir_ / "b.txt"));

    int rc = -1;
    EXPECT_EQ(listed(at(""), &rc), (std::vector<std::string>{".", "..", "c.txt", "moved.txt"}));
    EXPECT_EQ(rc, 0);
    fs::create_directory(dir_ / "empty");
    EXPECT_EQ(listed(at("empty"), &rc), (std::vector<std::string>{".", ".."}));
    EXPECT_TRUE(listed(at("c.txt"), &rc).empty());
    EXPECT_EQ(rc, kErrorDirectory);
    listed(at("nowhere"), &rc);
    EXPECT_EQ(rc, kErrorPathNotFound);
}

// Windows tells a missing name (2) from a missing or misplaced directory on
// the way (3); errno says ENOENT for both, so the POSIX side must look.
TEST_F(SysDir, MissingFileAndMissingPathDiffer) {
    using namespace qx::sys;
    fs::create_directory(dir_ / "d");
    write("f", "f");
    write("d/inside", "i");
    PathStatus st{};
    int rc = -1;
    struct Case {
        const char* what;
        int got;
        int want;
    };
    const Case cases[] = {
        {"stat missing", statPath(at("none"), &st), kErrorFileNotFound},
        {"stat missing dir", statPath(at("none\\x"), &st), kErrorPathNotFound},
        {"stat through file", statPath(at("f\\x"), &st), kErrorPathNotFound},
        {"access missing dir", accessPath(at("none\\x"), kAccessRead), kErrorPathNotFound},
        {"mkdir missing parent", makeDirectory(at("none\\x")), kErrorPathNotFound},
        {"mkdir existing", makeDirectory(at("d")), kErrorAlreadyExists},
        {"mkdir over file", makeDirectory(at("f")), kErrorAlreadyExists},
        {"rmdir missing", removeDirectory(at("none")), kErrorFileNotFound},
        {"rmdir missing parent", removeDirectory(at("none\\x")), kErrorPathNotFound},
        {"rmdir file", removeDirectory(at("f")), kErrorDirectory},
        {"unlink missing", unlinkFile(at("none")), kErrorFileNotFound},
        {"unlink missing parent", unlinkFile(at("none\\x")), kErrorPathNotFound},
        {"rename missing source", renamePath(at("none"), at("y")), kErrorFileNotFound},
        {"rename source dir missing", renamePath(at("none\\x"), at("y")), kErrorPathNotFound},
        {"rename target dir missing", renamePath(at("f"), at("none\\y")), kErrorPathNotFound},
        {"copy missing source", copyFile(at("none"), at("y"), false), kErrorFileNotFound},
        {"copy source dir missing", copyFile(at("none\\x"), at("y"), false), kErrorPathNotFound},
        {"copy target dir missing", copyFile(at("f"), at("none\\y"), false), kErrorPathNotFound},
        {"copy onto existing", copyFile(at("f"), at("d\\inside"), true), kErrorFileExists},
        {"list missing", (listed(at("none"), &rc), rc), kErrorPathNotFound},
        {"list missing parent", (listed(at("none\\x"), &rc), rc), kErrorPathNotFound},
        {"list file", (listed(at("f"), &rc), rc), kErrorDirectory},
        {"chdir missing parent", setCurrentDirectory(at("none\\x")), kErrorPathNotFound},
    };
    for (const Case& c : cases) EXPECT_EQ(c.got, c.want) << c.what;

    int err = 0;
    EXPECT_EQ(openStdioFile(at("none"), "rb", &err), nullptr);
    EXPECT_EQ(err, kErrorFileNotFound);
    EXPECT_EQ(openStdioFile(at("none\\x"), "wb", &err), nullptr);
    EXPECT_EQ(err, kErrorPathNotFound);
    EXPECT_EQ(openStdioFile(at("f\\x"), "rb", &err), nullptr);
    EXPECT_EQ(err, kErrorPathNotFound);
    EXPECT_TRUE(fs::exists(dir_ / "f") && fs::exists(dir_ / "d" / "inside"));
}

// Names of every length from 1 to 40 with long shared prefixes, listed in
// UTF-16 unit order. Padding the names to whole words once lost the
// terminating zero of names whose length is a multiple of four.
TEST_F(SysDir, ListingOrderIsUnitOrder) {
    const std::vector<std::string> tricky = {"data", "data1", "memo2", "memo", "note3", "note"};
    std::vector<Units> want = {u".", u".."};
    for (const std::string& n : tricky) {
        write(n, "");
        want.emplace_back(n.begin(), n.end());
    }
    for (int len = 1; len <= 40; ++len)
        for (const char* stem : {"abcdabcdabcdabcdabcdabcdabcdabcdabcdabcd",
                                 "abcdabcdabcdabcdabcdabcdabcdabcdabcdabce",
                                 "zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz"}) {
            for (char last : {'a', 'm', 'q'}) {
                std::string n(stem, static_cast<size_t>(len));
                n.back() = last;
                if (std::find(want.begin(), want.end(), Units(n.begin(), n.end())) != want.end())
                    continue;
                write(n, "");
                want.emplace_back(n.begin(), n.end());
            }
        }
    // A few beyond ASCII: units, not bytes, decide.
    for (const char* n : {"\xc3\xa9t\xc3\xa9", "\xe2\x82\xac", "\xf0\x9f\x98\x80x"}) {
        std::ofstream(dir_ / fs::u8path(n)) << "";
        const IString w(n, qxString::EncodingUTF8);
        want.emplace_back(w.data(), w.data() + w.length());
    }
    ASSERT_GT(want.size(), 200u);
    std::sort(want.begin(), want.end());

    int rc = -1;
    std::vector<Units> got = listedInOrder(at(""), &rc);
    ASSERT_EQ(rc, 0);
    qx::vector<IString> names;
    qxOS::File dir(IString(dir_.u8string().c_str(), qxString::EncodingUTF8));
    ASSERT_FALSE(dir.readDir(names, false));
    std::vector<Units> viaFile;
    for (const IString& n : names) viaFile.emplace_back(n.data(), n.data() + n.length());
        // Windows lists in the file system's own order: only the names count.
#ifdef _WIN32
    {
        std::sort(got.begin(), got.end());
        std::sort(viaFile.begin(), viaFile.end());
    }
#endif
    EXPECT_EQ(got, want);
    EXPECT_EQ(viaFile, want);
}

}  // namespace
