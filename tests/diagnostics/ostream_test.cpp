#include "qxbase.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using qxOS::OStream;
using qxString::CString;
using qxUtil::Error;

// Records every write call; fails the chosen call (taking 3 bytes), and
// takes at most maxTake bytes a call (0: reports success taking nothing).
class RecordingStream : public qxOS::IOStream {
public:
    std::vector<size_t> sizes;
    std::string bytes;
    int failOnCall = -1;
    size_t maxTake = SIZE_MAX;

    Error read(void*, size_t, size_t*) override { return Error(1, "not readable"); }
    Error write(const void* buffer, size_t size, size_t* bytesWritten) override {
        const int call = static_cast<int>(sizes.size());
        sizes.push_back(size);
        size_t n = call == failOnCall ? 3 : maxTake;
        *bytesWritten = n = n < size ? n : size;
        bytes.append(static_cast<const char*>(buffer), n);
        if (call == failOnCall) return Error(7, "disk full");
        // Stops a caller that never gives up instead of hanging the test.
        return call < 1000 ? Error() : Error(999, "called too often");
    }
};

std::string pattern(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += static_cast<char>(i * 7 % 251);  // NULs included
    return s;
}
CString toCString(const std::string& s) {
    return CString(s.data(), static_cast<int>(s.size()));
}

TEST(OStream, WritesInBlocksOf4096) {
    const std::string input = pattern(10000);
    RecordingStream rec;
    {
        OStream os(rec);
        EXPECT_EQ(&os.stream(), &rec);
        os << toCString(input);
        EXPECT_EQ(rec.sizes, (std::vector<size_t>{4096, 4096}));
        os.flush();
        EXPECT_EQ(rec.sizes.size(), 3u);
    }
    EXPECT_EQ(rec.sizes, (std::vector<size_t>{4096, 4096, 1808}));
    EXPECT_EQ(rec.bytes, input);

    RecordingStream atExit;
    OStream(atExit).write(input.data(), input.size());
    EXPECT_EQ(atExit.sizes, (std::vector<size_t>{4096, 4096, 1808}));
    EXPECT_EQ(atExit.bytes, input);

    RecordingStream small;
    {
        OStream os(small);
        for (int i = 0; i < 100; ++i) os << "ab";
        EXPECT_TRUE(small.sizes.empty());
        os.flush();
    }
    EXPECT_EQ(small.sizes, std::vector<size_t>{200});

    // A stream that takes less than offered gets the rest in further calls.
    RecordingStream slow;
    slow.maxTake = 1000;
    OStream(slow) << toCString(input);
    EXPECT_EQ(slow.bytes, input);
}

TEST(OStream, InsertionForms) {
    RecordingStream rec;
    int x = 0;
    const void* p = &x;
    {
        OStream os(rec);
        os << CString("a\0b", 3) << '|' << "text" << static_cast<const char*>(nullptr) << '|' << 'c'
           << static_cast<unsigned char>('u') << '|' << static_cast<short>(-5) << '|'
           << static_cast<unsigned short>(65535) << '|' << INT_MIN << '|' << UINT_MAX << '|'
           << LONG_MIN << '|' << ULONG_MAX << '|' << 1.5f << '|' << -0.25 << '|' << p;
        os.write("|raw", 4);
    }
    const std::string expected = std::string("a\0b", 3) + "|text|cu|-5|65535|" +
                                 std::to_string(INT_MIN) + '|' + std::to_string(UINT_MAX) + '|' +
                                 std::to_string(LONG_MIN) + '|' + std::to_string(ULONG_MAX) +
                                 "|1.500000|-0.250000|";
    ASSERT_EQ(rec.bytes.compare(0, expected.size(), expected), 0) << rec.bytes;
    const std::string ptr =
        rec.bytes.substr(expected.size(), rec.bytes.size() - expected.size() - 4);
    ASSERT_EQ(ptr.compare(0, 2, "0x"), 0) << ptr;
    char* end = nullptr;
    EXPECT_EQ(std::strtoull(ptr.c_str() + 2, &end, 16), reinterpret_cast<uintptr_t>(p)) << ptr;
    EXPECT_EQ(*end, '\0') << ptr;
    EXPECT_EQ(rec.bytes.substr(rec.bytes.size() - 4), "|raw");
}

TEST(OStream, Format) {
    RecordingStream rec;
    const std::string longText(10000, 'q');
    {
        OStream os(rec);
        os.format("%d-%s", 42, "x").format("[%S]", QX_W("wide"));
        os.flush();
        EXPECT_EQ(rec.bytes, "42-x[wide]");
        os.format("<%s>", longText.c_str());
    }
    EXPECT_EQ(rec.bytes, "42-x[wide]<" + longText + ">");
    for (const size_t n : rec.sizes) EXPECT_LE(n, 4096u);
}

