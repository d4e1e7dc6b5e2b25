#include "qxbase.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace {

using qxOS::OStream;
using qxString::CString;
using qxString::IString;
using qxUtil::Error;

class StringSink : public qxOS::IOStream {
public:
    std::string bytes;
    Error read(void*, size_t, size_t*) override { return Error(1, "not readable"); }
    Error write(const void* buffer, size_t size, size_t* bytesWritten) override {
        bytes.append(static_cast<const char*>(buffer), size);
        *bytesWritten = size;
        return Error();
    }
};

// The bytes that printing the values, one after the other, gives.
template <class... T>
std::string printed(const T&... values) {
    StringSink sink;
    {
        OStream os(sink);
        (os << ... << values);
    }
    return sink.bytes;
}

// Whether os << T picks exactly one overload.
template <class T, class = void>
struct Printable : std::false_type {};
template <class T>
struct Printable<T, std::void_t<decltype(std::declval<OStream&>() << std::declval<T>())>>
    : std::true_type {};

template <class... T>
constexpr bool allPrintable() {
    return (Printable<T>::value && ...);
}

// Every built-in type, the fixed-width aliases (long or long long, depending
// on the target) and every text type, as values and as lvalues: an overload
// added later that makes one of them ambiguous stops the build here.
static_assert(
    allPrintable<bool, char, signed char, unsigned char, wchar_t, char16_t, char32_t, short,
                 unsigned short, int, unsigned, long, unsigned long, long long, unsigned long long,
                 float, double, long double, std::nullptr_t, std::int8_t, std::uint8_t,
                 std::int64_t, std::uint64_t, std::size_t, std::ptrdiff_t, std::intptr_t>());
static_assert(allPrintable<const char*, char*, const char (&)[4], const std::string&, std::string&&,
                           std::string_view, const CString&, CString&&, const IString&, IString&&,
                           const qx::WChar*, const char16_t*, const char32_t*, const wchar_t (&)[3],
                           int*, const void*>());

// std::string_view converts implicitly from CString; the literal, the C
// string and the CString must still take their own overloads.
TEST(OStreamInsert, TextTypesKeepTheirOwnOverloads) {
    const char* cstr = "c-str";
    char buffer[] = "buf";
    EXPECT_EQ(printed("lit", '|', cstr, '|', buffer, '|', CString("a\0b", 3)),
              std::string("lit|c-str|buf|a\0b", 17));

    EXPECT_EQ(printed('[', std::string(), std::string_view(), ']'), "[]");
    EXPECT_EQ(printed(std::string("a\0b", 3), '|', std::string_view("x\0\0y", 4)),
              std::string("a\0b|x\0\0y", 8));
}

TEST(OStreamInsert, NumbersAtTheirExtremes) {
    EXPECT_EQ(printed(LLONG_MIN, '|', LLONG_MAX, '|', ULLONG_MAX, '|', 0LL, '|', 0ULL),
              "-9223372036854775808|9223372036854775807|18446744073709551615|0|0");
    EXPECT_EQ(printed(1.5L, '|', -0.125L, '|', 1e20L, '|', 0.0L),
              "1.500000|-0.125000|100000000000000000000.000000|0.000000");

    EXPECT_EQ(printed(true, '|', false), "1|0");
    // One byte each, as char; not numbers.
    EXPECT_EQ(printed(static_cast<signed char>('s'), static_cast<std::int8_t>(-1),
                      static_cast<std::uint8_t>(0x80)),
              "s\xff\x80");
    const std::string null = printed(nullptr);
    EXPECT_EQ(null, printed(static_cast<const void*>(nullptr)));
    EXPECT_EQ(null.compare(0, 2, "0x"), 0) << null;
}

// U+00E9, U+20AC and U+1D11E (a surrogate pair) as UTF-8.
const std::string kUtf8 = "\xc3\xa9\xe2\x82\xac\xf0\x9d\x84\x9e";
const std::string kReplacement = "\xef\xbf\xbd";

TEST(OStreamInsert, WideTextAsUtf8) {
    const qx::WChar units[] = {0xE9, 0x20AC, 0xD834, 0xDD1E, 0, 'x', 0xDC00, 0xD800};
    const IString s(units, 8);
    EXPECT_EQ(printed(s), kUtf8 + '\0' + 'x' + kReplacement + kReplacement);
    EXPECT_EQ(printed(IString(), '|', IString(QX_W("plain"))), "|plain");

    // A pair that straddles the writer's pieces stays whole.
    IString many(QX_W("a"));
    for (int i = 0; i < 300; ++i) many.append(QX_W("\U0001D11E"));
    std::string want = "a";
    for (int i = 0; i < 300; ++i) want += "\xf0\x9d\x84\x9e";
    EXPECT_EQ(printed(many), want);

    // Up to the NUL, the same for every width; null writes nothing.
    EXPECT_EQ(printed(u"\u00e9\u20ac\U0001D11E"), kUtf8);
    EXPECT_EQ(printed(U"\u00e9\u20ac\U0001D11E"), kUtf8);
    EXPECT_EQ(printed(L"\u00e9\u20ac\U0001D11E"), kUtf8);
    EXPECT_EQ(printed(QX_W("w\0x")), "w");
    const char32_t bad32[] = {0xD800, 'y', 0x110000, 0};
    EXPECT_EQ(printed(bad32), kReplacement + 'y' + kReplacement);
    EXPECT_EQ(
        printed('[', static_cast<const char16_t*>(nullptr), static_cast<const char32_t*>(nullptr),
                static_cast<const wchar_t*>(nullptr), ']'),
        "[]");

    // Characters: the whole one, or U+FFFD for half of a pair.
    EXPECT_EQ(printed(u'\u00e9', U'\u20ac', U'\U0001D11E', L'w', static_cast<char16_t>(0xD834)),
              "\xc3\xa9\xe2\x82\xac\xf0\x9d\x84\x9ew" + kReplacement);
}

}  // namespace
