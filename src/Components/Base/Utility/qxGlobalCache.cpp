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

// Equality and hash of items of one hashing group.
struct GroupEqual {
    bool operator()(const CacheItem* a, const CacheItem* b) const {
        return b->group()->equal(a, b);
    }
};
struct GroupHash {
    unsigned long long operator()(const CacheItem* item) const { return item->group()->hash(item); }
};

struct GroupIndex;

// A cached item's place in the recency list, which also leads to its entry in
// its group's index.
struct Slot;
using Recency = qx::list<Slot>;
using Position = Recency::iterator;
using OrderedItems = qx::map<CacheItem*, Position, GroupOrder>;
using HashedItems = qx::hash_map<CacheItem*, Position, GroupHash, GroupEqual>;

struct Slot {
    CacheItem* item;
    GroupIndex* index;                // null for an item without a group
    qx::RBTreeImpl::Node* entry;      // the item's node in index->ordered
    HashedItems::iterator hashEntry;  // or its entry in index->hashed
};

// One group's cached items, each with its place in the recency list: in a
// hash index when the group hashes, otherwise in the group's order.
struct GroupIndex {
    explicit GroupIndex(bool hashes) : hashes(hashes) {
        // Short chains: a hit is then rarely behind another node.
        hashed.max_load_factor(0.5f);
    }
    bool hashes;
    OrderedItems ordered;
    HashedItems hashed;

    // The cached item equal to probe, or null.
    Position* find(CacheItem* probe, CacheItem** found) {
        if (hashes) {
            const auto it = hashed.find(probe);
            if (it == hashed.end()) return nullptr;
            *found = it->first;
            return &it->second;
        }
        const auto it = ordered.lower_bound(probe);
        if (it == ordered.end() || probe->group()->less(probe, it->first)) return nullptr;
        *found = it->first;
        return &it->second;
    }

    // Enters slot's item at pos, or returns the position of an equal item
    // already there (and enters nothing).
    Position* enter(Position pos) {
        Slot& slot = *pos;
        if (hashes) {
            const auto r = hashed.insert({slot.item, pos});
            if (!r.second) return &r.first->second;
            slot.hashEntry = r.first;
        } else {
            const auto r = ordered.insert({slot.item, pos});
            if (!r.second) return &r.first->second;
            slot.entry = r.first.node();
        }
        return nullptr;
    }

    void leave(const Slot& slot) {
        if (hashes)
            hashed.erase(slot.hashEntry);
        else
            ordered.impl().eraseNode(slot.entry);
    }

    int size() const { return hashes ? hashed.size() : ordered.size(); }

    // Every item's position, in no particular order.
    template <class F>
    void forEach(F f) {
        if (hashes)
            for (auto& e : hashed) f(e.second);
        else
            for (auto& e : ordered) f(e.second);
    }
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
        CacheItem* found = nullptr;
        Position* pos = index->find(probe, &found);
        if (!pos) return nullptr;
        moveToFront(*pos);
        return found;
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
        m_recency.push_front(Slot{item, index, nullptr, {}});
        if (index) {
            try {
                while (Position* equal = index->enter(m_recency.begin()))
                    replaced.push_back(detach(*equal));
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
        qx::vector<CacheItem*> dropped;
        dropped.reserve(found->second.size());
        found->second.forEach([&](Position pos) {
            CacheItem* item = pos->item;
            m_total -= item->cost();
            m_byItem.erase(item);
            m_recency.erase(pos);
            dropped.push_back(item);
        });
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
            auto found = m_groups.find(group);
            if (found == m_groups.end())
                found = m_groups.emplace(group, GroupIndex(group->hashable())).first;
            index = &found->second;
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
        if (slot.index) slot.index->leave(slot);
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

unsigned long long CacheGroupBase::hash(const CacheItem*) {
    return 0;
}

bool CacheGroupBase::equal(const CacheItem* a, const CacheItem* b) {
    return !less(a, b) && !less(b, a);
}

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
