#include "Components/Base/Utility/qxTextUtil.h"

#include "os/sys/qxSysRandom.h"
#include "string/qxEncoding.h"

#include <algorithm>
#include <cstring>

namespace qxUtil {

using qx::WChar;
using qxString::CString;
using qxString::IString;

namespace {

// Tokens are cut by walking positions through the text once; nothing is
// erased from its front, so splitting is linear in the length.
template <class S, class Find>
qx::vector<S> splitText(const S& s, bool skipEmpty, bool keepSeparators, Find findSep) {
    qx::vector<S> out;
    const auto* text = s.data();
    const unsigned n = s.length();
    // Room for every token up front, when counting separators is cheap: the
    // tokens are then built in place, never moved by growth.
    const long long seps = findSep.count(text, n);
    if (seps >= 0) {
        const long long most = (keepSeparators ? 2 * seps : seps) + 1;
        if (most < 0x7FFFFFFF) out.reserve(static_cast<int>(most));
    }
    unsigned start = 0;
    while (start < n) {
        const unsigned p = findSep(text, start, n);
        if (p == n) break;
        if (p > start) {
            out.emplace_back().assign(text + start, p - start);
            // With keepSeparators the separator starts the rest and becomes
            // a token of its own on the next round.
            start = keepSeparators ? p : p + 1;
        } else {
            if (keepSeparators)
                out.emplace_back().assign(text + p, 1);
            else if (!skipEmpty)
                out.emplace_back();
            start = p + 1;
        }
    }
    if (start < n) out.emplace_back().assign(text + start, n - start);
    return out;
}

template <class Ch>
struct CharFinder {
    Ch sep;
    unsigned operator()(const Ch* text, unsigned from, unsigned n) const {
        if constexpr (sizeof(Ch) == 1) {
            const void* hit = std::memchr(text + from, static_cast<unsigned char>(sep), n - from);
            return hit ? static_cast<unsigned>(static_cast<const Ch*>(hit) - text) : n;
        } else {
            while (from < n && text[from] != sep) ++from;
            return from;
        }
    }
    long long count(const Ch* text, unsigned n) const { return std::count(text, text + n, sep); }
};

template <class Ch>
struct PredFinder {
    bool (*isSep)(Ch);
    unsigned operator()(const Ch* text, unsigned from, unsigned n) const {
        while (from < n && !isSep(text[from])) ++from;
        return from;
    }
    // Unknown: a second pass of calls would cost more than the growth.
    long long count(const Ch*, unsigned) const { return -1; }
};

inline bool isBlank(char c) {
    return qxString::isSpace(c);
}

// Error numbers are 1-based positions in the text.
inline int position(unsigned index) {
    return static_cast<int>(index + 1);
}

template <class S>
S escaped(const S& s, bool markup) {
    S out;
    out.reserve(s.length() + 8);
    for (const WChar c : s) {
        if (c == '\\' || (markup && (c == '{' || c == '}'))) out.append(WChar('\\'));
        out.append(c);
    }
    return out;
}

template <class S>
S joined(const qx::vector<S>& v) {
    unsigned long long total = 0;
    for (const S& s : v) total += s.length();
    S out;
    if (total < out.maxSize()) out.reserve(static_cast<unsigned>(total));
    for (const S& s : v) out.append(s.data(), s.length());
    return out;
}

}  // namespace

qx::vector<CString> split(const CString& s, char sep, bool skipEmpty, bool keepSeparators) {
    return splitText(s, skipEmpty, keepSeparators, CharFinder<char>{sep});
}

qx::vector<CString> split(const CString& s, bool (*isSep)(char), bool skipEmpty,
                          bool keepSeparators) {
    return splitText(s, skipEmpty, keepSeparators, PredFinder<char>{isSep});
}

qx::vector<IString> split(const IString& s, WChar sep, bool skipEmpty, bool keepSeparators) {
    return splitText(s, skipEmpty, keepSeparators, CharFinder<WChar>{sep});
}

qx::vector<IString> split(const IString& s, bool (*isSep)(WChar), bool skipEmpty,
                          bool keepSeparators) {
    return splitText(s, skipEmpty, keepSeparators, PredFinder<WChar>{isSep});
}

// LF and CR are the characters isNewLine accepts; tested directly here.
qx::vector<CString> splitMultiLines(const CString& s) {
    qx::vector<CString> out;
    const char* text = s.data();
    const unsigned n = s.length();
    unsigned start = 0;
    for (unsigned i = 0; i < n; ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            out.emplace_back().assign(text + start, i - start);
            start = i + 1;
        }
    }
    out.emplace_back().assign(text + start, n - start);
    return out;
}

