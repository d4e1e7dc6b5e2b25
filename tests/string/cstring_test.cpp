#include "qxbase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using qxString::CString;
constexpr unsigned npos = CString::npos;

std::string text(const CString& s) {
    return std::string(s.data(), s.length());
}
CString make(const std::string& s) {
    return CString(s.data(), static_cast<int>(s.size()));
}

unsigned fromStd(size_t r) {
    return r == std::string::npos ? npos : static_cast<unsigned>(r);
}

// Long random sequences of edits on a CString and the same edits on a
// std::string; text, length, terminating NUL and capacity are checked after
// every step. The alphabet holds a NUL, a blank and a byte above 0x7F, and
// sources include the string itself and pointers into its own text.
void runModel(unsigned seed) {
    std::mt19937 rng(seed);
    auto rnd = [&](unsigned n) { return static_cast<unsigned>(rng() % n); };
    static const char alphabet[] = {'a', 'b', 'a', 'A', ' ', '\0', '\xE9'};
    auto piece = [&](unsigned maxLen) {
        std::string p;
        for (unsigned i = rnd(maxLen + 1); i > 0; --i) p += alphabet[rnd(sizeof alphabet)];
        return p;
    };
    CString s;
    std::string m;
    for (int step = 0; step < 2500; ++step) {
        if (m.size() > 200) s.erase(0, 150), m.erase(0, 150);
        const unsigned len = static_cast<unsigned>(m.size());
        const unsigned op = rnd(17);
        unsigned pos = rnd(len + 2);  // len + 1 is out of range
        if (rnd(30) == 0) pos = len + 1 + rnd(1000);
        const unsigned counts[] = {0, 1, 2, 3, 5, 8, len, npos};
        const unsigned n = counts[rnd(8)];
        const bool bad = pos > len;
        const size_t k = bad ? 0 : std::min<size_t>(n, len - pos);
        const std::string p = piece(op == 12 ? 3 : 20);
        const char c = alphabet[rnd(sizeof alphabet)];
        SCOPED_TRACE(testing::Message() << "seed " << seed << " step " << step << " op " << op
                                        << " pos " << pos << " n " << n);
        if (op == 0) s.append(make(p)), m += p;
        if (op == 1) s.append(c), m += c;
        if (op == 2) s.append(p.c_str()), m += p.c_str();  // up to the first NUL
        if (op == 3) s.prepend(make(p)), m.insert(0, p);
        if (op == 4) s.prepend(p.c_str()), m.insert(0, p.c_str());
        if (op >= 5 && op <= 10) {  // the edits that take a position
            CString sub;
            auto edit = [&] {
                if (op == 5) s.insert(pos, make(p));
                if (op == 6) s.insert(pos, c);
                if (op == 7) s.replace(pos, n, make(p));
                if (op == 8) s.replace(pos, n, c);
                if (op == 9) s.erase(pos, n);  // does nothing on an empty string
                if (op == 10) sub = s.substr(pos, n);
            };
            if (bad && (op != 9 || len)) {
                EXPECT_THROW(edit(), std::out_of_range);
            } else {
                edit();
                if (op == 5) m.insert(pos, p);
                if (op == 6) m.insert(m.begin() + pos, c);
                if (op == 7) m.replace(pos, k, p);
                if (op == 8) m.replace(pos, k, 1, c);
                if (op == 9 && len) m.erase(pos, k);
                if (op == 10) {
                    ASSERT_EQ(text(sub), m.substr(pos, k));
                }
            }
        }
        if (op == 11) {
            const bool lead = rnd(2);
            lead ? s.strip(c) : s.rstrip(c);
            lead ? s.stripSpaces() : s.rstripSpaces();
            for (const std::string& set : {std::string(1, c), std::string(" \t\n\v\f\r")}) {
                if (lead) m.erase(0, std::min(m.size(), m.find_first_not_of(set)));
                if (!lead) m.erase(m.find_last_not_of(set) + 1);  // npos + 1 is 0
            }
        }
        if (op == 12) {
            const unsigned at = rnd(2) ? pos : npos;
            // An empty needle finds nothing.
            ASSERT_EQ(s.find(make(p), pos), p.empty() ? npos : fromStd(m.find(p, pos)));
            ASSERT_EQ(s.rfind(make(p), at), p.empty() ? npos : fromStd(m.rfind(p, at)));
            ASSERT_EQ(s.find(c, pos), fromStd(m.find(c, pos)));
            ASSERT_EQ(s.rfind(c, at), fromStd(m.rfind(c, at)));
            ASSERT_EQ(s.find(p.c_str(), pos), *p.c_str() ? fromStd(m.find(p.c_str(), pos)) : npos);
        }
        if (op == 13 && !bad) {  // the string, or a pointer into its text, as the source
            const std::string old = m, tail = m.c_str() + pos;
            const unsigned which = rnd(7);
            if (which == 0) s.append(s), m += old;
            if (which == 1) s.insert(pos, s), m.insert(pos, old);
            if (which == 2) s.replace(pos, n, s), m.replace(pos, k, old);
            if (which == 3) s.append(s.c_str() + pos), m += tail;
            if (which == 4) s.insert(len / 2, s.c_str() + pos), m.insert(len / 2, tail);
            if (which == 5) s.replace(len / 3, n, s.c_str() + pos), m.replace(len / 3, n, tail);
            if (which == 6) s.assign(s.c_str() + pos), m = tail;
        }
        if (op == 14) {
            const bool up = rnd(2);
            up ? s.toUpperCase() : s.toLowerCase();
            for (char& x : m) {
                if (up && x >= 'a' && x <= 'z') x = char(x - 32);
                if (!up && x >= 'A' && x <= 'Z') x = char(x + 32);
            }
        }
        if (op == 15) {
            // Grows to want | 15, returns inline below 16, else keeps the room.
            const unsigned want = rnd(300), old = s.capacity();
            const bool inl = want < 16 && want >= len;
            const unsigned expected = want < len || want <= old ? (inl ? 15 : old) : want | 15;
            ASSERT_EQ(s.reserve(want), expected);
            ASSERT_EQ(s.capacity(), expected);
        }
        if (op == 16) {
            CString other = make(p);
            rnd(2) ? s.swap(other) : qxString::swap(s, other);
            ASSERT_EQ(text(other), m);
            m = p;
        }
        ASSERT_EQ(s.length(), m.size());
        ASSERT_EQ(text(s), m);
        ASSERT_EQ(s.c_str()[s.length()], '\0');
        ASSERT_GE(s.capacity(), s.length());
        ASSERT_EQ(s.isEmpty(), m.empty());
    }
}

