#include "qxbase.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using qx::WChar;
using qxString::CString;
using qxString::IString;

std::vector<std::string> texts(const qx::vector<CString>& v) {
    std::vector<std::string> out;
    for (const CString& s : v) out.emplace_back(s.data(), s.length());
    return out;
}
using Words = std::vector<std::string>;

CString make(const std::string& s) {
    return CString(s.data(), static_cast<int>(s.size()));
}

// The splitting rules as written: cut tokens off the front of a copy.
Words modelSplit(std::string rest, bool (*isSep)(char), bool skipEmpty, bool keep) {
    Words out;
    while (!rest.empty()) {
        size_t p = 0;
        while (p < rest.size() && !isSep(rest[p])) ++p;
        if (p == rest.size()) break;
        if (p > 0) {
            out.push_back(rest.substr(0, p));
            rest.erase(0, keep ? p : p + 1);
        } else {
            if (keep)
                out.push_back(rest.substr(0, 1));
            else if (!skipEmpty)
                out.push_back("");
            rest.erase(0, 1);
        }
    }
    if (!rest.empty()) out.push_back(rest);
    return out;
}

bool isComma(char c) {
    return c == ',';
}
bool isCommaOrSemi(char c) {
    return c == ',' || c == ';';
}
bool isWideComma(WChar c) {
    return c == ',';
}

TEST(Split, Examples) {
    EXPECT_EQ(texts(qxUtil::split("a,,b,", ',', false, false)), (Words{"a", "", "b"}));
    EXPECT_EQ(texts(qxUtil::split("a,,b,", ',', true, false)), (Words{"a", "b"}));
    EXPECT_EQ(texts(qxUtil::split(",a", ',', false, false)), (Words{"", "a"}));
    EXPECT_EQ(texts(qxUtil::split("a,b", ',', false, true)), (Words{"a", ",", "b"}));
    EXPECT_EQ(texts(qxUtil::split(",,a,", isComma, true, true)), (Words{",", ",", "a", ","}));
    EXPECT_TRUE(qxUtil::split("", ',', false, false).empty());
    EXPECT_TRUE(qxUtil::split(",", ',', true, false).empty());
    // NULs are ordinary characters, and a NUL separator works.
    EXPECT_EQ(texts(qxUtil::split(make(std::string("a\0b,c", 5)), ',', false, false)),
              (Words{std::string("a\0b", 3), "c"}));
    EXPECT_EQ(texts(qxUtil::split(make(std::string("a\0\0b", 4)), '\0', false, false)),
              (Words{"a", "", "b"}));
}

TEST(Split, AgreesWithModel) {
    std::mt19937 rng(11);
    const char alphabet[] = {'a', 'b', ',', ';', ',', '\0'};
    for (int round = 0; round < 3000; ++round) {
        std::string s;
        for (int n = rng() % 12; n > 0; --n) s += alphabet[rng() % sizeof alphabet];
        const bool skip = rng() & 1, keep = rng() & 2;
        const CString cs = make(s);
        ASSERT_EQ(texts(qxUtil::split(cs, ',', skip, keep)), modelSplit(s, isComma, skip, keep))
            << s;
        ASSERT_EQ(texts(qxUtil::split(cs, isCommaOrSemi, skip, keep)),
                  modelSplit(s, isCommaOrSemi, skip, keep));
        // The wide forms cut at the same places.
        IString ws;
        for (char c : s) ws.append(static_cast<WChar>(c));
        const Words want = modelSplit(s, isComma, skip, keep);
        for (const auto& v : {qxUtil::split(ws, WChar(','), skip, keep),
                              qxUtil::split(ws, isWideComma, skip, keep)}) {
            ASSERT_EQ(v.size(), static_cast<int>(want.size()));
            for (int i = 0; i < v.size(); ++i) {
                ASSERT_EQ(v[i].length(), want[i].size());
                for (unsigned k = 0; k < v[i].length(); ++k)
                    ASSERT_EQ(v[i][k], static_cast<WChar>(want[i][k]));
            }
        }
    }
}

TEST(Split, Lines) {
    EXPECT_EQ(texts(qxUtil::splitMultiLines("a\r\nb")), (Words{"a", "", "b"}));
    EXPECT_EQ(texts(qxUtil::splitMultiLines("a\n")), (Words{"a", ""}));
    EXPECT_EQ(texts(qxUtil::splitMultiLines("")), (Words{""}));
    EXPECT_EQ(texts(qxUtil::splitMultiLines("\n\rx")), (Words{"", "", "x"}));
    for (const char* s : {"a\r\nb", "a\n", "", "\n\rx", "plain"})
        EXPECT_EQ(qxUtil::numMultiLines(s), qxUtil::splitMultiLines(s).size()) << s;
}

struct Quoted {
    qxUtil::Error error;
    Words words;
};
Quoted quotes(const std::string& s, bool backslash = false) {
    qx::vector<CString> out;
    out.push_back("stale");
    Quoted q;
    q.error = backslash ? qxUtil::splitWithQuotesAndBackslash(make(s), out)
                        : qxUtil::splitWithQuotes(make(s), out);
    q.words = texts(out);
    return q;
}

void expectError(const Quoted& q, int num, const char* message) {
    EXPECT_EQ(q.error.num(), num);
    EXPECT_STREQ(q.error.message(), message);
}