int numMultiLines(const CString& s) {
    int lines = 1;
    for (const char c : s)
        if (c == '\n' || c == '\r') ++lines;
    return lines;
}

Error splitWithQuotes(const CString& s, qx::vector<CString>& out) {
    out.clear();
    const char* text = s.data();
    const unsigned n = s.length();
    unsigned i = 0;
    for (;;) {
        while (i < n && isBlank(text[i])) ++i;
        if (i == n) return Error();
        unsigned open = 0;
        bool quoted = false;
        if (text[i] == '"') {
            if (i == n - 1) return Error(position(i), "Unmatched double quote");
            open = i;
            quoted = true;
            ++i;
        }
        // Quotes only ever stand around the whole word, so the word is one
        // run of the text.
        const unsigned start = i;
        unsigned end = n;
        while (i < n) {
            const char c = text[i];
            if (!quoted && isBlank(c)) {
                end = i;
                break;
            }
            if (c == '"') {
                // A word that did not start with a quote has at least one
                // character before this one.
                if (!quoted)
                    return Error(position(i - 1),
                                 "Unexpected character before a double quote: '%c'", text[i - 1]);
                if (i + 1 < n && !isBlank(text[i + 1]))
                    return Error(position(i + 1), "Unexpected character after double quote: '%c'",
                                 text[i + 1]);
                quoted = false;
                end = i++;
                break;
            }
            ++i;
        }
        if (quoted) return Error(position(open), "Unmatched double quote");
        out.emplace_back().assign(text + start, end - start);
    }
}

Error splitWithQuotesAndBackslash(const CString& s, qx::vector<CString>& out) {
    out.clear();
    const char* text = s.data();
    const unsigned n = s.length();
    unsigned i = 0;
    for (;;) {
        while (i < n && isBlank(text[i])) ++i;
        if (i == n) return Error();
        CString word;
        bool quoted = false;
        unsigned open = 0;
        for (; i < n; ++i) {
            const char c = text[i];
            if (!quoted && isBlank(c)) break;
            if (c == '"') {
                quoted = !quoted;
                if (quoted) open = i;
            } else if (c == '\\') {
                if (i + 1 == n) return Error(position(i), "Single backslash character");
                const char next = text[++i];
                if (next != '\\' && next != '"')
                    return Error(position(i), "Illegal escape of character '%c'", next);
                word.append(next);
            } else {
                word.append(c);
            }
        }
        if (quoted) return Error(position(open), "Unmatched double quote");
        out.push_back(std::move(word));
    }
}

CString join(const qx::vector<CString>& v) {
    return joined(v);
}

IString join(const qx::vector<IString>& v) {
    return joined(v);
}

qx::vector<CString> removeDuplicated(const qx::vector<CString>& v) {
    qx::vector<CString> out(v);
    std::sort(out.begin(), out.end(),
              [](const CString& a, const CString& b) { return qxString::less(a, b); });
    auto last = std::unique(out.begin(), out.end(),
                            [](const CString& a, const CString& b) { return a == b; });
    out.erase(last, out.end());
    return out;
}

IString rebackslash(const IString& s) {
    return escaped(s, false);
}

IString escapeMarkupText(const IString& s) {
    return escaped(s, true);
}

namespace {

// The low 31 bits of a secure 32-bit draw, as a fraction of [0, 1]. A failed
// draw leaves 0.
double randomFraction() {
    unsigned bits = 0;
    qx::sys::secureRandom(&bits, sizeof bits);
    return static_cast<double>(bits & 0x7FFFFFFFu) / 2147483647.0;
}

}  // namespace

double random(double max) {
    return randomFraction() * max;
}

double random(double lo, double hi) {
    return lo + randomFraction() * (hi - lo);
}

}  // namespace qxUtil
