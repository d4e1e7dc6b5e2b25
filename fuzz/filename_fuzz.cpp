// Canonicalises arbitrary UTF-16 text (pairs of input bytes) for both
// separators and checks:
//  - canonicalising the result again changes nothing;
//  - the result holds no foreign separator and, past a leading pair, no
//    run of separators;
//  - the parts are consistent: the base name holds no separator, and trunk
//    and suffix put together with a dot give the base name;
//  - joining the two halves of the input terminates and is canonical too.
#include "qxbase.h"

#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

using fuzzcheck::expect;
using qx::WChar;
using qxOS::Filename;
using qxString::IString;

bool sameText(const IString& a, const IString& b) {
    return a.length() == b.length() && qxString::equal(a, b);
}

void checkName(const IString& in, WChar sep) {
    IString once;
    Filename::canonicalize(in, sep, once);
    IString twice;
    Filename::canonicalize(once, sep, twice);
    expect(sameText(once, twice), "canonicalising twice differs from once");

    const WChar foreign = sep == '/' ? WChar('\\') : WChar('/');
    for (unsigned i = 0; i < once.length(); ++i) {
        expect(once[i] != foreign, "a foreign separator survived");
        if (i >= 1 && i + 1 < once.length())
            expect(!(once[i] == sep && once[i + 1] == sep), "a run of separators survived");
    }

    const Filename f(in, sep);
    expect(sameText(f.name(), once), "the constructor and canonicalize disagree");
    const IString& base = f.basename();
    for (unsigned i = 0; i < base.length(); ++i)
        expect(base[i] != sep, "the base name holds a separator");
    if (!f.baseSuffix().empty()) {
        IString joined;
        joined.assign(f.baseTrunk());
        joined.append(WChar('.'));
        joined.append(f.baseSuffix());
        expect(sameText(joined, base), "trunk and suffix do not make the base name");
    }
    expect(f.components().size() == 5, "components() is not five strings");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    std::vector<WChar> units(size / 2);
    for (size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<WChar>(data[2 * i] | (data[2 * i + 1] << 8));
    const IString in(units.data(), static_cast<int>(units.size()));
    checkName(in, '\\');
    checkName(in, '/');

    const size_t half = units.size() / 2;
    const IString a(units.data(), static_cast<int>(half));
    const IString b(units.data() + half, static_cast<int>(units.size() - half));
    const IString joined = Filename::join(a, b);
    // A join cleans without replacing '/', so only the backslash steps hold.
    IString again;
    again.assign(joined);
    Filename::removeDuplicateSeparators(again, '\\');
    Filename::removeTrailingSeparators(again, '\\');
    Filename::removeSlashDotDotSlash(again, '\\');
    expect(sameText(again, joined), "a joined name is not clean");
    return 0;
}
