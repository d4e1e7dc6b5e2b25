// The platform layer's full paths, copying, temporary names, listing kinds
// and volume queries answer as the Win32 calls do, on both targets.
#include "os/sys/qxSysError.h"
#include "os/sys/qxSysFile.h"
#include "qxbase.h"
#include "scratch_dir.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#    include <unistd.h>
#endif

#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using qxString::IString;
using namespace qx::sys;

class SysFileOps : public ScratchDir {
protected:
    // Text in the library's spelling, kept alive for the call.
    const qx::WChar* w(const std::string& text) {
        names_.push_back(IString(text.c_str(), qxString::EncodingUTF8));
        return names_.back().asWChar();
    }
    const qx::WChar* at(const std::string& rel) { return w((dir_ / rel).u8string()); }
    // fullPath as UTF-8, or "error N".
    std::string full(const std::string& path) {
        qx::WChar buf[1024];
        size_t n = 0;
        const int rc = fullPath(w(path), buf, 1024, &n);
        return rc ? "error " + std::to_string(rc) : std::string(IString(buf, int(n)).asUTF8());
    }
    // The test directory's full form, ending in '\'.
    std::string base() { return full(dir_.u8string()) + "\\"; }

    std::vector<IString> names_;
};

std::map<std::string, unsigned> kinds(const qx::WChar* dir, int* rc) {
    std::map<std::string, unsigned> out;
    *rc = listDirectory(
        dir,
        [](void* ctx, const qx::WChar* name, size_t n, unsigned kind) {
            (*static_cast<std::map<std::string, unsigned>*>(ctx))[IString(name, int(n)).asUTF8()] =
                kind;
        },
        &out);
    return out;
}

TEST_F(SysFileOps, FullPath) {
    fs::create_directory(dir_ / "x");
    fs::current_path(dir_ / "x");
    const std::string here = full(".");
    ASSERT_EQ(here + "\\", base() + "x\\");
    EXPECT_EQ(full("a\\b"), here + "\\a\\b");
    EXPECT_EQ(full("a/b/"), here + "\\a\\b\\");  // '/' turned, trailing separator kept
    EXPECT_EQ(full(".\\a\\..\\..\\c"), base() + "c");
    EXPECT_EQ(full("C:\\a\\..\\b"), "C:\\b");
    EXPECT_EQ(full("C:\\a\\b\\"), "C:\\a\\b\\");
    EXPECT_EQ(full("C:\\a\\b\\."), "C:\\a\\b");
    EXPECT_EQ(full("C:\\a\\\\b\\.\\"), "C:\\a\\b\\");
    EXPECT_EQ(full("C:\\x\\..\\..\\.."), "C:\\");  // never above the root
    EXPECT_EQ(full("\\\\srv\\share\\a\\..\\..\\f"), "\\\\srv\\share\\f");
    EXPECT_EQ(full(""), "error " + std::to_string(kErrorInvalidName));

    // Too small: the units needed, NUL included; exactly enough: the text.
    qx::WChar buf[16];
    size_t n = 0;
    EXPECT_EQ(fullPath(w("C:\\abc\\def"), buf, 10, &n), 122);
    EXPECT_EQ(n, 11u);
    EXPECT_EQ(fullPath(w("C:\\abc\\def"), buf, 11, &n), 0);
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(IString(buf).asUTF8(), std::string("C:\\abc\\def"));
}

TEST_F(SysFileOps, PathLengthLimit) {
    fs::create_directory(dir_ / "x");
    const std::string b = base();
    ASSERT_LT(b.size(), 200u);
    const std::string name(kMaxPath - 1 - b.size(), 'n');  // full form: 259 units
    write(name, "");
    PathStatus st{};
    EXPECT_EQ(statPath(w(b + name), &st), 0);

    // Relative: the current directory counts. Long text with a short full
    // form passes.
    fs::current_path(dir_);
    EXPECT_EQ(statPath(w(name), &st), 0);
    std::string detour;
    for (int i = 0; i < 60; ++i) detour += "x\\..\\";
    EXPECT_EQ(statPath(w(detour + name), &st), 0);
    EXPECT_EQ(statPath(w(name + "n"), &st), kErrorFilenameExcedRange);
    EXPECT_EQ(statPath(w(detour + "x\\" + name), &st), kErrorFilenameExcedRange);

    // Every call refuses 260 units before it touches anything.
    const qx::WChar* tooLong = w(b + name + "n");
    const qx::WChar* fine = w(b + name);
    unsigned long long total, avail;
    char owner[64], group[64];
    EXPECT_EQ(accessPath(tooLong, kAccessExists), kErrorFilenameExcedRange);
    EXPECT_EQ(removeDirectory(tooLong), kErrorFilenameExcedRange);
    EXPECT_EQ(unlinkFile(tooLong), kErrorFilenameExcedRange);
    EXPECT_EQ(renamePath(fine, tooLong), kErrorFilenameExcedRange);
    EXPECT_EQ(copyFile(fine, tooLong, false), kErrorFilenameExcedRange);
    int rc = -1;
    EXPECT_EQ(kinds(tooLong, &rc).size(), 0u);
    EXPECT_EQ(rc, kErrorFilenameExcedRange);
    EXPECT_EQ(diskFreeSpace(tooLong, &total, &avail), kErrorFilenameExcedRange);
    EXPECT_EQ(ownerGroup(tooLong, owner, 64, group, 64), kErrorFilenameExcedRange);
    EXPECT_EQ(makeSymbolicLink(fine, tooLong, false), kErrorFilenameExcedRange);
    // The temporary name must fit too: directory, '\', 3 + 8 units.
    qx::WChar buf[kMaxPath];
    const std::string dir247 = b + std::string(247 - b.size(), 'd');
    EXPECT_EQ(tempFileName(w(dir247 + "d"), w("abc"), buf, kMaxPath), kErrorFilenameExcedRange);
    EXPECT_EQ(tempFileName(w(dir247), w("abc"), buf, kMaxPath), kErrorDirectory);  // fits
    EXPECT_TRUE(fs::exists(dir_ / name));
    EXPECT_EQ(unlinkFile(fine), 0);
}

