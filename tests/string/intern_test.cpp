#include "qxbase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

using qx::WChar;
using namespace qxString;

// Every test starts from empty tables.
class Intern : public ::testing::Test {
protected:
    void SetUp() override { deleteStringTables(); }
    void TearDown() override { deleteStringTables(); }
};

TEST_F(Intern, EqualTextsShareOneRecord) {
    EXPECT_EQ(numInternedCStrings(), 0);
    EXPECT_EQ(numInternedIStrings(), 0);
    const ConstantCString a = intern("abc");
    const ConstantCString b = intern(CString("abc"));
    EXPECT_EQ(a.record(), b.record());
    EXPECT_TRUE(a == b);
    EXPECT_EQ(*a, "abc");
    EXPECT_TRUE(a != intern("abd"));
    // Embedded NULs are part of the text, in both tables.
    const ConstantCString withNul = intern(CString("a\0b", 3));
    EXPECT_NE(withNul, intern("a"));
    EXPECT_EQ(withNul, intern(CString("a\0b", 3)));
    EXPECT_EQ(withNul->length(), 3u);
    const WChar units[] = {'x', 0, 'y'};
    const ConstantIString w = intern(IString(units, 3));
    EXPECT_EQ(w, intern(IString(units, 3)));
    EXPECT_NE(w, intern(QX_W("x")));
    EXPECT_EQ(w->length(), 3u);
    EXPECT_EQ(intern(QX_W("x")), intern(IString(QX_W("x"))));
    EXPECT_EQ(numInternedCStrings(), 4);
    EXPECT_EQ(numInternedIStrings(), 2);
    // The constant and the dynamic handle of a text point to one record.
    const DynamicCString d = intern_dynamic("abc");
    EXPECT_TRUE(d == a);
    EXPECT_EQ(numInternedCStrings(), 4);
    // The empty text is a text like any other.
    EXPECT_EQ(intern(""), intern(CString()));
    EXPECT_FALSE(intern("").isNull());
}

TEST_F(Intern, NullPointersGiveNullHandles) {
    EXPECT_TRUE(intern(static_cast<const char*>(nullptr)).isNull());
    EXPECT_TRUE(intern(static_cast<const WChar*>(nullptr)).isNull());
    DynamicCString d = intern_dynamic(static_cast<const char*>(nullptr));
    DynamicIString w = intern_dynamic(static_cast<const WChar*>(nullptr));
    EXPECT_TRUE(d.isNull() && w.isNull());
    DynamicCString copy(d);
    d = copy;
    EXPECT_TRUE(copy.isNull());
    EXPECT_EQ(numInternedCStrings(), 0);
    EXPECT_EQ(numInternedIStrings(), 0);
}

TEST_F(Intern, DynamicRecordsGoWithTheirLastHandle) {
    intern("keep");
    {
        DynamicCString a = intern_dynamic("temp");
        EXPECT_EQ(numInternedCStrings(), 2);
        EXPECT_EQ(a.record()->refCount, 1);
        {
            DynamicCString b(a);
            DynamicCString c = intern_dynamic(CString("temp"));
            EXPECT_EQ(a.record()->refCount, 3);
            DynamicCString moved(std::move(b));
            EXPECT_TRUE(b.isNull());
            EXPECT_EQ(a.record()->refCount, 3);
            c = a;  // assigning a handle of the same record keeps the count
            EXPECT_EQ(a.record()->refCount, 3);
        }
        EXPECT_EQ(a.record()->refCount, 1);
    }
    EXPECT_EQ(numInternedCStrings(), 1);

    // Once interned as a constant, a record stays after its dynamic handles.
    {
        DynamicIString d = intern_dynamic(QX_W("both"));
        EXPECT_EQ(numInternedIStrings(), 1);
        intern(QX_W("both"));
    }
    EXPECT_EQ(numInternedIStrings(), 1);
    {
        DynamicIString d = intern_dynamic(IString(QX_W("both")));
        EXPECT_TRUE(d.record()->isConstant);
        EXPECT_EQ(d.record()->refCount, 1);
    }
    EXPECT_EQ(numInternedIStrings(), 1);

    // Reassigning a handle releases the record it held.
    DynamicCString h = intern_dynamic("one");
    h = intern_dynamic("two");
    EXPECT_EQ(*h, "two");
    EXPECT_EQ(numInternedCStrings(), 2);  // "keep" and "two"
}

