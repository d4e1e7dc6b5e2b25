#include "qxbase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>

namespace {

using qxUtil::CacheGroupBase;
using qxUtil::CacheItem;
using qxUtil::getGlobalCache;

std::string g_removed;              // "<group><key> " for each itemRemoved
std::set<const CacheItem*> g_live;  // items constructed and not yet deleted
std::function<void(CacheItem*)> g_onRemoved;

struct Item : CacheItem {
    Item(CacheGroupBase* g, int key, int weight = 1) : CacheItem(g), key(key), weight(weight) {
        g_live.insert(this);
    }
    ~Item() override { EXPECT_EQ(g_live.erase(this), 1u) << "item deleted twice"; }
    int cost() override { return weight; }
    int key;
    int weight;
};

// A group that orders its items, or (hashes) one that also hashes them, into
// few values so that hash collisions are common.
struct Group : CacheGroupBase {
    explicit Group(char name, bool hashes = false) : name(name), hashes(hashes) {}
    void itemRemoved(CacheItem* item) override {
        EXPECT_EQ(item->group(), this);
        EXPECT_EQ(g_live.count(item), 1u) << "told after the delete";
        g_removed += name + std::to_string(static_cast<Item*>(item)->key) + " ";
        if (g_onRemoved) g_onRemoved(item);
    }
    bool less(const CacheItem* a, const CacheItem* b) override {
        return static_cast<const Item*>(a)->key < static_cast<const Item*>(b)->key;
    }
    bool hashable() const override { return hashes; }
    unsigned long long hash(const CacheItem* item) override {
        return static_cast<unsigned>(static_cast<const Item*>(item)->key) % 5;
    }
    char name;
    bool hashes;
};

std::string takeRemoved() {
    std::string s;
    s.swap(g_removed);
    return s;
}

class GlobalCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        qxUtil::deleteGlobalCache();
        g_removed.clear();
        g_onRemoved = nullptr;
    }
    void TearDown() override {
        g_onRemoved = nullptr;
        qxUtil::deleteGlobalCache();
        EXPECT_TRUE(g_live.empty()) << "leaked items";
    }
};

TEST_F(GlobalCacheTest, LeastRecentlyUsedLeaveFirstAndHitsMoveToTheFront) {
    Group a('a');
    qxUtil::GlobalCache* cache = getGlobalCache();
    Item probe(&a, 1);
    EXPECT_EQ(cache->totalCost(), 0);
    EXPECT_EQ(cache->find(&probe), nullptr);

    Item* one = new Item(&a, 1, 3);
    EXPECT_EQ(cache->insert(one), 3);
    EXPECT_EQ(cache->insert(new Item(&a, 2, 4)), 4);
    EXPECT_EQ(cache->insert(new Item(&a, 3, 5)), 5);
    cache->trim(12);
    EXPECT_EQ(takeRemoved(), "");
    EXPECT_EQ(cache->find(&probe), one);  // 1 is now the most recent
    cache->trim(6);
    EXPECT_EQ(takeRemoved(), "a2 a3 ");
    EXPECT_EQ(cache->totalCost(), 3);
    cache->trim(2);
    EXPECT_EQ(takeRemoved(), "a1 ");
    EXPECT_EQ(cache->find(&probe), nullptr);
    EXPECT_EQ(getGlobalCache(), cache);
}

TEST_F(GlobalCacheTest, EqualContentsInOtherGroupsAreOtherItems) {
    Group a('a'), b('b', true);
    qxUtil::GlobalCache* cache = getGlobalCache();
    Item* inA = new Item(&a, 7);
    Item* inB = new Item(&b, 7);
    cache->insert(inA);
    cache->insert(inB);
    Item probeA(&a, 7), probeB(&b, 7);
    EXPECT_EQ(cache->find(&probeA), inA);
    EXPECT_EQ(cache->find(&probeB), inB);
    // An item without a group is kept and evicted, never found.
    Item* loose = new Item(nullptr, 7, 5);
    EXPECT_EQ(cache->insert(loose), 5);
    Item probeLoose(nullptr, 7);
    EXPECT_EQ(cache->find(&probeLoose), nullptr);
    cache->trim(5);
    EXPECT_EQ(takeRemoved(), "a7 b7 ");
    cache->trim(0);
    EXPECT_EQ(g_live.count(loose), 0u);
    EXPECT_EQ(takeRemoved(), "");
    EXPECT_EQ(cache->totalCost(), 0);
}

TEST_F(GlobalCacheTest, DeleteTellsEveryGroupMostRecentFirstAndStartsAfresh) {
    Group a('a'), b('b');
    qxUtil::deleteGlobalCache();  // none to delete
    qxUtil::GlobalCache* cache = getGlobalCache();
    cache->insert(new Item(&a, 1));
    cache->insert(new Item(&b, 2));
    cache->insert(new Item(&a, 3));
    // A callback that deletes the cache again changes nothing.
    g_onRemoved = [](CacheItem*) { qxUtil::deleteGlobalCache(); };
    qxUtil::deleteGlobalCache();
    EXPECT_EQ(takeRemoved(), "a3 b2 a1 ");
    EXPECT_TRUE(g_live.empty());
    EXPECT_EQ(getGlobalCache()->totalCost(), 0);
}

