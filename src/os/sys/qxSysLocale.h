// Platform layer: Windows locale identifiers (LCIDs), the thread locale and
// the C runtime's character-type locale.
//
// Win32 answers with GetLocaleInfoA, IsValidLocale and the thread-locale
// calls. The POSIX backend answers from a table of identifiers generated
// from ICU's data (qxLcidTable.cpp) and maps an identifier to the glibc
// locale of the same language and region.
#ifndef QXBASE_OS_SYS_QXSYSLOCALE_H
#define QXBASE_OS_SYS_QXSYSLOCALE_H

#include "qxDefs.h"

#include <cstddef>

namespace qx {
namespace sys {

constexpr unsigned kLcidEnglishUS = 0x0409;

enum class LocaleField {
    IsoLanguage,      // LOCALE_SISO639LANGNAME: "en"
    IsoCountry,       // LOCALE_SISO3166CTRYNAME: "US"
    EnglishLanguage,  // LOCALE_SENGLANGUAGE: "English"
    EnglishCountry,   // LOCALE_SENGCOUNTRY: "United States"
    AnsiCodePage,     // LOCALE_IDEFAULTANSICODEPAGE: "1252" ("0" for Unicode-only)
    OemCodePage       // LOCALE_IDEFAULTCODEPAGE: "437" ("1" for Unicode-only)
};

// GetLocaleInfoA: the field's text, NUL-terminated, in buf of cap bytes.
// False for an identifier the system does not know or a text that does not
// fit. The POSIX table's texts are ASCII.
QX_API bool localeInfo(unsigned lcid, LocaleField field, char* buf, size_t cap);

// IsValidLocale with LCID_SUPPORTED and LCID_INSTALLED. POSIX: supported
// means in the table (which has no neutral identifiers and no alternative
// sort orders, where Windows accepts both); installed means glibc has the
// entry's locale, in UTF-8 or in its own code set.
QX_API bool isLocaleSupported(unsigned lcid);
QX_API bool isLocaleInstalled(unsigned lcid);

// GetUserDefaultLCID and GetSystemDefaultLCID. POSIX has one answer for
// both, from the first of LC_ALL, LC_CTYPE and LANG that is set: the entry
// of that glibc name ("de" alone: the language's main region), or 0x0409 for
// C, POSIX or a name the table lacks.
QX_API unsigned userDefaultLocale();
QX_API unsigned systemDefaultLocale();

// GetThreadLocale, and SetThreadLocale (0 or the Win32 error). POSIX keeps
// the identifier per thread, starting at the user default; nothing else on
// the system follows it.
QX_API unsigned threadLocale();
QX_API int setThreadLocale(unsigned lcid);

// setlocale(LC_CTYPE, nullptr): valid until the locale changes.
QX_API const char* ctypeLocaleName();
// setlocale(LC_CTYPE, name): 0, or a Win32 error number (the system's, or
// ERROR_INVALID_PARAMETER when it gives none). The POSIX backend also takes
// the Windows form "<English language>_<English country>.<ANSI code page>"
// of a table entry (preferring the thread locale's entry when two share a
// name) and sets that entry's glibc locale, UTF-8 first: file names and
// the library's 8-bit text stay UTF-8, so the code page is not honoured.
QX_API int setCTypeLocale(const char* name);

}  // namespace sys
}  // namespace qx

#endif