TEST_F(Intern, TablesCanBeDeletedAndStartAgain) {
    for (int i = 0; i < 1000; ++i) intern(CString(std::to_string(i).c_str()));
    intern(QX_W("w"));
    EXPECT_EQ(numInternedCStrings(), 1000);
    deleteStringTables();
    EXPECT_EQ(numInternedCStrings(), 0);
    EXPECT_EQ(numInternedIStrings(), 0);
    const ConstantCString a = intern("again");
    EXPECT_EQ(a, intern("again"));
    EXPECT_EQ(numInternedCStrings(), 1);
    // Records of a grown table stay where they are.
    const ConstantCString first = intern("0");
    for (int i = 1; i < 5000; ++i) intern(CString(std::to_string(i).c_str()));
    EXPECT_EQ(first, intern("0"));
    EXPECT_EQ(*first, "0");
}

TEST_F(Intern, SortFunctorsOrderByText) {
    std::vector<ConstantCString> c = {intern("b"), intern("c"), intern("a")};
    std::sort(c.begin(), c.end(), ConstantCStringSort());
    EXPECT_EQ(*c[0], "a");
    EXPECT_EQ(*c[2], "c");
    std::vector<DynamicIString> w = {intern_dynamic(QX_W("z")), intern_dynamic(QX_W("y"))};
    std::sort(w.begin(), w.end(), DynamicIStringSort());
    EXPECT_EQ(*w[0], QX_W("y"));
    EXPECT_TRUE(DynamicCStringSort()(intern_dynamic("a"), intern_dynamic("b")));
    EXPECT_FALSE(ConstantIStringSort()(intern(QX_W("b")), intern(QX_W("a"))));
}

// Texts of 0 to 40 units, with NULs and long shared prefixes, so that the
// lengths cover every compare path and texts differ late.
std::vector<std::string> modelTexts(int n) {
    std::mt19937 rng(7);
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) {
        std::string s = "id/" + std::to_string(i);
        const unsigned len = rng() % 41;
        s.resize(len, 'a');
        for (char& c : s)
            if (rng() % 8 == 0) c = "\0xy/"[rng() % 4];
        out.push_back(s);
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
    return out;
}

CString toText(const CString*, const std::string& s) {
    return CString(s.data(), static_cast<int>(s.size()));
}
IString toText(const IString*, const std::string& s) {
    std::vector<WChar> units(s.begin(), s.end());
    units.push_back(0);
    return IString(units.data(), static_cast<int>(s.size()));
}

// Random intern, intern_dynamic and release sequences against a model of
// what the table must hold, through growth of the table and removals from
// the middle of probe runs. Each text has at most one record; a record stays
// while it is constant or has handles.
template <class S, class Dynamic, class Count>
void checkAgainstModel(Count count) {
    struct Entry {
        InternalString<S>* record;
        bool constant;
        int refs;
    };
    const std::vector<std::string> texts = modelTexts(3000);
    std::unordered_map<std::string, Entry> model;
    std::vector<std::pair<std::string, Dynamic>> held;
    std::mt19937 rng(11);
    auto expectRecord = [&](const std::string& text, InternalString<S>* r) {
        auto it = model.find(text);
        if (it != model.end()) {
            EXPECT_EQ(r, it->second.record) << text;
        }
        EXPECT_TRUE(r->value == toText(static_cast<const S*>(nullptr), text)) << text;
        return &model.emplace(text, Entry{r, false, 0}).first->second;
    };
    for (int step = 0; step < 60000; ++step) {
        // Handles pile up for 10000 steps, then mostly go: the table grows to
        // thousands of records and loses most of them again, twice over.
        const bool piling = step / 10000 % 2 == 0;
        const std::string& text = texts[rng() % texts.size()];
        const unsigned op = rng() % 64;
        if (op < (piling ? 40u : 20u)) {
            held.emplace_back(text, intern_dynamic(toText(static_cast<const S*>(nullptr), text)));
            ++expectRecord(text, held.back().second.record())->refs;
        } else if (op < 62 && !held.empty()) {
            const size_t j = rng() % held.size();
            const std::string dropped = held[j].first;
            std::swap(held[j], held.back());
            held.pop_back();
            Entry& e = model.at(dropped);
            if (--e.refs == 0 && !e.constant) model.erase(dropped);
        } else {
            expectRecord(text, intern(toText(static_cast<const S*>(nullptr), text)).record())
                ->constant = true;
        }
        ASSERT_EQ(count(), static_cast<int>(model.size())) << "step " << step;
    }
    size_t constants = 0;
    for (const auto& kv : model) {
        EXPECT_EQ(kv.second.record->refCount, kv.second.refs);
        EXPECT_EQ(kv.second.record->isConstant, kv.second.constant);
        constants += kv.second.constant;
    }
    held.clear();
    EXPECT_EQ(count(), static_cast<int>(constants));
}

TEST_F(Intern, MatchesAModelThroughGrowthAndRemoval) {
    checkAgainstModel<CString, DynamicCString>(numInternedCStrings);
    checkAgainstModel<IString, DynamicIString>(numInternedIStrings);
}

