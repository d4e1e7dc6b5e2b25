// POSIX backend of the locale identifiers: the generated table, a
// per-thread identifier, and glibc locales chosen by language and region.
#include "os/sys/qxSysLocale.h"
#include "os/sys/posix/qxLcidTable.h"
#include "os/sys/qxSysError.h"

#include <locale.h>

#include <algorithm>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace qx {
namespace sys {

namespace {

const LcidEntry* findEntry(unsigned lcid) {
    const LcidEntry* end = kLcidTable + kLcidTableSize;
    const LcidEntry* e = std::lower_bound(
        kLcidTable, end, lcid, [](const LcidEntry& x, unsigned id) { return x.lcid < id; });
    return e != end && e->lcid == lcid ? e : nullptr;
}

constexpr int kCandidates = 4;

// The glibc names an entry may be installed under, best first. US English
// falls back to the C locale's UTF-8 form, which every glibc has and whose
// conventions are American English, so that "ENGLISH" works everywhere.
void candidates(const LcidEntry& e, std::string out[kCandidates]) {
    out[0] = std::string(e.native) + ".UTF-8" + e.modifier;
    out[1] = std::string(e.native) + ".utf8" + e.modifier;
    out[2] = std::string(e.native) + e.modifier;
    out[3] = e.lcid == kLcidEnglishUS ? "C.UTF-8" : "";
}

// The first candidate name that the system has, or "".
std::string installedName(const LcidEntry& e) {
    std::string names[kCandidates];
    candidates(e, names);
    for (const std::string& name : names) {
        if (name.empty()) continue;
        if (locale_t loc = ::newlocale(LC_CTYPE_MASK, name.c_str(), static_cast<locale_t>(0))) {
            ::freelocale(loc);
            return name;
        }
    }
    return std::string();
}

// The entry of a glibc locale name such as "sr_RS.UTF-8@latin"; a bare
// language takes its main region (sublanguage 1) or else its first entry.
const LcidEntry* entryForNative(const char* name) {
    std::string base(name);
    std::string modifier;
    const size_t at = base.find('@');
    if (at != std::string::npos) {
        modifier = base.substr(at);
        base.erase(at);
    }
    const size_t dot = base.find('.');
    if (dot != std::string::npos) base.erase(dot);
    if (base.empty()) return nullptr;
    const bool bare = base.find('_') == std::string::npos;
    const LcidEntry* first = nullptr;
    for (size_t i = 0; i < kLcidTableSize; ++i) {
        const LcidEntry& e = kLcidTable[i];
        if (modifier != e.modifier) continue;
        if (!bare) {
            if (base == e.native) return &e;
        } else if (base == e.language) {
            if ((e.lcid >> 10) == 1) return &e;
            if (!first) first = &e;
        }
    }
    return first;
}

bool matchesWindowsName(const LcidEntry& e, const char* name) {
    char built[160];
    std::snprintf(built, sizeof built, "%s_%s.%d", e.englishLanguage, e.englishCountry,
                  e.ansiCodePage);
    return std::strcmp(built, name) == 0;
}

// Per thread, as Windows keeps it; 0 until first asked or set.
thread_local unsigned t_threadLocale = 0;

}  // namespace

bool localeInfo(unsigned lcid, LocaleField field, char* buf, size_t cap) {
    const LcidEntry* e = findEntry(lcid);
    if (!e || !buf || cap == 0) return false;
    int n = 0;
    switch (field) {
        case LocaleField::IsoLanguage:
            n = std::snprintf(buf, cap, "%s", e->language);
            break;
        case LocaleField::IsoCountry:
            n = std::snprintf(buf, cap, "%s", e->country);
            break;
        case LocaleField::EnglishLanguage:
            n = std::snprintf(buf, cap, "%s", e->englishLanguage);
            break;
        case LocaleField::EnglishCountry:
            n = std::snprintf(buf, cap, "%s", e->englishCountry);
            break;
        case LocaleField::AnsiCodePage:
            n = std::snprintf(buf, cap, "%d", e->ansiCodePage);
            break;
        case LocaleField::OemCodePage:
            n = std::snprintf(buf, cap, "%d", e->oemCodePage);
            break;
    }
    if (n < 0 || static_cast<size_t>(n) >= cap) {
        buf[0] = '\0';
        return false;
    }
    return true;
}

bool isLocaleSupported(unsigned lcid) {
    return findEntry(lcid) != nullptr;
}

bool isLocaleInstalled(unsigned lcid) {
    const LcidEntry* e = findEntry(lcid);
    return e && !installedName(*e).empty();
}

unsigned userDefaultLocale() {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (!value || !*value) continue;
        const LcidEntry* e = entryForNative(value);
        return e ? e->lcid : kLcidEnglishUS;
    }
    return kLcidEnglishUS;
}

unsigned systemDefaultLocale() {
    return userDefaultLocale();
}

unsigned threadLocale() {
    if (t_threadLocale == 0) t_threadLocale = userDefaultLocale();
    return t_threadLocale;
}

int setThreadLocale(unsigned lcid) {
    if (!findEntry(lcid)) return kErrorInvalidParameter;
    t_threadLocale = lcid;
    return 0;
}

const char* ctypeLocaleName() {
    return std::setlocale(LC_CTYPE, nullptr);
}

int setCTypeLocale(const char* name) {
    if (!name) return kErrorInvalidParameter;
    errno = 0;
    if (std::setlocale(LC_CTYPE, name)) return 0;
    int err = errno;
    // The Windows form of a table entry: the thread locale's own first.
    const LcidEntry* entry = findEntry(threadLocale());
    if (!entry || !matchesWindowsName(*entry, name)) {
        entry = nullptr;
        for (size_t i = 0; i < kLcidTableSize && !entry; ++i)
            if (matchesWindowsName(kLcidTable[i], name)) entry = &kLcidTable[i];
    }
    if (entry) {
        std::string names[kCandidates];
        candidates(*entry, names);
        for (const std::string& native : names) {
            if (native.empty()) continue;
            errno = 0;
            if (std::setlocale(LC_CTYPE, native.c_str())) return 0;
            if (errno) err = errno;
        }
    }
    return err ? win32FromErrno(err) : kErrorInvalidParameter;
}

}  // namespace sys
}  // namespace qx
