// qxUtil::Interval: from seconds, from text, and compared.
#include "Components/Base/Utility/qxInterval.h"

#include "diagnostics/qxError.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using qxUtil::Interval;

TEST(Interval, FromSecondsTakesTheMagnitude) {
    EXPECT_TRUE(Interval().isZero());
    const Interval a(2.5);
    EXPECT_EQ(2, a.seconds());
    EXPECT_EQ(500000, a.microseconds());
    EXPECT_EQ(a, Interval(-2.5));
    EXPECT_DOUBLE_EQ(2.5, a.dseconds());
    // Truncated, not rounded: 1.8999... microseconds are 1.
    EXPECT_EQ(1, Interval(1.0000019).microseconds());
    EXPECT_EQ(999999, Interval(1.9999999).microseconds());
    EXPECT_TRUE(Interval(0.0000001).isZero());
    EXPECT_EQ(2147483647, Interval(1e300).seconds());
    EXPECT_TRUE(Interval(std::nan("")).isZero());
    EXPECT_FALSE(Interval(std::numeric_limits<double>::infinity()).isZero());
}

TEST(Interval, FromTextNeedsDigitsAndAUnit) {
    struct Case {
        const char* text;
        int seconds, microseconds;
    } cases[] = {
        {"0us", 0, 0},
        {"1500000us", 1, 500000},
        {"2500ms", 2, 500000},
        {"7s", 7, 0},
        {"3min", 180, 0},
        {"2h", 7200, 0},
        {"007s", 7, 0},
        {"4294967295us", 4294, 967295},
        // The count wraps at 32 bits; so does the product, and a count of
        // seconds past 2^31 reads as negative.
        {"4294967296s", 0, 0},
        {"2147483648s", -2147483647 - 1, 0},
        {"35791395min", -2147483596, 0},
    };
    for (const Case& c : cases) {
        const Interval i(c.text);
        EXPECT_EQ(c.seconds, i.seconds()) << c.text;
        EXPECT_EQ(c.microseconds, i.microseconds()) << c.text;
    }
    for (const char* bad : {"", "s", "10", "10 s", " 10s", "10sec", "10m", "10S", "1.5s", "-1s",
                            "10s ", "10hh", "ms"}) {
        try {
            Interval i(bad);
            ADD_FAILURE() << '"' << bad << "\" was taken";
        } catch (const qxUtil::Error& e) {
            EXPECT_EQ(1, e.num());
            EXPECT_STREQ("Bad time string", e.message());
        }
    }
    EXPECT_THROW(Interval(static_cast<const char*>(nullptr)), qxUtil::Error);
}

TEST(Interval, OrderIsSecondsThenMicroseconds) {
    EXPECT_TRUE(Interval("1s") < Interval("1001ms"));
    EXPECT_FALSE(Interval("1001ms") < Interval("1s"));
    EXPECT_TRUE(Interval("999ms") < Interval("1s"));
    EXPECT_FALSE(Interval("1s") < Interval("1000ms"));
    EXPECT_TRUE(Interval("1s") == Interval("1000ms"));
    EXPECT_TRUE(Interval("60s") == Interval("1min"));
    EXPECT_TRUE(Interval("1s") != Interval("1us"));
}

}  // namespace
