#include "qxbase.h"

#include <gtest/gtest.h>

#include <cstdarg>
#include <string>
#include <utility>

namespace {

using qx::WChar;
using qxString::IString;
using qxUtil::Error;

template <class Ch>
Error viaVaList(int num, const Ch* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    Error e(num, fmt, ap);
    va_end(ap);
    return e;
}

TEST(Error, MessagePresenceAndEquality) {
    const Error ok;
    EXPECT_EQ(ok.num(), 0);
    EXPECT_EQ(ok.messageText(), nullptr);
    EXPECT_STREQ(ok.message(), "");
    EXPECT_FALSE(ok);
    EXPECT_TRUE(Error(-1, "x"));
    EXPECT_EQ(Error(-1, "x").num(), -1);

    const Error noMessage(5, "");
    for (const Error& e : {noMessage, Error(5, static_cast<const char*>(nullptr)),
                           Error(5, QX_W("")), Error(5, static_cast<const WChar*>(nullptr))}) {
        EXPECT_EQ(e.messageText(), nullptr);
        EXPECT_EQ(e, noMessage);
    }
    const Error emptyMessage(5, IString());
    ASSERT_NE(emptyMessage.messageText(), nullptr);
    EXPECT_TRUE(emptyMessage.messageText()->empty());
    EXPECT_STREQ(emptyMessage.message(), "");
    // An empty message is still a message.
    EXPECT_NE(noMessage, emptyMessage);
    EXPECT_NE(emptyMessage, noMessage);

    EXPECT_EQ(Error(5, "a"), Error(5, IString(QX_W("a"))));
    EXPECT_NE(Error(5, "a"), Error(6, "a"));
    EXPECT_NE(Error(5, "a"), Error(5, "ab"));
    EXPECT_NE(Error(5, "a"), noMessage);
}

TEST(Error, FormatsWithLibraryConventions) {
    EXPECT_STREQ(Error(3, "file %s line %d", "a.txt", 7).message(), "file a.txt line 7");
    EXPECT_STREQ(Error(3, "%S|%s", QX_W("wide"), "narrow").message(), "wide|narrow");
    EXPECT_STREQ(Error(3, QX_W("%S and %s"), QX_W("wide"), "narrow").message(), "wide and narrow");
    EXPECT_STREQ(viaVaList(4, "%d-%s", 12, "v").message(), "12-v");
    EXPECT_STREQ(viaVaList(4, QX_W("%S/%d"), QX_W("w"), -3).message(), "w/-3");
    EXPECT_EQ(viaVaList(4, "").messageText(), nullptr);
}

// The checked constructor hands arguments on as the argument list would: a
// scoped enumeration as its integer, a float as a double, an array as its
// address; a literal format is checked at compile time and reads the same.
TEST(Error, CheckedFormsReadTheirArgumentsAsTheListWould) {
    enum class Offset : long long { Far = 1LL << 33 };
    const char name[] = "cfg";
    const char* const want = "cfg:8589934592:x:0.50";
    EXPECT_STREQ(viaVaList(3, "%s:%lld:%c:%.2f", name, 1LL << 33, 'x', 0.5).message(), want);
    EXPECT_STREQ(Error(3, "%s:%lld:%c:%.2f", name, Offset::Far, 'x', 0.5f).message(), want);
    EXPECT_STREQ(Error(3, QX_W("%s:%lld:%c:%.2f"), name, Offset::Far, 'x', 0.5f).message(), want);
    EXPECT_STREQ(Error(3, QX_FORMAT("%s:%lld:%c:%.2f"), name, Offset::Far, 'x', 0.5f).message(),
                 want);
    EXPECT_STREQ(Error(3, QX_FORMAT(QX_W("%S|%s")), QX_W("w"), name).message(), "w|cfg");
    // Without arguments a literal still makes a message, or none when empty.
    EXPECT_STREQ(Error(3, QX_FORMAT("100%%")).message(), "100%");
    EXPECT_EQ(Error(3, QX_FORMAT("")).messageText(), nullptr);
}

TEST(Error, CopyMoveAssignSwap) {
    Error a(4, "alpha");
    Error b(a);
    ASSERT_NE(b.messageText(), nullptr);
    EXPECT_NE(b.messageText(), a.messageText());
    EXPECT_EQ(b, a);

    const Error& self = a;
    a = self;
    EXPECT_EQ(a, Error(4, "alpha"));
    Error c(9, "gamma");
    c = a;
    EXPECT_EQ(c, a);
    EXPECT_NE(c.messageText(), a.messageText());
    c = Error();
    EXPECT_EQ(c.messageText(), nullptr);

    const Error moved(std::move(b));
    EXPECT_EQ(b.messageText(), nullptr);
    EXPECT_EQ(moved, a);

    Error x(1, "x"), y(2, "");
    const IString* xText = x.messageText();
    swap(x, y);
    EXPECT_EQ(x.num(), 2);
    EXPECT_EQ(x.messageText(), nullptr);
    EXPECT_EQ(y.num(), 1);
    EXPECT_EQ(y.messageText(), xText);
}

TEST(Error, SystemErrorText) {
    auto text = [](int n) { return std::string(qxUtil::systemErrorText(n).asUTF8()); };
    const std::string unknown = "An unknown WIN32 error occurred";
    for (const int known : {2, 5, 10061}) {
        EXPECT_FALSE(text(known).empty()) << known;
        EXPECT_NE(text(known).rfind(unknown, 0), 0u) << known << ": " << text(known);
        // One line on every target, ready to sit inside a message.
        EXPECT_EQ(text(known).find_first_of("\r\n"), std::string::npos) << known;
    }
    EXPECT_NE(text(2), text(5));
    EXPECT_EQ(text(987654), unknown + ": 987654");
    EXPECT_EQ(text(-7), unknown + ": -7");
}

}  // namespace