// The text of a record whose last handle is going is interned again before
// the record is removed (what another thread may do between the decrement
// and the lock; here the decrement hook does it). The record must not be
// revived, since its releasing thread would then free it under a live
// handle: a fresh record replaces it, and only the old one is freed.
TEST_F(Intern, RecordInternedAgainWhileReleased) {
    static DynamicCString again;
    sharedStringThreading(nullptr, nullptr, nullptr, [](int& c) {
        const int left = --c;
        if (left == 0 && again.isNull()) again = intern_dynamic("text");
        return left;
    });
    const InternalString<CString>* old = intern_dynamic("text").record();
    sharedStringThreading(nullptr, nullptr, nullptr, nullptr);
    ASSERT_FALSE(again.isNull());
    EXPECT_NE(again.record(), old);
    EXPECT_EQ(*again, "text");
    EXPECT_EQ(again.record()->refCount, 1);
    EXPECT_EQ(numInternedCStrings(), 1);
    EXPECT_EQ(intern_dynamic("text"), again);
    again = DynamicCString();
    EXPECT_EQ(numInternedCStrings(), 0);
}

std::mutex s_mutex;
std::atomic<int> s_locks{0};

// Two threads intern, copy and drop dynamic handles of a few texts (so
// records keep dying and being re-created under each other's hands), and
// make some texts constant on the way. Every handle must keep its text, the
// two threads must agree on the constant records, and at the end only the
// constant records are left.
TEST_F(Intern, TwoThreadsWithLockHooks) {
    // The lock hook yields first: that widens the window between a count
    // reaching 0 and the lock that removes its record, where the other thread
    // may revive the record.
    sharedStringThreading(
        [] {
            std::this_thread::yield();
            s_mutex.lock();
            ++s_locks;
        },
        [] { s_mutex.unlock(); },
        [](int& c) { return __atomic_add_fetch(&c, 1, __ATOMIC_ACQ_REL); },
        [](int& c) { return __atomic_sub_fetch(&c, 1, __ATOMIC_ACQ_REL); });
    const int kTexts = 12;
    std::vector<std::string> names;
    for (int i = 0; i < kTexts; ++i) names.push_back("text-" + std::to_string(i));
    std::atomic<bool> failed{false};
    std::vector<ConstantCString> constants[2];
    auto work = [&](int id) {
        std::mt19937 rng(id + 1);
        std::vector<std::pair<int, DynamicCString>> held;
        for (int i = 0; i < 100000 && !failed; ++i) {
            const int k = static_cast<int>(rng() % kTexts);
            const unsigned op = rng() % 16;
            if (op < 7 && held.size() < 24) {
                held.emplace_back(k, intern_dynamic(names[k].c_str()));
            } else if (op < 9 && !held.empty() && held.size() < 24) {
                held.push_back(held[rng() % held.size()]);
            } else if (op < 15 && !held.empty()) {
                const size_t j = rng() % held.size();
                held[j] = std::move(held.back());
                held.pop_back();
            } else if (k % 4 == 0) {
                constants[id].push_back(intern(names[k].c_str()));
            }
            for (const auto& h : held)
                if (h.second.str() != names[h.first].c_str()) failed = true;
        }
    };
    std::thread t(work, 1);
    work(0);
    t.join();
    sharedStringThreading(nullptr, nullptr, nullptr, nullptr);
    EXPECT_FALSE(failed);
    EXPECT_GT(s_locks.load(), 0);
    // Only the records made constant are left, one per text for both threads.
    std::map<std::string, InternalString<CString>*> records;
    for (const auto& v : constants)
        for (const ConstantCString& h : v) {
            auto r = records.emplace(h->c_str(), h.record());
            EXPECT_EQ(r.first->second, h.record());
        }
    EXPECT_FALSE(records.empty());
    EXPECT_EQ(numInternedCStrings(), static_cast<int>(records.size()));
}

// Handles key a hash map by identity: equal texts meet in one entry, and
// the hash is the record's, not the text's.
TEST_F(Intern, HandlesAsHashKeys) {
    qx::hash_map<qxString::ConstantCString, int> counts;
    for (const char* w : {"red", "green", "red", "blue", "red"}) ++counts[qxString::intern(w)];
    EXPECT_EQ(counts.size(), 3);
    EXPECT_EQ(counts[qxString::intern("red")], 3);

    qx::hash_map<qxString::DynamicIString, int> wide;
    const qxString::DynamicIString a = qxString::intern_dynamic(QX_W("alpha"));
    wide[a] = 1;
    wide[qxString::intern_dynamic(QX_W("alpha"))] += 1;
    EXPECT_EQ(wide.size(), 1);
    EXPECT_EQ(wide[a], 2);
}

}  // namespace
