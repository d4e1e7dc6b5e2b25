// Writes src/os/sys/posix/qxLcidTable.cpp, the table of Windows locale
// identifiers (LCIDs) the POSIX backend answers locale questions from.
//
// Run at development time, never by the build; the library does not link
// ICU. With libicu-dev installed, from the source root:
//
//   g++ -std=c++17 -O1 tools/gen_lcid_table.cpp -o /tmp/gen_lcid_table
//       $(pkg-config --cflags --libs icu-i18n icu-uc)
//   /tmp/gen_lcid_table > src/os/sys/posix/qxLcidTable.cpp
//
// and check the result in. What comes from where:
// - the identifiers and their locales: every LCID (sort order 0) that ICU's
//   LCID map turns into a locale with a region and back into the same LCID;
// - language and region codes, and the English names (ICU's display names,
//   folded to ASCII so the table does not depend on an encoding). Where ICU's
//   locale names a script, and always for Chinese, the language name carries
//   it ("Serbian (Latin)", "Chinese (Traditional)"), as Windows names them,
//   so the LCIDs of one language and region keep names of their own;
// - the glibc locale name: language_REGION, with "@<script>" where the script
//   is not the usual one of the language there (sr_RS@latin) and
//   "@<variant>" for a variant (ca_ES@valencia);
// - the ANSI and OEM code pages: ICU has none, so they follow the script
//   (Latin 1252/850, Cyrillic 1251/866, ...) with the exceptions Windows
//   makes, listed in codePages(); scripts without an 8-bit code page, and the
//   languages Windows treats as Unicode-only, give 0/1.
#include <unicode/translit.h>
#include <unicode/uclean.h>
#include <unicode/uloc.h>
#include <unicode/unistr.h>
#include <unicode/uversion.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

struct Entry {
    unsigned lcid;
    std::string language, country, native, modifier, englishLanguage, englishCountry;
    int ansi, oem;
};

using Getter = int32_t (*)(const char*, char*, int32_t, UErrorCode*);

std::string part(Getter get, const char* locale) {
    char buf[ULOC_FULLNAME_CAPACITY] = "";
    UErrorCode err = U_ZERO_ERROR;
    get(locale, buf, sizeof buf, &err);
    return U_SUCCESS(err) ? buf : "";
}

using DisplayGetter = int32_t (*)(const char*, const char*, UChar*, int32_t, UErrorCode*);

icu::Transliterator* s_toAscii = nullptr;

// ICU's English display text, transliterated to plain ASCII.
std::string englishName(DisplayGetter get, const std::string& locale) {
    UChar buf[256];
    UErrorCode err = U_ZERO_ERROR;
    const int32_t n = get(locale.c_str(), "en", buf, 256, &err);
    if (U_FAILURE(err) || n <= 0) return "";
    icu::UnicodeString text(buf, n);
    s_toAscii->transliterate(text);
    std::string out;
    text.toUTF8String(out);
    for (char c : out)
        if (static_cast<unsigned char>(c) >= 0x80) {
            std::fprintf(stderr, "non-ASCII name left for %s: %s\n", locale.c_str(), out.c_str());
            std::exit(1);
        }
    return out;
}

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// The script a locale without an explicit one is written in.
std::string likelyScript(const std::string& locale) {
    char full[ULOC_FULLNAME_CAPACITY] = "";
    UErrorCode err = U_ZERO_ERROR;
    uloc_addLikelySubtags(locale.c_str(), full, sizeof full, &err);
    return U_SUCCESS(err) ? part(uloc_getScript, full) : "";
}

struct CodePages {
    int ansi, oem;
};

CodePages codePages(const std::string& language, const std::string& script,
                    const std::string& country) {
    static const std::set<std::string> centralEurope = {"bs", "cs", "hr", "hu", "pl", "ro",
                                                        "sk", "sl", "sq", "sr", "tk"};
    static const std::set<std::string> turkic = {"az", "tr", "uz"};
    static const std::set<std::string> baltic = {"et", "lt", "lv"};
    static const std::set<std::string> unicodeOnly = {"ks", "mi", "om", "ps", "so"};
    // English-speaking countries whose consoles kept the US code page.
    static const std::set<std::string> englishUS = {"IN", "MY", "PH", "SG", "US", "ZA", "ZW"};
    if (unicodeOnly.count(language)) return {0, 1};
    if (script == "Latn") {
        if (centralEurope.count(language)) return {1250, 852};
        if (turkic.count(language)) return {1254, 857};
        if (baltic.count(language)) return {1257, 775};
        if (language == "vi") return {1258, 1258};
        if (language == "en" && englishUS.count(country)) return {1252, 437};
        return {1252, 850};
    }
    static const std::map<std::string, CodePages> byScript = {
        {"Grek", {1253, 737}}, {"Hebr", {1255, 862}},
        {"Arab", {1256, 720}}, {"Thai", {874, 874}},  {"Jpan", {932, 932}},
        {"Hans", {936, 936}},  {"Kore", {949, 949}},  {"Hant", {950, 950}}};
    if (script == "Cyrl") return {1251, language == "sr" || language == "bs" ? 855 : 866};
    const auto it = byScript.find(script);
    return it != byScript.end() ? it->second : CodePages{0, 1};
}