TEST_F(SysFileOps, CopyFile) {
    std::string bytes(300000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7 + i / 251);
    write("src", bytes);
    fs::last_write_time(dir_ / "src", fs::last_write_time(dir_ / "src") - std::chrono::hours(49));
    makeReadOnly("src");
    write("old", std::string(400000, 'o'));
    ASSERT_EQ(copyFile(at("src"), at("old"), false), 0);  // replaced, shorter
    EXPECT_TRUE(read("old") == bytes);
    PathStatus a{}, b{};
    ASSERT_EQ(statPath(at("src"), &a), 0);
    ASSERT_EQ(statPath(at("old"), &b), 0);
    EXPECT_EQ(a.modified, b.modified);
    EXPECT_EQ(accessPath(at("old"), kAccessWrite), kErrorAccessDenied);  // read-only kept

    write("empty", "");
    ASSERT_EQ(copyFile(at("empty"), at("empty2"), true), 0);
    EXPECT_TRUE(fs::exists(dir_ / "empty2") && fs::file_size(dir_ / "empty2") == 0);

    write("mine", "mine");
    EXPECT_EQ(copyFile(at("empty"), at("mine"), true), kErrorFileExists);
    EXPECT_EQ(copyFile(at("missing"), at("new"), false), kErrorFileNotFound);
    EXPECT_FALSE(fs::exists(dir_ / "new"));
    // One file under two names: refused, the source intact.
    EXPECT_EQ(copyFile(at("mine"), at("mine"), false), kErrorSharingViolation);
    EXPECT_EQ(copyFile(at("mine"), at("./mine"), false), kErrorSharingViolation);
    EXPECT_EQ(read("mine"), "mine");
    // Read-only target and directories on either side: access denied.
    EXPECT_EQ(copyFile(at("empty"), at("old"), false), kErrorAccessDenied);
    EXPECT_TRUE(read("old") == bytes);
    fs::create_directory(dir_ / "d");
    EXPECT_EQ(copyFile(at("d"), at("fromdir"), false), kErrorAccessDenied);
    EXPECT_FALSE(fs::exists(dir_ / "fromdir"));
    EXPECT_EQ(copyFile(at("mine"), at("d"), false), kErrorAccessDenied);
    EXPECT_TRUE(fs::is_directory(dir_ / "d"));
    EXPECT_EQ(read("mine"), "mine");
}

#ifndef _WIN32
// The copy's other ways: a pseudo file that claims no size gives the kernel
// copy nothing and is read through a buffer; a file on another volume
// (tmpfs, where there is one) crosses devices.
TEST_F(SysFileOps, CopyFileFallbacks) {
    ASSERT_EQ(copyFile(w("/proc/self/status"), at("status"), false), 0);
    EXPECT_EQ(read("status").rfind("Name:", 0), 0u);

    const fs::path shm = "/dev/shm";
    std::error_code ec;
    if (!fs::is_directory(shm, ec)) GTEST_SKIP() << "no tmpfs here";
    const fs::path src = shm / ("qx_copy_" + std::to_string(::getpid()));
    std::string bytes(200000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 13 + i / 509);
    std::ofstream(src, std::ios::binary) << bytes;
    const int rc = copyFile(w(src.u8string()), at("crossed"), false);
    fs::remove(src, ec);
    ASSERT_EQ(rc, 0);
    EXPECT_TRUE(read("crossed") == bytes);
}
#endif

// Windows writes four hex digits; Wine writes the number without leading
// zeros, so one to four.
bool isTempName(const std::string& name, const std::string& prefix) {
    if (name.size() < prefix.size() + 5 || name.size() > prefix.size() + 8 ||
        name.compare(0, prefix.size(), prefix) != 0)
        return false;
    for (size_t i = prefix.size(); i < name.size() - 4; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(name[i]))) return false;
    std::string ext = name.substr(name.size() - 4);
    for (char& c : ext) c = char(std::toupper(static_cast<unsigned char>(c)));
    return ext == ".TMP";
}

