#include "qxbase.h"

#include "scratch_dir.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

namespace {

using qxOS::AppOutput;
using qxOS::AppOutputStream;
using qxString::IString;

class AppOutputTest : public ScratchDir {
protected:
    IString file(const char* name) const {
        return IString((dir_ / name).u8string().c_str(), qxString::EncodingUTF8);
    }
    // Text mode, so Windows line ends read back as "\n".
    std::string read(const char* name) const {
        std::ifstream in(dir_ / name);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

// Leaves the process-wide streams closed, unindented and at their levels.
class SingletonTest : public AppOutputTest {
protected:
    void TearDown() override {
        closeAll();
        AppOutputTest::TearDown();
    }
    void closeAll() {
        for (int i = 0; i < 4; ++i) {
            app.stream(i).setIndentLevel(0);
            app.stream(i).setLevel(levels[i]);
            app.stream(i).close();
        }
    }
    AppOutput& app = AppOutput::getInstance();
    const int levels[4] = {app.stream(0).getLevel(), app.stream(1).getLevel(),
                           app.stream(2).getLevel(), app.stream(3).getLevel()};
};

void viaPrintArg(const AppOutputStream& s, bool withLevel, int level, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    withLevel ? s.printArg(level, fmt, ap) : s.printArg(fmt, ap);
    va_end(ap);
}

TEST_F(AppOutputTest, ClosedStreamAndOpenModes) {
    AppOutputStream s;
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.getFile(), nullptr);
    s.setLevel(3);
    EXPECT_EQ(s.getLevel(), 0);
    EXPECT_EQ(s.setIndentLevel(8), 0);
    EXPECT_EQ(s.getIndentLevel(), 0);
    EXPECT_STREQ(s.elapsed(1.5), "");

    ASSERT_TRUE(s.open(file("log.txt"), false));
    EXPECT_TRUE(s.ok());
    s.printf("one\n");
    // Unbuffered output is in the file at once.
    EXPECT_EQ(read("log.txt"), "one\n");
    s.close();
    EXPECT_FALSE(s.ok());
    s.printf("closed\n");
    ASSERT_TRUE(s.open(file("log.txt"), true));
    s.printf("two\n");
    s.close();
    EXPECT_EQ(read("log.txt"), "one\ntwo\n");
    ASSERT_TRUE(s.open(file("log.txt"), false));
    s.printf("three\n");
    // The current file is closed first; a failed open leaves none.
    EXPECT_FALSE(s.open(file("missing/dir/log.txt"), false));
    EXPECT_FALSE(s.ok());
    EXPECT_EQ(s.getFile(), nullptr);
    EXPECT_EQ(read("log.txt"), "three\n");

    ASSERT_TRUE(s.open(QX_W("-"), false));
    EXPECT_EQ(s.getFile(), stdout);
    s.close();
    EXPECT_NE(std::fputc('\n', stdout), EOF);
    EXPECT_EQ(std::fflush(stdout), 0);
}

TEST_F(AppOutputTest, LevelsIndentationAndFormats) {
    {
        AppOutputStream s;
        ASSERT_TRUE(s.open(file("levels.txt"), false));
        s.setLevel(2);
        s.printf(1, "a");
        s.printf(2, "b");
        s.printf(3, "X");
        s.printf("c");
        s(2, "d");
        s(3, "X");
        s("e");
        viaPrintArg(s, true, 1, "%c", 'f');
        viaPrintArg(s, true, 3, "%c", 'X');
        viaPrintArg(s, false, 9, "%c", 'g');
        s.printf(2, "%S%s|", QX_W("wi"), "de");
        s.printf("x%yz");
        s.printf(1, "\n");

        ASSERT_TRUE(s.open(file("indent.txt"), false));
        EXPECT_EQ(s.setIndentLevel(4), 0);
        s.printf("a\nb");
        s.printf("c\n");
        // Line breaks from arguments are text, not new lines.
        s.printf("%s|\n", "x\ny");
        EXPECT_EQ(s.setIndentLevel(-3), 4);
        s.printf("d\n");
        EXPECT_EQ(s.increaseIndentLevel(), 0);
        EXPECT_EQ(s.increaseIndentLevel(), 4);
        s.printf("e\n");
        EXPECT_EQ(s.decreaseIndentLevel(), 8);
        EXPECT_EQ(s.getIndentLevel(), 4);

        ASSERT_TRUE(s.open(file("time.txt"), false));
        s.setIndentLevel(0);
        s.setLevel(0);
        s.timestamp();
        EXPECT_EQ(std::string(s.elapsed(59.9996)), "60.000 seconds");
        EXPECT_EQ(std::string(s.elapsed(60.0)), "01:00 minutes");
        EXPECT_EQ(std::string(s.elapsed(3725.9)), "62:05 minutes");
        EXPECT_EQ(std::string(s.elapsed(1.5)), "1.500 seconds");
    }
    EXPECT_EQ(read("levels.txt"), "abcdefgwide|\n");
    EXPECT_EQ(read("indent.txt"), "    a\n    bc\n    x\ny|\nd\n        e\n");
    const std::string stamp = read("time.txt");
    EXPECT_EQ(stamp.rfind("Timestamp: ", 0), 0u) << stamp;
    EXPECT_EQ(stamp.find('\n'), stamp.size() - 1) << stamp;

    EXPECT_STREQ(AppOutputStream::plural(1), "");
    EXPECT_STREQ(AppOutputStream::plural(0), "s");
    EXPECT_STREQ(AppOutputStream::plural(2), "s");
    EXPECT_STREQ(AppOutputStream::aBool(true), "true");
}

// Every checked printing form, with and without a level, as the plain ones
// print: arguments as the argument list gives them, levels tested the same.
TEST_F(SingletonTest, CheckedFormsPrintAsThePlainOnes) {
    enum Kind { Zero, One };
    const char word[] = "w";
    AppOutputStream s;
    ASSERT_TRUE(s.open(file("stream.txt"), false));
    s.setLevel(1);
    s.printf(1, "%d%s|", One, word);
    s.printf(2, "%d|", 9);
    s.printf("%.2f|", 0.5f);
    s(1, "%c|", 'c');
    s(2, "%c|", 'X');
    s("%S|", QX_W("wide"));
    s.printf(QX_FORMAT("%lld|"), 1LL << 40);
    s(0, QX_FORMAT("%hs\n"), "end");
    s.close();
    EXPECT_EQ(read("stream.txt"), "1w|0.50|c|wide|1099511627776|end\n");

    ASSERT_TRUE(app.stream(0).open(file("first.txt"), false));
    ASSERT_TRUE(app.stream(1).open(file("second.txt"), false));
    app.stream(0).setLevel(1);
    app.stream(1).setLevel(1);
    app.info(1, "%s%d|", word, Zero);
    app.info(2, "%s|", "X");
    app.error(1, QX_FORMAT("%c|"), 'e');
    app.error("%u|", 7u);
    app.info(QX_FORMAT("%S\n"), QX_W("end"));
    closeAll();
    EXPECT_EQ(read("first.txt"), "w0|e|7|end\n");
    EXPECT_EQ(read("second.txt"), "w0|e|7|end\n");
}

TEST_F(SingletonTest, InfoAndErrorReachTheFirstTwoStreams) {
    EXPECT_EQ(&app, &AppOutput::s_instance);
    EXPECT_EQ(static_cast<AppOutputStream*>(&app), &app.stream(0));
    for (int i = 1; i < 4; ++i) EXPECT_NE(&app.stream(i), &app.stream(i - 1));
    EXPECT_NE(&app.stream(3), &app.stream(0));
    EXPECT_THROW(app.stream(4), std::out_of_range);

    ASSERT_TRUE(app.stream(0).open(file("first.txt"), false));
    ASSERT_TRUE(app.stream(1).open(file("second.txt"), false));
    app.stream(0).setLevel(1);
    app.stream(1).setLevel(3);
    app.stream(1).setIndentLevel(4);
    app.info(2, "i2\n");
    app.info(1, "i%d\n", 1);
    app.error(3, "e3\n");
    app.error(4, "e4\n");
    app.info("all %s\n", "info");
    app.error("%S\n", QX_W("all error"));
    closeAll();
    EXPECT_EQ(read("first.txt"), "i1\nall info\nall error\n");
    EXPECT_EQ(read("second.txt"), "    i2\n    i1\n    e3\n    all info\n    all error\n");
}

TEST_F(SingletonTest, SetLevelAndStatusTab) {
    ASSERT_TRUE(app.stream(0).open(file("0.txt"), false));
    ASSERT_TRUE(app.stream(1).open(file("1.txt"), false));
    app.stream(2).close();
    ASSERT_TRUE(app.stream(3).open(file("3.txt"), false));
    const int closedLevel = app.stream(2).getLevel();
    app.setLevel(closedLevel + 5);
    EXPECT_EQ(app.getLevel(), closedLevel + 5);
    EXPECT_EQ(app.stream(1).getLevel(), closedLevel + 5);
    EXPECT_EQ(app.stream(2).getLevel(), closedLevel);
    EXPECT_EQ(app.stream(3).getLevel(), closedLevel + 5);

    app.stream(0).setLevel(1);
    app.stream(0).setIndentLevel(0);
    {
        qxOS::AppOutputStatusTab tab;
        EXPECT_EQ(app.getIndentLevel(), 4);
        {
            qxOS::AppOutputStatusTab inner(1);
            qxOS::AppOutputStatusTab quiet(2);
            EXPECT_EQ(app.getIndentLevel(), 8);
            app.info("x\n");
        }
        EXPECT_EQ(app.getIndentLevel(), 4);
    }
    EXPECT_EQ(app.getIndentLevel(), 0);
    closeAll();
    EXPECT_EQ(read("0.txt"), "        x\n");
}

}  // namespace
