// Cleans and splits arbitrary UTF-16 text (pairs of input bytes) with both
// separators and checks:
//  - canonicalize and each cleaning step agree with a literal model of the
//    rules (erase at a match, search again; find the first "\..\", rebuild);
//  - canonicalising the result again changes nothing;
//  - the parts fit the name: dirname starts it, basename ends it with at most
//    one separator between them, the base name holds no separator, trunk and
//    suffix give the base name back, components() matches the accessors;
//  - a name can be assigned one of its own parts;
//  - joins are clean, and the three- and four-part joins are the two-part
//    join applied in turn.
#include "os/files/qxFilename.h"

#include "fuzz_check.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using fuzzcheck::expect;
using qx::WChar;
using qxOS::Filename;
using qxString::IString;
using Text = std::basic_string<WChar>;

const WChar kBack = '\\';

Text text(const IString& s) {
    return Text(s.data(), s.length());
}
IString istr(const Text& t) {
    return IString(t.data(), static_cast<int>(t.size()));
}

// ---------------------------------------------------------------------------
// The rules, step by step, on std strings.

Text pairOf(WChar sep) {
    const WChar c = sep == kBack ? kBack : WChar('/');
    return Text(2, c);
}

void modelDuplicates(Text& s, WChar sep) {
    const Text pat = pairOf(sep);
    size_t at = s.size() >= 2 ? 1 : 0;
    while ((at = s.find(pat, at)) != Text::npos) s.erase(at, 1);
}

void modelTrailing(Text& s, WChar sep) {
    const size_t n = s.size();
    if (n == 3 && s[1] == ':' && s[2] == sep) return;
    if (n > 2 && s[0] == sep && s[1] == sep) {
        const size_t first = s.find(sep, 2);
        if (first != Text::npos && first == s.rfind(sep)) return;
    }
    while (s.size() > 1 && s.back() == sep) s.pop_back();
}

void modelDotDot(Text& s, WChar sep) {
    const WChar c = pairOf(sep)[0];
    const Text pat = {c, '.', '.', c};
    const Text dotdot = {'.', '.'};
    for (;;) {
        const size_t p = s.find(pat);
        if (p == Text::npos) return;
        const Text head = s.substr(0, p);
        const Text tail = s.substr(p + 4);
        const size_t cut = head.rfind(sep);
        if (cut != Text::npos)
            s = head.substr(0, cut + 1) + tail;
        else if (head == dotdot)
            return;
        else if (head.size() == 1 && head[0] == '.')
            s = dotdot + sep + tail;
        else
            s = tail;
    }
}

Text modelCanonical(Text s, WChar sep) {
    const WChar other = sep == '/' ? kBack : WChar('/');
    for (WChar& c : s)
        if (c == other) c = sep;
    modelDuplicates(s, sep);
    modelTrailing(s, sep);
    modelDotDot(s, sep);
    return s;
}

// ---------------------------------------------------------------------------

bool startsWith(const Text& s, const Text& p) {
    return s.size() >= p.size() && s.compare(0, p.size(), p) == 0;
}
bool endsWith(const Text& s, const Text& p) {
    return s.size() >= p.size() && s.compare(s.size() - p.size(), p.size(), p) == 0;
}

void checkSteps(const Text& in, WChar sep) {
    using Step = void (*)(IString&, WChar);
    using Model = void (*)(Text&, WChar);
    const struct {
        Step step;
        Model model;
        const char* what;
    } steps[] = {
        {&Filename::removeDuplicateSeparators, &modelDuplicates, "removeDuplicateSeparators"},
        {&Filename::removeTrailingSeparators, &modelTrailing, "removeTrailingSeparators"},
        {&Filename::removeSlashDotDotSlash, &modelDotDot, "removeSlashDotDotSlash"},
    };
    for (const auto& s : steps) {
        IString got = istr(in);
        s.step(got, sep);
        Text want = in;
        s.model(want, sep);
        expect(text(got) == want, s.what);
    }
}