std::string quoted(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

int main() {
    UErrorCode err = U_ZERO_ERROR;
    s_toAscii = icu::Transliterator::createInstance("Any-Latin; Latin-ASCII", UTRANS_FORWARD, err);
    if (U_FAILURE(err)) {
        std::fprintf(stderr, "no Latin-ASCII transliterator: %s\n", u_errorName(err));
        return 1;
    }

    std::vector<Entry> entries;
    for (unsigned lcid = 1; lcid <= 0xFFFF; ++lcid) {
        char locale[ULOC_FULLNAME_CAPACITY] = "";
        err = U_ZERO_ERROR;
        if (uloc_getLocaleForLCID(lcid, locale, sizeof locale, &err) <= 0 || U_FAILURE(err))
            continue;
        // Only the locale's own identifier, never one ICU falls back from.
        if (uloc_getLCID(locale) != lcid) continue;
        Entry e;
        e.lcid = lcid;
        e.language = part(uloc_getLanguage, locale);
        e.country = part(uloc_getCountry, locale);
        const std::string script = part(uloc_getScript, locale);
        const std::string variant = part(uloc_getVariant, locale);
        // Neutral identifiers name no region; en_US_POSIX is ICU's own.
        if (e.language.empty() || e.country.empty() || variant == "POSIX") continue;

        const std::string regional = e.language + "_" + e.country;
        const std::string usual = likelyScript(regional);
        const std::string written = script.empty() ? usual : script;
        const bool otherScript = !script.empty() && script != usual;

        e.native = regional;
        if (otherScript)
            e.modifier = "@" + lower(englishName(uloc_getDisplayScript, "und_" + script));
        else if (!variant.empty())
            e.modifier = "@" + lower(variant);
        const bool named = !script.empty() || e.language == "zh";
        e.englishLanguage = named ? englishName(uloc_getDisplayName, e.language + "_" + written)
                                  : englishName(uloc_getDisplayLanguage, e.language);
        e.englishCountry = englishName(uloc_getDisplayCountry, regional);
        const CodePages cp = codePages(e.language, written, e.country);
        e.ansi = cp.ansi;
        e.oem = cp.oem;
        entries.push_back(e);
    }

    // Names the C runtime is given must lead back to one entry per script.
    std::map<std::string, unsigned> seen;
    for (const Entry& e : entries) {
        const std::string name =
            e.englishLanguage + "_" + e.englishCountry + "." + std::to_string(e.ansi);
        if (!seen.emplace(name, e.lcid).second)
            std::fprintf(stderr, "note: %s names both %#06x and %#06x\n", name.c_str(),
                         seen[name], e.lcid);
    }

    std::printf(
        "// Windows locale identifiers (LCIDs) with their ISO codes, glibc locale\n"
        "// names, English names and ANSI/OEM code pages, sorted by identifier.\n"
        "//\n"
        "// Generated by tools/gen_lcid_table.cpp from ICU %s; do not edit. Rerun\n"
        "// the generator as its opening comment says.\n"
        "#include \"os/sys/posix/qxLcidTable.h\"\n"
        "\n"
        "namespace qx {\n"
        "namespace sys {\n"
        "\n"
        "const LcidEntry kLcidTable[] = {\n",
        U_ICU_VERSION);
    for (const Entry& e : entries)
        std::printf("    {0x%04x, %s, %s, %s, %s, %s, %s, %d, %d},\n", e.lcid,
                    quoted(e.language).c_str(), quoted(e.country).c_str(),
                    quoted(e.native).c_str(), quoted(e.modifier).c_str(),
                    quoted(e.englishLanguage).c_str(), quoted(e.englishCountry).c_str(), e.ansi,
                    e.oem);
    std::printf(
        "};\n"
        "\n"
        "const size_t kLcidTableSize = sizeof kLcidTable / sizeof kLcidTable[0];\n"
        "\n"
        "}  // namespace sys\n"
        "}  // namespace qx\n");
    std::fprintf(stderr, "%zu identifiers\n", entries.size());
    delete s_toAscii;
    u_cleanup();
    return 0;
}