TEST(CStringModel, RandomEditsMatchStdString) {
    for (unsigned seed : {1u, 2u, 3u, 4u}) runModel(seed);
}

TEST(CString, ConstructionKeepsEveryByte) {
    EXPECT_TRUE(CString(static_cast<const char*>(nullptr)).isEmpty());
    EXPECT_TRUE(CString(nullptr, 4).isEmpty());
    EXPECT_TRUE(CString().isNull());
    EXPECT_FALSE(CString("a").isNull());
    EXPECT_EQ(CString('\0').length(), 1u);
    EXPECT_EQ(text(CString(3, 'x')), "xxx");
    EXPECT_EQ(CString(0u, 'x').length(), 0u);
    EXPECT_THROW(CString("abc", -1), std::length_error);

    const CString five("ab\0cd", 5);
    EXPECT_EQ(five.length(), 5u);
    EXPECT_GT(five.compare("ab"), 0);
    EXPECT_TRUE(five != "ab");
    const CString copy(five);
    CString assigned;
    assigned = five;
    EXPECT_EQ(text(copy), std::string("ab\0cd", 5));
    EXPECT_EQ(text(assigned), std::string("ab\0cd", 5));
    EXPECT_EQ(text(CString(std::string_view("x\0y", 3))), std::string("x\0y", 3));

    char* heap = five.copyAsChar();
    EXPECT_EQ(std::memcmp(heap, "ab\0cd", 6), 0);  // the text and its NUL
    std::free(heap);
    EXPECT_EQ(five.asCharStoreSize(), 6u);
    EXPECT_EQ(qxString::hashfunction(five),
              qx::hashfunction(reinterpret_cast<const unsigned char*>("ab\0cd"), 5));
    EXPECT_NE(qxString::hashfunction(five), qxString::hashfunction(CString("ab\0ce", 5)));

    EXPECT_EQ(CString().last(), 0u);
    EXPECT_EQ(CString("abc").last(), 2u);
    EXPECT_EQ(CString("abc").first(), 0u);
    EXPECT_EQ(CString().maxSize(), 0xFFFFFFFEu);
    EXPECT_EQ(npos, 0xFFFFFFFFu);
    EXPECT_TRUE(CString("a\x7F").isAscii());
    EXPECT_FALSE(CString("a\x80").isAscii());
    EXPECT_TRUE(CString().isAscii());
}

