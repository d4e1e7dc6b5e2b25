// qxUtil::UniqueNames: hands out names that are unique within a set by
// appending a separator and a running number ("box", "box-1", "box-2", ...),
// before an optional suffix ("a.txt", "a-1.txt").
#ifndef QXBASE_COMPONENTS_BASE_UTILITY_QXUNIQUENAMES_H
#define QXBASE_COMPONENTS_BASE_UTILITY_QXUNIQUENAMES_H

#include "containers/qxTree.h"
#include "qxDefs.h"
#include "string/qxString.h"

namespace qxUtil {

class UniqueNamesImpl;

// Not locked: one thread at a time.
class QX_API UniqueNames {
public:
    using NameSet = qx::set<qxString::CString, qx::less<qxString::CString>>;

    // An empty set, separator "-" unless given, suffix empty unless given.
    UniqueNames();
    explicit UniqueNames(const qxString::CString& separator);
    UniqueNames(const qxString::CString& separator, const qxString::CString& suffix);
    // A view of other's set and settings, not a copy: inserting through it
    // adds to other's set, and it must not outlive other.
    UniqueNames(const UniqueNames& other);
    UniqueNames& operator=(const UniqueNames&) = delete;
    ~UniqueNames();

    // Names handed out before stay in the set.
    void setSeparator(const qxString::CString& separator);
    void setSuffix(const qxString::CString& suffix);

    // name itself when it is not in the set yet, else name's base (name
    // without suffix and without a trailing separator and number) numbered
    // one past the highest number in use for that base. The result is added
    // to the set.
    qxString::CString insert(const qxString::CString& name);

    const NameSet& getNames() const;

private:
    UniqueNamesImpl* impl;
    bool ownsImpl;
};

}  // namespace qxUtil

#endif
