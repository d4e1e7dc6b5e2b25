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

std::vector<std::string> listed(const qx::WChar* dir, int* rc) {
    std::vector<std::string> out;
    *rc = qx::sys::listDirectory(
        dir,
        [](void* ctx, const qx::WChar* name, size_t n, unsigned) {
            static_cast<std::vector<std::string>*>(ctx)->push_back(
                IString(name, static_cast<int>(n)).asUTF8());
        },
        &out);
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
    EXPECT_TRUE(rc == kErrorPathNotFound || rc == kErrorFileNotFound) << rc;
}

}  // namespace