TEST_F(GlobalCacheTest, CallbacksMayUseTheCache) {
    Group a('a');
    qxUtil::GlobalCache* cache = getGlobalCache();
    Item* two = new Item(&a, 2);
    cache->insert(new Item(&a, 1));
    cache->insert(two);
    cache->insert(new Item(&a, 3));
    // Evicting 1 removes 2 from inside the callback and adds 4.
    g_onRemoved = [&](CacheItem* item) {
        if (static_cast<Item*>(item)->key != 1) return;
        cache->remove(two);
        cache->insert(new Item(&a, 4, 10));
    };
    cache->trim(2);
    EXPECT_EQ(takeRemoved(), "a1 a2 a3 a4 ");
    EXPECT_EQ(cache->totalCost(), 0);
}

// The cache against a model: a recency list and a map by (group, key).
// After every operation the eviction log, the total and the set of live items
// must agree; deleting the cache at the end checks the whole recency order.
TEST_F(GlobalCacheTest, RandomOperationsMatchAModelLru) {
    std::mt19937 rng(20261208);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const char names[3] = {'a', 'b', 'c'};
    std::unique_ptr<Group> groups[3];
    // a orders its items, b and c also hash them.
    for (int g = 0; g < 3; ++g) groups[g] = std::make_unique<Group>(names[g], g > 0);

    using Key = std::pair<int, int>;  // group, key
    struct Entry {
        std::list<Key>::iterator pos;
        Item* item;
        int cost;
    };
    std::list<Key> recency;  // most recent first
    std::map<Key, Entry> cached;
    int total = 0;
    std::string expected;
    auto label = [&](const Key& k) { return names[k.first] + std::to_string(k.second) + " "; };
    auto front = [&](Entry& e) { recency.splice(recency.begin(), recency, e.pos); };
    auto drop = [&](Key k, bool told) {
        Entry& e = cached.at(k);
        total -= e.cost;
        if (told) expected += label(k);
        recency.erase(e.pos);
        cached.erase(k);
    };
    auto randomCached = [&]() {
        auto it = cached.begin();
        std::advance(it, pick(0, static_cast<int>(cached.size()) - 1));
        return it;
    };

    qxUtil::GlobalCache* cache = getGlobalCache();
    for (int step = 0; step < 20000; ++step) {
        const Key k{pick(0, 2), pick(0, 24)};
        const int op = pick(0, 99);
        if (op < 35) {
            Item probe(groups[k.first].get(), k.second);
            const auto it = cached.find(k);
            ASSERT_EQ(cache->find(&probe), it == cached.end() ? nullptr : it->second.item);
            if (it != cached.end()) front(it->second);
        } else if (op < 65) {  // insert, replacing an equal item
            Item* item = new Item(groups[k.first].get(), k.second, pick(-2, 9));
            if (cached.count(k)) drop(k, true);
            recency.push_front(k);
            cached[k] = Entry{recency.begin(), item, item->weight};
            total += item->weight;
            ASSERT_EQ(cache->insert(item), item->weight);
        } else if (op < 70 && !cached.empty()) {  // the same item again
            auto it = randomCached();
            front(it->second);
            ASSERT_EQ(cache->insert(it->second.item), 0);
        } else if (op < 80 && !cached.empty()) {
            auto it = randomCached();
            Item* item = it->second.item;
            drop(it->first, true);
            cache->remove(item);
        } else if (op < 83) {  // a probe equal to a cached item is not cached
            Item probe(groups[k.first].get(), k.second);
            cache->remove(&probe);
        } else if (op < 99) {
            const int limit = pick(-3, std::max(-3, total + 3));
            while (total > limit && !recency.empty()) drop(recency.back(), true);
            cache->trim(limit);
        } else {  // a group goes away with its items, untold
            for (auto it = cached.begin(); it != cached.end();) {
                const Key gone = (it++)->first;
                if (gone.first == k.first) drop(gone, false);
            }
            groups[k.first].reset();  // the next one likely takes its address
            groups[k.first] = std::make_unique<Group>(names[k.first], k.first > 0);
        }
        ASSERT_EQ(takeRemoved(), expected) << "step " << step;
        expected.clear();
        ASSERT_EQ(cache->totalCost(), total) << "step " << step;
        ASSERT_EQ(g_live.size(), cached.size()) << "step " << step;
        for (const auto& e : cached) ASSERT_EQ(g_live.count(e.second.item), 1u);
    }
    for (const Key& k : recency) expected += label(k);
    qxUtil::deleteGlobalCache();
    EXPECT_EQ(takeRemoved(), expected);
}

}  // namespace
