#include "qxbase.h"
#include "scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
using qxOS::File;
using qxOS::FileNameStream;
using qxOS::OStream;
using qxOS::StdioStream;
using qxString::CString;
using qxString::IString;
using qxUtil::Error;

// Text with NULs and every byte value, longer than OStream's buffer.
std::string sample() {
    std::string s;
    for (int i = 0; i < 9000; ++i) s += static_cast<char>(i * 7 % 256);
    return s;
}

// Reads the stream to its end in pieces of 1000 bytes: the last read must
// report the end (3) together with the bytes it got.
std::string readAll(qxOS::IOStream& in) {
    std::string out;
    for (;;) {
        char buf[1000];
        size_t got = 12345;
        const Error e = in.read(buf, sizeof buf, &got);
        out.append(buf, got);
        if (e) {
            EXPECT_EQ(e, File::getError(File::kEndOfFile));
            EXPECT_LT(got, sizeof buf);
            return out;
        }
        EXPECT_EQ(got, sizeof buf);
    }
}

TEST(StdioStream, OverACallersFile) {
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    const std::string text = sample();
    {
        StdioStream s(f);
        EXPECT_EQ(s.file(), f);
        EXPECT_FALSE(s.error());
        OStream os(s);
        os << text << "|end";
        os.flush();
        EXPECT_TRUE(os);
        std::rewind(f);
        EXPECT_EQ(readAll(s), text + "|end");
    }
    // Still open: the stream did not close what it did not open.
    std::rewind(f);
    EXPECT_EQ(std::fgetc(f), static_cast<unsigned char>(text[0]));
    EXPECT_EQ(std::fclose(f), 0);

    StdioStream out(stdout);
    EXPECT_EQ(out.file(), stdout);
    size_t put = 0;
    EXPECT_FALSE(out.write("StdioStream on stdout\n", 22, &put));
    EXPECT_EQ(put, 22u);

    // Without a file: error 8 for both directions, which OStream latches.
    StdioStream none(nullptr);
    const Error notOpen = File::getError(File::kNotOpen);
    EXPECT_EQ(none.error(), notOpen);
    char c;
    size_t got = 7;
    EXPECT_EQ(none.read(&c, 1, &got), notOpen);
    EXPECT_EQ(got, 0u);
}

class FileNameStreamTest : public ScratchDir {
protected:
    std::string utf8(const char* name) const { return (dir_ / fs::u8path(name)).u8string(); }
    IString name(const char* n) const { return IString(utf8(n).c_str(), qxString::EncodingUTF8); }
};

TEST_F(FileNameStreamTest, WritesReadsAndCloses) {
    const std::string text = sample();
    // A non-ASCII name, wide and as UTF-8: the same file.
    const IString wide = name("\xc3\xbc-out.bin");
    const CString narrow(utf8("\xc3\xbc-out.bin").c_str());
    {
        FileNameStream s(wide);
        ASSERT_FALSE(s.error());
        ASSERT_NE(s.file(), nullptr);
        OStream(s) << text;
    }
    {
        FileNameStream in(narrow, "rb");
        ASSERT_FALSE(in.error());
        EXPECT_EQ(readAll(in), text);
        // At the end: again 3, with nothing.
        char c;
        size_t got = 9;
        EXPECT_EQ(in.read(&c, 1, &got), File::getError(File::kEndOfFile));
        EXPECT_EQ(got, 0u);
        // Writing a file opened for reading is an I/O problem; reading one
        // opened for writing too (below).
        size_t put = 9;
        EXPECT_EQ(in.write("x", 1, &put), File::getError(File::kIOProblem));
        EXPECT_EQ(put, 0u);
    }
    FileNameStream out(name("closed.txt"));
    char c;
    size_t n = 0;
    EXPECT_EQ(out.read(&c, 1, &n), File::getError(File::kIOProblem));
    ASSERT_FALSE(out.write("abc", 3, &n));
    EXPECT_FALSE(out.close());
    EXPECT_EQ(out.file(), nullptr);
    const Error notOpen = File::getError(File::kNotOpen);
    EXPECT_EQ(out.error(), notOpen);
    EXPECT_EQ(out.write("d", 1, &n), notOpen);
    EXPECT_EQ(out.close(), notOpen);
}

TEST_F(FileNameStreamTest, FailedOpens) {
    const Error missing = File::getError(File::kDoesNotExist);
    // A directory on the way that does not exist, and a file that does not
    // exist for reading.
    for (const char* n : {"no-such-dir/out.txt", "absent.txt"}) {
        FileNameStream s(name(n), n[0] == 'n' ? "wb" : "rb");
        EXPECT_EQ(s.error(), missing) << n;
        EXPECT_EQ(s.file(), nullptr) << n;
        size_t got = 5;
        char c;
        EXPECT_EQ(s.read(&c, 1, &got), missing) << n;
        EXPECT_EQ(got, 0u);
        // What OStream reports is why nothing was written.
        OStream os(s);
        os << "dropped";
        os.flush();
        EXPECT_EQ(os.error(), missing) << n;
        EXPECT_EQ(s.close(), missing) << n;
    }
    EXPECT_FALSE(fs::exists(dir_ / "no-such-dir"));

    // Any other failure, here a mode the runtime refuses.
    EXPECT_EQ(FileNameStream(name("mode.txt"), "bogus").error(), File::getError(File::kIOProblem));
}

}  // namespace