TEST(CString, CapacityGrowthAndReserve) {
    CString s;
    EXPECT_EQ(s.capacity(), 15u);
    std::vector<unsigned> steps{s.capacity()};
    for (int i = 0; i < 300; ++i) {
        s.append(char('a' + i % 26));
        if (steps.back() != s.capacity()) steps.push_back(s.capacity());
    }
    // r | 15, or the old capacity and half of it when that is more.
    EXPECT_EQ(steps, (std::vector<unsigned>{15, 31, 47, 70, 105, 157, 235, 352}));
    CString big;
    big.append(std::string(100, 'z').c_str());
    EXPECT_EQ(big.capacity(), 111u);
}

// Positions, plain searches, strips and erase edges are covered by the model
// above; these are the predicate searches and the blanks it never makes.
TEST(CString, PredicateSearchesAndSpaceStrips) {
    const CString d("a1b2");
    EXPECT_EQ(d.find(qxString::isDigit), 1u);
    EXPECT_EQ(d.find(qxString::isDigit, 2), 3u);
    EXPECT_EQ(d.find(qxString::isDigit, 4), npos);
    EXPECT_EQ(d.rfind(qxString::isDigit), 3u);
    EXPECT_EQ(d.rfind(qxString::isDigit, 2), 1u);
    EXPECT_EQ(d.rfind(qxString::isDigit, 99), 3u);
    EXPECT_EQ(d.rfind(qxString::isDigit, 0), npos);
    EXPECT_EQ(CString().rfind(qxString::isDigit), npos);
    EXPECT_EQ(text(CString("\v\f\t\na ").stripSpaces()), "a ");
    EXPECT_EQ(text(CString(" \ta\n\r").rstripSpaces()), " \ta");
    EXPECT_EQ(text(CString("abc").remove(1, npos)), "a");
}

