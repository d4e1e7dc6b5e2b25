// Whole-file mappings, scratch files mapped window by window, and windows.
#include "scratch_dir.h"
#include "os/memory/qxMemMapFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace {

using qxOS::FileMapping;
using qxOS::MemMapFile;
using qxOS::MemoryMappedFile;

using MapFile = ScratchDir;

std::string thrownBy(const qxString::IString& name, uint64_t size, int mode) {
    try {
        MemMapFile m(name, size, mode);
    } catch (const qxUtil::Error& e) {
        EXPECT_EQ(e.num(), 1);
        return e.message();
    }
    return "nothing thrown";
}

TEST_F(MapFile, BadParametersAreThrownModeFirst) {
    const qxString::IString name = windows("a.bin");
    EXPECT_EQ(thrownBy(name, 10, 2), "Bad parameters to MemMapFile(): permissions");
    EXPECT_EQ(thrownBy(name, 0, 0), "Bad parameters to MemMapFile(): size");
    EXPECT_EQ(thrownBy(name, 0, 5), "Bad parameters to MemMapFile(): permissions");
    EXPECT_FALSE(std::filesystem::exists(dir_ / "a.bin"));
}

TEST_F(MapFile, WriteCreatesThenReadSeesTheBytes) {
    const qxString::IString name = windows("data.bin");
    {
        MemMapFile m(name, 100000, 1);
        EXPECT_TRUE(m.isWritable());
        const qxUtil::Error never = m.unmap();
        EXPECT_EQ(never.num(), 4);
        EXPECT_EQ(never.messageText(), nullptr);
        EXPECT_FALSE(m.isMapped());

        auto r = m.map();
        ASSERT_FALSE(r.second) << r.second.message();
        ASSERT_NE(r.first, nullptr);
        EXPECT_EQ(m.getMem(), r.first);
        EXPECT_EQ(m.map().first, r.first) << "a mapped object answers with its view";
        for (int i = 0; i < 100000; ++i) static_cast<unsigned char*>(r.first)[i] = static_cast<unsigned char>(i * 7);
        EXPECT_FALSE(m.unmap());
        EXPECT_FALSE(m.isMapped());
    }  // the destructor of a mapped object unmaps
    EXPECT_EQ(std::filesystem::file_size(dir_ / "data.bin"), 100000u);

    MemMapFile r(std::string((dir_ / "data.bin").u8string()).c_str(), 100000, 0);
    auto v = r.map();
    ASSERT_NE(v.first, nullptr) << v.second.message();
    const unsigned char* p = static_cast<const unsigned char*>(v.first);
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[99999], static_cast<unsigned char>(99999 * 7));

    // A read-only view longer than the file is refused by the system.
    MemMapFile tooLong(name, 200000, 0);
    auto t = tooLong.map();
    EXPECT_EQ(t.first, nullptr);
    EXPECT_EQ(t.second.num(), 2);
    EXPECT_EQ(std::filesystem::file_size(dir_ / "data.bin"), 100000u) << "file untouched";
}

TEST_F(MapFile, MissingFilesAndDirectories) {
    const qxString::IString missing = windows("missing.bin");
    MemMapFile ro(missing, 10, 0);
    auto r = ro.map();
    EXPECT_EQ(r.first, nullptr);
    EXPECT_EQ(r.second.num(), 3);
    const std::string expected = "Cannot read file: " + std::string(missing.asUTF8()) + ": ";
    EXPECT_EQ(std::string(r.second.message()).substr(0, expected.size()), expected);
    EXPECT_FALSE(ro.isMapped());

    MemMapFile rw(windows("no\\such\\dir\\x.bin"), 10, 1);
    auto w = rw.map();
    EXPECT_EQ(w.first, nullptr);
    EXPECT_EQ(w.second.num(), 3);
    EXPECT_EQ(std::string(w.second.message()).rfind("Cannot read/write file ", 0), 0u);

    MemMapFile dir(windows(""), 10, 1);
    EXPECT_EQ(dir.map().second.num(), 3) << "a directory is no file";
}

TEST_F(MapFile, ScratchFileWindows) {
    MemoryMappedFile f;
    EXPECT_FALSE(f.valid());
    EXPECT_EQ(f.getSize(), 0);
    EXPECT_TRUE(f.getFilename().isEmpty());

    const uint64_t g = FileMapping::getGranularity();
    EXPECT_EQ(g, 65536u);
    const qxString::IString name = windows("scratch.tmp");
    ASSERT_TRUE(f.createFile(name, static_cast<int64_t>(4 * g), true));
    EXPECT_TRUE(f.valid());
    EXPECT_EQ(f.getSize(), static_cast<int64_t>(4 * g));
    EXPECT_EQ(f.getFilename(), name);
    EXPECT_TRUE(std::filesystem::exists(dir_ / "scratch.tmp"));

    {
        MemoryMappedFile other;
        EXPECT_FALSE(other.createFile(name, 100, false)) << "shared with nobody";
        EXPECT_FALSE(other.valid());
        EXPECT_TRUE(other.getFilename().isEmpty());
    }

    FileMapping a = f.map(static_cast<int64_t>(g), 2 * g);
    ASSERT_TRUE(a);
    EXPECT_EQ(a.getOffset(), static_cast<int64_t>(g));
    std::memset(a.getPtr(), 0x5A, 2 * g);
    a.flush(0, 2 * g);
    a.load(0, 2 * g);
    FileMapping b = f.map(static_cast<int64_t>(2 * g), g);  // overlaps a
    ASSERT_TRUE(b);
    EXPECT_EQ(static_cast<unsigned char*>(b.getPtr())[g - 1], 0x5A);

    EXPECT_FALSE(f.map(100, 10)) << "offset off the granularity";
    EXPECT_FALSE(f.map(static_cast<int64_t>(3 * g), 2 * g)) << "past the end";

    a.unmap();
    EXPECT_FALSE(a);
    EXPECT_EQ(a.getPtr(), nullptr);
    EXPECT_EQ(a.getSize(), 0u);
    a.unmap();
    FileMapping none;
    none.unmap();
    none.load(0, 100);
    EXPECT_FALSE(none);
    b.unmap();

    // Delete on close: the file goes with the object, and a new one can be
    // made over a name the object had.
    ASSERT_TRUE(f.createFile(windows("second.tmp"), 100, true));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "scratch.tmp"));
    EXPECT_TRUE(f.createFile(windows("no\\such\\dir\\x.tmp"), 100, true) == false);
    EXPECT_FALSE(f.valid());
    EXPECT_TRUE(f.getFilename().isEmpty());
    EXPECT_FALSE(std::filesystem::exists(dir_ / "second.tmp"));
    EXPECT_FALSE(f.createFile(windows("zero.tmp"), 0, true));
}

TEST_F(MapFile, LoadStaysInsideItsWindow) {
    MemoryMappedFile f;
    ASSERT_TRUE(f.createFile(windows("w.tmp"), 3 << 20, true));
    FileMapping m = f.map(0, 3 << 20);
    ASSERT_TRUE(m);
    m.load(0, 3 << 20);  // rounds to 3 MiB, one past the last byte
    m.load(1 << 20, 5 << 20);
    FileMapping small = f.map(0, 4096);
    ASSERT_TRUE(small);
    small.load(0, 1 << 20);
    small.unmap();
    m.unmap();
}

}  // namespace
