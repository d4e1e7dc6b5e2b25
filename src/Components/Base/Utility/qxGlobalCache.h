// qxUtil::GlobalCache: one process-wide store of expensive, re-creatable
// objects, bounded by a budget of abstract cost units that the owner enforces
// with trim(): the least recently used items leave first.
//
// A component derives its cached objects from CacheItem and describes each
// family of them by one CacheGroupBase, which orders the family's items (two
// items are the same object when neither is less than the other) and hears
// about each item just before the cache deletes it. Items of different
// groups are never equal.
//
// Groups that can also hash their items get constant-time lookups; the others
// are searched in O(log n) calls of their less().
//
// Typical use: build a probe item that describes the wanted object and
// find() it; on a miss build the real object, insert() it, then trim() to the
// budget.
//
// Nothing is locked: the cache, its creation in getGlobalCache() and the
// groups' callbacks run on the caller's thread, and callers serialise access.
#ifndef QXBASE_COMPONENTS_BASE_UTILITY_QXGLOBALCACHE_H
#define QXBASE_COMPONENTS_BASE_UTILITY_QXGLOBALCACHE_H

#include "qxDefs.h"

namespace qxUtil {

class CacheGroupBase;

// Base of every cached object. Once inserted, an item belongs to the cache,
// which deletes it through this virtual destructor.
class QX_API CacheItem {
public:
    explicit CacheItem(CacheGroupBase* group) : m_group(group) {}
    virtual ~CacheItem();

    // The item's weight against the budget. The cache reads it on insert and
    // again on removal, so it must not change while the item is cached. Zero
    // and negative costs are taken as they are.
    virtual int cost() = 0;

    CacheGroupBase* group() const { return m_group; }

private:
    CacheGroupBase* m_group;
};

// Describes one family of cached items.
class QX_API CacheGroupBase {
public:
    CacheGroupBase() = default;
    // Items of this group still cached are deleted and leave the cache's
    // total, without itemRemoved (whose override is already gone by now).
    // A group that needs the callback for them removes them before it dies.
    virtual ~CacheGroupBase();

    // Called just before the cache deletes an item of this group.
    virtual void itemRemoved(CacheItem* item) = 0;
    // A strict weak ordering of two items of this group.
    virtual bool less(const CacheItem* a, const CacheItem* b) = 0;

    // Optional: a group whose hashable() is true (and stays so for its whole
    // life) also gives hash(), equal for items that less() finds equal. Its
    // items are then looked up in a hash index, in constant time, instead of
    // by O(log n) calls of less().
    // equal() serves the hash index; its default asks less() both ways.
    virtual bool hashable() const { return false; }
    virtual unsigned long long hash(const CacheItem* item);
    virtual bool equal(const CacheItem* a, const CacheItem* b);
};

class QX_API GlobalCache {
public:
    // Deletes every item, the most recently used first, each after its
    // group's itemRemoved.
    virtual ~GlobalCache();

    // The sum of the cached items' costs.
    virtual int totalCost() = 0;

    // The cached item equal to probe, made the most recently used; null when
    // there is none. probe is not kept and stays the caller's.
    virtual CacheItem* find(CacheItem* probe) = 0;

    // Takes item over as the most recently used and returns its cost, which
    // is added to the total. Meant for items that find() did not find:
    //  - an item already cached (the same pointer) is only made the most
    //    recently used, and 0 is returned;
    //  - an equal item already cached is replaced: it leaves the cache as
    //    remove() would, after item is in.
    // An item without a group is cached and evicted like any other, but
    // find() never returns it.
    virtual int insert(CacheItem* item) = 0;

    // Takes a cached item out (its cost leaves the total), tells its group
    // and deletes it. A pointer the cache does not hold is left alone, even
    // when an equal item is cached.
    virtual void remove(CacheItem* item) = 0;

    // Removes the least recently used items until the total is at most limit
    // or the cache is empty.
    virtual void trim(int limit) = 0;

protected:
    GlobalCache() = default;
    GlobalCache(const GlobalCache&) = delete;
    GlobalCache& operator=(const GlobalCache&) = delete;
};

// The process-wide cache, created empty on the first call.
QX_API GlobalCache* getGlobalCache();
// Deletes the process-wide cache, if there is one; the next getGlobalCache()
// creates a new one.
QX_API void deleteGlobalCache();

}  // namespace qxUtil

#endif