TEST(CString, ComparisonsUseUnsignedBytesAndLength) {
    EXPECT_LT(CString("ab").compare("ac"), 0);
    EXPECT_GT(CString("\xFF").compare("a"), 0);  // unsigned bytes
    EXPECT_EQ(CString("ab").compare("abc"), -1);
    EXPECT_EQ(CString("abc").compare(CString("ab")), 1);
    EXPECT_EQ(CString("").compare(static_cast<const char*>(nullptr)), 0);
    EXPECT_LT(CString("a\0b", 3).compare(CString("a\0c", 3)), 0);
    EXPECT_EQ(CString("a\0b", 3).compare(CString("a\0b", 3)), 0);
    EXPECT_GT(CString("ab\0", 3).compare(CString("ab")), 0);

    const CString a("abc"), b("abd"), a2("abc");
    EXPECT_TRUE(qxString::equal(a, a2) && qxString::equal(a, "abc") && qxString::notEqual(a, b));
    EXPECT_TRUE(qxString::less(a, b) && qxString::lessEqual(a, a2) && !qxString::less(b, a));
    EXPECT_TRUE(qxString::greater(b, a) && qxString::greaterEqual(a, a2));
    EXPECT_TRUE(a < b && b > a && a == a2 && a <= a2 && "abd" == b && "abb" < a);

    EXPECT_EQ(CString("ABC").compareNoCase(CString("abc")), 0);
    EXPECT_LT(CString("ABC").compareNoCase(CString("abd")), 0);
    EXPECT_GT(CString("abcd").compareNoCase(CString("ABC")), 0);
    EXPECT_LT(CString("a").collate(CString("b")), 0);
    EXPECT_EQ(CString("ABC").collateNoCase(CString("abc")), 0);

    EXPECT_EQ(text(qxString::plus(a, CString("x\0y", 3))), std::string("abcx\0y", 6));
    CString acc("1");
    EXPECT_EQ(&qxString::plusEqual(acc, CString("2")), &acc);
    EXPECT_EQ(text(acc + "3" + 'x' + acc), "123x12");
    EXPECT_EQ(text("<" + acc), "<12");
}

TEST(CString, MovesCopiesAndCEntryPoints) {
    CString a("a text longer than the inline room"), b("short");
    CString moved(std::move(a));
    EXPECT_TRUE(a.isEmpty());
    EXPECT_EQ(a.c_str()[0], '\0');
    a.append("again");
    EXPECT_EQ(text(a), "again");
    b = std::move(moved);
    EXPECT_EQ(text(b), "a text longer than the inline room");
    moved.append('!');  // whatever it holds, the moved-from string is usable
    moved = b;
    EXPECT_EQ(text(moved), text(b));
    const CString& self = b;
    b = self;
    EXPECT_EQ(text(b), text(moved));

    CString* heap = CString_create("created");
    ASSERT_NE(heap, nullptr);
    EXPECT_EQ(text(*heap), "created");
    CString_delete(heap);
    CString_delete(nullptr);
    heap = CString_create(nullptr);
    EXPECT_TRUE(heap->isEmpty());
    CString_delete(heap);
}

// Both containers move their elements bytewise or keep them in nodes: the
// strings must come out intact, heap-held and inline alike.
TEST(CString, WorksInLibraryContainers) {
    qx::vector<CString> v;
    std::vector<std::string> m;
    for (int i = 0; i < 200; ++i) {
        const std::string t = std::string(i % 40, char('a' + i % 26)) + std::to_string(i);
        if (i % 3 == 0) {
            v.insert(v.begin(), make(t)), m.insert(m.begin(), t);
        } else {
            v.push_back(make(t)), m.push_back(t);
        }
        if (i % 7 == 6) v.erase(v.begin() + i / 4), m.erase(m.begin() + i / 4);
    }
    ASSERT_EQ(static_cast<size_t>(v.size()), m.size());
    for (size_t i = 0; i < m.size(); ++i) EXPECT_EQ(text(v[static_cast<int>(i)]), m[i]);
    qx::vector<CString> w(v);
    v.clear();
    EXPECT_EQ(text(w[0]), m[0]);

    qx::hash_set<CString> set;
    for (int i = 0; i < 300; ++i) set.insert(CString(std::to_string(i).c_str()));
    EXPECT_TRUE(set.insert(CString("ab\0c", 4)).second);
    EXPECT_TRUE(set.insert(CString("ab\0d", 4)).second);  // differs after the NUL
    EXPECT_FALSE(set.insert(CString("ab\0c", 4)).second);
    EXPECT_EQ(set.size(), 302);
    EXPECT_EQ(set.count(CString("299")), 1);
    EXPECT_EQ(set.count(CString("ab")), 0);
    EXPECT_EQ(set.erase(CString("ab\0d", 4)), 1);
    EXPECT_TRUE(set.find(CString("ab\0d", 4)) == set.end());
    EXPECT_TRUE(set.find(CString("ab\0c", 4)) != set.end());
}

}  // namespace
