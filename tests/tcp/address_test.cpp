// qxTCP::Address: parsing, comparison, look-ups and bad input.
#include "tcp/qxTcpAddress.h"

#include "os/sys/qxSysSocket.h"
#include "tcp_test_util.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace tcptest;

IString wide(const char* s) {
    return IString(s, qxString::EncodingUTF8);
}

// The error an Address constructor throws, or -1 when it throws none.
template <class F>
int thrownNumber(F make, std::string* message = nullptr) {
    try {
        make();
    } catch (const Error& e) {
        if (message) *message = e.message();
        return e.num();
    }
    return -1;
}

TEST(Address, OneArgumentFormsSplitAtASingleColon) {
    const Address hostPort(wide("host:8080"));
    EXPECT_TRUE(hostPort.isNameCached());
    EXPECT_FALSE(hostPort.isNumbersAndDotsCached());
    EXPECT_EQ(8080, hostPort.getPort());
    EXPECT_TRUE(hostPort.hasAssignedPort());

    const Address v6(wide("::1"));
    EXPECT_TRUE(v6.isNameCached());
    EXPECT_EQ(-1, v6.getPort());
    EXPECT_FALSE(v6.hasAssignedPort());

    // Two colons or more: all host, no port, also in the bracket form.
    for (const char* spec : {"a:b:c", "[::1]:80", "[::1]"}) {
        Address a(wide(spec));
        EXPECT_EQ(-1, a.getPort()) << spec;
        EXPECT_EQ(spec, text(a.getName().first)) << spec;
    }

    // The port is read as atoi reads it: non-numeric text is 0, digits stop
    // at the first non-digit, and it saturates instead of overflowing.
    EXPECT_EQ(0, Address(wide("host:http")).getPort());
    EXPECT_EQ(0, Address(wide("host:")).getPort());
    EXPECT_EQ(80, Address(wide("host:80x")).getPort());
    EXPECT_EQ(-5, Address(wide("host:-5")).getPort());
    EXPECT_EQ(2147483647, Address(wide("host:99999999999")).getPort());
    EXPECT_EQ(-2147483647 - 1, Address(wide("host:-99999999999")).getPort());

    const Address numeric(wide("127.0.0.1:1234"));
    EXPECT_TRUE(numeric.isNumbersAndDotsCached());
    EXPECT_TRUE(numeric.isLocalLoopback());
    EXPECT_EQ(1234, numeric.getPort());
}

TEST(Address, EmptyTextsThrowErrorTwo) {
    std::string message;
    EXPECT_EQ(2, thrownNumber([] { Address a{IString()}; }, &message));
    EXPECT_EQ("qxTCP::Address: empty address or incorectly formed address", message);
    EXPECT_EQ(2, thrownNumber([] { Address a(wide(":80")); }, &message));
    EXPECT_EQ("qxTCP::Address: empty address specified", message);
    EXPECT_EQ(2, thrownNumber([] { Address a(IString(), 80); }, &message));
    EXPECT_EQ("qxTCP::Address: empty address specified", message);
}

TEST(Address, NumericFormsFollowInetAddr) {
    const Address loop(Address::localhost, 5);
    EXPECT_TRUE(loop.isNumbersAndDotsCached());
    EXPECT_FALSE(loop.isNameCached());
    EXPECT_TRUE(loop.isLocalLoopback());
    EXPECT_EQ("127.0.0.1", text(Address::localhost));
    EXPECT_EQ("::1", text(Address::localhostV6));

    // Numeric, but not written as exactly 127.0.0.1.
    const Address padded(wide("127.000.000.001"), 5);
    EXPECT_TRUE(padded.isNumbersAndDotsCached());
    EXPECT_FALSE(padded.isLocalLoopback());

    // What inet_addr takes, on every target alike.
    const char* numeric[] = {"1.2.3.4",    "1.2.3",      "1.2",       "1",          "0x7f.1",
                             "0X7F.0.0.1", "1.2.3.0377", "1.2.65535", "1.16777215", "4294967294",
                             "1.2.3.4 x",  "1.2.3.4\t",  " ",         "0",          "0.0.0.0"};
    for (const char* s : numeric)
        EXPECT_TRUE(Address(wide(s), 1).isNumbersAndDotsCached()) << '"' << s << '"';
    const char* names[] = {
        "255.255.255.255", "4294967295", "1.2.3.256", "1.2.65536", "08.1.1.1",  "1..2",
        "1.2.3.4.",        ".1.2.3",     "1.2.3.4x",  " 1.2.3.4",  "  ",        "0x",
        "1.0x100.1",       "+1.2.3.4",   "-1",        "1e2",       "localhost", "::1"};
    for (const char* s : names) {
        const Address a(wide(s), 1);
        EXPECT_TRUE(a.isNameCached()) << '"' << s << '"';
        EXPECT_FALSE(a.isNumbersAndDotsCached()) << '"' << s << '"';
    }
}

