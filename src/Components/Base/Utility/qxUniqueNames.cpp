#include "Components/Base/Utility/qxUniqueNames.h"

#include <cstdio>
#include <cstring>

namespace qxUtil {

using qxString::CString;

class UniqueNamesImpl : public qx::ImplBase {
public:
    UniqueNamesImpl(const CString& sep, const CString& suf) : suffix(suf), separator(sep) {}

    UniqueNames::NameSet names;
    CString suffix;
    CString separator;
};

namespace {

bool endsWith(const CString& s, const CString& tail) {
    return s.length() >= tail.length() &&
           std::memcmp(s.data() + s.length() - tail.length(), tail.data(), tail.length()) == 0;
}

// Cuts a non-empty suffix off a name longer than it; true when it did.
bool stripSuffix(CString& work, const CString& suffix) {
    if (suffix.empty() || work.length() <= suffix.length() || !endsWith(work, suffix)) return false;
    work.erase(work.length() - suffix.length());
    return true;
}

// The position of the separator of a trailing "<separator><digits>" in
// work, or npos. A one-character separator at the very end does not count;
// a longer one there does, with no digits after it.
unsigned numberedAt(const CString& work, const CString& separator) {
    if (separator.empty()) return CString::npos;
    const unsigned p = work.rfind(separator);
    if (p == CString::npos || p + 1 == work.length()) return CString::npos;
    for (unsigned i = p + separator.length(); i < work.length(); ++i)
        if (work[i] < '0' || work[i] > '9') return CString::npos;
    return p;
}

// The decimal number of a run of digits. atoi has no defined result past
// the int range; here large numbers saturate instead.
unsigned long long digitsValue(const char* p, const char* end) {
    unsigned long long v = 0;
    for (; p < end; ++p) {
        const unsigned d = static_cast<unsigned>(*p - '0');
        v = v > (~0ull - d) / 10 ? ~0ull : v * 10 + d;
    }
    return v;
}

}  // namespace

UniqueNames::UniqueNames() : impl(new UniqueNamesImpl("-", CString())), ownsImpl(true) {}

UniqueNames::UniqueNames(const CString& separator)
    : impl(new UniqueNamesImpl(separator, CString())), ownsImpl(true) {}

UniqueNames::UniqueNames(const CString& separator, const CString& suffix)
    : impl(new UniqueNamesImpl(separator, suffix)), ownsImpl(true) {}

UniqueNames::UniqueNames(const UniqueNames& other) : impl(other.impl), ownsImpl(false) {}

UniqueNames::~UniqueNames() {
    if (ownsImpl) delete impl;
}

void UniqueNames::setSeparator(const CString& separator) {
    impl->separator = separator;
}

void UniqueNames::setSuffix(const CString& suffix) {
    impl->suffix = suffix;
}

const UniqueNames::NameSet& UniqueNames::getNames() const {
    return impl->names;
}

CString UniqueNames::insert(const CString& name) {
    NameSet& names = impl->names;
    const CString& suffix = impl->suffix;
    const CString& separator = impl->separator;
    if (names.insert(name).second) return name;

    CString base(name);
    const bool hadSuffix = stripSuffix(base, suffix);
    const unsigned cut = numberedAt(base, separator);
    if (cut != CString::npos) base.erase(cut);

    // Numbered names of this base sort right after it; the walk stops at the
    // first numbered name of another base.
    unsigned long long highest = 0;
    for (auto it = names.lower_bound(base); it != names.end(); ++it) {
        CString cand(*it);
        if (stripSuffix(cand, suffix) != hadSuffix) continue;
        const unsigned at = numberedAt(cand, separator);
        if (at == CString::npos) continue;
        if (at != base.length() || std::memcmp(cand.data(), base.data(), at) != 0) break;
        const char* digits = cand.data() + at + separator.length();
        const unsigned long long v = digitsValue(digits, cand.end());
        if (v > highest) highest = v;
    }

    char number[24];
    std::snprintf(number, sizeof number, "%llu", highest == ~0ull ? highest : highest + 1);
    CString result(base);
    result.append(separator);
    result.append(number);
    if (hadSuffix) result.append(suffix);
    names.insert(result);
    return result;
}

}  // namespace qxUtil