// The checked format and its printf name give what the argument list gives.
TEST(OStream, CheckedFormatAndPrintf) {
    enum class Level : short { Warn = 2 };
    const char tag[] = "t";
    RecordingStream rec;
    {
        OStream os(rec);
        os.format("%s%d|", tag, Level::Warn).printf("%.1f|%S|", 1.5f, QX_W("w"));
        os.format(QX_FORMAT("%p|%c|"), nullptr, 'z').printf(QX_FORMAT("%I64u%%"), ~0ULL);
        os.printf("|plain");
    }
    EXPECT_EQ(rec.bytes, "t2|1.5|w|0000000000000000|z|18446744073709551615%|plain");
}

// Letters a-z over and over: a lost, doubled or moved byte shows.
std::string letters(size_t n, size_t from = 0) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += static_cast<char>('a' + (from + i) % 26);
    return s;
}

// The writes that total bytes take: whole 4096-byte buffers, then the rest.
std::vector<size_t> blocks(size_t total) {
    std::vector<size_t> sizes(total / 4096, 4096);
    if (total % 4096) sizes.push_back(total % 4096);
    return sizes;
}

// A text that fills what is left of the buffer exactly, one byte short of it
// and one past it, or that is longer than the whole buffer, after an empty,
// a partly filled, an all-but-full and a full buffer. format (which writes
// straight into the buffer when the text fits) and << must hand the stream
// the same bytes in the same writes; the byte after is checked too.
TEST(OStream, TextAtEveryBoundaryOfTheBuffer) {
    for (const size_t before : {0, 3, 4095, 4096}) {
        const size_t room = 4096 - before;
        for (const size_t length : {room - 1, room, room + 1, room + 4096, size_t(10000)}) {
            if (length == 0 || length > 10000) continue;  // nothing under 1, or room - 1 of 0
            SCOPED_TRACE(testing::Message() << before << " bytes, then " << length);
            const std::string head(before, '.');
            const std::string text = letters(length - 1);
            const std::string want = head + text + "!#";
            RecordingStream formatted, inserted;
            {
                OStream os(formatted);
                os << head.c_str();
                os.format("%s!", text.c_str());
                os << '#';
                EXPECT_TRUE(os);
            }
            OStream(inserted) << head.c_str() << text.c_str() << '!' << '#';
            EXPECT_EQ(formatted.bytes, want);
            EXPECT_EQ(inserted.bytes, want);
            EXPECT_EQ(formatted.sizes, blocks(want.size()));
            EXPECT_EQ(inserted.sizes, blocks(want.size()));
        }
    }

    // Back to back on one stream, the format buffer growing and kept.
    RecordingStream rec;
    std::string want;
    {
        OStream os(rec);
        for (const size_t n : {4096, 4095, 1, 4097, 2, 8191, 4096, 0, 1, 12000, 4094, 4096}) {
            const std::string text = letters(n, want.size());
            os.format("%s", text.c_str());
            want += text;
        }
    }
    EXPECT_EQ(rec.bytes, want);
    EXPECT_EQ(rec.sizes, blocks(want.size()));
}

TEST(OStream, ErrorsAreLatched) {
    RecordingStream rec;
    rec.failOnCall = 0;
    OStream os(rec);
    os << toCString(pattern(5000));
    ASSERT_EQ(rec.sizes.size(), 1u);
    EXPECT_FALSE(os);
    EXPECT_EQ(os.error(), Error(7, "disk full"));
    // Neither more output nor a bad format disturbs the stream or the error.
    os << "more" << 12;
    os.format("%s", "x");
    os.format("%y");
    os.flush();
    EXPECT_EQ(rec.sizes.size(), 1u);
    EXPECT_EQ(os.error(), Error(7, "disk full"));

    RecordingStream none;
    none.maxTake = 0;
    {
        OStream os(none);
        os << "hello";
        os.flush();
        EXPECT_FALSE(os);
        EXPECT_NE(os.error().num(), 999);
        const size_t calls = none.sizes.size();
        os << "again";
        os.flush();
        EXPECT_EQ(none.sizes.size(), calls);
    }
    EXPECT_LT(none.sizes.size(), 10u);

    for (const char* bad : {"abc%ydef", "abc%ndef"}) {
        RecordingStream rec;
        {
            OStream os(rec);
            int count = 0;
            os.format(bad, &count);
            EXPECT_FALSE(os) << bad;
        }
        EXPECT_EQ(rec.bytes.find("abc"), std::string::npos) << bad;
        EXPECT_TRUE(rec.sizes.empty()) << bad;
    }
}

}  // namespace