TEST(Address, EqualityComparesNumbersWhenBothHaveThem) {
    Address named(wide("localhost"), 80);
    const Address numeric(wide("127.0.0.1"), 80);
    // Known only by name against known only by number: never equal.
    EXPECT_FALSE(named == numeric);
    EXPECT_TRUE(named != numeric);
    EXPECT_FALSE(Address(wide("127.0.0.1"), 81) == numeric);
    EXPECT_TRUE(Address(wide("localhost:80")) == named);

    // Equal numbers, different names: equal.
    Address a(wide("127.0.0.1"), 80), b(wide("127.0.0.1"), 80);
    const Error e = a.getName().second;
    ASSERT_FALSE(e) << e.message();
    EXPECT_TRUE(a == b);

    // Copies and moves keep every field.
    Address copy(a);
    EXPECT_TRUE(copy == a);
    EXPECT_TRUE(copy.isNameCached());
    Address moved(std::move(copy));
    EXPECT_TRUE(moved == a);
    named = moved;
    EXPECT_TRUE(named == a);
    EXPECT_EQ(text(a.getName().first), text(named.getName().first));
}

TEST(Address, LookUpsCacheWhatTheyFind) {
    Address numeric(wide("127.0.0.1"), 80);
    const qx::pair<IString, Error> name = numeric.getName();
    ASSERT_FALSE(name.second) << name.second.message();
    EXPECT_FALSE(name.first.empty());
    EXPECT_TRUE(numeric.isNameCached());
    EXPECT_EQ("127.0.0.1", text(numeric.getNumbersAndDots().first));

    Address named(wide("localhost"), 80);
    const qx::pair<IString, Error> numbers = named.getNumbersAndDots();
    ASSERT_FALSE(numbers.second) << numbers.second.message();
    EXPECT_EQ("127.0.0.1", text(numbers.first));
    EXPECT_TRUE(named.isNumbersAndDotsCached());

    // resolve fills in the other half but leaves the cached flags alone.
    Address other(wide("localhost"), 80);
    EXPECT_FALSE(other.resolve());
    EXPECT_FALSE(other.isNumbersAndDotsCached());
    Address back(wide("127.0.0.1"), 80);
    EXPECT_FALSE(back.resolve());
    EXPECT_FALSE(back.isNameCached());

    EXPECT_FALSE(Address::localhostName().empty());
    EXPECT_EQ(&Address::localhostName(), &Address::localhostName());
}

TEST(Address, NamesThatDoNotResolveGiveErrorThree) {
    std::string longName(300, 'a');
    for (const std::string& host :
         {std::string("nosuchhost.invalid"), longName, std::string("a b"), std::string("a:b:c")}) {
        Address a(wide(host.c_str()), 80);
        const qx::pair<IString, Error> r = a.getNumbersAndDots();
        EXPECT_EQ(3, r.second.num()) << host << ": " << r.second.message();
        EXPECT_EQ(text(qxUtil::systemErrorText(qx::sys::kWsaHostNotFound)), r.second.message());
        EXPECT_TRUE(r.first.empty());
        EXPECT_FALSE(a.isNumbersAndDotsCached());
        EXPECT_EQ(3, a.resolve().num());
    }
}

}  // namespace