void checkParts(const Filename& f, WChar sep) {
    const Text name = text(f.name());
    const Text prefix = text(f.prefix()), dir = text(f.dirname()), base = text(f.basename());
    const Text trunk = text(f.baseTrunk()), suffix = text(f.baseSuffix());

    expect(startsWith(dir, prefix), "dirname does not start with the prefix");
    expect(startsWith(name, dir), "the name does not start with dirname");
    expect(endsWith(name, base), "the name does not end with basename");
    expect(base.find(sep) == Text::npos, "the base name holds a separator");
    if (base.empty()) {
        // "//srv/" keeps its '/' but is no server path: '/' splits it off.
        expect(dir == name || dir + sep == name, "no base name, yet dirname is not the name");
    } else {
        expect(
            dir.size() + base.size() <= name.size() && name.size() - dir.size() - base.size() <= 1,
            "dirname and basename do not meet at one separator");
        if (name.size() - dir.size() - base.size() == 1)
            expect(name[dir.size()] == sep, "dirname and basename meet at a non-separator");
    }
    if (base == Text(1, '.'))
        expect(trunk.empty() && suffix.empty(), "the base name \".\" has a trunk or suffix");
    else if (base.find('.') != Text::npos)
        expect(trunk + WChar('.') + suffix == base, "trunk and suffix do not give the base name");
    else
        expect(trunk == base && suffix.empty(), "a base name without a dot has a suffix");

    const qx::vector<IString> parts = f.components();
    expect(parts.size() == 5, "components() is not five strings");
    const Text* each[5] = {&prefix, &dir, &base, &trunk, &suffix};
    for (int i = 0; i < 5; ++i)
        expect(text(parts[i]) == *each[i], "components() differs from the accessors");
}

void checkName(const Text& in, WChar sep) {
    checkSteps(in, sep);

    IString once;
    Filename::canonicalize(istr(in), sep, once);
    expect(text(once) == modelCanonical(in, sep), "canonicalize differs from the rules");
    IString twice;
    Filename::canonicalize(once, sep, twice);
    expect(text(twice) == text(once), "canonicalising twice differs from once");

    const Filename f(istr(in), sep);
    expect(text(f.name()) == text(once), "the constructor and canonicalize disagree");
    checkParts(f, sep);

    // Each part assigned back to the name it came from.
    const IString* (*parts[])(const Filename&) = {
        [](const Filename& g) { return &g.prefix(); },
        [](const Filename& g) { return &g.dirname(); },
        [](const Filename& g) { return &g.basename(); },
    };
    for (auto part : parts) {
        Filename g;
        g = f;  // assignment keeps sep
        const Text want = modelCanonical(text(*part(g)), sep);
        g = *part(g);
        expect(text(g.name()) == want, "assigning a name one of its own parts");
    }
}

void checkJoins(const Text& all) {
    const size_t q = all.size() / 4;
    const IString a = istr(all.substr(0, q)), b = istr(all.substr(q, q));
    const IString c = istr(all.substr(2 * q, q)), d = istr(all.substr(3 * q));

    const IString ab = Filename::join(a, b);
    // A join cleans without replacing '/', so only the backslash steps hold.
    Text clean = text(ab);
    modelDuplicates(clean, kBack);
    modelTrailing(clean, kBack);
    modelDotDot(clean, kBack);
    expect(clean == text(ab), "a joined name is not clean");

    expect(text(Filename::join(a, b, c)) == text(Filename::join(ab, c)),
           "join(a, b, c) is not join(join(a, b), c)");
    expect(text(Filename::join(a, b, c, d)) == text(Filename::join(ab, Filename::join(c, d))),
           "join(a, b, c, d) is not join(join(a, b), join(c, d))");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    Text in(size / 2, 0);
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<WChar>(data[2 * i] | (data[2 * i + 1] << 8));
    checkName(in, kBack);
    checkName(in, '/');
    checkJoins(in);
    return 0;
}