TEST_F(SysFileOps, TempFileName) {
    // Windows makes ".TMP" with upper-case digits, Wine ".tmp" with
    // lower-case ones: the shape is what counts.
    qx::WChar buf[kMaxPath];
    const std::string dir = dir_.u8string();
    std::vector<std::string> made;
    for (int i = 0; i < 2; ++i) {
        ASSERT_EQ(tempFileName(w(dir), w("qxtemp"), buf, kMaxPath), 0);
        made.push_back(IString(buf).asUTF8());
        ASSERT_EQ(made.back().compare(0, dir.size() + 1, dir + "\\"), 0) << made.back();
        const std::string leaf = made.back().substr(dir.size() + 1);
        EXPECT_TRUE(isTempName(leaf, "qxt")) << leaf;
        EXPECT_TRUE(fs::exists(dir_ / leaf) && fs::file_size(dir_ / leaf) == 0) << leaf;
    }
    EXPECT_NE(made[0], made[1]);
    ASSERT_EQ(tempFileName(w(dir + "\\"), w(""), buf, kMaxPath), 0);
    const std::string bare = IString(buf).asUTF8();
    EXPECT_TRUE(isTempName(bare.substr(dir.size() + 1), "")) << bare;

    // No directory there: nothing made. A buffer too small: nothing made.
    write("file", "");
    int rc = tempFileName(at("nowhere"), w("x"), buf, kMaxPath);
    EXPECT_TRUE(rc == kErrorDirectory || rc == kErrorPathNotFound) << rc;
    rc = tempFileName(at("file"), w("x"), buf, kMaxPath);
    EXPECT_TRUE(rc == kErrorDirectory || rc == kErrorPathNotFound) << rc;
    EXPECT_EQ(tempFileName(w(dir), w("x"), buf, dir.size() + 10), 122);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 4);
}

TEST_F(SysFileOps, ListingKinds) {
    write("file", "f");
    fs::create_directory(dir_ / "dir");
    // Enough names that the listing's storage moves while it grows.
    for (int i = 0; i < 300; ++i)
        write("n" + std::to_string(i * 7919) + std::string(i % 40, 'z'), "");
    int rc = -1;
    std::map<std::string, unsigned> k = kinds(at(""), &rc);
    ASSERT_EQ(rc, 0);
    EXPECT_EQ(k.size(), 304u);
    EXPECT_EQ(k["file"], kEntryFile);
    EXPECT_EQ(k["dir"], kEntryDirectory);
    EXPECT_EQ(k["."], kEntryDirectory);
    EXPECT_EQ(k[".."], kEntryDirectory);
    for (int i = 0; i < 300; i += 37)
        EXPECT_EQ(k.count("n" + std::to_string(i * 7919) + std::string(i % 40, 'z')), 1u) << i;

    // Links, where the system makes them (Windows may want a privilege).
    rc = makeSymbolicLink(at("file"), at("flink"), false);
    if (rc != 0) GTEST_SKIP() << "no symbolic links here: " << rc;
    ASSERT_EQ(makeSymbolicLink(at("dir"), at("dlink"), true), 0);
    EXPECT_EQ(makeSymbolicLink(at("file"), at("flink"), false), kErrorAlreadyExists);
    k = kinds(at(""), &rc);
    EXPECT_EQ(k["flink"], kEntryLink);
    EXPECT_TRUE(k["dlink"] & kEntryLink) << k["dlink"];
    EXPECT_EQ(k["file"], kEntryFile);
}

TEST_F(SysFileOps, VolumeTempPathOwnerProcess) {
    unsigned long long total = 0, avail = 0;
    ASSERT_EQ(diskFreeSpace(at(""), &total, &avail), 0);
    EXPECT_GT(avail, 0u);
    EXPECT_GE(total, avail);
    EXPECT_NE(diskFreeSpace(at("missing\\deeper"), &total, &avail), 0);
    const std::string b = base();
    const std::string root = b.size() > 2 && b[1] == ':' ? b.substr(0, 3) : "\\";
    EXPECT_EQ(driveType(w(root)), kDriveFixed) << root;

    qx::WChar tmp[kMaxPath];
    const size_t n = tempPath(tmp, kMaxPath);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(tmp[n - 1], '\\');
    EXPECT_EQ(tmp[n], 0);
    EXPECT_EQ(tempPath(tmp, n), 0u);  // no room for the NUL
    EXPECT_EQ(tempPath(tmp, n + 1), n);

    write("mine", "");
    char owner[256], group[256];
    ASSERT_EQ(ownerGroup(at("mine"), owner, sizeof owner, group, sizeof group), 0);
    EXPECT_NE(std::string(owner).find('\\'), std::string::npos) << owner;
    EXPECT_GT(std::string(owner).size(), std::string(owner).find('\\') + 1) << owner;
    EXPECT_NE(group[0], '\0');
    ASSERT_EQ(ownerGroup(at("mine"), owner, 2, group, sizeof group), 0);
    EXPECT_EQ(owner[0], '\0');  // no room: empty, never cut
    EXPECT_EQ(ownerGroup(at("missing"), owner, sizeof owner, group, sizeof group),
              kErrorFileNotFound);

    EXPECT_NE(processId(), 0u);
    EXPECT_EQ(processId(), processId());
}

}  // namespace