TEST(SplitWithQuotes, WordsAndErrors) {
    Quoted q = quotes(" one \"two three\"\tfour ");
    EXPECT_EQ(q.error.num(), 0);
    EXPECT_EQ(q.words, (Words{"one", "two three", "four"}));
    EXPECT_EQ(quotes("\"\"").words, (Words{""}));
    EXPECT_EQ(quotes("").words, Words{});
    EXPECT_EQ(quotes("   ").error.num(), 0);

    q = quotes("x ab\"c");
    expectError(q, 4, "Unexpected character before a double quote: 'b'");
    EXPECT_EQ(q.words, (Words{"x"}));  // the words before the faulty one stay
    expectError(quotes("\"ab\"c"), 5, "Unexpected character after double quote: 'c'");
    expectError(quotes("\"ab"), 1, "Unmatched double quote");
    expectError(quotes("ok \""), 4, "Unmatched double quote");
    expectError(quotes("\"a\" \"b\"\""), 8, "Unexpected character after double quote: '\"'");
}

TEST(SplitWithQuotes, Backslash) {
    Quoted q = quotes("a\"b c\"d  e", true);
    EXPECT_EQ(q.error.num(), 0);
    EXPECT_EQ(q.words, (Words{"ab cd", "e"}));
    EXPECT_EQ(quotes("a\\\"b \\\\", true).words, (Words{"a\"b", "\\"}));
    EXPECT_EQ(quotes("\"\" x\"\"", true).words, (Words{"", "x"}));
    // An escaped quote inside quotes neither closes nor opens.
    EXPECT_EQ(quotes("\"a\\\" b\"", true).words, (Words{"a\" b"}));

    expectError(quotes("a\\n", true), 3, "Illegal escape of character 'n'");
    expectError(quotes("ab \\", true), 4, "Single backslash character");
    q = quotes("x a\"b", true);
    expectError(q, 4, "Unmatched double quote");
    EXPECT_EQ(q.words, (Words{"x"}));
    expectError(quotes("\"a\"b\"c", true), 5, "Unmatched double quote");
}

TEST(TextUtil, JoinDeduplicateEscape) {
    qx::vector<CString> v;
    v.push_back("b");
    v.push_back("a");
    v.push_back("b");
    v.push_back(make(std::string("a\0", 2)));
    EXPECT_EQ(std::string(qxUtil::join(v).data(), qxUtil::join(v).length()), std::string("bab"
                                                                                         "a\0",
                                                                                         5));
    EXPECT_EQ(texts(qxUtil::removeDuplicated(v)), (Words{"a", std::string("a\0", 2), "b"}));
    EXPECT_TRUE(qxUtil::join(qx::vector<CString>()).empty());

    qx::vector<IString> w;
    w.push_back(QX_W("x"));
    w.push_back(QX_W("yz"));
    EXPECT_EQ(qxUtil::join(w), QX_W("xyz"));

    EXPECT_EQ(qxUtil::escapeMarkupText(QX_W("a{b}\\c")), QX_W("a\\{b\\}\\\\c"));
    EXPECT_EQ(qxUtil::rebackslash(QX_W("c:\\dir\\")), QX_W("c:\\\\dir\\\\"));
    EXPECT_EQ(qxUtil::rebackslash(QX_W("{plain}")), QX_W("{plain}"));
}

TEST(TextUtil, RandomStaysInRange) {
    bool low = false, high = false;
    for (int i = 0; i < 2000; ++i) {
        const double r = qxUtil::random(10.0);
        ASSERT_GE(r, 0.0);
        ASSERT_LE(r, 10.0);
        low |= r < 1.0;
        high |= r > 9.0;
        const double s = qxUtil::random(5.0, -5.0);  // reversed bounds still lie between
        ASSERT_GE(s, -5.0);
        ASSERT_LE(s, 5.0);
    }
    EXPECT_TRUE(low && high);
    EXPECT_EQ(qxUtil::random(3.0, 3.0), 3.0);
}

TEST(UniqueNames, Numbering) {
    qxUtil::UniqueNames names;
    EXPECT_EQ(names.insert("box"), "box");
    EXPECT_EQ(names.insert("box"), "box-1");
    EXPECT_EQ(names.insert("box"), "box-2");
    EXPECT_EQ(names.insert("box-1"), "box-3");
    EXPECT_EQ(names.insert("x-"), "x-");
    EXPECT_EQ(names.insert("x-"), "x--1");

    qxUtil::UniqueNames gaps;
    gaps.insert("box");
    gaps.insert("box-1");
    gaps.insert("box-7");
    gaps.insert("box-10x");  // not a number
    EXPECT_EQ(gaps.insert("box"), "box-8");
    EXPECT_EQ(gaps.getNames().size(), 5);

    qxUtil::UniqueNames files("_", ".txt");
    EXPECT_EQ(files.insert("a.txt"), "a.txt");
    EXPECT_EQ(files.insert("a.txt"), "a_1.txt");
    EXPECT_EQ(files.insert("a_1.txt"), "a_2.txt");
    // Names without the suffix count separately.
    EXPECT_EQ(files.insert("a_5"), "a_5");
    EXPECT_EQ(files.insert("a.txt"), "a_3.txt");
    files.setSuffix("");
    EXPECT_EQ(files.insert("a_5"), "a_6");
    files.setSeparator("");  // never found: numbers just append
    EXPECT_EQ(files.insert("a"), "a");
    EXPECT_EQ(files.insert("a"), "a1");

    // A number beyond the int range keeps counting up.
    qxUtil::UniqueNames big;
    big.insert("n");
    big.insert("n-99999999999");
    EXPECT_EQ(big.insert("n"), "n-100000000000");
}

TEST(UniqueNames, CopyIsAView) {
    qxUtil::UniqueNames names;
    names.insert("a");
    {
        qxUtil::UniqueNames view(names);
        EXPECT_EQ(view.insert("a"), "a-1");
    }
    EXPECT_EQ(names.getNames().size(), 2);
    EXPECT_EQ(names.insert("a"), "a-2");
}

}  // namespace
