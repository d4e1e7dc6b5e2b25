#include "Components/Base/Utility/qxGlobalCache.h"

#include "containers/qxHashTable.h"
#include "containers/qxList.h"
#include "containers/qxTree.h"
#include "containers/qxVector.h"

namespace qxUtil {

namespace {

// The order of one group's items: the group's own. Both items are of one
// group; b's is asked because searches pass the probe second, and its group
// pointer is at hand where the cached item's would be another load.
struct GroupOrder {
    bool operator()(const CacheItem* a, const CacheItem* b) const { return b->group()->less(a, b); }
};

struct GroupIndex;

// A cached item's place in the recency list, which also leads to its entry in
// its group's index.
struct Slot {
    CacheItem* item;
    GroupIndex* index;            // null for an item without a group
    qx::RBTreeImpl::Node* entry;  // the item's node in index->items
};
using Recency = qx::list<Slot>;
using Position = Recency::iterator;

// One group's cached items in the group's order, each with its place in the
// recency list.
struct GroupIndex {
    qx::map<CacheItem*, Position, GroupOrder> items;
};

class GlobalCacheImpl;
GlobalCacheImpl* s_globalCache = nullptr;

// Groups are told apart by address and ordered only by their less(), so the
// lookup of find and insert takes O(log n) calls of less() in the group's own
// ordered index; remove, trim and moving to the front are O(1) an item.
class GlobalCacheImpl final : public GlobalCache {
public:
    GlobalCacheImpl() = default;

    ~GlobalCacheImpl() override {
        m_dying = true;
        // Callbacks may come back to the cache (even insert), so the loop
        // runs until it stays empty.
        while (!m_recency.empty()) dispose(detach(m_recency.begin()));
        if (s_globalCache == this) s_globalCache = nullptr;
    }

    bool dying() const { return m_dying; }

    int totalCost() override { return m_total; }

    CacheItem* find(CacheItem* probe) override {
        if (!probe || !probe->group()) return nullptr;
        GroupIndex* index = indexOf(probe->group(), false);
        if (!index) return nullptr;
        auto& items = index->items;
        const auto it = items.lower_bound(probe);
        if (it == items.end() || probe->group()->less(probe, it->first)) return nullptr;
        moveToFront(it->second);
        return it->first;
    }

    int insert(CacheItem* item) override {
        if (!item) return 0;
        const auto cached = m_byItem.find(item);
        if (cached != m_byItem.end()) {
            moveToFront(cached->second);
            return 0;
        }

        // Equal items already cached are taken out now and let go once item
        // is in, so that their callbacks find the cache whole.
        qx::vector<CacheItem*> replaced;
        CacheGroupBase* group = item->group();
        GroupIndex* index = group ? indexOf(group, true) : nullptr;
        m_recency.push_front(Slot{item, index, nullptr});
        if (index) {
            try {
                for (;;) {
                    const auto r = index->items.insert({item, m_recency.begin()});
                    if (r.second) {
                        m_recency.front().entry = r.first.node();
                        break;
                    }
                    replaced.push_back(detach(r.first->second));
                }
            } catch (...) {
                // A throwing less(): item stays the caller's.
                m_recency.pop_front();
                for (CacheItem* old : replaced) dispose(old);
                throw;
            }
        }
        m_byItem.insert({item, m_recency.begin()});

        const int cost = item->cost();
        m_total += cost;
        for (CacheItem* old : replaced) dispose(old);
        return cost;
    }

    void remove(CacheItem* item) override {
        const auto cached = m_byItem.find(item);
        if (cached != m_byItem.end()) dispose(detach(cached->second));
    }

    void trim(int limit) override {
        while (m_total > limit && !m_recency.empty()) dispose(detach(--m_recency.end()));
    }

    // A group is going away: its items leave without itemRemoved.
    void dropGroup(CacheGroupBase* group) {
        const auto found = m_groups.find(group);
        if (found == m_groups.end()) return;
        auto& items = found->second.items;
        qx::vector<CacheItem*> dropped;
        dropped.reserve(items.size());
        for (const auto& e : items) {
            CacheItem* item = e.first;
            m_total -= item->cost();
            m_byItem.erase(item);
            m_recency.erase(e.second);
            dropped.push_back(item);
        }
        m_groups.erase(found);
        if (m_lastGroup == group) m_lastGroup = nullptr;
        for (CacheItem* item : dropped) delete item;
    }

private:
    // The group's index, created when asked to. The last one asked for is
    // remembered: lookups tend to stay in one group, and this skips the
    // division of the table lookup.
    GroupIndex* indexOf(CacheGroupBase* group, bool create) {
        if (group == m_lastGroup) return m_lastIndex;
        GroupIndex* index;
        if (create) {
            index = &m_groups[group];
        } else {
            const auto found = m_groups.find(group);
            if (found == m_groups.end()) return nullptr;
            index = &found->second;
        }
        m_lastGroup = group;
        m_lastIndex = index;
        return index;
    }

    void moveToFront(Position pos) {
        if (pos != m_recency.begin()) m_recency.splice(m_recency.begin(), m_recency, pos);
    }

    // Takes the item at pos out of the total, its group's index, the pointer
    // table and the recency list, and returns it for dispose().
    CacheItem* detach(Position pos) {
        const Slot slot = *pos;
        m_total -= slot.item->cost();
        if (slot.index) slot.index->items.impl().eraseNode(slot.entry);
        m_byItem.erase(slot.item);
        m_recency.erase(pos);
        return slot.item;
    }

    static void dispose(CacheItem* item) {
        if (CacheGroupBase* group = item->group()) group->itemRemoved(item);
        delete item;
    }

    // Every cached item, the most recently used first.
    Recency m_recency;
    // Each group's items in the group's order.
    qx::hash_map<CacheGroupBase*, GroupIndex> m_groups;
    // Every cached item by address: what remove() and insert() recognise.
    qx::hash_map<CacheItem*, Position> m_byItem;
    CacheGroupBase* m_lastGroup = nullptr;
    GroupIndex* m_lastIndex = nullptr;
    int m_total = 0;
    bool m_dying = false;
};

}  // namespace

CacheItem::~CacheItem() = default;

CacheGroupBase::~CacheGroupBase() {
    if (s_globalCache) s_globalCache->dropGroup(this);
}

GlobalCache::~GlobalCache() = default;

GlobalCache* getGlobalCache() {
    if (!s_globalCache) s_globalCache = new GlobalCacheImpl;
    return s_globalCache;
}

void deleteGlobalCache() {
    // A callback of the cache being deleted may ask for this again.
    if (s_globalCache && !s_globalCache->dying()) delete s_globalCache;
}

}  // namespace qxUtil
